#pragma once

// What the benchmarks share: a clock, a report line and a generated table.

#include "data/conversion.h"
#include "data/dbf/table.h"
#include "data/measurement.h"
#include "tools/sim/archive_gen.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace t7::bench {

inline double timeMs(const std::function<void()>& work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e6;
}

// The fastest of `runs` runs: the figure least disturbed by whatever else the machine does.
inline double bestMs(int runs, const std::function<void()>& work)
{
    double best = timeMs(work);
    for (int run = 1; run < runs; ++run)
        best = std::min(best, timeMs(work));
    return best;
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

#ifdef Q_OS_UNIX
// A program run to its end with its output thrown away: the time it took on the clock and
// on the processor, and its peak memory.
struct RunFigures
{
    double wallMs = -1;
    double cpuMs = -1;
    double peakMiB = -1;
};

inline RunFigures runMeasured(const QString& program, const QStringList& arguments)
{
    RunFigures figures;
    std::vector<QByteArray> bytes{QFile::encodeName(program)};
    for (const QString& argument : arguments)
        bytes.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    QElapsedTimer clock;
    clock.start();
    const pid_t child = fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) < 0 || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return figures;
    figures.wallMs = double(clock.nsecsElapsed()) / 1e6;
    figures.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                    (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    figures.peakMiB = double(usage.ru_maxrss) / 1024;
    return figures;
}
#endif

// A generated file of `rows` rows, opened read only as the report commands see it.
inline void openGenerated(dbf::Table& table, const QString& path, int rows)
{
    fillTable(path, rows);
    table.setPath(path);
    table.open(measurementRequirements(), true);
}

// The rows of an open table as CSV text, for a peer program to convert.
inline void writeRowsCsv(const dbf::Table& table, const QString& path)
{
    QFile csv(path);
    if (!csv.open(QIODevice::WriteOnly))
        return;
    for (const quint32 record : table.order()) {
        QStringList cells;
        for (int f = 0; f < int(table.fields().size()); ++f)
            cells.append(table.textOf(record, f));
        csv.write(cells.join(QLatin1Char(';')).toUtf8() + '\n');
    }
}

// LibreOffice converting a file headless, when it is installed: the faster of two runs, or
// a negative number when it is not there.
inline double officeConvert(const QString& file, const QString& format, const QString& folder)
{
    const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty()) {
        std::printf("LibreOffice is not installed: no ratio\n");
        return -1;
    }
    return bestMs(2, [&] {
        QProcess::execute(office, {QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                   format, QStringLiteral("--outdir"), folder, file});
    });
}

inline void ratio(const char* what, double theirs, double ours)
{
    if (theirs >= 0)
        std::printf("%-44s %10.1f ms   ratio %.1fx (target at least 3x)\n", what, theirs,
                    theirs / ours);
}

} // namespace t7::bench
