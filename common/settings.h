#pragma once

#include <QSettings>
#include <QString>

#include <memory>

namespace t7 {

// The per-user settings key: organisation "Kelmet", application "VARDO", group "1.0".
// The returned object is already inside the group.
std::unique_ptr<QSettings> openSettings();

// The key path as the operator reads it in messages.
QString settingsKeyPath();

} // namespace t7
