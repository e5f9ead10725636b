// The grid on a table of 100,000 rows: open to the first painted grid, scrolling, select
// all with the statistics, and a sort by a title click.

#include "bench/bench_common.h"
#include "data/conversion.h"
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
    return 0;
}
