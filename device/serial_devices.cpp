#include "device/serial_devices.h"

#include "common/settings.h"

#include <QFile>
#include <QSerialPortInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace t7 {

namespace {

QString accessProblem(const QString& path)
{
#ifdef Q_OS_UNIX
    if (::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0)
        return QStringLiteral("нет прав доступа: пользователь должен входить в группу dialout "
                              "(sudo usermod -a -G dialout ИМЯ, затем войти снова)");
#else
    Q_UNUSED(path)
#endif
    return {};
}

} // namespace

std::vector<SerialDevice> serialDevices()
{
    std::vector<SerialDevice> usb, builtIn;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialDevice device;
        device.path = info.systemLocation();
        device.description = info.description();
        if (!info.manufacturer().isEmpty() && !device.description.contains(info.manufacturer()))
            device.description =
                (info.manufacturer() + QLatin1Char(' ') + device.description).trimmed();
        device.problem = accessProblem(device.path);
        if (info.portName().startsWith(QLatin1String("ttyUSB")) ||
            info.portName().startsWith(QLatin1String("ttyACM"))) {
            device.usb = true;
            usb.push_back(device);
        } else if (info.portName().startsWith(QLatin1String("ttyS"))) {
            builtIn.push_back(device);
        }
    }
    std::sort(usb.begin(), usb.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });
    std::sort(builtIn.begin(), builtIn.end(), [](const SerialDevice& a, const SerialDevice& b) {
        return a.path.size() != b.path.size() ? a.path.size() < b.path.size() : a.path < b.path;
    });
    usb.insert(usb.end(), builtIn.begin(), builtIn.end());
    return usb;
}

PortChoice choosePort(int number)
{
    const QString configured =
        openSettings()->value(QStringLiteral("Port_COM%1").arg(number)).toString();
    if (!configured.isEmpty())
        return {configured, PortChoice::From::Settings};
    const std::vector<SerialDevice> found = serialDevices();
    if (number >= 1 && number <= int(found.size()))
        return {found[size_t(number - 1)].path, PortChoice::From::Found};
    return {QStringLiteral("/dev/ttyS%1").arg(number - 1), PortChoice::From::Default};
}

QString describe(PortChoice::From from)
{
    switch (from) {
    case PortChoice::From::Settings:
        return QStringLiteral("задан в настройках");
    case PortChoice::From::Found:
        return QStringLiteral("выбран из найденных");
    case PortChoice::From::Default:
        break;
    }
    return QStringLiteral("по умолчанию");
}

} // namespace t7
