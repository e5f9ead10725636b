// The spreadsheet export of a 10,000-row report as `teskar7-cli export` does it: preparing
// the report, laying it onto the sheet and writing the workbook. Where LibreOffice is
// installed it converts the same rows (as CSV) to a workbook in the same run, for the ratio.

#include "bench/bench_common.h"
#include "output/export/sheet_layout.h"
#include "output/export/workbook_export.h"
#include "output/report/report_engine.h"

#include <QGuiApplication>
#include <QTemporaryDir>

using namespace t7;

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTemporaryDir dir;
    const int rows = 10000;
    dbf::Table table;
    bench::openGenerated(table, dir.filePath(QStringLiteral("export.db")), rows);

    report::PreparedReport pages;
    const double prepare =
        bench::bestMs(3, [&] { report::prepareReport(report::measurementReport(), table, pages); });
    const QString book = dir.filePath(QStringLiteral("export.xlsx"));
    const double write = bench::bestMs(3, [&] { report::exportWorkbook(pages, book); });
    const size_t objects = report::layoutSheet(pages).cells.size();
    const double ours = prepare + write;
    std::printf("%d rows, %zu pages, %zu objects; the best of 3 runs\n", rows, pages.pages.size(),
                objects);
    bench::report("prepare the report", prepare, 1000);
    bench::report("prepare and write the workbook", ours, 3000);
    std::printf("%-44s %10.0f objects a second\n", "laid out and written",
                double(objects) / (write / 1000));
    const double csv = bench::bestMs(3, [&] {
        report::exportCsv(report::measurementReport(), table,
                          dir.filePath(QStringLiteral("e.csv")));
    });
    bench::report("the report's columns as CSV", csv, 500);

    const QString rowsCsv = dir.filePath(QStringLiteral("rows.csv"));
    bench::writeRowsCsv(table, rowsCsv);
    bench::ratio("LibreOffice, the same rows as CSV to .xlsx",
                 bench::officeConvert(rowsCsv, QStringLiteral("xlsx"), dir.path()), ours);
    return 0;
}
