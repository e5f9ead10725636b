#pragma once

#include "data/dbf/table.h"

#include <QDate>
#include <QString>

#include <vector>

namespace t7 {

// The 17 fields of the measurement table, in file order.
const std::vector<dbf::FieldSpec>& measurementFields();
// What a file must have to open as a measurement table.
const std::vector<dbf::FieldRequirement>& measurementRequirements();

// Writes a new, empty measurement data file, replacing any file of that name.
void createMeasurementFile(const QString& path, QDate today,
                           dbf::Storage& storage = dbf::defaultStorage());

// The name of the one index tag that sorting uses.
inline QString sortTagName()
{
    return QStringLiteral("tab1");
}

} // namespace t7
