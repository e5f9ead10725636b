#include "output/report/page_painter.h"

#include "common/disk_file.h"
#include "common/error.h"
#include "output/report/report_engine.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

namespace t7::report {

namespace {

Qt::Alignment horizontal(HAlign align)
{
    switch (align) {
    case HAlign::Left:
        return Qt::AlignLeft;
    case HAlign::Right:
        return Qt::AlignRight;
    case HAlign::Center:
        break;
    }
    return Qt::AlignHCenter;
}

} // namespace

void paintPage(QPainter& painter, const PreparedPage& page, double dpi)
{
    const double scale = dpi / kUnitsPerInch;
    const double deviceDpi = painter.device() ? painter.device()->logicalDpiY() : dpi;
    TextMeasure measure;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QPen frame(Qt::black, 1 * scale, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    for (const PreparedObject& object : page.objects) {
        const ObjectStyle& style = *object.style;
        const QRectF rect(object.x * scale, object.y * scale, object.width * scale,
                          object.height * scale);
        if (style.frame) {
            painter.setPen(frame);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect);
        }
        if (object.textLength == 0)
            continue;
        // Point sizes are drawn at the device's own resolution; a preview at another zoom
        // draws them larger or smaller with the rest of the page.
        QFont font = fontOf(style.font);
        font.setPointSizeF(style.font.pointSize * dpi / deviceDpi);
        painter.setFont(font);
        painter.setPen(Qt::black);
        // Lines as measured at the reference resolution, placed as the layout placed them.
        const QStringList lines = page.lines(object);
        const double line = measure.lineHeight(style.font) * scale;
        const double spacing = style.lineSpacing * scale;
        const QRectF inner = rect.adjusted(style.gapX * scale, style.gapY * scale,
                                           -style.gapX * scale, -style.gapY * scale);
        const double block = double(lines.size()) * line + double(lines.size() - 1) * spacing;
        double y = inner.top();
        if (style.vAlign == VAlign::Center)
            y += (inner.height() - block) / 2;
        else if (style.vAlign == VAlign::Bottom)
            y += inner.height() - block;
        for (const QString& text : lines) {
            painter.drawText(QRectF(inner.left(), y, inner.width(), line),
                             horizontal(style.hAlign) | Qt::AlignVCenter | Qt::TextSingleLine |
                                 Qt::TextDontClip,
                             text);
            y += line + spacing;
        }
    }
    painter.restore();
}

void writePdf(const PreparedReport& report, const QString& path)
{
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&bytes);
        writer.setCreator(QStringLiteral("ТЕСКАР-7"));
        writer.setTitle(QStringLiteral("ТЕСКАР-7"));
        writer.setResolution(1200);
        QPageLayout layout(QPageSize(QPageSize::A4),
                           report.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                           QMarginsF());
        layout.setMode(QPageLayout::FullPageMode);
        writer.setPageLayout(layout);
        QPainter painter;
        if (!painter.begin(&writer))
            throw Error(QStringLiteral("Не удалось создать файл %1").arg(path));
        for (size_t i = 0; i < report.pages.size(); ++i) {
            if (i > 0)
                writer.newPage();
            paintPage(painter, report.pages[i], writer.resolution());
        }
        painter.end();
    }
    QString error;
    if (!writeFileSafely(path, bytes.data(), error))
        throw Error(QStringLiteral("Не удалось записать файл %1: %2").arg(path, error));
}

} // namespace t7::report
