#include "common/error.h"
#include "common/product.h"
#include "output/export/sheet_layout.h"
#include "output/export/workbook_export.h"
#include "output/report/report_engine.h"
#include "output_ui/report_commands.h"
#include "tests/output/report_fixture.h"
#include "tests/output/workbook_reader.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace t7;
using report::PreparedReport;
using test::Workbook;

namespace {

PreparedReport prepared(const dbf::Table& table)
{
    PreparedReport pages;
    if (!report::prepareReport(report::measurementReport(), table, pages))
        qFatal("preparation cancelled");
    return pages;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Files in a folder other than these.
QStringList leftIn(const QString& folder, const QStringList& expected)
{
    QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : expected)
        left.removeAll(name);
    return left;
}

// A report built by hand: objects at these rectangles, each with its text.
struct HandMade
{
    std::shared_ptr<std::vector<report::ObjectStyle>> styles =
        std::make_shared<std::vector<report::ObjectStyle>>(1);
    PreparedReport report;

    HandMade()
    {
        (*styles)[0].frame = true;
        report.styles = styles;
        report.pages.emplace_back();
    }
    void add(float x, float y, float width, float height, const QString& text)
    {
        report::PreparedPage& page = report.pages.back();
        page.objects.push_back({x, y, width, height, quint32(page.texts.size()),
                                quint32(text.size()), &styles->front()});
        page.texts += text;
    }
};

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    test::ScriptedPrompts prompts;

    QString path(const QString& name) const { return dir.filePath(name); }

private slots:
    void initTestCase()
    {
        test::isolateSettings(dir);
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("unzip is not installed: the workbooks cannot be read back");
    }
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        prompts.clear();
    }

    // One row: the title over the columns it covers, one heading row, one value row and
    // the footer; the sheet's geometry from the report's.
    void oneRow()
    {
        auto t = test::reportTable(path(QStringLiteral("one.db")),
                                   {{7, "12.5", "300", "12,345", QStringLiteral("проба; \"1\"")}});
        const PreparedReport pages = prepared(*t);
        const report::SheetLayout layout = report::layoutSheet(pages);
        const std::vector<double> columns{25,  67,  141, 200, 259, 281,  376, 472,
                                          550, 640, 715, 808, 844, 1045, 1046};
        QCOMPARE(layout.columnEdges, columns);
        QCOMPARE(layout.columnWidth(0), 42.0 / 8);
        QCOMPARE(layout.rows(), 5); // title, headings, the row, the space above the footer, footer
        QCOMPARE(layout.rowHeight(1), 60 / 1.3);
        QCOMPARE(layout.rowHeight(2), 40 / 1.3);
        QVERIFY(layout.pageBreaks.empty());

        const QString file = path(QStringLiteral("one.xlsx"));
        report::exportWorkbook(pages, file);
        const Workbook book = Workbook::read(file);
        QVERIFY(book.valid);
        QCOMPARE(book.text(QStringLiteral("A1")), QStringLiteral("ТЕСКАР-7"));
        QCOMPARE(book.cells[QStringLiteral("A1")].fontSize, 14.0);
        QVERIFY(book.cells[QStringLiteral("A1")].bold);
        QVERIFY(book.merged.contains(QStringLiteral("A1:D1")));
        QCOMPARE(book.text(QStringLiteral("A2")), QStringLiteral("N"));
        QVERIFY(book.cells[QStringLiteral("A2")].bold && book.cells[QStringLiteral("A2")].border);
        // The heading that the title's right edge splits spans two cells.
        QVERIFY(book.merged.contains(QStringLiteral("D2:E2")));
        QCOMPARE(book.text(QStringLiteral("L2")), QStringLiteral("Примечание"));
        QVERIFY(book.merged.contains(QStringLiteral("L2:M2")));

        // The values: numbers as numbers, the date and time as such, 12.5 kept as printed.
        const auto cell = [&](const char* reference) {
            return book.cells.value(QString::fromLatin1(reference));
        };
        QCOMPARE(cell("A3").value, QStringLiteral("7"));
        QVERIFY(!cell("A3").text);
        QCOMPARE(cell("B3").value, QStringLiteral("40977")); // 9 March 2012
        QCOMPARE(cell("B3").format, QStringLiteral("dd.mm.yyyy"));
        QCOMPARE(cell("C3").value.toDouble(), 10.0 / 24);
        QCOMPARE(cell("C3").format, QStringLiteral("hh:mm:ss"));
        QCOMPARE(cell("F3").value, QStringLiteral("12.5"));
        QVERIFY(cell("F3").text);
        QCOMPARE(cell("F3").format, QStringLiteral("@"));
        QCOMPARE(cell("H3").value.toDouble(), 12.345);
        QVERIFY(!cell("H3").text);
        QCOMPARE(cell("H3").format, QStringLiteral("General"));
        QCOMPARE(cell("L3").value, QStringLiteral("проба; \"1\""));
        QCOMPARE(book.text(QStringLiteral("M5")), QStringLiteral("Стр. 1 из 1"));

        QCOMPARE(book.rowHeights.value(2), 60 / 1.3);
        QCOMPARE(book.columnWidths.size(), 14);
        QCOMPARE(book.orientation, QStringLiteral("landscape"));
        QCOMPARE(book.paperSize, 9);
        QCOMPARE(book.marginLeft, 25.0 / 4 / 72);
        QCOMPARE(leftIn(dir.path(), {}).filter(QStringLiteral("~")), QStringList());

        // The same columns as text: the headings, then the row, as printed.
        const QString csv = path(QStringLiteral("one.csv"));
        report::exportCsv(report::measurementReport(), *t, csv);
        const QList<QByteArray> lines = readAll(csv).split('\n');
        QVERIFY(lines[0].startsWith("\xEF\xBB\xBFN;Дата;Время;Ускорение копра А1, м/сек.кв.;"));
        QCOMPARE(lines[1], QByteArray("7;09.03.2012;10:00:00;1000;12.5;300;12,345;;;;"
                                      "\"проба; \"\"1\"\"\"\r"));
        QCOMPARE(lines.size(), 3);
    }

    // Three pages one below the other, a manual break before the headings of each later one,
    // the row between standing for the top margin.
    void threePages()
    {
        auto t = test::reportTable(path(QStringLiteral("three.db")), test::numberedRows(30));
        const PreparedReport pages = prepared(*t);
        QCOMPARE(pages.pages.size(), size_t(3));
        const report::SheetLayout layout = report::layoutSheet(pages);
        QCOMPARE(layout.pageBreaks.size(), size_t(2));
        const QString file = path(QStringLiteral("three.xlsx"));
        report::exportWorkbook(pages, file);
        const Workbook book = Workbook::read(file);
        QCOMPARE(book.breaks, QList<int>({layout.pageBreaks[0], layout.pageBreaks[1]}));
        for (int page = 0; page < 2; ++page) {
            const int first = layout.pageBreaks[size_t(page)] + 1; // 1-based
            QCOMPARE(book.text(QStringLiteral("A%1").arg(first)), QStringLiteral("N"));
            QCOMPARE(book.text(QStringLiteral("A%1").arg(first + 1)),
                     QString::number(page == 0 ? 13 : 27));
            QVERIFY(!book.cells.contains(QStringLiteral("A%1").arg(first - 1))); // the margin
            QCOMPARE(book.text(QStringLiteral("M%1").arg(first - 2)),
                     QStringLiteral("Стр. %1 из 3").arg(page + 1));
        }
        QCOMPARE(book.text(QStringLiteral("A%1").arg(layout.rows() - 2)), QStringLiteral("30"));
    }

    // A gap taller than a sheet's row is cut into rows of 409 points; a merged range that
    // would cover a later object is shrunk first.
    void gapsAndShrunkMerges()
    {
        HandMade made;
        made.add(0, 0, 100, 40, QStringLiteral("wide"));
        made.add(50, 0, 50, 20, QStringLiteral("later, inside"));
        made.add(0, 1200, 50, 10, QStringLiteral("far below"));
        const report::SheetLayout layout = report::layoutSheet(made.report);
        const double row = 409 * 1.3;
        const std::vector<double> rows{0, 20, 40, 40 + row, 40 + 2 * row, 1200, 1210};
        QCOMPARE(layout.rowEdges.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i)
            QVERIFY(std::abs(layout.rowEdges[i] - rows[i]) < 1e-3);
        QCOMPARE(layout.rowHeight(2), 409.0);
        QCOMPARE(layout.cells[0].firstColumn, 0);
        QCOMPARE(layout.cells[0].lastColumn, 0); // shrunk: the later object starts at column 1
        QCOMPARE(layout.cells[0].lastRow, 1);
        QVERIFY(layout.cells[0].merged);
        QCOMPARE(layout.cells[1].firstColumn, 1);
        QVERIFY(!layout.cells[1].merged);
    }

    // The file cannot be made: the message names it and the reason, and an existing file
    // of that name stays as it was.
    void cannotCreate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a folder") << "folder.xlsx"
                                  << "Это папка";
        QTest::newRow("no such folder") << "missing/book.xlsx"
                                        << "Файл или папка не найдены";
        QTest::newRow("open in LibreOffice") << "held.xlsx"
                                             << "Файл открыт в другой программе";
    }
    void cannotCreate()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("folder.xlsx")));
        QVERIFY(writeAll(folder.filePath(QStringLiteral("held.xlsx")), "the old workbook"));
        QVERIFY(writeAll(folder.filePath(QStringLiteral(".~lock.held.xlsx#")), "lock"));
        auto t = test::reportTable(path(QStringLiteral("fail.db")), test::numberedRows(2));
        const PreparedReport pages = prepared(*t);
        const QString file = folder.filePath(name);
        for (const bool csv : {false, true}) {
            try {
                if (csv)
                    report::exportCsv(report::measurementReport(), *t, file);
                else
                    report::exportWorkbook(pages, file);
                QFAIL("the export went on");
            } catch (const Error& e) {
                QCOMPARE(e.text(), QStringLiteral("Cannot create file \"%1\". %2.")
                                       .arg(QDir::toNativeSeparators(file), reason));
            }
        }
        QCOMPARE(readAll(folder.filePath(QStringLiteral("held.xlsx"))),
                 QByteArray("the old workbook"));
        QCOMPARE(leftIn(folder.path(),
                        {QStringLiteral("held.xlsx"), QStringLiteral(".~lock.held.xlsx#")}),
                 QStringList());
    }

    // The command: prepare, ask, write, show; cancel leaves nothing; a failure is told
    // under the program's title and shows nothing.
    void command()
    {
        auto t = test::reportTable(path(QStringLiteral("command.db")), test::numberedRows(3));
        bool open = true;
        ReportCommands commands(nullptr, *t, open, prompts);
        commands.progressWindow = [] { return std::unique_ptr<report::ProgressSink>(); };
        commands.exportProgressWindow = [] { return std::unique_ptr<report::ExportProgress>(); };
        QStringList shown;
        commands.openDocument = [&](const QString& file) { shown.append(file); };
        QTemporaryDir folder;

        prompts.push(QString()); // cancelled
        commands.exp2excel(folder.path());
        QCOMPARE(prompts.shown.size(), 1);
        const FileDialogSpec spec = prompts.shown[0].spec;
        QCOMPARE(spec.filter, QStringLiteral("Книга Excel|*.xlsx|Текст CSV|*.csv"));
        QCOMPARE(spec.defaultSuffix, QStringLiteral("xlsx"));
        QCOMPARE(spec.folder, folder.path());
        QVERIFY(spec.confirmOverwrite);
        QVERIFY(shown.isEmpty());
        QVERIFY(leftIn(folder.path(), {}).isEmpty());

        const QString book = folder.filePath(QStringLiteral("отчет.xlsx"));
        const QString csv = folder.filePath(QStringLiteral("отчет.csv"));
        prompts.push(book);
        commands.exp2excel(folder.path());
        prompts.push(csv);
        commands.exp2excel(folder.path());
        QCOMPARE(shown, QStringList({book, csv}));
        QCOMPARE(Workbook::read(book).text(QStringLiteral("A5")), QStringLiteral("3"));
        QVERIFY(readAll(csv).contains("\r\n3;09.03.2012;"));

        QVERIFY(writeAll(folder.filePath(QStringLiteral(".~lock.отчет.xlsx#")), "lock"));
        prompts.clear();
        prompts.push(book);
        commands.exp2excel(folder.path());
        QCOMPARE(prompts.shown.size(), 2);
        QCOMPARE(prompts.shown[1].caption, applicationTitle());
        QVERIFY(prompts.shown[1].text.startsWith(QStringLiteral("Cannot create file")));
        QCOMPARE(shown.size(), 2);

        // Without an open file nothing is asked.
        open = false;
        prompts.clear();
        commands.exp2excel(folder.path());
        QVERIFY(prompts.shown.isEmpty());
        QVERIFY(prompts.exhausted());
    }

    void commandLine()
    {
        auto t = test::reportTable(path(QStringLiteral("cli.db")), test::numberedRows(15));
        t->close();
        const QString cli = test::builtProgram(QStringLiteral("teskar7-cli"));
        const auto run = [&](const QStringList& arguments, QString& output) {
            QProcess process;
            process.start(cli, arguments);
            process.waitForFinished(30000);
            output =
                QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
            return process.exitCode();
        };
        QString output;
        const QString file = path(QStringLiteral("cli.xlsx"));
        QCOMPARE(run({QStringLiteral("export"), QStringLiteral("--sort"), QStringLiteral("N"),
                      QStringLiteral("--descending"), path(QStringLiteral("cli.db")), file},
                     output),
                 0);
        QVERIFY2(output.contains(QStringLiteral("Страниц: 2")), qPrintable(output));
        QCOMPARE(Workbook::read(file).text(QStringLiteral("A3")), QStringLiteral("15"));
        QVERIFY(!QFile::exists(path(QStringLiteral("cli.mdx"))));

        const QString csv = path(QStringLiteral("cli.csv"));
        QCOMPARE(run({QStringLiteral("export"), path(QStringLiteral("cli.db")), csv}, output), 0);
        QCOMPARE(readAll(csv).count('\n'), 16);

        QCOMPARE(
            run({QStringLiteral("export"), path(QStringLiteral("cli.db")), dir.path()}, output), 1);
        QVERIFY2(output.contains(QStringLiteral("Cannot create file")), qPrintable(output));
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
