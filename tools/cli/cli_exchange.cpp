#include "tools/cli/cli_exchange.h"

#include <QTimer>

#include <cstdio>

namespace t7::cli {

namespace {

void say(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

CliExchange::CliExchange(const QStringList& ports) : PortLink(this)
{
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
    QTimer::singleShot(0, this, [this] { exchange().show(); });
    const int result = m_loop.exec();
    exchange().closed();
    closePort();
    if (m_progressShown)
        std::fprintf(stderr, "\n");
    return result;
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
