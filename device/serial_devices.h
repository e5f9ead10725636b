#pragma once

#include <QString>

#include <vector>

namespace t7 {

// A serial device of this computer, as the port settings show it.
struct SerialDevice
{
    QString path;        // /dev/ttyUSB0
    QString description; // the adapter's own name, where it tells one
    bool usb = false;
    // Empty when this user may open the device, else why not, in the operator's words.
    QString problem;
};

// The serial devices found: USB adapters first, then the built-in ports, in the order the
// automatic choice of COM1 and COM2 takes them.
std::vector<SerialDevice> serialDevices();

// Which device serves COM1 or COM2 (number 1 or 2), and why that one.
struct PortChoice
{
    QString path;
    enum class From { Settings, Found, Default } from = From::Default;
};
PortChoice choosePort(int number);

// "задан в настройках", "найден первым", "по умолчанию".
QString describe(PortChoice::From from);

} // namespace t7
