#pragma once

#include "common/prompts.h"
#include "device/comm_port_driver.h"
#include "device/exchange.h"

#include <QTimer>

#include <functional>

namespace t7 {

// The port and the two timers of an exchange, for any host: the receive window and the
// command line share them.
class PortLink : public ExchangeHost
{
public:
    // The port object and the timers become children of owner. What goes wrong in an event
    // of the port or the timers goes to `prompts` through the one error guard.
    PortLink(QObject* owner, Prompts& prompts);
    ~PortLink() override;

    TCommPortDriver* CommPortDriver1;
    QTimer* Timer1;
    QTimer* Timer2;
    Exchange& exchange() { return m_exchange; }

    void setPortName(const QString& name) override;
    void openPort() override;
    void closePort() override;
    void writeByte(char letter) override;
    void startTimer1(int milliseconds) override;
    void stopTimer1() override;
    void startTimer2(int milliseconds) override;
    void stopTimer2() override;

protected:
    // The last open failed; the reason in words.
    virtual void portOpenFailed(const QString& /*reason*/) {}

private:
    Exchange m_exchange;
    Prompts& m_guardPrompts;
};

} // namespace t7
