// The grid layout text: any text either reads or is refused, and what reads writes back to
// a text that reads as the same columns.

#include "common/error.h"
#include "tests/fuzz/fuzz_target.h"
#include "ui/grid_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    std::vector<t7::ColumnLayout> columns;
    try {
        columns = t7::readLayoutText(text);
    } catch (const t7::Error&) {
        return 0;
    }
    const QString written = t7::writeLayoutText(columns);
    try {
        if (t7::writeLayoutText(t7::readLayoutText(written)) != written)
            __builtin_trap();
    } catch (const t7::Error&) {
        __builtin_trap(); // our own text must read
    }
    return 0;
}
