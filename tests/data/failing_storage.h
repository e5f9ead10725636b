#pragma once

#include "data/dbf/storage.h"

#include <algorithm>
#include <cerrno>

namespace t7::test {

// A disk that fills up: writes go to the real file until a budget of bytes runs out. The
// write that crosses it puts what still fits and the next system write fails with `error`,
// as a full disk answers a short write and then ENOSPC.
class BudgetFaults : public WriteFaults
{
public:
    BudgetFaults(qint64 budget, int error) : m_budget(budget), m_error(error) {}
    qint64 allow(qint64 length, int& error) override
    {
        const qint64 allowed = std::min(length, m_budget);
        m_budget -= allowed;
        error = m_error;
        return allowed;
    }

private:
    qint64 m_budget;
    int m_error;
};

class FailingStorage : public dbf::DiskStorage
{
public:
    explicit FailingStorage(qint64 budget, int error = ENOSPC)
        : DiskStorage(&m_faults), m_faults(budget, error)
    {}

private:
    BudgetFaults m_faults;
};

} // namespace t7::test
