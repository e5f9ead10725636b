#include "tests/support/test_env.h"
#include "tools/sim/archive_gen.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The simulated instrument against the command line, over a real pseudo-terminal.
class TestE2eDump : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    struct Sim
    {
        QProcess process;
        QString path;
        ~Sim()
        {
            process.terminate();
            process.waitForFinished(3000);
        }
    };

    void startSim(Sim& sim, const QStringList& arguments)
    {
        sim.process.start(t7::test::builtProgram(QStringLiteral("teskar7-sim")), arguments);
        QVERIFY(sim.process.waitForStarted());
        QTRY_VERIFY(sim.process.canReadLine());
        sim.path = QString::fromLocal8Bit(sim.process.readLine().trimmed());
        QVERIFY(sim.path.startsWith(QLatin1String("/dev/")));
    }

    int runCli(const QStringList& arguments, QByteArray* errors = nullptr, int timeoutMs = 30000)
    {
        QProcess cli;
        cli.start(t7::test::builtProgram(QStringLiteral("teskar7-cli")), arguments);
        if (!cli.waitForFinished(timeoutMs)) {
            cli.kill();
            cli.waitForFinished();
            return -1;
        }
        if (errors)
            *errors = cli.readAllStandardError();
        return cli.exitCode();
    }

private slots:
    void initTestCase() { t7::test::isolateSettings(dir); }

    void generatedArchive()
    {
        Sim sim;
        startSim(sim, {QStringLiteral("--records"), QStringLiteral("40"), QStringLiteral("--seed"),
                       QStringLiteral("7")});
        const QString out = dir.filePath(QStringLiteral("gen.bin"));
        QCOMPARE(runCli({QStringLiteral("dump"), QStringLiteral("--port"), sim.path, out}), 0);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), t7::sim::buildArchive(t7::sim::generateObservations(40, 7)));
    }

    void imageFileAndPacedLine()
    {
        QByteArray image;
        for (int i = 0; i < 300; ++i)
            image.append(char(i * 7));
        const QString in = dir.filePath(QStringLiteral("in.bin"));
        QFile file(in);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(image);
        file.close();
        Sim sim;
        startSim(sim, {QStringLiteral("--image"), in, QStringLiteral("--pace")});
        const QString out = dir.filePath(QStringLiteral("paced.bin"));
        QCOMPARE(runCli({QStringLiteral("dump"), QStringLiteral("--port"), sim.path, out}), 0);
        QFile result(out);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), image);
    }

    void restartMidArchive()
    {
        Sim sim;
        startSim(sim, {QStringLiteral("--records"), QStringLiteral("10"), QStringLiteral("--fault"),
                       QStringLiteral("restart")});
        const QString out = dir.filePath(QStringLiteral("restart.bin"));
        QCOMPARE(runCli({QStringLiteral("dump"), QStringLiteral("--port"), sim.path, out}), 0);
        QCOMPARE(QFileInfo(out).size(), 4 + 22 * 10);
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong type") << "wrong-type"
                                    << "Вы подключили не тот прибор !";
        QTest::newRow("garbage") << "garbage"
                                 << "Прием прерван";
        QTest::newRow("endless") << "endless"
                                 << "буфер";
        QTest::newRow("silent") << "silent"
                                << "Прибор не обнаружен!";
    }
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        Sim sim;
        startSim(sim, {QStringLiteral("--fault"), fault});
        const QString out = dir.filePath(fault + QStringLiteral(".bin"));
        QByteArray errors;
        QCOMPARE(runCli({QStringLiteral("dump"), QStringLiteral("--port"), sim.path, out}, &errors),
                 1);
        QVERIFY2(QString::fromUtf8(errors).contains(message), errors.constData());
        QVERIFY(!QFile::exists(out));
    }

    void cutReplyWaitsForever()
    {
        Sim sim;
        startSim(sim, {QStringLiteral("--fault"), QStringLiteral("cut")});
        QCOMPARE(runCli({QStringLiteral("dump"), QStringLiteral("--port"), sim.path,
                         dir.filePath(QStringLiteral("cut.bin"))},
                        nullptr, 4000),
                 -1);
    }

    // An instrument that stops in the middle of the archive: --timeout ends the wait with
    // a message, and so does a SIGTERM sent by the operator or a lab script.
    void silenceEndsTheTransfer()
    {
        Sim sim;
        startSim(sim, {QStringLiteral("--fault"), QStringLiteral("cut")});
        const QString out = dir.filePath(QStringLiteral("silent.bin"));
        QByteArray errors;
        QCOMPARE(runCli({QStringLiteral("dump"), QStringLiteral("--timeout"), QStringLiteral("1"),
                         QStringLiteral("--port"), sim.path, out},
                        &errors, 15000),
                 1);
        QVERIFY2(QString::fromUtf8(errors).contains(QStringLiteral("не передает данные уже 1 с")),
                 errors.constData());
        QVERIFY(!QFile::exists(out));
        QCOMPARE(
            runCli({QStringLiteral("dump"), QStringLiteral("--timeout"), QStringLiteral("0"), out}),
            2);
    }

    void signalStopsTheTransfer()
    {
        Sim sim;
        startSim(sim, {QStringLiteral("--fault"), QStringLiteral("cut")});
        const QString out = dir.filePath(QStringLiteral("term.bin"));
        QProcess cli;
        cli.start(t7::test::builtProgram(QStringLiteral("teskar7-cli")),
                  {QStringLiteral("dump"), QStringLiteral("--port"), sim.path, out});
        QByteArray errors;
        QTRY_VERIFY_WITH_TIMEOUT((errors += cli.readAllStandardError()).contains("Прием:"), 10000);
        cli.terminate();
        QVERIFY(cli.waitForFinished(5000));
        errors += cli.readAllStandardError();
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY2(QString::fromUtf8(errors).contains(QStringLiteral("прием прерван по сигналу")),
                 errors.constData());
        QVERIFY(!QFile::exists(out));
    }

    void missingPort()
    {
        QByteArray errors;
        QCOMPARE(runCli({QStringLiteral("dump"), QStringLiteral("--port"),
                         QStringLiteral("/dev/no-such-tty"), dir.filePath(QStringLiteral("x.bin"))},
                        &errors),
                 1);
        QVERIFY(QString::fromUtf8(errors).contains(QStringLiteral("Порт недоступен")));
        QVERIFY(QString::fromUtf8(errors).contains(QStringLiteral("Прибор не обнаружен!")));
    }
};

QTEST_GUILESS_MAIN(TestE2eDump)
#include "tst_e2e_dump.moc"
