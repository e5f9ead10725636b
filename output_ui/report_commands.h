#pragma once

#include "common/prompts.h"
#include "output/export/workbook_export.h"
#include "output/report/report_engine.h"
#include "output_ui/printer_provider.h"

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace t7 {

namespace dbf {
class Table;
}

// The report commands: preview, print, and print the pages as last prepared. Each acts only
// while a data file is open and its table active.
class ReportCommands
{
public:
    ReportCommands(QWidget* parent, dbf::Table& table, const bool& tableOpen, Prompts& prompts);
    ~ReportCommands();

    void N8Click();  // prepare, then the preview
    void N9Click();  // prepare, then print through the print dialog
    void N22Click(); // print the pages as last prepared
    // Prepares, asks for a file name in `folder`, writes the workbook (or the CSV text) and
    // shows it with the desktop's program for it.
    void exp2excel(const QString& folder);

    // The seams: where the pages are printed, and the progress shown while preparing.
    void setPrinters(PrinterProvider& printers) { m_printers = &printers; }
    // The printers the commands print on; the chart window prints on the same.
    PrinterProvider& printers() { return *m_printers; }
    std::function<std::unique_ptr<report::ProgressSink>()> progressWindow;
    std::function<std::unique_ptr<report::ExportProgress>()> exportProgressWindow;
    // Shows a written file with the desktop's program for it.
    std::function<void(const QString& path)> openDocument;

    // The pages of the last preparation; nothing after one that was cancelled or failed.
    const std::optional<report::PreparedReport>& lastPrepared() const { return m_pages; }
    // Prints the pages on this printer, the page range as the printer has it.
    static void print(const report::PreparedReport& pages, QPrinter& printer);

private:
    bool active() const;
    bool prepare();
    void printThroughDialog();

    QWidget* m_parent;
    dbf::Table& m_table;
    const bool& m_tableOpen;
    Prompts& m_prompts;
    std::unique_ptr<PrinterProvider> m_system;
    PrinterProvider* m_printers;
    std::optional<report::PreparedReport> m_pages;
};

} // namespace t7
