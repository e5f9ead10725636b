#include "device/ports_dialog.h"

#include "common/settings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace t7 {

PortsDialog::PortsDialog(QWidget* parent)
    : QDialog(parent), Devices(new QTreeWidget(this)), Com1(new QComboBox(this)),
      Com2(new QComboBox(this)), Access(new QLabel(this))
{
    setObjectName(QStringLiteral("PortsDialog"));
    setWindowTitle(QStringLiteral("Порты"));
    resize(620, 360);
    Devices->setHeaderLabels(
        {QStringLiteral("Устройство"), QStringLiteral("Описание"), QStringLiteral("Доступ")});
    Devices->setRootIsDecorated(false);
    Devices->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    for (QComboBox* box : {Com1, Com2}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
    }
    Access->setWordWrap(true);
    auto* choices = new QFormLayout;
    choices->addRow(QStringLiteral("COM1:"), Com1);
    choices->addRow(QStringLiteral("COM2:"), Com2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Найденные последовательные порты:"), this));
    layout->addWidget(Devices);
    layout->addWidget(Access);
    layout->addLayout(choices);
    layout->addWidget(buttons);
}

void PortsDialog::load(const std::vector<SerialDevice>& devices)
{
    Devices->clear();
    QStringList problems;
    for (const SerialDevice& device : devices) {
        auto* item = new QTreeWidgetItem(Devices);
        item->setText(0, device.path);
        item->setText(1, device.description);
        item->setText(2, device.problem.isEmpty() ? QStringLiteral("есть") : QStringLiteral("нет"));
        if (!device.problem.isEmpty())
            problems.append(device.path);
    }
    if (devices.empty())
        Access->setText(QStringLiteral("Последовательные порты не найдены. Подключите "
                                       "переходник USB — RS-232 или укажите устройство ниже."));
    else if (!problems.isEmpty())
        Access->setText(QStringLiteral("Нет прав доступа к %1: пользователь должен входить в "
                                       "группу dialout (sudo usermod -a -G dialout ИМЯ, затем "
                                       "войти снова).")
                            .arg(problems.join(QStringLiteral(", "))));
    else
        Access->clear();
    const auto settings = openSettings();
    for (int number : {1, 2}) {
        QComboBox* box = number == 1 ? Com1 : Com2;
        box->clear();
        box->addItem(automatic());
        for (const SerialDevice& device : devices)
            box->addItem(device.path);
        const QString configured =
            settings->value(QStringLiteral("Port_COM%1").arg(number)).toString();
        box->setCurrentText(configured.isEmpty() ? automatic() : configured);
    }
}

void PortsDialog::save() const
{
    const auto settings = openSettings();
    for (int number : {1, 2}) {
        const QString chosen = (number == 1 ? Com1 : Com2)->currentText().trimmed();
        const QString key = QStringLiteral("Port_COM%1").arg(number);
        if (chosen.isEmpty() || chosen == automatic())
            settings->remove(key);
        else
            settings->setValue(key, chosen);
    }
    settings->sync();
}

} // namespace t7
