#include "data/number_text.h"

#include <cfloat>
#include <cmath>

namespace t7 {

QString formatGeneral(double value)
{
    QString text = QString::number(value, 'g', 15);
    text.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return text;
}

double roundAverage(double average)
{
    // The 64-bit mantissa of the x87 extended format decides the halves: 12.25 / 0.1 is
    // 122.4999… there, not 122.5.
    static_assert(LDBL_MANT_DIG >= 64 || LDBL_MANT_DIG == DBL_MANT_DIG,
                  "unexpected long double format");
    const long double tenth = 0.1; // the double nearest to 0.1
    const long double scaled = static_cast<long double>(average) / tenth + 0.5L;
    const long double truncated = std::trunc(scaled);
    return static_cast<double>(truncated * tenth);
}

NumberReader::NumberReader()
{
    const QString point = m_locale.decimalPoint();
    m_point = point.size() == 1 && point.at(0).unicode() < 0x80 ? char(point.at(0).unicode()) : 0;
}

double NumberReader::read(const QString& text) const
{
    bool ok = false;
    const double value = m_locale.toDouble(text, &ok);
    if (!ok)
        throw Error(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

std::optional<double> NumberReader::readLocaleThenComma(const QString& text) const
{
    // Group separators are no part of a measured value: "12,345" is twelve and a bit.
    QLocale strict = m_locale;
    strict.setNumberOptions(strict.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    double value = strict.toDouble(text, &ok);
    if (ok)
        return value;
    // The comma convention: a comma as the decimal separator, no group separators.
    static const QLocale comma = [] {
        QLocale german(QLocale::German);
        german.setNumberOptions(QLocale::RejectGroupSeparator);
        return german;
    }();
    value = comma.toDouble(text, &ok);
    if (ok && !text.contains(QLatin1Char('.')))
        return value;
    return std::nullopt;
}

// Digits with at most one decimal separator of the locale, trailing blanks allowed: the
// texts the conversion writes. Anything else goes the long way.
bool NumberReader::readPlain(QByteArrayView bytes, double& value) const
{
    qsizetype end = bytes.size();
    while (end > 0 && (bytes[end - 1] == ' ' || bytes[end - 1] == '\0'))
        --end;
    if (end == 0 || end > 15)
        return false;
    long long whole = 0;
    long long fraction = 0;
    bool seenPoint = false;
    for (qsizetype i = 0; i < end; ++i) {
        const char c = bytes[i];
        if (c >= '0' && c <= '9') {
            if (seenPoint) {
                fraction = fraction * 10 + (c - '0');
            } else {
                whole = whole * 10 + (c - '0');
            }
        } else if (c == m_point && m_point != 0 && !seenPoint && i > 0 && i + 1 < end) {
            seenPoint = true;
        } else {
            return false;
        }
    }
    if (fraction != 0)
        return false; // let the locale round a real fraction exactly
    value = double(whole);
    return true;
}

} // namespace t7
