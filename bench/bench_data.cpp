// The table engine on a generated table of 100,000 rows, and the conversion of a full
// archive.

#include "bench/bench_common.h"
#include "data/conversion.h"
#include "data/dbf/table.h"
#include "data/measurement.h"
#include "tools/sim/archive_gen.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using t7::dbf::Table;

using t7::bench::report;
using t7::bench::timeMs;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.db"));
    const int rows = 100000;
    std::printf("generating %d rows...\n", rows);
    t7::bench::fillTable(path, rows);

    Table table;
    table.setPath(path);
    qint64 walked = 0;
    const double openWalk = timeMs([&] {
        table.open(t7::measurementRequirements());
        for (table.first(); !table.eof(); table.next())
            walked += table.text(u"T_1").size();
    });
    report("open and walk 100,000 rows", openWalk, 30);

    const double tagText = timeMs([&] {
        table.addTag(t7::sortTagName(), QStringLiteral("T_1"), true);
        table.selectTag(t7::sortTagName());
    });
    report("add the tag on T_1 (text)", tagText, 150);
    table.selectTag(QString());
    table.dropTag(t7::sortTagName());
    const double tagNumber = timeMs([&] {
        table.addTag(t7::sortTagName(), QStringLiteral("N"), false);
        table.selectTag(t7::sortTagName());
    });
    report("add the tag on N (number)", tagNumber, 150);
    table.selectTag(QString());
    table.dropTag(t7::sortTagName());

    // As "Удалить" with every 10th row marked does it: one batch, then the pack.
    double marking = 0;
    const double pack = timeMs([&] {
        std::vector<quint32> marked;
        for (size_t i = 0; i < table.order().size(); i += 10)
            marked.push_back(table.order()[i]);
        marking = timeMs([&] { table.deleteRecords(marked); });
        table.pack();
    });
    report("delete every 10th row and pack", pack, 60);
    std::printf("  of which marking the rows deleted %10.1f ms\n", marking);

    // "Перенумеровать строки" on the most rows it numbers, shown sorted by N.
    const QString numbered = dir.filePath(QStringLiteral("renumber.db"));
    t7::bench::fillTable(numbered, t7::kMaxRowNumber);
    Table small;
    small.setPath(numbered);
    small.open(t7::measurementRequirements());
    small.addTag(t7::sortTagName(), QStringLiteral("N"), true);
    small.selectTag(t7::sortTagName());
    const double renumber = timeMs([&] { t7::renumberShown(small); });
    report("renumber 9,999 rows sorted by N", renumber, 30);
    small.close();
    table.close();

    QElapsedTimer clock;
    clock.start();
    const int code = QProcess::execute(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys, dbfread\nn = 0\nfor r in dbfread.DBF(sys.argv[1]): "
                        "n += len(r['T_1'] or '')\n"),
         path});
    const double reader = double(clock.nsecsElapsed()) / 1e6;
    if (code == 0) {
        std::printf("%-44s %10.1f ms\n", "python3-dbfread reads the same file", reader);
        std::printf("%-44s %10.1f x    target at least 3 x   %s\n",
                    "  our open and walk is faster by", reader / openWalk,
                    reader / openWalk >= 3 ? "ok" : "SLOW");
    }

#ifdef Q_OS_UNIX
    // `teskar7-cli list --csv` beside the dBase readers that print a whole file, the best of
    // three interleaved runs each.
    struct Peer
    {
        const char* what;
        QString program;
        QStringList arguments;
        t7::bench::RunFigures best;
    };
    std::vector<Peer> peers{{"teskar7-cli list --csv",
                             QStringLiteral(TESKAR7_BIN "/tools/cli/teskar7-cli"),
                             {QStringLiteral("list"), path, QStringLiteral("--csv")},
                             {}},
                            {"dbview -b -t",
                             QStringLiteral("/usr/bin/dbview"),
                             {QStringLiteral("-b"), QStringLiteral("-t"), path},
                             {}},
                            {"pgdbf", QStringLiteral("/usr/bin/pgdbf"), {path}, {}}};
    for (int run = 0; run < 3; ++run)
        for (Peer& peer : peers) {
            if (!QFile::exists(peer.program))
                continue;
            const t7::bench::RunFigures figures =
                t7::bench::runMeasured(peer.program, peer.arguments);
            if (figures.cpuMs >= 0 && (peer.best.cpuMs < 0 || figures.cpuMs < peer.best.cpuMs))
                peer.best = figures;
        }
    const double ours = peers[0].best.cpuMs;
    std::printf("%-44s %10.1f ms CPU %6.1f MiB   target: 2x faster than dbview, < 32 MiB %s\n",
                peers[0].what, ours, peers[0].best.peakMiB,
                peers[0].best.peakMiB >= 0 && peers[0].best.peakMiB < 32 ? "ok" : "BIG");
    for (size_t i = 1; i < peers.size(); ++i) {
        if (peers[i].best.cpuMs < 0) {
            std::printf("%-44s not installed\n", peers[i].what);
            continue;
        }
        std::printf("%-44s %10.1f ms CPU %6.1f MiB   ours is %.1fx as fast\n", peers[i].what,
                    peers[i].best.cpuMs, peers[i].best.peakMiB, peers[i].best.cpuMs / ours);
    }
#endif

    const QByteArray archive = t7::sim::buildArchive(t7::sim::generateObservations(2978, 11));
    QByteArray image(65536, '\0');
    image.replace(0, archive.size(), archive);
    const QString converted = dir.filePath(QStringLiteral("archive.db"));
    const double conversion = timeMs([&] {
        t7::createMeasurementFile(converted, QDate::currentDate());
        Table target;
        target.setPath(converted);
        target.open(t7::measurementRequirements());
        quint16 count = 0;
        t7::flash2pvk01(target, image, false, count);
        target.close();
    });
    report("convert 2,978 records into a new data file", conversion, 50);
    return walked > 0 ? 0 : 1;
}
