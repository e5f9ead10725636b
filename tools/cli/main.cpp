// teskar7-cli: the program's main jobs without windows, for lab scripts.

#include "tools/cli/cli_exchange.h"

#include "common/error.h"
#include "device/codec.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

void out(const QString& text)
{
    std::fprintf(stdout, "%s\n", qPrintable(text));
}

int fail(const QString& text)
{
    std::fprintf(stderr, "teskar7-cli: %s\n", qPrintable(text));
    return 1;
}

const QCommandLineOption& portOption()
{
    static const QCommandLineOption option(
        QStringLiteral("port"),
        QStringLiteral("Serial device; the first serves COM1, a second one COM2."),
        QStringLiteral("PATH"));
    return option;
}

// Parses a command's arguments; returns false (and has printed why) when they are wrong.
bool parseCommand(QCommandLineParser& parser, const QStringList& arguments,
                  const QString& description, const QString& usage, int positional)
{
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("args"), usage);
    if (!parser.parse(arguments)) {
        fail(parser.errorText());
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out(parser.helpText());
        std::exit(0);
    }
    if (parser.positionalArguments().size() != positional) {
        fail(QStringLiteral("usage: teskar7-cli %1").arg(usage));
        return false;
    }
    return true;
}

// Runs the exchange; on success the archive is in the device image.
bool receiveArchive(const QStringList& ports, qint64& length)
{
    t7::cli::CliExchange exchange(ports);
    if (exchange.run() != 1) {
        fail(exchange.failure().isEmpty() ? QStringLiteral("прием прерван") : exchange.failure());
        return false;
    }
    length = exchange.archiveLength();
    return true;
}

int dumpCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption(portOption());
    if (!parseCommand(parser, arguments,
                      QStringLiteral("Receives the instrument's archive and writes the decoded "
                                     "bytes to OUT.bin."),
                      QStringLiteral("dump [--port PATH]... OUT.bin"), 1))
        return 2;
    qint64 length = 0;
    if (!receiveArchive(parser.values(portOption()), length))
        return 1;
    try {
        t7::WriteDumpFile(parser.positionalArguments().at(0), t7::theDeviceImage(), length);
    } catch (const t7::Error& e) {
        return fail(e.text());
    }
    out(QStringLiteral("Принято байт: %1").arg(length));
    return 0;
}

void usage()
{
    out(QStringLiteral("usage: teskar7-cli COMMAND [options]\n\n"
                       "Commands:\n"
                       "  dump [--port PATH]... OUT.bin   receive the archive into a dump file\n\n"
                       "teskar7-cli COMMAND --help tells more."));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("teskar7-cli"));
    QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || arguments.at(1) == QLatin1String("--help") ||
        arguments.at(1) == QLatin1String("-h")) {
        usage();
        return arguments.size() < 2 ? 2 : 0;
    }
    const QString command = arguments.takeAt(1);
    if (command == QLatin1String("dump"))
        return dumpCommand(arguments);
    usage();
    return fail(QStringLiteral("unknown command '%1'").arg(command));
}
