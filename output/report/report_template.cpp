#include "output/report/report_template.h"

namespace t7::report {

const Band* ReportTemplate::band(BandKind kind) const
{
    for (const Band& band : bands)
        if (band.kind == kind)
            return &band;
    return nullptr;
}

double ReportTemplate::pageWidthUnits() const
{
    return paperWidth / 254.0 * kUnitsPerInch;
}

double ReportTemplate::pageHeightUnits() const
{
    return paperHeight / 254.0 * kUnitsPerInch;
}

ReportTemplate measurementReport()
{
    ReportTemplate report;

    Band title{QStringLiteral("ReportTitle1"), BandKind::ReportTitle, 64, {}};
    TextObject memo19;
    memo19.name = QStringLiteral("Memo19");
    memo19.x = 25;
    memo19.width = 234;
    memo19.text = QStringLiteral("ТЕСКАР-7");
    memo19.font.pointSize = 14;
    memo19.font.bold = true;
    memo19.hAlign = HAlign::Left;
    memo19.vAlign = VAlign::Top;
    title.objects.push_back(memo19);

    struct Column
    {
        double x, width;
        const char16_t* heading;
        const char* field;
        ValueFormat format;
    };
    static const Column columns[] = {
        {25, 42, u"N", "N", ValueFormat::Text},
        {67, 74, u"Дата", "DATE", ValueFormat::Text},
        {141, 59, u"Время", "TIME", ValueFormat::Text},
        {200, 81, u"Ускорение копра А1, м/сек.кв.", "ST", ValueFormat::Text},
        {281, 95, u"Ускорение индентора А2, м/сек.кв.", "T_1", ValueFormat::WholeNumber},
        {376, 96, u"Длительность удара dt, мкс.", "T_2", ValueFormat::Fixed0},
        {472, 78, u"Сила Fo, H", "P_1", ValueFormat::General}, // a Latin H
        {550, 90, u"Масса наконечника mн, г.", "P_2", ValueFormat::General},
        {640, 75, u"Масса индентора m2, г.", "T_3", ValueFormat::General},
        {715, 93, u"Приведенная масса m1, г.", "F", ValueFormat::General},
        {808, 237, u"Примечание", "COMMENT", ValueFormat::Text},
    };
    Band header{QStringLiteral("Band1"), BandKind::PageHeader, 60, {}};
    Band data{QStringLiteral("Band3"), BandKind::MasterData, 40, {}};
    int memo = 1;
    for (const Column& column : columns) {
        TextObject cell;
        cell.x = column.x;
        cell.width = column.width;
        cell.frame = true;
        cell.name = QStringLiteral("Memo%1").arg(memo++);
        cell.text = QString::fromUtf16(column.heading);
        cell.font.bold = true;
        header.objects.push_back(cell);
        cell.name = QStringLiteral("Memo%1").arg(memo++);
        cell.text = QStringLiteral("[Dbf1.\"%1\"]").arg(QLatin1String(column.field));
        cell.font.bold = false;
        cell.format = column.format;
        data.objects.push_back(cell);
    }

    Band footer{QStringLiteral("PageFooter1"), BandKind::PageFooter, 20, {}};
    TextObject memo21;
    memo21.name = QStringLiteral("Memo21");
    memo21.x = 844;
    memo21.width = 202;
    memo21.text = QStringLiteral("Стр. [PAGE#] из [TOTALPAGES]");
    memo21.hAlign = HAlign::Right;
    memo21.vAlign = VAlign::Center;
    memo21.wordWrap = false;
    memo21.stretch = false;
    footer.objects.push_back(memo21);

    report.bands = {title, header, data, footer};
    return report;
}

} // namespace t7::report
