#include "output_ui/preview_window.h"

#include "output/report/page_painter.h"

#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>

namespace t7 {

namespace {

constexpr int kGap = 12; // pixels between pages and around them

} // namespace

PagesView::PagesView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PagesView"));
    setAutoFillBackground(false);
}

void PagesView::setReport(const report::PreparedReport* report)
{
    m_report = report;
    resizeToPages();
    update();
}

void PagesView::setZoom(double zoom)
{
    m_zoom = zoom;
    resizeToPages();
    update();
}

double PagesView::dpi() const
{
    return logicalDpiY() * m_zoom;
}

QSizeF PagesView::pageSize() const
{
    if (!m_report)
        return {};
    const double scale = dpi() / report::kUnitsPerInch;
    return {m_report->pageWidth * scale, m_report->pageHeight * scale};
}

void PagesView::resizeToPages()
{
    const QSizeF page = pageSize();
    const int count = m_report ? int(m_report->pages.size()) : 0;
    resize(int(std::ceil(page.width())) + 2 * kGap,
           int(std::ceil((page.height() + kGap) * count)) + kGap);
}

void PagesView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(128, 128, 128));
    m_pagesDrawn = 0;
    if (!m_report)
        return;
    const QSizeF page = pageSize();
    const double step = page.height() + kGap;
    // Only the pages that the exposed area touches are drawn.
    const int first = std::max(0, int((event->rect().top() - kGap) / step));
    const int last = std::min(int(m_report->pages.size()) - 1, int(event->rect().bottom() / step));
    for (int i = first; i <= last; ++i) {
        const QRectF sheet(kGap, kGap + i * step, page.width(), page.height());
        painter.fillRect(sheet, Qt::white);
        painter.save();
        painter.translate(sheet.topLeft());
        report::paintPage(painter, m_report->pages[size_t(i)], dpi());
        painter.restore();
        ++m_pagesDrawn;
    }
}

PreviewWindow::PreviewWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(QStringLiteral("Предварительный просмотр"));
    setModal(true);
    resize(1000, 700);

    ZoomButton = new QPushButton(this);
    ZoomButton->setObjectName(QStringLiteral("ZoomButton"));
    PrintButton = new QPushButton(QStringLiteral("Печать"), this);
    PrintButton->setObjectName(QStringLiteral("PrintButton"));
    CloseButton = new QPushButton(QStringLiteral("Закрыть"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    for (QPushButton* button : {ZoomButton, PrintButton, CloseButton})
        button->setAutoDefault(false);

    m_pages = new PagesView;
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_pages);
    m_scroll->setAlignment(Qt::AlignHCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ZoomButton);
    buttons->addWidget(PrintButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_scroll);

    connect(ZoomButton, &QPushButton::clicked, this, [this] { nextZoom(); });
    connect(PrintButton, &QPushButton::clicked, this, [this] {
        if (m_print)
            m_print();
    });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    m_zoom = zooms().size() - 1;
    nextZoom();
}

const std::vector<double>& PreviewWindow::zooms()
{
    static const std::vector<double> levels = {1.0, 1.5, 2.0, 0.5, 0.75};
    return levels;
}

double PreviewWindow::zoom() const
{
    return zooms()[m_zoom];
}

void PreviewWindow::nextZoom()
{
    m_zoom = (m_zoom + 1) % zooms().size();
    m_pages->setZoom(zoom());
    ZoomButton->setText(QStringLiteral("Масштаб %1%").arg(int(std::lround(zoom() * 100))));
}

void PreviewWindow::setReport(const report::PreparedReport* report, std::function<void()> print)
{
    m_print = std::move(print);
    m_pages->setReport(report);
}

} // namespace t7
