#pragma once

#include "data/dbf/storage.h"

#include <algorithm>

namespace t7::test {

// The disk, until a budget of written bytes runs out: then a write puts what still fits
// and fails, as on a full disk.
class FailingStorage : public dbf::Storage
{
public:
    explicit FailingStorage(qint64 budget) : m_budget(budget) {}
    qint64 budget() const { return m_budget; }

    std::unique_ptr<dbf::File> open(const QString& path, dbf::OpenMode mode,
                                    QString& error) override
    {
        auto file = dbf::defaultStorage().open(path, mode, error);
        if (!file)
            return nullptr;
        return std::make_unique<FailingFile>(std::move(file), m_budget);
    }
    bool exists(const QString& path) override { return dbf::defaultStorage().exists(path); }
    bool remove(const QString& path) override { return dbf::defaultStorage().remove(path); }
    bool replace(const QString& from, const QString& to, QString& error) override
    {
        return dbf::defaultStorage().replace(from, to, error);
    }

private:
    class FailingFile : public dbf::File
    {
    public:
        FailingFile(std::unique_ptr<dbf::File> inner, qint64& budget)
            : m_inner(std::move(inner)), m_budget(budget)
        {}
        qint64 size() override { return m_inner->size(); }
        bool read(qint64 offset, char* data, qint64 length) override
        {
            return m_inner->read(offset, data, length);
        }
        bool write(qint64 offset, const char* data, qint64 length) override
        {
            const qint64 allowed = std::min(length, m_budget);
            m_budget -= allowed;
            if (allowed > 0)
                m_inner->write(offset, data, allowed);
            return allowed == length;
        }
        bool resize(qint64 length) override { return m_budget > 0 && m_inner->resize(length); }
        bool flush() override { return m_inner->flush(); }
        bool lock() override { return m_inner->lock(); }
        QString errorString() const override { return QStringLiteral("No space left on device"); }

    private:
        std::unique_ptr<dbf::File> m_inner;
        qint64& m_budget;
    };

    qint64 m_budget;
};

} // namespace t7::test
