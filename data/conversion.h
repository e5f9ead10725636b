#pragma once

#include "data/dbf/table.h"

#include <QByteArrayView>
#include <QString>

namespace t7 {

constexpr int kArchiveRecordSize = 22;
constexpr int kArchiveHeadSize = 4;
constexpr int kMaxArchiveRecords = 2978; // the last one ends at offset 65,519

// The texts a record's values become.
QString valueText(quint16 value);           // ST: "0,0" only for 0
QString measuredText(quint16 value);        // T_1, T_2, F
QString scaledText(quint16 value, int div); // P_1 (1000), P_2 and T_3 (10)
QString timeText(quint8 hours, quint8 minutes, quint8 seconds);
QString dateText(quint8 day, quint8 month, quint8 year);

// Turns the archive in the device image into rows of the open measurement table: every
// record (fresh mode) or those later than the table's last row (append mode). Sets
// `archiveCount` to the archive's record count n; returns how many rows were appended.
// Throws t7::Error on a record beyond the image and, in append mode, on a date or time that
// is not a real one; rows posted before stay in the file.
int flash2pvk01(dbf::Table& table, QByteArrayView image, bool append, quint16& archiveCount);

} // namespace t7
