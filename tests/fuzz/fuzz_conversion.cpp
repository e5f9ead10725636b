// The record conversion of an arbitrary archive image into a new data file, then once more
// in append mode, as New and Append do: every row it counts is in the table.

#include "common/error.h"
#include "data/conversion.h"
#include "data/dbf/table.h"
#include "data/measurement.h"
#include "device/codec.h"
#include "tests/fuzz/fuzz_target.h"

#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static QByteArray image(t7::kDeviceImageSize, '\0');
    image.fill('\0');
    std::copy_n(data, std::min<size_t>(size, size_t(image.size())), image.begin());
    const QString db = dir.filePath(QStringLiteral("c.db"));
    t7::createMeasurementFile(db, QDate(2012, 3, 9));
    t7::dbf::Table table;
    table.setPath(db);
    table.open(t7::measurementRequirements());
    quint16 count = 0;
    try {
        const int appended = t7::flash2pvk01(table, image, false, count);
        if (appended != table.visibleCount())
            __builtin_trap();
        // An archive out of time order may bring rows again; each is counted once.
        const int again = t7::flash2pvk01(table, image, true, count);
        if (again > count || table.visibleCount() != appended + again)
            __builtin_trap();
    } catch (const t7::Error&) {
    }
    table.close();
    return 0;
}
