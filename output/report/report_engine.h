#pragma once

#include "data/number_text.h"
#include "output/report/prepared_report.h"

#include <QFont>

#include <functional>

namespace t7::dbf {
class Table;
}

namespace t7::report {

// Told how far a preparation is; answers false to cancel it.
class ProgressSink
{
public:
    virtual ~ProgressSink() = default;
    // pass 1 counts the pages, pass 2 produces them; row of rows done.
    virtual bool progress(int pass, qint64 row, qint64 rows) = 0;
};

// The font of a text object as drawn and measured.
QFont fontOf(const FontSpec& spec);

// Measures text at one fixed reference resolution, whatever the screen or printer, so that
// every output breaks lines and pages alike. Sizes are in template units.
class TextMeasure
{
public:
    // A font as measured; it lives as long as the TextMeasure.
    struct Font;
    Font& font(const FontSpec& spec);

    double lineHeight(const FontSpec& font);
    double width(const FontSpec& font, const QString& text);
    // The lines a text takes in `width`, appended to `out` joined by '\n': broken at blanks,
    // a word longer than a line at its characters; explicit line breaks are kept. Returns
    // the number of lines.
    int wrap(Font& font, const QString& text, double width, QString& out);

private:
    std::vector<std::pair<FontSpec, std::shared_ptr<Font>>> m_fonts;
};

// Formats a field's text for a value format, as the printed report shows it.
QString formatValue(const QString& text, ValueFormat format,
                    const NumberReader& reader = NumberReader());

// Builds the pages of a report over the open table in its current order: two passes, the
// first counting the pages. Returns false, with no pages, when the sink cancelled. Throws
// t7::Error when an expression cannot be evaluated.
bool prepareReport(const ReportTemplate& report, const dbf::Table& table, PreparedReport& out,
                   ProgressSink* sink = nullptr);

// The report as a table: the texts of the page heading, then those of the data band for
// every row in the current order, formatted as printed but not wrapped.
void reportLines(const ReportTemplate& report, const dbf::Table& table,
                 const std::function<void(const QStringList&)>& line);

} // namespace t7::report
