#include "ui/selection_stats.h"

#include <QLocale>

namespace t7 {

QString footerText(const Figures& figures)
{
    return formatGeneral(figures.lowest) + QLatin1Char('/') + formatGeneral(figures.average) +
           QLatin1Char('/') + formatGeneral(figures.highest);
}

QString protocolText(const Figures& figures)
{
    if (figures.count == 0)
        return QStringLiteral("нет чисел");
    const QLocale locale;
    const auto number = [&locale](double value) { return locale.toString(value, 'f', 1); };
    QString text = QStringLiteral("n %1, среднее %2").arg(figures.count).arg(number(figures.mean));
    if (figures.count > 1) {
        text += QStringLiteral(", s %1").arg(number(figures.deviation));
        if (figures.mean != 0)
            text += QStringLiteral(", V %1 %")
                        .arg(number(figures.deviation / std::fabs(figures.mean) * 100));
    }
    return text + QStringLiteral(", мин. %1, макс. %2")
                      .arg(formatGeneral(figures.lowest), formatGeneral(figures.highest));
}

} // namespace t7
