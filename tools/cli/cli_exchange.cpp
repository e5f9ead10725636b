#include "tools/cli/cli_exchange.h"

#include "tools/cli/signal_catcher.h"

#include <cstdio>

namespace t7::cli {

namespace {

void say(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

// What goes wrong in an event of the exchange is told on standard error.
class StderrPrompts : public Prompts
{
public:
    void message(const QString& text, const QString&, Icon) override { say(text); }
    Answer question(const QString&, const QString&, Icon) override { return Answer::No; }
    QString saveFileName(const FileDialogSpec&) override { return {}; }
    QString openFileName(const FileDialogSpec&) override { return {}; }
    std::optional<quint32> chooseColor(quint32) override { return std::nullopt; }
};

Prompts& stderrPrompts()
{
    static StderrPrompts prompts;
    return prompts;
}

} // namespace

CliExchange::CliExchange(const QStringList& ports, int silenceSeconds)
    : PortLink(this, stderrPrompts()), m_silenceSeconds(silenceSeconds)
{
    m_watch.setInterval(1000);
    connect(&m_watch, &QTimer::timeout, this, [this] { watchSilence(); });
    if (!ports.isEmpty()) {
        CommPortDriver1->Resolver = [ports](const QString& name) {
            if (name == Exchange::com2() && ports.size() > 1)
                return ports.at(1);
            return ports.at(0);
        };
    }
}

int CliExchange::run()
{
    m_failure.clear();
    m_silentFor = 0;
    m_lastCount = -1;
    QTimer::singleShot(0, this, [this] { exchange().show(); });
    m_watch.start();
    SignalCatcher catcher(this, [this] { stop(QStringLiteral("прием прерван по сигналу")); });
    const int result = m_loop.exec();
    m_watch.stop();
    exchange().closed();
    closePort();
    if (m_progressShown)
        std::fprintf(stderr, "\n");
    return result;
}

void CliExchange::watchSilence()
{
    // The identity check has its own time-outs; this watches the archive itself.
    if (!exchange().active() || exchange().lastRequest() != 'N')
        return;
    const qint64 count = exchange().receivedCount();
    m_silentFor = count == m_lastCount ? m_silentFor + 1 : 0;
    m_lastCount = count;
    if (m_silentFor >= m_silenceSeconds)
        stop(QStringLiteral("прибор не передает данные уже %1 с, прием прерван")
                 .arg(m_silenceSeconds));
}

void CliExchange::stop(const QString& why)
{
    if (!exchange().active())
        return;
    if (m_progressShown) {
        std::fprintf(stderr, "\n");
        m_progressShown = false;
    }
    m_failure = why;
    exchange().cancel();
}

void CliExchange::setStatus(const QString& text)
{
    say(text);
}

void CliExchange::setDeviceType(const QString& text)
{
    if (!text.isEmpty())
        say(QStringLiteral("Тип прибора: ") + text);
}

void CliExchange::setRecordCount(const QString& text)
{
    if (!text.isEmpty())
        say(QStringLiteral("Количество записей: ") + text);
}

void CliExchange::setProgress(int percent)
{
    if (percent == m_lastProgress || (percent == 0 && !m_progressShown))
        return;
    m_lastProgress = percent;
    m_progressShown = true;
    std::fprintf(stderr, "\rПрием: %3d%%", percent);
}

void CliExchange::showError(const QString& text, const QString&)
{
    if (m_progressShown) {
        std::fprintf(stderr, "\n");
        m_progressShown = false;
    }
    m_failure = text;
}

void CliExchange::finish(int result)
{
    m_loop.exit(result);
}

void CliExchange::portOpenFailed(const QString& reason)
{
    say(QStringLiteral("Порт недоступен: ") + reason);
}

} // namespace t7::cli
