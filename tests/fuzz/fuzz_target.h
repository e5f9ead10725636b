#pragma once

#include <cstddef>
#include <cstdint>

// Every fuzz target defines this; libFuzzer calls it, and so does the replay of the seed
// corpus that the normal test run makes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
