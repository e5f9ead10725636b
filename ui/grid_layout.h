#pragma once

#include <QString>

#include <vector>

namespace t7 {

enum TTitleState { tsSortedNone, tsSortedUp, tsSortedDown };
enum TAlignment { talDefault, talLeftJustify, talRightJustify, talCenter };

// Colours as 0x00BBGGRR; clNone is the grid's normal background.
constexpr quint32 clNone = 0x1FFFFFFF;
constexpr quint32 clBlack = 0x000000;

// The widest column a stored layout may ask for, in pixels; wider values are taken as this,
// so that no sum of widths can overflow.
constexpr int kMaxColumnWidth = 10000;

// What the stored layout keeps of a column.
struct ColumnLayout
{
    QString FieldName;
    int Width = 45;
    int LayoutLevel = 0;
    int LayoutIndex = 0;
    TAlignment Alignment = talDefault;
    quint32 Color = clNone;
    TTitleState TitleState = tsSortedNone;
    int SortOrder = -1;
};

// A column of the measurement grid, with the properties the program uses.
struct TgpColumn : ColumnLayout
{
    QString Caption;
    QString FooterText;
    bool Visible = true;
    bool ReadOnly = false;
    QString DisplayFormat;
};

// The stored layout of a column list: the text of a TUniDataStorage object whose Data
// property lists the columns, with CR LF line ends, writing only what differs from the
// defaults.
QString writeLayoutText(const std::vector<ColumnLayout>& columns);
// Reads the stored properties (field name, title state, width, layout level and index,
// colour, alignment, sort order) of every item; the rest stays at the defaults. Throws
// t7::Error when the text cannot be read.
std::vector<ColumnLayout> readLayoutText(const QString& text);

// A colour by its name where it has one, else as a decimal number.
QString colorText(quint32 color);

} // namespace t7
