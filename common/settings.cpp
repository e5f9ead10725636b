#include "common/settings.h"

namespace t7 {

std::unique_ptr<QSettings> openSettings()
{
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QStringLiteral("Kelmet"), QStringLiteral("VARDO"));
    settings->beginGroup(QStringLiteral("1.0"));
    return settings;
}

QString settingsKeyPath()
{
    return QStringLiteral("\\Software\\Kelmet\\VARDO\\1.0");
}

} // namespace t7
