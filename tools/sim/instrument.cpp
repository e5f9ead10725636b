#include "tools/sim/instrument.h"

#include "device/codec.h"

namespace t7::sim {

bool parseFault(const QString& name, Fault& fault)
{
    static const std::pair<const char*, Fault> names[] = {
        {"none", Fault::None},       {"silent", Fault::Silent},   {"wrong-type", Fault::WrongType},
        {"restart", Fault::Restart}, {"garbage", Fault::Garbage}, {"cut", Fault::Cut},
        {"endless", Fault::Endless}};
    for (const auto& [text, value] : names) {
        if (name == QLatin1String(text)) {
            fault = value;
            return true;
        }
    }
    return false;
}

void Instrument::request(char letter, QByteArray& out)
{
    if (m_fault == Fault::Silent)
        return;
    if (letter == 'V') {
        // Type 18, second code 2, then the instrument's software version.
        out.append(m_fault == Fault::WrongType ? "2220100000" : "2120100000");
        return;
    }
    if (letter != 'N')
        return;
    const QByteArray body = EncodeBytes(m_image);
    out.append('S');
    switch (m_fault) {
    case Fault::Restart:
        if (!m_restarted) {
            m_restarted = true;
            out.append(body.left(body.size() / 2 & ~qsizetype(1)));
            out.append('Z');
            return;
        }
        break;
    case Fault::Garbage: {
        QByteArray damaged = body;
        for (qsizetype i = 8; i < damaged.size(); i += 97)
            damaged[i] = '!';
        out.append(damaged);
        out.append('P');
        return;
    }
    case Fault::Cut:
        out.append(body.left(body.size() / 2));
        return;
    case Fault::Endless:
        m_endless = true;
        out.append(body);
        return;
    default:
        break;
    }
    out.append(body);
    out.append('P');
}

void Instrument::more(QByteArray& out, qsizetype count)
{
    out.append(QByteArray(count, '0'));
}

} // namespace t7::sim
