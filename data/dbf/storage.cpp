#include "data/dbf/storage.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/file.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#endif

namespace t7::dbf {

namespace {

class DiskFile : public File
{
public:
    explicit DiskFile(const QString& path) : m_file(path) {}
    bool open(QIODevice::OpenMode mode) { return m_file.open(mode); }

    qint64 size() override { return m_file.size(); }
    bool read(qint64 offset, char* data, qint64 length) override
    {
        return m_file.seek(offset) && m_file.read(data, length) == length;
    }
    bool write(qint64 offset, const char* data, qint64 length) override
    {
        return m_file.seek(offset) && m_file.write(data, length) == length;
    }
    bool resize(qint64 length) override { return m_file.resize(length); }
    bool flush() override { return m_file.flush(); }
    bool lock() override
    {
#ifdef Q_OS_UNIX
        // An advisory lock: other programs may still read the file.
        return ::flock(m_file.handle(), LOCK_EX | LOCK_NB) == 0;
#elif defined(Q_OS_WIN)
        HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(m_file.handle()));
        OVERLAPPED whole{};
        return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                          MAXDWORD, &whole) != 0;
#else
        return true;
#endif
    }
    QString errorString() const override
    {
        return m_file.errorString();
    }

private:
    QFile m_file;
};

class DiskStorage : public Storage
{
public:
    std::unique_ptr<File> open(const QString& path, OpenMode mode, QString& error) override
    {
        auto file = std::make_unique<DiskFile>(path);
        const QIODevice::OpenMode qtMode = mode == OpenMode::ReadOnly ? QIODevice::ReadOnly
                                           : mode == OpenMode::Create
                                               ? QIODevice::ReadWrite | QIODevice::Truncate
                                               : QIODevice::ReadWrite | QIODevice::ExistingOnly;
        if (!file->open(qtMode)) {
            error = file->errorString();
            return nullptr;
        }
        return file;
    }
    bool exists(const QString& path) override { return QFileInfo::exists(path); }
    bool remove(const QString& path) override { return QFile::remove(path); }
    bool replace(const QString& from, const QString& to, QString& error) override
    {
#ifdef Q_OS_UNIX
        if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) ==
            0)
            return true;
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
#else
        if (MoveFileExW(reinterpret_cast<const wchar_t*>(from.utf16()),
                        reinterpret_cast<const wchar_t*>(to.utf16()),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        error = QStringLiteral("cannot replace %1").arg(to);
        return false;
#endif
    }
};

} // namespace

Storage& defaultStorage()
{
    static DiskStorage storage;
    return storage;
}

} // namespace t7::dbf
