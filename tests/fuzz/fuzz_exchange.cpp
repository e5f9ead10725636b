// The exchange with the instrument fed arbitrary batches, ticks, cancels and lost ports.
// The input is a script: each byte chooses an event; a batch takes its length from the next
// byte and its characters from the bytes after it.

#include "device/exchange.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

class Host : public t7::ExchangeHost
{
public:
    int results = 0;
    bool portOpen = false;
    void setPortName(const QString&) override {}
    void openPort() override { portOpen = true; }
    void closePort() override { portOpen = false; }
    void writeByte(char) override {}
    void startTimer1(int) override {}
    void stopTimer1() override {}
    void startTimer2(int) override {}
    void stopTimer2() override {}
    void setStatus(const QString&) override {}
    void setCaption(const QString&) override {}
    void setDeviceType(const QString&) override {}
    void setVersion(const QString&) override {}
    void setRecordCount(const QString&) override {}
    void setProgress(int percent) override
    {
        if (percent < 0 || percent > 100)
            __builtin_trap();
    }
    void showError(const QString&, const QString&) override {}
    void finish(int result) override
    {
        if (result != 1 && result != 2)
            __builtin_trap();
        ++results;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static t7::ReceiveBuffer buffer;
    static t7::DeviceImage image;
    Host host;
    t7::Exchange exchange(host, buffer, image);
    exchange.show();
    size_t at = 0;
    while (at < size) {
        const uint8_t event = data[at++];
        switch (event % 8) {
        case 0:
            exchange.timer1Tick();
            break;
        case 1:
            exchange.timer2Tick();
            break;
        case 2:
            if (event == 2)
                exchange.cancel();
            break;
        case 3:
            if (event == 3)
                exchange.portLost(QStringLiteral("gone"));
            break;
        case 4:
            if (!exchange.active())
                exchange.show();
            break;
        default: {
            size_t length = 0;
            if (at < size) {
                length = data[at++];
                length = std::min(length, size - at);
            }
            // Mostly the instrument's own characters, so that the fuzzer reaches the archive.
            QByteArray batch(reinterpret_cast<const char*>(data + at), qsizetype(length));
            if (event & 0x80)
                for (char& c : batch)
                    c = "0123456789:;<=>?SPZ"[static_cast<unsigned char>(c) % 19];
            at += length;
            exchange.receive(batch);
            break;
        }
        }
        if (host.results > 64)
            break;
    }
    exchange.closed();
    return 0;
}
