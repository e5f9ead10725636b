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

// A column of the measurement grid: the field it shows and how.
struct GridColumnSpec
{
    QString field;
    QString caption;
    int width = 45; // pixels
    int layoutIndex = 0;
    bool readOnly = false;
    bool visible = true;
    bool leftAligned = false; // else centred
    QString displayFormat;
    bool sortMarked = false; // shows the ascending mark before any sort
};

// The grid's columns, in their order.
const std::vector<GridColumnSpec>& measurementGridColumns();

// The name of the one index tag that sorting uses.
// The most rows renumbering can number: N holds four digits.
constexpr int kMaxRowNumber = 9999;

// Numbers the rows 1, 2, 3 … in the order shown; a sort by N is brought up to date once, at
// the end, also when a write fails on the way. The caller checks the row count.
void renumberShown(dbf::Table& table);

inline QString sortTagName()
{
    return QStringLiteral("tab1");
}

} // namespace t7
