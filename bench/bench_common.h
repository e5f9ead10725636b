#pragma once

// What the benchmarks share: a clock, a report line and a generated table.

#include "data/conversion.h"
#include "data/dbf/table.h"
#include "data/measurement.h"
#include "tools/sim/archive_gen.h"

#include <QElapsedTimer>

#include <cstdio>
#include <functional>

namespace t7::bench {

inline double timeMs(const std::function<void()>& work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e6;
}

inline void report(const char* what, double ms, double target)
{
    std::printf("%-44s %10.1f ms   target %6.0f ms   %s\n", what, ms, target,
                ms <= target ? "ok" : "SLOW");
}

// A measurement data file of `rows` plausible rows.
inline void fillTable(const QString& path, int rows)
{
    createMeasurementFile(path, QDate::currentDate());
    dbf::Table table;
    table.setPath(path);
    table.open(measurementRequirements());
    const auto observations = sim::generateObservations(1000, 5);
    for (int i = 0; i < rows; ++i) {
        const auto& o = observations[i % observations.size()];
        table.append();
        table.setInteger(u"N", i % 9999 + 1);
        table.setText(u"MODE", QStringLiteral("Наблюдения"));
        table.setText(u"DATE", o.when.date().toString(QStringLiteral("dd.MM.yyyy")));
        table.setText(u"TIME", o.when.time().toString(QStringLiteral("HH:mm:ss")));
        table.setText(u"ST", valueText(o.st));
        table.setText(u"T_1", measuredText(o.t1));
        table.setText(u"T_2", measuredText(o.t2));
        table.setText(u"P_1", scaledText(o.p1, 1000));
        table.post();
    }
}

} // namespace t7::bench
