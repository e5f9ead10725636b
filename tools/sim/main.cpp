// teskar7-sim: the instrument on a pseudo-terminal, for trying the program without one.

#include "tools/sim/archive_gen.h"
#include "tools/sim/instrument.h"
#include "tools/sim/pty.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

int fail(const QString& text)
{
    std::fprintf(stderr, "teskar7-sim: %s\n", qPrintable(text));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("teskar7-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TESKAR7_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The ТЕСКАР-7 instrument on a pseudo-terminal: answers 'V' with its identity and 'N' "
        "with its archive. Prints the terminal's path on the first line."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption imageOption(QStringLiteral("image"),
                                         QStringLiteral("Archive image to send (dump format)."),
                                         QStringLiteral("FILE.bin"));
    const QCommandLineOption recordsOption(QStringLiteral("records"),
                                           QStringLiteral("Generate an archive of N records."),
                                           QStringLiteral("N"), QStringLiteral("25"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the generated archive."),
                                        QStringLiteral("S"), QStringLiteral("1"));
    const QCommandLineOption linkOption(QStringLiteral("link"),
                                        QStringLiteral("Also make a symbolic link PATH to it."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption paceOption(QStringLiteral("pace"),
                                        QStringLiteral("Send at the pace of 9600 baud, 8N2."));
    const QCommandLineOption faultOption(
        QStringLiteral("fault"),
        QStringLiteral("Misbehave: silent, wrong-type, restart, garbage, cut or endless."),
        QStringLiteral("MODE"), QStringLiteral("none"));
    parser.addOptions(
        {imageOption, recordsOption, seedOption, linkOption, paceOption, faultOption});
    parser.process(app);

    t7::sim::Fault fault = t7::sim::Fault::None;
    if (!t7::sim::parseFault(parser.value(faultOption), fault))
        return fail(QStringLiteral("unknown fault mode '%1'").arg(parser.value(faultOption)));

    QByteArray image;
    if (parser.isSet(imageOption)) {
        QFile file(parser.value(imageOption));
        if (!file.open(QIODevice::ReadOnly))
            return fail(
                QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        image = file.readAll();
        if (image.size() > 65535)
            return fail(QStringLiteral("%1 is longer than 65535 bytes").arg(file.fileName()));
    } else {
        bool ok = false;
        const int records = parser.value(recordsOption).toInt(&ok);
        if (!ok || records < 0 || records > 2978)
            return fail(QStringLiteral("--records takes 0 to 2978"));
        const quint32 seed = parser.value(seedOption).toUInt(&ok);
        if (!ok)
            return fail(QStringLiteral("--seed takes a whole number"));
        image = t7::sim::buildArchive(t7::sim::generateObservations(records, seed));
    }

    QString error;
    t7::sim::Pty pty = t7::sim::openPty(error);
    if (pty.path.isEmpty())
        return fail(QStringLiteral("no pseudo-terminal: %1").arg(error));
    const QString link = parser.value(linkOption);
    if (!link.isEmpty()) {
        QFile::remove(link);
        if (!QFile::link(pty.path, link))
            return fail(QStringLiteral("cannot make the link %1").arg(link));
    }
    std::printf("%s\n", qPrintable(pty.path));
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    t7::sim::Instrument instrument(image, fault);
    const bool pace = parser.isSet(paceOption);
    constexpr double kCharsPerMs = 9600.0 / 11.0 / 1000.0;
    QByteArray pending;
    // Pacing: a reply is released at the line's rate from the moment it was queued.
    QElapsedTimer clock;
    clock.start();
    qint64 replyStart = 0;
    qint64 replySent = 0;

    while (!g_stop) {
        if (instrument.endless() && pending.size() < 4096)
            instrument.more(pending, 4096);
        qsizetype allowed = pending.size();
        if (pace && !pending.isEmpty())
            allowed = std::min<qsizetype>(
                allowed, qsizetype(double(clock.elapsed() - replyStart) * kCharsPerMs) - replySent);
        const bool wantWrite = allowed > 0;
        pollfd fd{pty.master, short(POLLIN | (wantWrite ? POLLOUT : 0)), 0};
        if (::poll(&fd, 1, pending.isEmpty() ? 100 : 2) < 0)
            continue;
        if (fd.revents & POLLIN) {
            char in[256];
            const ssize_t got = ::read(pty.master, in, sizeof in);
            const bool wasIdle = pending.isEmpty();
            for (ssize_t i = 0; i < got; ++i)
                instrument.request(in[i], pending);
            if (wasIdle && !pending.isEmpty()) {
                replyStart = clock.elapsed();
                replySent = 0;
            }
        }
        if (wantWrite && (fd.revents & POLLOUT)) {
            const ssize_t put = ::write(pty.master, pending.constData(), size_t(allowed));
            if (put > 0) {
                pending.remove(0, put);
                replySent += put;
            }
        }
    }
    if (!link.isEmpty())
        QFile::remove(link);
    t7::sim::closePty(pty);
    return 0;
}
