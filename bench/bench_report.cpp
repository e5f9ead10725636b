// The printed report of 10,000 rows: preparing it and writing the PDF as `teskar7-cli report`
// does, the memory of the prepared pages, and the preview's first page. Where LibreOffice is
// installed it converts the same rows (as CSV) to PDF in the same run, for the ratio.

#include "bench/bench_common.h"
#include "output/report/page_painter.h"
#include "output/report/report_engine.h"
#include "output_ui/preview_window.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace t7;

namespace {

// Bytes in use on the heap, where the C library tells.
size_t heapInUse()
{
#ifdef __GLIBC__
    return mallinfo2().uordblks;
#else
    return 0;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTemporaryDir dir;
    const int rows = 10000;
    const QString db = dir.filePath(QStringLiteral("report.db"));
    bench::fillTable(db, rows);
    dbf::Table table;
    table.setPath(db);
    table.open(measurementRequirements(), true);

    report::PreparedReport pages;
    const size_t heapBefore = heapInUse();
    const double prepare =
        bench::timeMs([&] { report::prepareReport(report::measurementReport(), table, pages); });
    const double perRow = double(heapInUse() - heapBefore) / rows;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    const double write = bench::timeMs([&] { report::writePdf(pages, pdf); });
    const double ours = prepare + write;
    std::printf("%d rows, %zu pages\n", rows, pages.pages.size());
    bench::report("prepare the report (two passes)", prepare, 1000);
    bench::report("prepare and write the PDF", ours, 3000);
    std::printf("%-44s %10.0f B    target %6d B    %s\n", "prepared pages per row", perRow, 1024,
                perRow <= 1024 ? "ok" : "BIG");

    // The preview: its window and its first page, from pages already prepared.
    const double preview = bench::timeMs([&] {
        PreviewWindow window;
        window.setReport(&pages, [] {});
        QImage first(1123, 794, QImage::Format_RGB32);
        first.fill(Qt::white);
        QPainter painter(&first);
        report::paintPage(painter, pages.pages.front(), 96);
    });
    bench::report("preview window and its first page", preview, 1000);

    const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty()) {
        std::printf("LibreOffice is not installed: no ratio\n");
        return 0;
    }
    QFile csv(dir.filePath(QStringLiteral("rows.csv")));
    csv.open(QIODevice::WriteOnly);
    for (table.first(); !table.eof(); table.next()) {
        QStringList cells;
        for (int f = 0; f < int(table.fields().size()); ++f)
            cells.append(table.textOf(table.recNo() - 1, f));
        csv.write(cells.join(QLatin1Char(';')).toUtf8() + '\n');
    }
    csv.close();
    const double theirs = bench::timeMs([&] {
        QProcess::execute(office, {QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                   QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path(),
                                   csv.fileName()});
    });
    std::printf("%-44s %10.1f ms   ratio %.1fx (target at least 3x)\n",
                "LibreOffice, the same rows as CSV to PDF", theirs, theirs / ours);
    return 0;
}
