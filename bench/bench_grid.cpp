// The grid on a table of 100,000 rows: open to the first painted grid, scrolling, select
// all with the statistics, and a sort by a title click.

#include "bench/bench_common.h"
#include "data/conversion.h"
#include "data/dbf/bytes.h"
#include "data/measurement.h"
#include "tools/sim/archive_gen.h"
#include "ui/main.h"
#include "ui/widget_prompts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using t7::bench::report;
using t7::bench::timeMs;

namespace {

// Writes `to` as `from` with its records ten times over; returns the new file's size.
qint64 tenfold(const QString& from, const QString& to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = in.readAll();
    const qsizetype headerLength = t7::dbf::get16(bytes.constData() + 8);
    const QByteArray records = bytes.mid(headerLength, bytes.size() - headerLength - 1);
    QByteArray out = bytes.left(headerLength);
    t7::dbf::put32(out.data() + 4, t7::dbf::get32(bytes.constData() + 4) * 10);
    out[28] = 0; // no index
    for (int i = 0; i < 10; ++i)
        out += records;
    out += '\x1A';
    QFile file(to);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size())
        return 0;
    return out.size();
}

// The process's resident memory, where the system tells.
qint64 residentBytes()
{
#ifdef Q_OS_UNIX
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
#else
    return 0;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       dir.filePath(QStringLiteral("config")));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QString path = dir.filePath(QStringLiteral("grid.db"));
    std::printf("generating 100,000 rows...\n");
    t7::bench::fillTable(path, 100000);

    t7::WidgetPrompts prompts;
    QByteArray image(65536, '\0');
    t7::TForm1 form(prompts, QByteArrayView(image.constData(), image.size()));
    form.FormCreate();
    form.resize(1280, 900);
    form.show();
    app.processEvents();
    t7::TDBGridPro* grid = form.DBGridPro1;

    report("open to the first painted grid", timeMs([&] {
               form.commands().Open_DB(path);
               grid->repaint();
           }),
           300);

    QScrollBar* bar = grid->verticalScrollBar();
    int frames = 0;
    const double scrolling = timeMs([&] {
        for (int value = 0; value <= bar->maximum(); value += std::max(1, bar->pageStep())) {
            bar->setValue(value);
            grid->viewport()->repaint();
            ++frames;
        }
    });
    std::printf("%-44s %10.2f ms   (%d pages, %.2f ms a frame)\n", "scroll from top to bottom",
                scrolling, frames, scrolling / frames);

    const double selectAll = timeMs([&] {
        grid->selectAll();
        form.DBGridPro1SelectionChange();
    });
    report("select all and compute the statistics", selectAll, 300);
    report("statistics for 100,000 selected rows",
           timeMs([&] { form.DBGridPro1SelectionChange(); }), 50);
    std::printf(
        "  footers: %s  %s\n",
        qPrintable(grid->Columns()[size_t(grid->columnIndex(QStringLiteral("T_1")))].FooterText),
        qPrintable(grid->Columns()[size_t(grid->columnIndex(QStringLiteral("T_2")))].FooterText));

    grid->clearSelection();
    report("sort by a title click (T_1)", timeMs([&] {
               grid->clickTitle(grid->columnIndex(QStringLiteral("T_1")), false);
               grid->repaint();
           }),
           300);
    form.close();

    // A million rows: the same file with its records ten times over, made directly.
    const QString million = dir.filePath(QStringLiteral("million.db"));
    const qint64 fileSize = tenfold(path, million);
    t7::TForm1 big(prompts, QByteArrayView(image.constData(), image.size()));
    big.FormCreate();
    big.resize(1280, 900);
    big.show();
    app.processEvents();
    const qint64 before = residentBytes();
    report("open to the first painted grid, 1,000,000 rows", timeMs([&] {
               big.commands().Open_DB(million);
               big.DBGridPro1->repaint();
           }),
           300);
    const double grown = double(residentBytes() - before);
    std::printf("%-44s %10.0f MB   target %6.0f MB   %s\n", "  memory taken by the open file",
                grown / 1e6, 1.2 * double(fileSize) / 1e6,
                grown <= 1.2 * double(fileSize) ? "ok" : "BIG");
    report("sort by a title click (T_1), 1,000,000 rows", timeMs([&] {
               big.DBGridPro1->clickTitle(big.DBGridPro1->columnIndex(QStringLiteral("T_1")),
                                          false);
               big.DBGridPro1->repaint();
           }),
           1000);
    big.close();
    return 0;
}
