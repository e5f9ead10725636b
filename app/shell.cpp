#include "app/shell.h"

#include "common/product.h"
#include "device/codec.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QTranslator>

static void initAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace t7 {

namespace {

Prompts& chosen(Prompts* given, std::unique_ptr<WidgetPrompts>& own)
{
    if (given)
        return *given;
    own = std::make_unique<WidgetPrompts>();
    return *own;
}

} // namespace

Shell::Shell(Prompts* prompts) : m_prompts(chosen(prompts, m_ownPrompts))
{
    initAppResources();
    setApplicationTitle(ProductTitle());
    const DeviceImage& image = theDeviceImage();
    m_form1 = std::make_unique<TForm1>(
        m_prompts,
        QByteArrayView(reinterpret_cast<const char*>(image.bytes.data()), kDeviceImageSize));
    if (m_ownPrompts)
        m_ownPrompts->setParent(m_form1.get());
    m_form1->FormCreate();
    m_form2 = std::make_unique<TForm2>(m_prompts, m_form1.get());
    m_form1->setReceiveWindow(m_form2.get());
    m_form3 = std::make_unique<TForm3>(m_form1->Dbf1, m_prompts, m_form1.get());
    m_form4 = std::make_unique<TForm4>(m_form1->Dbf1, m_prompts, m_form1.get());
    m_form3->setSelection(*m_form4);
    m_form3->setPrinters(m_form1->reports().printers());
    m_form1->setChartWindows(m_form4.get(), m_form3.get());
    // The splash lives only until start() is over.
    m_form5 = std::make_unique<TForm5>();
    m_form6 = std::make_unique<Tform6>(m_form1.get());
    m_form1->showHelp = [this] {
        HelpWindow& help = Help();
        help.open(m_form1->HelpFile);
        help.show();
        help.raise();
        help.activateWindow();
        help.finder()->setFocus();
    };
    m_form1->showAbout = [this] { m_form6->exec(); };
}

Shell::~Shell() = default;

HelpWindow& Shell::Help()
{
    if (!m_help)
        m_help = std::make_unique<HelpWindow>(m_form1.get());
    return *m_help;
}

void Shell::start()
{
    m_form5->exec();
    m_form5.reset();
    m_form1->showMaximized();
}

void Shell::loadTranslations()
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_ru", "qt_ru"}) {
        auto* translator = new QTranslator(qApp);
        if (translator->load(QLatin1String(name), folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}

} // namespace t7
