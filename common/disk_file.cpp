#include "common/disk_file.h"

#include <QFile>

#include <algorithm>

#include <cerrno>
#include <csignal>
#include <cstring>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace t7 {

QString systemErrorText(int code)
{
    switch (code) {
    case ENOSPC:
        return QStringLiteral("на диске нет места");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("превышена дисковая квота");
#endif
    case EFBIG:
        return QStringLiteral("файл превысил допустимый размер");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода диска");
    case EROFS:
        return QStringLiteral("диск доступен только для чтения");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав доступа");
    case ENOENT:
        return QStringLiteral("файл или папка не найдены");
    case EISDIR:
        return QStringLiteral("это папка");
    case ENOTDIR:
        return QStringLiteral("путь проходит не через папку");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("открыто слишком много файлов");
    case EXDEV:
        return QStringLiteral("файлы на разных дисках");
    case 0:
        return QStringLiteral("неизвестная ошибка");
    default:
        return QStringLiteral("системная ошибка %1 (%2)")
            .arg(code)
            .arg(QString::fromLocal8Bit(std::strerror(code)));
    }
}

#ifdef Q_OS_WIN

namespace {

qint64 positionedRead(int handle, char* data, qint64 length, qint64 offset)
{
    if (_lseeki64(handle, offset, SEEK_SET) < 0)
        return -1;
    return _read(handle, data, unsigned(std::min<qint64>(length, 1 << 30)));
}

qint64 positionedWrite(int handle, const char* data, qint64 length, qint64 offset)
{
    if (_lseeki64(handle, offset, SEEK_SET) < 0)
        return -1;
    return _write(handle, data, unsigned(std::min<qint64>(length, 1 << 30)));
}

int openHandle(const QString& path, int flags)
{
    int handle = -1;
    flags |= _O_BINARY | _O_NOINHERIT;
    _wsopen_s(&handle, reinterpret_cast<const wchar_t*>(path.utf16()), flags, _SH_DENYNO,
              _S_IREAD | _S_IWRITE);
    return handle;
}

} // namespace

#else

namespace {

qint64 positionedRead(int handle, char* data, qint64 length, qint64 offset)
{
    return ::pread(handle, data, size_t(length), off_t(offset));
}

qint64 positionedWrite(int handle, const char* data, qint64 length, qint64 offset)
{
    return ::pwrite(handle, data, size_t(length), off_t(offset));
}

int openHandle(const QString& path, int flags)
{
    // Not blocking: opening a FIFO would otherwise wait for a writer before the check below
    // can refuse it. Regular files ignore the flag.
    return ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
}

} // namespace

#endif

std::unique_ptr<DiskFile> DiskFile::open(const QString& path, Mode mode, QString& error,
                                         WriteFaults* faults)
{
    const int flags = mode == Mode::ReadOnly    ? O_RDONLY
                      : mode == Mode::ReadWrite ? O_RDWR
                                                : O_RDWR | O_CREAT | O_TRUNC;
    const int handle = openHandle(path, flags);
    if (handle < 0) {
        error = systemErrorText(errno);
        return nullptr;
    }
    std::unique_ptr<DiskFile> file(new DiskFile(handle, faults));
#ifndef Q_OS_WIN
    // A folder, a pipe or a device is no file of ours: reading a FIFO would wait forever.
    struct stat info
    {};
    if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
        error =
            S_ISDIR(info.st_mode) ? systemErrorText(EISDIR) : QStringLiteral("это не обычный файл");
        return nullptr;
    }
#endif
    return file;
}

DiskFile::~DiskFile()
{
#ifdef Q_OS_WIN
    _close(m_handle);
#else
    ::close(m_handle);
#endif
}

bool DiskFile::failed(int code)
{
    m_error = code;
    return false;
}

qint64 DiskFile::size()
{
#ifdef Q_OS_WIN
    struct _stat64 info
    {};
    if (_fstat64(m_handle, &info) != 0)
#else
    struct stat info
    {};
    if (::fstat(m_handle, &info) != 0)
#endif
    {
        m_error = errno;
        return -1;
    }
    return qint64(info.st_size);
}

bool DiskFile::read(qint64 offset, char* data, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        const qint64 got = positionedRead(m_handle, data + done, length - done, offset + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failed(errno);
        if (got == 0)
            return failed(EIO); // the file is shorter than it said
        done += got;
    }
    return true;
}

bool DiskFile::write(qint64 offset, const char* data, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        qint64 allowed = length - done;
        if (m_faults) {
            int code = 0;
            allowed = std::min(allowed, m_faults->allow(allowed, code));
            if (allowed <= 0)
                return failed(code);
        }
        const qint64 put = positionedWrite(m_handle, data + done, allowed, offset + done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return failed(errno);
        if (put == 0)
            return failed(ENOSPC); // a write that takes nothing: the disk is full
        done += put;
    }
    return true;
}

bool DiskFile::resize(qint64 length)
{
#ifdef Q_OS_WIN
    if (_chsize_s(m_handle, length) == 0)
#else
    if (::ftruncate(m_handle, off_t(length)) == 0)
#endif
        return true;
    return failed(errno);
}

bool DiskFile::sync()
{
#ifdef Q_OS_WIN
    if (_commit(m_handle) == 0)
#else
    if (::fsync(m_handle) == 0)
#endif
        return true;
    return failed(errno);
}

bool DiskFile::lock()
{
#ifdef Q_OS_WIN
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(m_handle));
    OVERLAPPED whole{};
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                   MAXDWORD, &whole) != 0)
        return true;
    return failed(EACCES);
#else
    // Advisory locks: other programs may still read the file.
    if (::flock(m_handle, LOCK_EX | LOCK_NB) != 0)
        return failed(errno);
    struct flock whole
    {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
#ifdef F_OFD_SETLK
    // Held by this open file, so closing another descriptor of the same file elsewhere in
    // the program does not drop it, as it would a classic record lock.
    const int command = F_OFD_SETLK;
#else
    const int command = F_SETLK;
#endif
    if (::fcntl(m_handle, command, &whole) != 0) {
        const int code = errno;
        ::flock(m_handle, LOCK_UN);
        return failed(code);
    }
    return true;
#endif
}

QString DiskFile::errorString() const
{
    return systemErrorText(m_error);
}

bool writeNewFile(const QString& path, QByteArrayView bytes, QString& error, WriteFaults* faults)
{
    auto file = DiskFile::open(path, DiskFile::Mode::Create, error, faults);
    if (!file)
        return false;
    if (file->write(0, bytes.data(), bytes.size()) && file->sync())
        return true;
    error = file->errorString();
    file.reset();
    QFile::remove(path);
    return false;
}

bool replaceFile(const QString& from, const QString& to, QString& error)
{
#ifdef Q_OS_WIN
    if (MoveFileExW(reinterpret_cast<const wchar_t*>(from.utf16()),
                    reinterpret_cast<const wchar_t*>(to.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = systemErrorText(EACCES);
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    error = systemErrorText(errno);
#endif
    return false;
}

bool writeFileSafely(const QString& path, QByteArrayView bytes, QString& error, WriteFaults* faults)
{
    const QString temporary = path + QStringLiteral(".new~");
    if (!writeNewFile(temporary, bytes, error, faults))
        return false;
    if (replaceFile(temporary, path, error))
        return true;
    QFile::remove(temporary);
    return false;
}

void ignoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace t7
