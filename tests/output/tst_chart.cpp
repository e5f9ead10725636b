#include "common/error.h"
#include "data/dbf/table.h"
#include "data/measurement.h"
#include "output/chart/chart_data.h"
#include "output_ui/graf.h"
#include "output_ui/param_graf.h"
#include "tests/output/pdf_printers.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_env.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineSeries>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QValueAxis>

using namespace t7;
using chart::ChartData;

namespace {

struct ChartRow
{
    int n;
    QString t1, p1, t2, p2, f;
};

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestChart : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    test::ScriptedPrompts prompts;

    std::unique_ptr<dbf::Table> table(const QList<ChartRow>& rows)
    {
        const QString path = dir.filePath(QStringLiteral("chart.db"));
        QFile::remove(path);
        createMeasurementFile(path, QDate(2012, 3, 9));
        auto t = std::make_unique<dbf::Table>();
        t->setPath(path);
        t->open(measurementRequirements());
        for (const ChartRow& row : rows) {
            t->append();
            t->setInteger(u"N", row.n);
            t->setText(u"T_1", row.t1);
            t->setText(u"P_1", row.p1);
            t->setText(u"T_2", row.t2);
            t->setText(u"P_2", row.p2);
            t->setText(u"F", row.f);
            t->post();
        }
        return t;
    }

    static QList<ChartRow> numbered(int count)
    {
        QList<ChartRow> rows;
        for (int n = 1; n <= count; ++n)
            rows.append({n, QString::number(10 * n), QString(), QString::number(n), QString(),
                         QString::number(n + 100)});
        return rows;
    }

    static QList<QPointF> points(const std::vector<chart::ChartPoint>& points)
    {
        QList<QPointF> list;
        for (const auto& point : points)
            list.append(point.at);
        return list;
    }

private slots:
    void initTestCase() { test::isolateSettings(dir); }
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        prompts.clear();
    }

    // The list runs from the first row's N to the last row's; the table stays on its last
    // row. Sorted the other way round the list is empty, and "Построить" then cancels.
    void selectionList()
    {
        auto t = table(numbered(10));
        TForm4 form(*t, prompts);
        QVERIFY(!form.CheckBox6->isChecked() && !form.CheckBox7->isChecked());
        QCOMPARE(form.CheckBox7->text(), QStringLiteral("T, °C"));
        QVERIFY(form.CheckBox6->isHidden());
        form.FormShow();
        QCOMPARE(form.ComboBox1->count(), 10);
        QCOMPARE(form.ComboBox1->itemText(9), QStringLiteral("10"));
        QCOMPARE(form.ComboBox1->currentText(), QStringLiteral("1"));
        QCOMPARE(t->position(), qint64(9));
        form.ComboBox1->setEditText(QStringLiteral("4"));
        form.Button1Click();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.SelectedSeries, QStringLiteral("4"));

        t->addTag(sortTagName(), QStringLiteral("N"), true);
        t->selectTag(sortTagName());
        form.FormShow();
        QCOMPARE(form.ComboBox1->count(), 0);
        QCOMPARE(form.ComboBox1->currentText(), QString());
        form.Button1Click();
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QVERIFY(prompts.shown.isEmpty());
    }

    // Rows with F: one point in each series at X = F; T_1 and T_2 fall back to P_1, P_2.
    // Afterwards the filter is off and the table on its first row.
    void rowsWithF()
    {
        auto t = table({{4, "12,5", "1", "", "7,5", "20"},
                        {3, "99", "", "99", "", "99"},
                        {4, "", "3,25", "8", "", "10"}});
        t->last();
        const ChartData data = chart::buildChart(*t, QStringLiteral("4"));
        QCOMPARE(data.rows, qint64(2));
        QCOMPARE(points(data.left), QList<QPointF>({{10, 3.25}, {20, 12.5}})); // by X
        QCOMPARE(points(data.right), QList<QPointF>({{10, 8}, {20, 7.5}}));
        QCOMPARE(data.left[0].color, QColor(Qt::red));
        QCOMPARE(data.right[0].color, QColor(Qt::green));
        QCOMPARE(data.title, QStringLiteral("Серия №4"));
        QCOMPARE(data.leftTitle, QStringLiteral("P,кН."));
        QCOMPARE(data.rightTitle, QStringLiteral("f,мм."));
        QCOMPARE(data.bottomTitle, QStringLiteral("t,сек."));
        QVERIFY(data.rightAxisLine);
        QCOMPARE(data.leftMax, 13.5);
        QCOMPARE(data.rightMax, 9.0);
        QCOMPARE(data.bottomMax, 21.0);
        QVERIFY(!t->filtered());
        QCOMPARE(t->visibleCount(), qint64(3));
        QCOMPARE(t->position(), qint64(0));
        QCOMPARE(t->filter(), QStringLiteral("N=4"));
    }

    // Without F: Series1 gets (T_2 or P_2, T_1 or P_1) in green, Series2 nothing.
    void rowsWithoutF()
    {
        auto t = table({{7, "", "2,5", "", "4", ""}});
        const ChartData data = chart::buildChart(*t, QStringLiteral("7"));
        QCOMPARE(points(data.left), QList<QPointF>({{4, 2.5}}));
        QCOMPARE(data.left[0].color, QColor(Qt::green));
        QVERIFY(data.right.empty());
        QVERIFY(!data.rightAxisLine);
        QCOMPARE(data.rightTitle, QString());
        QCOMPARE(data.bottomTitle, QStringLiteral("f,мм."));
        QCOMPARE(data.title, QStringLiteral("Серия №7"));
        QCOMPARE(data.rightMax, 1.0);
    }

    // Steps: (largest − smallest) / rows to the nearest whole number, halves to even.
    void steps_data()
    {
        QTest::addColumn<QString>("high");
        QTest::addColumn<double>("step");
        QTest::newRow("2.5 → 2") << "5" << 2.0;
        QTest::newRow("3.5 → 4") << "7" << 4.0;
        QTest::newRow("4.5 → 4") << "9" << 4.0;
        QTest::newRow("0.4 → 0, the chart chooses") << "0,8" << 0.0;
    }
    void steps()
    {
        QFETCH(QString, high);
        QFETCH(double, step);
        auto t = table({{5, "0", "", "0", "", "0"}, {5, high, "", "0", "", high}});
        const ChartData data = chart::buildChart(*t, QStringLiteral("5"));
        QCOMPARE(data.leftStep, step);
        QCOMPARE(data.bottomStep, step);
    }

    // No row passes (a number no row carries, a text that is no whole number): an empty
    // chart with axes 0…1 and no step.
    void noRowPasses_data()
    {
        QTest::addColumn<QString>("series");
        QTest::newRow("a number no row has") << "99";
        QTest::newRow("not a whole number") << "abc";
        QTest::newRow("a fraction") << "1,5";
    }
    void noRowPasses()
    {
        QFETCH(QString, series);
        auto t = table(numbered(3));
        const ChartData data = chart::buildChart(*t, series);
        QCOMPARE(data.rows, qint64(0));
        QVERIFY(data.left.empty() && data.right.empty());
        QCOMPARE(data.leftMax, 1.0);
        QCOMPARE(data.bottomMax, 1.0);
        QCOMPARE(data.leftStep, 0.0);
        QCOMPARE(data.title, QStringLiteral("Серия №") + series);
        QCOMPARE(t->visibleCount(), qint64(3));
    }

    // A value that is no number stops the build with the conversion's words; the table is
    // left as after any build.
    void valueThatIsNoNumber()
    {
        auto t = table({{1, "1", "", "1", "", "1"}, {2, "x1", "", "1", "", "5"}});
        t->last();
        try {
            chart::buildChart(*t, QStringLiteral("2"));
            QFAIL("the chart was built");
        } catch (const Error& e) {
            QCOMPARE(e.text(), QStringLiteral("'x1' is not a valid floating point value"));
        }
        QVERIFY(!t->filtered());
        QCOMPARE(t->visibleCount(), qint64(2));
        QCOMPARE(t->position(), qint64(0));
    }

    // The window: the series and axes as built, the markers' check box, and "Печать" on the
    // current printer without a dialog, landscape.
    void chartWindow()
    {
        auto t = table({{2, "10", "", "4", "", "3"}, {2, "30", "", "6", "", "1"}});
        TForm4 selection(*t, prompts);
        TForm3 window(*t, prompts);
        window.setSelection(selection);
        const QString pdf = dir.filePath(QStringLiteral("chart.pdf"));
        test::PdfPrinters printers(pdf);
        window.setPrinters(printers);
        QVERIFY(window.windowTitle().isEmpty());
        QCOMPARE(window.size(), QSize(690, 448));
        QVERIFY(!window.CheckBox1->isChecked());
        QVERIFY(!window.Series1->pointsVisible());

        selection.SelectedSeries = QStringLiteral("2");
        bool checked = false;
        QTimer::singleShot(0, &window, [&] {
            checked = true;
            QCOMPARE(window.Series1->points(), QList<QPointF>({{1, 30}, {3, 10}}));
            QCOMPARE(window.Series2->points(), QList<QPointF>({{1, 6}, {3, 4}}));
            QCOMPARE(window.LeftAxis->max(), 31.0);
            QCOMPARE(window.BottomAxis->max(), 4.0);
            QCOMPARE(window.RightAxis->max(), 7.0);
            QCOMPARE(window.LeftAxis->titleText(), QStringLiteral("P,кН."));
            QVERIFY(window.RightAxis->isLineVisible());
            window.CheckBox1->click();
            QVERIFY(window.Series1->pointsVisible() && window.Series2->pointsVisible());
            window.Button1->click();
            window.reject();
        });
        QCOMPARE(window.showChart(), int(QDialog::Rejected));
        QVERIFY(checked);
        QCOMPARE(printers.printed, 1);
        if (QFile::exists(QStringLiteral("/usr/bin/pdfinfo"))) {
            const QString info = run(QStringLiteral("/usr/bin/pdfinfo"), {pdf});
            QVERIFY2(info.contains(QStringLiteral("Page size:")) &&
                         info.contains(QStringLiteral("842 x 595")),
                     qPrintable(info));
            QVERIFY(run(QStringLiteral("/usr/bin/pdftotext"), {pdf, QStringLiteral("-")})
                        .contains(QStringLiteral("Серия №2")));
        }
        // Without a printer "Печать" does nothing.
        printers.present = false;
        window.Button1->click();
        QCOMPARE(printers.printed, 1);
        QVERIFY(prompts.shown.isEmpty());
    }
};

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
