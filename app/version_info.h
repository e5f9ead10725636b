#pragma once

#include <QString>

namespace t7 {

// The FileVersion stored in a program file, or "0.0.0.0" when it has none.
QString fileVersionOf(const QString& programPath);

} // namespace t7
