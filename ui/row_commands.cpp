#include "ui/row_commands.h"

#include "common/error.h"
#include "data/measurement.h"

namespace t7 {

void RowCommands::N17Click()
{
    if (!tableActive())
        return;
    const int column = m_grid.currentColumn();
    const std::optional<quint32> color = m_prompts.chooseColor(m_lastColor);
    if (!color)
        return;
    m_lastColor = *color;
    if (column < 0)
        return;
    m_grid.Columns()[size_t(column)].Color = *color;
    m_grid.applyColumns();
}

void RowCommands::N18Click()
{
    const int column = m_grid.currentColumn();
    if (!tableActive() || column < 0)
        return;
    m_grid.Columns()[size_t(column)].Color = clNone;
    m_grid.applyColumns();
}

void RowCommands::N19Click()
{
    if (tableActive())
        Clear_Colors();
}

void RowCommands::Clear_Colors()
{
    for (TgpColumn& column : m_grid.Columns())
        column.Color = clNone;
    m_grid.applyColumns();
}

void RowCommands::N23Click()
{
    if (tableActive())
        Equal_Columns();
}

void RowCommands::Equal_Columns()
{
    m_grid.setAutoColumnFit(false);
    const int width = std::max(2, m_grid.width() / int(m_grid.Columns().size()));
    for (TgpColumn& column : m_grid.Columns())
        column.Width = width;
    m_grid.applyColumns();
    m_grid.setAutoColumnFit(true);
    m_grid.viewport()->update();
}

void RowCommands::N33Click()
{
    m_files.reset_sort(sortTagName());
    if (tableActive())
        m_view.tab_vis_en();
}

void RowCommands::DBGridPro1TitleStateChange(int column)
{
    const TgpColumn& c = m_grid.Columns()[size_t(column)];
    m_files.dropSortTag(sortTagName());
    if (c.TitleState == tsSortedNone) {
        m_files.reset_sort(sortTagName());
        m_view.tab_vis_en();
        return;
    }
    try {
        // The first click shows the greatest key first.
        m_table.addTag(sortTagName(), c.FieldName, c.TitleState == tsSortedUp);
        m_table.selectTag(sortTagName()); // sorted and written once, by addTag
        m_table.refresh();
    } catch (...) {
        m_view.tableChanged();
        throw;
    }
    m_view.tableChanged();
    m_view.tab_vis_en();
}

void RowCommands::reopen()
{
    m_table.close();
    m_table.open(measurementRequirements());
    m_view.tableChanged();
}

void RowCommands::Delete_Rows()
{
    if (!tableActive())
        return;
    // An edit in progress is posted before its row may go; the selection is taken before
    // the sort goes, which shows the rows afresh.
    m_grid.commitEdit();
    const std::vector<quint32> selected = m_grid.selectedRecords();
    m_files.reset_sort(sortTagName());
    m_grid.deleteRows(selected);
    m_table.pack();
    reopen();
    m_files.TableModified = false;
    m_view.tab_vis_en();
}

void RowCommands::Renumber()
{
    if (!m_files.TableOpen)
        return;
    if (m_table.isOpen()) {
        m_grid.commitEdit();
        const qint64 rows = m_table.visibleCount();
        if (rows > kMaxRowNumber) {
            m_prompts.message(QStringLiteral("В таблице %1 строк: номер строки не может быть "
                                             "больше 9999. Строки не перенумерованы.")
                                  .arg(rows),
                              errorCaption(), Icon::Error);
            return;
        }
        // The numbers follow the order shown when the command started.
        renumberShown(m_table);
        m_table.first();
    }
    reopen();
    m_view.tab_vis_en();
}

} // namespace t7
