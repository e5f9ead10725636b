#include "output/export/sheet_layout.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace t7::report {

namespace {

// The index of an edge in sorted, distinct edges.
int edgeIndex(const std::vector<double>& edges, double value)
{
    return int(std::lower_bound(edges.begin(), edges.end(), value) - edges.begin());
}

// The last cell of a range that starts at edge `first`: it ends at the first edge that lies
// no more than 10 units to the left of the object's far edge.
int lastIndex(const std::vector<double>& edges, int first, double end)
{
    int edge = first + 1;
    while (edge + 1 < int(edges.size()) && edges[size_t(edge)] < end - 10)
        ++edge;
    return edge - 1;
}

void sortDistinct(std::vector<double>& edges)
{
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
}

} // namespace

double SheetLayout::rowHeight(int row) const
{
    const double units = rowEdges[size_t(row) + 1] - rowEdges[size_t(row)];
    return std::min(kMaxRowPoints, units / kUnitsPerRowPoint);
}

double SheetLayout::columnWidth(int column) const
{
    return (columnEdges[size_t(column) + 1] - columnEdges[size_t(column)]) /
           kUnitsPerColumnCharacter;
}

SheetLayout layoutSheet(const PreparedReport& report)
{
    SheetLayout layout;
    struct Taken
    {
        const PreparedPage* page;
        const PreparedObject* object;
        double top, bottom, left, right;
    };
    std::vector<Taken> taken;
    std::vector<double> pageEnds;
    const double tallestRow = kMaxRowPoints * kUnitsPerRowPoint;
    double bottom = 0; // of everything taken so far
    for (const PreparedPage& page : report.pages) {
        const double offset = bottom;
        for (const PreparedObject& object : page.objects) {
            if (object.textLength == 0 && !object.style->frame)
                continue;
            const double top = object.y + offset;
            // A gap taller than a sheet's row is cut into rows it can hold.
            for (double edge = bottom + tallestRow; edge < top; edge += tallestRow)
                layout.rowEdges.push_back(edge);
            taken.push_back({&page, &object, top, top + object.height, double(object.x),
                             double(object.x) + object.width});
            layout.rowEdges.push_back(top);
            layout.rowEdges.push_back(top + object.height);
            layout.columnEdges.push_back(object.x);
            layout.columnEdges.push_back(double(object.x) + object.width);
            bottom = std::max(bottom, top + object.height);
        }
        pageEnds.push_back(bottom);
    }
    sortDistinct(layout.columnEdges);
    sortDistinct(layout.rowEdges);
    std::stable_sort(taken.begin(), taken.end(), [](const Taken& a, const Taken& b) {
        if (a.top != b.top)
            return a.top < b.top;
        if (a.left != b.left)
            return a.left < b.left;
        return a.object->textLength < b.object->textLength;
    });

    layout.cells.reserve(taken.size());
    for (const Taken& t : taken) {
        SheetLayout::Cell cell{t.page, t.object};
        cell.firstColumn = edgeIndex(layout.columnEdges, t.left);
        cell.lastColumn = lastIndex(layout.columnEdges, cell.firstColumn, t.right);
        cell.firstRow = edgeIndex(layout.rowEdges, t.top);
        cell.lastRow = lastIndex(layout.rowEdges, cell.firstRow, t.bottom);
        layout.cells.push_back(cell);
    }

    // A merged range covers no object that comes later: where a later one starts inside
    // it, the range ends before that column (same first row) or before that row.
    const auto key = [](int row, int column) { return (qint64(row) << 32) | quint32(column); };
    std::unordered_set<qint64> starts;
    for (auto cell = layout.cells.rbegin(); cell != layout.cells.rend(); ++cell) {
        if (cell->lastRow > cell->firstRow || cell->lastColumn > cell->firstColumn) {
            for (int row = cell->firstRow; row <= cell->lastRow; ++row)
                for (int column = cell->firstColumn; column <= cell->lastColumn; ++column) {
                    if ((row == cell->firstRow && column == cell->firstColumn) ||
                        !starts.count(key(row, column)))
                        continue;
                    if (row == cell->firstRow)
                        cell->lastColumn = column - 1;
                    else
                        cell->lastRow = row - 1;
                }
            cell->merged = cell->lastRow > cell->firstRow || cell->lastColumn > cell->firstColumn;
        }
        starts.insert(key(cell->firstRow, cell->firstColumn));
    }

    // A page's end edge is followed by the row of the next page's top margin; the break
    // comes after it.
    for (size_t page = 0; page + 1 < pageEnds.size(); ++page) {
        const int row = edgeIndex(layout.rowEdges, pageEnds[page]) + 1;
        if (row < layout.rows() && (layout.pageBreaks.empty() || layout.pageBreaks.back() < row))
            layout.pageBreaks.push_back(row);
    }
    return layout;
}

} // namespace t7::report
