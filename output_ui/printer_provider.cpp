#include "output_ui/printer_provider.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace t7 {

namespace {

class SystemPrinters : public PrinterProvider
{
public:
    bool hasPrinter() override { return !QPrinterInfo::availablePrinterNames().isEmpty(); }
    QPrinter* choosePrinter(QWidget* parent, int pageCount) override
    {
        m_printer.setCopyCount(1);
        m_printer.setCollateCopies(true);
        m_printer.setPrintRange(QPrinter::AllPages);
        m_printer.setFromTo(0, 0);
        QPrintDialog dialog(&m_printer, parent);
        dialog.setMinMax(1, std::max(1, pageCount));
        return dialog.exec() == QDialog::Accepted ? &m_printer : nullptr;
    }
    QPrinter* currentPrinter() override { return &m_printer; }

private:
    QPrinter m_printer{QPrinter::HighResolution};
};

} // namespace

std::unique_ptr<PrinterProvider> systemPrinters()
{
    return std::make_unique<SystemPrinters>();
}

} // namespace t7
