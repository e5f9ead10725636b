#pragma once

#include "output/report/prepared_report.h"

class QPainter;
class QString;

namespace t7::report {

// Draws a prepared page with the painter's origin at the paper's top left corner, on a
// device of `dpi` dots per inch. Screen, printer and PDF all draw through here.
void paintPage(QPainter& painter, const PreparedPage& page, double dpi);

// Writes the pages as a PDF file with its fonts embedded, in place of `path` only once the
// whole file is written. Throws t7::Error when it cannot.
void writePdf(const PreparedReport& report, const QString& path);

} // namespace t7::report
