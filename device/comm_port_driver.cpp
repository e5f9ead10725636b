#include "device/comm_port_driver.h"

#include "device/serial_devices.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>

#include <algorithm>

namespace t7 {

namespace {

constexpr quint32 kBaudValues[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                   14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

quint32 clampQueue(quint32 size)
{
    return std::clamp<quint32>(size, 128, 8192);
}

} // namespace

TCommPortDriver::TCommPortDriver(QObject* parent) : QObject(parent)
{
    m_readBuffer.resize(m_inBufSize);
}

TCommPortDriver::~TCommPortDriver()
{
    ClosePort();
}

void TCommPortDriver::setPortName(const QString& name)
{
    if (IsOpen())
        return;
    m_portName = name;
    m_port = pnCustom;
}

void TCommPortDriver::setPort(TPortNumber port)
{
    if (IsOpen())
        return;
    m_port = port;
    if (port != pnCustom)
        m_portName = QStringLiteral("\\\\.\\COM%1").arg(int(port));
}

void TCommPortDriver::setBaudRate(TBaudRate rate)
{
    m_baudRate = rate;
    if (rate != brCustom)
        m_baudRateValue = kBaudValues[rate];
}

void TCommPortDriver::setBaudRateValue(quint32 value)
{
    m_baudRateValue = value;
}

void TCommPortDriver::setInBufSize(quint32 size)
{
    if (IsOpen())
        return;
    m_inBufSize = clampQueue(size);
    m_readBuffer.resize(m_inBufSize);
}

void TCommPortDriver::setOutBufSize(quint32 size)
{
    if (IsOpen())
        return;
    m_outBufSize = clampQueue(size);
}

void TCommPortDriver::setPollingDelay(quint16 milliseconds)
{
    m_pollingDelay = std::max<quint16>(milliseconds, 5);
}

bool TCommPortDriver::IsOpen() const
{
    return m_serial != nullptr;
}

bool TCommPortDriver::OpenPort()
{
    if (IsOpen())
        return true;
    m_device = Resolver ? Resolver(m_portName) : resolvePortName(m_portName);
    auto* serial = new QSerialPort(this);
    serial->setPortName(m_device);
    serial->setReadBufferSize(m_inBufSize);
    if (!serial->open(QIODevice::ReadWrite)) {
        if (serial->error() == QSerialPort::PermissionError)
            m_lastError = QStringLiteral("нет доступа к порту %1 (пользователь должен входить "
                                         "в группу dialout)")
                              .arg(m_device);
        else
            m_lastError =
                QStringLiteral("порт %1 недоступен: %2").arg(m_device, serial->errorString());
        delete serial;
        return false;
    }
    const bool settingsOk =
        serial->setBaudRate(qint32(m_baudRateValue)) &&
        serial->setDataBits(QSerialPort::DataBits(5 + int(m_dataBits))) &&
        serial->setParity(m_parity == ptNONE   ? QSerialPort::NoParity
                          : m_parity == ptODD  ? QSerialPort::OddParity
                          : m_parity == ptEVEN ? QSerialPort::EvenParity
                          : m_parity == ptMARK ? QSerialPort::MarkParity
                                               : QSerialPort::SpaceParity) &&
        serial->setStopBits(m_stopBits == sb1BITS       ? QSerialPort::OneStop
                            : m_stopBits == sb1HALFBITS ? QSerialPort::OneAndHalfStop
                                                        : QSerialPort::TwoStop) &&
        serial->setFlowControl(m_hwFlow == hfRTSCTS    ? QSerialPort::HardwareControl
                               : m_swFlow == sfXONXOFF ? QSerialPort::SoftwareControl
                                                       : QSerialPort::NoFlowControl);
    if (!settingsOk || !serial->clear(QSerialPort::AllDirections)) {
        m_lastError =
            QStringLiteral("порт %1 не принял настройки: %2").arg(m_device, serial->errorString());
        serial->close();
        delete serial;
        return false;
    }
    // Pseudo-terminals and some adapters have no modem lines; that is no reason to fail.
    serial->setDataTerminalReady(m_enableDtrOnOpen);
    if (m_hwFlow != hfRTSCTS)
        serial->setRequestToSend(m_hwFlow == hfNONERTSON);
    serial->clearError();
    m_lastError.clear();
    m_serial = serial;
    connect(serial, &QSerialPort::readyRead, this, &TCommPortDriver::readWaiting);
    connect(serial, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { onError(int(error)); });
    return true;
}

void TCommPortDriver::ClosePort()
{
    if (!m_serial)
        return;
    QSerialPort* serial = m_serial;
    m_serial = nullptr;
    serial->disconnect(this);
    serial->close();
    serial->deleteLater();
}

bool TCommPortDriver::WriteByte(char value)
{
    if (!m_serial)
        return false;
    if (m_serial->write(&value, 1) != 1)
        return false;
    // Hand the byte to the driver now without waiting in a nested loop, where the receive
    // handler could run in the middle of the caller's step.
    m_serial->flush();
    return true;
}

void TCommPortDriver::readWaiting()
{
    // The handler may close the port, or open a nested event loop; no batch is handed over
    // twice and none after the close.
    if (m_reading)
        return;
    m_reading = true;
    while (m_serial && m_serial->bytesAvailable() > 0) {
        const qint64 got = m_serial->read(m_readBuffer.data(), m_inBufSize);
        if (got <= 0)
            break;
        if (OnReceiveData)
            OnReceiveData(this, m_readBuffer.constData(), quint32(got));
    }
    m_reading = false;
}

void TCommPortDriver::onError(int error)
{
    if (!m_serial)
        return;
    switch (QSerialPort::SerialPortError(error)) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::DeviceNotFoundError: {
        const QString reason = m_serial->errorString();
        ClosePort();
        emit portLost(QStringLiteral("%1: %2").arg(m_device, reason));
        break;
    }
    default:
        // Line errors and unsupported modem-line calls are cleared silently.
        m_serial->clearError();
        break;
    }
}

QString resolvePortName(const QString& name)
{
    static const QRegularExpression comName(QStringLiteral("^\\\\\\\\\\.\\\\COM(\\d+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = comName.match(name);
    if (!match.hasMatch())
        return name;
#ifdef Q_OS_WIN
    return name;
#else
    return choosePort(match.captured(1).toInt()).path;
#endif
}

} // namespace t7
