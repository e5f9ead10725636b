#pragma once

#include "output/report/report_template.h"

#include <QRectF>
#include <QStringList>

#include <vector>

namespace t7::report {

// A text object as it stands on a prepared page: where (template units from the paper's top
// left corner), its text lines as evaluated and wrapped, and how it is drawn.
struct PreparedObject
{
    QRectF rect;
    QStringList lines;
    FontSpec font;
    HAlign hAlign = HAlign::Center;
    VAlign vAlign = VAlign::Center;
    bool frame = false;
    bool wordWrap = true;
    double gapX = 2, gapY = 1;
    double lineSpacing = 2;
};

struct PreparedPage
{
    std::vector<PreparedObject> objects;
};

// The pages of one preparation: what preview, printer, PDF and the workbook all show.
struct PreparedReport
{
    double pageWidth = 0; // template units
    double pageHeight = 0;
    bool landscape = true;
    double marginLeft = 0, marginTop = 0, marginRight = 0, marginBottom = 0;
    std::vector<PreparedPage> pages;
};

} // namespace t7::report
