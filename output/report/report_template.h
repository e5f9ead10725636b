#pragma once

#include <QString>

#include <vector>

namespace t7::report {

// Positions and sizes are in template units of 1/91.6256 inch.
constexpr double kUnitsPerInch = 91.6256;

enum class ValueFormat {
    Text,        // the text as it is
    WholeNumber, // pattern "0": rounded to a whole number
    Fixed0,      // fixed, no decimals: rounded to a whole number
    General,     // shortest form, up to 15 significant digits
};

struct FontSpec
{
    QString family = QStringLiteral("Arial");
    double pointSize = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const FontSpec&) const = default;
};

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Center, Bottom };

// A framed text object of a band. Its text may hold expressions in square brackets:
// [Dbf1."FIELD"], [PAGE#] and [TOTALPAGES].
struct TextObject
{
    QString name;
    double x = 0; // from the left edge of the paper
    double width = 0;
    QString text;
    FontSpec font;
    HAlign hAlign = HAlign::Center;
    VAlign vAlign = VAlign::Center;
    bool frame = false; // all four sides, 1 unit, solid black
    bool wordWrap = true;
    bool stretch = true; // takes the band's height when the band grows
    double gapX = 2, gapY = 1;
    double lineSpacing = 2;
    ValueFormat format = ValueFormat::Text;
};

enum class BandKind { ReportTitle, PageHeader, MasterData, PageFooter };

struct Band
{
    QString name;
    BandKind kind = BandKind::MasterData;
    double height = 0;
    std::vector<TextObject> objects;
};

struct ReportTemplate
{
    // The paper in tenths of a millimetre, as stored; landscape.
    int paperWidth = 2970;
    int paperHeight = 2100;
    bool landscape = true;
    double marginLeft = 25, marginTop = 72, marginRight = 25, marginBottom = 25;
    std::vector<Band> bands;

    const Band* band(BandKind kind) const;
    double pageWidthUnits() const;
    double pageHeightUnits() const;
};

// The report of the measurement table.
ReportTemplate measurementReport();

} // namespace t7::report
