#pragma once

#include "device/codec.h"

#include <QByteArrayView>
#include <QString>

namespace t7 {

// What the exchange asks of the window (or the command line) that hosts it. The exchange
// itself never touches a port, a timer or a widget.
class ExchangeHost
{
public:
    virtual ~ExchangeHost() = default;

    virtual void setPortName(const QString& name) = 0;
    virtual void openPort() = 0;
    virtual void closePort() = 0;
    virtual void writeByte(char letter) = 0;
    // The no-answer timer; starting it restarts its interval.
    virtual void startTimer1(int milliseconds) = 0;
    virtual void stopTimer1() = 0;
    // The request delay timer; starting it while it runs keeps its interval going.
    virtual void startTimer2(int milliseconds) = 0;
    virtual void stopTimer2() = 0;

    virtual void setStatus(const QString& text) = 0;
    virtual void setCaption(const QString& text) = 0;
    virtual void setDeviceType(const QString& text) = 0;
    virtual void setVersion(const QString& text) = 0;
    virtual void setRecordCount(const QString& text) = 0;
    virtual void setProgress(int percent) = 0;

    // A modal error message with one OK button; the port and the timers are at rest.
    virtual void showError(const QString& text, const QString& caption) = 0;
    // The exchange is over: 1 when an archive is in the image, 2 otherwise.
    virtual void finish(int result) = 0;

    // The dump option; when set, the host writes the dump after a complete transfer and
    // throws t7::Error when that fails.
    virtual bool dumpRequested() { return false; }
    virtual void writeDump(qint64 /*length*/) {}
};

// One exchange with the instrument: wake it, check its identity, request the archive,
// collect the reply and decode it into the image. Fed with batches and timer ticks.
class Exchange
{
public:
    static constexpr int kNoAnswerMs = 3000;
    static constexpr int kRequestDelayMs = 1000;
    static constexpr int kIdentityLength = 10;
    static constexpr int kDeviceType = 18;
    static constexpr int kSecondCode = 2;
    // After a cancelled transfer the instrument goes on sending the rest of its archive; the
    // next exchange waits until the line has been quiet this long before it asks again.
    static constexpr int kQuietMs = 300;

    static QString com1() { return QStringLiteral("\\\\.\\COM1"); }
    static QString com2() { return QStringLiteral("\\\\.\\COM2"); }

    Exchange(ExchangeHost& host, ReceiveBuffer& buffer, DeviceImage& image);

    void show();
    void receive(QByteArrayView batch);
    void timer1Tick();
    void timer2Tick();
    void cancel();
    // The serial device vanished or failed while the exchange ran.
    void portLost(const QString& reason);
    // The window has closed, whatever the result.
    void closed();

    bool active() const { return m_phase == Phase::Active; }
    char lastRequest() const { return m_lastRequest; }
    qint64 receivedCount() const { return m_receivedCount; }
    bool endSeen() const { return m_endSeen; }
    const QString& portName() const { return m_portName; }
    qint64 archiveLength() const { return m_archiveLength; }
    // Characters the instrument is still to send from a cancelled transfer, at most.
    qint64 leftToCome() const { return m_leftToCome; }
    bool settling() const { return m_settling; }

private:
    enum class Phase { Idle, Active, Finished };

    void reset();
    void judgeIdentity(bool& stop);
    void trackProgress();
    void complete();
    void abandon(const QString& text, const QString& caption);
    void restTimers();
    void setPortName(const QString& name);
    void send(char letter);
    void finish(int result);
    void askIdentity();
    void endSettling();
    qint64 stillToCome() const;

    ExchangeHost& m_host;
    ReceiveBuffer& m_buffer;
    DeviceImage& m_image;

    Phase m_phase = Phase::Idle;
    QString m_portName;
    qint64 m_receivedCount = 0;
    char m_lastRequest = 'V';
    bool m_endSeen = false;
    bool m_timer1Running = false;
    bool m_timer2Running = false;
    qint64 m_archiveStart = -1; // index of the archive reply's 'S', once seen
    int m_archiveRecords = -1;  // n from the archive head, once known
    qint64 m_archiveLength = 0;
    qint64 m_leftToCome = 0; // from a cancelled transfer, on m_leftPort
    QString m_leftPort;
    bool m_settling = false; // draining that rest before the identity request
};

} // namespace t7
