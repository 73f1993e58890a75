// libFuzzer target: the SACD image reader. An input is the image from its
// master TOC (sector 510) on: byte 0 chooses the sector size (bit 0 set:
// 2064-byte sectors, each input sector of 2048 bytes wrapped in a 12-byte
// header and a 4-byte trailer); the sectors before 510 are a hole.
#include "fuzz_readers.h"
#include "fuzzfile.h"
#include "sacd_disc.h"
#include "sacd_media.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FuzzFile file;
    if (size < 1)
        return 0;
    const bool raw2064 = data[0] & 1;
    ++data;
    --size;
    if (!raw2064) {
        if (!file.set(data, size, off_t(START_OF_MASTER_TOC) * SACD_LSN_SIZE))
            return 0;
    } else {
        std::vector<uint8_t> image;
        image.reserve(size / SACD_LSN_SIZE * SACD_PSN_SIZE + SACD_PSN_SIZE);
        for (size_t off = 0; off < size; off += SACD_LSN_SIZE) {
            image.insert(image.end(), 12, 0);
            const size_t n = std::min<size_t>(SACD_LSN_SIZE, size - off);
            image.insert(image.end(), data + off, data + off + n);
            if (n == SACD_LSN_SIZE)
                image.insert(image.end(), 4, 0);
        }
        if (!file.set(image.data(), image.size(), off_t(START_OF_MASTER_TOC) * SACD_PSN_SIZE))
            return 0;
    }
    const std::string path = file.path();
    sacd_disc_t::g_is_sacd(path.c_str());
    sacd_media_t media;
    if (!media.open(path.c_str()))
        return 0;
    sacd_disc_t disc;
    if (disc.open(&media))
        readEverything(disc);
    return 0;
}
