#include "data/conversion.h"
#include "data/dbf/table.h"
#include "data/measurement.h"
#include "tests/support/test_env.h"
#include "tools/sim/archive_gen.h"

#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The simulated instrument → teskar7-cli receive → the data file, read back by an
// independent dBase reader.
class TestE2eReceive : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QProcess sim;
    QString port;

    int cli(const QStringList& arguments, QByteArray* output = nullptr)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("ru_RU.UTF-8"));
        process.setProcessEnvironment(environment);
        process.start(t7::test::builtProgram(QStringLiteral("teskar7-cli")), arguments);
        if (!process.waitForFinished(60000))
            return -1;
        if (output)
            *output = process.readAllStandardOutput() + process.readAllStandardError();
        return process.exitCode();
    }

    // What the reader must find for the simulator's observations.
    QStringList expectedRows(const QList<t7::sim::Observation>& observations, int from = 0)
    {
        QStringList rows;
        for (qsizetype i = from; i < observations.size(); ++i) {
            const auto& o = observations[i];
            const QTime t = o.when.time();
            const QDate d = o.when.date();
            rows.append(
                QStringList(
                    {QString::number(i + 1), QStringLiteral("Наблюдения"),
                     t7::dateText(quint8(d.day()), quint8(d.month()), quint8(d.year() - 2000)),
                     t7::timeText(quint8(t.hour()), quint8(t.minute()), quint8(t.second())),
                     t7::valueText(o.st), t7::measuredText(o.t1), t7::measuredText(o.t2),
                     t7::scaledText(o.p1, 1000), t7::scaledText(o.p2, 10), t7::scaledText(o.t3, 10),
                     t7::measuredText(o.f)})
                    .join(QLatin1Char('|')));
        }
        return rows;
    }

    QStringList readBack(const QString& file)
    {
        QProcess reader;
        reader.start(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import sys, dbfread\n"
                            "for r in dbfread.DBF(sys.argv[1]):\n"
                            "  print('|'.join(str(r[k]) for k in ('N','MODE','DATE','TIME',"
                            "'ST','T_1','T_2','P_1','P_2','T_3','F')))"),
             file});
        reader.waitForFinished(30000);
        return QString::fromUtf8(reader.readAllStandardOutput())
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        t7::test::isolateSettings(dir);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        sim.start(t7::test::builtProgram(QStringLiteral("teskar7-sim")),
                  {QStringLiteral("--records"), QStringLiteral("60"), QStringLiteral("--seed"),
                   QStringLiteral("3")});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY(sim.canReadLine());
        port = QString::fromLocal8Bit(sim.readLine().trimmed());
    }
    void cleanupTestCase()
    {
        sim.terminate();
        sim.waitForFinished();
    }

    void receiveThenAppendNothing()
    {
        if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
            QSKIP("no python3 for the independent reader");
        const QString file = dir.filePath(QStringLiteral("lab.db"));
        QByteArray output;
        QCOMPARE(cli({QStringLiteral("receive"), QStringLiteral("--port"), port, file}, &output),
                 0);
        QVERIFY2(output.contains("Добавлено строк: 60"), output.constData());
        const QStringList rows = readBack(file);
        if (rows.isEmpty())
            QSKIP("python3-dbfread is not installed");
        QCOMPARE(rows, expectedRows(t7::sim::generateObservations(60, 3)));

        QCOMPARE(cli({QStringLiteral("receive"), QStringLiteral("--append"),
                      QStringLiteral("--port"), port, file},
                     &output),
                 0);
        QVERIFY2(output.contains("Добавлено строк: 0"), output.constData());
        QCOMPARE(readBack(file).size(), 60);
    }

    void convertAppendAndList()
    {
        // The first 40 observations as a saved image, then all 60 appended from another.
        const auto observations = t7::sim::generateObservations(60, 9);
        const QString small = dir.filePath(QStringLiteral("small.bin"));
        const QString full = dir.filePath(QStringLiteral("full.bin"));
        for (const auto& [name, count] : {std::pair{small, 40}, std::pair{full, 60}}) {
            QFile out(name);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(t7::sim::buildArchive(observations.mid(0, count)));
        }
        const QString file = dir.filePath(QStringLiteral("conv.db"));
        QCOMPARE(cli({QStringLiteral("convert"), small, file}), 0);
        QByteArray output;
        QCOMPARE(cli({QStringLiteral("convert"), QStringLiteral("--append"), full, file}, &output),
                 0);
        QVERIFY2(output.contains("Добавлено строк: 20"), output.constData());
        QCOMPARE(cli({QStringLiteral("list"), file, QStringLiteral("--csv")}, &output), 0);
        const QStringList lines =
            QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 61);
        QCOMPARE(lines.first(), QStringLiteral("N,MODE,EN_CH,DATE,TIME,T_1,T_2,T_3,COMMENT,P_1,"
                                               "P_2,F,SER,ST,D,A,P"));
        QVERIFY(lines.at(60).startsWith(QStringLiteral("60,Наблюдения,,")));
    }

    // The streamed CSV: every live row across several read blocks, cells quoted where they
    // hold a comma, a quote or a line break, the file's letters as UTF-8, a zero byte left
    // out; the same texts as the table engine reads.
    void listAsCsv()
    {
        const QString file = dir.filePath(QStringLiteral("csv.db"));
        t7::createMeasurementFile(file, QDate(2012, 3, 9));
        QStringList expected;
        {
            t7::dbf::Table table;
            table.setPath(file);
            table.open(t7::measurementRequirements());
            const QStringList comments{QStringLiteral("a,b"),
                                       QStringLiteral("say \"hi\""),
                                       QStringLiteral("two\nlines"),
                                       QStringLiteral("проба"),
                                       QStringLiteral("mid") + QChar(0) + QStringLiteral("zero"),
                                       QStringLiteral("  lead"),
                                       QString()};
            for (int i = 0; i < 12000; ++i) {
                table.append();
                table.setInteger(u"N", i % 9999 + 1);
                table.setText(u"T_1", QString::number(i));
                table.setText(u"COMMENT", comments[i % comments.size()]);
                table.post();
            }
            QVERIFY(table.goToRecord(6000));
            table.deleteRecord();
            QStringList names;
            for (const auto& field : table.fields())
                names.append(field.name);
            expected.append(names.join(QLatin1Char(',')));
            for (table.first(); !table.eof(); table.next()) {
                QStringList cells;
                for (int f = 0; f < int(table.fields().size()); ++f) {
                    QString cell = table.textOf(table.recNo() - 1, f);
                    cell.remove(QChar(0));
                    if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) ||
                        cell.contains(QLatin1Char('\n')))
                        cell = QLatin1Char('"') +
                               cell.replace(QStringLiteral("\""), QStringLiteral("\"\"")) +
                               QLatin1Char('"');
                    cells.append(cell);
                }
                expected.append(cells.join(QLatin1Char(',')));
            }
        }
        QByteArray output;
        QCOMPARE(cli({QStringLiteral("list"), file, QStringLiteral("--csv")}, &output), 0);
        QCOMPARE(output, (expected.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        QVERIFY(output.contains("\"say \"\"hi\"\"\""));
        QVERIFY(output.contains(",midzero,"));
        QCOMPARE(expected.size(), 12000);
    }

    void emptyArchiveAndFailures()
    {
        const QString emptyImage = dir.filePath(QStringLiteral("empty.bin"));
        QFile out(emptyImage);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(4, '\0'));
        out.close();
        const QString file = dir.filePath(QStringLiteral("empty.db"));
        QByteArray output;
        QCOMPARE(cli({QStringLiteral("convert"), emptyImage, file}, &output), 1);
        QVERIFY(output.contains("Архив прибора пуст!"));
        QCOMPARE(QFileInfo(file).size(), 578);

        QCOMPARE(cli({QStringLiteral("convert"), QStringLiteral("--append"), emptyImage,
                      dir.filePath(QStringLiteral("missing.db"))},
                     &output),
                 1);
        QVERIFY(output.contains("База данных повреждена !"));
        QCOMPARE(cli({QStringLiteral("list"), emptyImage}, &output), 1);
        QCOMPARE(cli({QStringLiteral("frobnicate")}, &output), 1);
    }
};

QTEST_GUILESS_MAIN(TestE2eReceive)
#include "tst_e2e_receive.moc"
