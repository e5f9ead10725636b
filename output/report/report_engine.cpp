#include "output/report/report_engine.h"

#include "common/error.h"
#include "data/dbf/table.h"
#include "data/number_text.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <functional>
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

struct TextMeasure::Font
{
    explicit Font(const FontSpec& spec) : metrics(fontOf(spec), &referenceDevice()) {}
    // Widths in dots. A report measures the same short values again and again (dates,
    // masses, and every text twice over its two passes): shaping each once is enough.
    double width(const QString& text)
    {
        if (text.size() > 24)
            return metrics.horizontalAdvance(text);
        auto found = widths.constFind(text);
        if (found == widths.constEnd())
            found = widths.insert(text, metrics.horizontalAdvance(text));
        return *found;
    }
    QFontMetricsF metrics;
    QHash<QString, double> widths;
};

TextMeasure::Font& TextMeasure::font(const FontSpec& spec)
{
    for (const auto& entry : m_fonts)
        if (entry.first == spec)
            return *entry.second;
    m_fonts.emplace_back(spec, std::make_shared<Font>(spec));
    return *m_fonts.back().second;
}

double TextMeasure::lineHeight(const FontSpec& font)
{
    return this->font(font).metrics.height() / kDotsPerUnit;
}

double TextMeasure::width(const FontSpec& font, const QString& text)
{
    return this->font(font).width(text) / kDotsPerUnit;
}

int TextMeasure::wrap(Font& measured, const QString& text, double width, QString& out)
{
    const double limit = width + 1e-9;
    const auto fits = [&](const QString& line) {
        return measured.width(line) / kDotsPerUnit <= limit;
    };
    // Most cells hold one short value: one measurement tells.
    if (!text.contains(QLatin1Char('\n')) && !text.startsWith(QLatin1Char(' ')) &&
        !text.endsWith(QLatin1Char(' ')) && !text.contains(QStringLiteral("  ")) && fits(text)) {
        out += text;
        return 1;
    }
    int count = 0;
    const auto addLine = [&](const QString& line) {
        if (count++ > 0)
            out += QLatin1Char('\n');
        out += line;
    };
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (fits(candidate)) {
                line = candidate;
                continue;
            }
            if (!line.isEmpty())
                addLine(line);
            line = word;
            // A word wider than the line is broken at its characters.
            while (line.size() > 1 && !fits(line)) {
                qsizetype taken = 1;
                while (taken + 1 < line.size() && fits(line.left(taken + 1)))
                    ++taken;
                addLine(line.left(taken));
                line = line.mid(taken);
            }
        }
        addLine(line);
    }
    return count;
}

QString formatValue(const QString& text, ValueFormat format, const NumberReader& reader)
{
    if (format == ValueFormat::Text)
        return text;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QString();
    const std::optional<double> value = reader.readLocaleThenComma(trimmed);
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

// A text object with its expressions read once: literal pieces, page numbers and fields.
struct CompiledObject
{
    struct Piece
    {
        enum Kind { Literal, Page, TotalPages, Field } kind = Literal;
        QString literal;
        int field = -1;
    };
    const TextObject* object = nullptr;
    const ObjectStyle* style = nullptr;
    std::vector<Piece> pieces;
    bool valueOnly = false; // one expression and nothing else: the value format applies
    double lineHeight = 0;
    TextMeasure::Font* font = nullptr;
};

struct CompiledBand
{
    const Band* band = nullptr;
    std::vector<CompiledObject> objects;
};

CompiledObject::Piece compileExpression(const QString& inner, const dbf::Table& table)
{
    using Piece = CompiledObject::Piece;
    if (inner == QLatin1String("PAGE#"))
        return {Piece::Page, {}, -1};
    if (inner == QLatin1String("TOTALPAGES"))
        return {Piece::TotalPages, {}, -1};
    static const QRegularExpression field(QStringLiteral("^Dbf1\\.\"([^\"]+)\"$"));
    const QRegularExpressionMatch match = field.match(inner);
    const int index = match.hasMatch() && table.isOpen() ? table.fieldIndex(match.captured(1)) : -1;
    if (index < 0)
        throw Error(QStringLiteral("Выражение [%1] не удалось вычислить").arg(inner));
    return {Piece::Field, {}, index};
}

// The template read once for one preparation: its styles and its objects' expressions.
class CompiledReport
{
public:
    CompiledReport(const ReportTemplate& report, const dbf::Table& table, TextMeasure& measure)
    {
        // Every style is in the table before any object points to it.
        auto styles = std::make_shared<std::vector<ObjectStyle>>();
        for (const Band& band : report.bands)
            for (const TextObject& object : band.objects) {
                const ObjectStyle style = styleOf(object);
                if (std::find(styles->begin(), styles->end(), style) == styles->end())
                    styles->push_back(style);
            }
        m_styles = styles;
        for (const Band& band : report.bands) {
            CompiledBand compiled{&band, {}};
            for (const TextObject& object : band.objects)
                compiled.objects.push_back(compile(object, table, measure));
            m_bands.push_back(std::move(compiled));
        }
    }

    const CompiledBand* band(BandKind kind) const
    {
        for (const CompiledBand& band : m_bands)
            if (band.band->kind == kind)
                return &band;
        return nullptr;
    }
    std::shared_ptr<const std::vector<ObjectStyle>> styles() const { return m_styles; }

private:
    static ObjectStyle styleOf(const TextObject& object)
    {
        return {object.font,     object.hAlign, object.vAlign, object.frame,
                object.wordWrap, object.gapX,   object.gapY,   object.lineSpacing};
    }

    CompiledObject compile(const TextObject& object, const dbf::Table& table,
                           TextMeasure& measure) const
    {
        static const QRegularExpression brackets(QStringLiteral("\\[([^\\]]*)\\]"));
        CompiledObject compiled;
        compiled.object = &object;
        compiled.style = &*std::find(m_styles->begin(), m_styles->end(), styleOf(object));
        compiled.lineHeight = measure.lineHeight(object.font);
        compiled.font = &measure.font(object.font);
        qsizetype at = 0;
        bool whole = false;
        for (auto it = brackets.globalMatch(object.text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            whole = match.capturedStart() == 0 && match.capturedEnd() == object.text.size();
            if (match.capturedStart() > at)
                compiled.pieces.push_back({CompiledObject::Piece::Literal,
                                           object.text.mid(at, match.capturedStart() - at), -1});
            compiled.pieces.push_back(compileExpression(match.captured(1), table));
            at = match.capturedEnd();
        }
        if (at < object.text.size())
            compiled.pieces.push_back({CompiledObject::Piece::Literal, object.text.mid(at), -1});
        compiled.valueOnly = whole;
        return compiled;
    }

    std::shared_ptr<const std::vector<ObjectStyle>> m_styles;
    std::vector<CompiledBand> m_bands;
};

// The text of an object for one record (-1: the table's current row), formatted.
QString evaluateText(const CompiledObject& object, const dbf::Table& table, qint64 record, int page,
                     int totalPages, const NumberReader& reader)
{
    QString text;
    for (const CompiledObject::Piece& piece : object.pieces) {
        switch (piece.kind) {
        case CompiledObject::Piece::Literal:
            text += piece.literal;
            break;
        case CompiledObject::Piece::Page:
            text += QString::number(page);
            break;
        case CompiledObject::Piece::TotalPages:
            text += QString::number(totalPages);
            break;
        case CompiledObject::Piece::Field:
            if (record >= 0)
                text += table.textOf(quint32(record), piece.field);
            else if (table.isOpen() && !table.eof())
                text += table.text(table.fields()[size_t(piece.field)].name);
            else
                throw Error(
                    QStringLiteral("Выражение [%1] не удалось вычислить").arg(object.object->text));
            break;
        }
    }
    return object.valueOnly ? formatValue(text, object.object->format, reader) : text;
}

// The record (0-based) whose row is being edited, -1 when none: it shows as edited, from
// the table's current row.
qint64 editedRecord(const dbf::Table& table)
{
    return table.state() == dbf::Table::State::Edit ? qint64(table.recNo()) - 1 : -1;
}

// One preparation pass over the table.
class Builder
{
public:
    Builder(const ReportTemplate& report, const CompiledReport& compiled, const dbf::Table& table,
            TextMeasure& measure)
        : m_report(report), m_compiled(compiled), m_table(table), m_measure(measure)
    {}

    int totalPages = 0;
    std::vector<PreparedPage> pages;

    bool run(int pass, ProgressSink* sink)
    {
        pages.clear();
        const double top = m_report.marginTop;
        const double footerHeight = bandHeight(BandKind::PageFooter);
        const double footerTop = m_report.pageHeightUnits() - m_report.marginBottom - footerHeight;
        const CompiledBand* data = m_compiled.band(BandKind::MasterData);

        startPage(top);
        place(BandKind::ReportTitle);
        place(BandKind::PageHeader);
        bool rowsOnPage = false;
        const std::vector<quint32>& order = m_table.order();
        const qint64 rows = qint64(order.size());
        const qint64 edited = editedRecord(m_table);
        if (data) {
            for (qint64 done = 0; done < rows; ++done) {
                if (sink && done % 128 == 0 && !sink->progress(pass, done, rows))
                    return false;
                const quint32 record = order[size_t(done)];
                m_record = qint64(record) == edited ? -1 : qint64(record);
                const double height = evaluate(*data);
                if (rowsOnPage && m_y + height > footerTop + 1e-9) {
                    // The row goes on the next page; its texts go with it.
                    pages.back().texts.truncate(m_bandTextStart);
                    m_band.clear();
                    endPage();
                    startPage(top);
                    place(BandKind::PageHeader);
                    evaluate(*data);
                }
                put(height);
                rowsOnPage = true;
            }
        }
        m_record = -1;
        endPage();
        if (sink && !sink->progress(pass, rows, rows))
            return false;
        return true;
    }

private:
    // An object of the band being placed: its text already in the page's texts.
    struct Pending
    {
        const CompiledObject* object;
        quint32 textStart, textLength;
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
        if (const CompiledBand* footer = m_compiled.band(BandKind::PageFooter)) {
            m_y = m_report.pageHeightUnits() - m_report.marginBottom - footer->band->height;
            put(evaluate(*footer));
        }
        // A long report holds many pages: none keeps more than it needs.
        pages.back().texts.squeeze();
        pages.back().objects.shrink_to_fit();
    }

    void place(BandKind kind)
    {
        if (const CompiledBand* band = m_compiled.band(kind))
            put(evaluate(*band));
    }

    // Evaluates a band into the current page's texts and returns its height; put() places it.
    double evaluate(const CompiledBand& band)
    {
        QString& texts = pages.back().texts;
        m_band.clear();
        m_bandTextStart = texts.size();
        m_bandHeight = band.band->height;
        double height = m_bandHeight;
        for (const CompiledObject& object : band.objects) {
            const TextObject& source = *object.object;
            const QString text =
                evaluateText(object, m_table, m_record, int(pages.size()), totalPages, m_reader);
            const auto start = quint32(texts.size());
            int lines = 1;
            if (source.wordWrap) {
                lines = m_measure.wrap(*object.font, text, source.width - 2 * source.gapX, texts);
            } else {
                texts += text;
                lines = int(text.count(QLatin1Char('\n'))) + 1;
            }
            m_band.push_back({&object, start, quint32(texts.size()) - start});
            if (source.stretch) {
                const double needed = double(lines) * object.lineHeight +
                                      double(lines - 1) * source.lineSpacing + 2 * source.gapY;
                height = std::max(height, needed);
            }
        }
        return height;
    }

    void put(double height)
    {
        PreparedPage& page = pages.back();
        for (const Pending& pending : m_band) {
            const TextObject& source = *pending.object->object;
            // The cells of one band stay of one height, so that their frames join.
            const double own = source.stretch ? height : m_bandHeight;
            page.objects.push_back({float(source.x), float(m_y), float(source.width), float(own),
                                    pending.textStart, pending.textLength, pending.object->style});
        }
        m_band.clear();
        m_y += height;
    }

    const ReportTemplate& m_report;
    const CompiledReport& m_compiled;
    const dbf::Table& m_table;
    TextMeasure& m_measure;
    NumberReader m_reader;
    std::vector<Pending> m_band;
    qint64 m_record = -1; // the record being placed; -1 for the current row
    qsizetype m_bandTextStart = 0;
    double m_bandHeight = 0;
    double m_y = 0;
};

} // namespace

bool prepareReport(const ReportTemplate& report, const dbf::Table& table, PreparedReport& out,
                   ProgressSink* sink)
{
    out = PreparedReport{};
    TextMeasure measure;
    const CompiledReport compiled(report, table, measure);
    Builder builder(report, compiled, table, measure);
    bool done = builder.run(1, sink);
    if (done) {
        builder.totalPages = int(builder.pages.size());
        done = builder.run(2, sink);
    }
    if (!done)
        return false;
    out.pageWidth = report.pageWidthUnits();
    out.pageHeight = report.pageHeightUnits();
    out.landscape = report.landscape;
    out.marginLeft = report.marginLeft;
    out.marginTop = report.marginTop;
    out.marginRight = report.marginRight;
    out.marginBottom = report.marginBottom;
    out.styles = compiled.styles();
    out.pages = std::move(builder.pages);
    return true;
}

void reportLines(const ReportTemplate& report, const dbf::Table& table,
                 const std::function<void(const QStringList&)>& line)
{
    TextMeasure measure;
    const CompiledReport compiled(report, table, measure);
    const NumberReader reader;
    const auto texts = [&](const CompiledBand& band, qint64 record) {
        QStringList values;
        for (const CompiledObject& object : band.objects)
            values.append(evaluateText(object, table, record, 1, 1, reader));
        return values;
    };
    if (const CompiledBand* header = compiled.band(BandKind::PageHeader))
        line(texts(*header, -1));
    const CompiledBand* data = compiled.band(BandKind::MasterData);
    if (!data)
        return;
    const qint64 edited = editedRecord(table);
    for (const quint32 record : table.order())
        line(texts(*data, qint64(record) == edited ? -1 : qint64(record)));
}

} // namespace t7::report
