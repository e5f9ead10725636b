#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace t7 {

class Prompts;
namespace dbf {
class Table;
}

// The chart selection window: which value of N to draw.
class TForm4 : public QDialog
{
public:
    TForm4(dbf::Table& table, Prompts& prompts, QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QComboBox* ComboBox1;
    QPushButton* Button1;
    QCheckBox* CheckBox6; // hidden; ticked, it would list Series1 in the legend
    QCheckBox* CheckBox7; // hidden; the same for Series2

    // The text last confirmed with "Построить", kept from one chart to the next.
    QString SelectedSeries;

    void FormCreate();
    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    dbf::Table& m_table;
    Prompts& m_prompts;
};

} // namespace t7
