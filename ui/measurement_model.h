#pragma once

#include "data/dbf/table.h"
#include "ui/grid_layout.h"

#include <QAbstractTableModel>

#include <functional>
#include <map>
#include <vector>

namespace t7 {

// The open measurement table in its current order, one grid column a model column. Cells
// come straight from the engine's records; edits collect in the row being edited and are
// posted when the operator leaves that row.
class MeasurementModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    MeasurementModel(std::vector<TgpColumn>& columns, QObject* parent = nullptr);

    void setTable(dbf::Table* table);
    dbf::Table* table() const { return m_table; }
    // The table changed under the model (opened, closed, re-sorted, packed).
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The record (0-based) shown in a row.
    quint32 recordAt(int row) const;
    bool editing() const { return m_editRow >= 0; }
    int editRow() const { return m_editRow; }
    // Posts the row being edited; nothing when no row is.
    void post();

private:
    std::vector<TgpColumn>& m_columns;
    dbf::Table* m_table = nullptr;
    std::vector<int> m_fields; // field index of each column, -1 when the table lacks it
    int m_editRow = -1;
    std::map<int, QString> m_pending; // column → text, for the row being edited
};

} // namespace t7
