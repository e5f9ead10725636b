#pragma once

#include "common/error.h"

#include <QByteArrayView>
#include <QLocale>
#include <QString>

#include <optional>

namespace t7 {

// Numbers as the program shows and reads them.

// The general form: the shortest text with up to 15 significant digits, no trailing zeros,
// and the decimal separator of the user's locale.
QString formatGeneral(double value);

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
    // Nothing when the text is not a number by the locale's rules nor, failing that, with
    // a comma as the decimal separator: how the report reads a field.
    std::optional<double> readLocaleThenComma(const QString& text) const;
    // The same as read() for a stored single-byte text; plain digits are read without
    // decoding.
    template <typename Decode> double readStored(QByteArrayView bytes, const Decode& decode) const
    {
        double value = 0;
        if (readPlain(bytes, value))
            return value;
        return read(decode(bytes));
    }
    QChar decimalPoint() const { return m_locale.decimalPoint().front(); }

private:
    bool readPlain(QByteArrayView bytes, double& value) const;
    QLocale m_locale;
    char m_point = '.';
};

} // namespace t7
