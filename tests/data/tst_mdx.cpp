#include "common/error.h"
#include "data/dbf/mdx.h"
#include "data/dbf/table.h"
#include "data/measurement.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace t7;
using dbf::Table;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint32 get32(const QByteArray& bytes, qsizetype at)
{
    return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 |
           quint32(quint8(bytes[at + 2])) << 16 | quint32(quint8(bytes[at + 3])) << 24;
}

// Walks the B-tree as a dBase reader does; returns the record numbers in index order and
// the depth of the tree.
void walk(const QByteArray& mdx, quint32 page, int item, QList<quint32>& records, int& depth,
          int level = 1)
{
    const qsizetype block = qsizetype(page) * 512;
    const quint32 keys = get32(mdx, block);
    const quint32 right = get32(mdx, block + 8 + keys * item);
    depth = std::max(depth, level);
    for (quint32 i = 0; i < keys; ++i) {
        const quint32 pointer = get32(mdx, block + 8 + i * item);
        if (right)
            walk(mdx, pointer, item, records, depth, level + 1);
        else
            records.append(pointer);
    }
    if (right)
        walk(mdx, right, item, records, depth, level + 1);
}

QList<quint32> treeOrder(const QString& mdxPath, int* depthOut = nullptr)
{
    const QByteArray mdx = readAll(mdxPath);
    const qsizetype header = 4 * 512;
    const int item = int(quint8(mdx[header + 18]) | quint8(mdx[header + 19]) << 8);
    QList<quint32> records;
    int depth = 0;
    walk(mdx, get32(mdx, header), item, records, depth);
    if (depthOut)
        *depthOut = depth;
    return records;
}

// The record numbers XBase's index_dump lists, in index order (the last word of each line).
QList<quint32> dumpedOrder(const QString& indexDump, const QStringList& arguments)
{
    QProcess dump;
    dump.start(indexDump, arguments);
    dump.waitForFinished(60000);
    QList<quint32> records;
    const QStringList lines = QString::fromLatin1(dump.readAllStandardOutput())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines)
        records.append(line.section(QLatin1Char(' '), -1).toUInt());
    return records;
}

QList<quint32> visited(Table& table)
{
    QList<quint32> records;
    for (table.first(); !table.eof(); table.next())
        records.append(table.recNo());
    return records;
}

} // namespace

class TestMdx : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // A measurement table with one row per T_1 text, N counting from 1.
    std::unique_ptr<Table> tableWith(const QString& name, const QStringList& t1,
                                     const QStringList& comments = {})
    {
        const QString file = dir.filePath(name);
        createMeasurementFile(file, QDate(2012, 3, 9));
        auto table = std::make_unique<Table>();
        table->setPath(file);
        table->open(measurementRequirements());
        for (qsizetype i = 0; i < t1.size(); ++i) {
            table->append();
            table->setInteger(u"N", int(i + 1));
            table->setText(u"T_1", t1[i]);
            if (i < comments.size())
                table->setText(u"COMMENT", comments[i]);
            table->post();
        }
        return table;
    }

    void sortBy(Table& table, const QString& field, bool descending)
    {
        table.addTag(sortTagName(), field, descending);
        table.selectTag(sortTagName());
    }

private slots:
    void numericKeys_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("key");
        QTest::newRow("1000") << 1000 << QByteArray("\x38\x29\x10", 3);
        QTest::newRow("125") << 125 << QByteArray("\x37\x29\x12\x50", 4);
        QTest::newRow("-200") << -200 << QByteArray("\x37\xA9\x20", 3);
        QTest::newRow("0") << 0 << QByteArray("\x34\x01", 2);
    }
    void numericKeys()
    {
        QFETCH(int, value);
        QFETCH(QByteArray, key);
        char out[12];
        dbf::encodeNumericKey(value, out);
        QCOMPARE(QByteArray(out, 12), key + QByteArray(12 - key.size(), '\0'));
    }

    void nodeSizes()
    {
        QCOMPARE(dbf::mdxItemLength(6), 12);
        QCOMPARE(dbf::mdxKeysPerNode(6), 84);
        QCOMPARE(dbf::mdxKeysPerNode(10), 63);
        QCOMPARE(dbf::mdxKeysPerNode(50), 18);
        QCOMPARE(dbf::mdxKeysPerNode(12), 63);
    }

    void fileLayoutForOneLeaf()
    {
        auto table = tableWith(QStringLiteral("layout.db"), {"120", "95"});
        table->addTag(sortTagName(), QStringLiteral("T_1"), true);
        const QByteArray mdx = readAll(dir.filePath(QStringLiteral("layout.mdx")));
        QCOMPARE(mdx.size(), 4096);
        QCOMPARE(quint8(mdx[0]), 0x02);
        QCOMPARE(mdx.mid(4, 7), QByteArray("LAYOUT\0", 7));
        QCOMPARE(get32(mdx, 32), 8u);
        QCOMPARE(mdx.mid(544 + 4, 5), QByteArray("TAB1\0", 5));
        QCOMPARE(quint8(mdx[544 + 15]), 0x18); // descending
        QCOMPARE(mdx[544 + 20], 'C');
        const qsizetype header = 2048;
        QCOMPARE(get32(mdx, header), 6u);
        QCOMPARE(mdx.mid(header + 24, 4), QByteArray("T_1\0", 4));
        QCOMPARE(get32(mdx, header + 248), 6u);
        // The leaf: two keys, greatest first, and no right pointer.
        const qsizetype leaf = 6 * 512;
        QCOMPARE(get32(mdx, leaf), 2u);
        QCOMPARE(get32(mdx, leaf + 8), 2u);
        QCOMPARE(mdx.mid(leaf + 12, 6), QByteArray("95    "));
        QCOMPARE(get32(mdx, leaf + 20), 1u);
        QCOMPARE(get32(mdx, leaf + 8 + 2 * 12), 0u);
        QCOMPARE(quint8(readAll(table->path())[28]), 1);
    }

    void textOrder()
    {
        auto table = tableWith(QStringLiteral("text.db"), {"120", "95", "300", "95", "0,0"});
        sortBy(*table, QStringLiteral("T_1"), false);
        QCOMPARE(visited(*table), QList<quint32>({5, 1, 3, 2, 4}));
        sortBy(*table, QStringLiteral("T_1"), true);
        QCOMPARE(visited(*table), QList<quint32>({2, 4, 3, 1, 5})); // equal keys by record
    }

    void numberOrder()
    {
        auto table = tableWith(QStringLiteral("number.db"), {"a", "b", "c"});
        for (quint32 record : {1u, 2u, 3u}) {
            QVERIFY(table->goToRecord(record));
            table->edit();
            table->setInteger(u"N", record == 1 ? 100 : record == 2 ? 25 : -3);
            table->post();
        }
        sortBy(*table, QStringLiteral("N"), false);
        QCOMPARE(visited(*table), QList<quint32>({3, 2, 1}));
    }

    void cyrillicOrder()
    {
        auto table = tableWith(QStringLiteral("cyr.db"), {"1", "2", "3", "4"},
                               {"Яма", "арка", "Бор", "Ель"});
        sortBy(*table, QStringLiteral("COMMENT"), false);
        // Windows-1251 bytes: upper case А–Я (C0–DF) before lower case а–я (E0–FF).
        QCOMPARE(visited(*table), QList<quint32>({3, 4, 1, 2}));
    }

    void changesKeepTheOrder()
    {
        auto table = tableWith(QStringLiteral("keep.db"), {"5", "3", "8"});
        sortBy(*table, QStringLiteral("T_1"), false);
        table->append();
        table->setText(u"T_1", QStringLiteral("4"));
        table->post();
        QCOMPARE(table->text(u"T_1"), QStringLiteral("4")); // stands on the new row
        QCOMPARE(visited(*table), QList<quint32>({2, 4, 1, 3}));
        QVERIFY(table->goToRecord(3));
        table->edit();
        table->setText(u"T_1", QStringLiteral("1"));
        table->post();
        QCOMPARE(visited(*table), QList<quint32>({3, 2, 4, 1}));
        QVERIFY(table->goToRecord(2));
        table->deleteRecord();
        QCOMPARE(visited(*table), QList<quint32>({3, 4, 1}));
        table->close();
        // The index written at the close holds the changes, deleted records too.
        QCOMPARE(treeOrder(dir.filePath(QStringLiteral("keep.mdx"))), QList<quint32>({3, 2, 4, 1}));
    }

    void selectedTagSurvivesReopen()
    {
        auto table = tableWith(QStringLiteral("reopen.db"), {"2", "1", "3"});
        sortBy(*table, QStringLiteral("T_1"), true);
        table->close();
        table->open(measurementRequirements());
        QCOMPARE(table->selectedTag(), QStringLiteral("TAB1"));
        QCOMPARE(visited(*table), QList<quint32>({3, 1, 2}));
    }

    void droppingTheTagRemovesTheFile()
    {
        auto table = tableWith(QStringLiteral("drop.db"), {"2", "1"});
        sortBy(*table, QStringLiteral("T_1"), false);
        const QString mdx = dir.filePath(QStringLiteral("drop.mdx"));
        QVERIFY(QFile::exists(mdx));
        table->selectTag(QString());
        table->dropTag(sortTagName());
        QVERIFY(!QFile::exists(mdx));
        QCOMPARE(quint8(readAll(table->path())[28]), 0);
        QCOMPARE(visited(*table), QList<quint32>({1, 2}));
        QVERIFY_THROWS_EXCEPTION(Error, table->dropTag(sortTagName()));
    }

    void damagedIndexIsIgnored_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<char>("value");
        QTest::newRow("version") << 0 << char(0x55);
        QTest::newRow("page count") << 32 << char(0x7F);
        QTest::newRow("table name") << 4 << 'X';
        QTest::newRow("key field") << 2048 + 24 << 'Q';
        QTest::newRow("key type") << 2048 + 9 << 'L';
    }
    void damagedIndexIsIgnored()
    {
        QFETCH(int, offset);
        QFETCH(char, value);
        auto table = tableWith(QStringLiteral("damaged.db"), {"2", "1"});
        sortBy(*table, QStringLiteral("T_1"), false);
        table->close();
        const QString mdx = dir.filePath(QStringLiteral("damaged.mdx"));
        QByteArray bytes = readAll(mdx);
        bytes[offset] = value;
        QFile file(mdx);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        table->open(measurementRequirements());
        QVERIFY(!table->hasTag());
        QCOMPARE(visited(*table), QList<quint32>({1, 2}));
        table->close();
        QFile::remove(mdx);
    }

    void threeLevels()
    {
        const int rows = 8000; // more than 84 · 85 keys of six bytes
        QStringList values;
        for (int i = 0; i < rows; ++i)
            values.append(QString::number((i * 7919) % 100000));
        auto table = tableWith(QStringLiteral("deep.db"), values);
        sortBy(*table, QStringLiteral("T_1"), true);
        int depth = 0;
        const QList<quint32> tree = treeOrder(dir.filePath(QStringLiteral("deep.mdx")), &depth);
        QCOMPARE(depth, 3);
        QCOMPARE(tree, visited(*table));
    }

    // Independent readers: python3-dbfread for the data file, XBase's index_dump for the index.
    void independentReaders()
    {
        const QString python = QStringLiteral("/usr/bin/python3");
        const QString indexDump = QStandardPaths::findExecutable(QStringLiteral("index_dump"));
        if (!QFile::exists(python) || indexDump.isEmpty())
            QSKIP("python3-dbfread or libdbd-xbase-perl is not installed");
        auto table = tableWith(QStringLiteral("peer.db"), {"120", "95", "300", "0,0"},
                               {"Проба", "", "Ёж", "x"});
        sortBy(*table, QStringLiteral("T_1"), false);
        const QList<quint32> order = visited(*table);
        table->close();

        QProcess reader;
        reader.start(
            python, {QStringLiteral("-c"),
                     QStringLiteral("import sys, dbfread\n"
                                    "t = dbfread.DBF(sys.argv[1])\n"
                                    "print(t.encoding)\n"
                                    "for r in t: print(r['N'], r['T_1'], r['COMMENT'], r['MODE'])"),
                     table->path()});
        QVERIFY(reader.waitForFinished(30000));
        const QStringList lines =
            QString::fromUtf8(reader.readAllStandardOutput()).split(QLatin1Char('\n'));
        QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
        QCOMPARE(lines.at(0), QStringLiteral("cp1251"));
        QCOMPARE(lines.at(1), QStringLiteral("1 120 Проба "));
        QCOMPARE(lines.at(2), QStringLiteral("2 95  "));
        QCOMPARE(lines.at(3), QStringLiteral("3 300 Ёж "));

        QCOMPARE(dumpedOrder(indexDump,
                             {dir.filePath(QStringLiteral("peer.mdx")), QStringLiteral("TAB1")}),
                 order);
    }

    void independentReaderOnADeepIndex()
    {
        const QString indexDump = QStandardPaths::findExecutable(QStringLiteral("index_dump"));
        if (indexDump.isEmpty())
            QSKIP("libdbd-xbase-perl is not installed");
        QStringList values;
        for (int i = 0; i < 8000; ++i)
            values.append(QString::number((i * 104729) % 99991));
        auto table = tableWith(QStringLiteral("deeppeer.db"), values);
        sortBy(*table, QStringLiteral("N"), true);
        const QList<quint32> order = visited(*table);
        table->close();
        const QList<quint32> dumped =
            dumpedOrder(indexDump, {dir.filePath(QStringLiteral("deeppeer.mdx")),
                                    QStringLiteral("TAB1"), QStringLiteral("--type=num")});
        QCOMPARE(dumped.size(), order.size());
        QCOMPARE(dumped, order);
    }
};

QTEST_GUILESS_MAIN(TestMdx)
#include "tst_mdx.moc"
