#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace t7::cli {

// While it lives, SIGINT and SIGTERM do not end the program at once: they run `onSignal`
// on the event loop, so that a transfer can close its port and say why it stopped.
class SignalCatcher
{
public:
    SignalCatcher(QObject* context, std::function<void()> onSignal);
    ~SignalCatcher();
    SignalCatcher(const SignalCatcher&) = delete;
    SignalCatcher& operator=(const SignalCatcher&) = delete;

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace t7::cli
