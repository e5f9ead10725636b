#pragma once

#include "output/report/report_template.h"

#include <QRectF>
#include <QStringList>

#include <memory>
#include <vector>

namespace t7::report {

// How a text object is drawn. A report has a handful of them, shared by all its objects.
struct ObjectStyle
{
    FontSpec font;
    HAlign hAlign = HAlign::Center;
    VAlign vAlign = VAlign::Center;
    bool frame = false; // all four sides, 1 unit, solid black
    bool wordWrap = true;
    double gapX = 2, gapY = 1;
    double lineSpacing = 2;
    bool operator==(const ObjectStyle&) const = default;
};

// A text object as it stands on a prepared page: where (template units from the paper's top
// left corner), its text lines as evaluated and wrapped (kept in its page's text), and its
// style. Small, since a large report holds hundreds of thousands of them.
struct PreparedObject
{
    float x = 0, y = 0, width = 0, height = 0;
    quint32 textStart = 0;
    quint32 textLength = 0;
    const ObjectStyle* style = nullptr;

    QRectF rect() const { return QRectF(x, y, width, height); }
};

struct PreparedPage
{
    std::vector<PreparedObject> objects;
    // The texts of every object one after another, the lines of one object joined by '\n'.
    QString texts;

    QStringView text(const PreparedObject& object) const
    {
        return QStringView(texts).mid(object.textStart, object.textLength);
    }
    QStringList lines(const PreparedObject& object) const
    {
        QStringList lines;
        for (QStringView line : text(object).split(QLatin1Char('\n')))
            lines.append(line.toString());
        return lines;
    }
};

// The pages of one preparation: what preview, printer, PDF and the workbook all show.
struct PreparedReport
{
    double pageWidth = 0; // template units
    double pageHeight = 0;
    bool landscape = true;
    double marginLeft = 0, marginTop = 0, marginRight = 0, marginBottom = 0;
    // Owns the styles the objects point to; copies of the report share it.
    std::shared_ptr<const std::vector<ObjectStyle>> styles;
    std::vector<PreparedPage> pages;
};

} // namespace t7::report
