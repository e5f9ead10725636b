#pragma once

#include "common/prompts.h"
#include "data/dbf/table.h"
#include "data/file_commands.h"
#include "ui/grid.h"

namespace t7 {

// The commands on the grid's rows and columns: colours, equal widths, sorting by a title
// click, deleting and renumbering rows. Each acts only with an active table.
class RowCommands
{
public:
    RowCommands(TDBGridPro& grid, dbf::Table& table, DataFileCommands& files, DataFileView& view,
                Prompts& prompts)
        : m_grid(grid), m_table(table), m_files(files), m_view(view), m_prompts(prompts)
    {}

    void N17Click(); // colour of the current column, chosen in the colour dialog
    void N18Click(); // no colour for the current column
    void N19Click(); // no colour anywhere
    void N23Click(); // equal column widths
    void N33Click(); // no sort
    void DBGridPro1TitleStateChange(int column);

    void Clear_Colors();
    void Equal_Columns();
    void Delete_Rows();
    void Renumber();

private:
    bool tableActive() const { return m_table.isOpen(); }
    void reopen();

    TDBGridPro& m_grid;
    dbf::Table& m_table;
    DataFileCommands& m_files;
    DataFileView& m_view;
    Prompts& m_prompts;
    quint32 m_lastColor = clBlack;
};

} // namespace t7
