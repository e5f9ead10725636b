#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QSerialPort;

namespace t7 {

// The serial port of the receive window. Every batch of arriving bytes goes to the receive
// handler on the thread of the object, in arrival order, at most InBufSize bytes each.
class TCommPortDriver : public QObject
{
    Q_OBJECT

public:
    enum TPortNumber {
        pnCustom = 0,
        pnCOM1,
        pnCOM2,
        pnCOM3,
        pnCOM4,
        pnCOM5,
        pnCOM6,
        pnCOM7,
        pnCOM8,
        pnCOM9,
        pnCOM10,
        pnCOM11,
        pnCOM12,
        pnCOM13,
        pnCOM14,
        pnCOM15,
        pnCOM16
    };
    enum TBaudRate {
        brCustom,
        br110,
        br300,
        br600,
        br1200,
        br2400,
        br4800,
        br9600,
        br14400,
        br19200,
        br38400,
        br56000,
        br57600,
        br115200,
        br128000,
        br256000
    };
    enum TDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
    enum TStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
    enum TParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
    enum THwFlowControl { hfNONE, hfNONERTSON, hfRTSCTS };
    enum TSwFlowControl { sfNONE, sfXONXOFF };

    using TReceiveDataEvent =
        std::function<void(TCommPortDriver* sender, const char* data, quint32 size)>;
    // Maps a port name such as "\\.\COM1" onto the device to open.
    using PortResolver = std::function<QString(const QString& name)>;

    explicit TCommPortDriver(QObject* parent = nullptr);
    ~TCommPortDriver() override;

    QString PortName() const { return m_portName; }
    void setPortName(const QString& name);
    TPortNumber Port() const { return m_port; }
    void setPort(TPortNumber port);
    TBaudRate BaudRate() const { return m_baudRate; }
    void setBaudRate(TBaudRate rate);
    quint32 BaudRateValue() const { return m_baudRateValue; }
    void setBaudRateValue(quint32 value);
    TDataBits DataBits() const { return m_dataBits; }
    void setDataBits(TDataBits bits) { m_dataBits = bits; }
    TStopBits StopBits() const { return m_stopBits; }
    void setStopBits(TStopBits bits) { m_stopBits = bits; }
    TParity Parity() const { return m_parity; }
    void setParity(TParity parity) { m_parity = parity; }
    THwFlowControl HwFlow() const { return m_hwFlow; }
    void setHwFlow(THwFlowControl flow) { m_hwFlow = flow; }
    TSwFlowControl SwFlow() const { return m_swFlow; }
    void setSwFlow(TSwFlowControl flow) { m_swFlow = flow; }
    quint32 InBufSize() const { return m_inBufSize; }
    void setInBufSize(quint32 size);
    quint32 OutBufSize() const { return m_outBufSize; }
    void setOutBufSize(quint32 size);
    bool EnableDTROnOpen() const { return m_enableDtrOnOpen; }
    void setEnableDTROnOpen(bool enable) { m_enableDtrOnOpen = enable; }
    quint16 PollingDelay() const { return m_pollingDelay; }
    void setPollingDelay(quint16 milliseconds);
    quint16 OutputTimeout() const { return m_outputTimeout; }
    void setOutputTimeout(quint16 milliseconds) { m_outputTimeout = milliseconds; }
    bool CheckLineStatus() const { return m_checkLineStatus; }
    void setCheckLineStatus(bool check) { m_checkLineStatus = check; }

    TReceiveDataEvent OnReceiveData;
    PortResolver Resolver;

    bool OpenPort();
    void ClosePort();
    bool IsOpen() const;
    bool WriteByte(char value);

    // Why the last open failed, in the operator's words; empty after a good open.
    QString lastError() const { return m_lastError; }

signals:
    // The open port failed under way (the device vanished); the port is closed already.
    void portLost(const QString& reason);

private:
    void readWaiting();
    void onError(int error);

    QSerialPort* m_serial = nullptr;
    QString m_portName = QStringLiteral("\\\\.\\COM2");
    TPortNumber m_port = pnCOM2;
    TBaudRate m_baudRate = br9600;
    quint32 m_baudRateValue = 9600;
    TDataBits m_dataBits = db8BITS;
    TStopBits m_stopBits = sb1BITS;
    TParity m_parity = ptNONE;
    THwFlowControl m_hwFlow = hfNONERTSON;
    TSwFlowControl m_swFlow = sfNONE;
    quint32 m_inBufSize = 2048;
    quint32 m_outBufSize = 2048;
    bool m_enableDtrOnOpen = true;
    quint16 m_pollingDelay = 50;
    quint16 m_outputTimeout = 500;
    bool m_checkLineStatus = false;
    QByteArray m_readBuffer;
    bool m_reading = false;
    QString m_lastError;
    QString m_device;
};

// The default mapping of "\\.\COM1" and "\\.\COM2" onto the serial devices of this computer:
// the settings values Port_COM1 / Port_COM2 first, then the serial devices found (USB
// adapters before built-in ports), else the first and second built-in port.
QString resolvePortName(const QString& name);

} // namespace t7
