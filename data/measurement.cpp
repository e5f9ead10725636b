#include "data/measurement.h"

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

void createMeasurementFile(const QString& path, QDate today, dbf::Storage& storage)
{
    dbf::Table::create(path, measurementFields(), dbf::kLanguageIdWindows1251, today, storage);
}

} // namespace t7
