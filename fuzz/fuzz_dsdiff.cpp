// libFuzzer target: the DSDIFF reader, from open to the last frame.
#include "fuzz_readers.h"
#include "sacd_dsdiff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzFileReader<sacd_dsdiff_t>(data, size);
}
