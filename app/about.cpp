#include "app/about.h"

#include "app/version_info.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace t7 {

Tform6::Tform6(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint),
      StaticText1(new QLabel(QStringLiteral("ТЕСКАР-7"), this)),
      StaticText3(new QLabel(QStringLiteral("Версия 1.0"), this)),
      StaticText2(
          new QLabel(QStringLiteral("Программа для передачи данных с прибора ТЕСКАР-7."), this)),
      Button1(new QPushButton(QStringLiteral("Ок"), this))
{
    setObjectName(QStringLiteral("form6"));
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(515, 151);
    setModal(true);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText3->setObjectName(QStringLiteral("StaticText3"));
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    Button1->setObjectName(QStringLiteral("Button1"));
    QFont title = StaticText1->font();
    title.setBold(true);
    title.setPixelSize(16);
    StaticText1->setFont(title);
    QFont text = StaticText3->font();
    text.setPixelSize(13);
    StaticText3->setFont(text);
    StaticText2->setFont(text);
    QFont button = Button1->font();
    button.setPixelSize(11);
    Button1->setFont(button);
    StaticText1->move(12, 12);
    StaticText3->move(12, 44);
    StaticText2->move(12, 72);
    for (QLabel* label : {StaticText1, StaticText3, StaticText2})
        label->adjustSize();
    Button1->setGeometry(434, 116, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &Tform6::Button1Click);
}

void Tform6::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tform6::FormShow()
{
    const QString path =
        programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath;
    StaticText3->setText(QStringLiteral("Версия ") + fileVersionOf(path));
    StaticText3->adjustSize();
}

void Tform6::Button1Click()
{
    done(QDialog::Accepted);
}

} // namespace t7
