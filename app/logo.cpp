#include "app/logo.h"

#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

namespace t7 {

TForm5::TForm5(QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint), Image1(new QLabel(this)),
      Timer1(new QTimer(this))
{
    setObjectName(QStringLiteral("Form5"));
    setFixedSize(400, 77);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 401, 81);
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/banner.png")));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kShowMs);
    Timer1->setSingleShot(true);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &TForm5::Timer1Timer);
}

void TForm5::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm5::FormShow()
{
    if (const QScreen* screen = this->screen())
        move(screen->geometry().center() - rect().center());
    Timer1->start();
}

void TForm5::Timer1Timer()
{
    done(QDialog::Accepted);
}

} // namespace t7
