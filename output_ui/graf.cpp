#include "output_ui/graf.h"

#include "common/guard.h"
#include "common/named.h"
#include "output_ui/param_graf.h"
#include "output_ui/printer_provider.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QValueAxis>

#include <cmath>

namespace t7 {

namespace {

// A square point marker of half-width 3.
QImage squareMarker(const QColor& color)
{
    QImage image(7, 7, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

void setPoints(QLineSeries* series, const std::vector<chart::ChartPoint>& points)
{
    QList<QPointF> at;
    at.reserve(qsizetype(points.size()));
    for (const chart::ChartPoint& point : points)
        at.append(point.at);
    series->clearPointsConfiguration();
    series->replace(at);
    for (qsizetype i = 0; i < qsizetype(points.size()); ++i)
        series->setPointConfiguration(
            i, {{QXYSeries::PointConfiguration::Color, points[size_t(i)].color},
                {QXYSeries::PointConfiguration::Size, series->markerSize()}});
}

// The chart's own step over 0…maximum: 1, 2 or 5 times a power of ten, for five to ten labels.
double niceStep(double maximum)
{
    if (maximum <= 0)
        return 1;
    const double rough = maximum / 5;
    const double power = std::pow(10, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0})
        if (rough <= factor * power)
            return factor * power;
    return 10 * power;
}

// A fixed range from 0; a step of 0 lets the chart choose one. Labels that would crowd
// each other are left out as whole steps, at most 25 of them on an axis.
void setRange(QValueAxis* axis, double maximum, double step)
{
    axis->setRange(0, maximum);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    if (step <= 0)
        step = niceStep(maximum);
    axis->setTickInterval(step * std::max(1.0, std::ceil(maximum / step / 25)));
}

} // namespace

TForm3::TForm3(dbf::Table& table, Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_table(table), m_prompts(prompts)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QString());
    setSizeGripEnabled(true);
    resize(690, 448);

    auto* chart = new QChart;
    chart->setBackgroundVisible(true);
    chart->setPlotAreaBackgroundBrush(Qt::white);
    chart->setPlotAreaBackgroundVisible(true);
    QFont legendFont(QStringLiteral("Arial"));
    legendFont.setPixelSize(13);
    chart->legend()->setFont(legendFont);
    chart->legend()->setLabelColor(Qt::black);
    chart->legend()->setAlignment(Qt::AlignBottom);

    Series1 = new QLineSeries;
    Series1->setName(QStringLiteral("q1, Вт/кв.м."));
    Series1->setColor(Qt::red);
    Series1->setMarkerSize(3); // drawn as the radius of its circles
    Series2 = new QLineSeries;
    Series2->setName(QStringLiteral("q2, Вт/кв.м."));
    Series2->setColor(Qt::blue);
    Series2->setMarkerSize(7);
    chart->addSeries(Series1);
    chart->addSeries(Series2);

    BottomAxis = new QValueAxis;
    BottomAxis->setLabelFormat(QStringLiteral("%g"));
    BottomAxis->setMinorTickCount(1);
    BottomAxis->setTickType(QValueAxis::TicksDynamic);
    BottomAxis->setTickInterval(1);
    LeftAxis = new QValueAxis;
    LeftAxis->setLabelFormat(QStringLiteral("%g"));
    RightAxis = new QValueAxis;
    RightAxis->setLabelFormat(QStringLiteral("%g"));
    RightAxis->setGridLineVisible(false);
    RightAxis->setMinorGridLineVisible(false);
    chart->addAxis(BottomAxis, Qt::AlignBottom);
    chart->addAxis(LeftAxis, Qt::AlignLeft);
    chart->addAxis(RightAxis, Qt::AlignRight);
    Series1->attachAxis(BottomAxis);
    Series1->attachAxis(LeftAxis);
    Series2->attachAxis(BottomAxis);
    Series2->attachAxis(RightAxis);

    Chart1 = named(new QChartView(chart, this), "Chart1");
    Chart1->setRenderHint(QPainter::Antialiasing);
    Button1 = named(new QPushButton(QStringLiteral("Печать"), Chart1), "Button1");
    Button1->setAutoDefault(false);
    CheckBox1 = named(new QCheckBox(QStringLiteral("Точки данных"), Chart1), "CheckBox1");
    connect(Button1, &QPushButton::clicked, this,
            [this] { guarded(m_prompts, [this] { Button1Click(); }); });
    connect(CheckBox1, &QCheckBox::toggled, this,
            [this] { guarded(m_prompts, [this] { CheckBox1Click(); }); });
    FormCreate();
    placeControls();
}

void TForm3::FormCreate()
{
    CheckBox1->setChecked(false);
    CheckBox1Click();
}

int TForm3::showChart()
{
    FormShow();
    return exec();
}

void TForm3::FormShow()
{
    Series1->clear();
    Series2->clear();
    apply(chart::buildChart(m_table, m_selection ? m_selection->SelectedSeries : QString()));
}

void TForm3::apply(const chart::ChartData& data)
{
    QChart* chart = Chart1->chart();
    setPoints(Series1, data.left);
    setPoints(Series2, data.right);
    // A series is listed in the legend only while its check box in the selection window
    // is ticked; both stay unticked.
    const auto list = [chart](QLineSeries* series, bool shown) {
        for (QLegendMarker* marker : chart->legend()->markers(series))
            marker->setVisible(shown);
    };
    list(Series1, m_selection && m_selection->CheckBox6->isChecked());
    list(Series2, m_selection && m_selection->CheckBox7->isChecked());
    chart->setTitle(data.title);
    LeftAxis->setTitleText(data.leftTitle);
    RightAxis->setTitleText(data.rightTitle);
    BottomAxis->setTitleText(data.bottomTitle);
    RightAxis->setLineVisible(data.rightAxisLine);
    setRange(LeftAxis, data.leftMax, data.leftStep);
    setRange(BottomAxis, data.bottomMax, data.bottomStep);
    setRange(RightAxis, data.rightMax, 0);
}

void TForm3::CheckBox1Click()
{
    const bool shown = CheckBox1->isChecked();
    Series1->setPointsVisible(shown);
    Series2->setPointsVisible(shown);
    // Series2's points are green (the colour they are added with), drawn as squares.
    Series2->setLightMarker(shown ? squareMarker(Qt::green) : QImage());
}

// On the current printer, no dialog: landscape, 4 % margins, stretched to the page.
void TForm3::Button1Click()
{
    if (!m_printers || !m_printers->hasPrinter())
        return;
    QPrinter* printer = m_printers->currentPrinter();
    if (!printer)
        return;
    printer->setPageOrientation(QPageLayout::Landscape);
    printer->setFullPage(true);
    QPainter painter;
    if (!painter.begin(printer))
        throw Error(QStringLiteral("Принтер недоступен"));
    const QRectF page = printer->pageLayout().fullRectPixels(printer->resolution());
    const QRectF inside = page.adjusted(page.width() * 0.04, page.height() * 0.04,
                                        -page.width() * 0.04, -page.height() * 0.04);
    // The controls lying on the chart are not part of the print.
    Button1->hide();
    CheckBox1->hide();
    Chart1->render(&painter, inside, Chart1->rect(), Qt::IgnoreAspectRatio);
    Button1->show();
    CheckBox1->show();
    painter.end();
}

void TForm3::placeControls()
{
    Chart1->setGeometry(rect());
    Button1->adjustSize();
    CheckBox1->adjustSize();
    Button1->move(Chart1->width() - Button1->width() - 8, Chart1->height() - Button1->height() - 8);
    CheckBox1->move(8, Chart1->height() - CheckBox1->height() - 10);
    // The top margin is 5 % of the chart's height.
    QMargins margins = Chart1->chart()->margins();
    margins.setTop(int(Chart1->height() * 0.05));
    Chart1->chart()->setMargins(margins);
}

void TForm3::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    placeControls();
}

void TForm3::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace t7
