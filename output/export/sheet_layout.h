#pragma once

#include "output/report/prepared_report.h"

#include <vector>

namespace t7::report {

// Where the prepared pages go on one worksheet: the edges of its columns and rows in
// template units, every page below the one before, and each object's cell range.
struct SheetLayout
{
    struct Cell
    {
        const PreparedPage* page = nullptr;
        const PreparedObject* object = nullptr;
        int firstRow = 0, lastRow = 0;
        int firstColumn = 0, lastColumn = 0;
        bool merged = false; // more than one cell, shrunk so as to cover no later object
    };

    std::vector<double> columnEdges;
    std::vector<double> rowEdges;
    std::vector<Cell> cells;     // top to bottom, then left to right, then shorter texts first
    std::vector<int> pageBreaks; // rows that start a new printed page (0-based)

    int rows() const { return int(rowEdges.size()) - 1; }
    int columns() const { return int(columnEdges.size()) - 1; }
    // Row heights in points and column widths in character units, as the sheet takes them.
    double rowHeight(int row) const;
    double columnWidth(int column) const;
};

// The tallest row a worksheet holds, in points.
constexpr double kMaxRowPoints = 409;
// Template units a point of row height, and a character unit of column width.
constexpr double kUnitsPerRowPoint = 1.3;
constexpr double kUnitsPerColumnCharacter = 8;

SheetLayout layoutSheet(const PreparedReport& report);

} // namespace t7::report
