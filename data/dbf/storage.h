#pragma once

#include "common/disk_file.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace t7::dbf {

// One open file with positioned, unbuffered reads and writes.
class File
{
public:
    virtual ~File() = default;
    virtual qint64 size() = 0;
    virtual bool read(qint64 offset, char* data, qint64 length) = 0;
    // Writes every byte or fails; what a failed write did put stays where it belongs.
    virtual bool write(qint64 offset, const char* data, qint64 length) = 0;
    virtual bool resize(qint64 length) = 0;
    // Waits until everything written is on the disk itself.
    virtual bool sync() = 0;
    // Takes the write lock; false when another program (or another open) holds it.
    virtual bool lock() = 0;
    // Why the last operation failed, in the operator's words.
    virtual QString errorString() const = 0;
};

enum class OpenMode {
    ReadWrite, // an existing file
    ReadOnly,  // an existing file, read only
    Create,    // created or truncated
};

// The file layer under the table engine; tests put one in that fails on purpose.
class Storage
{
public:
    virtual ~Storage() = default;
    // Nothing and the reason in `error` when the file cannot be opened so.
    virtual std::unique_ptr<File> open(const QString& path, OpenMode mode, QString& error) = 0;
    virtual bool exists(const QString& path) = 0;
    virtual bool remove(const QString& path) = 0;
    // Puts `from` in the place of `to` in one step.
    virtual bool replace(const QString& from, const QString& to, QString& error) = 0;
    // Creates `path` with these bytes on the disk itself, or fails and leaves no file.
    virtual bool writeNew(const QString& path, QByteArrayView bytes, QString& error) = 0;

    // Puts a whole new file in the place of `path` only once every byte of it is on disk,
    // so that a failure leaves the old file as it was.
    bool commit(const QString& path, QByteArrayView bytes, QString& error);
};

// The disk; `faults`, when given, decides how much of each write the disk takes.
class DiskStorage : public Storage
{
public:
    explicit DiskStorage(WriteFaults* faults = nullptr) : m_faults(faults) {}
    std::unique_ptr<File> open(const QString& path, OpenMode mode, QString& error) override;
    bool exists(const QString& path) override;
    bool remove(const QString& path) override;
    bool replace(const QString& from, const QString& to, QString& error) override;
    bool writeNew(const QString& path, QByteArrayView bytes, QString& error) override;

private:
    WriteFaults* m_faults;
};

Storage& defaultStorage();

} // namespace t7::dbf
