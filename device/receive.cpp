#include "device/receive.h"

#include "common/guard.h"
#include "common/named.h"
#include "common/product.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>

namespace t7 {

TForm2::TForm2(Prompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      PortLink(this, prompts), m_prompts(prompts)
{
    setObjectName(QStringLiteral("Form2"));
    setModal(true);
    setFixedSize(490, 245);
    setWindowTitle(QStringLiteral("Прием данных"));

    StaticText2 =
        named(new QLabel(QStringLiteral("Ожидание готовности прибора ..."), this), "StaticText2");
    QFont bold = StaticText2->font();
    bold.setBold(true);
    bold.setPixelSize(16);
    StaticText2->setFont(bold);
    StaticText2->setAlignment(Qt::AlignCenter);
    StaticText2->setGeometry(104, 12, 288, 24);

    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setGeometry(20, 57, 453, 17);

    GroupBox1 = named(new QGroupBox(QStringLiteral("Информация"), this), "GroupBox1");
    QFont groupFont = GroupBox1->font();
    groupFont.setPixelSize(13);
    GroupBox1->setFont(groupFont);
    GroupBox1->setGeometry(20, 100, 453, 101);
    StaticText4 = named(new QLabel(QStringLiteral("Тип прибора:"), GroupBox1), "StaticText4");
    StaticText4->move(20, 24);
    StaticText5 = named(new QLabel(GroupBox1), "StaticText5");
    StaticText5->setGeometry(124, 24, 300, 17);
    StaticText3 = named(new QLabel(QStringLiteral("Версия ПО:"), GroupBox1), "StaticText3");
    StaticText3->move(20, 48);
    StaticText1 = named(new QLabel(GroupBox1), "StaticText1");
    StaticText1->setGeometry(124, 48, 300, 17);
    StaticText6 =
        named(new QLabel(QStringLiteral("Количество записей:"), GroupBox1), "StaticText6");
    StaticText6->move(20, 72);
    StaticText7 = named(new QLabel(GroupBox1), "StaticText7");
    StaticText7->setGeometry(164, 72, 260, 17);
    // Each value stands in its column, clear of its caption however wide the font draws it.
    for (auto [caption, value] :
         {std::pair{StaticText4, StaticText5}, std::pair{StaticText3, StaticText1},
          std::pair{StaticText6, StaticText7}}) {
        caption->adjustSize();
        const int left = std::max(value->x(), caption->geometry().right() + 8);
        value->setGeometry(left, value->y(), GroupBox1->width() - left - 8, value->height());
    }

    Button1 = named(new QPushButton(QStringLiteral("Отмена"), this), "Button1");
    Button1->setGeometry(412, 216, 75, 25);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this,
            [this] { guarded(m_prompts, [this] { Button1Click(); }); });

    CheckBox1 = named(new QCheckBox(QStringLiteral("Сохранить двоичный файл"), this), "CheckBox1");
    CheckBox1->setGeometry(20, 220, 201, 17);

    FormCreate();
}

void TForm2::FormCreate()
{
    CheckBox1->hide();
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous() || m_shown)
        return;
    m_shown = true;
    guarded(m_prompts, [this] { FormShow(); });
}

void TForm2::FormShow()
{
    m_savedTitle = applicationTitle();
    CheckBox1->setChecked(false);
    exchange().show();
}

void TForm2::Button1Click()
{
    exchange().cancel();
}

void TForm2::reject()
{
    // Escape works like "Отмена"; there is no close box.
    guarded(m_prompts, [this] { Button1Click(); });
}

void TForm2::done(int result)
{
    QDialog::done(result);
    FormClose();
}

void TForm2::FormClose()
{
    m_shown = false;
    setApplicationTitle(m_savedTitle);
    exchange().closed();
    closePort();
}

void TForm2::setStatus(const QString& text)
{
    StaticText2->setText(text);
    StaticText2->setWordWrap(false);
    StaticText2->adjustSize();
    if (StaticText2->width() > width() - 20) {
        // A long report (a port that cannot be opened) wraps above the progress bar.
        StaticText2->setWordWrap(true);
        StaticText2->setGeometry(10, 2, width() - 20, 52);
        return;
    }
    StaticText2->move((width() - StaticText2->width()) / 2, 12);
}

void TForm2::setCaption(const QString& text)
{
    setWindowTitle(text);
}

void TForm2::setDeviceType(const QString& text)
{
    StaticText5->setText(text);
}

void TForm2::setVersion(const QString& text)
{
    StaticText1->setText(text);
}

void TForm2::setRecordCount(const QString& text)
{
    StaticText7->setText(text);
}

void TForm2::setProgress(int percent)
{
    ProgressBar1->setValue(percent);
}

void TForm2::showError(const QString& text, const QString& caption)
{
    m_prompts.message(text, caption, Icon::Error);
}

void TForm2::finish(int result)
{
    done(result);
}

bool TForm2::dumpRequested()
{
    return CheckBox1->isChecked();
}

void TForm2::writeDump(qint64 length)
{
    FileDialogSpec spec;
    spec.filter = QStringLiteral("Двоичные файлы|*.bin");
    spec.defaultSuffix = QStringLiteral("bin");
    spec.confirmOverwrite = true;
    const QString path = m_prompts.saveFileName(spec);
    if (path.isEmpty())
        return;
    WriteDumpFile(path, theDeviceImage(), length);
}

void TForm2::portOpenFailed(const QString& reason)
{
    // The exchange goes on waiting for an answer; the operator sees why none will come.
    setStatus(QStringLiteral("Порт недоступен: ") + reason);
}

} // namespace t7
