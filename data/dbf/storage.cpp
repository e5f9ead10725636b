#include "data/dbf/storage.h"

#include <QFile>
#include <QFileInfo>

namespace t7::dbf {

namespace {

class DiskTableFile : public File
{
public:
    explicit DiskTableFile(std::unique_ptr<DiskFile> file) : m_file(std::move(file)) {}

    qint64 size() override { return m_file->size(); }
    bool read(qint64 offset, char* data, qint64 length) override
    {
        return m_file->read(offset, data, length);
    }
    bool write(qint64 offset, const char* data, qint64 length) override
    {
        return m_file->write(offset, data, length);
    }
    bool resize(qint64 length) override { return m_file->resize(length); }
    bool sync() override { return m_file->sync(); }
    bool lock() override { return m_file->lock(); }
    QString errorString() const override { return m_file->errorString(); }

private:
    std::unique_ptr<DiskFile> m_file;
};

} // namespace

bool Storage::commit(const QString& path, QByteArrayView bytes, QString& error)
{
    const QString temporary = path + QStringLiteral(".new~");
    if (!writeNew(temporary, bytes, error))
        return false;
    if (replace(temporary, path, error))
        return true;
    remove(temporary);
    return false;
}

std::unique_ptr<File> DiskStorage::open(const QString& path, OpenMode mode, QString& error)
{
    const DiskFile::Mode diskMode = mode == OpenMode::ReadOnly    ? DiskFile::Mode::ReadOnly
                                    : mode == OpenMode::ReadWrite ? DiskFile::Mode::ReadWrite
                                                                  : DiskFile::Mode::Create;
    auto file = DiskFile::open(path, diskMode, error, m_faults);
    if (!file)
        return nullptr;
    return std::make_unique<DiskTableFile>(std::move(file));
}

bool DiskStorage::exists(const QString& path)
{
    return QFileInfo::exists(path);
}

bool DiskStorage::remove(const QString& path)
{
    return QFile::remove(path);
}

bool DiskStorage::replace(const QString& from, const QString& to, QString& error)
{
    return replaceFile(from, to, error);
}

bool DiskStorage::writeNew(const QString& path, QByteArrayView bytes, QString& error)
{
    return writeNewFile(path, bytes, error, m_faults);
}

Storage& defaultStorage()
{
    static DiskStorage storage;
    return storage;
}

} // namespace t7::dbf
