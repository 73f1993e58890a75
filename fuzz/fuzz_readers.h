#pragma once
// Opens a reader on the media and reads every frame of every track of every
// area, seeking once in each track; frames are bounded per track so a
// hostile length cannot make one input run for ever.

#include "fuzzfile.h"
#include "sacd_media.h"
#include "sacd_reader.h"

#include <vector>

inline void readEverything(sacd_reader_t &reader)
{
    std::vector<uint8_t> frame(1 << 20);
    for (area_id_e area : {AREA_TWOCH, AREA_MULCH, AREA_BOTH}) {
        const uint32_t tracks = reader.get_track_count(area);
        for (uint32_t t = 0; t < tracks && t < 300; ++t) {
            if (!reader.set_track(t, area, 0))
                continue;
            TrackDetails details;
            reader.getTrackDetails(t, area, &details);
            reader.get_duration(t);
            reader.getDataSize();
            reader.is_dst();
            for (int pass = 0; pass < 2; ++pass) {
                for (int i = 0; i < 20000; ++i) {
                    uint32_t size = uint32_t(frame.size());
                    frame_type_e type = FRAME_DSD;
                    if (!reader.read_frame(frame.data(), &size, &type))
                        break;
                    if (size > frame.size())
                        __builtin_trap();
                    reader.get_offset();
                    reader.getProgress();
                }
                reader.seek(reader.get_duration() / 3);
            }
        }
    }
}

// The body of a fuzz target for a file reader (DSF, DSDIFF): the input is
// the file, opened and read to its end.
template <class Reader>
int fuzzFileReader(const uint8_t *data, size_t size)
{
    static FuzzFile file;
    if (!file.set(data, size))
        return 0;
    sacd_media_t media;
    if (!media.open(file.path().c_str()))
        return 0;
    Reader reader;
    if (reader.open(&media))
        readEverything(reader);
    return 0;
}
