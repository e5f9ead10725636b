#pragma once

#include <QByteArrayView>
#include <QChar>
#include <QLocale>
#include <QString>

#include "common/error.h"

#include <cstddef>
#include <vector>

namespace t7 {

// Lowest, average and highest of one column over some rows.
struct Figures
{
    double lowest = 0;
    double average = 0;
    double highest = 0;
};

// Figures of T_1 and T_2; the main window keeps those of the whole table, shown when fewer than two
// rows are selected.
struct FigurePair
{
    Figures t1;
    Figures t2;
};

// A number in the general format: up to 15 significant digits, the user's decimal
// separator, no trailing zeros.
QString formatFigure(double value);
// "lowest/average/highest".
QString footerText(const Figures& figures);
// Rounds an average to one decimal as the instrument's software always has: divided by the
// double nearest to 0.1 in extended precision, plus one half, truncated, times 0.1. So
// 12.25 gives 12.2 and 0.75 gives 0.7.
double roundAverage(double average);

// Reads texts as numbers by the rules of the user's locale at the time it was made.
class NumberReader
{
public:
    NumberReader();
    // Throws t7::Error when the text is not a number.
    double read(const QString& text) const;
    // The same for a stored single-byte text; plain digits are read without decoding.
    template <typename Decode> double readStored(QByteArrayView bytes, const Decode& decode) const
    {
        double value = 0;
        if (readPlain(bytes, value))
            return value;
        return read(decode(bytes));
    }

private:
    bool readPlain(QByteArrayView bytes, double& value) const;
    QLocale m_locale;
    char m_point = '.';
};

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
    figures.average = roundAverage(sum / double(n));
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
