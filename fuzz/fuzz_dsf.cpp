// libFuzzer target: the DSF reader, from open to the last frame.
#include "fuzz_readers.h"
#include "sacd_dsf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzFileReader<sacd_dsf_t>(data, size);
}
