#pragma once

#include "data/dbf/table.h"
#include "data/file_commands.h"
#include "output_ui/report_commands.h"
#include "ui/grid.h"
#include "ui/row_commands.h"
#include "ui/selection_stats.h"

#include <QMainWindow>
#include <QSettings>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;

namespace t7 {

class TForm2;
class TForm3;
class TForm4;

// The main window: menus, tool bar, the measurement grid, and the commands on the data file
// and its rows.
class TForm1 : public QMainWindow, public DataFileView
{
    Q_OBJECT

public:
    // The device image the conversion reads; the receive window runs the transfers.
    TForm1(Prompts& prompts, QByteArrayView deviceImage, QWidget* parent = nullptr);
    ~TForm1() override;

    void setReceiveWindow(TForm2* form) { m_form2 = form; }
    // The chart selection window and the chart window that "График" shows.
    void setChartWindows(TForm4* selection, TForm3* chart)
    {
        m_form4 = selection;
        m_form3 = chart;
    }
    // What the help and about commands show; the application shell provides them.
    std::function<void()> showHelp;
    std::function<void()> showAbout;

    // Components, named as the commands know them.
    QMenu* N1;  // Файл
    QMenu* N12; // Вид
    QMenu* N13; // Правка
    QMenu* N35; // Сервис
    QMenu* N14; // Справка
    QAction *N2, *N3, *N4, *N5, *N7, *N6, *N8, *N9, *N10, *N11;
    QAction *N27, *N28, *N29, *N30, *N31, *N32, *N33;
    QAction* N34;
    QAction *Excel1, *N37, *N36, *Ports1;
    QAction *N24, *N25, *N26;
    QMenu* PopupMenu1;
    QAction *N15, *N22, *N16, *N17, *N18, *N19, *N38, *N23, *N20, *N21;
    QToolBar* ToolBar1;
    QToolButton *ToolButton1, *ToolButton2, *ToolButton3, *ToolButton4, *ToolButton5, *ToolButton6;
    TDBGridPro* DBGridPro1;

    dbf::Table Dbf1;
    DataFileCommands& commands() { return m_commands; }
    FigurePair TableFigures;
    QString HelpFile = QStringLiteral("TESKAR.HLP");
    QSettings* settings() const { return m_settings.get(); }

    void FormCreate();
    void FormClose();

    // Handlers: every one runs through the one error guard where it is connected.
    void N2Click() { m_commands.N2Click(); }
    void N3Click() { m_commands.N3Click(); }
    void N4Click() { m_commands.N4Click(); }
    void N5Click() { m_commands.N5Click(); }
    void N7Click() { m_commands.N7Click(); }
    void N8Click() { m_reports->N8Click(); }
    void N9Click() { m_reports->N9Click(); }
    void N22Click() { m_reports->N22Click(); }
    void Excel1Click();
    // "Сервис → Порты…": which serial devices serve COM1 and COM2.
    void Ports1Click();
    // Leaving runs the same steps as closing the window: no edit is dropped unasked.
    void N11Click() { close(); }
    void N15Click();
    void N17Click() { m_rows->N17Click(); }
    void N18Click() { m_rows->N18Click(); }
    void N19Click() { m_rows->N19Click(); }
    void N23Click() { m_rows->N23Click(); }
    void N33Click() { m_rows->N33Click(); }
    void N21Click();
    void N37Click() { m_rows->Renumber(); }
    void N24Click();
    void ToolButton6Click() { N24Click(); }
    void N26Click();
    void DBGridPro1SelectionChange();
    void DBGridPro1TitleStateChange(int column) { m_rows->DBGridPro1TitleStateChange(column); }
    void DBGridPro1InitEdit() { m_commands.TableModified = true; }

    RowCommands& rows() { return *m_rows; }
    ReportCommands& reports() { return *m_reports; }

    // DataFileView.
    Prompts& prompts() override { return m_prompts; }
    int showReceiveWindow() override;
    void showFileOpen(const QString& layoutValueName) override;
    void showNoFile() override;
    void enable_button();
    void disable_button();
    void tab_vis_en() override;
    void tab_vis_dis();
    void setFileOpenLook();
    void setNoFileLook();
    void setCaption(const QString& title) override;
    void find_mma() override;
    void Load_Layout(const QString& valueName);
    void Save_Layout(const QString& valueName) override;
    void commitGridEdit() override;
    void clearSortMarks() override;
    void tableChanged() override;
    void showStatus(const QString& text) override;
    // The row count and the protocol figures of the footer columns, under the grid.
    QLabel* StatusFigures = nullptr;

    // Whether the window shows the no-file look (button-shadow colour).
    bool noFileLook() const { return m_noFileLook; }
    // The actions and buttons that need an open file, in the order they are switched.
    QList<QObject*> fileCommands() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    // A data file dropped on the window opens as "Открыть" would open it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenus();
    void showFigures(const Figures& t1, const Figures& t2, int selected);
    void buildToolBar();
    // Connects a handler so that it runs through the one error guard.
    template <typename Sender, typename Signal>
    void connectHandler(Sender* sender, Signal signal, void (TForm1::*handler)());

    Prompts& m_prompts;
    DataFileCommands m_commands;
    std::unique_ptr<RowCommands> m_rows; // made once the grid is there
    std::unique_ptr<ReportCommands> m_reports;
    TForm2* m_form2 = nullptr;
    TForm3* m_form3 = nullptr;
    TForm4* m_form4 = nullptr;
    std::unique_ptr<QSettings> m_settings;
    bool m_noFileLook = true;
    bool m_closed = false;
};

} // namespace t7
