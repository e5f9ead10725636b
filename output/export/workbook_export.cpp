#include "output/export/workbook_export.h"

#include "common/disk_file.h"
#include "common/error.h"
#include "data/dbf/table.h"
#include "output/export/sheet_layout.h"
#include "output/report/report_engine.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTime>

#include <xlsxwriter.h>
#include <zlib.h>

#include <cerrno>
#include <map>
#include <optional>
#include <tuple>

namespace t7::report {

namespace {

QString temporaryBeside(const QString& path)
{
    return path + QStringLiteral(".new~");
}

QString capitalized(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

// What a cell holds, as a spreadsheet reads the printed text.
struct CellValue
{
    enum Kind { Blank, Text, Number, Date, Time } kind = Blank;
    QByteArray text; // UTF-8
    double number = 0;
    lxw_datetime when{};
    bool keepAsText = false; // number format "@"
};

// Digits with at most one decimal point and a leading minus: the texts a report is made of,
// read without the locale's full parser. Nothing for anything else.
std::optional<double> plainNumber(QStringView text, QChar point)
{
    qsizetype i = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    double whole = 0, scale = 0;
    bool digits = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            whole = whole * 10 + (c.unicode() - '0');
            scale *= 10;
            digits = true;
        } else if (c == point && scale == 0 && digits) {
            scale = 1;
        } else {
            return std::nullopt;
        }
    }
    if (!digits || scale == 1 || text.size() > 15)
        return std::nullopt; // "1," and long texts go to the locale's reading
    const double value = scale > 0 ? whole / scale : whole;
    return text.startsWith(QLatin1Char('-')) ? -value : value;
}

// Two digits, a separator, two digits, a separator, then `last` digits: 09.03.2012, 10:00:00.
bool shaped(QStringView text, QChar separator, int last)
{
    if (text.size() != 6 + last || text[2] != separator || text[5] != separator)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (i != 2 && i != 5 && !text[i].isDigit())
            return false;
    return true;
}

class ValueReader
{
public:
    ValueReader() : m_point(m_locale.decimalPoint().front())
    {
        m_locale.setNumberOptions(m_locale.numberOptions() | QLocale::RejectGroupSeparator);
    }

    CellValue read(QStringView printed) const
    {
        // Line breaks as the sheet has them: no carriage returns, no character 1, no
        // trailing line feeds.
        QString text = printed.toString();
        text.remove(QLatin1Char('\r'));
        text.remove(QChar(1));
        while (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        CellValue value;
        if (text.isEmpty())
            return value;
        value.text = text.toUtf8();
        value.kind = CellValue::Text;
        // A point that the operator's locale would read as a decimal comma: kept as printed.
        const qsizetype point = text.indexOf(QLatin1Char('.'));
        if (point >= 0) {
            QString comma = text;
            comma[point] = QLatin1Char(',');
            if (number(comma)) {
                value.keepAsText = true;
                return value;
            }
        }
        if (const std::optional<double> read = number(text)) {
            value.kind = CellValue::Number;
            value.number = *read;
        } else if (shaped(text, QLatin1Char('.'), 4)) {
            const QDate day(text.mid(6, 4).toInt(), text.mid(3, 2).toInt(), text.left(2).toInt());
            if (day.isValid() && day.year() >= 1900) {
                value.kind = CellValue::Date;
                value.when = {day.year(), day.month(), day.day(), 0, 0, 0};
            }
        } else if (shaped(text, QLatin1Char(':'), 2)) {
            const QTime at(text.left(2).toInt(), text.mid(3, 2).toInt(), text.mid(6, 2).toInt());
            if (at.isValid()) {
                value.kind = CellValue::Time;
                value.when = {0, 0, 0, at.hour(), at.minute(), double(at.second())};
            }
        }
        return value;
    }

private:
    // As the operator's locale reads a number, group separators refused.
    std::optional<double> number(const QString& text) const
    {
        if (const std::optional<double> plain = plainNumber(text, m_point))
            return plain;
        bool ok = false;
        const double value = m_locale.toDouble(text, &ok);
        return ok ? std::optional<double>(value) : std::nullopt;
    }

    QLocale m_locale;
    QChar m_point;
};

// One format per distinct look; a workbook holds a few.
class Formats
{
public:
    explicit Formats(lxw_workbook* workbook) : m_workbook(workbook) {}

    lxw_format* of(const ObjectStyle& style, const CellValue& value)
    {
        const int numbers = value.keepAsText                ? 1
                            : value.kind == CellValue::Date ? 2
                            : value.kind == CellValue::Time ? 3
                                                            : 0;
        const Key key{style.font.family, style.font.pointSize, style.font.bold,
                      style.font.italic, style.font.underline, int(style.hAlign),
                      int(style.vAlign), style.frame,          numbers};
        auto found = m_formats.find(key);
        if (found != m_formats.end())
            return found->second;
        lxw_format* format = workbook_add_format(m_workbook);
        format_set_font_name(format, style.font.family.toUtf8().constData());
        format_set_font_size(format, style.font.pointSize);
        if (style.font.bold)
            format_set_bold(format);
        if (style.font.italic)
            format_set_italic(format);
        if (style.font.underline)
            format_set_underline(format, LXW_UNDERLINE_SINGLE);
        format_set_font_color(format, LXW_COLOR_BLACK);
        format_set_align(format, style.hAlign == HAlign::Left    ? LXW_ALIGN_LEFT
                                 : style.hAlign == HAlign::Right ? LXW_ALIGN_RIGHT
                                                                 : LXW_ALIGN_CENTER);
        format_set_align(format, style.vAlign == VAlign::Top      ? LXW_ALIGN_VERTICAL_TOP
                                 : style.vAlign == VAlign::Bottom ? LXW_ALIGN_VERTICAL_BOTTOM
                                                                  : LXW_ALIGN_VERTICAL_CENTER);
        if (style.frame)
            format_set_border(format, LXW_BORDER_THIN);
        format_set_text_wrap(format);
        static const char* const patterns[] = {nullptr, "@", "dd.mm.yyyy", "hh:mm:ss"};
        if (patterns[numbers])
            format_set_num_format(format, patterns[numbers]);
        m_formats.emplace(key, format);
        return format;
    }

private:
    using Key = std::tuple<QString, double, bool, bool, bool, int, int, bool, int>;
    lxw_workbook* m_workbook;
    std::map<Key, lxw_format*> m_formats;
};

void writeValue(lxw_worksheet* sheet, int row, int column, const CellValue& value,
                lxw_format* format)
{
    const auto r = lxw_row_t(row);
    const auto c = lxw_col_t(column);
    switch (value.kind) {
    case CellValue::Blank:
        worksheet_write_blank(sheet, r, c, format);
        break;
    case CellValue::Text:
        worksheet_write_string(sheet, r, c, value.text.constData(), format);
        break;
    case CellValue::Number:
        worksheet_write_number(sheet, r, c, value.number, format);
        break;
    case CellValue::Date:
    case CellValue::Time: {
        lxw_datetime when = value.when;
        worksheet_write_datetime(sheet, r, c, &when, format);
        break;
    }
    }
}

quint32 little(const char* at, int bytes)
{
    quint32 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | quint8(at[i]);
    return value;
}

// The writing library does not check its own temporary files: where they were cut short
// (a full disk, a file size limit), a part of the workbook ends early. Every XML part must
// be whole: it inflates to its stored size and closes its first element.
bool partsComplete(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray zip = file.readAll();
    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0 || end + 22 > zip.size())
        return false;
    const char* data = zip.constData();
    quint32 entries = little(data + end + 10, 2);
    qsizetype at = little(data + end + 16, 4);
    for (; entries > 0; --entries) {
        if (at + 46 > zip.size() || little(data + at, 4) != 0x02014b50)
            return false;
        const quint32 method = little(data + at + 10, 2);
        const quint32 packed = little(data + at + 20, 4);
        const quint32 size = little(data + at + 24, 4);
        const quint32 nameLength = little(data + at + 28, 2);
        const qsizetype local = little(data + at + 42, 4);
        const QByteArray name(data + at + 46, nameLength);
        at += 46 + nameLength + little(data + at + 30, 2) + little(data + at + 32, 2);
        if (local + 30 > zip.size())
            return false;
        const qsizetype start =
            local + 30 + little(data + local + 26, 2) + little(data + local + 28, 2);
        if (start + qsizetype(packed) > zip.size())
            return false;
        QByteArray text(qsizetype(size), Qt::Uninitialized);
        if (method == 0 && packed == size) {
            text = zip.mid(start, size);
        } else if (method == 8) {
            z_stream stream{};
            if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
                return false;
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data + start));
            stream.avail_in = packed;
            stream.next_out = reinterpret_cast<Bytef*>(text.data());
            stream.avail_out = size;
            const int result = inflate(&stream, Z_FINISH);
            inflateEnd(&stream);
            if (result != Z_STREAM_END || stream.total_out != size)
                return false;
        } else {
            return false;
        }
        if (!name.endsWith(".xml") && !name.endsWith(".rels"))
            continue;
        // The first element after the declaration, and the end of the part.
        const qsizetype open = text.indexOf('<', text.startsWith("<?") ? text.indexOf("?>") : 0);
        qsizetype nameEnd = open + 1;
        while (nameEnd < text.size() && !QByteArrayView(" \t\r\n/>").contains(text[nameEnd]))
            ++nameEnd;
        const QByteArray root = text.mid(open + 1, nameEnd - open - 1);
        const QByteArray body = text.trimmed();
        if (open < 0 || root.isEmpty() ||
            !(body.endsWith("</" + root + ">") || (body.endsWith("/>") && !body.contains("</"))))
            return false;
    }
    return true;
}

// Puts a file written beside the target in its place, once it is on the disk itself.
void putInPlace(const QString& temporary, const QString& path)
{
    QString error;
    {
        const auto file = DiskFile::open(temporary, DiskFile::Mode::ReadWrite, error);
        if (file && !file->sync())
            error = file->errorString();
    }
    if (error.isEmpty() && replaceFile(temporary, path, error))
        return;
    QFile::remove(temporary);
    throw Error(cannotCreateMessage(path, error));
}

void requireCreatable(const QString& path)
{
    const QString reason = cannotCreateReason(path);
    if (!reason.isEmpty())
        throw Error(cannotCreateMessage(path, reason));
}

} // namespace

QString cannotCreateReason(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return systemErrorText(EISDIR);
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists())
        return systemErrorText(ENOENT);
    if (!folder.isDir())
        return systemErrorText(ENOTDIR);
    // LibreOffice marks a document it holds open with a lock file beside it.
    if (QFileInfo::exists(
            QDir(info.absolutePath()).filePath(QStringLiteral(".~lock.%1#").arg(info.fileName()))))
        return QStringLiteral("файл открыт в другой программе");
    if (info.exists() && !info.isWritable())
        return systemErrorText(EACCES);
    // The folder takes a new file: the one written beside the target.
    const QString temporary = temporaryBeside(path);
    QString error;
    if (!DiskFile::open(temporary, DiskFile::Mode::Create, error))
        return error;
    QFile::remove(temporary);
    return QString();
}

QString cannotCreateMessage(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2.")
        .arg(QDir::toNativeSeparators(path), capitalized(reason));
}

void exportWorkbook(const PreparedReport& report, const QString& path, ExportProgress* progress)
{
    requireCreatable(path);
    const SheetLayout layout = layoutSheet(report);
    if (layout.rows() > int(LXW_ROW_MAX) || layout.columns() > int(LXW_COL_MAX))
        throw Error(QStringLiteral("Отчет не помещается на лист: %1 строк, лист вмещает %2")
                        .arg(layout.rows())
                        .arg(LXW_ROW_MAX));

    const QString temporary = temporaryBeside(path);
    const QByteArray name = QFile::encodeName(temporary);
    lxw_workbook* workbook = workbook_new(name.constData());
    if (!workbook)
        throw Error(cannotCreateMessage(path, systemErrorText(errno ? errno : EACCES)));
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    if (progress)
        progress->started();

    if (report.landscape)
        worksheet_set_landscape(sheet);
    else
        worksheet_set_portrait(sheet);
    worksheet_set_paper(sheet, 9); // A4
    // The report's margins in units, a quarter of them as points; the sheet takes inches.
    const auto inches = [](double units) { return units / 4 / 72; };
    worksheet_set_margins(sheet, inches(report.marginLeft), inches(report.marginRight),
                          inches(report.marginTop), inches(report.marginBottom));

    for (int row = 0; row < layout.rows(); ++row) {
        worksheet_set_row(sheet, lxw_row_t(row), layout.rowHeight(row), nullptr);
        if (progress && row % 1024 == 0)
            progress->rowsSized(row + 1);
    }
    if (!layout.pageBreaks.empty()) {
        // A sheet holds 1023 manual breaks; later pages break where the sheet breaks them.
        std::vector<lxw_row_t> breaks;
        for (const int row : layout.pageBreaks)
            if (breaks.size() < LXW_BREAKS_MAX)
                breaks.push_back(lxw_row_t(row));
        breaks.push_back(0);
        worksheet_set_h_pagebreaks(sheet, breaks.data());
    }
    for (int column = 0; column < layout.columns(); ++column) {
        worksheet_set_column(sheet, lxw_col_t(column), lxw_col_t(column),
                             layout.columnWidth(column), nullptr);
        if (progress)
            progress->columnsSized(column + 1);
    }

    const ValueReader reader;
    Formats formats(workbook);
    QElapsedTimer clock;
    clock.start();
    const qint64 total = qint64(layout.cells.size());
    qint64 done = 0;
    for (const SheetLayout::Cell& cell : layout.cells) {
        const CellValue value = reader.read(cell.page->text(*cell.object));
        lxw_format* format = formats.of(*cell.object->style, value);
        if (cell.merged)
            worksheet_merge_range(sheet, lxw_row_t(cell.firstRow), lxw_col_t(cell.firstColumn),
                                  lxw_row_t(cell.lastRow), lxw_col_t(cell.lastColumn), "", format);
        writeValue(sheet, cell.firstRow, cell.firstColumn, value, format);
        if (progress && ++done % 512 == 0)
            progress->objects(done, total,
                              double(clock.elapsed()) / 1000 / double(done) * double(total - done));
    }
    if (progress)
        progress->objects(total, total, 0);
    worksheet_set_selection(sheet, 0, 0, 0, 0);

    errno = 0;
    const lxw_error result = workbook_close(workbook);
    if (result != LXW_NO_ERROR) {
        const int code = errno;
        QFile::remove(temporary);
        throw Error(cannotCreateMessage(path, code ? systemErrorText(code)
                                                   : QString::fromUtf8(lxw_strerror(result))));
    }
    if (!partsComplete(temporary)) {
        QFile::remove(temporary);
        throw Error(cannotCreateMessage(
            path, QStringLiteral("временные файлы записаны не полностью (нет места на диске?)")));
    }
    putInPlace(temporary, path);
}

void exportCsv(const ReportTemplate& report, const dbf::Table& table, const QString& path)
{
    requireCreatable(path);
    QByteArray bytes("\xEF\xBB\xBF");
    reportLines(report, table, [&](const QStringList& values) {
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (i > 0)
                bytes += ';';
            const QString& value = values[i];
            if (value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('"')) ||
                value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
                QString quoted = value;
                quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
                bytes += '"' + quoted.toUtf8() + '"';
            } else {
                bytes += value.toUtf8();
            }
        }
        bytes += "\r\n";
    });
    QString error;
    if (!writeFileSafely(path, bytes, error))
        throw Error(cannotCreateMessage(path, error));
}

} // namespace t7::report
