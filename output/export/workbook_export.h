#pragma once

#include "output/report/prepared_report.h"

#include <QString>

namespace t7::dbf {
class Table;
}

namespace t7::report {

struct ReportTemplate;

// Told how far an export is.
class ExportProgress
{
public:
    virtual ~ExportProgress() = default;
    virtual void started() = 0;                // "Подождите пожалуйста ..."
    virtual void rowsSized(int row) = 0;       // "Подготовка координат Y: "
    virtual void columnsSized(int column) = 0; // "Подготовка координат X: "
    virtual void objects(qint64 done, qint64 total, double secondsLeft) = 0;
};

// Checks that a file of this name can be written without touching one that is there:
// nothing when it can, else the reason in the program's words (a folder of that name, a
// missing or read-only folder, a workbook held open by a spreadsheet application).
QString cannotCreateReason(const QString& path);

// "Cannot create file "NAME". Reason."
QString cannotCreateMessage(const QString& path, const QString& reason);

// Lays the prepared pages onto one worksheet and writes the workbook (Office Open XML).
// The workbook is written beside `path` and put in its place only when complete. Throws
// t7::Error with the message to show when it cannot.
void exportWorkbook(const PreparedReport& report, const QString& path,
                    ExportProgress* progress = nullptr);

// The report's columns as a table: its headings, then one line per row with the values as
// printed. UTF-8 with a byte order mark, ';' between fields. Written as exportWorkbook is.
void exportCsv(const ReportTemplate& report, const dbf::Table& table, const QString& path);

} // namespace t7::report
