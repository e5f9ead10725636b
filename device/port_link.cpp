#include "device/port_link.h"

#include "common/guard.h"

namespace t7 {

PortLink::PortLink(QObject* owner, Prompts& prompts)
    : CommPortDriver1(new TCommPortDriver(owner)), Timer1(new QTimer(owner)),
      Timer2(new QTimer(owner)), m_exchange(*this, theReceiveBuffer(), theDeviceImage()),
      m_guardPrompts(prompts)
{
    CommPortDriver1->setObjectName(QStringLiteral("CommPortDriver1"));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer2->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(0);
    Timer2->setInterval(Exchange::kRequestDelayMs);

    CommPortDriver1->setPortName(Exchange::com1());
    CommPortDriver1->setBaudRate(TCommPortDriver::br9600);
    CommPortDriver1->setDataBits(TCommPortDriver::db8BITS);
    CommPortDriver1->setStopBits(TCommPortDriver::sb2BITS);
    CommPortDriver1->setParity(TCommPortDriver::ptNONE);
    CommPortDriver1->setHwFlow(TCommPortDriver::hfNONERTSON);
    CommPortDriver1->setSwFlow(TCommPortDriver::sfNONE);
    CommPortDriver1->setInBufSize(4096);
    CommPortDriver1->setOutBufSize(4096);
    CommPortDriver1->setEnableDTROnOpen(false);
    CommPortDriver1->setPollingDelay(50);
    CommPortDriver1->setOutputTimeout(500);
    CommPortDriver1->OnReceiveData = [this](TCommPortDriver*, const char* data, quint32 size) {
        guarded(m_guardPrompts,
                [this, data, size] { m_exchange.receive(QByteArrayView(data, size)); });
    };
    QObject::connect(Timer1, &QTimer::timeout, owner,
                     [this] { guarded(m_guardPrompts, [this] { m_exchange.timer1Tick(); }); });
    QObject::connect(Timer2, &QTimer::timeout, owner,
                     [this] { guarded(m_guardPrompts, [this] { m_exchange.timer2Tick(); }); });
    QObject::connect(CommPortDriver1, &TCommPortDriver::portLost, owner,
                     [this](const QString& reason) {
                         guarded(m_guardPrompts, [this, reason] { m_exchange.portLost(reason); });
                     });
}

PortLink::~PortLink()
{
    CommPortDriver1->OnReceiveData = nullptr;
}

void PortLink::setPortName(const QString& name)
{
    CommPortDriver1->setPortName(name);
}

void PortLink::openPort()
{
    if (!CommPortDriver1->OpenPort())
        portOpenFailed(CommPortDriver1->lastError());
}

void PortLink::closePort()
{
    CommPortDriver1->ClosePort();
}

void PortLink::writeByte(char letter)
{
    CommPortDriver1->WriteByte(letter);
}

void PortLink::startTimer1(int milliseconds)
{
    Timer1->start(milliseconds);
}

void PortLink::stopTimer1()
{
    Timer1->stop();
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer2->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(0);
}

void PortLink::startTimer2(int milliseconds)
{
    if (!Timer2->isActive())
        Timer2->start(milliseconds);
}

void PortLink::stopTimer2()
{
    Timer2->stop();
}

} // namespace t7
