#include "app/shell.h"
#include "app/version_info.h"
#include "common/product.h"
#include "common/settings.h"
#include "data/dbf/table.h"
#include "data/measurement.h"
#include "device/ports_dialog.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_env.h"
#include "tests/support/trigger.h"
#include "tools/sim/archive_gen.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace t7;

class TestApp : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        test::isolateSettings(dir);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    }

    void versionOfTheProgramFile()
    {
        const QString program = test::builtProgram(QStringLiteral("teskar7"));
        QVERIFY(QFile::exists(program));
        QCOMPARE(fileVersionOf(program), QStringLiteral(TESKAR7_VERSION));
        // A program file built without version information.
        QCOMPARE(fileVersionOf(test::builtProgram(QStringLiteral("teskar7-sim"))),
                 QStringLiteral("0.0.0.0"));
        QCOMPARE(fileVersionOf(dir.filePath(QStringLiteral("missing"))), QStringLiteral("0.0.0.0"));
    }

    void aboutWindow()
    {
        Tform6 about;
        QCOMPARE(about.StaticText3->text(), QStringLiteral("Версия 1.0"));
        about.programPath = test::builtProgram(QStringLiteral("teskar7"));
        for (int shown = 0; shown < 2; ++shown) {
            QTimer::singleShot(0, &about, [&about] { about.Button1->click(); });
            QCOMPARE(about.exec(), int(QDialog::Accepted));
            QCOMPARE(about.StaticText3->text(), QStringLiteral("Версия " TESKAR7_VERSION));
        }
        about.programPath = test::builtProgram(QStringLiteral("teskar7-sim"));
        QTimer::singleShot(0, &about, [&about] { about.Button1->click(); });
        about.exec();
        QCOMPARE(about.StaticText3->text(), QStringLiteral("Версия 0.0.0.0"));
        QCOMPARE(about.windowTitle(), QStringLiteral("О программе"));
        QCOMPARE(about.StaticText2->text(),
                 QStringLiteral("Программа для передачи данных с прибора ТЕСКАР-7."));
    }

    void splashClosesByItself()
    {
        TForm5 splash;
        QCOMPARE(splash.size(), QSize(400, 77));
        QVERIFY(!splash.Image1->pixmap().isNull());
        QCOMPARE(splash.Image1->pixmap().size(), QSize(400, 78));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(splash.exec(), int(QDialog::Accepted));
        QVERIFY2(clock.elapsed() >= 2900, qPrintable(QString::number(clock.elapsed())));
    }

    void startShowsTheSplashFirst()
    {
        test::ScriptedPrompts prompts;
        Shell shell(&prompts);
        // Every window is there from the start, hidden until asked for.
        QVERIFY(!shell.Form2().isVisible() && !shell.Form3().isVisible() &&
                !shell.Form4().isVisible() && !shell.Form6().isVisible());
        QCOMPARE(shell.Form4().windowTitle(), QStringLiteral("Построение графиков"));
        bool splashAlone = false;
        QTimer::singleShot(500, &shell.Form1(), [&] {
            bool splash = false;
            for (QWidget* widget : QApplication::topLevelWidgets())
                splash |= widget->objectName() == QLatin1String("Form5") && widget->isVisible();
            splashAlone = splash && !shell.Form1().isVisible();
        });
        shell.start();
        QVERIFY(splashAlone);
        QVERIFY(shell.Form1().isVisible());
        QVERIFY(shell.Form1().windowState().testFlag(Qt::WindowMaximized));
        for (QWidget* widget : QApplication::topLevelWidgets())
            QVERIFY(widget->objectName() != QLatin1String("Form5"));
        shell.Form1().close();
    }

    void helpWindow()
    {
        test::ScriptedPrompts prompts;
        Shell shell(&prompts);
        // The manual lies beside the program under its fixed name.
        QVERIFY(shell.Form1().HelpFile.endsWith(QStringLiteral("vardo.hlp")) ||
                shell.Form1().HelpFile == QStringLiteral("TESKAR.HLP"));
        HelpWindow& help = shell.Help();
        QVERIFY(help.open(
            test::builtProgram(QStringLiteral("teskar7")).section(QLatin1Char('/'), 0, -2) +
            QStringLiteral("/vardo.hlp")));
        QVERIFY(help.contents()->topLevelItemCount() >= 5);
        help.finder()->setText(QStringLiteral("dialout"));
        QVERIFY(help.findNext());
        QVERIFY(help.searchStatus()->text().isEmpty());
        help.finder()->setText(QStringLiteral("никогда-не-встречается"));
        QVERIFY(!help.findNext());
        QCOMPARE(help.searchStatus()->text(),
                 QStringLiteral("«никогда-не-встречается» в справке не найдено"));
        help.finder()->setText(QStringLiteral("dialout"));
        QVERIFY(help.findNext());
        QVERIFY(help.searchStatus()->text().isEmpty());
        QVERIFY(!help.open(dir.filePath(QStringLiteral("TESKAR.HLP"))));
        QVERIFY(help.text()->toPlainText().contains(QStringLiteral("не найден")));
    }

    void translationsGiveRussianButtons()
    {
        Shell::loadTranslations();
        QMessageBox box(QMessageBox::Question, QString(), QString(),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')),
                 QStringLiteral("Да"));
        QCOMPARE(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')),
                 QStringLiteral("Нет"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')),
                 QStringLiteral("Отмена"));
    }

    void settingsAtStart()
    {
        {
            auto settings = openSettings();
            settings->remove(QStringLiteral("Default_dir"));
            settings->setValue(QStringLiteral("Table_1"), QStringLiteral("kept"));
        }
        test::ScriptedPrompts prompts;
        auto shell = std::make_unique<Shell>(&prompts);
        QCOMPARE(shell->Form1().commands().WorkingFolder,
                 QDir::toNativeSeparators(QDir::currentPath()));
        QCOMPARE(openSettings()->value(QStringLiteral("Default_dir")).toString(),
                 QDir::toNativeSeparators(QDir::currentPath()));
        QCOMPARE(openSettings()->value(QStringLiteral("Table_1")).toString(),
                 QStringLiteral("kept"));
        // Open in another folder: the dialogs of this run keep their folder, the next start
        // uses the new one.
        QDir().mkpath(dir.filePath(QStringLiteral("other")));
        prompts.push(dir.filePath(QStringLiteral("other/none.db")));
        shell->Form1().N3Click();
        QCOMPARE(prompts.shown.last().text, QStringLiteral("База данных повреждена !"));
        QCOMPARE(shell->Form1().commands().DialogFolder,
                 QDir::toNativeSeparators(QDir::currentPath()));
        shell->Form1().close();
        shell.reset();
        QCOMPARE(openSettings()->value(QStringLiteral("Default_dir")).toString(),
                 QDir::toNativeSeparators(dir.filePath(QStringLiteral("other"))));
    }

    void receiveWindowCancelled()
    {
        {
            auto settings = openSettings();
            settings->setValue(QStringLiteral("Port_COM1"), dir.filePath(QStringLiteral("no-tty")));
        }
        test::ScriptedPrompts prompts;
        TForm2 form(prompts);
        setApplicationTitle(QStringLiteral("a - ТЕСКАР-7"));
        QCOMPARE(form.size(), QSize(490, 245));
        QVERIFY(form.CheckBox1->isHidden());
        // Each value in its own column, clear of its caption: "Количество записей: 200".
        QVERIFY(form.StaticText7->x() >= 164);
        for (auto [caption, value] : {std::pair{form.StaticText4, form.StaticText5},
                                      std::pair{form.StaticText3, form.StaticText1},
                                      std::pair{form.StaticText6, form.StaticText7}}) {
            QVERIFY(value->x() > caption->geometry().right());
            QCOMPARE(value->y(), caption->y());
        }
        QTimer::singleShot(100, &form, [&form] {
            QCOMPARE(form.windowTitle(), QStringLiteral("Прием данных"));
            QVERIFY(form.StaticText2->text().contains(QStringLiteral("Порт недоступен")));
            QVERIFY(form.Timer1->isActive());
            form.Button1->click();
        });
        QCOMPARE(form.exec(), 2);
        QVERIFY(!form.Timer1->isActive());
        QVERIFY(!form.Timer2->isActive());
        QVERIFY(!form.CommPortDriver1->IsOpen());
        QCOMPARE(applicationTitle(), QStringLiteral("a - ТЕСКАР-7"));
        QVERIFY(prompts.shown.isEmpty());
        setApplicationTitle(ProductTitle());
    }

    void unwritableSettings()
    {
        // A settings folder that cannot be made: under a plain file.
        QFile blocker(dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           dir.filePath(QStringLiteral("blocker/config")));
        test::ScriptedPrompts prompts;
        {
            Shell shell(&prompts);
            QCOMPARE(prompts.shown.size(), 1);
            QCOMPARE(prompts.shown.first().text,
                     QStringLiteral("Failed to create key \\Software\\Kelmet\\VARDO\\1.0."));
            QVERIFY(!shell.Form1().commands().TableOpen);
            QVERIFY(!shell.Form1().N5->isEnabled());
            shell.Form1().close();
        }
        test::isolateSettings(dir);
    }

    // "График": the selection window, then the chart of the chosen series; cancelled, the
    // table stays on its last row; built, it is unfiltered on its first row, and the grid
    // follows the table both times.
    void chartFromThePopup()
    {
        const QString file = dir.filePath(QStringLiteral("chart.db"));
        {
            createMeasurementFile(file, QDate(2012, 3, 9));
            dbf::Table table;
            table.setPath(file);
            table.open(measurementRequirements());
            for (int i = 0; i < 6; ++i) {
                table.append();
                table.setInteger(u"N", i % 3 + 1);
                table.setText(u"T_1", QString::number(i * 10));
                table.setText(u"T_2", QStringLiteral("5"));
                table.setText(u"F", QString::number(i));
                table.post();
            }
        }
        test::ScriptedPrompts prompts;
        Shell shell(&prompts);
        prompts.push(file);
        QVERIFY(test::trigger(&shell.Form1(), "N3"));
        TForm1& main = shell.Form1();

        // Answers the modal windows as they come up.
        QString series;
        int listed = -1;
        qsizetype points = -1;
        QString title;
        QTimer answer;
        connect(&answer, &QTimer::timeout, &answer, [&] {
            if (shell.Form4().isVisible()) {
                listed = shell.Form4().ComboBox1->count();
                if (series.isEmpty()) {
                    shell.Form4().reject();
                } else {
                    shell.Form4().ComboBox1->setEditText(series);
                    shell.Form4().Button1->click();
                }
            } else if (shell.Form3().isVisible()) {
                points = shell.Form3().Series1->count();
                title = shell.Form3().Chart1->chart()->title();
                shell.Form3().reject();
            }
        });
        answer.start(20);

        QVERIFY(test::trigger(&main, "N15"));
        QCOMPARE(listed, 3);
        QCOMPARE(points, qsizetype(-1));
        QCOMPARE(main.Dbf1.position(), qint64(5));
        QCOMPARE(main.DBGridPro1->currentIndex().row(), 5);

        series = QStringLiteral("2");
        QVERIFY(test::trigger(&main, "N15"));
        QCOMPARE(points, qsizetype(2));
        QCOMPARE(title, QStringLiteral("Серия №2"));
        QVERIFY(!main.Dbf1.filtered());
        QCOMPARE(main.Dbf1.visibleCount(), qint64(6));
        QCOMPARE(main.Dbf1.position(), qint64(0));
        QCOMPARE(main.DBGridPro1->currentIndex().row(), 0);
        QVERIFY(prompts.shown.size() == 1); // the open dialog only
        answer.stop();
        main.close();
    }

    // "Сервис → Порты…": the devices found with their access, the choices of COM1 and COM2
    // kept in the settings, "Автоматически" leaving the choice to the program; the command
    // line tells the same.
    void portsDialog()
    {
        openSettings()->remove(QStringLiteral("Port_COM1"));
        openSettings()->remove(QStringLiteral("Port_COM2"));
        PortsDialog dialog;
        dialog.load({{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FTDI FT232R"), true, {}},
                     {QStringLiteral("/dev/ttyS0"), QString(), false, QStringLiteral("нет прав")}});
        QCOMPARE(dialog.Devices->topLevelItemCount(), 2);
        QCOMPARE(dialog.Devices->topLevelItem(0)->text(1), QStringLiteral("FTDI FT232R"));
        QCOMPARE(dialog.Devices->topLevelItem(1)->text(2), QStringLiteral("нет"));
        QVERIFY(dialog.Access->text().contains(QStringLiteral("/dev/ttyS0")));
        QVERIFY(dialog.Access->text().contains(QStringLiteral("dialout")));
        QCOMPARE(dialog.Com1->currentText(), PortsDialog::automatic());
        QCOMPARE(dialog.Com1->count(), 3);
        dialog.Com1->setCurrentIndex(1);
        dialog.Com2->setEditText(QStringLiteral("/dev/ttyX7"));
        dialog.save();
        QCOMPARE(openSettings()->value(QStringLiteral("Port_COM1")).toString(),
                 QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(openSettings()->value(QStringLiteral("Port_COM2")).toString(),
                 QStringLiteral("/dev/ttyX7"));

        QProcess cli;
        cli.start(test::builtProgram(QStringLiteral("teskar7-cli")), {QStringLiteral("ports")});
        QVERIFY(cli.waitForFinished(30000));
        const QString listed = QString::fromUtf8(cli.readAllStandardOutput());
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(listed.contains(QStringLiteral("COM1: /dev/ttyUSB0 (задан в настройках)")) &&
                     listed.contains(QStringLiteral("COM2: /dev/ttyX7 (задан в настройках)")),
                 qPrintable(listed));

        dialog.load({});
        QCOMPARE(dialog.Com2->currentText(), QStringLiteral("/dev/ttyX7"));
        QVERIFY(dialog.Access->text().contains(QStringLiteral("не найдены")));
        dialog.Com1->setCurrentText(PortsDialog::automatic());
        dialog.Com2->setCurrentText(PortsDialog::automatic());
        dialog.save();
        QVERIFY(!openSettings()->contains(QStringLiteral("Port_COM1")));
        QVERIFY(!openSettings()->contains(QStringLiteral("Port_COM2")));
    }

    // "Отмена" in the middle of a paced transfer, then at once a new exchange: the rest of the
    // archive that the instrument still sends is let pass, and the instrument is not blamed.
    void newExchangeRightAfterCancel()
    {
        QProcess sim;
        sim.start(test::builtProgram(QStringLiteral("teskar7-sim")),
                  {QStringLiteral("--pace"), QStringLiteral("--records"), QStringLiteral("60")});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY(sim.canReadLine());
        const QString port = QString::fromLocal8Bit(sim.readLine().trimmed());
        openSettings()->setValue(QStringLiteral("Port_COM1"), port);
        test::ScriptedPrompts prompts;
        TForm2 form(prompts);
        bool waited = false;
        QTimer::singleShot(0, &form, [&form] {
            QTRY_VERIFY_WITH_TIMEOUT(form.ProgressBar1->value() > 5, 15000);
            form.Button1->click();
        });
        QCOMPARE(form.exec(), 2);
        QTimer watch;
        connect(&watch, &QTimer::timeout, &form, [&] {
            waited |= form.StaticText2->text().contains(QStringLiteral("окончания передачи"));
        });
        watch.start(20);
        QCOMPARE(form.exec(), 1);
        watch.stop();
        QVERIFY(waited);
        QVERIFY2(prompts.shown.isEmpty(), qPrintable(prompts.texts().join(QLatin1Char('|'))));
        openSettings()->remove(QStringLiteral("Port_COM1"));
        sim.terminate();
        sim.waitForFinished();
    }

    void wrongInstrumentThroughTheWindow()
    {
        QProcess sim;
        sim.start(test::builtProgram(QStringLiteral("teskar7-sim")),
                  {QStringLiteral("--fault"), QStringLiteral("wrong-type")});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY(sim.canReadLine());
        const QString port = QString::fromLocal8Bit(sim.readLine().trimmed());
        openSettings()->setValue(QStringLiteral("Port_COM1"), port);
        test::ScriptedPrompts prompts;
        Shell shell(&prompts);
        const QString file = dir.filePath(QStringLiteral("wrong.db"));
        prompts.push(file);
        shell.Form1().N2Click();
        QCOMPARE(prompts.shown.last().text, QStringLiteral("Вы подключили не тот прибор !"));
        QCOMPARE(prompts.shown.last().caption, QStringLiteral("Ошибка"));
        QCOMPARE(prompts.shown.last().icon, Icon::Error);
        QVERIFY(!QFile::exists(file));
        QVERIFY(!shell.Form1().commands().TableOpen);
        QVERIFY(!shell.Form2().CommPortDriver1->IsOpen());
        shell.Form1().close();
        sim.terminate();
        sim.waitForFinished();
    }

    // The whole road: "Создать" → the receive window talks to the simulated instrument on a
    // pseudo-terminal mapped as COM1 → the grid shows the archive's rows.
    void newFromTheSimulatedInstrument()
    {
        QProcess sim;
        sim.start(test::builtProgram(QStringLiteral("teskar7-sim")),
                  {QStringLiteral("--records"), QStringLiteral("12"), QStringLiteral("--seed"),
                   QStringLiteral("4")});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY(sim.canReadLine());
        const QString port = QString::fromLocal8Bit(sim.readLine().trimmed());
        {
            auto settings = openSettings();
            settings->setValue(QStringLiteral("Port_COM1"), port);
            settings->setValue(QStringLiteral("Port_COM2"), port);
        }
        test::ScriptedPrompts prompts;
        Shell shell(&prompts);
        TForm1& form = shell.Form1();
        form.show();
        const QString file = dir.filePath(QStringLiteral("from-instrument.db"));
        prompts.push(file);
        bool sawProgress = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (shell.Form2().isVisible() &&
                shell.Form2().StaticText5->text() == QStringLiteral("КВ-73-ЛР2(Тин)"))
                sawProgress = true;
        });
        watch.start(20);
        form.ToolButton1->click();
        QVERIFY(sawProgress);
        QVERIFY(form.commands().TableOpen);
        QCOMPARE(form.DBGridPro1->model()->rowCount(), 12);
        QVERIFY(form.DBGridPro1->isVisible());
        QCOMPARE(form.windowTitle(), QStringLiteral("ТЕСКАР-7"));
        QCOMPARE(applicationTitle(), QStringLiteral("ТЕСКАР-7"));
        const auto expected = sim::generateObservations(12, 4);
        const int st = form.DBGridPro1->columnIndex(QStringLiteral("ST"));
        QCOMPARE(form.DBGridPro1->model()->index(11, st).data().toString(),
                 QString::number(expected[11].st));
        QCOMPARE(shell.Form2().ProgressBar1->value(), 100);

        // Append with the same archive adds nothing.
        QVERIFY(test::trigger(&form, "N4"));
        QCOMPARE(form.DBGridPro1->model()->rowCount(), 12);
        form.close();
        sim.terminate();
        sim.waitForFinished();
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
