#include "common/error.h"
#include "data/dbf/bytes.h"
#include "data/dbf/mdx.h"
#include "data/dbf/table.h"
#include "data/measurement.h"
#include "tests/data/failing_storage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#endif

using namespace t7;
using dbf::get32;
using dbf::Table;

namespace {

const QDate kToday(2012, 3, 9);

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Opens a measurement table at path with today fixed.
std::unique_ptr<Table> openTable(const QString& path, dbf::Storage& storage = dbf::defaultStorage())
{
    auto table = std::make_unique<Table>(storage);
    table->today = [] { return kToday; };
    table->setPath(path);
    table->open(measurementRequirements());
    return table;
}

void appendRow(Table& table, int n, const QString& t1 = QString(),
               const QString& comment = QString())
{
    table.append();
    table.setInteger(u"N", n);
    table.setText(u"MODE", QStringLiteral("Наблюдения"));
    if (!t1.isNull())
        table.setText(u"T_1", t1);
    if (!comment.isNull())
        table.setText(u"COMMENT", comment);
    table.post();
}

QList<int> numbersInOrder(Table& table)
{
    QList<int> numbers;
    for (table.first(); !table.eof(); table.next())
        numbers.append(table.integer(u"N").value_or(-1));
    return numbers;
}

} // namespace

class TestDbf : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString& name) { return dir.filePath(name); }

    QString freshFile(const QString& name)
    {
        const QString file = path(name);
        createMeasurementFile(file, kToday);
        return file;
    }

private slots:
    void newFileIsExactly578Bytes()
    {
        const QByteArray bytes = readAll(freshFile(QStringLiteral("empty.db")));
        QCOMPARE(bytes.size(), 578);
        QCOMPARE(bytes.left(12),
                 QByteArray("\x03\x70\x03\x09\x00\x00\x00\x00\x41\x02\xC4\x00", 12));
        QCOMPARE(bytes.mid(12, 16), QByteArray(16, '\0'));
        QCOMPARE(quint8(bytes[28]), 0);
        QCOMPARE(quint8(bytes[29]), 0xC9);
        QCOMPARE(bytes.mid(30, 2), QByteArray(2, '\0'));
        // The descriptor of N: name, zero padding to 11, 'N', width 4 at 16.
        QCOMPARE(bytes.mid(32, 32),
                 QByteArray("N\0\0\0\0\0\0\0\0\0\0N\0\0\0\0\x04", 17) + QByteArray(15, '\0'));
        const int comment = 32 + 32 * 8;
        QCOMPARE(bytes.mid(comment, 12), QByteArray("COMMENT\0\0\0\0C", 12));
        QCOMPARE(quint8(bytes[comment + 16]), 50);
        QCOMPARE(quint8(bytes[576]), 0x0D);
        QCOMPARE(quint8(bytes[577]), 0x1A);
    }

    void oneRowIs774Bytes()
    {
        const QString file = freshFile(QStringLiteral("one.db"));
        {
            auto table = openTable(file);
            appendRow(*table, 1);
            table->close();
        }
        const QByteArray bytes = readAll(file);
        QCOMPARE(bytes.size(), 774);
        QCOMPARE(bytes[577], ' ');
        QCOMPARE(bytes.mid(578, 4), QByteArray("   1"));
        QCOMPARE(bytes.mid(4, 4), QByteArray("\x01\x00\x00\x00", 4));
        QCOMPARE(quint8(bytes[773]), 0x1A);
        // MODE in Windows-1251, then blanks; EN_CH (offset 16) never set: blanks.
        QCOMPARE(bytes.mid(577 + 5, 11),
                 QByteArray("\xCD\xE0\xE1\xEB\xFE\xE4\xE5\xED\xE8\xFF ", 11));
        QCOMPARE(bytes.mid(577 + 16, 4), QByteArray("    "));
        QCOMPARE(bytes.mid(577 + 182, 14), QByteArray(14, ' ')); // D, A, P
    }

    void valuesReadBack()
    {
        auto table = openTable(freshFile(QStringLiteral("values.db")));
        appendRow(*table, -12, QStringLiteral("0,0"), QStringLiteral("Ёлка и ёж"));
        table->close();
        table->open(measurementRequirements());
        QCOMPARE(table->integer(u"N"), std::optional<int>(-12));
        QCOMPARE(table->text(u"T_1"), QStringLiteral("0,0"));
        QCOMPARE(table->text(u"COMMENT"), QStringLiteral("Ёлка и ёж"));
        QVERIFY(table->isNull(u"EN_CH"));
        QVERIFY(table->isNull(u"D"));
        QCOMPARE(table->integer(u"SER"), std::nullopt);
        QCOMPARE(table->text(u"mode"), QStringLiteral("Наблюдения")); // names ignore case
    }

    void refusedValues()
    {
        auto table = openTable(freshFile(QStringLiteral("refused.db")));
        appendRow(*table, 7, QStringLiteral("120"));
        table->edit();
        QVERIFY_THROWS_EXCEPTION(Error, table->setInteger(u"N", 10000));
        QVERIFY_THROWS_EXCEPTION(Error, table->setInteger(u"N", 40000));
        QVERIFY_THROWS_EXCEPTION(Error, table->setInteger(u"N", -1000));
        QVERIFY_THROWS_EXCEPTION(Error, table->setText(u"COMMENT", QStringLiteral("日本")));
        QVERIFY_THROWS_EXCEPTION(Error, table->setText(u"NOSUCH", QStringLiteral("x")));
        table->setInteger(u"N", 9999);
        table->setInteger(u"N", -999);
        table->cancel();
        QCOMPARE(table->integer(u"N"), std::optional<int>(7));
        QCOMPARE(table->text(u"T_1"), QStringLiteral("120"));
    }

    void longTextIsCut()
    {
        auto table = openTable(freshFile(QStringLiteral("cut.db")));
        table->append();
        table->setText(u"T_1", QStringLiteral("1234567890"));
        table->post();
        QCOMPARE(table->text(u"T_1"), QStringLiteral("123456"));
    }

    void countIsCorrectedFromLength()
    {
        const QString file = freshFile(QStringLiteral("count.db"));
        {
            auto table = openTable(file);
            for (int n = 1; n <= 3; ++n)
                appendRow(*table, n);
        }
        QByteArray bytes = readAll(file);
        bytes[4] = 5;
        bytes.chop(1); // no end-of-file byte either
        writeAll(file, bytes);
        auto table = openTable(file);
        QCOMPARE(table->visibleCount(), 3);
        table->close();
        QCOMPARE(readAll(file)[4], char(3));
        QCOMPARE(readAll(file).size(), 577 + 3 * 196 + 1);
    }

    void indexFlagWithoutIndexFile()
    {
        const QString file = freshFile(QStringLiteral("flag.db"));
        {
            auto table = openTable(file);
            appendRow(*table, 2);
            appendRow(*table, 1);
        }
        QByteArray bytes = readAll(file);
        bytes[28] = 1;
        writeAll(file, bytes);
        auto table = openTable(file);
        QCOMPARE(numbersInOrder(*table), QList<int>({2, 1}));
        QCOMPARE(readAll(file)[28], char(0));
    }

    void filesThatDoNotOpen_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray good = readAll(freshFile(QStringLiteral("model.db")));
        auto changed = [&good](int at, char value) {
            QByteArray copy = good;
            copy[at] = value;
            return copy;
        };
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated header") << good.left(20);
        QTest::newRow("not a dBase version") << changed(0, 0x42);
        QTest::newRow("header longer than the file") << changed(9, 0x7F);
        QTest::newRow("header too short") << changed(8, 0x10).replace(9, 1, "\0", 1);
        QTest::newRow("record length zero") << changed(10, 0).replace(11, 1, "\0", 1);
        QTest::newRow("record length absurd") << changed(10, char(0xFF));
        QTest::newRow("no terminator") << changed(576, 'X');
        // T_1 (the sixth descriptor) as a number field.
        QTest::newRow("T_1 is a number") << changed(32 + 32 * 5 + 11, 'N');
        // COMMENT renamed.
        QTest::newRow("COMMENT missing") << changed(32 + 32 * 8, 'X');
        QTest::newRow("N with decimals") << changed(32 + 17, 2);
        QTest::newRow("garbage") << QByteArray(2000, char(0xA5));
    }
    void filesThatDoNotOpen()
    {
        QFETCH(QByteArray, bytes);
        const QString file = path(QStringLiteral("broken.db"));
        writeAll(file, bytes);
        Table table;
        table.setPath(file);
        QVERIFY_THROWS_EXCEPTION(Error, table.open(measurementRequirements()));
        QVERIFY(!table.isOpen());
        QCOMPARE(readAll(file), bytes); // nothing written to a file that did not open
    }

    void lockedFile()
    {
        const QString file = freshFile(QStringLiteral("locked.db"));
        auto first = openTable(file);
        Table second;
        second.setPath(file);
        try {
            second.open(measurementRequirements());
            QFAIL("a second open of the same file must fail");
        } catch (const Error& e) {
            QVERIFY(e.text().contains(QStringLiteral("другой программой")));
        }
        // Nor can it be replaced by a new file while it is held.
        QVERIFY_THROWS_EXCEPTION(Error, createMeasurementFile(file, kToday));
        QVERIFY(first->visibleCount() == 0 && QFileInfo(file).size() == 578);
        first->close();
        second.open(measurementRequirements());
        second.close();
        createMeasurementFile(file, kToday);
    }

    // Other programs lock a whole file (flock) or a record range (fcntl); either kind held
    // elsewhere keeps the table from opening, and neither stays after the table is closed.
    void lockedByAnotherProgram_data()
    {
        QTest::addColumn<bool>("recordLock");
        QTest::newRow("flock") << false;
        QTest::newRow("fcntl") << true;
    }
    void lockedByAnotherProgram()
    {
#ifdef Q_OS_UNIX
        QFETCH(bool, recordLock);
        const QString file = freshFile(QStringLiteral("foreign-lock.db"));
        QFile other(file);
        QVERIFY(other.open(QIODevice::ReadWrite));
        struct flock range
        {};
        range.l_type = F_WRLCK;
        range.l_whence = SEEK_SET;
        range.l_start = 0;
        range.l_len = 32; // the header alone is enough to keep us out
        QCOMPARE(recordLock ? ::fcntl(other.handle(), F_SETLK, &range)
                            : ::flock(other.handle(), LOCK_EX | LOCK_NB),
                 0);
        Table table;
        table.setPath(file);
        try {
            table.open(measurementRequirements());
            QFAIL("a file another program has locked must not open");
        } catch (const Error& e) {
            QVERIFY(e.text().contains(QStringLiteral("другой программой")));
        }
        other.close();
        table.open(measurementRequirements());
        QVERIFY(table.isOpen());
        // Now ours is held both ways against the other program.
        QVERIFY(other.open(QIODevice::ReadWrite));
        QCOMPARE(::flock(other.handle(), LOCK_EX | LOCK_NB), -1);
        range.l_type = F_RDLCK;
        QCOMPARE(::fcntl(other.handle(), F_GETLK, &range), 0);
        QCOMPARE(range.l_type, short(F_WRLCK));
#else
        QSKIP("file locks of other programs are Unix locks");
#endif
    }

    void readOnlyFile()
    {
        const QString readOnly = freshFile(QStringLiteral("readonly.db"));
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
        Table third;
        third.setPath(readOnly);
        if (QFile(readOnly).open(QIODevice::ReadWrite))
            QSKIP("running as a user who may write read-only files");
        QVERIFY_THROWS_EXCEPTION(Error, third.open(measurementRequirements()));
        QVERIFY_THROWS_EXCEPTION(Error, third.open(measurementRequirements()));
    }

    void navigationAndDeletion()
    {
        auto table = openTable(freshFile(QStringLiteral("nav.db")));
        QVERIFY(table->eof() && table->bof());
        for (int n = 1; n <= 5; ++n)
            appendRow(*table, n);
        table->first();
        table->next();
        table->deleteRecord(); // 2
        QCOMPARE(table->integer(u"N"), std::optional<int>(3));
        table->last();
        table->deleteRecord(); // 5
        QCOMPARE(table->integer(u"N"), std::optional<int>(4));
        QCOMPARE(numbersInOrder(*table), QList<int>({1, 3, 4}));
        QCOMPARE(table->recordCount(), 5);
        table->last();
        table->prior();
        QCOMPARE(table->integer(u"N"), std::optional<int>(3));
        QCOMPARE(table->recNo(), 3u);
    }

    // A filter "FIELD=VALUE" lets only matching rows through while it is on, in the
    // current order, deleted rows never; off again, every row is back.
    void filter()
    {
        auto table = openTable(freshFile(QStringLiteral("filter.db")));
        for (int n : {3, 1, 3, 2, 3})
            appendRow(*table, n, QString::number(n * 10));
        QVERIFY(table->goToRecord(5));
        table->deleteRecord();
        table->setFilter(QStringLiteral("N=3"));
        QVERIFY(!table->filtered());
        QCOMPARE(table->visibleCount(), qint64(4));
        table->setFiltered(true);
        QCOMPARE(numbersInOrder(*table), QList<int>({3, 3}));
        table->addTag(QStringLiteral("BYT1"), QStringLiteral("T_1"), true);
        table->selectTag(QStringLiteral("BYT1"));
        QCOMPARE(numbersInOrder(*table), QList<int>({3, 3}));
        table->setFilter(QStringLiteral("T_1=20"));
        QCOMPARE(numbersInOrder(*table), QList<int>({2}));
        for (const QString& nothing : {QStringLiteral("N=abc"), QStringLiteral("N=1,5"),
                                       QStringLiteral("N=7"), QStringLiteral("T_1=2")}) {
            table->setFilter(nothing);
            QCOMPARE(table->visibleCount(), qint64(0));
        }
        table->setFiltered(false);
        QCOMPARE(numbersInOrder(*table), QList<int>({3, 3, 2, 1}));
        table->setFilter(QStringLiteral("NOSUCH=1"));
        QVERIFY_THROWS_EXCEPTION(Error, table->setFiltered(true));
        QVERIFY(!table->filtered());
        QCOMPARE(table->visibleCount(), qint64(4));
    }

    // Renumbering in a batch re-sorts once at the end, to the same order and the same index
    // file as row by row.
    void batchOfKeyChanges()
    {
        QByteArray indexes[2];
        for (const bool batch : {false, true}) {
            // The same name in two folders: the index file holds it.
            const QString folder = batch ? QStringLiteral("batch") : QStringLiteral("rowbyrow");
            QVERIFY(QDir(dir.path()).mkpath(folder));
            const QString file = freshFile(folder + QStringLiteral("/renumber.db"));
            auto table = openTable(file);
            for (int n : {5, 3, 9, 1, 7, 3})
                appendRow(*table, n);
            table->addTag(sortTagName(), QStringLiteral("N"), false);
            table->selectTag(sortTagName());
            const std::vector<quint32> shown = table->order();
            if (batch)
                table->beginBatch();
            for (size_t i = 0; i < shown.size(); ++i) {
                table->editRecord(shown[i]);
                table->setInteger(u"N", int(shown.size() - i)); // the reverse
                table->post();
            }
            if (batch) {
                QCOMPARE(table->order(), shown); // unchanged until the end
                table->endBatch();
            }
            QCOMPARE(numbersInOrder(*table), QList<int>({1, 2, 3, 4, 5, 6}));
            table->close();
            indexes[batch] = readAll(file.chopped(2) + QStringLiteral("mdx"));
        }
        QVERIFY(!indexes[0].isEmpty());
        QCOMPARE(indexes[1], indexes[0]);
    }

    void packRemovesDeletedRows()
    {
        const QString file = freshFile(QStringLiteral("pack.db"));
        auto table = openTable(file);
        for (int n = 1; n <= 6; ++n)
            appendRow(*table, n);
        for (int n : {2, 5}) {
            QVERIFY(table->goToRecord(quint32(n)));
            table->deleteRecord();
        }
        table->pack();
        QCOMPARE(numbersInOrder(*table), QList<int>({1, 3, 4, 6}));
        QCOMPARE(readAll(file).size(), 577 + 4 * 196 + 1);
        QVERIFY(!QFile::exists(file + QStringLiteral(".pack~")));
        table->close();
        table->open(measurementRequirements());
        QCOMPARE(numbersInOrder(*table), QList<int>({1, 3, 4, 6}));
    }

    void failedWritesKeepPostedRows_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("words");
        QTest::newRow("disk full") << ENOSPC << QStringLiteral("на диске нет места");
        QTest::newRow("file too large") << EFBIG << QStringLiteral("допустимый размер");
        QTest::newRow("disk error") << EIO << QStringLiteral("ошибка ввода-вывода");
    }

    // Every budget between "nothing fits" and "all fits" stops the work at another byte,
    // most of them inside a record: the disk takes part of a write, then fails the rest.
    void failedWritesKeepPostedRows()
    {
        QFETCH(int, error);
        QFETCH(QString, words);
        const QString file = path(QStringLiteral("full.db"));
        int failures = 0;
        for (qint64 budget = 0; budget < 578 + 6 * 197 + 900; budget += 13) {
            QFile::remove(file);
            createMeasurementFile(file, kToday);
            int posted = 0;
            bool packed = false;
            {
                test::FailingStorage storage(budget, error);
                try {
                    auto table = openTable(file, storage);
                    for (int n = 1; n <= 6; ++n) {
                        appendRow(*table, n, QStringLiteral("%1").arg(n * 10));
                        ++posted;
                    }
                    QVERIFY(table->goToRecord(3));
                    table->deleteRecord();
                    table->pack();
                    packed = true;
                    table->close();
                } catch (const Error& e) {
                    ++failures;
                    QVERIFY2(e.text().contains(words), qPrintable(e.text()));
                }
            }
            // Whatever failed, the file opens and holds every posted row as it was posted,
            // and nothing that was not.
            const QByteArray bytes = readAll(file);
            QCOMPARE(bytes.left(1), QByteArray("\x03"));
            auto table = openTable(file);
            QList<int> expected;
            for (int n = 1; n <= posted; ++n)
                if (n != 3 || !packed)
                    expected.append(n);
            QList<int> numbers = numbersInOrder(*table);
            numbers.removeOne(3); // the delete may have reached the disk before the pack failed
            expected.removeOne(3);
            // A row whose bytes all reached the disk before the header write failed is
            // there, whole: it counts as stored, as it does when the file is opened again.
            if (numbers.size() == expected.size() + 1 && posted < 6)
                expected.append(posted + 1);
            QVERIFY2(numbers == expected,
                     qPrintable(QStringLiteral("budget %1: rows lost or invented").arg(budget)));
            for (table->first(); !table->eof(); table->next())
                QCOMPARE(table->text(u"T_1"),
                         QString::number(table->integer(u"N").value_or(0) * 10));
            QCOMPARE(qint64(get32(bytes.constData() + 4)) * 196 + 577 <= bytes.size(), true);
        }
        QVERIFY(failures > 10);
    }

    // Damaged headers, descriptors and index files: every open either works or says why,
    // and never reads outside what it has (the sanitizer run watches this).
    void mutatedFilesNeverCrash()
    {
        const QString model = freshFile(QStringLiteral("mutate-model.db"));
        {
            auto table = openTable(model);
            appendRow(*table, 1, QStringLiteral("120"), QStringLiteral("Проба"));
            appendRow(*table, 2, QStringLiteral("95"));
            table->addTag(sortTagName(), QStringLiteral("T_1"), false);
            table->selectTag(sortTagName());
        }
        const QByteArray data = readAll(model);
        const QByteArray index = readAll(path(QStringLiteral("mutate-model.mdx")));
        const QString file = path(QStringLiteral("mutate.db"));
        const QString mdx = path(QStringLiteral("mutate.mdx"));
        quint32 seed = 12345;
        auto random = [&seed](quint32 below) {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 8) % below;
        };
        int opened = 0;
        for (int round = 0; round < 400; ++round) {
            QByteArray bytes = data;
            QByteArray indexBytes = index;
            const int flips = 1 + int(random(4));
            for (int k = 0; k < flips; ++k) {
                if (random(2) == 0)
                    bytes[random(620)] = char(random(256));
                else
                    indexBytes[random(quint32(indexBytes.size()))] = char(random(256));
            }
            if (random(8) == 0)
                bytes.truncate(random(quint32(bytes.size())));
            writeAll(file, bytes);
            writeAll(mdx, indexBytes);
            Table table;
            table.setPath(file);
            try {
                table.open(measurementRequirements());
                ++opened;
                table.selectTag(QString());
                for (table.first(); !table.eof(); table.next()) {
                    for (int f = 0; f < int(table.fields().size()); ++f)
                        table.textOf(table.recNo() - 1, f);
                }
                table.close();
            } catch (const Error& e) {
                QVERIFY(!e.text().isEmpty());
            }
        }
        QVERIFY(opened > 0);
    }

    void foreignCodePage()
    {
        const QString file = path(QStringLiteral("cp866.db"));
        dbf::Table::create(file, measurementFields(), 0x26, kToday); // code page 866
        {
            auto table = openTable(file);
            table->append();
            table->setText(u"COMMENT", QStringLiteral("Проба"));
            table->post();
        }
        QVERIFY(readAll(file).mid(577 + 60, 5) == QByteArray("\x8F\xE0\xAE\xA1\xA0"));
        auto table = openTable(file);
        QCOMPARE(table->text(u"COMMENT"), QStringLiteral("Проба"));
    }
};

QTEST_GUILESS_MAIN(TestDbf)
#include "tst_dbf.moc"
