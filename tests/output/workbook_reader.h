#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

namespace t7::test {

// What a written workbook holds, read back from its XML parts with unzip.
struct Workbook
{
    struct Cell
    {
        QString value; // the shared string, or the stored number as written
        bool text = false;
        QString format; // number format code; "General" when none
        bool bold = false;
        double fontSize = 0;
        bool border = false;
    };
    QMap<QString, Cell> cells; // by reference: "A1"
    QStringList merged;        // "A1:D1"
    QList<int> breaks;         // rows after which a page ends (1-based)
    QList<double> columnWidths;
    QMap<int, double> rowHeights; // 1-based
    QString orientation;
    int paperSize = 0;
    double marginLeft = 0;

    bool valid = false;

    static QByteArray part(const QString& file, const QString& name)
    {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file, name});
        unzip.waitForFinished(30000);
        return unzip.exitCode() == 0 ? unzip.readAllStandardOutput() : QByteArray();
    }

    static Workbook read(const QString& file)
    {
        Workbook book;
        QStringList strings;
        {
            QXmlStreamReader xml(part(file, QStringLiteral("xl/sharedStrings.xml")));
            while (!xml.atEnd())
                if (xml.readNext() == QXmlStreamReader::StartElement &&
                    xml.name() == QLatin1String("t"))
                    strings.append(xml.readElementText());
        }
        // Styles: the number format, font and border of every cell format.
        struct Style
        {
            QString format = QStringLiteral("General");
            int font = 0;
            bool border = false;
        };
        QList<Style> styles;
        QMap<int, QString> formats;
        QList<QPair<bool, double>> fonts;
        QList<bool> borders;
        {
            QXmlStreamReader xml(part(file, QStringLiteral("xl/styles.xml")));
            QString section;
            while (!xml.atEnd()) {
                xml.readNext();
                if (!xml.isStartElement())
                    continue;
                const auto name = xml.name();
                const auto attributes = xml.attributes();
                if (name == QLatin1String("fonts") || name == QLatin1String("borders") ||
                    name == QLatin1String("cellXfs") || name == QLatin1String("cellStyleXfs"))
                    section = name.toString();
                else if (name == QLatin1String("numFmt"))
                    formats[attributes.value(QLatin1String("numFmtId")).toInt()] =
                        attributes.value(QLatin1String("formatCode")).toString();
                else if (name == QLatin1String("font") && section == QLatin1String("fonts"))
                    fonts.append({false, 0});
                else if (name == QLatin1String("b") && section == QLatin1String("fonts"))
                    fonts.back().first = true;
                else if (name == QLatin1String("sz") && section == QLatin1String("fonts"))
                    fonts.back().second = attributes.value(QLatin1String("val")).toDouble();
                else if (name == QLatin1String("border"))
                    borders.append(false);
                else if (name == QLatin1String("left") && section == QLatin1String("borders"))
                    borders.back() = !attributes.value(QLatin1String("style")).isEmpty();
                else if (name == QLatin1String("xf") && section == QLatin1String("cellXfs")) {
                    Style style;
                    const int id = attributes.value(QLatin1String("numFmtId")).toInt();
                    if (id != 0)
                        style.format = formats.value(id, QStringLiteral("builtin %1").arg(id));
                    style.font = attributes.value(QLatin1String("fontId")).toInt();
                    style.border =
                        borders.value(attributes.value(QLatin1String("borderId")).toInt());
                    styles.append(style);
                }
            }
        }
        const QByteArray sheet = part(file, QStringLiteral("xl/worksheets/sheet1.xml"));
        book.valid = !sheet.isEmpty();
        QXmlStreamReader xml(sheet);
        QString reference;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            const auto name = xml.name();
            const auto attributes = xml.attributes();
            if (name == QLatin1String("c")) {
                reference = attributes.value(QLatin1String("r")).toString();
                Cell cell;
                const Style style = styles.value(attributes.value(QLatin1String("s")).toInt());
                cell.format = style.format;
                cell.bold = fonts.value(style.font).first;
                cell.fontSize = fonts.value(style.font).second;
                cell.border = style.border;
                cell.text = attributes.value(QLatin1String("t")) == QLatin1String("s");
                book.cells[reference] = cell;
            } else if (name == QLatin1String("v")) {
                Cell& cell = book.cells[reference];
                const QString value = xml.readElementText();
                cell.value = cell.text ? strings.value(value.toInt()) : value;
            } else if (name == QLatin1String("mergeCell")) {
                book.merged.append(attributes.value(QLatin1String("ref")).toString());
            } else if (name == QLatin1String("brk")) {
                book.breaks.append(attributes.value(QLatin1String("id")).toInt());
            } else if (name == QLatin1String("col")) {
                book.columnWidths.append(attributes.value(QLatin1String("width")).toDouble());
            } else if (name == QLatin1String("row") &&
                       attributes.hasAttribute(QLatin1String("ht"))) {
                book.rowHeights[attributes.value(QLatin1String("r")).toInt()] =
                    attributes.value(QLatin1String("ht")).toDouble();
            } else if (name == QLatin1String("pageSetup")) {
                book.orientation = attributes.value(QLatin1String("orientation")).toString();
                book.paperSize = attributes.value(QLatin1String("paperSize")).toInt();
            } else if (name == QLatin1String("pageMargins")) {
                book.marginLeft = attributes.value(QLatin1String("left")).toDouble();
            }
        }
        return book;
    }

    QString text(const QString& reference) const { return cells.value(reference).value; }
};

} // namespace t7::test
