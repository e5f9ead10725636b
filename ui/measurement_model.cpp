#include "ui/measurement_model.h"

#include <QColor>

namespace t7 {

namespace {

bool coloured(const TgpColumn& column)
{
    return column.Color != clNone && column.Color < 0x80000000u;
}

// Black on light fills, white on dark ones, by the fill's luminance (ITU-R BT.601).
QColor textOn(const QColor& fill)
{
    const double luminance = 0.299 * fill.red() + 0.587 * fill.green() + 0.114 * fill.blue();
    return luminance < 128 ? QColor(Qt::white) : QColor(Qt::black);
}

QColor fromTColor(quint32 color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

Qt::Alignment alignmentOf(TAlignment alignment)
{
    switch (alignment) {
    case talLeftJustify:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case talRightJustify:
        return Qt::AlignRight | Qt::AlignVCenter;
    case talCenter:
        return Qt::AlignCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

bool isCheckColumn(const TgpColumn& column)
{
    return column.FieldName == QLatin1String("A");
}

} // namespace

MeasurementModel::MeasurementModel(std::vector<TgpColumn>& columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(columns)
{}

void MeasurementModel::setTable(dbf::Table* table)
{
    m_table = table;
    reload();
}

void MeasurementModel::reload()
{
    beginResetModel();
    m_editRow = -1;
    m_pending.clear();
    m_fields.clear();
    for (const TgpColumn& column : m_columns)
        m_fields.push_back(m_table && m_table->isOpen() ? m_table->fieldIndex(column.FieldName)
                                                        : -1);
    endResetModel();
}

int MeasurementModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_table || !m_table->isOpen())
        return 0;
    return int(m_table->visibleCount());
}

int MeasurementModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

quint32 MeasurementModel::recordAt(int row) const
{
    return m_table->order()[size_t(row)];
}

QVariant MeasurementModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TgpColumn& column = m_columns[size_t(index.column())];
    const int field = m_fields[size_t(index.column())];
    auto text = [&]() -> QString {
        if (index.row() == m_editRow) {
            const auto hit = m_pending.find(index.column());
            if (hit != m_pending.end())
                return hit->second;
        }
        return field < 0 ? QString() : m_table->textOf(recordAt(index.row()), field);
    };
    switch (role) {
    case Qt::DisplayRole:
        return isCheckColumn(column) ? QVariant() : QVariant(text());
    case Qt::EditRole:
        return text();
    case Qt::CheckStateRole:
        if (!isCheckColumn(column))
            return {};
        return text() == QLatin1String("1") ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignmentOf(column.Alignment));
    case Qt::BackgroundRole:
        return coloured(column) ? QVariant(fromTColor(column.Color)) : QVariant();
    case Qt::ForegroundRole:
        // On a column's own colour the values are black or white, whichever reads better.
        return coloured(column) ? QVariant(textOn(fromTColor(column.Color))) : QVariant();
    default:
        return {};
    }
}

Qt::ItemFlags MeasurementModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags; // the root of a table model is no item
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const TgpColumn& column = m_columns[size_t(index.column())];
    if (!column.ReadOnly && m_fields[size_t(index.column())] >= 0)
        flags |= isCheckColumn(column) ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return flags;
}

bool MeasurementModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || !(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    QString text;
    if (role == Qt::CheckStateRole)
        text = value.toInt() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0");
    else if (role == Qt::EditRole)
        text = value.toString();
    else
        return false;
    if (m_editRow >= 0 && m_editRow != index.row())
        post();
    m_editRow = index.row();
    m_pending[index.column()] = text;
    emit dataChanged(index, index);
    return true;
}

void MeasurementModel::post()
{
    if (m_editRow < 0)
        return;
    const int row = m_editRow;
    const std::map<int, QString> pending = std::move(m_pending);
    m_pending.clear();
    m_editRow = -1;
    if (!m_table || !m_table->isOpen() || row >= rowCount())
        return;
    const quint32 record = recordAt(row);
    m_table->editRecord(record);
    try {
        for (const auto& [column, text] : pending)
            m_table->setText(m_columns[size_t(column)].FieldName, text);
        m_table->post();
    } catch (...) {
        m_table->cancel();
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        throw;
    }
    // A posted key change can move the row when the table is sorted.
    if (m_table->order()[size_t(row)] != record)
        reload();
    else
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

QVariant MeasurementModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < int(m_columns.size()))
        return m_columns[size_t(section)].Caption;
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace t7
