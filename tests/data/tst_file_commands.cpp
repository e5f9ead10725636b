#include "common/error.h"
#include "common/product.h"
#include "data/file_commands.h"
#include "data/measurement.h"
#include "tests/support/scripted_prompts.h"

#include <QFile>

#include <QTemporaryDir>
#include <QTest>
#include <cstring>

using namespace t7;

namespace {

// The window side of the commands: records what was asked of it.
class FakeView : public DataFileView
{
public:
    test::ScriptedPrompts scripted;
    QStringList calls;
    QString caption = ProductTitle();
    int receiveResult = 1;
    std::function<void()> onReceive;

    Prompts& prompts() override { return scripted; }
    int showReceiveWindow() override
    {
        calls << QStringLiteral("receive");
        if (onReceive)
            onReceive();
        return receiveResult;
    }
    void showFileOpen(const QString& name) override
    {
        calls << QStringLiteral("face") << QStringLiteral("enable") << QStringLiteral("grid shown")
              << QStringLiteral("load ") + name;
    }
    void showNoFile() override
    {
        calls << QStringLiteral("disable") << QStringLiteral("grid hidden");
        caption = ProductTitle();
        calls << QStringLiteral("shadow");
    }
    void tab_vis_en() override { calls << QStringLiteral("grid shown"); }
    void setCaption(const QString& title) override { caption = title; }
    void find_mma() override { calls << QStringLiteral("find_mma"); }
    void Save_Layout(const QString& name) override { calls << QStringLiteral("save ") + name; }
    void commitGridEdit() override { calls << QStringLiteral("commit"); }
    void clearSortMarks() override { calls << QStringLiteral("marks cleared"); }
    void showStatus(const QString& text) override { status = text; }
    QString status;
};

// An archive of n records a minute apart, from 1 Jan 2020 12:00.
QByteArray archive(int n)
{
    QByteArray bytes(65536, '\0');
    bytes[0] = char(n);
    for (int i = 0; i < n; ++i) {
        char* at = bytes.data() + 4 + 22 * i;
        at[2] = char(100 + i); // T_1
        at[15] = char(i);      // minutes
        at[16] = 12;
        at[17] = 1;
        at[18] = 1;
        at[19] = 20;
    }
    return bytes;
}

qint64 fileSize(const QString& path)
{
    return QFileInfo(path).size();
}

} // namespace

class TestFileCommands : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QByteArray image;
    std::unique_ptr<FakeView> view;
    std::unique_ptr<dbf::Table> table;
    std::unique_ptr<DataFileCommands> commands;

    QString path(const QString& name) { return dir.filePath(name); }

    // The commands read the image in place, as they read the device image.
    void load(const QByteArray& bytes) { std::memcpy(image.data(), bytes.constData(), 65536); }

    // Creates a data file of n rows through New and leaves it open.
    void createWith(const QString& file, int n)
    {
        load(archive(n));
        view->scripted.push(file);
        commands->N2Click();
    }

private slots:
    void init()
    {
        image = QByteArray(65536, '\0');
        view = std::make_unique<FakeView>();
        table = std::make_unique<dbf::Table>();
        commands = std::make_unique<DataFileCommands>(*view, *table,
                                                      QByteArrayView(image.constData(), 65536));
    }
    void cleanup()
    {
        commands.reset();
        table.reset();
    }

    void newFromTheInstrument()
    {
        createWith(path(QStringLiteral("new.db")), 3);
        QVERIFY(commands->TableOpen);
        QVERIFY(!commands->TableModified);
        QCOMPARE(view->scripted.shown.first().spec.filter, QStringLiteral("Файлы данных|*.db"));
        QCOMPARE(view->calls, QStringList({"receive", "find_mma", "face", "enable", "grid shown",
                                           "load Table_1"}));
        QCOMPARE(view->caption, ProductTitle());
        QCOMPARE(table->visibleCount(), 3);
    }

    void newCancelledOrFailed()
    {
        view->scripted.push(QString());
        commands->N2Click();
        QVERIFY(!view->calls.contains(QStringLiteral("receive")));
        view->receiveResult = 2;
        view->scripted.push(path(QStringLiteral("failed.db")));
        commands->N2Click();
        QVERIFY(!QFile::exists(path(QStringLiteral("failed.db"))));
        QVERIFY(!commands->TableOpen);
    }

    void newWithAnEmptyArchive()
    {
        createWith(path(QStringLiteral("empty.db")), 0);
        QVERIFY(!commands->TableOpen);
        QVERIFY(!table->isOpen());
        QCOMPARE(fileSize(path(QStringLiteral("empty.db"))), 578);
        const auto& shown = view->scripted.shown.last();
        QCOMPARE(shown.text, QStringLiteral("Архив прибора пуст!"));
        QCOMPARE(shown.caption, QStringLiteral("Ошибка"));
        QCOMPARE(shown.icon, Icon::Information);
        QVERIFY(!view->calls.contains(QStringLiteral("enable")));
        // A following open works.
        createWith(path(QStringLiteral("after.db")), 2);
        QVERIFY(commands->TableOpen);
    }

    void newOverTheOpenFileAsksToSave()
    {
        const QString file = path(QStringLiteral("same.db"));
        createWith(file, 2);
        commands->TableModified = true;
        view->scripted.pushAnswer(Answer::No);
        view->receiveResult = 2;
        view->scripted.push(file);
        commands->N2Click();
        QCOMPARE(view->scripted.shown.at(1).text,
                 QStringLiteral("Сохранить изменения в таблицах ?"));
        QCOMPARE(view->scripted.shown.at(1).caption, ProductTitle());
        QVERIFY(!commands->TableOpen);
        QCOMPARE(fileSize(file), 577 + 2 * 196 + 1); // left on disk unchanged
        QVERIFY(view->scripted.exhausted());
    }

    void conversionErrorLeavesNoTableOpen()
    {
        load(archive(0));
        image[0] = char(0xFF); // n = 2,047...
        image[1] = char(0x0B); // ... beyond the image
        view->scripted.push(path(QStringLiteral("range.db")));
        QVERIFY_THROWS_EXCEPTION(Error, commands->N2Click());
        QVERIFY(!table->isOpen());
        QVERIFY(!commands->TableOpen);
        QVERIFY(commands->Open_DB(path(QStringLiteral("range.db"))));
        QCOMPARE(table->visibleCount(), 2978);
    }

    void openShowsTheFileName()
    {
        const QString file = path(QStringLiteral("a.b.db"));
        createWith(file, 1);
        commands->Close_DB();
        view->scripted.push(file);
        commands->N3Click();
        QVERIFY(commands->TableOpen);
        QCOMPARE(view->caption, QStringLiteral("a.b - ТЕСКАР-7"));
        QCOMPARE(commands->WorkingFolder, QDir::toNativeSeparators(dir.path()));
        QCOMPARE(view->scripted.shown.last().spec.filter, QStringLiteral("Базы данных|*.db"));
        commands->Close_DB();
        QCOMPARE(view->caption, ProductTitle());
    }

    void openADamagedFileAfterAnother()
    {
        createWith(path(QStringLiteral("good.db")), 1);
        const QString bad = path(QStringLiteral("sub/bad.db"));
        QDir().mkpath(path(QStringLiteral("sub")));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a table");
        file.close();
        view->scripted.push(bad);
        commands->N3Click();
        QCOMPARE(view->scripted.shown.last().text, QStringLiteral("База данных повреждена !"));
        QCOMPARE(view->scripted.shown.last().icon, Icon::Error);
        QVERIFY(!commands->TableOpen);
        QVERIFY(!table->isOpen());
        QCOMPARE(commands->WorkingFolder, QDir::toNativeSeparators(path(QStringLiteral("sub"))));
    }

    void appendTwiceWithTheSameArchive()
    {
        createWith(path(QStringLiteral("append.db")), 2);
        load(archive(4));
        view->calls.clear();
        view->scripted.shown.clear();
        commands->N4Click();
        QCOMPARE(commands->LastAppended, 2);
        QCOMPARE(table->visibleCount(), 4);
        // The footers' figures are those of the table with the new rows; the status bar tells
        // how many came, no message box.
        QVERIFY(view->calls.contains(QStringLiteral("find_mma")));
        QCOMPARE(view->status, QStringLiteral("Добавлено записей: 2"));
        QVERIFY(view->scripted.shown.isEmpty());
        commands->N4Click();
        QCOMPARE(commands->LastAppended, 0);
        QCOMPARE(view->status, QStringLiteral("Новых записей в архиве нет"));
        view->receiveResult = 2;
        load(archive(6));
        commands->N4Click();
        QCOMPARE(table->visibleCount(), 4);
    }

    void sortedFileOnSaveAndClose()
    {
        const QString file = path(QStringLiteral("sorted.db"));
        createWith(file, 3);
        table->addTag(sortTagName(), QStringLiteral("T_1"), true);
        table->selectTag(sortTagName());
        table->last();
        commands->N5Click();
        QVERIFY(view->calls.contains(QStringLiteral("commit")));
        QCOMPARE(table->position(), 0);
        QCOMPARE(table->text(u"T_1"), QStringLiteral("102"));
        QVERIFY(QFile::exists(path(QStringLiteral("sorted.mdx"))));
        commands->N7Click();
        QVERIFY(!QFile::exists(path(QStringLiteral("sorted.mdx"))));
        QVERIFY(view->scripted.shown.isEmpty() ||
                view->scripted.shown.last().kind != QStringLiteral("question"));
    }

    void closeAfterAnEditAnsweredNo()
    {
        const QString file = path(QStringLiteral("edited.db"));
        createWith(file, 2);
        commands->TableModified = true;
        table->first();
        table->edit();
        table->setText(u"COMMENT", QStringLiteral("правка"));
        table->post();
        view->scripted.pushAnswer(Answer::No);
        commands->N7Click();
        QVERIFY(commands->Open_DB(file));
        QCOMPARE(table->text(u"COMMENT"), QStringLiteral("правка"));
    }

    void closingWithNoFileAsksNothing()
    {
        commands->Close_DB();
        QVERIFY(view->scripted.shown.isEmpty());
        QCOMPARE(view->calls, QStringList({"save Table_1", "disable", "grid hidden", "shadow"}));
    }

    void resetSortDropsTheTag()
    {
        createWith(path(QStringLiteral("reset.db")), 3);
        table->addTag(sortTagName(), QStringLiteral("T_1"), true);
        table->selectTag(sortTagName());
        commands->reset_sort(sortTagName());
        QVERIFY(!table->hasTag());
        QVERIFY(!QFile::exists(path(QStringLiteral("reset.mdx"))));
        commands->reset_sort(sortTagName());      // nothing to remove: no complaint
        QCOMPARE(view->scripted.shown.size(), 1); // the save dialog of New only
    }
};

QTEST_GUILESS_MAIN(TestFileCommands)
#include "tst_file_commands.moc"
