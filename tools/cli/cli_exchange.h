#pragma once

#include "device/port_link.h"

#include <QEventLoop>
#include <QStringList>
#include <QTimer>

namespace t7::cli {

// The exchange without windows: texts go to standard error, the result ends a local loop.
class CliExchange : public QObject, public PortLink
{
public:
    // ports: the first serves COM1, a second one COM2; one alone serves both; none means
    // the settings and the serial devices found. Once the archive is requested, a silence of
    // more than `silenceSeconds` ends the exchange.
    explicit CliExchange(const QStringList& ports, int silenceSeconds = 30);

    // Runs one exchange; returns 1 when the archive is in the device image.
    int run();
    qint64 archiveLength() { return exchange().archiveLength(); }
    // The message that ended the exchange, if any.
    QString failure() const { return m_failure; }

    void setStatus(const QString& text) override;
    void setCaption(const QString&) override {}
    void setDeviceType(const QString& text) override;
    void setVersion(const QString&) override {}
    void setRecordCount(const QString& text) override;
    void setProgress(int percent) override;
    void showError(const QString& text, const QString& caption) override;
    void finish(int result) override;

protected:
    void portOpenFailed(const QString& reason) override;

private:
    void watchSilence();
    void stop(const QString& why);

    QEventLoop m_loop;
    QTimer m_watch;
    int m_silenceSeconds;
    int m_silentFor = 0;
    qint64 m_lastCount = -1;
    int m_lastProgress = -1;
    bool m_progressShown = false;
    QString m_failure;
};

} // namespace t7::cli
