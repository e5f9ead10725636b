#pragma once

#include "data/dbf/table.h"
#include "data/measurement.h"

#include <QDate>
#include <QFile>
#include <QList>
#include <QString>

#include <memory>

namespace t7::test {

struct ReportRow
{
    int n;
    QString t1, t2, p1, comment;
};

// A measurement file at `path` with these rows, open for writing.
inline std::unique_ptr<dbf::Table> reportTable(const QString& path, const QList<ReportRow>& rows)
{
    QFile::remove(path);
    createMeasurementFile(path, QDate(2012, 3, 9));
    auto t = std::make_unique<dbf::Table>();
    t->setPath(path);
    t->open(measurementRequirements());
    for (const ReportRow& row : rows) {
        t->append();
        t->setInteger(u"N", row.n);
        t->setText(u"DATE", QStringLiteral("09.03.2012"));
        t->setText(u"TIME", QStringLiteral("10:00:00"));
        t->setText(u"ST", QStringLiteral("1000"));
        t->setText(u"T_1", row.t1);
        t->setText(u"T_2", row.t2);
        t->setText(u"P_1", row.p1);
        t->setText(u"COMMENT", row.comment);
        t->post();
    }
    return t;
}

// Rows numbered 1…count whose cells all fit on one line.
inline QList<ReportRow> numberedRows(int count)
{
    QList<ReportRow> rows;
    for (int n = 1; n <= count; ++n)
        rows.append(
            {n, QString::number(100 + n), QStringLiteral("300"), QStringLiteral("2,5"), QString()});
    return rows;
}

} // namespace t7::test
