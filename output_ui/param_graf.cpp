#include "output_ui/param_graf.h"

#include "common/guard.h"
#include "common/named.h"
#include "data/dbf/table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace t7 {

TForm4::TForm4(dbf::Table& table, Prompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_table(table), m_prompts(prompts)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Построение графиков"));
    setFixedSize(210, 82);

    GroupBox1 = named(new QGroupBox(QStringLiteral("Выберете графики"), this), "GroupBox1");
    QFont font = GroupBox1->font();
    font.setPixelSize(13);
    GroupBox1->setFont(font);
    GroupBox1->setGeometry(0, 0, 210, 82);
    Label1 = named(new QLabel(QStringLiteral("Серия"), GroupBox1), "Label1");
    Label1->setGeometry(12, 24, 44, 22);
    ComboBox1 = named(new QComboBox(GroupBox1), "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setGeometry(60, 22, 138, 24);
    Button1 = named(new QPushButton(QStringLiteral("Построить"), GroupBox1), "Button1");
    Button1->setGeometry(60, 51, 100, 25);
    Button1->setDefault(true);
    CheckBox6 = named(new QCheckBox(QStringLiteral("W, %"), GroupBox1), "CheckBox6");
    CheckBox7 = named(new QCheckBox(QStringLiteral("T, C"), GroupBox1), "CheckBox7");
    CheckBox6->setVisible(false);
    CheckBox7->setVisible(false);
    connect(Button1, &QPushButton::clicked, this,
            [this] { guarded(m_prompts, [this] { Button1Click(); }); });
    FormCreate();
}

void TForm4::FormCreate()
{
    CheckBox6->setChecked(false);
    CheckBox7->setChecked(false);
    CheckBox7->setText(QStringLiteral("T, °C"));
}

void TForm4::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    guarded(m_prompts, [this] { FormShow(); });
}

// The numbers from the first row's N to the last row's, in the current order; the table is
// left on its last row.
void TForm4::FormShow()
{
    ComboBox1->clear();
    ComboBox1->clearEditText();
    if (!m_table.isOpen() || m_table.visibleCount() == 0)
        return;
    m_table.first();
    const int first = m_table.integer(u"N").value_or(0);
    m_table.last();
    const int last = m_table.integer(u"N").value_or(0);
    if (last >= first) {
        QStringList numbers;
        numbers.reserve(last - first + 1);
        for (int n = first; n <= last; ++n)
            numbers.append(QString::number(n));
        ComboBox1->addItems(numbers);
    }
    if (ComboBox1->count() > 0)
        ComboBox1->setCurrentIndex(0);
}

void TForm4::Button1Click()
{
    SelectedSeries = ComboBox1->currentText();
    done(SelectedSeries.isEmpty() ? QDialog::Rejected : QDialog::Accepted);
}

} // namespace t7
