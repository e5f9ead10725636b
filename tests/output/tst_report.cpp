#include "common/error.h"
#include "data/dbf/table.h"
#include "data/measurement.h"
#include "output/report/page_painter.h"
#include "output/report/report_engine.h"
#include "output_ui/preview_window.h"
#include "output_ui/report_commands.h"
#include "tests/output/pdf_printers.h"
#include "tests/output/report_fixture.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_env.h"

#include <QFile>
#include <QLocale>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace t7;
using report::PreparedPage;
using report::PreparedReport;

namespace {

// The texts on a page, top to bottom, left to right, one string per object.
QStringList texts(const PreparedPage& page)
{
    std::vector<const report::PreparedObject*> objects;
    for (const auto& object : page.objects)
        objects.push_back(&object);
    std::stable_sort(objects.begin(), objects.end(), [](const auto* a, const auto* b) {
        return a->y != b->y ? a->y < b->y : a->x < b->x;
    });
    QStringList list;
    for (const auto* object : objects)
        list.append(page.lines(*object).join(QLatin1Char(' ')));
    return list;
}

// The value cells of the data rows on a page: objects below the headings with a frame.
QList<QStringList> rowsOf(const PreparedPage& page)
{
    QMap<double, QStringList> rows;
    double headingTop = -1;
    for (const auto& object : page.objects)
        if (object.style->frame && page.text(object) == QLatin1String("N"))
            headingTop = object.y;
    for (const auto& object : page.objects)
        if (object.style->frame && object.y > headingTop)
            rows[object.y].append(page.lines(object).join(QLatin1Char(' ')));
    return rows.values();
}

QString run(const QString& program, const QStringList& arguments, int* code = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    if (code)
        *code = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

class CancelAt : public report::ProgressSink
{
public:
    bool progress(int pass, qint64, qint64) override { return pass < 2; }
};

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    test::ScriptedPrompts prompts;

    std::unique_ptr<dbf::Table> table(const QString& name, const QList<test::ReportRow>& rows)
    {
        return test::reportTable(dir.filePath(name), rows);
    }

    static QList<test::ReportRow> numbered(int count) { return test::numberedRows(count); }

    static PreparedReport prepared(dbf::Table& t)
    {
        PreparedReport pages;
        if (!report::prepareReport(report::measurementReport(), t, pages))
            qFatal("preparation cancelled");
        return pages;
    }

private slots:
    void initTestCase() { test::isolateSettings(dir); }
    void init() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void emptyTableGivesOnePage()
    {
        auto t = table(QStringLiteral("empty.db"), {});
        const PreparedReport pages = prepared(*t);
        QCOMPARE(pages.pages.size(), size_t(1));
        const QStringList shown = texts(pages.pages[0]);
        QCOMPARE(shown.first(), QStringLiteral("ТЕСКАР-7"));
        QCOMPARE(shown.last(), QStringLiteral("Стр. 1 из 1"));
        QCOMPARE(shown.size(), 1 + 11 + 1);
        QVERIFY(shown.contains(QStringLiteral("Сила Fo, H"))); // a Latin H
        QCOMPARE(pages.pages[0].objects[0].style->font.pointSize, 14.0);
        QVERIFY(pages.pages[0].objects[0].style->font.bold);
    }

    // One-line rows: 12 on the first page (below the title), 14 on every further one, the
    // headings on each and the true page count in every footer.
    void pagesAndTheirRows()
    {
        auto t = table(QStringLiteral("thirty.db"), numbered(30));
        const PreparedReport pages = prepared(*t);
        QCOMPARE(pages.pages.size(), size_t(3));
        const QList<int> expected{12, 14, 4};
        int n = 1;
        for (int p = 0; p < 3; ++p) {
            const PreparedPage& page = pages.pages[size_t(p)];
            const QList<QStringList> rows = rowsOf(page);
            QCOMPARE(rows.size(), expected[p]);
            for (const QStringList& row : rows)
                QCOMPARE(row.first(), QString::number(n++));
            const QStringList shown = texts(page);
            QVERIFY(shown.contains(QStringLiteral("Примечание")));
            QCOMPARE(shown.last(), QStringLiteral("Стр. %1 из 3").arg(p + 1));
            QCOMPARE(shown.contains(QStringLiteral("ТЕСКАР-7")), p == 0);
        }
        QCOMPARE(pages.pageWidth, 2970 / 254.0 * report::kUnitsPerInch);
        // The frames of the columns join: each value cell starts where the last one ended.
        const QList<QStringList> first = rowsOf(pages.pages[0]);
        QCOMPARE(first[0].size(), 11);
    }

    void longCommentMakesItsRowTaller()
    {
        const QString comment = QStringLiteral("ШШШШШШШШШ ").repeated(5).trimmed();
        QCOMPARE(comment.size(), 49);
        auto t = table(QStringLiteral("comment.db"),
                       {{1, "1", "1", "1", QString()}, {2, "2", "2", "2", comment + u'Ш'}});
        const PreparedReport pages = prepared(*t);
        std::vector<const report::PreparedObject*> second;
        for (const auto& object : pages.pages[0].objects)
            if (object.style->frame && object.y > 72 + 64 + 60 + 39)
                second.push_back(&object);
        QCOMPARE(second.size(), size_t(11));
        const float height = second[0]->height;
        QVERIFY2(height > 40, qPrintable(QString::number(height)));
        for (const auto* object : second)
            QCOMPARE(object->height, height); // every cell of the row alike
        QVERIFY(pages.pages[0].lines(*second.back()).size() >= 3);
    }

    void formats_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("printed");
        const int general = int(report::ValueFormat::General);
        const int whole = int(report::ValueFormat::WholeNumber);
        const int fixed = int(report::ValueFormat::Fixed0);
        QTest::newRow("0,0 general") << true << "0,0" << general << "0";
        QTest::newRow("12,345 general") << true << "12,345" << general << "12,345";
        QTest::newRow("12,7 pattern 0") << true << "12,7" << whole << "13";
        QTest::newRow("12,7 fixed") << true << "12,7" << fixed << "13";
        QTest::newRow("12,5 halves away") << true << "12,5" << whole << "13";
        QTest::newRow("-12,5 halves away") << true << "-12,5" << whole << "-13";
        QTest::newRow("12.5 not a number") << true << "12.5" << whole << "12.5";
        QTest::newRow("blank") << true << "   " << general << "";
        QTest::newRow("word") << true << "abc" << general << "abc";
        QTest::newRow("point locale") << false << "12.5" << general << "12,5";
        QTest::newRow("point locale comma") << false << "1,25" << whole << "1";
        QTest::newRow("text as it is") << true << "0,0" << int(report::ValueFormat::Text) << "0,0";
    }
    void formats()
    {
        QFETCH(bool, russian);
        QFETCH(QString, text);
        QFETCH(int, format);
        QFETCH(QString, printed);
        QLocale::setDefault(russian ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c());
        QCOMPARE(report::formatValue(text, report::ValueFormat(format)), printed);
    }

    void valuesOfARow()
    {
        auto t = table(QStringLiteral("values.db"),
                       {{1, "12,7", "12,7", "0,0", QString()}, {2, "12.5", "300", "12,345", "x"}});
        const QList<QStringList> rows = rowsOf(prepared(*t).pages[0]);
        QCOMPARE(rows[0], QStringList({"1", "09.03.2012", "10:00:00", "1000", "13", "13", "0", "",
                                       "", "", ""}));
        QCOMPARE(rows[1][4], QStringLiteral("12.5"));
        QCOMPARE(rows[1][6], QStringLiteral("12,345"));
        QCOMPARE(rows[1][10], QStringLiteral("x"));
    }

    void rowsInTheTablesOrder()
    {
        auto t = table(QStringLiteral("sorted.db"), numbered(5));
        t->addTag(sortTagName(), QStringLiteral("T_1"), true);
        t->selectTag(sortTagName());
        QList<QString> numbers;
        for (const QStringList& row : rowsOf(prepared(*t).pages[0]))
            numbers.append(row.first());
        QCOMPARE(numbers, QList<QString>({"5", "4", "3", "2", "1"}));
    }

    // The print commands through the printer seam: the PDF is read back as text.
    void printingAndTheLastPreparedPages()
    {
        if (!QFile::exists(QStringLiteral("/usr/bin/pdftotext")))
            QSKIP("pdftotext (poppler-utils) is not installed");
        auto t = table(QStringLiteral("print.db"), numbered(20));
        bool open = true;
        ReportCommands commands(nullptr, *t, open, prompts);
        commands.progressWindow = [] { return std::unique_ptr<report::ProgressSink>(); };
        const QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
        test::PdfPrinters printers(pdf);
        commands.setPrinters(printers);

        commands.N9Click();
        QCOMPARE(printers.printed, 1);
        QString text = run(QStringLiteral("/usr/bin/pdftotext"),
                           {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.contains(QStringLiteral("ТЕСКАР-7")));
        QVERIFY(text.contains(QStringLiteral("Стр. 2 из 2")));
        QVERIFY(text.contains(QStringLiteral("Примечание")));
        QVERIFY(text.contains(QStringLiteral("2,5")));
        const QString info = run(QStringLiteral("/usr/bin/pdfinfo"), {pdf});
        QVERIFY2(info.contains(QStringLiteral("842 x 595")), qPrintable(info));
        QCOMPARE(pdfFonts(pdf).count(QStringLiteral(" yes ")) >= 2, true);

        // The popup's Печать prints the pages as they were, after the table changed.
        t->first();
        t->edit();
        t->setText(u"P_1", QStringLiteral("77,5"));
        t->post();
        commands.N22Click();
        text = run(QStringLiteral("/usr/bin/pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(!text.contains(QStringLiteral("77,5")));
        commands.N9Click();
        text = run(QStringLiteral("/usr/bin/pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(text.contains(QStringLiteral("77,5")));

        // Without a printer the commands prepare and go no further; without a file, nothing.
        printers.present = false;
        commands.N9Click();
        QCOMPARE(printers.printed, 3);
        open = false;
        commands.N22Click();
        commands.N8Click();
        QCOMPARE(printers.printed, 3);
        QVERIFY(prompts.shown.isEmpty());
    }

    void cancelledPreparationKeepsNoPages()
    {
        auto t = table(QStringLiteral("cancel.db"), numbered(3));
        bool open = true;
        ReportCommands commands(nullptr, *t, open, prompts);
        test::PdfPrinters printers(dir.filePath(QStringLiteral("cancel.pdf")));
        commands.setPrinters(printers);
        commands.progressWindow = [] { return std::make_unique<CancelAt>(); };
        commands.N9Click();
        QVERIFY(!commands.lastPrepared());
        QCOMPARE(printers.printed, 0);
        commands.N22Click(); // prepares first, and is cancelled again
        QCOMPARE(printers.printed, 0);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("cancel.pdf"))));
    }

    // A large report opens at once: the preview draws only the pages in sight.
    void previewDrawsPagesOnDemand()
    {
        auto t = table(QStringLiteral("big.db"), numbered(400));
        const PreparedReport pages = prepared(*t);
        QCOMPARE(pages.pages.size(), size_t(1 + (400 - 12 + 13) / 14));
        PreviewWindow preview;
        preview.setReport(&pages, [] {});
        QCOMPARE(preview.windowTitle(), QStringLiteral("Предварительный просмотр"));
        QCOMPARE(preview.findChildren<QPushButton*>().size(), 3);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QTRY_VERIFY(preview.pagesView()->pagesDrawn() > 0);
        QVERIFY(preview.pagesView()->pagesDrawn() <= 3);
        const double before = preview.zoom();
        preview.ZoomButton->click();
        QVERIFY(preview.zoom() != before);
    }

    void commandLineReport()
    {
        auto t = table(QStringLiteral("cli.db"), numbered(15));
        t->close();
        const QString cli = test::builtProgram(QStringLiteral("teskar7-cli"));
        const QString pdf = dir.filePath(QStringLiteral("cli.pdf"));
        int code = -1;
        QString output =
            run(cli,
                {QStringLiteral("report"), QStringLiteral("--sort"), QStringLiteral("N"),
                 QStringLiteral("--descending"), dir.filePath(QStringLiteral("cli.db")), pdf},
                &code);
        QCOMPARE(code, 0);
        QVERIFY2(output.contains(QStringLiteral("Страниц: 2")), qPrintable(output));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("cli.mdx")))); // nothing beside it
        if (QFile::exists(QStringLiteral("/usr/bin/pdftotext"))) {
            const QString text = run(QStringLiteral("/usr/bin/pdftotext"),
                                     {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
            QVERIFY(text.indexOf(QStringLiteral(" 15 ")) < text.indexOf(QStringLiteral(" 14 ")));
        }
        QFile damaged(dir.filePath(QStringLiteral("damaged.db")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("not a table");
        damaged.close();
        output = run(cli, {QStringLiteral("report"), damaged.fileName(), pdf}, &code);
        QCOMPARE(code, 1);
        QVERIFY(output.contains(QStringLiteral("База данных повреждена !")));
    }

private:
    static QString pdfFonts(const QString& pdf)
    {
        return run(QStringLiteral("/usr/bin/pdffonts"), {pdf});
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
