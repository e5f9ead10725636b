#include "ui/selection_stats.h"

namespace t7 {

QString footerText(const Figures& figures)
{
    return formatGeneral(figures.lowest) + QLatin1Char('/') + formatGeneral(figures.average) +
           QLatin1Char('/') + formatGeneral(figures.highest);
}

} // namespace t7
