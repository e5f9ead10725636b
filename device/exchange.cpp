#include "device/exchange.h"

#include "common/error.h"

#include <algorithm>
#include <cstring>

namespace t7 {

Exchange::Exchange(ExchangeHost& host, ReceiveBuffer& buffer, DeviceImage& image)
    : m_host(host), m_buffer(buffer), m_image(image)
{}

void Exchange::reset()
{
    m_endSeen = false;
    m_receivedCount = 0;
    m_archiveStart = -1;
    m_archiveRecords = -1;
}

void Exchange::setPortName(const QString& name)
{
    m_portName = name;
    m_host.setPortName(name);
}

void Exchange::send(char letter)
{
    m_lastRequest = letter;
    m_host.writeByte(letter);
}

void Exchange::show()
{
    m_phase = Phase::Active;
    m_archiveLength = 0;
    m_timer2Running = false;
    m_host.stopTimer2();
    setPortName(com1());
    reset();
    m_host.setProgress(0);
    m_host.setRecordCount(QString());
    m_host.setDeviceType(QString());
    m_host.setVersion(QString());
    m_host.setCaption(QStringLiteral("Прием данных"));
    if (m_leftToCome > 0) {
        // The rest of a cancelled transfer would be taken for the identity reply: let it
        // pass first, on the port it comes from.
        m_settling = true;
        setPortName(m_leftPort);
        m_host.setStatus(QStringLiteral("Ожидание окончания передачи прибора ..."));
        m_host.openPort();
        m_timer1Running = true;
        m_host.startTimer1(kQuietMs);
        return;
    }
    askIdentity();
}

void Exchange::askIdentity()
{
    m_host.setStatus(QStringLiteral("Ожидание готовности прибора ..."));
    m_host.openPort();
    send('V');
    m_timer1Running = true;
    m_host.startTimer1(kNoAnswerMs);
}

// The line has been quiet, or the rest has come: the exchange begins as always, on COM1.
void Exchange::endSettling()
{
    m_settling = false;
    m_leftToCome = 0;
    m_timer1Running = false;
    m_host.stopTimer1();
    m_host.closePort();
    setPortName(com1());
    askIdentity();
}

// What the instrument still sends after the last request, as far as the exchange knows.
qint64 Exchange::stillToCome() const
{
    if (m_lastRequest == 'V')
        return std::max<qint64>(0, kIdentityLength - m_receivedCount);
    if (m_archiveRecords >= 0 && m_archiveStart < kReceiveBufferSize) {
        const qint64 total = 2 * (4 + 22 * qint64(m_archiveRecords)) + 1; // with the 'P'
        return std::max<qint64>(0, total - (m_receivedCount - m_archiveStart - 1));
    }
    return kReceiveBufferSize; // the head not seen yet: at most a full buffer
}

void Exchange::receive(QByteArrayView batch)
{
    if (m_phase != Phase::Active || batch.isEmpty())
        return;
    if (m_settling) {
        // The rest of the cancelled transfer: let it pass, and wait for quiet again.
        m_leftToCome -= batch.size();
        if (m_leftToCome <= 0) {
            endSettling();
            return;
        }
        m_host.startTimer1(kQuietMs);
        return;
    }
    const qint64 n = batch.size();
    if (m_receivedCount + n >= kReceiveBufferSize) {
        abandon(QStringLiteral("Прибор передал больше данных, чем может поместиться в буфер "
                               "приема. Прием прерван."),
                errorCaption());
        return;
    }
    std::memcpy(m_buffer.bytes.data() + m_receivedCount, batch.data(), size_t(n));
    for (qint64 i = 0; i < n; ++i) {
        switch (batch[i]) {
        case 'P':
            m_endSeen = true;
            break;
        case 'S':
            m_timer1Running = false;
            m_host.stopTimer1();
            break;
        case 'Z':
            m_timer1Running = false;
            m_host.stopTimer1();
            reset();
            send('V');
            return;
        default:
            break;
        }
    }
    m_receivedCount += n;

    if (m_lastRequest == 'V' && m_receivedCount >= kIdentityLength) {
        bool stop = false;
        judgeIdentity(stop);
        if (stop)
            return;
    }
    if (m_lastRequest == 'N')
        trackProgress();
    if (m_endSeen)
        complete();
}

void Exchange::judgeIdentity(bool& stop)
{
    int type = 0;
    int code = 0;
    try {
        type = DecodeByte(m_buffer, 0);
        code = DecodeByte(m_buffer, 2);
    } catch (const DecodeError& e) {
        stop = true;
        abandon(
            QStringLiteral("Ответ прибора не удалось разобрать (%1). Прием прерван.").arg(e.text()),
            errorCaption());
        return;
    }
    if (type != kDeviceType || code != kSecondCode) {
        stop = true;
        m_endSeen = false;
        abandon(QStringLiteral("Вы подключили не тот прибор !"), errorCaption());
        return;
    }
    m_timer1Running = false;
    m_host.stopTimer1();
    m_host.setDeviceType(QStringLiteral("КВ-73-ЛР2(Тин)"));
    m_host.setVersion(QString());
    m_endSeen = false;
    m_host.setStatus(QStringLiteral("Идет прием информации ..."));
    if (!m_timer2Running) {
        m_timer2Running = true;
        m_host.startTimer2(kRequestDelayMs);
    }
}

// The archive head tells how long the reply will be: after the 'S' come the record count n
// (four characters) and then 2 + 22·n bytes more, two characters each.
void Exchange::trackProgress()
{
    if (m_archiveStart < 0) {
        const void* hit = std::memchr(m_buffer.bytes.data(), 'S', size_t(m_receivedCount));
        if (!hit)
            return;
        m_archiveStart = static_cast<const unsigned char*>(hit) - m_buffer.bytes.data();
    }
    if (m_archiveRecords < 0) {
        if (m_receivedCount < m_archiveStart + 5)
            return;
        try {
            m_archiveRecords = DecodeWord(m_buffer, m_archiveStart + 1);
        } catch (const DecodeError&) {
            m_archiveStart = kReceiveBufferSize; // the head is damaged: no progress to show
            m_archiveRecords = 0;
            return;
        }
        m_host.setRecordCount(QString::number(m_archiveRecords));
    }
    if (m_archiveStart >= kReceiveBufferSize)
        return;
    const qint64 total = 2 * (4 + 22 * qint64(m_archiveRecords));
    const qint64 got = m_receivedCount - m_archiveStart - 1;
    m_host.setProgress(int(std::clamp<qint64>(got * 100 / total, 0, 100)));
}

void Exchange::complete()
{
    m_endSeen = false;
    m_leftToCome = 0;
    restTimers();
    m_host.closePort();
    try {
        m_archiveLength = DecodeArchive(m_buffer, m_image);
    } catch (const DecodeError& e) {
        abandon(
            QStringLiteral("Архив прибора принят с ошибками (%1). Прием прерван.").arg(e.text()),
            errorCaption());
        return;
    }
    m_host.setProgress(100);
    if (m_host.dumpRequested()) {
        try {
            m_host.writeDump(m_archiveLength);
        } catch (const Error& e) {
            abandon(e.text(), errorCaption());
            return;
        }
    }
    finish(1);
}

void Exchange::restTimers()
{
    m_timer1Running = false;
    m_timer2Running = false;
    m_host.stopTimer1();
    m_host.stopTimer2();
}

void Exchange::abandon(const QString& text, const QString& caption)
{
    // Nothing may act while the message is open, and nothing after it.
    m_phase = Phase::Finished;
    restTimers();
    m_host.closePort();
    m_host.showError(text, caption);
    finish(2);
}

void Exchange::finish(int result)
{
    m_phase = Phase::Finished;
    m_host.finish(result);
}

void Exchange::timer1Tick()
{
    if (m_phase != Phase::Active || !m_timer1Running)
        return;
    if (m_settling) {
        endSettling();
        return;
    }
    m_timer1Running = false;
    m_host.stopTimer1();
    if (m_portName == com1()) {
        m_host.closePort();
        setPortName(com2());
        m_host.openPort();
        reset();
        m_host.setProgress(0);
        send('V');
        m_timer1Running = true;
        m_host.startTimer1(kNoAnswerMs);
        return;
    }
    m_host.closePort();
    setPortName(com1());
    reset();
    m_host.setProgress(0);
    abandon(QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно "
                           "инструкции!"),
            errorCaption());
}

void Exchange::timer2Tick()
{
    if (m_phase != Phase::Active || !m_timer2Running)
        return;
    m_timer2Running = false;
    m_host.stopTimer2();
    send('N');
    m_receivedCount = 0;
    m_archiveStart = -1;
    m_archiveRecords = -1;
}

void Exchange::cancel()
{
    if (m_phase != Phase::Active)
        return;
    if (!m_settling) {
        m_leftToCome = stillToCome();
        m_leftPort = m_portName;
    }
    m_settling = false;
    reset();
    m_host.setProgress(0);
    restTimers();
    m_host.closePort();
    finish(2);
}

void Exchange::portLost(const QString& reason)
{
    if (m_phase != Phase::Active)
        return;
    abandon(QStringLiteral("Связь с прибором потеряна (%1). Прием прерван.").arg(reason),
            errorCaption());
}

void Exchange::closed()
{
    if (m_phase == Phase::Idle)
        return;
    m_phase = Phase::Idle;
    restTimers();
}

} // namespace t7
