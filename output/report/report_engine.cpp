#include "output/report/report_engine.h"

#include "common/error.h"
#include "data/dbf/table.h"
#include "data/number_text.h"

#include <QFontMetricsF>
#include <QImage>
#include <QRegularExpression>

#include <cmath>
#include <memory>

namespace t7::report {

namespace {

// The reference resolution: ten dots a template unit.
constexpr double kDotsPerUnit = 10;

const QImage& referenceDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        const int dotsPerMeter = int(std::lround(kUnitsPerInch * kDotsPerUnit / 0.0254));
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return device;
}

} // namespace

QFont fontOf(const FontSpec& spec)
{
    QFont font(spec.family);
    font.setPointSizeF(spec.pointSize);
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    // Outlines as they are, so that widths do not depend on the device's pixel grid.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

struct TextMeasure::Cached
{
    explicit Cached(const FontSpec& spec) : metrics(fontOf(spec), &referenceDevice()) {}
    QFontMetricsF metrics;
};

const TextMeasure::Cached& TextMeasure::cached(const FontSpec& font)
{
    for (const auto& entry : m_fonts)
        if (entry.first == font)
            return *entry.second;
    m_fonts.emplace_back(font, std::make_shared<Cached>(font));
    return *m_fonts.back().second;
}

double TextMeasure::lineHeight(const FontSpec& font)
{
    return cached(font).metrics.height() / kDotsPerUnit;
}

double TextMeasure::width(const FontSpec& font, const QString& text)
{
    return cached(font).metrics.horizontalAdvance(text) / kDotsPerUnit;
}

QStringList TextMeasure::wrap(const FontSpec& font, const QString& text, double width)
{
    const double limit = width + 1e-9;
    // Most cells hold one short value: one measurement tells.
    if (!text.contains(QLatin1Char('\n')) && !text.startsWith(QLatin1Char(' ')) &&
        !text.endsWith(QLatin1Char(' ')) && !text.contains(QStringLiteral("  ")) &&
        this->width(font, text) <= limit)
        return {text};
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (this->width(font, candidate) <= limit) {
                line = candidate;
                continue;
            }
            if (!line.isEmpty())
                lines.append(line);
            line = word;
            // A word wider than the line is broken at its characters.
            while (line.size() > 1 && this->width(font, line) > limit) {
                qsizetype fits = 1;
                while (fits + 1 < line.size() && this->width(font, line.left(fits + 1)) <= limit)
                    ++fits;
                lines.append(line.left(fits));
                line = line.mid(fits);
            }
        }
        lines.append(line);
    }
    return lines;
}

QString formatValue(const QString& text, ValueFormat format)
{
    if (format == ValueFormat::Text)
        return text;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QString();
    const std::optional<double> value = NumberReader().readLocaleThenComma(trimmed);
    if (!value)
        return text;
    if (format == ValueFormat::General) {
        QString general = QString::number(*value, 'g', 15);
        general.replace(QLatin1Char('.'), QLatin1Char(','));
        return general;
    }
    // Halves away from zero; -0 prints as 0.
    return QString::number(qint64(std::round(*value)));
}

namespace {

// One preparation pass over the table.
class Builder
{
public:
    Builder(const ReportTemplate& report, dbf::Table& table, TextMeasure& measure)
        : m_report(report), m_table(table), m_measure(measure)
    {}

    int totalPages = 0;
    std::vector<PreparedPage> pages;

    bool run(int pass, ProgressSink* sink)
    {
        pages.clear();
        const double top = m_report.marginTop;
        const double footerHeight = bandHeight(BandKind::PageFooter);
        const double footerTop = m_report.pageHeightUnits() - m_report.marginBottom - footerHeight;
        const Band* data = m_report.band(BandKind::MasterData);

        startPage(top);
        place(BandKind::ReportTitle);
        place(BandKind::PageHeader);
        bool rowsOnPage = false;
        const qint64 rows = m_table.visibleCount();
        qint64 done = 0;
        if (data && rows > 0) {
            for (m_table.first(); !m_table.eof(); m_table.next()) {
                if (sink && done % 128 == 0 && !sink->progress(pass, done, rows))
                    return false;
                Placed band = evaluate(*data);
                if (rowsOnPage && m_y + band.height > footerTop + 1e-9) {
                    endPage();
                    startPage(top);
                    place(BandKind::PageHeader);
                }
                put(band);
                rowsOnPage = true;
                ++done;
            }
        }
        endPage();
        if (sink && !sink->progress(pass, rows, rows))
            return false;
        return true;
    }

private:
    struct Placed
    {
        double height = 0;
        std::vector<PreparedObject> objects; // y relative to the band
    };

    double bandHeight(BandKind kind) const
    {
        const Band* band = m_report.band(kind);
        return band ? band->height : 0;
    }

    void startPage(double top)
    {
        pages.emplace_back();
        m_y = top;
    }

    void endPage()
    {
        const Band* footer = m_report.band(BandKind::PageFooter);
        if (!footer)
            return;
        m_y = m_report.pageHeightUnits() - m_report.marginBottom - footer->height;
        put(evaluate(*footer));
    }

    void place(BandKind kind)
    {
        if (const Band* band = m_report.band(kind))
            put(evaluate(*band));
    }

    void put(Placed band)
    {
        for (PreparedObject& object : band.objects) {
            object.rect.translate(0, m_y);
            pages.back().objects.push_back(std::move(object));
        }
        m_y += band.height;
    }

    QString expression(const QString& inner) const
    {
        if (inner == QLatin1String("PAGE#"))
            return QString::number(pages.size());
        if (inner == QLatin1String("TOTALPAGES"))
            return QString::number(totalPages);
        static const QRegularExpression field(QStringLiteral("^Dbf1\\.\"([^\"]+)\"$"));
        const QRegularExpressionMatch match = field.match(inner);
        if (match.hasMatch() && m_table.isOpen() && !m_table.eof())
            return m_table.text(match.captured(1));
        throw Error(QStringLiteral("Выражение [%1] не удалось вычислить").arg(inner));
    }

    QString evaluateText(const TextObject& object) const
    {
        static const QRegularExpression brackets(QStringLiteral("\\[([^\\]]*)\\]"));
        QString text;
        qsizetype at = 0;
        bool fieldOnly = true;
        for (auto it = brackets.globalMatch(object.text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            if (match.capturedStart() != 0 || match.capturedEnd() != object.text.size())
                fieldOnly = false;
            text += object.text.mid(at, match.capturedStart() - at);
            text += expression(match.captured(1));
            at = match.capturedEnd();
        }
        text += object.text.mid(at);
        // The value format applies to a text that is one expression, as a value cell holds.
        return fieldOnly && at > 0 ? formatValue(text, object.format) : text;
    }

    Placed evaluate(const Band& band) const
    {
        Placed placed;
        placed.height = band.height;
        placed.objects.reserve(band.objects.size());
        for (const TextObject& object : band.objects) {
            PreparedObject prepared;
            const QString text = evaluateText(object);
            prepared.lines = object.wordWrap
                                 ? m_measure.wrap(object.font, text, object.width - 2 * object.gapX)
                                 : text.split(QLatin1Char('\n'));
            prepared.font = object.font;
            prepared.hAlign = object.hAlign;
            prepared.vAlign = object.vAlign;
            prepared.frame = object.frame;
            prepared.wordWrap = object.wordWrap;
            prepared.gapX = object.gapX;
            prepared.gapY = object.gapY;
            prepared.lineSpacing = object.lineSpacing;
            prepared.rect = QRectF(object.x, 0, object.width, band.height);
            if (object.stretch) {
                const qsizetype n = prepared.lines.size();
                const double needed = double(n) * m_measure.lineHeight(object.font) +
                                      double(n - 1) * object.lineSpacing + 2 * object.gapY;
                placed.height = std::max(placed.height, needed);
            }
            placed.objects.push_back(std::move(prepared));
        }
        // The cells of one band stay of one height, so that their frames join.
        for (size_t i = 0; i < band.objects.size(); ++i)
            if (band.objects[i].stretch)
                placed.objects[i].rect.setHeight(placed.height);
        return placed;
    }

    const ReportTemplate& m_report;
    dbf::Table& m_table;
    TextMeasure& m_measure;
    double m_y = 0;
};

} // namespace

bool prepareReport(const ReportTemplate& report, dbf::Table& table, PreparedReport& out,
                   ProgressSink* sink)
{
    out = PreparedReport{};
    const qint64 position = table.position();
    TextMeasure measure;
    Builder builder(report, table, measure);
    bool done = builder.run(1, sink);
    if (done) {
        builder.totalPages = int(builder.pages.size());
        done = builder.run(2, sink);
    }
    if (position >= 0)
        table.goToPosition(position);
    if (!done)
        return false;
    out.pageWidth = report.pageWidthUnits();
    out.pageHeight = report.pageHeightUnits();
    out.landscape = report.landscape;
    out.marginLeft = report.marginLeft;
    out.marginTop = report.marginTop;
    out.marginRight = report.marginRight;
    out.marginBottom = report.marginBottom;
    out.pages = std::move(builder.pages);
    return true;
}

} // namespace t7::report
