#include "common/product.h"
#include "data/measurement.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_env.h"
#include "tests/support/trigger.h"
#include "ui/main.h"
#include "ui/widget_prompts.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

using namespace t7;

namespace {

struct Row
{
    Row(int number, const char* first, const char* second, const char* day = "")
        : n(number), t1(QString::fromUtf8(first)), t2(QString::fromUtf8(second)),
          date(QString::fromUtf8(day))
    {}
    int n;
    QString t1, t2, date;
};

// A data file with the given rows, written through the engine.
void makeFile(const QString& path, const QList<Row>& rows)
{
    createMeasurementFile(path, QDate(2020, 1, 1));
    dbf::Table table;
    table.setPath(path);
    table.open(measurementRequirements());
    for (const Row& row : rows) {
        table.append();
        table.setInteger(u"N", row.n);
        table.setText(u"T_1", row.t1);
        table.setText(u"T_2", row.t2);
        table.setText(u"DATE", row.date.isEmpty() ? QStringLiteral("01.01.2020") : row.date);
        table.setText(u"TIME", QStringLiteral("12:00:00"));
        table.post();
    }
}

QList<int> shownNumbers(dbf::Table& table)
{
    QList<int> numbers;
    for (quint32 record : table.order())
        numbers.append(table.integerOf(record, table.fieldIndex(u"N")).value_or(-1));
    return numbers;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    test::ScriptedPrompts prompts;
    QByteArray image = QByteArray(65536, '\0');
    std::unique_ptr<TForm1> form;

    QString path(const QString& name) { return dir.filePath(name); }

    void openFile(const QString& file)
    {
        prompts.push(file);
        QVERIFY(test::trigger(form.get(), "N3"));
        QVERIFY(form->commands().TableOpen);
    }

    void select(const QList<int>& rows)
    {
        TDBGridPro* grid = form->DBGridPro1;
        grid->clearSelection();
        for (int row : rows)
            grid->selectionModel()->select(grid->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    QString footer(const char* field)
    {
        const int column = form->DBGridPro1->columnIndex(QLatin1String(field));
        return form->DBGridPro1->Columns()[size_t(column)].FooterText;
    }

    QList<int> numbersInFile(const QString& file)
    {
        dbf::Table table;
        table.setPath(file);
        table.open(measurementRequirements(), true);
        return shownNumbers(table);
    }

private slots:
    void initTestCase()
    {
        test::isolateSettings(dir);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    }

    void init()
    {
        prompts.shown.clear();
        setApplicationTitle(ProductTitle());
        form = std::make_unique<TForm1>(prompts, QByteArrayView(image.constData(), 65536));
        form->FormCreate();
        form->resize(900, 600);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void cleanup()
    {
        form->close();
        form.reset();
        QVERIFY2(prompts.exhausted(), "an answer was left unused");
    }

    void startState()
    {
        QVERIFY(form->DBGridPro1->isHidden());
        QVERIFY(form->noFileLook());
        QCOMPARE(form->windowTitle(), QStringLiteral("ТЕСКАР-7"));
        for (QObject* command : form->fileCommands())
            QVERIFY2(!command->property("enabled").toBool(), qPrintable(command->objectName()));
        for (QObject* command :
             QList<QObject*>{form->N2, form->N3, form->N11, form->N24, form->N26, form->ToolButton1,
                             form->ToolButton2, form->ToolButton6, form->N15, form->N21})
            QVERIFY(command->property("enabled").toBool());
        QVERIFY(!form->N36->isVisible());
        QCOMPARE(form->findChild<QAction*>(QStringLiteral("N36")), form->N36);
        QCOMPARE(form->findChild<QToolButton*>(QStringLiteral("ToolButton3")), form->ToolButton3);
        QCOMPARE(form->N5->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        // The first start wrote the working folder at once.
        QVERIFY(form->settings()->contains(QStringLiteral("Default_dir")));
        QCOMPARE(form->HelpFile, QStringLiteral("TESKAR.HLP"));
        // Ctrl+S and Ctrl+P do nothing while their commands are disabled.
        QSignalSpy saved(form->N5, &QAction::triggered);
        QSignalSpy printed(form->N9, &QAction::triggered);
        form->activateWindow();
        QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(saved.size(), 0);
        QCOMPARE(printed.size(), 0);
    }

    void shortcutsWorkWhileEnabled()
    {
        const QString file = path(QStringLiteral("keys.db"));
        makeFile(file, {{1, "1", "1"}});
        openFile(file);
        QSignalSpy saved(form->N5, &QAction::triggered);
        form->activateWindow();
        QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(saved.size(), 1);
        QVERIFY(form->commands().TableOpen);
    }

    void emptyTableFooters()
    {
        const QString file = path(QStringLiteral("empty.db"));
        makeFile(file, {});
        openFile(file);
        QCOMPARE(form->DBGridPro1->selectedCount(), 0);
        QTRY_COMPARE(footer("T_1"), QStringLiteral("0/0/0"));
        QCOMPARE(footer("T_2"), QStringLiteral("0/0/0"));
        QCOMPARE(footer("ST"), QString());
    }

    void openAndClose()
    {
        const QString file = path(QStringLiteral("probe.db"));
        makeFile(file, {{1, "120", "10"}, {2, "95", "20"}});
        form->settings()->remove(QStringLiteral("Table_1"));
        openFile(file);
        QCOMPARE(form->windowTitle(), QStringLiteral("probe - ТЕСКАР-7"));
        QCOMPARE(applicationTitle(), QStringLiteral("probe - ТЕСКАР-7"));
        QVERIFY(!form->noFileLook());
        QVERIFY(form->DBGridPro1->isVisible());
        QCOMPARE(form->DBGridPro1->model()->rowCount(), 2);
        for (QObject* command : form->fileCommands()) {
            if (command != form->N36) // never visible, so never enabled in Qt's sense
                QVERIFY2(command->property("enabled").toBool(), qPrintable(command->objectName()));
        }
        // The first open without a stored layout gives equal widths and stores them.
        QVERIFY(form->settings()->contains(QStringLiteral("Table_1")));
        QVERIFY(test::trigger(form.get(), "N7"));
        QCOMPARE(form->windowTitle(), QStringLiteral("ТЕСКАР-7"));
        QVERIFY(form->noFileLook());
        QVERIFY(form->DBGridPro1->isHidden());
        QVERIFY(!form->N5->isEnabled());
        QVERIFY(prompts.shown.size() == 1); // the open dialog only
    }

    void saveQuestion_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("edited");
        QTest::newRow("yes") << int(Answer::Yes) << true;
        QTest::newRow("no") << int(Answer::No) << true;
        QTest::newRow("no change") << -1 << false;
    }
    void saveQuestion()
    {
        QFETCH(int, answer);
        QFETCH(bool, edited);
        const QString file = path(QStringLiteral("question.db"));
        makeFile(file, {{1, "120", "10"}, {2, "95", "20"}});
        openFile(file);
        TDBGridPro* grid = form->DBGridPro1;
        const int comment = grid->columnIndex(QStringLiteral("COMMENT"));
        if (edited) {
            grid->setCurrentIndex(grid->model()->index(0, comment));
            grid->edit(grid->currentIndex());
            QVERIFY(form->commands().TableModified);
            auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
            QVERIFY(editor);
            editor->setText(QStringLiteral("проба"));
            prompts.pushAnswer(Answer(answer));
        }
        QVERIFY(test::trigger(form.get(), "N7"));
        if (edited) {
            QCOMPARE(prompts.shown.last().text, QStringLiteral("Сохранить изменения в таблицах ?"));
            QCOMPARE(prompts.shown.last().caption, QStringLiteral("ТЕСКАР-7"));
        }
        dbf::Table table;
        table.setPath(file);
        table.open(measurementRequirements(), true);
        // Yes saves the edit in progress; No drops it.
        QCOMPARE(table.text(u"COMMENT"),
                 answer == int(Answer::Yes) ? QStringLiteral("проба") : QString());
    }

    void leavingARowPostsItsEdit()
    {
        const QString file = path(QStringLiteral("leave.db"));
        makeFile(file, {{1, "1", "1"}, {2, "2", "2"}});
        openFile(file);
        TDBGridPro* grid = form->DBGridPro1;
        const int comment = grid->columnIndex(QStringLiteral("COMMENT"));
        grid->setCurrentIndex(grid->model()->index(0, comment));
        grid->model()->setData(grid->model()->index(0, comment), QStringLiteral("левая"));
        grid->setCurrentIndex(grid->model()->index(1, comment));
        form->commands().TableModified = true;
        prompts.pushAnswer(Answer::No);
        QVERIFY(test::trigger(form.get(), "N7"));
        dbf::Table table;
        table.setPath(file);
        table.open(measurementRequirements(), true);
        QCOMPARE(table.text(u"COMMENT"), QStringLiteral("левая"));
    }

    void sortingByTitleClicks()
    {
        const QString file = path(QStringLiteral("sort.db"));
        makeFile(file, {{3, "120", "5", "09.03.2020"},
                        {1, "95", "7", "10.01.2020"},
                        {2, "300", "6", "01.12.2020"}});
        openFile(file);
        TDBGridPro* grid = form->DBGridPro1;
        const int t1 = grid->columnIndex(QStringLiteral("T_1"));
        grid->clickTitle(t1, false); // descending text
        QCOMPARE(shownNumbers(form->Dbf1), QList<int>({1, 2, 3}));
        QCOMPARE(grid->Columns()[size_t(t1)].TitleState, tsSortedUp);
        grid->clickTitle(t1, false); // ascending: 120 before 95
        QCOMPARE(shownNumbers(form->Dbf1), QList<int>({3, 2, 1}));
        grid->clickTitle(t1, false);
        QCOMPARE(shownNumbers(form->Dbf1), QList<int>({1, 2, 3}));
        QVERIFY(QFile::exists(path(QStringLiteral("sort.mdx"))));

        const int n = grid->columnIndex(QStringLiteral("N"));
        grid->clickTitle(n, false);
        QCOMPARE(shownNumbers(form->Dbf1), QList<int>({3, 2, 1}));
        QCOMPARE(grid->Columns()[size_t(t1)].TitleState, tsSortedNone);
        QCOMPARE(grid->Columns()[size_t(t1)].SortOrder, -1);
        QCOMPARE(grid->Columns()[size_t(n)].SortOrder, 3);

        const int date = grid->columnIndex(QStringLiteral("DATE"));
        grid->clickTitle(date, false);
        grid->clickTitle(date, false); // ascending by the day first
        QCOMPARE(shownNumbers(form->Dbf1), QList<int>({2, 3, 1}));

        grid->clickTitle(t1, true); // Ctrl on an unsorted column changes nothing
        QCOMPARE(shownNumbers(form->Dbf1), QList<int>({2, 3, 1}));
        grid->clickTitle(date, true);
        QCOMPARE(grid->Columns()[size_t(date)].TitleState, tsSortedNone);
        QCOMPARE(shownNumbers(form->Dbf1), QList<int>({3, 1, 2}));
        QVERIFY(!QFile::exists(path(QStringLiteral("sort.mdx"))));
        QVERIFY(prompts.shown.size() == 1);
    }

    void layoutRemembersSortMarks()
    {
        const QString file = path(QStringLiteral("marks.db"));
        makeFile(file, {{2, "1", "9"}, {1, "2", "8"}});
        openFile(file);
        TDBGridPro* grid = form->DBGridPro1;
        const int t2 = grid->columnIndex(QStringLiteral("T_2"));
        grid->clickTitle(t2, false);
        QVERIFY(test::trigger(form.get(), "N7"));
        const QString stored = form->settings()->value(QStringLiteral("Table_1")).toString();
        QVERIFY(stored.contains(QStringLiteral("      FieldName = 'T_2'\r\n      TitleState = "
                                               "tsSortedUp\r\n")));
        QVERIFY(!QFile::exists(path(QStringLiteral("marks.mdx"))));
        openFile(file);
        QCOMPARE(grid->Columns()[size_t(t2)].TitleState, tsSortedUp);
        QCOMPARE(shownNumbers(form->Dbf1), QList<int>({2, 1})); // file order
    }

    void layoutItemsAreCopied()
    {
        const QString file = path(QStringLiteral("items.db"));
        makeFile(file, {{1, "1", "1"}});
        TDBGridPro* grid = form->DBGridPro1;
        const int comment = grid->columnIndex(QStringLiteral("COMMENT"));
        grid->Columns()[size_t(comment)].Color = 0x0000FF;
        form->settings()->setValue(
            QStringLiteral("Table_1"),
            QStringLiteral("object TUniDataStorage\r\n  Data = <\r\n    item\r\n      FieldName = "
                           "'NOSUCH'\r\n      Width = 70\r\n    end\r\n    item\r\n      FieldName "
                           "= 'comment'\r\n      Width = 80\r\n    end\r\n    item\r\n      "
                           "FieldName = 'F'\r\n      Color = clAqua\r\n    end>\r\nend\r\n"));
        openFile(file);
        QCOMPARE(grid->Columns()[size_t(comment)].Color, clNone); // no Color line: reset
        QCOMPARE(grid->Columns()[size_t(grid->columnIndex(QStringLiteral("F")))].Color, 0xFFFF00u);

        // A damaged value is put aside: equal widths, stored afresh.
        QVERIFY(test::trigger(form.get(), "N7"));
        form->settings()->setValue(QStringLiteral("Table_1"), QStringLiteral("garbage"));
        openFile(file);
        QCOMPARE(form->windowTitle(), QStringLiteral("items - ТЕСКАР-7"));
        QVERIFY(form->settings()
                    ->value(QStringLiteral("Table_1"))
                    .toString()
                    .startsWith(QStringLiteral("object TUniDataStorage")));
    }

    // Stored widths far beyond any screen (a hand-edited or foreign value) are taken as the
    // widest allowed, and fitting the columns to the window still gives sane widths.
    void hugeStoredWidths()
    {
        const QString file = path(QStringLiteral("huge.db"));
        makeFile(file, {{1, "1", "1"}});
        QString items;
        for (const char* field : {"N", "T_1", "T_2", "COMMENT", "ST"})
            items += QStringLiteral("    item\r\n      FieldName = '%1'\r\n      Width = "
                                    "2147483647\r\n    end\r\n")
                         .arg(QLatin1String(field));
        items.chop(QStringLiteral("\r\n    end\r\n").size());
        form->settings()->setValue(QStringLiteral("Table_1"),
                                   QStringLiteral("object TUniDataStorage\r\n  Data = <\r\n") +
                                       items + QStringLiteral("\r\n    end>\r\nend\r\n"));
        openFile(file);
        TDBGridPro* grid = form->DBGridPro1;
        for (const TgpColumn& column : grid->Columns())
            QVERIFY2(column.Width >= 2 && column.Width <= kMaxColumnWidth,
                     qPrintable(QString::number(column.Width)));
    }

    void statistics()
    {
        const QString file = path(QStringLiteral("stats.db"));
        makeFile(file, {{1, "120", "10"}, {2, "95", "0,0"}, {3, "5", "x"}, {4, "12", "30"}});
        openFile(file);
        // The table's figures while fewer than two rows are selected (non-numbers left out).
        QTRY_COMPARE(footer("T_1"), QStringLiteral("5/58/120"));
        QCOMPARE(footer("T_2"), QStringLiteral("0/13,3/30"));
        // The status bar: the rows, and the protocol figures of the same values.
        QVERIFY2(form->StatusFigures->text().startsWith(QStringLiteral("Строк: 4  |  А2: n 4, ")),
                 qPrintable(form->StatusFigures->text()));
        QVERIFY(form->StatusFigures->text().contains(QStringLiteral("dt: n 3, среднее 13,3")));
        select({0, 1});
        QTRY_COMPARE(footer("T_1"), QStringLiteral("95/107,5/120"));
        QCOMPARE(footer("T_2"), QStringLiteral("0/5/10"));
        QCOMPARE(form->StatusFigures->text(),
                 QStringLiteral("Выделено строк: 2 из 4  |  А2: n 2, среднее 107,5, s 17,7, "
                                "V 16,4 %, мин. 95, макс. 120  |  dt: n 2, среднее 5,0, s 7,1, "
                                "V 141,4 %, мин. 0, макс. 10"));
        QCOMPARE(form->DBGridPro1->kept(1, 3), QStringLiteral("01.01.2020"));
        select({1, 2});
        QTRY_COMPARE(prompts.shown.size(), 2);
        QCOMPARE(prompts.shown.last().text,
                 QStringLiteral("'x' is not a valid floating point value."));
        QCOMPARE(prompts.shown.last().icon, Icon::Error);
        QCOMPARE(footer("T_1"), QStringLiteral("95/107,5/120")); // kept as they were
    }

    void deletingMarkedRows()
    {
        const QString file = path(QStringLiteral("delete.db"));
        makeFile(file, {{1, "1", "1"}, {2, "2", "2"}, {3, "3", "3"}, {4, "4", "4"}, {5, "5", "5"}});
        // The grid's model keeps Qt's rules of item models through sort, edit and delete.
        QAbstractItemModelTester tester(form->DBGridPro1->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        openFile(file);
        form->DBGridPro1->clickTitle(form->DBGridPro1->columnIndex(QStringLiteral("T_1")), false);
        form->commands().TableModified = true;
        // Shown in descending order: rows 5, 4, 3, 2, 1; mark 5, 3 and 2.
        select({0, 2, 3});
        QVERIFY(test::trigger(form.get(), "N21"));
        QCOMPARE(numbersInFile(file), QList<int>({1, 4}));
        QCOMPARE(shownNumbers(form->Dbf1), QList<int>({1, 4}));
        QVERIFY(form->DBGridPro1->selectionModel()->selectedRows().size() <= 1);
        for (const TgpColumn& column : form->DBGridPro1->Columns())
            QCOMPARE(column.TitleState, tsSortedNone);
        QVERIFY(!form->commands().TableModified);
        // No row marked: the current row goes.
        form->DBGridPro1->clearSelection();
        form->DBGridPro1->setCurrentIndex(form->DBGridPro1->model()->index(1, 0));
        form->DBGridPro1->clearSelection();
        QVERIFY(test::trigger(form.get(), "N21"));
        QCOMPARE(numbersInFile(file), QList<int>({1}));
        QVERIFY(test::trigger(form.get(), "N7"));
        QCOMPARE(prompts.shown.size(), 1);
    }

    void renumberingFollowsTheShownOrder()
    {
        const QString file = path(QStringLiteral("renumber.db"));
        makeFile(file, {{7, "120", "1"}, {8, "95", "1"}, {9, "300", "1"}});
        openFile(file);
        const int t1 = form->DBGridPro1->columnIndex(QStringLiteral("T_1"));
        form->DBGridPro1->clickTitle(t1, false);
        form->DBGridPro1->clickTitle(t1, false); // ascending text: 120, 300, 95
        QVERIFY(test::trigger(form.get(), "N37"));
        QCOMPARE(shownNumbers(form->Dbf1), QList<int>({1, 2, 3}));
        QCOMPARE(numbersInFile(file), QList<int>({1, 3, 2}));
        QVERIFY(!form->commands().TableModified);
    }

    void renumberingRefusesMoreThan9999Rows()
    {
        const QString file = path(QStringLiteral("many.db"));
        createMeasurementFile(file, QDate(2020, 1, 1));
        {
            dbf::Table table;
            table.setPath(file);
            table.open(measurementRequirements());
            for (int i = 0; i < 10000; ++i) {
                table.append();
                table.setInteger(u"N", 5);
                table.post();
            }
        }
        openFile(file);
        QVERIFY(test::trigger(form.get(), "N37"));
        QCOMPARE(prompts.shown.last().icon, Icon::Error);
        QVERIFY(prompts.shown.last().text.contains(QStringLiteral("9999")));
        const QList<int> numbers = numbersInFile(file);
        QCOMPARE(numbers.count(5), 10000);
    }

    // The real file dialog: wide enough for name, size, kind and date; the file's extension
    // follows the kind of file chosen.
    void fileDialog()
    {
        WidgetPrompts real(form.get());
        FileDialogSpec spec;
        spec.filter = QStringLiteral("Книга Excel|*.xlsx|Текст CSV|*.csv");
        spec.defaultSuffix = QStringLiteral("xlsx");
        spec.folder = dir.path();
        QSize size;
        QHeaderView::ResizeMode dates = QHeaderView::Interactive;
        QTimer::singleShot(100, form.get(), [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            size = dialog->size();
            if (auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView")))
                dates = view->header()->sectionResizeMode(3);
            dialog->selectNameFilter(QStringLiteral("Текст CSV (*.csv)"));
            emit dialog->filterSelected(dialog->selectedNameFilter()); // as a choice in the list
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QStringLiteral("book"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QCOMPARE(real.saveFileName(spec), dir.filePath(QStringLiteral("book.csv")));
        QVERIFY2(size.width() >= 900 && size.height() >= 540,
                 qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
        QCOMPARE(dates, QHeaderView::ResizeToContents);
    }

    // The sort mark sits in the title's corner: the caption is drawn exactly as unsorted.
    void sortMarkLeavesTheCaption()
    {
        const QString file = path(QStringLiteral("mark.db"));
        makeFile(file, {{1, "1", "1"}});
        openFile(file);
        TDBGridPro* grid = form->DBGridPro1;
        QHeaderView* header = grid->horizontalHeader();
        const int t1 = grid->columnIndex(QStringLiteral("T_1"));
        const auto title = [&] {
            header->viewport()->repaint();
            return header->viewport()
                ->grab(QRect(header->sectionViewportPosition(t1), 0, header->sectionSize(t1),
                             header->height()))
                .toImage();
        };
        const QImage plain = title();
        grid->setTitleState(t1, tsSortedUp);
        const QImage sorted = title();
        QCOMPARE(sorted.size(), plain.size());
        const QRect corner(plain.width() - 12, 0, 12, 10);
        int differing = 0, inCorner = 0;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x)
                if (plain.pixel(x, y) != sorted.pixel(x, y))
                    ++(corner.contains(x, y) ? inCorner : differing);
        QCOMPARE(differing, 0);
        QVERIFY(inCorner > 0); // the mark is there
    }

    // A data file dropped on the window opens as "Открыть" opens it.
    void dropAFile()
    {
        const QString file = path(QStringLiteral("dropped.db"));
        makeFile(file, {{1, "1", "1"}, {2, "2", "2"}});
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(form.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.get(), &drop);
        QVERIFY(form->commands().TableOpen);
        QCOMPARE(form->Dbf1.visibleCount(), qint64(2));
        QCOMPARE(form->commands().WorkingFolder, QDir::toNativeSeparators(dir.path()));
        // Anything but one data file is refused.
        QMimeData other;
        other.setUrls({QUrl::fromLocalFile(path(QStringLiteral("notes.txt")))});
        QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &other, Qt::LeftButton,
                                Qt::NoModifier);
        refused.ignore();
        QCoreApplication::sendEvent(form.get(), &refused);
        QVERIFY(!refused.isAccepted());
    }

    // Ctrl+End and Ctrl+Home select the row they move to, as the other moves do.
    void ctrlEndSelects()
    {
        const QString file = path(QStringLiteral("keys.db"));
        makeFile(file, {{1, "1", "1"}, {2, "2", "2"}, {3, "3", "3"}});
        openFile(file);
        TDBGridPro* grid = form->DBGridPro1;
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid->currentIndex().row(), 2);
        QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(grid->selectionModel()->selectedRows().first().row(), 2);
        QCOMPARE(form->Dbf1.position(), qint64(2));
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(grid->selectionModel()->selectedRows().first().row(), 0);
    }

    void colours()
    {
        const QString file = path(QStringLiteral("colour.db"));
        makeFile(file, {{1, "1", "1"}});
        openFile(file);
        TDBGridPro* grid = form->DBGridPro1;
        const int st = grid->columnIndex(QStringLiteral("ST"));
        grid->setCurrentIndex(grid->model()->index(0, st));
        prompts.push(QVariant::fromValue(quint32(0x00FFFF)));
        QVERIFY(test::trigger(form.get(), "N17"));
        QCOMPARE(prompts.lastInitialColor, 0u); // black the first time
        QCOMPARE(grid->Columns()[size_t(st)].Color, 0x00FFFFu);
        prompts.push(QVariant());
        QVERIFY(test::trigger(form.get(), "N17")); // cancelled: nothing changes
        QCOMPARE(prompts.lastInitialColor, 0x00FFFFu);
        QCOMPARE(grid->Columns()[size_t(st)].Color, 0x00FFFFu);
        // The values stay readable on the column's colour: black on yellow, white on black.
        const QModelIndex cell = grid->model()->index(0, st);
        QCOMPARE(grid->model()->data(cell, Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
        prompts.push(QVariant::fromValue(quint32(0)));
        QVERIFY(test::trigger(form.get(), "N17"));
        QCOMPARE(grid->model()->data(cell, Qt::BackgroundRole).value<QColor>(), QColor(Qt::black));
        QCOMPARE(grid->model()->data(cell, Qt::ForegroundRole).value<QColor>(), QColor(Qt::white));
        QCOMPARE(grid->model()->data(grid->model()->index(0, 0), Qt::ForegroundRole), QVariant());
        grid->Columns()[size_t(grid->columnIndex(QStringLiteral("MODE")))].Color = 0xFF;
        QVERIFY(test::trigger(form.get(), "N19"));
        for (const TgpColumn& column : grid->Columns())
            QCOMPARE(column.Color, clNone);
        QVERIFY(!form->commands().TableModified);
    }

    void equalColumns()
    {
        const QString file = path(QStringLiteral("equal.db"));
        makeFile(file, {{1, "1", "1"}});
        openFile(file);
        TDBGridPro* grid = form->DBGridPro1;
        grid->setFixedWidth(700);
        QVERIFY(test::trigger(form.get(), "N23"));
        QCOMPARE(grid->Columns()[size_t(grid->columnIndex(QStringLiteral("MODE")))].Width, 50);
        int sum = 0;
        for (const TgpColumn& column : grid->Columns())
            sum += column.Visible ? column.Width : 0;
        QCOMPARE(sum, grid->viewport()->width());
    }

    void exitRunsTheClosingSteps()
    {
        const QString file = path(QStringLiteral("exit.db"));
        makeFile(file, {{1, "1", "1"}});
        openFile(file);
        form->DBGridPro1->clickTitle(form->DBGridPro1->columnIndex(QStringLiteral("N")), false);
        form->commands().TableModified = true;
        prompts.pushAnswer(Answer::No);
        QVERIFY(test::trigger(form.get(), "N11"));
        QCOMPARE(prompts.shown.last().text, QStringLiteral("Сохранить изменения в таблицах ?"));
        QVERIFY(!QFile::exists(path(QStringLiteral("exit.mdx"))));
        QCOMPARE(form->settings()->value(QStringLiteral("Default_dir")).toString(),
                 QDir::toNativeSeparators(dir.path()));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
