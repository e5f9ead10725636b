#include "ui/main.h"

#include "common/error.h"
#include "common/guard.h"
#include "common/product.h"
#include "common/settings.h"
#include "data/measurement.h"
#include "device/receive.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

// The images live in this static library; they must be registered before use.
static void initUiResources()
{
    Q_INIT_RESOURCE(ui);
}

namespace t7 {

namespace {

QAction* action(QObject* parent, const char* name, const QString& caption)
{
    auto* a = new QAction(caption, parent);
    a->setObjectName(QLatin1String(name));
    return a;
}

QAction* separator(QMenu* menu, const char* name)
{
    QAction* a = menu->addSeparator();
    a->setObjectName(QLatin1String(name));
    return a;
}

QIcon image(const char* name)
{
    return QIcon(QStringLiteral(":/images/") + QLatin1String(name));
}

} // namespace

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
    DBGridPro1 = new TDBGridPro(surface);
    DBGridPro1->setTable(&Dbf1);
    DBGridPro1->guard = [this](const std::function<void()>& work) { run(work); };
    layout->addWidget(DBGridPro1);
    setCentralWidget(surface);

    buildMenus();
    buildToolBar();

    DBGridPro1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGridPro1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu1->popup(DBGridPro1->viewport()->mapToGlobal(at));
    });
    connect(DBGridPro1, &TDBGridPro::SelectionChange, this,
            [this] { run([this] { DBGridPro1SelectionChange(); }); });
    connect(DBGridPro1, &TDBGridPro::TitleStateChange, this,
            [this](int column) { run([this, column] { DBGridPro1TitleStateChange(column); }); });
    connect(DBGridPro1, &TDBGridPro::InitEdit, this,
            [this] { run([this] { DBGridPro1InitEdit(); }); });
}

TForm1::~TForm1()
{
    DBGridPro1->setTable(nullptr);
}

void TForm1::run(const std::function<void()>& work)
{
    guarded(m_prompts, work);
}

void TForm1::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto connectTo = [this](QAction* a, void (TForm1::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };

    N1 = bar->addMenu(QStringLiteral("Файл"));
    N1->setObjectName(QStringLiteral("N1"));
    N2 = action(this, "N2", QStringLiteral("Создать"));
    N2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    N2->setIcon(image("new.png"));
    N3 = action(this, "N3", QStringLiteral("Открыть"));
    N3->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    N3->setIcon(image("open.png"));
    N4 = action(this, "N4", QStringLiteral("Дополнить"));
    N5 = action(this, "N5", QStringLiteral("Сохранить"));
    N5->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    N5->setIcon(image("save.png"));
    N7 = action(this, "N7", QStringLiteral("Закрыть"));
    N8 = action(this, "N8", QStringLiteral("Предварительный просмотр"));
    N8->setIcon(image("preview.png"));
    N9 = action(this, "N9", QStringLiteral("Печать"));
    N9->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    N9->setIcon(image("print.png"));
    N11 = action(this, "N11", QStringLiteral("Выход"));
    N1->addActions({N2, N3, N4, N5, N7});
    N6 = separator(N1, "N6");
    N1->addActions({N8, N9});
    N10 = separator(N1, "N10");
    N1->addAction(N11);
    connectTo(N2, &TForm1::N2Click);
    connectTo(N3, &TForm1::N3Click);
    connectTo(N4, &TForm1::N4Click);
    connectTo(N5, &TForm1::N5Click);
    connectTo(N7, &TForm1::N7Click);
    connectTo(N8, &TForm1::N8Click);
    connectTo(N9, &TForm1::N9Click);
    connectTo(N11, &TForm1::N11Click);

    N12 = bar->addMenu(QStringLiteral("Вид"));
    N12->setObjectName(QStringLiteral("N12"));
    N27 = action(this, "N27", QStringLiteral("Выровнять столбцы"));
    N29 = action(this, "N29", QStringLiteral("Задать цвет"));
    N30 = action(this, "N30", QStringLiteral("Убрать цвет"));
    N31 = action(this, "N31", QStringLiteral("Убрать все цвета"));
    N33 = action(this, "N33", QStringLiteral("Убрать сортировку"));
    N12->addAction(N27);
    N28 = separator(N12, "N28");
    N12->addActions({N29, N30, N31});
    N32 = separator(N12, "N32");
    N12->addAction(N33);
    connectTo(N27, &TForm1::N23Click);
    connectTo(N29, &TForm1::N17Click);
    connectTo(N30, &TForm1::N18Click);
    connectTo(N31, &TForm1::N19Click);
    connectTo(N33, &TForm1::N33Click);

    N13 = bar->addMenu(QStringLiteral("Правка"));
    N13->setObjectName(QStringLiteral("N13"));
    N34 = action(this, "N34", QStringLiteral("Удалить строки"));
    N34->setIcon(image("delete.png"));
    N13->addAction(N34);
    connectTo(N34, &TForm1::N21Click);

    N35 = bar->addMenu(QStringLiteral("Сервис"));
    N35->setObjectName(QStringLiteral("N35"));
    Excel1 = action(this, "Excel1", QStringLiteral("Экспорт в Excel"));
    N37 = action(this, "N37", QStringLiteral("Перенумеровать строки"));
    N36 = action(this, "N36", QStringLiteral("Построить график"));
    N36->setVisible(false);
    N35->addActions({Excel1, N37, N36});
    connectTo(Excel1, &TForm1::Excel1Click);
    connectTo(N37, &TForm1::N37Click);
    connectTo(N36, &TForm1::N15Click);

    N14 = bar->addMenu(QStringLiteral("Справка"));
    N14->setObjectName(QStringLiteral("N14"));
    N24 = action(this, "N24", QStringLiteral("Помощь"));
    N24->setShortcut(QKeySequence(Qt::Key_F1));
    N24->setIcon(image("help.png"));
    N26 = action(this, "N26", QStringLiteral("О программе"));
    N14->addAction(N24);
    N25 = separator(N14, "N25");
    N14->addAction(N26);
    connectTo(N24, &TForm1::N24Click);
    connectTo(N26, &TForm1::N26Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N15 = action(this, "N15", QStringLiteral("График"));
    N22 = action(this, "N22", QStringLiteral("Печать"));
    N17 = action(this, "N17", QStringLiteral("Задать цвет"));
    N18 = action(this, "N18", QStringLiteral("Убрать цвет"));
    N19 = action(this, "N19", QStringLiteral("Убрать все цвета"));
    N23 = action(this, "N23", QStringLiteral("Выровнять столбцы"));
    N21 = action(this, "N21", QStringLiteral("Удалить"));
    PopupMenu1->addActions({N15, N22});
    N16 = separator(PopupMenu1, "N16");
    PopupMenu1->addActions({N17, N18, N19});
    N38 = separator(PopupMenu1, "N38");
    PopupMenu1->addAction(N23);
    N20 = separator(PopupMenu1, "N20");
    PopupMenu1->addAction(N21);
    connectTo(N15, &TForm1::N15Click);
    connectTo(N22, &TForm1::N22Click);
    connectTo(N17, &TForm1::N17Click);
    connectTo(N18, &TForm1::N18Click);
    connectTo(N19, &TForm1::N19Click);
    connectTo(N23, &TForm1::N23Click);
    connectTo(N21, &TForm1::N21Click);
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
    auto button = [this](const char* name, const char* picture, void (TForm1::*handler)()) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QLatin1String(name));
        b->setIcon(image(picture));
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        ToolBar1->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
        return b;
    };
    ToolButton1 = button("ToolButton1", "new.png", &TForm1::N2Click);
    ToolButton2 = button("ToolButton2", "open.png", &TForm1::N3Click);
    ToolButton3 = button("ToolButton3", "save.png", &TForm1::N5Click);
    ToolButton4 = button("ToolButton4", "preview.png", &TForm1::N8Click);
    ToolButton5 = button("ToolButton5", "print.png", &TForm1::N9Click);
    ToolButton6 = button("ToolButton6", "help.png", &TForm1::ToolButton6Click);
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
}

void TForm1::DBGridPro1SelectionChange()
{
    const int t1 = DBGridPro1->columnIndex(QStringLiteral("T_1"));
    const int t2 = DBGridPro1->columnIndex(QStringLiteral("T_2"));
    const int n = DBGridPro1->selectedCount();
    if (n < 2 || !Dbf1.isOpen()) {
        DBGridPro1->setFooterText(t1, footerText(TableFigures.t1));
        DBGridPro1->setFooterText(t2, footerText(TableFigures.t2));
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
}

void TForm1::Save_Layout(const QString& valueName)
{
    std::vector<TgpColumn> list;
    for (const TgpColumn& column : DBGridPro1->Columns()) {
        TgpColumn stored;
        stored.FieldName = column.FieldName;
        stored.Width = column.Width;
        stored.LayoutLevel = column.LayoutLevel;
        stored.LayoutIndex = column.LayoutIndex;
        stored.TitleState = column.TitleState;
        stored.SortOrder = column.SortOrder;
        stored.Color = column.Color;
        stored.Alignment = column.Alignment;
        list.push_back(stored);
    }
    if (!m_settings)
        return;
    m_settings->setValue(valueName, writeLayoutText(list));
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw Error(QStringLiteral("Failed to set data for '%1'").arg(valueName));
}

void TForm1::Load_Layout(const QString& valueName)
{
    if (!m_settings)
        return;
    std::vector<TgpColumn> items;
    bool usable = m_settings->contains(valueName);
    if (usable) {
        try {
            items = readLayoutText(m_settings->value(valueName).toString());
        } catch (const Error&) {
            // A damaged layout is put aside: equal widths, stored afresh.
            usable = false;
        }
    }
    if (!usable) {
        Equal_Columns();
        Save_Layout(valueName);
        return;
    }
    for (const TgpColumn& item : items) {
        TgpColumn* column = DBGridPro1->columnByField(item.FieldName);
        if (!column)
            continue;
        column->Width = item.Width;
        column->LayoutLevel = item.LayoutLevel;
        column->LayoutIndex = item.LayoutIndex;
        column->TitleState = item.TitleState;
        column->SortOrder = item.SortOrder;
        column->Color = item.Color;
        column->Alignment = item.Alignment;
    }
    DBGridPro1->applyColumns();
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
        run([this] { FormClose(); });
    }
    event->accept();
}

void TForm1::N11Click()
{
    // Leaving runs the same steps as closing the window: no edit is dropped unasked.
    close();
}

// The report, its preview, the export and the charts come with their own windows.
void TForm1::N8Click() {}
void TForm1::N9Click() {}
void TForm1::N22Click() {}
void TForm1::Excel1Click() {}
void TForm1::N15Click() {}

void TForm1::N24Click()
{
    run([this] {
        if (showHelp)
            showHelp();
    });
}

void TForm1::ToolButton6Click()
{
    N24Click();
}

void TForm1::N26Click()
{
    run([this] {
        if (showAbout)
            showAbout();
    });
}

void TForm1::N17Click()
{
    run([this] {
        if (!tableActive())
            return;
        const int column = DBGridPro1->currentColumn();
        const std::optional<quint32> color = m_prompts.chooseColor(m_lastColor);
        if (!color)
            return;
        m_lastColor = *color;
        if (column < 0)
            return;
        DBGridPro1->Columns()[size_t(column)].Color = *color;
        DBGridPro1->applyColumns();
    });
}

void TForm1::N18Click()
{
    run([this] {
        const int column = DBGridPro1->currentColumn();
        if (!tableActive() || column < 0)
            return;
        DBGridPro1->Columns()[size_t(column)].Color = clNone;
        DBGridPro1->applyColumns();
    });
}

void TForm1::N19Click()
{
    run([this] {
        if (tableActive())
            Clear_Colors();
    });
}

void TForm1::Clear_Colors()
{
    for (TgpColumn& column : DBGridPro1->Columns())
        column.Color = clNone;
    DBGridPro1->applyColumns();
}

void TForm1::N23Click()
{
    run([this] {
        if (tableActive())
            Equal_Columns();
    });
}

void TForm1::Equal_Columns()
{
    DBGridPro1->setAutoColumnFit(false);
    const int width = std::max(2, DBGridPro1->width() / int(DBGridPro1->Columns().size()));
    for (TgpColumn& column : DBGridPro1->Columns())
        column.Width = width;
    DBGridPro1->applyColumns();
    DBGridPro1->setAutoColumnFit(true);
    DBGridPro1->viewport()->update();
}

void TForm1::DBGridPro1TitleStateChange(int column)
{
    const TgpColumn& c = DBGridPro1->Columns()[size_t(column)];
    try {
        Dbf1.selectTag(QString());
        Dbf1.dropTag(sortTagName());
        Dbf1.refresh();
    } catch (const std::exception&) {
        // Usually there was no tag yet.
    }
    if (c.TitleState == tsSortedNone) {
        m_commands.reset_sort(sortTagName());
        tab_vis_en();
        return;
    }
    try {
        // The first click shows the greatest key first.
        Dbf1.addTag(sortTagName(), c.FieldName, c.TitleState == tsSortedUp);
        Dbf1.selectTag(sortTagName());
        Dbf1.rebuildTags();
        Dbf1.refresh();
    } catch (...) {
        tableChanged();
        throw;
    }
    tableChanged();
    tab_vis_en();
}

void TForm1::N33Click()
{
    run([this] {
        m_commands.reset_sort(sortTagName());
        if (tableActive())
            tab_vis_en();
    });
}

void TForm1::N21Click()
{
    run([this] { Delete_Rows(); });
    run([this] {
        find_mma();
        DBGridPro1SelectionChange();
    });
}

void TForm1::reopen()
{
    Dbf1.close();
    Dbf1.open(measurementRequirements());
    tableChanged();
}

void TForm1::Delete_Rows()
{
    if (!tableActive())
        return;
    // An edit in progress is posted before its row may go; the selection is taken before
    // the sort goes, which shows the rows afresh.
    DBGridPro1->commitEdit();
    const std::vector<quint32> selected = DBGridPro1->selectedRecords();
    m_commands.reset_sort(sortTagName());
    DBGridPro1->deleteRows(selected);
    Dbf1.pack();
    reopen();
    m_commands.TableModified = false;
    tab_vis_en();
}

void TForm1::N37Click()
{
    run([this] { Renumber(); });
}

void TForm1::Renumber()
{
    if (!m_commands.TableOpen)
        return;
    if (Dbf1.isOpen()) {
        DBGridPro1->commitEdit();
        const std::vector<quint32> shown = Dbf1.order();
        if (shown.size() > 9999) {
            m_prompts.message(QStringLiteral("В таблице %1 строк: номер строки не может быть "
                                             "больше 9999. Строки не перенумерованы.")
                                  .arg(shown.size()),
                              errorCaption(), Icon::Error);
            return;
        }
        // The numbers follow the order shown when the command started.
        for (size_t i = 0; i < shown.size(); ++i) {
            Dbf1.editRecord(shown[i]);
            Dbf1.setInteger(u"N", int(i + 1));
            Dbf1.post();
        }
        Dbf1.first();
    }
    reopen();
    tab_vis_en();
}

void TForm1::DBGridPro1InitEdit()
{
    m_commands.TableModified = true;
}

} // namespace t7
