#pragma once

#include "common/error.h"
#include "data/number_text.h"

#include <QString>

#include <cmath>
#include <cstddef>
#include <vector>

namespace t7 {

// Lowest, average and highest of one column over some rows, with the count and the
// sample standard deviation that lab protocols report beside them.
struct Figures
{
    double lowest = 0;
    double average = 0; // rounded to a tenth, as the footers show it
    double highest = 0;
    size_t count = 0;
    double mean = 0; // not rounded
    double deviation = 0;
};

// Figures of T_1 and T_2; the main window keeps those of the whole table, shown when fewer than two
// rows are selected.
struct FigurePair
{
    Figures t1;
    Figures t2;
};

// "lowest/average/highest".
QString footerText(const Figures& figures);
// "n 12, среднее 107,5, s 17,7, V 16,4 %, мин. 95, макс. 120" in the locale's numbers.
QString protocolText(const Figures& figures);
// Figures of n values (n ≥ 1), value(i) giving the i-th.
template <typename Value> Figures figuresOf(size_t n, const Value& value)
{
    Figures figures;
    if (n == 0)
        return figures;
    const double first = value(0);
    figures.lowest = figures.highest = first;
    double sum = first;
    for (size_t i = 1; i < n; ++i) {
        const double v = value(i);
        if (v < figures.lowest)
            figures.lowest = v;
        if (v > figures.highest)
            figures.highest = v;
        sum += v;
    }
    figures.count = n;
    figures.mean = sum / double(n);
    figures.average = roundAverage(figures.mean);
    if (n > 1) {
        double squares = 0;
        for (size_t i = 0; i < n; ++i) {
            const double d = value(i) - figures.mean;
            squares += d * d;
        }
        figures.deviation = std::sqrt(squares / double(n - 1));
    }
    return figures;
}

// Figures of the stored texts that `each` hands over (each(read) calls read(bytes) once a
// row). A text that is not a number throws, or is left out when skipNonNumbers is set.
template <typename Each, typename Decode>
Figures storedFigures(const Each& each, const Decode& decode, bool skipNonNumbers)
{
    const NumberReader reader;
    std::vector<double> values;
    each([&](QByteArrayView bytes) {
        try {
            values.push_back(reader.readStored(bytes, decode));
        } catch (const Error&) {
            if (!skipNonNumbers)
                throw;
        }
    });
    return figuresOf(values.size(), [&values](size_t i) { return values[i]; });
}

} // namespace t7
