// DecodeArchive over any characters in the receive buffer.

#include "device/codec.h"
#include "tests/fuzz/fuzz_target.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static t7::ReceiveBuffer buffer;
    static t7::DeviceImage image;
    buffer.bytes.fill(0);
    std::copy_n(data, std::min(size, buffer.bytes.size()), buffer.bytes.begin());
    try {
        const qint64 length = t7::DecodeArchive(buffer, image);
        if (length < 0 || length > t7::kDeviceImageSize)
            __builtin_trap();
    } catch (const t7::DecodeError&) {
    }
    return 0;
}
