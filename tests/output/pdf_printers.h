#pragma once

#include "output_ui/printer_provider.h"

#include <QPrinter>
#include <QString>

#include <memory>

namespace t7::test {

// Prints into a PDF file; no printer, no dialog.
class PdfPrinters : public PrinterProvider
{
public:
    explicit PdfPrinters(const QString& path) : m_path(path) {}
    int printed = 0;
    bool present = true;
    bool hasPrinter() override { return present; }
    QPrinter* choosePrinter(QWidget*, int) override
    {
        m_printer.reset();
        return currentPrinter();
    }
    QPrinter* currentPrinter() override
    {
        ++printed;
        if (!m_printer) {
            m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            m_printer->setOutputFormat(QPrinter::PdfFormat);
            m_printer->setOutputFileName(m_path);
        }
        return m_printer.get();
    }

private:
    QString m_path;
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace t7::test
