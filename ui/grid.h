#pragma once

#include "common/prompts.h"
#include "data/measurement.h"
#include "ui/grid_layout.h"
#include "ui/measurement_model.h"

#include <QHeaderView>
#include <QStringList>
#include <QTableView>

#include <functional>
#include <unordered_map>
#include <vector>

namespace t7 {

class GridFooter;

// The title row: two lines of centred caption that wrap at word breaks and end with an
// ellipsis, and the sort mark of the column.
class TitleHeader : public QHeaderView
{
    Q_OBJECT

public:
    TitleHeader(std::vector<TgpColumn>& columns, QWidget* parent);
    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    std::vector<TgpColumn>& m_columns;
};

// The measurement grid: the open table's rows, multi-row selection that keeps chosen field
// values of every selected row, per-column colours, title sort marks and footers.
class TDBGridPro : public QTableView
{
    Q_OBJECT

public:
    // `prompts` tells what goes wrong in the grid's own event handlers.
    TDBGridPro(const std::vector<GridColumnSpec>& columns, Prompts& prompts,
               QWidget* parent = nullptr);
    ~TDBGridPro() override;
    using QTableView::edit;

    std::vector<TgpColumn>& Columns() { return m_columns; }
    const std::vector<TgpColumn>& Columns() const { return m_columns; }
    // Case ignored, first match; -1 when there is none.
    int columnIndex(const QString& fieldName) const;
    TgpColumn* columnByField(const QString& fieldName);
    // The column holding the cell cursor (-1 when none).
    int currentColumn() const;

    void setTable(dbf::Table* table);
    MeasurementModel* measurementModel() const { return m_model; }
    // The table changed: read it afresh.
    void reload();
    // Puts the current row where the table stands, leaving the marked rows as they are.
    void followTable();

    bool AutoColumnFit() const { return m_autoFit; }
    void setAutoColumnFit(bool on);
    // Shows the columns' widths, colours, captions and visibility again.
    void applyColumns();
    // Stretches or shrinks the visible columns together to fill the width.
    void fitColumns();
    // The stored layout of the columns as text.
    QString layoutText() const;
    // Takes the stored properties of the columns the text names; throws t7::Error when the
    // text cannot be read.
    void applyLayoutText(const QString& text);

    // The fields every selected row keeps, separated by ';'.
    void setBookmarkFields(const QString& fields);
    QStringList BookmarkFields() const { return m_bookmarkFields; }
    // Selected rows: the marked ones, else the current row, else none.
    int selectedCount() const;
    // The records (0-based) of the selection, in file order.
    std::vector<quint32> selectedRecords() const;
    // Element e of the kept values of the i-th selected row (file order).
    QString kept(int selected, int element) const;
    // Element e of every selected row, read as a number (statistics use this).
    template <typename Read> void forEachKept(int element, const Read& read) const;

    // A title click as the operator makes it; ctrl for Ctrl held.
    void clickTitle(int column, bool ctrl);
    // Sets a title state directly: the mark shows, nothing sorts, nothing is notified.
    void setTitleState(int column, TTitleState state);
    void setFooterText(int column, const QString& text);

    // Posts the row being edited; an open cell editor is closed.
    void commitEdit();
    // Deletes these records (0-based; the selection, taken before) as one batch: the display
    // is frozen, no row stays marked and one selection notification follows.
    void deleteRows(const std::vector<quint32>& records);

signals:
    void SelectionChange();
    void TitleStateChange(int column);
    void InitEdit();

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

private:
    void keep(const QItemSelection& selected, const QItemSelection& deselected);
    QByteArray snapshot(quint32 record) const;
    void notifySelection();
    void onSectionResized(int logical, int oldSize, int newSize);
    void onTitleClicked(int logical);

    std::vector<TgpColumn> m_columns;
    MeasurementModel* m_model;
    TitleHeader* m_header;
    GridFooter* m_footer;
    bool m_autoFit = true;
    bool m_fitting = false;
    int m_runningSortNumber = -1;
    QStringList m_bookmarkFields;
    std::vector<int> m_keptOffsets; // where each kept field starts in a snapshot
    std::vector<int> m_keptFields;
    std::unordered_map<quint32, QByteArray> m_kept; // record → its kept fields' bytes
    bool m_notifyPending = false;
    bool m_batch = false;
    Prompts& m_prompts;
};

template <typename Read> void TDBGridPro::forEachKept(int element, const Read& read) const
{
    const int field = m_keptFields[size_t(element)];
    const int offset = m_keptOffsets[size_t(element)];
    const dbf::Table* table = m_model->table();
    const int width = field < 0 ? 0 : table->fields()[size_t(field)].width;
    if (m_kept.empty()) {
        if (m_model->rowCount() > 0 && currentIndex().isValid() && field >= 0)
            read(table->rawOf(m_model->recordAt(currentIndex().row()), field));
        return;
    }
    for (const auto& entry : m_kept)
        read(QByteArrayView(entry.second.constData() + offset, width));
}

} // namespace t7
