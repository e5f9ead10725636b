#include "common/error.h"
#include "data/number_text.h"

#include <QLocale>
#include <QTest>

using namespace t7;

// How numbers are written and read as the operator sees them.
class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void averages_data()
    {
        QTest::addColumn<double>("average");
        QTest::addColumn<double>("rounded");
        QTest::newRow("12.25") << 12.25 << 12.2;
        QTest::newRow("0.75") << 0.75 << 0.7;
        QTest::newRow("107.5") << 107.5 << 107.5;
        QTest::newRow("3.36") << 3.36 << 3.4;
        QTest::newRow("100") << 100.0 << 100.0;
    }
    void averages()
    {
        QFETCH(double, average);
        QFETCH(double, rounded);
        QCOMPARE(roundAverage(average), rounded);
    }

    void generalForm()
    {
        QCOMPARE(formatGeneral(107.5), QStringLiteral("107,5"));
        QCOMPARE(formatGeneral(0.1 + 0.2), QStringLiteral("0,3"));
        QCOMPARE(formatGeneral(12.0), QStringLiteral("12"));
        QCOMPARE(formatGeneral(1.23456789012345678), QStringLiteral("1,23456789012346"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(formatGeneral(107.5), QStringLiteral("107.5"));
    }

    void reading()
    {
        const NumberReader reader;
        QCOMPARE(reader.read(QStringLiteral("1,5")), 1.5);
        QCOMPARE(reader.readStored("0,0   ", [](QByteArrayView) { return QString(); }), 0.0);
        QCOMPARE(reader.readStored("1,5", [](QByteArrayView v) { return QString::fromLatin1(v); }),
                 1.5);
        try {
            reader.read(QStringLiteral("abc"));
            QFAIL("not a number");
        } catch (const Error& e) {
            QCOMPARE(e.text(), QStringLiteral("'abc' is not a valid floating point value"));
        }
        QLocale::setDefault(QLocale::c());
        const NumberReader point;
        QVERIFY_THROWS_EXCEPTION(Error, point.read(QStringLiteral("0,0")));
    }

    // The locale first, then a comma as the decimal separator; group separators never.
    void localeThenComma_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value"); // NaN: not a number
        const double no = qQNaN();
        QTest::newRow("ru comma") << true << "12,345" << 12.345;
        QTest::newRow("ru point") << true << "12.5" << no;
        QTest::newRow("ru zero") << true << "0,0" << 0.0;
        QTest::newRow("ru word") << true << "abc" << no;
        QTest::newRow("ru blank") << true << "" << no;
        QTest::newRow("C point") << false << "12.5" << 12.5;
        QTest::newRow("C comma") << false << "12,345" << 12.345;
        QTest::newRow("C both") << false << "1.234,5" << no;
    }
    void localeThenComma()
    {
        QFETCH(bool, russian);
        QFETCH(QString, text);
        QFETCH(double, value);
        QLocale::setDefault(russian ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c());
        const std::optional<double> read = NumberReader().readLocaleThenComma(text);
        if (qIsNaN(value))
            QVERIFY2(!read, qPrintable(text));
        else
            QCOMPARE(read.value_or(-1), value);
    }
};

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_number_text.moc"
