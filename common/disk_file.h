#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace t7 {

// The operator's words for a system error number: "на диске нет места" for a full disk.
QString systemErrorText(int code);

// What the disk makes of the next system write. Tests put one in that fails as a full
// disk does: the bytes that still fit are written, the next write fails.
class WriteFaults
{
public:
    virtual ~WriteFaults() = default;
    // How many of `length` bytes the write takes; 0 makes it fail with `error`.
    virtual qint64 allow(qint64 length, int& error) = 0;
};

// A file on disk with positioned, unbuffered reads and writes: every write goes to the
// system at once and is checked for its full length, so nothing is held back that a later
// write could put in the wrong place.
class DiskFile
{
public:
    enum class Mode {
        ReadOnly,  // an existing file
        ReadWrite, // an existing file
        Create,    // created or truncated
    };

    // Nothing, and the reason in `error`, when the file cannot be opened so.
    static std::unique_ptr<DiskFile> open(const QString& path, Mode mode, QString& error,
                                          WriteFaults* faults = nullptr);
    ~DiskFile();
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    qint64 size();
    bool read(qint64 offset, char* data, qint64 length);
    bool write(qint64 offset, const char* data, qint64 length);
    bool resize(qint64 length);
    // Waits until everything written is on the disk itself.
    bool sync();
    // Takes the write lock of the whole file, in both ways other programs lock files (a
    // whole-file lock and a record lock); false when another program holds either.
    bool lock();
    // Why the last operation failed, in the operator's words.
    QString errorString() const;

private:
    DiskFile(int handle, WriteFaults* faults) : m_handle(handle), m_faults(faults) {}
    bool failed(int code);

    int m_handle = -1;
    WriteFaults* m_faults = nullptr;
    int m_error = 0;
};

// Creates (or truncates) `path` and writes every byte to the disk itself; when that fails
// the file is removed again.
bool writeNewFile(const QString& path, QByteArrayView bytes, QString& error,
                  WriteFaults* faults = nullptr);

// Puts `from` in the place of `to` in one step.
bool replaceFile(const QString& from, const QString& to, QString& error);

// Writes a whole file and puts it in place of `path` only when every byte is on disk: the
// bytes go to a new file beside it that is renamed over `path` at the end. When anything
// fails, the file that had the name before is as it was and nothing else is left behind.
bool writeFileSafely(const QString& path, QByteArrayView bytes, QString& error,
                     WriteFaults* faults = nullptr);

// A write beyond the process's file size limit then fails with an error the program
// reports, instead of the signal ending the program.
void ignoreFileSizeSignal();

} // namespace t7
