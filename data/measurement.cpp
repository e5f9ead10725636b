#include "data/measurement.h"

#include <QScopeGuard>

namespace t7 {

const std::vector<dbf::FieldSpec>& measurementFields()
{
    static const std::vector<dbf::FieldSpec> fields = {
        {QStringLiteral("N"), 'N', 4},        {QStringLiteral("MODE"), 'C', 11},
        {QStringLiteral("EN_CH"), 'N', 4},    {QStringLiteral("DATE"), 'C', 10},
        {QStringLiteral("TIME"), 'C', 8},     {QStringLiteral("T_1"), 'C', 6},
        {QStringLiteral("T_2"), 'C', 6},      {QStringLiteral("T_3"), 'C', 10},
        {QStringLiteral("COMMENT"), 'C', 50}, {QStringLiteral("P_1"), 'C', 6},
        {QStringLiteral("P_2"), 'C', 6},      {QStringLiteral("F"), 'C', 6},
        {QStringLiteral("SER"), 'N', 4},      {QStringLiteral("ST"), 'C', 50},
        {QStringLiteral("D"), 'C', 5},        {QStringLiteral("A"), 'C', 4},
        {QStringLiteral("P"), 'C', 5},
    };
    return fields;
}

const std::vector<dbf::FieldRequirement>& measurementRequirements()
{
    static const std::vector<dbf::FieldRequirement> requirements = [] {
        std::vector<dbf::FieldRequirement> list;
        for (const dbf::FieldSpec& field : measurementFields())
            list.push_back({field.name, field.type, field.type == 'N' ? 4 : 255});
        return list;
    }();
    return requirements;
}

const std::vector<GridColumnSpec>& measurementGridColumns()
{
    static const std::vector<GridColumnSpec> columns = [] {
        struct Def
        {
            const char* field;
            const char16_t* caption;
            int width;
            int layoutIndex;
            bool readOnly;
            bool visible;
        };
        static const Def defs[] = {
            {"N", u"N", 23, 0, true, true},
            {"DATE", u"Дата", 45, 0, true, true},
            {"TIME", u"Время", 53, 1, true, true},
            {"MODE", u"Режим", 86, 2, true, false},
            {"ST", u"Ускорение копра А1, м/с.кв.", 95, 0, false, true},
            {"T_1", u"Ускорение индентора А2, м/с.кв.", 51, 0, true, true},
            {"T_2", u"Длительность удара dt, мкс.", 50, 0, true, true},
            {"P_1", u"Сила Fo, Н.", 56, 0, false, true},
            {"P_2", u"Масса наконечника mн, г.", 48, 0, false, true},
            {"T_3", u"Масса индентора m1, г.", 73, 0, false, true},
            {"F", u"Масса идентора m2, г", 63, 0, false, true},
            {"D", u"Интервал регистрации измерений P,H.", 56, 0, false, false},
            {"A", u"Модуль упругости Eк, МПа", 42, 0, false, false},
            {"COMMENT", u"Примечание", 122, 0, false, true},
        };
        std::vector<GridColumnSpec> list;
        for (const Def& def : defs) {
            GridColumnSpec column;
            column.field = QLatin1String(def.field);
            column.caption = QString::fromUtf16(def.caption);
            column.width = def.width;
            column.layoutIndex = def.layoutIndex;
            column.readOnly = def.readOnly;
            column.visible = def.visible;
            column.leftAligned = column.field == QLatin1String("COMMENT");
            if (column.field == QLatin1String("T_3"))
                column.displayFormat = QStringLiteral("#.####");
            column.sortMarked = column.field == QLatin1String("D");
            list.push_back(column);
        }
        return list;
    }();
    return columns;
}

void createMeasurementFile(const QString& path, QDate today, dbf::Storage& storage)
{
    dbf::Table::create(path, measurementFields(), dbf::kLanguageIdWindows1251, today, storage);
}

void renumberShown(dbf::Table& table)
{
    const std::vector<quint32> shown = table.order();
    table.beginBatch();
    const auto end = qScopeGuard([&table] { table.endBatch(); });
    for (size_t i = 0; i < shown.size(); ++i) {
        table.editRecord(shown[i]);
        table.setInteger(u"N", int(i + 1));
        table.post();
    }
}

} // namespace t7
