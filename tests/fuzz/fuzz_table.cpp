// Opening, walking and appending to an arbitrary data file with an arbitrary index beside
// it. The input holds the data file's length in its first two bytes (little-endian), then
// the data file, then the index file.

#include "common/error.h"
#include "data/dbf/table.h"
#include "data/measurement.h"
#include "tests/fuzz/fuzz_target.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

void put(const QString& path, const uint8_t* data, size_t size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        __builtin_trap();
    file.write(reinterpret_cast<const char*>(data), qint64(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("f.db"));
    const QString mdx = dir.filePath(QStringLiteral("f.mdx"));
    const size_t dbSize = size < 2 ? 0 : std::min<size_t>(data[0] | data[1] << 8, size - 2);
    put(db, data + 2 * (size >= 2), dbSize);
    QFile::remove(mdx);
    if (size > 2 + dbSize)
        put(mdx, data + 2 + dbSize, size - 2 - dbSize);

    t7::dbf::Table table;
    table.setPath(db);
    try {
        table.open(t7::measurementRequirements());
        for (table.first(); !table.eof(); table.next())
            for (int f = 0; f < int(table.fields().size()); ++f)
                table.textOf(table.recNo() - 1, f);
        const qint64 before = table.visibleCount();
        table.append();
        table.setInteger(u"N", 7);
        table.setText(u"COMMENT", QStringLiteral("Проба"));
        table.post();
        if (table.visibleCount() != before + 1)
            __builtin_trap();
        if (table.hasTag()) {
            table.selectTag(t7::sortTagName());
            table.rebuildTags();
        }
        table.first();
        table.deleteRecord();
        table.close();
        table.open(t7::measurementRequirements());
        if (table.visibleCount() != before)
            __builtin_trap();
        table.close();
    } catch (const t7::Error&) {
    }
    return 0;
}
