#pragma once

#include "output/chart/chart_data.h"

#include <QDialog>

class QCheckBox;
class QPushButton;
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

namespace t7 {

class Prompts;
class PrinterProvider;
class TForm4;
namespace dbf {
class Table;
}

// The chart window: the rows of the series chosen in the selection window.
class TForm3 : public QDialog
{
public:
    TForm3(dbf::Table& table, Prompts& prompts, QWidget* parent = nullptr);

    QChartView* Chart1;
    QLineSeries* Series1;
    QLineSeries* Series2;
    QValueAxis* BottomAxis;
    QValueAxis* LeftAxis;
    QValueAxis* RightAxis;
    QPushButton* Button1;
    QCheckBox* CheckBox1;

    // The selection window, created after this one, that tells the series to draw.
    void setSelection(TForm4& selection) { m_selection = &selection; }
    // Where "Печать" prints: the report's printers, so that the printer last chosen for the
    // report is the current one here too. Without them "Печать" does nothing.
    void setPrinters(PrinterProvider& printers) { m_printers = &printers; }

    void FormCreate();
    // Builds the chart from the table, then shows the window modally. Throws t7::Error when
    // a value does not read as a number; the window is not shown then.
    int showChart();
    void FormShow();
    void Button1Click();
    void CheckBox1Click();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void apply(const chart::ChartData& data);
    void placeControls();

    dbf::Table& m_table;
    TForm4* m_selection = nullptr;
    Prompts& m_prompts;
    PrinterProvider* m_printers = nullptr;
};

} // namespace t7
