#include "ui/grid.h"

#include "common/guard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <numeric>

namespace t7 {

namespace {

const QColor kSilver(0xC0, 0xC0, 0xC0);

// The columns of the measurement grid, in order.
std::vector<TgpColumn> gridColumns(const std::vector<GridColumnSpec>& specs)
{
    std::vector<TgpColumn> columns;
    for (const GridColumnSpec& spec : specs) {
        TgpColumn column;
        column.FieldName = spec.field;
        column.Caption = spec.caption;
        column.Width = spec.width;
        column.LayoutIndex = spec.layoutIndex;
        column.ReadOnly = spec.readOnly;
        column.Visible = spec.visible;
        column.Alignment = spec.leftAligned ? talLeftJustify : talCenter;
        column.DisplayFormat = spec.displayFormat;
        if (spec.sortMarked) {
            column.TitleState = tsSortedUp;
            column.SortOrder = 0;
        }
        columns.push_back(column);
    }
    return columns;
}

// Two lines of text broken at word breaks; what still does not fit ends with an ellipsis.
QStringList twoLines(const QString& text, const QFontMetrics& metrics, int width)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString first;
    qsizetype used = 0;
    for (; used < words.size(); ++used) {
        const QString candidate =
            first.isEmpty() ? words[used] : first + QLatin1Char(' ') + words[used];
        if (metrics.horizontalAdvance(candidate) > width && !first.isEmpty())
            break;
        first = candidate;
        if (metrics.horizontalAdvance(first) > width)
            break;
    }
    if (used < words.size() && first == words.value(used))
        ++used;
    const QString rest = words.mid(used).join(QLatin1Char(' '));
    QStringList lines{metrics.elidedText(first, Qt::ElideRight, width)};
    if (!rest.isEmpty())
        lines.append(metrics.elidedText(rest, Qt::ElideRight, width));
    return lines;
}

} // namespace

// The footer row under the data rows.
class GridFooter : public QWidget
{
public:
    GridFooter(TDBGridPro* grid) : QWidget(grid), m_grid(grid) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Button));
        const QHeaderView* header = m_grid->horizontalHeader();
        const int shift = m_grid->viewport()->x() - x();
        for (int column = 0; column < int(m_grid->Columns().size()); ++column) {
            if (header->isSectionHidden(column))
                continue;
            const QRect cell(header->sectionViewportPosition(column) + shift, 0,
                             header->sectionSize(column), height());
            painter.setPen(kSilver);
            painter.drawRect(cell.adjusted(0, 0, -1, -1));
            painter.setPen(palette().color(QPalette::ButtonText));
            const QString& text = m_grid->Columns()[size_t(column)].FooterText;
            painter.drawText(
                cell.adjusted(2, 0, -2, 0), Qt::AlignCenter,
                painter.fontMetrics().elidedText(text, Qt::ElideRight, cell.width() - 4));
        }
    }

private:
    TDBGridPro* m_grid;
};

TitleHeader::TitleHeader(std::vector<TgpColumn>& columns, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_columns(columns)
{
    setSectionsClickable(true);
    setSectionsMovable(false);
    setHighlightSections(false);
    setSortIndicatorShown(false);
}

QSize TitleHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    size.setHeight(2 * fontMetrics().lineSpacing() + 8);
    return size;
}

void TitleHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (logicalIndex < 0 || logicalIndex >= int(m_columns.size()))
        return;
    const TgpColumn& column = m_columns[size_t(logicalIndex)];
    painter->save();
    painter->fillRect(rect, palette().color(QPalette::Button));
    painter->setPen(kSilver);
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    // The caption keeps the whole width: the sort mark sits in the title's top right corner.
    const QRect textRect = rect.adjusted(2, 3, -2, -3);
    const QStringList lines = twoLines(column.Caption, fontMetrics(), textRect.width());
    painter->setPen(palette().color(QPalette::ButtonText));
    const int lineHeight = fontMetrics().lineSpacing();
    int y = textRect.top() + (textRect.height() - lineHeight * int(lines.size())) / 2;
    for (const QString& line : lines) {
        painter->drawText(QRect(textRect.left(), y, textRect.width(), lineHeight), Qt::AlignCenter,
                          line);
        y += lineHeight;
    }
    if (column.TitleState != tsSortedNone) {
        // Up: the greatest key first; the triangle points up.
        const int cx = rect.right() - 6;
        const int cy = rect.top() + 5;
        QPolygon triangle;
        if (column.TitleState == tsSortedUp)
            triangle << QPoint(cx - 3, cy + 2) << QPoint(cx + 3, cy + 2) << QPoint(cx, cy - 2);
        else
            triangle << QPoint(cx - 3, cy - 2) << QPoint(cx + 3, cy - 2) << QPoint(cx, cy + 2);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setBrush(palette().color(QPalette::Dark));
        painter->setPen(Qt::NoPen);
        painter->drawPolygon(triangle);
    }
    painter->restore();
}

TDBGridPro::TDBGridPro(const std::vector<GridColumnSpec>& columns, Prompts& prompts,
                       QWidget* parent)
    : QTableView(parent), m_columns(gridColumns(columns)),
      m_model(new MeasurementModel(m_columns, this)), m_header(new TitleHeader(m_columns, this)),
      m_footer(new GridFooter(this)), m_prompts(prompts)
{
    setObjectName(QStringLiteral("DBGridPro1"));
    setHorizontalHeader(m_header);
    setModel(m_model);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->hide();
    m_header->setSectionResizeMode(QHeaderView::Interactive);
    m_header->setMinimumSectionSize(2);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setStyleSheet(QStringLiteral("QTableView { gridline-color: #c0c0c0; }"));
    QPalette colors = palette();
    colors.setColor(QPalette::Inactive, QPalette::Highlight,
                    colors.color(QPalette::Active, QPalette::Highlight));
    colors.setColor(QPalette::Inactive, QPalette::HighlightedText,
                    colors.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colors);

    connect(m_header, &QHeaderView::sectionResized, this, &TDBGridPro::onSectionResized);
    connect(m_header, &QHeaderView::sectionClicked, this, &TDBGridPro::onTitleClicked);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_kept.clear();
        notifySelection();
    });
    setBookmarkFields(QStringLiteral("T_1;T_2;T_3;DATE;TIME"));
    applyColumns();
}

TDBGridPro::~TDBGridPro() = default;

int TDBGridPro::columnIndex(const QString& fieldName) const
{
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].FieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

TgpColumn* TDBGridPro::columnByField(const QString& fieldName)
{
    const int index = columnIndex(fieldName);
    return index < 0 ? nullptr : &m_columns[size_t(index)];
}

int TDBGridPro::currentColumn() const
{
    return currentIndex().isValid() ? currentIndex().column() : -1;
}

void TDBGridPro::setTable(dbf::Table* table)
{
    m_model->setTable(table);
    setBookmarkFields(m_bookmarkFields.join(QLatin1Char(';')));
}

void TDBGridPro::reload()
{
    m_model->reload();
    setBookmarkFields(m_bookmarkFields.join(QLatin1Char(';')));
    applyColumns();
}

QItemSelectionModel::SelectionFlags TDBGridPro::selectionCommand(const QModelIndex& index,
                                                                 const QEvent* event) const
{
    // Ctrl+Home and Ctrl+End go to the first and last row and select it, as every other
    // move does; Ctrl with a click or a Space still marks rows one by one.
    if (event && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Home || key->key() == Qt::Key_End) &&
            key->modifiers() == Qt::ControlModifier)
            return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    }
    return QTableView::selectionCommand(index, event);
}

void TDBGridPro::followTable()
{
    const dbf::Table* table = m_model->table();
    if (!table || !table->isOpen() || table->position() < 0 || !selectionModel())
        return;
    const int column = std::max(0, currentIndex().column());
    selectionModel()->setCurrentIndex(m_model->index(int(table->position()), column),
                                      QItemSelectionModel::NoUpdate);
}

void TDBGridPro::setBookmarkFields(const QString& fields)
{
    m_bookmarkFields = fields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    m_keptFields.clear();
    m_keptOffsets.clear();
    const dbf::Table* table = m_model->table();
    int offset = 0;
    for (const QString& name : m_bookmarkFields) {
        const int field = table && table->isOpen() ? table->fieldIndex(name) : -1;
        m_keptFields.push_back(field);
        m_keptOffsets.push_back(offset);
        if (field >= 0)
            offset += table->fields()[size_t(field)].width;
    }
    m_kept.clear();
}

QByteArray TDBGridPro::snapshot(quint32 record) const
{
    QByteArray bytes;
    const dbf::Table* table = m_model->table();
    for (int field : m_keptFields) {
        if (field >= 0)
            bytes.append(table->rawOf(record, field).data(), table->fields()[size_t(field)].width);
    }
    return bytes;
}

void TDBGridPro::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTableView::selectionChanged(selected, deselected);
    keep(selected, deselected);
}

void TDBGridPro::keep(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (!m_model->table() || !m_model->table()->isOpen())
        return;
    const int rows = m_model->rowCount();
    for (const QItemSelectionRange& range : deselected) {
        for (int row = range.top(); row <= range.bottom() && row < rows; ++row) {
            if (!selectionModel()->isRowSelected(row, QModelIndex()))
                m_kept.erase(m_model->recordAt(row));
        }
    }
    for (const QItemSelectionRange& range : selected) {
        for (int row = range.top(); row <= range.bottom() && row < rows; ++row) {
            const quint32 record = m_model->recordAt(row);
            if (m_kept.find(record) == m_kept.end())
                m_kept.emplace(record, snapshot(record));
        }
    }
    notifySelection();
}

void TDBGridPro::notifySelection()
{
    // One notification for what happens in one batch of events.
    if (m_notifyPending || m_batch)
        return;
    m_notifyPending = true;
    QTimer::singleShot(0, this, [this] {
        m_notifyPending = false;
        emit SelectionChange();
    });
}

int TDBGridPro::selectedCount() const
{
    if (!m_kept.empty())
        return int(m_kept.size());
    return m_model->rowCount() > 0 && currentIndex().isValid() ? 1 : 0;
}

std::vector<quint32> TDBGridPro::selectedRecords() const
{
    std::vector<quint32> records;
    if (m_kept.empty()) {
        if (m_model->rowCount() > 0 && currentIndex().isValid())
            records.push_back(m_model->recordAt(currentIndex().row()));
        return records;
    }
    records.reserve(m_kept.size());
    for (const auto& entry : m_kept)
        records.push_back(entry.first);
    std::sort(records.begin(), records.end());
    return records;
}

QString TDBGridPro::kept(int selected, int element) const
{
    const std::vector<quint32> records = selectedRecords();
    const quint32 record = records.at(size_t(selected));
    const int field = m_keptFields[size_t(element)];
    if (field < 0)
        return {};
    const dbf::Table* table = m_model->table();
    const auto hit = m_kept.find(record);
    if (hit == m_kept.end())
        return table->textOf(record, field);
    return table->decode(QByteArrayView(hit->second.constData() + m_keptOffsets[size_t(element)],
                                        table->fields()[size_t(field)].width));
}

void TDBGridPro::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (current.row() != previous.row()) {
        guarded(m_prompts, [this, current] {
            // Leaving a row posts what was edited in it.
            if (m_model->editing() && m_model->editRow() != current.row())
                m_model->post();
            dbf::Table* table = m_model->table();
            if (table && table->isOpen() && current.isValid() &&
                table->state() == dbf::Table::State::Browse)
                table->goToPosition(current.row());
        });
        notifySelection();
    }
}

bool TDBGridPro::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool opened = QTableView::edit(index, trigger, event);
    if (opened && state() == QAbstractItemView::EditingState)
        emit InitEdit();
    return opened;
}

void TDBGridPro::commitEdit()
{
    if (state() == EditingState) {
        // The open cell editor hands its text to the model, then closes.
        QWidget* editor = QApplication::focusWidget();
        if (editor && editor != this && isAncestorOf(editor)) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
    m_model->post();
}

void TDBGridPro::deleteRows(const std::vector<quint32>& records)
{
    dbf::Table* table = m_model->table();
    if (!table || !table->isOpen())
        return;
    m_batch = true;
    setUpdatesEnabled(false);
    try {
        table->deleteRecords(records);
    } catch (...) {
        m_batch = false;
        setUpdatesEnabled(true);
        reload();
        throw;
    }
    m_batch = false;
    reload();
    clearSelection();
    setUpdatesEnabled(true);
    notifySelection();
}

void TDBGridPro::setAutoColumnFit(bool on)
{
    m_autoFit = on;
    if (on)
        fitColumns();
}

void TDBGridPro::applyColumns()
{
    m_fitting = true;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const TgpColumn& column = m_columns[i];
        setColumnHidden(int(i), !column.Visible);
        m_header->resizeSection(int(i), std::max(2, column.Width));
    }
    m_fitting = false;
    if (m_autoFit)
        fitColumns();
    viewport()->update();
    m_header->viewport()->update();
    m_footer->update();
}

QString TDBGridPro::layoutText() const
{
    return writeLayoutText(std::vector<ColumnLayout>(m_columns.begin(), m_columns.end()));
}

void TDBGridPro::applyLayoutText(const QString& text)
{
    for (const ColumnLayout& item : readLayoutText(text)) {
        TgpColumn* column = columnByField(item.FieldName);
        if (!column)
            continue;
        const QString name = column->FieldName; // the grid's spelling stays
        static_cast<ColumnLayout&>(*column) = item;
        column->FieldName = name;
    }
    applyColumns();
}

void TDBGridPro::fitColumns()
{
    const int total = viewport()->width();
    int sum = 0;
    std::vector<int> visible;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].Visible) {
            visible.push_back(int(i));
            sum += std::max(2, m_columns[i].Width);
        }
    }
    if (visible.empty() || sum <= 0 || total <= 0)
        return;
    m_fitting = true;
    int used = 0;
    for (size_t k = 0; k < visible.size(); ++k) {
        TgpColumn& column = m_columns[size_t(visible[k])];
        int width = k + 1 == visible.size() ? total - used
                                            : int(qint64(std::max(2, column.Width)) * total / sum);
        width = std::max(2, width);
        column.Width = width;
        m_header->resizeSection(visible[k], width);
        used += width;
    }
    m_fitting = false;
    m_footer->update();
}

void TDBGridPro::onSectionResized(int logical, int, int newSize)
{
    if (m_fitting || logical < 0 || logical >= int(m_columns.size()))
        return;
    m_columns[size_t(logical)].Width = std::max(2, newSize);
    if (!m_autoFit) {
        m_footer->update();
        return;
    }
    // The operator widened or narrowed one column: the others make room together.
    const int total = viewport()->width();
    int others = 0;
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].Visible && int(i) != logical)
            others += m_columns[i].Width;
    }
    const int room = std::max(2, total - m_columns[size_t(logical)].Width);
    if (others > 0) {
        for (size_t i = 0; i < m_columns.size(); ++i) {
            if (m_columns[i].Visible && int(i) != logical)
                m_columns[i].Width = std::max(2, int(qint64(m_columns[i].Width) * room / others));
        }
    }
    QTimer::singleShot(0, this, [this] { fitColumns(); });
}

void TDBGridPro::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    if (m_autoFit)
        fitColumns();
}

void TDBGridPro::updateGeometries()
{
    QTableView::updateGeometries();
    // The footer row takes a strip under the rows, beside the headers' margins.
    const int footerHeight = fontMetrics().height() + 6;
    const int left = verticalHeader()->isHidden() ? 0 : verticalHeader()->width();
    const int top = horizontalHeader()->isHidden() ? 0 : horizontalHeader()->height();
    if (viewportMargins() != QMargins(left, top, 0, footerHeight))
        setViewportMargins(left, top, 0, footerHeight);
    const QRect area = viewport()->geometry();
    m_footer->setGeometry(area.left(), area.bottom() + 1, area.width(), footerHeight);
}

void TDBGridPro::onTitleClicked(int logical)
{
    clickTitle(logical, QGuiApplication::keyboardModifiers().testFlag(Qt::ControlModifier));
}

void TDBGridPro::clickTitle(int column, bool ctrl)
{
    if (column < 0 || column >= int(m_columns.size()))
        return;
    TgpColumn& clicked = m_columns[size_t(column)];
    if (ctrl) {
        if (clicked.TitleState == tsSortedNone)
            return;
        clicked.TitleState = tsSortedNone;
        clicked.SortOrder = -1;
    } else {
        const TTitleState old = clicked.TitleState;
        for (TgpColumn& c : m_columns) {
            c.TitleState = tsSortedNone;
            c.SortOrder = -1;
        }
        clicked.TitleState = old == tsSortedUp ? tsSortedDown : tsSortedUp;
        clicked.SortOrder = ++m_runningSortNumber;
    }
    m_header->viewport()->update();
    emit TitleStateChange(column);
}

void TDBGridPro::setTitleState(int column, TTitleState state)
{
    TgpColumn& c = m_columns[size_t(column)];
    if (c.TitleState == tsSortedNone && state != tsSortedNone)
        c.SortOrder = ++m_runningSortNumber;
    if (state == tsSortedNone)
        c.SortOrder = -1;
    c.TitleState = state;
    m_header->viewport()->update();
}

void TDBGridPro::setFooterText(int column, const QString& text)
{
    m_columns[size_t(column)].FooterText = text;
    m_footer->update();
}

} // namespace t7
