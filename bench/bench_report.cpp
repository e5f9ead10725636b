// The printed report of 10,000 rows: preparing it and writing the PDF as `teskar7-cli report`
// does, the memory of the prepared pages, and the preview's first page. Where LibreOffice is
// installed it converts the same rows (as CSV) to PDF in the same run, for the ratio.

#include "bench/bench_common.h"
#include "output/report/page_painter.h"
#include "output/report/report_engine.h"
#include "output_ui/preview_window.h"

#include <QApplication>
#include <QPainter>
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
    dbf::Table table;
    bench::openGenerated(table, dir.filePath(QStringLiteral("report.db")), rows);

    report::PreparedReport pages;
    const size_t heapBefore = heapInUse();
    const double prepare =
        bench::bestMs(3, [&] { report::prepareReport(report::measurementReport(), table, pages); });
    const double perRow = double(heapInUse() - heapBefore) / rows;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    const double write = bench::bestMs(3, [&] { report::writePdf(pages, pdf); });
    const double ours = prepare + write;
    std::printf("%d rows, %zu pages; the best of 3 runs\n", rows, pages.pages.size());
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

    const QString csv = dir.filePath(QStringLiteral("rows.csv"));
    bench::writeRowsCsv(table, csv);
    bench::ratio("LibreOffice, the same rows as CSV to PDF",
                 bench::officeConvert(csv, QStringLiteral("pdf"), dir.path()), ours);
    return 0;
}
