#pragma once

#include "output/report/prepared_report.h"

#include <QDialog>

#include <functional>

class QPushButton;
class QScrollArea;

namespace t7 {

class PagesView;

// The report preview: modal, with exactly three buttons (zoom, print, close). Pages are drawn
// when they come into sight, so that a report of hundreds of pages opens at once.
class PreviewWindow : public QDialog
{
    Q_OBJECT

public:
    explicit PreviewWindow(QWidget* parent = nullptr);

    // Shows these pages; `print` is what the print button does.
    void setReport(const report::PreparedReport* report, std::function<void()> print);
    // The zoom levels the zoom button steps through, the first the one the window opens at.
    static const std::vector<double>& zooms();
    double zoom() const;
    PagesView* pagesView() const { return m_pages; }

    QPushButton* ZoomButton;
    QPushButton* PrintButton;
    QPushButton* CloseButton;

private:
    void nextZoom();

    QScrollArea* m_scroll;
    PagesView* m_pages;
    std::function<void()> m_print;
    size_t m_zoom = 0;
};

// The pages one below the other, on a grey desk.
class PagesView : public QWidget
{
    Q_OBJECT

public:
    explicit PagesView(QWidget* parent = nullptr);
    void setReport(const report::PreparedReport* report);
    void setZoom(double zoom);
    double zoom() const { return m_zoom; }
    // Pages drawn by the last paint: a preview draws only those in sight.
    int pagesDrawn() const { return m_pagesDrawn; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double dpi() const;
    QSizeF pageSize() const;
    void resizeToPages();

    const report::PreparedReport* m_report = nullptr;
    double m_zoom = 1;
    int m_pagesDrawn = 0;
};

} // namespace t7
