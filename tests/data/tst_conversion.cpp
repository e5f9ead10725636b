#include "common/error.h"
#include "data/conversion.h"
#include "data/measurement.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace t7;

namespace {

struct Rec
{
    quint16 st = 1, t1 = 100, t2 = 200, p1 = 1000, p2 = 450, t3 = 100, f = 10;
    quint8 sec = 0, min = 0, hour = 12, day = 1, month = 1, year = 20;
};

// A 65,536-byte device image holding n (which may differ from the records given).
QByteArray image(const QList<Rec>& records, int n = -1)
{
    QByteArray bytes(65536, '\0');
    if (n < 0)
        n = int(records.size());
    bytes[0] = char(n & 0xFF);
    bytes[1] = char(n >> 8);
    for (qsizetype i = 0; i < records.size(); ++i) {
        char* at = bytes.data() + 4 + 22 * i;
        const Rec& r = records[i];
        int k = 0;
        for (quint16 v : {r.st, r.t1, r.t2, r.p1, r.p2, r.t3, r.f}) {
            at[k++] = char(v & 0xFF);
            at[k++] = char(v >> 8);
        }
        for (quint8 b : {r.sec, r.min, r.hour, r.day, r.month, r.year})
            at[k++] = char(b);
    }
    return bytes;
}

Rec at(quint8 day, quint8 hour, quint8 min, quint8 sec)
{
    Rec r;
    r.day = day;
    r.hour = hour;
    r.min = min;
    r.sec = sec;
    return r;
}

} // namespace

class TestConversion : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int fileNo = 0;

    std::unique_ptr<dbf::Table> freshTable()
    {
        auto table = std::make_unique<dbf::Table>();
        const QString path = dir.filePath(QStringLiteral("c%1.db").arg(++fileNo));
        createMeasurementFile(path, QDate(2012, 3, 9));
        table->setPath(path);
        table->open(measurementRequirements());
        return table;
    }

    QList<int> numbers(dbf::Table& table)
    {
        QList<int> list;
        for (table.first(); !table.eof(); table.next())
            list.append(table.integer(u"N").value_or(-1));
        return list;
    }

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::c()); }

    void exampleRecord()
    {
        QByteArray bytes(65536, '\0');
        bytes[0] = 1;
        const QByteArray record("\x10\x27\x03\x00\x2C\x01\xD2\x04\xC7\x01\x64\x00\x05\x00"
                                "\x07\x05\x17\x09\x03\x0C",
                                20);
        bytes.replace(4, record.size(), record);
        auto table = freshTable();
        quint16 count = 99;
        QCOMPARE(flash2pvk01(*table, bytes, false, count), 1);
        QCOMPARE(count, 1);
        QCOMPARE(table->integer(u"N"), std::optional<int>(1));
        QCOMPARE(table->text(u"MODE"), QStringLiteral("Наблюдения"));
        QCOMPARE(table->text(u"ST"), QStringLiteral("10000"));
        QCOMPARE(table->text(u"T_1"), QStringLiteral("0,0"));
        QCOMPARE(table->text(u"T_2"), QStringLiteral("300"));
        QCOMPARE(table->text(u"P_1"), QStringLiteral("1,234"));
        QCOMPARE(table->text(u"P_2"), QStringLiteral("45,5"));
        QCOMPARE(table->text(u"T_3"), QStringLiteral("10"));
        QCOMPARE(table->text(u"F"), QStringLiteral("5"));
        QCOMPARE(table->text(u"TIME"), QStringLiteral("23:05:07"));
        QCOMPARE(table->text(u"DATE"), QStringLiteral("09.03.2012"));
        QVERIFY(table->isNull(u"COMMENT"));
        const QString path = table->path();
        table->close();

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray row = file.readAll().mid(577, 196);
        const QByteArray expected = QByteArray(" ") + "   1" +
                                    "\xCD\xE0\xE1\xEB\xFE\xE4\xE5\xED\xE8\xFF " + "    " +
                                    "09.03.2012" + "23:05:07" + "0,0   " + "300   " + "10        " +
                                    QByteArray(50, ' ') + "1,234 " + "45,5  " + "5     " + "    " +
                                    "10000" + QByteArray(45, ' ') + QByteArray(14, ' ');
        QCOMPARE(row, expected);
    }

    void valueTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ST 0") << valueText(0) << "0,0";
        QTest::newRow("ST 3") << valueText(3) << "3";
        QTest::newRow("T_1 3") << measuredText(3) << "0,0";
        QTest::newRow("T_1 5") << measuredText(5) << "5";
        QTest::newRow("T_1 -5") << measuredText(0xFFFB) << "65531";
        QTest::newRow("T_1 -4") << measuredText(0xFFFC) << "0,0";
        QTest::newRow("65530") << measuredText(65530) << "65530";
        QTest::newRow("65533") << measuredText(65533) << "0,0";
        QTest::newRow("P_1 1234") << scaledText(1234, 1000) << "1,234";
        QTest::newRow("P_1 1500") << scaledText(1500, 1000) << "1,5";
        QTest::newRow("P_1 2000") << scaledText(2000, 1000) << "2";
        QTest::newRow("P_1 7") << scaledText(7, 1000) << "0,007";
        QTest::newRow("P_1 5") << scaledText(5, 1000) << "0,005";
        QTest::newRow("P_1 4") << scaledText(4, 1000) << "0,0";
        // 65535 reads as -1 and so as zero; 65531 (-5) is the largest value written.
        QTest::newRow("P_1 65535") << scaledText(65535, 1000) << "0,0";
        QTest::newRow("P_1 65531") << scaledText(65531, 1000) << "65,531";
        QTest::newRow("P_2 455") << scaledText(455, 10) << "45,5";
        QTest::newRow("P_2 450") << scaledText(450, 10) << "45";
        QTest::newRow("T_3 65531") << scaledText(65531, 10) << "6553,1";
        QTest::newRow("time") << timeText(23, 5, 7) << "23:05:07";
        QTest::newRow("time fallback") << timeText(24, 60, 60) << "00:00:00";
        QTest::newRow("date") << dateText(9, 3, 12) << "09.03.2012";
        QTest::newRow("date fallback") << dateText(0, 13, 0) << "01.01.2000";
        QTest::newRow("date fallback high") << dateText(32, 0, 255) << "01.01.2255";
        QTest::newRow("31.02 unchecked") << dateText(31, 2, 12) << "31.02.2012";
    }
    void valueTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    void pointLocale()
    {
        QLocale::setDefault(QLocale::c());
        QCOMPARE(scaledText(1234, 1000), QStringLiteral("1.234"));
        QCOMPARE(scaledText(0, 1000), QStringLiteral("0,0"));
    }

    void emptyArchiveAndClosedTable()
    {
        auto table = freshTable();
        quint16 count = 7;
        QCOMPARE(flash2pvk01(*table, image({}), false, count), 0);
        QCOMPARE(count, 0);
        QCOMPARE(table->visibleCount(), 0);
        dbf::Table closed;
        count = 7;
        QCOMPARE(flash2pvk01(closed, image({Rec{}}), false, count), 0);
        QCOMPARE(count, 7);
    }

    void appendSkipsWhatIsStored()
    {
        auto table = freshTable();
        quint16 count = 0;
        QList<Rec> first;
        for (int i = 0; i < 5; ++i)
            first.append(at(1, 10, i, 0));
        QCOMPARE(flash2pvk01(*table, image(first), true, count), 5); // no rows yet: all
        QCOMPARE(numbers(*table), QList<int>({1, 2, 3, 4, 5}));

        QList<Rec> later = first;
        later.append(at(1, 10, 4, 1)); // a second later
        later.append(at(1, 9, 0, 0));  // older, after a newer one: still appended
        later.append(at(2, 0, 0, 0));
        QCOMPARE(flash2pvk01(*table, image(later), true, count), 3);
        QCOMPARE(count, 8);
        QCOMPARE(numbers(*table), QList<int>({1, 2, 3, 4, 5, 6, 7, 8}));
        // The same archive again: its newest record equals the last row.
        QCOMPARE(flash2pvk01(*table, image(later), true, count), 0);
    }

    void appendRefusesImpossibleDates()
    {
        auto table = freshTable();
        quint16 count = 0;
        flash2pvk01(*table, image({at(1, 10, 0, 0)}), false, count);
        Rec impossible = at(31, 10, 0, 0);
        impossible.month = 2;
        try {
            flash2pvk01(*table, image({impossible, at(5, 1, 1, 1)}), true, count);
            QFAIL("31.02 must not pass");
        } catch (const Error& e) {
            QCOMPARE(e.text(),
                     QStringLiteral("'31.02.2020 10:00:00' is not a valid date and time"));
        }
        QCOMPARE(table->visibleCount(), 1);
        // Fresh mode stores the text as it is.
        QCOMPARE(flash2pvk01(*table, image({impossible}), false, count), 1);
        QCOMPARE(table->text(u"DATE"), QStringLiteral("31.02.2020"));
    }

    void recordsBeyondTheImage()
    {
        QList<Rec> many(kMaxArchiveRecords, Rec{});
        auto full = freshTable();
        quint16 count = 0;
        QCOMPARE(flash2pvk01(*full, image(many), false, count), 2978);
        QCOMPARE(full->visibleCount(), 2978);
        QCOMPARE(full->integer(u"N"), std::optional<int>(2978));

        auto over = freshTable();
        try {
            flash2pvk01(*over, image(many, 2979), false, count);
            QFAIL("record 2979 lies beyond the image");
        } catch (const Error& e) {
            QCOMPARE(e.text(), QStringLiteral("Range check error"));
        }
        QCOMPARE(over->visibleCount(), 2978);
        QCOMPARE(count, 2979);
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
