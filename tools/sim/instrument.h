#pragma once

#include <QByteArray>
#include <QString>

namespace t7::sim {

enum class Fault { None, Silent, WrongType, Restart, Garbage, Cut, Endless };

bool parseFault(const QString& name, Fault& fault);

// The instrument's side of the line: takes the computer's requests and queues the answers.
class Instrument
{
public:
    Instrument(QByteArray image, Fault fault) : m_image(std::move(image)), m_fault(fault) {}

    // A byte from the computer; the answer is appended to `out`.
    void request(char letter, QByteArray& out);
    // While a reply never ends, more characters to send.
    bool endless() const { return m_endless; }
    void more(QByteArray& out, qsizetype count);

private:
    QByteArray m_image;
    Fault m_fault;
    bool m_restarted = false;
    bool m_endless = false;
};

} // namespace t7::sim
