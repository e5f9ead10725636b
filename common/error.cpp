#include "common/error.h"

namespace t7 {

QString generalErrorText(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

QString exceptionText(const std::exception& e)
{
    if (const auto* err = dynamic_cast<const Error*>(&e))
        return err->text();
    return QString::fromUtf8(e.what());
}

} // namespace t7
