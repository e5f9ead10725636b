#include "tests/support/test_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace t7::test {

void isolateSettings(const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("config"));
    QDir().mkpath(path);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(path));
    qputenv("HOME", QFile::encodeName(dir.path()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
}

QString builtProgram(const QString& name)
{
    const QByteArray root = qgetenv("TESKAR7_BIN");
    const QStringList candidates = {
        QString::fromLocal8Bit(root) + QStringLiteral("/tools/sim/") + name,
        QString::fromLocal8Bit(root) + QStringLiteral("/tools/cli/") + name,
        QString::fromLocal8Bit(root) + QStringLiteral("/app/") + name,
    };
    for (const QString& path : candidates) {
        if (QFile::exists(path))
            return path;
    }
    return name;
}

} // namespace t7::test
