#pragma once

#include "data/dbf/table.h"
#include "data/file_commands.h"
#include "ui/grid.h"
#include "ui/selection_stats.h"

#include <QMainWindow>
#include <QSettings>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QToolBar;
class QToolButton;

namespace t7 {

class TForm2;

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
    QAction *Excel1, *N37, *N36;
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

    // Handlers.
    void N2Click()
    {
        run([this] { m_commands.N2Click(); });
    }
    void N3Click()
    {
        run([this] { m_commands.N3Click(); });
    }
    void N4Click()
    {
        run([this] { m_commands.N4Click(); });
    }
    void N5Click()
    {
        run([this] { m_commands.N5Click(); });
    }
    void N7Click()
    {
        run([this] { m_commands.N7Click(); });
    }
    void N8Click();
    void N9Click();
    void N22Click();
    void Excel1Click();
    void N11Click();
    void N15Click();
    void N17Click();
    void N18Click();
    void N19Click();
    void N23Click();
    void N33Click();
    void N21Click();
    void N37Click();
    void N24Click();
    void ToolButton6Click();
    void N26Click();
    void DBGridPro1SelectionChange();
    void DBGridPro1TitleStateChange(int column);
    void DBGridPro1InitEdit();

    // Row commands.
    void Delete_Rows();
    void Clear_Colors();
    void Equal_Columns();
    void Renumber();

    // DataFileView.
    Prompts& prompts() override { return m_prompts; }
    int showReceiveWindow() override;
    void enable_button() override;
    void disable_button() override;
    void tab_vis_en() override;
    void tab_vis_dis() override;
    void setFileOpenLook() override;
    void setNoFileLook() override;
    void setCaption(const QString& title) override;
    void find_mma() override;
    void Load_Layout(const QString& valueName) override;
    void Save_Layout(const QString& valueName) override;
    void commitGridEdit() override;
    void clearSortMarks() override;
    void tableChanged() override;

    // Whether the window shows the no-file look (button-shadow colour).
    bool noFileLook() const { return m_noFileLook; }
    // The actions and buttons that need an open file, in the order they are switched.
    QList<QObject*> fileCommands() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Every handler runs through the one error guard.
    void run(const std::function<void()>& work);
    bool tableActive() const { return Dbf1.isOpen(); }
    void buildMenus();
    void buildToolBar();
    void reopen();

    Prompts& m_prompts;
    DataFileCommands m_commands;
    TForm2* m_form2 = nullptr;
    std::unique_ptr<QSettings> m_settings;
    quint32 m_lastColor = clBlack;
    bool m_noFileLook = true;
    bool m_closed = false;
};

} // namespace t7
