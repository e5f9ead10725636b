#include "common/product.h"

namespace t7 {

namespace {
QString& titleStore()
{
    static QString title = ProductTitle();
    return title;
}
} // namespace

QString ProductTitle()
{
    return QStringLiteral("ТЕСКАР-7");
}

QString applicationTitle()
{
    return titleStore();
}

void setApplicationTitle(const QString& title)
{
    titleStore() = title;
}

} // namespace t7
