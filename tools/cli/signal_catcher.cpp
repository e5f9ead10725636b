#include "tools/cli/signal_catcher.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace t7::cli {

#ifdef Q_OS_UNIX

namespace {

int pipeEnds[2] = {-1, -1};

extern "C" void noteSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
}

} // namespace

SignalCatcher::SignalCatcher(QObject* context, std::function<void()> onSignal)
{
    if (pipeEnds[0] < 0 && ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, context);
    QObject::connect(m_notifier, &QSocketNotifier::activated, context,
                     [handler = std::move(onSignal)] {
                         char bytes[16];
                         while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
                         }
                         handler();
                     });
    struct sigaction action
    {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

SignalCatcher::~SignalCatcher()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    delete m_notifier;
}

#else

SignalCatcher::SignalCatcher(QObject*, std::function<void()>) {}
SignalCatcher::~SignalCatcher() = default;

#endif

} // namespace t7::cli
