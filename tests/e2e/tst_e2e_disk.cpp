#include "common/error.h"
#include "data/dbf/table.h"
#include "data/measurement.h"
#include "tests/support/test_env.h"
#include "tools/sim/archive_gen.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

// The command line on disks that fail for real: a small full tmpfs, a file size limit, and
// a process killed at every write it makes.
namespace {

constexpr int kHeader = 577;
constexpr int kRecord = 196;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// The whole records of a data file, as its length holds them.
QList<QByteArray> records(const QByteArray& file)
{
    QList<QByteArray> list;
    for (qsizetype at = kHeader; at + kRecord <= file.size(); at += kRecord)
        list.append(file.mid(at, kRecord));
    return list;
}

struct Run
{
    int code = -1;
    bool killed = false;
    QString errors;
};

Run runProgram(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment = {})
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.killed = process.exitStatus() == QProcess::CrashExit;
    run.code = process.exitCode();
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString cli()
{
    return t7::test::builtProgram(QStringLiteral("teskar7-cli"));
}

Run runCli(const QStringList& arguments, const QProcessEnvironment& environment = {})
{
    return runProgram(cli(), arguments, environment);
}

} // namespace

class TestE2eDisk : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString image20, image60, image300;

    QString path(const QString& name) { return dir.filePath(name); }

    QString makeImage(const QString& name, int count)
    {
        const QString file = path(name);
        writeAll(file, t7::sim::buildArchive(t7::sim::generateObservations(count, 11)));
        return file;
    }

    // A data file of the first `count` observations, made by the command line.
    QByteArray dataFile(const QString& image, const QString& file)
    {
        QFile::remove(file);
        const Run run = runCli({QStringLiteral("convert"), image, file});
        return run.code == 0 ? readAll(file) : QByteArray();
    }

    // Every row stored before is there, byte for byte, and every further whole row is the
    // one a complete run gives in that place.
    void checkRows(const QString& file, const QList<QByteArray>& before,
                   const QList<QByteArray>& complete, const QString& where)
    {
        const QList<QByteArray> now = records(readAll(file));
        QVERIFY2(now.size() >= before.size(), qPrintable(where + QStringLiteral(": rows lost")));
        QVERIFY2(now.size() <= complete.size(), qPrintable(where));
        for (qsizetype i = 0; i < now.size(); ++i)
            QVERIFY2(now[i] == (i < before.size() ? before[i] : complete[i]),
                     qPrintable(where + QStringLiteral(": row %1 differs").arg(i + 1)));
        t7::dbf::Table table;
        table.setPath(file);
        try {
            table.open(t7::measurementRequirements(), true);
        } catch (const t7::Error& e) {
            QFAIL(qPrintable(where + QStringLiteral(": ") + e.text()));
        }
        QVERIFY(table.visibleCount() >= before.size());
    }

private slots:
    void initTestCase()
    {
        t7::test::isolateSettings(dir);
        image20 = makeImage(QStringLiteral("20.bin"), 20);
        image60 = makeImage(QStringLiteral("60.bin"), 60);
        image300 = makeImage(QStringLiteral("300.bin"), 300);
    }

    // Killed at every write of an append, whole or torn in the middle: the rows stored
    // before are all there, and the same append run again gives exactly the full set.
    void killedAtEveryWrite_data()
    {
        QTest::addColumn<bool>("torn");
        QTest::newRow("before the write") << false;
        QTest::newRow("in the middle of the write") << true;
    }
    void killedAtEveryWrite()
    {
        QFETCH(bool, torn);
        const QString shim = QStringLiteral(KILL_AT_WRITE_LIBRARY);
        QVERIFY(QFile::exists(shim));
        const QList<QByteArray> before = records(dataFile(image20, path(QStringLiteral("b.db"))));
        const QList<QByteArray> complete =
            records(dataFile(image60, path(QStringLiteral("full.db"))));
        QCOMPARE(before.size(), 20);
        QCOMPARE(complete.size(), 60);
        QCOMPARE(complete.mid(0, 20), before);
        const QByteArray start = readAll(path(QStringLiteral("b.db")));
        const QString file = path(QStringLiteral("k.db"));
        int killed = 0;
        int point = 1;
        for (; point < 1000; ++point) {
            QVERIFY(writeAll(file, start));
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("LD_PRELOAD"), shim);
            environment.insert(QStringLiteral("KILL_AT_WRITE"), QString::number(point));
            // The sanitizer build's runtime would refuse a library loaded before it.
            environment.insert(QStringLiteral("ASAN_OPTIONS"),
                               QStringLiteral("verify_asan_link_order=0:detect_leaks=0"));
            if (torn)
                environment.insert(QStringLiteral("KILL_TORN"), QStringLiteral("1"));
            const Run run =
                runCli({QStringLiteral("convert"), QStringLiteral("--append"), image60, file},
                       environment);
            if (!run.killed) {
                QCOMPARE(run.code, 0); // past the last write: the append ran to its end
                break;
            }
            ++killed;
            const QString where = QStringLiteral("kill at write %1").arg(point);
            checkRows(file, before, complete, where);
            const Run again =
                runCli({QStringLiteral("convert"), QStringLiteral("--append"), image60, file});
            QVERIFY2(again.code == 0, qPrintable(where + again.errors));
            QVERIFY2(records(readAll(file)) == complete, qPrintable(where));
        }
        QVERIFY(killed > 40);
        qInfo("%d kill points tried, %d survived", killed, killed);
    }

    // A tmpfs filled to several levels: every command fails with the disk's reason or
    // succeeds, and no stored row is ever lost.
    void fullDisk_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("pages");
        for (const char* command : {"append", "create", "dump", "pack", "renumber"})
            for (int pages : {0, 1, 2, 3, 5, 8, 13})
                QTest::addRow("%s, %d pages free", command, pages)
                    << QString::fromLatin1(command) << QString::number(pages);
    }
    void fullDisk()
    {
        QFETCH(QString, command);
        QFETCH(QString, pages);
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        QTemporaryDir mountDir;
        const QString mount = mountDir.path();
        if (QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=512k"), QStringLiteral("tmpfs"), mount}) != 0)
            QSKIP("this machine does not let us mount a tmpfs");
        auto unmount = qScopeGuard([&mount] {
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), mount});
        });
        const QString file = mount + QStringLiteral("/f.db");
        const QByteArray start =
            dataFile(makeImage(QStringLiteral("200.bin"), 200), path(QStringLiteral("200.db")));
        const QList<QByteArray> complete =
            records(dataFile(image300, path(QStringLiteral("300.db"))));
        QVERIFY(writeAll(file, start));
        const QByteArray oldDump = QByteArray(3000, 'd');
        const QString dump = mount + QStringLiteral("/a.bin");
        QVERIFY(writeAll(dump, oldDump));

        // Fill the disk, then free the asked number of pages.
        {
            QFile filler(mount + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size()) {
            }
            QVERIFY(filler.resize(std::max<qint64>(0, filler.size() - pages.toInt() * 4096)));
        }
        const QString where = command + QStringLiteral(" with ") + pages + QStringLiteral(" pages");
        if (command == QLatin1String("append") || command == QLatin1String("create")) {
            QStringList arguments{QStringLiteral("convert"), image300, file};
            if (command == QLatin1String("append"))
                arguments.insert(1, QStringLiteral("--append"));
            const Run run = runCli(arguments);
            qInfo("%s: %s", qPrintable(where), run.code == 0 ? "done" : "refused, rows kept");
            if (run.code != 0)
                QVERIFY2(run.errors.contains(QStringLiteral("на диске нет места")),
                         qPrintable(where + QStringLiteral(": ") + run.errors));
            if (command == QLatin1String("create") && run.code != 0)
                QCOMPARE(readAll(file), start); // the old file as it was
            else
                checkRows(file, records(start), complete, where);
            if (run.code == 0)
                QCOMPARE(records(readAll(file)), complete);
        } else if (command == QLatin1String("dump")) {
            // The dump writer is the one the transfer uses; the simulator feeds it.
            QProcess sim;
            sim.start(t7::test::builtProgram(QStringLiteral("teskar7-sim")),
                      {QStringLiteral("--records"), QStringLiteral("1500")});
            QVERIFY(sim.waitForStarted());
            QTRY_VERIFY(sim.canReadLine());
            const QString port = QString::fromLocal8Bit(sim.readLine().trimmed());
            const Run run = runCli({QStringLiteral("dump"), QStringLiteral("--port"), port, dump});
            sim.terminate();
            sim.waitForFinished();
            qInfo("%s: %s", qPrintable(where), run.code == 0 ? "done" : "refused, file kept");
            if (run.code != 0) {
                QVERIFY2(run.errors.contains(QStringLiteral("на диске нет места")),
                         qPrintable(where + QStringLiteral(": ") + run.errors));
                QCOMPARE(readAll(dump), oldDump);
            } else {
                QCOMPARE(readAll(dump).size(), 4 + 22 * 1500);
            }
        } else if (command == QLatin1String("renumber")) {
            // Renumbering and saving rewrite rows and the header in place: they need no
            // room, so they work on a full disk.
            {
                t7::dbf::Table table;
                table.setPath(file);
                table.open(t7::measurementRequirements());
                int n = 200;
                for (table.first(); !table.eof(); table.next()) {
                    table.edit();
                    table.setInteger(u"N", n--);
                    table.post();
                }
                table.close();
                table.open(t7::measurementRequirements());
            }
            const QList<QByteArray> now = records(readAll(file));
            QCOMPARE(now.size(), 200);
            for (int r = 0; r < 200; ++r) {
                QCOMPARE(now[r].mid(1, 4), QByteArray::number(200 - r).rightJustified(4));
                QCOMPARE(now[r].mid(5), records(start)[r].mid(5));
            }
        } else {
            t7::dbf::Table table;
            table.setPath(file);
            table.open(t7::measurementRequirements());
            std::vector<quint32> every10th;
            for (quint32 r = 0; r < 200; r += 10)
                every10th.push_back(r);
            bool packed = false;
            try {
                table.deleteRecords(every10th);
                table.pack();
                packed = true;
                table.close();
            } catch (const t7::Error& e) {
                QVERIFY2(e.text().contains(QStringLiteral("на диске нет места")),
                         qPrintable(e.text()));
            }
            qInfo("%s: %s", qPrintable(where), packed ? "done" : "refused, rows kept");
            table.close();
            QList<QByteArray> expected = records(start);
            QList<QByteArray> now = records(readAll(file));
            if (packed) {
                for (qsizetype r = 190; r >= 0; r -= 10)
                    expected.removeAt(r);
            } else {
                for (qsizetype r = 0; r < 200; r += 10)
                    now[r][0] = ' '; // the marks may be on disk; the rows are all there
            }
            QCOMPARE(now, expected);
        }
        QVERIFY(!QFile::exists(file + QStringLiteral(".new~")));
        QVERIFY(!QFile::exists(file + QStringLiteral(".pack~")));
    }

    // A file size limit with its signal ignored makes writes fail with EFBIG: the append
    // says so and keeps every row.
    void fileSizeLimit()
    {
        if (!QFile::exists(QStringLiteral("/usr/bin/prlimit")))
            QSKIP("prlimit (util-linux) is not installed");
        const QByteArray start = dataFile(image20, path(QStringLiteral("b.db")));
        const QList<QByteArray> complete =
            records(dataFile(image60, path(QStringLiteral("full.db"))));
        const QString file = path(QStringLiteral("limit.db"));
        int failed = 0;
        for (qint64 extra : {0, 1, 100, 196, 197, 1000, 4000}) {
            QVERIFY(writeAll(file, start));
            const Run run =
                runProgram(QStringLiteral("/usr/bin/prlimit"),
                           {QStringLiteral("--fsize=%1").arg(start.size() + extra), cli(),
                            QStringLiteral("convert"), QStringLiteral("--append"), image60, file});
            QVERIFY2(!run.killed, "the file size signal must not end the program");
            if (run.code != 0) {
                ++failed;
                QVERIFY2(run.errors.contains(QStringLiteral("допустимый размер")),
                         qPrintable(run.errors));
            }
            checkRows(file, records(start), complete, QStringLiteral("limit +%1").arg(extra));
        }
        QCOMPARE(failed, 7);
    }

    // An export that the disk cannot take says so and leaves the workbook that had the
    // name as it was, with nothing beside it.
    void exportBeyondTheFileSizeLimit()
    {
        if (!QFile::exists(QStringLiteral("/usr/bin/prlimit")))
            QSKIP("prlimit (util-linux) is not installed");
        const QString data = path(QStringLiteral("export.db"));
        QVERIFY(!dataFile(image300, data).isEmpty());
        const QString book = path(QStringLiteral("export.xlsx"));
        QCOMPARE(runCli({QStringLiteral("export"), data, book}).code, 0);
        const qint64 complete = readAll(book).size();
        QVERIFY(readAll(book).startsWith("PK"));
        for (const qint64 limit : {qint64(0), qint64(2000), complete - 1}) {
            QVERIFY(writeAll(book, "the old workbook"));
            const Run run = runProgram(QStringLiteral("/usr/bin/prlimit"),
                                       {QStringLiteral("--fsize=%1").arg(limit), cli(),
                                        QStringLiteral("export"), data, book});
            QVERIFY2(!run.killed, "the file size signal must not end the program");
            QVERIFY2(run.code == 1, qPrintable(QStringLiteral("limit %1").arg(limit)));
            QVERIFY2(run.errors.contains(QStringLiteral("Cannot create file")),
                     qPrintable(run.errors));
            QCOMPARE(readAll(book), QByteArray("the old workbook"));
            QVERIFY(!QFile::exists(book + QStringLiteral(".new~")));
        }
    }

    // Anything but a regular file is refused at once instead of blocking the command.
    void fifoIsRefused()
    {
        const QString fifo = path(QStringLiteral("pipe.db"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QStringList& arguments :
             {QStringList{QStringLiteral("list"), fifo},
              QStringList{QStringLiteral("convert"), fifo, path(QStringLiteral("x.db"))},
              QStringList{QStringLiteral("convert"), QStringLiteral("--append"), image20, fifo}}) {
            const Run run = runCli(arguments);
            QVERIFY2(run.code == 1, qPrintable(arguments.join(QLatin1Char(' '))));
            QVERIFY2(run.errors.contains(QStringLiteral("не обычный файл")),
                     qPrintable(run.errors));
        }
    }
};

QTEST_GUILESS_MAIN(TestE2eDisk)
#include "tst_e2e_disk.moc"
