#include "common/error.h"
#include "ui/grid_layout.h"
#include "ui/selection_stats.h"

#include <QLocale>
#include <QTest>

using namespace t7;

class TestGridLayout : public QObject
{
    Q_OBJECT

    static TgpColumn column(const char* field, int width)
    {
        TgpColumn c;
        c.FieldName = QLatin1String(field);
        c.Width = width;
        return c;
    }

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void layoutTextIsExact()
    {
        TgpColumn n = column("N", 23);
        n.Alignment = talCenter;
        TgpColumn time = column("TIME", 53);
        time.LayoutIndex = 1;
        time.Alignment = talCenter;
        TgpColumn comment = column("COMMENT", 122);
        comment.Alignment = talLeftJustify;
        TgpColumn sorted = column("T_1", 45);
        sorted.TitleState = tsSortedUp;
        sorted.Color = 0x00FFFF;
        sorted.SortOrder = 0;
        TgpColumn odd = column("O'K", 45);
        odd.Color = 0x123456;
        const QString expected = QStringLiteral("object TUniDataStorage\r\n"
                                                "  Data = <\r\n"
                                                "    item\r\n"
                                                "      FieldName = 'N'\r\n"
                                                "      Width = 23\r\n"
                                                "      Alignment = talCenter\r\n"
                                                "    end\r\n"
                                                "    item\r\n"
                                                "      FieldName = 'TIME'\r\n"
                                                "      Width = 53\r\n"
                                                "      LayoutIndex = 1\r\n"
                                                "      Alignment = talCenter\r\n"
                                                "    end\r\n"
                                                "    item\r\n"
                                                "      FieldName = 'COMMENT'\r\n"
                                                "      Width = 122\r\n"
                                                "      Alignment = talLeftJustify\r\n"
                                                "    end\r\n"
                                                "    item\r\n"
                                                "      FieldName = 'T_1'\r\n"
                                                "      TitleState = tsSortedUp\r\n"
                                                "      Color = clYellow\r\n"
                                                "      SortOrder = 0\r\n"
                                                "    end\r\n"
                                                "    item\r\n"
                                                "      FieldName = 'O''K'\r\n"
                                                "      Color = 1193046\r\n"
                                                "    end>\r\n"
                                                "end\r\n");
        const std::vector<ColumnLayout> columns{n, time, comment, sorted, odd};
        QCOMPARE(writeLayoutText(columns), expected);

        // Read back, with other line breaks and the properties in another order.
        QString text = expected;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QStringLiteral("      Width = 53\n      LayoutIndex = 1"),
                     QStringLiteral("      LayoutIndex = 1\n      Width = 53"));
        const std::vector<ColumnLayout> read = readLayoutText(text);
        QCOMPARE(read.size(), size_t(5));
        QCOMPARE(read[1].LayoutIndex, 1);
        QCOMPARE(read[1].Width, 53);
        QCOMPARE(read[3].TitleState, tsSortedUp);
        QCOMPARE(read[3].Color, 0x00FFFFu);
        QCOMPARE(read[3].SortOrder, 0);
        QCOMPARE(read[4].FieldName, QStringLiteral("O'K"));
        QCOMPARE(read[4].Color, 0x123456u);
        QCOMPARE(read[0].Color, clNone);
        QCOMPARE(writeLayoutText(read), expected);
    }

    void damagedTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("no object") << QStringLiteral("Data = <\r\n");
        QTest::newRow("unknown property")
            << QStringLiteral("object TUniDataStorage\n  Data = <\n    item\n      Font = 3\n"
                              "    end>\nend\n");
        QTest::newRow("bad width")
            << QStringLiteral("object TUniDataStorage\n  Data = <\n    item\n      Width = wide\n"
                              "    end>\nend\n");
        QTest::newRow("unterminated")
            << QStringLiteral("object TUniDataStorage\n  Data = <\n    item\n      Width = 5\n");
    }
    void damagedTexts()
    {
        QFETCH(QString, text);
        QVERIFY_THROWS_EXCEPTION(Error, readLayoutText(text));
    }

    void footers()
    {
        const NumberReader reader;
        const std::vector<double> values{reader.read(QStringLiteral("120")),
                                         reader.read(QStringLiteral("95"))};
        const Figures figures = figuresOf(values.size(), [&](size_t i) { return values[i]; });
        QCOMPARE(footerText(figures), QStringLiteral("95/107,5/120"));
        QCOMPARE(footerText(Figures{}), QStringLiteral("0/0/0"));
    }
};

QTEST_MAIN(TestGridLayout)
#include "tst_grid_layout.moc"
