#pragma once

#include <QString>

#include <memory>

namespace t7::dbf {

// One open file with positioned reads and writes.
class File
{
public:
    virtual ~File() = default;
    virtual qint64 size() = 0;
    virtual bool read(qint64 offset, char* data, qint64 length) = 0;
    virtual bool write(qint64 offset, const char* data, qint64 length) = 0;
    virtual bool resize(qint64 length) = 0;
    // Hands everything written to the system.
    virtual bool flush() = 0;
    // Takes the write lock; false when another program (or another open) holds it.
    virtual bool lock() = 0;
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
};

Storage& defaultStorage();

} // namespace t7::dbf
