#pragma once

#include <QString>
#include <QTemporaryDir>

namespace t7::test {

// Points the settings store at a fresh temporary folder, so that no test reads or writes
// the user's real settings. Call before anything opens the settings.
void isolateSettings(const QTemporaryDir& dir);

// Path of a built program of this project (teskar7-sim, teskar7-cli, teskar7).
QString builtProgram(const QString& name);

} // namespace t7::test
