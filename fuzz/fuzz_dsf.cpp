// libFuzzer target: the DSF reader, from open to the last frame.
#include "fuzz_readers.h"
#include "fuzzfile.h"
#include "sacd_dsf.h"
#include "sacd_media.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FuzzFile file;
    if (!file.set(data, size))
        return 0;
    sacd_media_t media;
    if (!media.open(file.path().c_str()))
        return 0;
    sacd_dsf_t dsf;
    if (dsf.open(&media))
        readEverything(dsf);
    return 0;
}
