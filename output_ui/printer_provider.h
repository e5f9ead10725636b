#pragma once

#include <memory>

class QPrinter;
class QWidget;

namespace t7 {

// The printers of the system, as the print commands see them; tests give one that prints
// into a PDF file and shows no dialog.
class PrinterProvider
{
public:
    virtual ~PrinterProvider() = default;
    virtual bool hasPrinter() = 0;
    // The printer the print dialog set up (page range, copies, collation), or nothing when
    // the operator cancelled it.
    virtual QPrinter* choosePrinter(QWidget* parent, int pageCount) = 0;
    // The current printer, without a dialog.
    virtual QPrinter* currentPrinter() = 0;
};

// The real printers and Qt's print dialog.
std::unique_ptr<PrinterProvider> systemPrinters();

} // namespace t7
