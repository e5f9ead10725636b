#include "data/file_commands.h"

#include "common/error.h"
#include "common/product.h"
#include "data/conversion.h"
#include "data/measurement.h"

#include <QDir>
#include <QFileInfo>

namespace t7 {

namespace {

FileDialogSpec dataFileDialog(const QString& filter, const QString& folder, bool overwrite)
{
    FileDialogSpec spec;
    spec.filter = filter;
    spec.defaultSuffix = QStringLiteral("db");
    spec.folder = folder;
    spec.confirmOverwrite = overwrite;
    return spec;
}

} // namespace

QString fileCaption(const QString& path)
{
    return QFileInfo(path).completeBaseName() + QStringLiteral(" - ") + ProductTitle();
}

DataFileCommands::DataFileCommands(DataFileView& view, dbf::Table& table,
                                   QByteArrayView deviceImage)
    : m_view(view), m_table(table), m_image(deviceImage)
{}

int DataFileCommands::flash2pvk01(bool append)
{
    LastAppended = t7::flash2pvk01(m_table, m_image, append, ArchiveCount);
    return LastAppended;
}

void DataFileCommands::N2Click()
{
    if (TableOpen)
        Close_DB();
    // An existing file is replaced only after the operator agreed to it.
    const QString path = m_view.prompts().saveFileName(
        dataFileDialog(QStringLiteral("Файлы данных|*.db"), DialogFolder, true));
    if (path.isEmpty())
        return;
    if (m_view.showReceiveWindow() != 1)
        return;
    Create_DB(path);
}

void DataFileCommands::Create_DB(const QString& path)
{
    TableOpen = false;
    TableModified = false;
    if (m_table.isOpen()) {
        m_table.close();
        m_view.tableChanged();
    }
    // A file of that name stays as it is until the new one is complete: the new one is
    // built beside it and takes its name at the end.
    dbf::Storage& storage = m_table.storage();
    const bool replacing = storage.exists(path);
    if (replacing)
        dbf::Table::ensureNotHeld(path, storage);
    const QString building = replacing ? path + QStringLiteral(".new~") : path;
    m_table.setPath(building);
    createMeasurementFile(building, m_table.today(), storage);
    try {
        m_table.open(measurementRequirements());
        flash2pvk01(false);
        if (replacing) {
            m_table.close();
            QString error;
            if (!storage.replace(building, path, error))
                throw Error(QStringLiteral("Не удалось записать файл %1: %2").arg(path, error));
            m_table.setPath(path);
            m_table.open(measurementRequirements());
        }
    } catch (...) {
        // A conversion that stopped leaves its rows in a new file but no file open; a file
        // that was to be replaced keeps its old rows. The first failure is the one to tell.
        try {
            m_table.close();
        } catch (const Error&) {
        }
        if (replacing)
            storage.remove(building);
        m_table.setPath(path);
        m_view.tableChanged();
        throw;
    }
    if (ArchiveCount == 0) {
        m_view.prompts().message(QStringLiteral("Архив прибора пуст!"), errorCaption(),
                                 Icon::Information);
        m_table.close();
        m_view.tableChanged();
        return;
    }
    TableOpen = true;
    m_view.tableChanged();
    m_view.find_mma();
    m_view.showFileOpen(layoutValueName());
    TableModified = false;
}

void DataFileCommands::N3Click()
{
    const QString path = m_view.prompts().openFileName(
        dataFileDialog(QStringLiteral("Базы данных|*.db"), DialogFolder, false));
    if (!path.isEmpty())
        openChosen(path);
}

void DataFileCommands::openChosen(const QString& path)
{
    if (TableOpen)
        Close_DB();
    WorkingFolder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    Open_DB(path);
}

bool DataFileCommands::Open_DB(const QString& path)
{
    if (TableOpen)
        Close_DB();
    m_table.setPath(path);
    try {
        m_table.open(measurementRequirements());
    } catch (const std::exception& e) {
        LastError = exceptionText(e);
        m_view.tableChanged();
        m_view.prompts().message(QStringLiteral("База данных повреждена !"), errorCaption(),
                                 Icon::Error);
        return false;
    }
    TableOpen = true;
    m_view.tableChanged();
    m_view.find_mma();
    m_table.first();
    m_view.showFileOpen(layoutValueName());
    m_view.setCaption(fileCaption(path));
    TableModified = false;
    return true;
}

void DataFileCommands::N4Click()
{
    if (!TableOpen)
        return;
    if (m_view.showReceiveWindow() == 2)
        return;
    Append_DB();
}

void DataFileCommands::Append_DB()
{
    if (m_table.isOpen())
        reset_sort(sortTagName());
    flash2pvk01(true);
    TableOpen = true;
    Save_DB();
    // The footers show the whole table's figures, new rows included.
    m_view.find_mma();
    m_view.tab_vis_en();
    m_view.showStatus(LastAppended > 0 ? QStringLiteral("Добавлено записей: %1").arg(LastAppended)
                                       : QStringLiteral("Новых записей в архиве нет"));
}

void DataFileCommands::N5Click()
{
    Save_DB();
}

void DataFileCommands::Save_DB()
{
    if (!TableOpen)
        return;
    if (m_table.isOpen())
        m_view.commitGridEdit();
    m_table.close();
    try {
        m_table.open(measurementRequirements());
    } catch (...) {
        // The file went away or was damaged behind our back: show that no file is open.
        TableOpen = false;
        TableModified = false;
        m_view.tableChanged();
        m_view.showNoFile();
        throw;
    }
    m_view.tableChanged();
    TableModified = false;
}

void DataFileCommands::N7Click()
{
    Close_DB();
}

void DataFileCommands::Close_DB()
{
    if (TableModified &&
        m_view.prompts().question(QStringLiteral("Сохранить изменения в таблицах ?"),
                                  ProductTitle(), Icon::Question) == Answer::Yes)
        Save_DB();
    m_view.Save_Layout(layoutValueName());
    TableOpen = false;
    TableModified = false;
    if (m_table.isOpen()) {
        const QString index = m_table.indexPath();
        m_table.close();
        m_table.storage().remove(index);
    }
    m_view.tableChanged();
    m_view.showNoFile();
}

void DataFileCommands::reset_sort(const QString& tag)
{
    m_view.clearSortMarks();
    if (!m_table.isOpen())
        return;
    dropSortTag(tag);
    m_view.tableChanged();
}

void DataFileCommands::dropSortTag(const QString& tag)
{
    try {
        m_table.selectTag(QString());
        m_table.dropTag(tag);
        m_table.releaseTag(tag);
        m_table.refresh();
    } catch (const Error&) {
        // Usually there was no sort to remove.
    }
}

} // namespace t7
