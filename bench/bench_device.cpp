// Decoding speed and the overhead of a paced transfer over the line time.

#include "device/codec.h"
#include "tools/sim/archive_gen.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

void report(const char* what, double value, const char* unit, const char* target)
{
    std::printf("%-48s %14.1f %-8s (%s)\n", what, value, unit, target);
}

void decoding()
{
    auto buffer = std::make_unique<t7::ReceiveBuffer>();
    auto image = std::make_unique<t7::DeviceImage>();
    QByteArray bytes(65535, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 31);
    const QByteArray reply = "S" + t7::EncodeBytes(bytes) + "P";
    std::copy(reply.begin(), reply.end(), buffer->bytes.begin());
    const int rounds = 200;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i)
        t7::DecodeArchive(*buffer, *image);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double perSecond = double(reply.size()) * rounds / seconds;
    report("decode a 65,535-byte archive", perSecond / 1e6, "M char/s",
           "the line brings 873 char/s");
    report("  that is, times the line's pace", perSecond / 873.0, "x", "orders of magnitude");
}

void pacedTransfer(int records)
{
    QTemporaryDir dir;
    QProcess sim;
    sim.start(QStringLiteral(TESKAR7_BIN "/tools/sim/teskar7-sim"),
              {QStringLiteral("--records"), QString::number(records), QStringLiteral("--pace")});
    sim.waitForStarted();
    sim.waitForReadyRead(5000);
    const QString port = QString::fromLocal8Bit(sim.readLine().trimmed());
    QElapsedTimer clock;
    clock.start();
    // The command's progress lines would bury the figures; only its exit code counts here.
    QProcess dump;
    dump.setStandardOutputFile(QProcess::nullDevice());
    dump.start(QStringLiteral(TESKAR7_BIN "/tools/cli/teskar7-cli"),
               {QStringLiteral("dump"), QStringLiteral("--port"), port,
                dir.filePath(QStringLiteral("a.bin"))});
    dump.waitForFinished(-1);
    const double elapsed = double(clock.nsecsElapsed()) / 1e6;
    const int code = dump.exitStatus() == QProcess::NormalExit ? dump.exitCode() : -1;
    sim.terminate();
    sim.waitForFinished();
    if (code != 0) {
        std::printf("paced transfer failed\n");
        return;
    }
    // Characters on the line: 'V', the 10-character identity, 'N', 'S', the body, 'P'.
    const double characters = 1 + 10 + 1 + 1 + 2.0 * (4 + 22 * records) + 1;
    const double lineMs = characters * 11.0 / 9600.0 * 1000.0 + 1000.0;
    report("paced transfer, line time + request delay", lineMs, "ms", "");
    report("paced transfer, measured", elapsed, "ms", "");
    report("  overhead", (elapsed - lineMs) / lineMs * 100.0, "%", "target under 0.5 %");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    decoding();
    pacedTransfer(argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 300);
    return 0;
}
