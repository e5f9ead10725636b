#pragma once

#include "device/serial_devices.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QTreeWidget;

namespace t7 {

// "Сервис → Порты…": the serial devices found, and which one serves COM1 and COM2.
// "Автоматически" leaves the choice to the program (USB adapters first); a device chosen or
// typed is kept in the settings as Port_COM1 / Port_COM2.
class PortsDialog : public QDialog
{
public:
    explicit PortsDialog(QWidget* parent = nullptr);

    QTreeWidget* Devices;
    QComboBox* Com1;
    QComboBox* Com2;
    QLabel* Access; // a clear line when this user may not open a device

    // Fills the list and the choices from the devices found and the settings.
    void load(const std::vector<SerialDevice>& devices);
    // Stores the choices in the settings; the caller does, once the dialog ended with OK.
    void save() const;

    static QString automatic() { return QStringLiteral("Автоматически"); }
};

} // namespace t7
