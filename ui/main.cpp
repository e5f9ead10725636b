#include "ui/main.h"

#include "output_ui/graf.h"
#include "output_ui/param_graf.h"

#include "common/error.h"
#include "common/guard.h"
#include "common/product.h"
#include "common/settings.h"
#include "data/measurement.h"
#include "device/ports_dialog.h"
#include "device/receive.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScopeGuard>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

// The images live in this static library; they must be registered before use.
static void initUiResources()
{
    Q_INIT_RESOURCE(ui);
}

namespace t7 {

namespace {

using Handler = void (TForm1::*)();

// One item of a menu: an action, or a separator where there is no caption.
struct MenuItem
{
    QAction* TForm1::*member;
    const char* name;
    const char16_t* caption = nullptr;
    Handler handler = nullptr;
    QKeyCombination shortcut = {};
    const char* image = nullptr;
};

struct MenuSpec
{
    QMenu* TForm1::*member;
    const char* name;
    const char16_t* caption; // none for the popup menu
    std::vector<MenuItem> items;
};

struct ButtonSpec
{
    QToolButton* TForm1::*member;
    const char* name;
    const char* image;
    Handler handler;
};

// The menu bar's menus, then the grid's popup menu.
const std::vector<MenuSpec>& menuSpecs()
{
    static const std::vector<MenuSpec> specs = {
        {&TForm1::N1,
         "N1",
         u"Файл",
         {{&TForm1::N2, "N2", u"Создать", &TForm1::N2Click, Qt::CTRL | Qt::Key_N, "new.png"},
          {&TForm1::N3, "N3", u"Открыть", &TForm1::N3Click, Qt::CTRL | Qt::Key_O, "open.png"},
          {&TForm1::N4, "N4", u"Дополнить", &TForm1::N4Click},
          {&TForm1::N5, "N5", u"Сохранить", &TForm1::N5Click, Qt::CTRL | Qt::Key_S, "save.png"},
          {&TForm1::N7, "N7", u"Закрыть", &TForm1::N7Click},
          {&TForm1::N6, "N6"},
          {&TForm1::N8, "N8", u"Предварительный просмотр", &TForm1::N8Click, {}, "preview.png"},
          {&TForm1::N9, "N9", u"Печать", &TForm1::N9Click, Qt::CTRL | Qt::Key_P, "print.png"},
          {&TForm1::N10, "N10"},
          {&TForm1::N11, "N11", u"Выход", &TForm1::N11Click}}},
        {&TForm1::N12,
         "N12",
         u"Вид",
         {{&TForm1::N27, "N27", u"Выровнять столбцы", &TForm1::N23Click},
          {&TForm1::N28, "N28"},
          {&TForm1::N29, "N29", u"Задать цвет", &TForm1::N17Click},
          {&TForm1::N30, "N30", u"Убрать цвет", &TForm1::N18Click},
          {&TForm1::N31, "N31", u"Убрать все цвета", &TForm1::N19Click},
          {&TForm1::N32, "N32"},
          {&TForm1::N33, "N33", u"Убрать сортировку", &TForm1::N33Click}}},
        {&TForm1::N13,
         "N13",
         u"Правка",
         {{&TForm1::N34, "N34", u"Удалить строки", &TForm1::N21Click, {}, "delete.png"}}},
        {&TForm1::N35,
         "N35",
         u"Сервис",
         {{&TForm1::Excel1, "Excel1", u"Экспорт в Excel", &TForm1::Excel1Click},
          {&TForm1::N37, "N37", u"Перенумеровать строки", &TForm1::N37Click},
          {&TForm1::N36, "N36", u"Построить график", &TForm1::N15Click},
          {&TForm1::Ports1, "Ports1", u"Порты…", &TForm1::Ports1Click}}},
        {&TForm1::N14,
         "N14",
         u"Справка",
         {{&TForm1::N24, "N24", u"Помощь", &TForm1::N24Click, QKeyCombination(Qt::Key_F1),
           "help.png"},
          {&TForm1::N25, "N25"},
          {&TForm1::N26, "N26", u"О программе", &TForm1::N26Click}}},
        {&TForm1::PopupMenu1,
         "PopupMenu1",
         nullptr,
         {{&TForm1::N15, "N15", u"График", &TForm1::N15Click},
          {&TForm1::N22, "N22", u"Печать", &TForm1::N22Click},
          {&TForm1::N16, "N16"},
          {&TForm1::N17, "N17", u"Задать цвет", &TForm1::N17Click},
          {&TForm1::N18, "N18", u"Убрать цвет", &TForm1::N18Click},
          {&TForm1::N19, "N19", u"Убрать все цвета", &TForm1::N19Click},
          {&TForm1::N38, "N38"},
          {&TForm1::N23, "N23", u"Выровнять столбцы", &TForm1::N23Click},
          {&TForm1::N20, "N20"},
          {&TForm1::N21, "N21", u"Удалить", &TForm1::N21Click}}},
    };
    return specs;
}

const std::vector<ButtonSpec>& buttonSpecs()
{
    static const std::vector<ButtonSpec> specs = {
        {&TForm1::ToolButton1, "ToolButton1", "new.png", &TForm1::N2Click},
        {&TForm1::ToolButton2, "ToolButton2", "open.png", &TForm1::N3Click},
        {&TForm1::ToolButton3, "ToolButton3", "save.png", &TForm1::N5Click},
        {&TForm1::ToolButton4, "ToolButton4", "preview.png", &TForm1::N8Click},
        {&TForm1::ToolButton5, "ToolButton5", "print.png", &TForm1::N9Click},
        {&TForm1::ToolButton6, "ToolButton6", "help.png", &TForm1::ToolButton6Click},
    };
    return specs;
}

QIcon image(const char* name)
{
    return QIcon(QStringLiteral(":/images/") + QLatin1String(name));
}

} // namespace

template <typename Sender, typename Signal>
void TForm1::connectHandler(Sender* sender, Signal signal, Handler handler)
{
    connect(sender, signal, this,
            [this, handler] { guarded(m_prompts, [this, handler] { (this->*handler)(); }); });
}

TForm1::TForm1(Prompts& prompts, QByteArrayView deviceImage, QWidget* parent)
    : QMainWindow(parent), m_prompts(prompts), m_commands(*this, Dbf1, deviceImage)
{
    initUiResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ProductTitle());
    resize(703, 501);

    auto* surface = new QWidget(this);
    surface->setObjectName(QStringLiteral("surface"));
    surface->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(surface);
    layout->setContentsMargins(0, 3, 0, 0);
    DBGridPro1 = new TDBGridPro(measurementGridColumns(), m_prompts, surface);
    DBGridPro1->setTable(&Dbf1);
    layout->addWidget(DBGridPro1);
    setCentralWidget(surface);
    m_rows = std::make_unique<RowCommands>(*DBGridPro1, Dbf1, m_commands, *this, m_prompts);
    m_reports = std::make_unique<ReportCommands>(this, Dbf1, m_commands.TableOpen, m_prompts);

    buildMenus();
    buildToolBar();

    DBGridPro1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGridPro1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu1->popup(DBGridPro1->viewport()->mapToGlobal(at));
    });
    StatusFigures = new QLabel(this);
    StatusFigures->setObjectName(QStringLiteral("StatusFigures"));
    statusBar()->addPermanentWidget(StatusFigures);
    setAcceptDrops(true);
    connectHandler(DBGridPro1, &TDBGridPro::SelectionChange, &TForm1::DBGridPro1SelectionChange);
    connectHandler(DBGridPro1, &TDBGridPro::InitEdit, &TForm1::DBGridPro1InitEdit);
    connect(DBGridPro1, &TDBGridPro::TitleStateChange, this, [this](int column) {
        guarded(m_prompts, [this, column] { DBGridPro1TitleStateChange(column); });
    });
}

TForm1::~TForm1()
{
    DBGridPro1->setTable(nullptr);
}

void TForm1::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    for (const MenuSpec& spec : menuSpecs()) {
        QMenu* menu =
            spec.caption ? bar->addMenu(QString::fromUtf16(spec.caption)) : new QMenu(this);
        menu->setObjectName(QLatin1String(spec.name));
        this->*spec.member = menu;
        for (const MenuItem& item : spec.items) {
            QAction* action = nullptr;
            if (!item.caption) {
                action = menu->addSeparator();
            } else {
                action = new QAction(QString::fromUtf16(item.caption), this);
                if (item.shortcut != QKeyCombination())
                    action->setShortcut(QKeySequence(item.shortcut));
                if (item.image)
                    action->setIcon(image(item.image));
                menu->addAction(action);
                connectHandler(action, &QAction::triggered, item.handler);
            }
            action->setObjectName(QLatin1String(item.name));
            this->*item.member = action;
        }
    }
    N36->setVisible(false);
}

void TForm1::buildToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(29);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->toggleViewAction()->setEnabled(false);
    for (const ButtonSpec& spec : buttonSpecs()) {
        auto* button = new QToolButton(ToolBar1);
        button->setObjectName(QLatin1String(spec.name));
        button->setIcon(image(spec.image));
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        ToolBar1->addWidget(button);
        connectHandler(button, &QToolButton::clicked, spec.handler);
        this->*spec.member = button;
    }
}

QList<QObject*> TForm1::fileCommands() const
{
    return {N4,  N5,  N7,  N8,  N9,     N27,         N29,         N30,        N31,
            N33, N34, N36, N37, Excel1, ToolButton3, ToolButton4, ToolButton5};
}

void TForm1::enable_button()
{
    for (QObject* command : fileCommands())
        command->setProperty("enabled", true);
}

void TForm1::disable_button()
{
    for (QObject* command : fileCommands())
        command->setProperty("enabled", false);
}

void TForm1::tab_vis_en()
{
    if (!Dbf1.isOpen())
        return;
    Dbf1.first();
    DBGridPro1->show();
    if (DBGridPro1->model()->rowCount() > 0) {
        int column = 0;
        while (column < int(DBGridPro1->Columns().size()) &&
               !DBGridPro1->Columns()[size_t(column)].Visible)
            ++column;
        DBGridPro1->setCurrentIndex(DBGridPro1->model()->index(0, column));
    }
    DBGridPro1->scrollToTop();
}

void TForm1::tab_vis_dis()
{
    DBGridPro1->hide();
}

void TForm1::showFileOpen(const QString& layoutValueName)
{
    setFileOpenLook();
    enable_button();
    tab_vis_en();
    Load_Layout(layoutValueName);
}

void TForm1::showNoFile()
{
    disable_button();
    tab_vis_dis();
    StatusFigures->clear();
    setCaption(ProductTitle());
    setNoFileLook();
}

void TForm1::setFileOpenLook()
{
    m_noFileLook = false;
    QPalette colors = centralWidget()->palette();
    colors.setColor(QPalette::Window, palette().color(QPalette::Button));
    centralWidget()->setPalette(colors);
}

void TForm1::setNoFileLook()
{
    m_noFileLook = true;
    QPalette colors = centralWidget()->palette();
    colors.setColor(QPalette::Window, palette().color(QPalette::Dark));
    centralWidget()->setPalette(colors);
}

void TForm1::setCaption(const QString& title)
{
    setApplicationTitle(title);
    setWindowTitle(title);
}

int TForm1::showReceiveWindow()
{
    return m_form2 ? m_form2->exec() : 2;
}

void TForm1::commitGridEdit()
{
    DBGridPro1->commitEdit();
}

void TForm1::clearSortMarks()
{
    for (int column = 0; column < int(DBGridPro1->Columns().size()); ++column)
        DBGridPro1->setTitleState(column, tsSortedNone);
}

void TForm1::tableChanged()
{
    DBGridPro1->reload();
}

// The figures of the whole table, shown in the footers while fewer than two rows are
// selected. Texts that are not numbers (edited by hand) are left out here.
void TForm1::find_mma()
{
    TableFigures = FigurePair{};
    if (!Dbf1.isOpen())
        return;
    const auto decode = [this](QByteArrayView bytes) { return Dbf1.decode(bytes); };
    for (auto [name, target] : {std::pair{QStringLiteral("T_1"), &TableFigures.t1},
                                std::pair{QStringLiteral("T_2"), &TableFigures.t2}}) {
        const int field = Dbf1.fieldIndex(name);
        *target = storedFigures(
            [this, field](const auto& read) {
                for (quint32 record : Dbf1.order())
                    read(Dbf1.rawOf(record, field));
            },
            decode, true);
    }
    // The footers show the new figures at once, whatever the selection does next.
    DBGridPro1SelectionChange();
}

void TForm1::DBGridPro1SelectionChange()
{
    const int t1 = DBGridPro1->columnIndex(QStringLiteral("T_1"));
    const int t2 = DBGridPro1->columnIndex(QStringLiteral("T_2"));
    const int n = DBGridPro1->selectedCount();
    if (n < 2 || !Dbf1.isOpen()) {
        DBGridPro1->setFooterText(t1, footerText(TableFigures.t1));
        DBGridPro1->setFooterText(t2, footerText(TableFigures.t2));
        showFigures(TableFigures.t1, TableFigures.t2, 0);
        return;
    }
    const auto decode = [this](QByteArrayView bytes) { return Dbf1.decode(bytes); };
    t7::Figures results[2];
    for (int element = 0; element < 2; ++element)
        results[element] = storedFigures(
            [this, element](const auto& read) { DBGridPro1->forEachKept(element, read); }, decode,
            false);
    DBGridPro1->setFooterText(t1, footerText(results[0]));
    DBGridPro1->setFooterText(t2, footerText(results[1]));
    showFigures(results[0], results[1], n);
}

// "Строк: 230 | А2: n 230, среднее …" for the whole table, or "Выделено строк: 2 | …" for
// the marked rows.
void TForm1::showFigures(const Figures& t1, const Figures& t2, int selected)
{
    if (!Dbf1.isOpen() || !m_commands.TableOpen) {
        StatusFigures->clear();
        return;
    }
    const QString rows =
        selected > 1
            ? QStringLiteral("Выделено строк: %1 из %2").arg(selected).arg(Dbf1.visibleCount())
            : QStringLiteral("Строк: %1").arg(Dbf1.visibleCount());
    StatusFigures->setText(rows + QStringLiteral("  |  А2: ") + protocolText(t1) +
                           QStringLiteral("  |  dt: ") + protocolText(t2));
}

void TForm1::showStatus(const QString& text)
{
    statusBar()->showMessage(text, 15000);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile() &&
        urls.first().toLocalFile().endsWith(QStringLiteral(".db"), Qt::CaseInsensitive))
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    const QString path = event->mimeData()->urls().value(0).toLocalFile();
    event->acceptProposedAction();
    guarded(m_prompts, [this, path] { m_commands.openChosen(path); });
}

void TForm1::Save_Layout(const QString& valueName)
{
    if (!m_settings)
        return;
    m_settings->setValue(valueName, DBGridPro1->layoutText());
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw Error(QStringLiteral("Failed to set data for '%1'").arg(valueName));
}

void TForm1::Load_Layout(const QString& valueName)
{
    if (!m_settings)
        return;
    if (m_settings->contains(valueName)) {
        try {
            DBGridPro1->applyLayoutText(m_settings->value(valueName).toString());
            return;
        } catch (const Error&) {
            // A damaged layout is put aside: equal widths, stored afresh.
        }
    }
    m_rows->Equal_Columns();
    Save_Layout(valueName);
}

void TForm1::FormCreate()
{
    setWindowState(windowState() | Qt::WindowMaximized);
    setNoFileLook();
    DBGridPro1->hide();

    const QString help =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vardo.hlp"));
    if (QFileInfo::exists(help))
        HelpFile = help;

    m_settings = openSettings();
    m_settings->sync();
    const bool writable = m_settings->isWritable() && m_settings->status() == QSettings::NoError;
    if (!writable)
        m_prompts.message(
            generalErrorText(QStringLiteral("Failed to create key %1").arg(settingsKeyPath())),
            applicationTitle(), Icon::Error);
    if (m_settings->contains(QStringLiteral("Default_dir"))) {
        m_commands.WorkingFolder = m_settings->value(QStringLiteral("Default_dir")).toString();
    } else {
        m_commands.WorkingFolder = QDir::toNativeSeparators(QDir::currentPath());
        if (writable) {
            m_settings->setValue(QStringLiteral("Default_dir"), m_commands.WorkingFolder);
            m_settings->sync();
        }
    }
    m_commands.DialogFolder = m_commands.WorkingFolder;

    Dbf1.close();
    m_commands.TableOpen = false;
    DBGridPro1->setBookmarkFields(QStringLiteral("T_1;T_2;T_3;DATE;TIME"));
    m_commands.reset_sort(sortTagName());
    disable_button();
    tab_vis_dis();
}

void TForm1::FormClose()
{
    if (m_settings) {
        m_settings->setValue(QStringLiteral("Default_dir"), m_commands.WorkingFolder);
        m_settings->sync();
    }
    m_commands.Close_DB();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // The window closes whatever happens on the way.
    if (!m_closed) {
        m_closed = true;
        guarded(m_prompts, [this] { FormClose(); });
    }
    event->accept();
}

// The export and the charts come with their own windows.
void TForm1::Ports1Click()
{
    PortsDialog dialog(this);
    dialog.load(serialDevices());
    if (dialog.exec() == QDialog::Accepted)
        dialog.save();
}

void TForm1::Excel1Click()
{
    m_reports->exp2excel(m_commands.DialogFolder);
}
void TForm1::N15Click()
{
    if (!m_form4 || !m_form3)
        return;
    DBGridPro1->commitEdit(); // the chart reads the table, a cell being edited included
    // The grid follows the table, which the selection leaves on its last row and the chart
    // on its first, also when the chart could not be built.
    const auto follow = qScopeGuard([this] { DBGridPro1->followTable(); });
    if (m_form4->exec() == QDialog::Accepted)
        m_form3->showChart();
}

void TForm1::N24Click()
{
    if (showHelp)
        showHelp();
}

void TForm1::N26Click()
{
    if (showAbout)
        showAbout();
}

void TForm1::N21Click()
{
    // The figures follow what is left, whether the delete went through or not.
    auto refigure = qScopeGuard([this] {
        find_mma();
        DBGridPro1SelectionChange();
    });
    m_rows->Delete_Rows();
}

} // namespace t7
