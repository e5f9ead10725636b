#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QtDebug>

namespace t7::test {

// Chooses a command as a person would: the action (or tool button) must exist and be
// enabled, else nothing happens and the result is false. Use as QVERIFY(trigger(w, "N7")).
[[nodiscard]] inline bool trigger(QObject* window, const char* name)
{
    if (auto* action = window->findChild<QAction*>(QLatin1String(name))) {
        if (!action->isEnabled()) {
            qWarning("%s is disabled", name);
            return false;
        }
        action->trigger();
        return true;
    }
    if (auto* button = window->findChild<QAbstractButton*>(QLatin1String(name))) {
        if (!button->isEnabled()) {
            qWarning("%s is disabled", name);
            return false;
        }
        button->click();
        return true;
    }
    qWarning("no command %s", name);
    return false;
}

} // namespace t7::test
