#pragma once

#include <QByteArray>
#include <QDateTime>

namespace t7::sim {

// One archived observation as the instrument keeps it.
struct Observation
{
    quint16 st = 0, t1 = 0, t2 = 0, p1 = 0, p2 = 0, t3 = 0, f = 0;
    QDateTime when;
};

// The archive image: n, two unused bytes, then 22 bytes a record.
QByteArray buildArchive(const QList<Observation>& observations);

// Plausible observations with increasing dates and times.
QList<Observation> generateObservations(int count, quint32 seed);

} // namespace t7::sim
