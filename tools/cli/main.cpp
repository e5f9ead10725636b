// teskar7-cli: the program's main jobs without windows, for lab scripts.

#include "tools/cli/cli_exchange.h"

#include "common/disk_file.h"
#include "common/error.h"
#include "data/dbf/table.h"
#include "data/file_commands.h"
#include "data/measurement.h"
#include "device/codec.h"
#include "device/serial_devices.h"
#include "output/export/workbook_export.h"
#include "output/report/page_painter.h"
#include "output/report/report_engine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

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

const QCommandLineOption& timeoutOption()
{
    static const QCommandLineOption option(
        QStringLiteral("timeout"),
        QStringLiteral("Longest silence of the instrument during the transfer, in seconds "
                       "(default 30)."),
        QStringLiteral("SECONDS"), QStringLiteral("30"));
    return option;
}

// The --timeout value; false (and has printed why) when it is no whole number of seconds.
bool silenceSeconds(const QCommandLineParser& parser, int& seconds)
{
    bool ok = false;
    seconds = parser.value(timeoutOption()).toInt(&ok);
    if (ok && seconds > 0)
        return true;
    fail(QStringLiteral("--timeout takes a whole number of seconds, not '%1'")
             .arg(parser.value(timeoutOption())));
    return false;
}

// Runs the exchange; on success the archive is in the device image.
bool receiveArchive(const QStringList& ports, int timeout, qint64& length)
{
    t7::cli::CliExchange exchange(ports, timeout);
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
    parser.addOption(timeoutOption());
    int timeout = 0;
    if (!parseCommand(parser, arguments,
                      QStringLiteral("Receives the instrument's archive and writes the decoded "
                                     "bytes to OUT.bin."),
                      QStringLiteral("dump [--port PATH]... [--timeout SECONDS] OUT.bin"), 1) ||
        !silenceSeconds(parser, timeout))
        return 2;
    qint64 length = 0;
    if (!receiveArchive(parser.values(portOption()), timeout, length))
        return 1;
    try {
        t7::WriteDumpFile(parser.positionalArguments().at(0), t7::theDeviceImage(), length);
    } catch (const t7::Error& e) {
        return fail(e.text());
    }
    out(QStringLiteral("Принято байт: %1").arg(length));
    return 0;
}

// Prompts without a screen: messages go to standard error, questions are answered No.
class CliPrompts : public t7::Prompts
{
public:
    QString failure;
    void message(const QString& text, const QString&, t7::Icon) override { failure = text; }
    t7::Answer question(const QString&, const QString&, t7::Icon) override
    {
        return t7::Answer::No;
    }
    QString saveFileName(const t7::FileDialogSpec&) override { return {}; }
    QString openFileName(const t7::FileDialogSpec&) override { return {}; }
    std::optional<quint32> chooseColor(quint32) override { return std::nullopt; }
};

// The data file commands without a window: the "receive window" is the exchange on the
// command line, or an image read from a file.
class CliView : public t7::DataFileView
{
public:
    std::function<int()> receive;
    CliPrompts cliPrompts;

    t7::Prompts& prompts() override { return cliPrompts; }
    int showReceiveWindow() override { return receive(); }
    void showFileOpen(const QString&) override {}
    void showNoFile() override {}
    void tab_vis_en() override {}
    void setCaption(const QString&) override {}
    void find_mma() override {}
    void Save_Layout(const QString&) override {}
    void commitGridEdit() override {}
    void clearSortMarks() override {}
};

QByteArrayView deviceImageView()
{
    const t7::DeviceImage& image = t7::theDeviceImage();
    return QByteArrayView(reinterpret_cast<const char*>(image.bytes.data()),
                          qsizetype(image.bytes.size()));
}

// Creates or extends the data file as the New and Append commands do, with `receive` in
// the place of the receive window.
int fillDataFile(const QString& path, bool append, const std::function<int()>& receive)
{
    CliView view;
    view.receive = receive;
    t7::dbf::Table table;
    t7::DataFileCommands commands(view, table, deviceImageView());
    try {
        if (append) {
            if (!commands.Open_DB(path))
                return fail(view.cliPrompts.failure + QStringLiteral(" ") + commands.LastError);
            if (view.showReceiveWindow() == 2)
                return 1;
            commands.Append_DB();
        } else {
            if (view.showReceiveWindow() != 1)
                return 1;
            commands.Create_DB(path);
            if (!commands.TableOpen)
                return fail(view.cliPrompts.failure);
        }
        out(QStringLiteral("Добавлено строк: %1").arg(commands.LastAppended));
        commands.Close_DB();
    } catch (const t7::Error& e) {
        return fail(e.text());
    }
    return 0;
}

const QCommandLineOption& appendOption()
{
    static const QCommandLineOption option(
        QStringLiteral("append"),
        QStringLiteral("Extend the data file with the records later than its last row."));
    return option;
}

int receiveCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption(portOption());
    parser.addOption(appendOption());
    parser.addOption(timeoutOption());
    int timeout = 0;
    if (!parseCommand(parser, arguments,
                      QStringLiteral("Receives the instrument's archive into a new data file, or "
                                     "with --append extends an existing one."),
                      QStringLiteral("receive [--port PATH]... [--timeout SECONDS] [--append] "
                                     "FILE.db"),
                      1) ||
        !silenceSeconds(parser, timeout))
        return 2;
    const QStringList ports = parser.values(portOption());
    return fillDataFile(parser.positionalArguments().at(0), parser.isSet(appendOption()),
                        [&ports, timeout] {
                            qint64 length = 0;
                            return receiveArchive(ports, timeout, length) ? 1 : 2;
                        });
}

int convertCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption(appendOption());
    if (!parseCommand(parser, arguments,
                      QStringLiteral("Converts a saved archive image (dump format) into a new "
                                     "data file, or with --append extends an existing one."),
                      QStringLiteral("convert [--append] IMAGE.bin FILE.db"), 2))
        return 2;
    QFile file(parser.positionalArguments().at(0));
    if (QFileInfo::exists(file.fileName()) && !QFileInfo(file.fileName()).isFile())
        return fail(QStringLiteral("%1 — не обычный файл").arg(file.fileName()));
    if (!file.open(QIODevice::ReadOnly))
        return fail(
            QStringLiteral("Не удалось открыть %1: %2").arg(file.fileName(), file.errorString()));
    const QByteArray image = file.read(t7::kDeviceImageSize + 1);
    if (image.size() > t7::kMaxArchiveBytes)
        return fail(
            QStringLiteral("%1 длиннее %2 байт").arg(file.fileName()).arg(t7::kMaxArchiveBytes));
    return fillDataFile(parser.positionalArguments().at(1), parser.isSet(appendOption()), [&image] {
        // As a transfer does: the image is filled from offset 0.
        std::copy(image.begin(), image.end(), t7::theDeviceImage().bytes.begin());
        return 1;
    });
}

// The rows as CSV, streamed: a block of records at a time from the file, each byte of the
// file's code page put out as UTF-8 straight from a table, quoting decided on the way, one
// buffered write. Memory stays small whatever the file's size.
int listCsv(const QString& path)
{
    t7::dbf::Table table;
    table.setPath(path);
    std::array<std::string, 256> utf8;
    std::string buffer;
    const auto flush = [&buffer] {
        std::fwrite(buffer.data(), 1, buffer.size(), stdout);
        buffer.clear();
    };
    std::vector<t7::dbf::Field> fields;
    const auto opened = [&] {
        fields = table.fields();
        for (int byte = 0; byte < 256; ++byte) {
            const char c = char(byte);
            // Blanks inside a value stay; a zero byte is no character.
            utf8[size_t(byte)] = byte == ' ' ? std::string(" ")
                                 : byte == 0 ? std::string()
                                             : table.decode(QByteArrayView(&c, 1)).toStdString();
        }
        for (size_t f = 0; f < fields.size(); ++f) {
            if (f > 0)
                buffer += ',';
            buffer += fields[f].name.toStdString();
        }
        buffer += '\n';
    };
    const auto record = [&](const char* data) {
        for (size_t f = 0; f < fields.size(); ++f) {
            if (f > 0)
                buffer += ',';
            const QByteArrayView bytes = table.cellBytes(data, int(f));
            const char* cell = bytes.data();
            const qsizetype width = bytes.size();
            const bool quoted = std::any_of(
                cell, cell + width, [](char c) { return c == ',' || c == '"' || c == '\n'; });
            if (quoted)
                buffer += '"';
            for (qsizetype i = 0; i < width; ++i) {
                if (cell[i] == '"')
                    buffer += '"';
                buffer += utf8[static_cast<unsigned char>(cell[i])];
            }
            if (quoted)
                buffer += '"';
        }
        buffer += '\n';
        if (buffer.size() >= (1u << 20))
            flush();
    };
    try {
        table.scan(t7::measurementRequirements(), opened, record);
    } catch (const t7::Error& e) {
        flush();
        return fail(QStringLiteral("База данных повреждена ! ") + e.text());
    }
    flush();
    return 0;
}

int listCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption csvOption(QStringLiteral("csv"),
                                       QStringLiteral("Comma-separated values, UTF-8."));
    parser.addOption(csvOption);
    if (!parseCommand(parser, arguments,
                      QStringLiteral("Lists the rows of a data file in file order."),
                      QStringLiteral("list FILE.db [--csv]"), 1))
        return 2;
    if (parser.isSet(csvOption))
        return listCsv(parser.positionalArguments().at(0));
    t7::dbf::Table table;
    table.setPath(parser.positionalArguments().at(0));
    try {
        table.open(t7::measurementRequirements(), true);
    } catch (const t7::Error& e) {
        return fail(QStringLiteral("База данных повреждена ! ") + e.text());
    }
    table.selectTag(QString());
    const auto& fields = table.fields();
    std::vector<QStringList> rows;
    for (table.first(); !table.eof(); table.next()) {
        QStringList row;
        for (int f = 0; f < int(fields.size()); ++f)
            row.append(table.textOf(table.recNo() - 1, f));
        rows.push_back(row);
    }
    QStringList names;
    for (const auto& field : fields)
        names.append(field.name);
    std::vector<qsizetype> widths;
    for (qsizetype f = 0; f < names.size(); ++f) {
        qsizetype width = names[f].size();
        for (const QStringList& row : rows)
            width = std::max(width, row[f].size());
        widths.push_back(width);
    }
    auto line = [&widths](const QStringList& cells) {
        QStringList padded;
        for (qsizetype f = 0; f < cells.size(); ++f)
            padded.append(cells[f].leftJustified(widths[size_t(f)]));
        out(padded.join(QLatin1Char(' ')).trimmed());
    };
    line(names);
    for (const QStringList& row : rows)
        line(row);
    out(QStringLiteral("Строк: %1").arg(rows.size()));
    return 0;
}

// Opens a data file read only, in the order --sort and --descending ask for; false (and has
// printed why) when it cannot.
bool openSorted(t7::dbf::Table& table, const QString& path, const QString& sortField,
                bool descending)
{
    table.setPath(path);
    try {
        table.open(t7::measurementRequirements(), true);
    } catch (const t7::Error& e) {
        fail(QStringLiteral("База данных повреждена ! ") + e.text());
        return false;
    }
    try {
        table.selectTag(QString());
        if (!sortField.isEmpty()) {
            // As a title click sorts, in memory: text fields by text, N by number.
            table.addTag(t7::sortTagName(), sortField, descending);
            table.selectTag(t7::sortTagName());
        }
    } catch (const t7::Error& e) {
        fail(e.text());
        return false;
    }
    return true;
}

// `report` writes the PDF, `export` the workbook or the CSV text, of the same prepared report.
int outputCommand(const QStringList& arguments, bool exporting)
{
    QCommandLineParser parser;
    const QCommandLineOption sortOption(QStringLiteral("sort"),
                                        QStringLiteral("Rows in the order of this field."),
                                        QStringLiteral("FIELD"));
    const QCommandLineOption descendingOption(QStringLiteral("descending"),
                                              QStringLiteral("The greatest key first."));
    parser.addOptions({sortOption, descendingOption});
    const bool parsed =
        exporting
            ? parseCommand(parser, arguments,
                           QStringLiteral("Exports the printed report of a data file as the "
                                          "window program does: a workbook (.xlsx) laid out "
                                          "as the pages, or the report's columns as CSV text."),
                           QStringLiteral("export [--sort FIELD] [--descending] FILE.db "
                                          "OUT.xlsx|OUT.csv"),
                           2)
            : parseCommand(parser, arguments,
                           QStringLiteral("Prepares the printed report of a data file, exactly "
                                          "as the preview shows it, and writes it as PDF."),
                           QStringLiteral("report [--sort FIELD] [--descending] FILE.db OUT.pdf"),
                           2);
    if (!parsed)
        return 2;
    t7::dbf::Table table;
    if (!openSorted(table, parser.positionalArguments().at(0), parser.value(sortOption),
                    parser.isSet(descendingOption)))
        return 1;
    const QString target = parser.positionalArguments().at(1);
    try {
        const t7::report::ReportTemplate layout = t7::report::measurementReport();
        if (exporting && target.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
            t7::report::exportCsv(layout, table, target);
            out(QStringLiteral("Строк: %1").arg(table.visibleCount()));
            return 0;
        }
        t7::report::PreparedReport report;
        t7::report::prepareReport(layout, table, report);
        if (exporting)
            t7::report::exportWorkbook(report, target);
        else
            t7::report::writePdf(report, target);
        out(QStringLiteral("Страниц: %1").arg(report.pages.size()));
    } catch (const t7::Error& e) {
        return fail(e.text());
    }
    return 0;
}

// The serial devices found and which ones serve COM1 and COM2, as "Сервис → Порты…" shows.
int portsCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    if (!parseCommand(parser, arguments,
                      QStringLiteral("Lists the serial devices found and the devices that serve "
                                     "COM1 and COM2."),
                      QStringLiteral("ports"), 0))
        return 2;
    for (int number : {1, 2}) {
        const t7::PortChoice choice = t7::choosePort(number);
        out(QStringLiteral("COM%1: %2 (%3)")
                .arg(number)
                .arg(choice.path, t7::describe(choice.from)));
    }
    const std::vector<t7::SerialDevice> devices = t7::serialDevices();
    if (devices.empty())
        out(QStringLiteral("Последовательные порты не найдены"));
    for (const t7::SerialDevice& device : devices)
        out(QStringLiteral("%1  %2  %3")
                .arg(device.path,
                     device.description.isEmpty() ? QStringLiteral("-") : device.description,
                     device.problem.isEmpty() ? QStringLiteral("доступ есть") : device.problem));
    return 0;
}

void usage()
{
    out(QStringLiteral(
        "usage: teskar7-cli COMMAND [options]\n\n"
        "Commands:\n"
        "  dump [--port PATH]... [--timeout SECONDS] OUT.bin\n"
        "                                           receive the archive into a dump file\n"
        "  receive [--port PATH]... [--timeout SECONDS] [--append] FILE.db\n"
        "                                           receive the archive into a data file\n"
        "  convert [--append] IMAGE.bin FILE.db     convert a saved archive image\n"
        "  list FILE.db [--csv]                     list the rows of a data file\n"
        "  report [--sort FIELD] [--descending] FILE.db OUT.pdf\n"
        "                                           write the printed report as PDF\n"
        "  export [--sort FIELD] [--descending] FILE.db OUT.xlsx|OUT.csv\n"
        "                                           export the report as a workbook or CSV\n"
        "  ports                                    the serial devices and COM1, COM2\n\n"
        "teskar7-cli COMMAND --help tells more; teskar7-cli --version the version."));
}

} // namespace

int main(int argc, char** argv)
{
    // The report draws text, which needs the GUI side of Qt, but no screen.
    const bool drawing =
        argc > 1 && (std::strcmp(argv[1], "report") == 0 || std::strcmp(argv[1], "export") == 0);
    if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    t7::ignoreFileSizeSignal();
    std::unique_ptr<QCoreApplication> application;
    if (drawing)
        application = std::make_unique<QGuiApplication>(argc, argv);
    else
        application = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("teskar7-cli"));
    QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || arguments.at(1) == QLatin1String("--help") ||
        arguments.at(1) == QLatin1String("-h")) {
        usage();
        return arguments.size() < 2 ? 2 : 0;
    }
    if (arguments.at(1) == QLatin1String("--version")) {
        out(QStringLiteral("teskar7-cli " TESKAR7_VERSION));
        return 0;
    }
    const QString command = arguments.takeAt(1);
    if (command == QLatin1String("dump"))
        return dumpCommand(arguments);
    if (command == QLatin1String("receive"))
        return receiveCommand(arguments);
    if (command == QLatin1String("convert"))
        return convertCommand(arguments);
    if (command == QLatin1String("list"))
        return listCommand(arguments);
    if (command == QLatin1String("ports"))
        return portsCommand(arguments);
    if (command == QLatin1String("report") || command == QLatin1String("export"))
        return outputCommand(arguments, command == QLatin1String("export"));
    usage();
    return fail(QStringLiteral("unknown command '%1'").arg(command));
}
