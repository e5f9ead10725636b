#include "output_ui/report_commands.h"

#include "common/error.h"
#include "common/guard.h"
#include "common/product.h"
#include "data/dbf/table.h"
#include "output/report/page_painter.h"
#include "output_ui/preview_window.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>
#include <QUrl>

#include <cmath>

namespace t7 {

namespace {

// The progress window of a preparation; its Отмена cancels.
class ProgressWindow : public report::ProgressSink
{
public:
    explicit ProgressWindow(QWidget* parent)
        : m_dialog(QStringLiteral("Подготовка отчета ..."), QStringLiteral("Отмена"), 0, 100,
                   parent)
    {
        m_dialog.setWindowTitle(QStringLiteral("Отчет"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(300);
    }
    bool progress(int pass, qint64 row, qint64 rows) override
    {
        const int percent = rows == 0 ? 100 : int(row * 100 / rows);
        m_dialog.setLabelText(
            pass == 1 ? QStringLiteral("Подсчет страниц: строка %1 из %2").arg(row).arg(rows)
                      : QStringLiteral("Подготовка страниц: строка %1 из %2").arg(row).arg(rows));
        m_dialog.setValue(pass == 1 ? percent / 2 : 50 + percent / 2);
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog m_dialog;
};

// The progress of an export; it cannot be cancelled, and it closes with its owner.
class ExportProgressWindow : public report::ExportProgress
{
public:
    explicit ExportProgressWindow(QWidget* parent) : m_dialog(parent)
    {
        m_dialog.setWindowTitle(QStringLiteral("Экспорт в Excel"));
        m_dialog.setCancelButton(nullptr);
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(300);
        m_dialog.setRange(0, 0);
    }
    void started() override { show(QStringLiteral("Подождите пожалуйста ...")); }
    void rowsSized(int row) override
    {
        show(QStringLiteral("Подготовка координат Y: %1").arg(row));
    }
    void columnsSized(int column) override
    {
        show(QStringLiteral("Подготовка координат X: %1").arg(column));
    }
    void objects(qint64 done, qint64 total, double secondsLeft) override
    {
        const qint64 left = qint64(std::ceil(secondsLeft));
        show(QStringLiteral("Объектов: %1 - Осталось: %2:%3")
                 .arg(done)
                 .arg(left / 60)
                 .arg(left % 60, 2, 10, QLatin1Char('0')));
        m_dialog.setRange(0, 1000);
        m_dialog.setValue(total == 0 ? 1000 : int(done * 1000 / total));
    }

private:
    void show(const QString& text)
    {
        m_dialog.setLabelText(text);
        QCoreApplication::processEvents();
    }
    QProgressDialog m_dialog;
};

} // namespace

ReportCommands::ReportCommands(QWidget* parent, dbf::Table& table, const bool& tableOpen,
                               Prompts& prompts)
    : m_parent(parent), m_table(table), m_tableOpen(tableOpen), m_prompts(prompts),
      m_system(systemPrinters()), m_printers(m_system.get())
{
    progressWindow = [this] { return std::make_unique<ProgressWindow>(m_parent); };
    exportProgressWindow = [this] { return std::make_unique<ExportProgressWindow>(m_parent); };
    openDocument = [](const QString& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
}

ReportCommands::~ReportCommands() = default;

bool ReportCommands::active() const
{
    return m_tableOpen && m_table.isOpen();
}

bool ReportCommands::prepare()
{
    m_pages.reset();
    report::PreparedReport pages;
    try {
        const std::unique_ptr<report::ProgressSink> sink = progressWindow();
        if (!report::prepareReport(report::measurementReport(), m_table, pages, sink.get()))
            return false;
    } catch (const Error& e) {
        m_prompts.message(e.text(), errorCaption(), Icon::Error);
        return false;
    }
    m_pages = std::move(pages);
    return true;
}

void ReportCommands::N8Click()
{
    if (!active() || !prepare())
        return;
    PreviewWindow preview(m_parent);
    // The preview's print button runs in the preview's own event loop: guarded there.
    preview.setReport(&*m_pages, [this] { guarded(m_prompts, [this] { printThroughDialog(); }); });
    preview.exec();
}

void ReportCommands::N9Click()
{
    if (!active() || !prepare())
        return;
    printThroughDialog();
}

void ReportCommands::N22Click()
{
    if (!active())
        return;
    // Nothing prepared yet, or the last preparation gave none: prepare now.
    if (!m_pages && !prepare())
        return;
    printThroughDialog();
}

void ReportCommands::exp2excel(const QString& folder)
{
    if (!active() || !prepare())
        return;
    FileDialogSpec spec;
    spec.filter = QStringLiteral("Книга Excel|*.xlsx|Текст CSV|*.csv");
    spec.defaultSuffix = QStringLiteral("xlsx");
    spec.folder = folder;
    spec.confirmOverwrite = true;
    const QString path = m_prompts.saveFileName(spec);
    if (path.isEmpty())
        return;
    try {
        if (path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
            report::exportCsv(report::measurementReport(), m_table, path);
        } else {
            const std::unique_ptr<report::ExportProgress> progress = exportProgressWindow();
            report::exportWorkbook(*m_pages, path, progress.get());
        }
    } catch (const Error& e) {
        m_prompts.message(e.text(), applicationTitle(), Icon::Error);
        return;
    }
    openDocument(path);
}

void ReportCommands::printThroughDialog()
{
    if (!m_pages || !m_printers->hasPrinter())
        return;
    QPrinter* printer = m_printers->choosePrinter(m_parent, int(m_pages->pages.size()));
    if (printer)
        print(*m_pages, *printer);
}

void ReportCommands::print(const report::PreparedReport& pages, QPrinter& printer)
{
    printer.setDocName(QStringLiteral("Untitled"));
    printer.setFullPage(true);
    printer.setPageOrientation(pages.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setPageSize(QPageSize(QPageSize::A4));
    const int count = int(pages.pages.size());
    const int from = printer.fromPage() > 0 ? printer.fromPage() : 1;
    const int to = printer.toPage() > 0 ? std::min(printer.toPage(), count) : count;
    QPainter painter;
    if (!painter.begin(&printer))
        throw Error(QStringLiteral("Принтер недоступен"));
    for (int page = from; page <= to; ++page) {
        if (page > from)
            printer.newPage();
        report::paintPage(painter, pages.pages[size_t(page - 1)], printer.resolution());
    }
    painter.end();
}

} // namespace t7
