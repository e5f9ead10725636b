#include "ui/grid_layout.h"

#include "common/error.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace t7 {

namespace {

const QLatin1String kEol("\r\n");

struct NamedColor
{
    const char* name;
    quint32 value;
};

constexpr NamedColor kColors[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clNone", clNone},
    {"clDefault", 0x20000000},
    {"clScrollBar", 0x80000000},
    {"clBackground", 0x80000001},
    {"clActiveCaption", 0x80000002},
    {"clInactiveCaption", 0x80000003},
    {"clMenu", 0x80000004},
    {"clWindow", 0x80000005},
    {"clWindowFrame", 0x80000006},
    {"clMenuText", 0x80000007},
    {"clWindowText", 0x80000008},
    {"clCaptionText", 0x80000009},
    {"clActiveBorder", 0x8000000A},
    {"clInactiveBorder", 0x8000000B},
    {"clAppWorkSpace", 0x8000000C},
    {"clHighlight", 0x8000000D},
    {"clHighlightText", 0x8000000E},
    {"clBtnFace", 0x8000000F},
    {"clBtnShadow", 0x80000010},
    {"clGrayText", 0x80000011},
    {"clBtnText", 0x80000012},
    {"clInactiveCaptionText", 0x80000013},
    {"clBtnHighlight", 0x80000014},
    {"cl3DDkShadow", 0x80000015},
    {"cl3DLight", 0x80000016},
    {"clInfoText", 0x80000017},
    {"clInfoBk", 0x80000018},
};

constexpr std::pair<const char*, TTitleState> kTitleStates[] = {
    {"tsSortedNone", tsSortedNone}, {"tsSortedUp", tsSortedUp}, {"tsSortedDown", tsSortedDown}};
constexpr std::pair<const char*, TAlignment> kAlignments[] = {{"talDefault", talDefault},
                                                              {"talLeftJustify", talLeftJustify},
                                                              {"talRightJustify", talRightJustify},
                                                              {"talCenter", talCenter}};

template <typename E, size_t N>
QString enumName(const std::pair<const char*, E> (&names)[N], E value)
{
    for (const auto& [name, v] : names) {
        if (v == value)
            return QLatin1String(name);
    }
    return QString::number(int(value));
}

template <typename E, size_t N>
bool enumValue(const std::pair<const char*, E> (&names)[N], const QString& text, E& value)
{
    for (const auto& [name, v] : names) {
        if (text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            value = v;
            return true;
        }
    }
    return false;
}

QString quoted(const QString& text)
{
    QString copy = text;
    copy.replace(QLatin1String("'"), QLatin1String("''"));
    return QLatin1Char('\'') + copy + QLatin1Char('\'');
}

Error unreadable(int line, const QString& why)
{
    return Error(
        QStringLiteral("Неверный формат раскладки столбцов (строка %1): %2").arg(line).arg(why));
}

int readInteger(const QString& value, int line)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok)
        throw unreadable(line, value);
    return number;
}

QString readQuoted(const QString& value, int line)
{
    if (value.size() < 2 || !value.startsWith(QLatin1Char('\'')) ||
        !value.endsWith(QLatin1Char('\'')))
        throw unreadable(line, value);
    QString inner = value.mid(1, value.size() - 2);
    inner.replace(QLatin1String("''"), QLatin1String("'"));
    return inner;
}

quint32 readColor(const QString& value, int line)
{
    for (const NamedColor& color : kColors) {
        if (value.compare(QLatin1String(color.name), Qt::CaseInsensitive) == 0)
            return color.value;
    }
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    // Negative numbers stand for system colours in some writers.
    if (!ok || number < -0x80000000LL || number > 0xFFFFFFFFLL)
        throw unreadable(line, value);
    return quint32(number);
}

} // namespace

QString colorText(quint32 color)
{
    for (const NamedColor& named : kColors) {
        if (named.value == color)
            return QLatin1String(named.name);
    }
    return QString::number(color);
}

QString writeLayoutText(const std::vector<ColumnLayout>& columns)
{
    const ColumnLayout defaults;
    QString text = QStringLiteral("object TUniDataStorage") + kEol + QStringLiteral("  Data = <");
    if (columns.empty())
        return text + QStringLiteral(">") + kEol + QStringLiteral("end") + kEol;
    text += kEol;
    auto property = [&text](const char* name, const QString& value) {
        text +=
            QStringLiteral("      ") + QLatin1String(name) + QStringLiteral(" = ") + value + kEol;
    };
    for (size_t i = 0; i < columns.size(); ++i) {
        const ColumnLayout& c = columns[i];
        text += QStringLiteral("    item") + kEol;
        if (c.FieldName != defaults.FieldName)
            property("FieldName", quoted(c.FieldName));
        if (c.TitleState != defaults.TitleState)
            property("TitleState", enumName(kTitleStates, c.TitleState));
        if (c.Width != defaults.Width)
            property("Width", QString::number(c.Width));
        if (c.LayoutLevel != defaults.LayoutLevel)
            property("LayoutLevel", QString::number(c.LayoutLevel));
        if (c.LayoutIndex != defaults.LayoutIndex)
            property("LayoutIndex", QString::number(c.LayoutIndex));
        if (c.Color != defaults.Color)
            property("Color", colorText(c.Color));
        if (c.Alignment != defaults.Alignment)
            property("Alignment", enumName(kAlignments, c.Alignment));
        if (c.SortOrder != defaults.SortOrder)
            property("SortOrder", QString::number(c.SortOrder));
        text += QStringLiteral("    end") +
                (i + 1 == columns.size() ? QStringLiteral(">") : QString()) + kEol;
    }
    return text + QStringLiteral("end") + kEol;
}

std::vector<ColumnLayout> readLayoutText(const QString& text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(breaks);
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    int at = 0;
    auto next = [&lines, &at]() -> QString {
        return at < lines.size() ? lines.at(at++).trimmed() : QString();
    };
    if (!next().startsWith(QLatin1String("object ")))
        throw unreadable(1, QStringLiteral("нет заголовка объекта"));
    std::vector<ColumnLayout> columns;
    QString line = next();
    if (line == QLatin1String("Data = <>")) {
        if (next() != QLatin1String("end"))
            throw unreadable(at, line);
        return columns;
    }
    if (line != QLatin1String("Data = <"))
        throw unreadable(at, line);
    for (;;) {
        line = next();
        if (line != QLatin1String("item"))
            throw unreadable(at, line);
        ColumnLayout column;
        bool last = false;
        for (;;) {
            line = next();
            if (line == QLatin1String("end"))
                break;
            if (line == QLatin1String("end>")) {
                last = true;
                break;
            }
            const qsizetype equals = line.indexOf(QLatin1String(" = "));
            if (equals <= 0)
                throw unreadable(at, line);
            const QString name = line.left(equals);
            const QString value = line.mid(equals + 3);
            if (name == QLatin1String("FieldName"))
                column.FieldName = readQuoted(value, at);
            else if (name == QLatin1String("TitleState")) {
                if (!enumValue(kTitleStates, value, column.TitleState))
                    throw unreadable(at, value);
            } else if (name == QLatin1String("Width"))
                column.Width = std::clamp(readInteger(value, at), 2, kMaxColumnWidth);
            else if (name == QLatin1String("LayoutLevel"))
                column.LayoutLevel = readInteger(value, at);
            else if (name == QLatin1String("LayoutIndex"))
                column.LayoutIndex = readInteger(value, at);
            else if (name == QLatin1String("Color"))
                column.Color = readColor(value, at);
            else if (name == QLatin1String("Alignment")) {
                if (!enumValue(kAlignments, value, column.Alignment))
                    throw unreadable(at, value);
            } else if (name == QLatin1String("SortOrder"))
                column.SortOrder = readInteger(value, at);
            else
                throw unreadable(at, QStringLiteral("неизвестное свойство %1").arg(name));
        }
        columns.push_back(column);
        if (last)
            break;
    }
    if (next() != QLatin1String("end"))
        throw unreadable(at, QStringLiteral("нет конца объекта"));
    return columns;
}

} // namespace t7
