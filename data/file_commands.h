#pragma once

#include "common/prompts.h"
#include "data/dbf/table.h"

#include <QByteArrayView>
#include <QString>

namespace t7 {

// What the data file commands ask of the window that shows the file.
class DataFileView
{
public:
    virtual ~DataFileView() = default;

    virtual Prompts& prompts() = 0;
    // Shows the receive window modally; its result (1: an archive is in the device image).
    virtual int showReceiveWindow() = 0;
    // The look with a file open: the window's colour, the file commands enabled, the grid
    // shown at its first row with the stored column layout.
    virtual void showFileOpen(const QString& layoutValueName) = 0;
    // The look without a file: the file commands disabled, the grid hidden, the product
    // title as caption, the window's colour.
    virtual void showNoFile() = 0;
    // Shows the grid again at its first row.
    virtual void tab_vis_en() = 0;
    // Sets the application title and the window caption to the same text.
    virtual void setCaption(const QString& title) = 0;
    virtual void find_mma() = 0;
    virtual void Save_Layout(const QString& valueName) = 0;
    // Posts the row being edited in the grid.
    virtual void commitGridEdit() = 0;
    // Removes the sort mark from every column title.
    virtual void clearSortMarks() = 0;
    // The table was opened, reopened or closed: the grid reads it afresh.
    virtual void tableChanged() {}
    // A short note on how a command went, where the window keeps such notes.
    virtual void showStatus(const QString& /*text*/) {}
};

// The commands of the "Файл" menu that create, open, extend, save and close a data file,
// and the two flags that tell the rest of the program about it.
class DataFileCommands
{
public:
    DataFileCommands(DataFileView& view, dbf::Table& table, QByteArrayView deviceImage);

    bool TableOpen = false;
    bool TableModified = false;
    quint16 ArchiveCount = 0;
    QString WorkingFolder;
    // The folder the file dialogs start in; set once at start-up.
    QString DialogFolder;
    // Rows appended by the last conversion.
    int LastAppended = 0;
    // Why the last open failed, in the engine's words.
    QString LastError;

    void N2Click(); // New
    void N3Click(); // Open
    void N4Click(); // Append
    void N5Click(); // Save
    void N7Click(); // Close

    // The steps behind the commands; they report to the operator themselves.
    void Create_DB(const QString& path);
    bool Open_DB(const QString& path);
    // Opens a file the operator chose (in the open dialog, or dropped on the window): the
    // open file is closed first, with its save question, and the folder becomes the
    // working folder.
    void openChosen(const QString& path);
    void Append_DB();
    void Save_DB();
    void Close_DB();
    void reset_sort(const QString& tag);
    // Drops the sort tag and shows the rows in file order; a table without one stays as it is.
    void dropSortTag(const QString& tag);
    int flash2pvk01(bool append);

    static QString layoutValueName() { return QStringLiteral("Table_1"); }

private:
    DataFileView& m_view;
    dbf::Table& m_table;
    QByteArrayView m_image;
};

// "test - ТЕСКАР-7" for the file C:\data\test.db.
QString fileCaption(const QString& path);

} // namespace t7
