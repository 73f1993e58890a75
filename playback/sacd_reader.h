#pragma once
// The common interface of the DSD readers (DSF files, DSDIFF files, SACD disc
// images): tracks in up to two areas, frames of DSD bytes, seeking by seconds.

#include <cstdint>
#include <string>
#include <vector>

class sacd_media_t;

enum area_id_e {
    AREA_BOTH = 0,  // any area
    AREA_TWOCH = 1, // the two-channel area
    AREA_MULCH = 2, // the multichannel area
};

enum frame_type_e {
    FRAME_DSD = 0,
    FRAME_DST = 1,
    FRAME_INVALID = -1,
};

struct TrackDetails {
    std::string strArtist;
    std::string strTitle;
    std::string strAlbum;
    int channelCount = 0;
};

// A DSDIFF track, in seconds from the start of the sound data.
struct subsong_t {
    double start_time = 0.0;
    double stop_time = 0.0;
};

// One ID3v2 tag block found in a DSDIFF file.
struct id3tags_t {
    uint32_t index = 0;
    std::vector<uint8_t> data;
};

class sacd_reader_t
{
public:
    virtual ~sacd_reader_t() = default;
    virtual bool open(sacd_media_t *media) = 0;
    virtual bool close() = 0;
    virtual uint32_t get_track_count(area_id_e area = AREA_BOTH) = 0;
    virtual int get_channels() = 0;
    virtual int get_samplerate() = 0;
    virtual int get_framerate() = 0;
    // Bytes of the current track as stored in the source.
    virtual uint64_t get_size() = 0;
    // Bytes of DSD audio of the current track as read_frame delivers them.
    virtual uint64_t getDataSize() = 0;
    // Current position in the source, relative to the track start.
    virtual uint64_t get_offset() = 0;
    virtual double get_duration() = 0;
    virtual double get_duration(uint32_t track) = 0;
    // Part of the current track already read, 0..1.
    virtual float getProgress() = 0;
    virtual bool seek(double seconds) = 0;
    virtual bool is_dst() = 0;
    virtual bool set_track(uint32_t track, area_id_e area = AREA_BOTH, uint32_t offset = 0) = 0;
    // On entry *size is the room in frame; on return the bytes written.
    // False when the track has no more frames.
    virtual bool read_frame(uint8_t *frame, uint32_t *size, frame_type_e *type) = 0;
    virtual bool getTrackDetails(uint32_t track, area_id_e area, TrackDetails *details) = 0;
};

// The details of a plain DSD file (DSF, DSDIFF): the readers take no texts
// from the file, so every track is "Unknown Title" by "Unknown Artist".
inline bool plainFileDetails(int channelCount, TrackDetails *details)
{
    if (!details)
        return false;
    details->strArtist = "Unknown Artist";
    details->strTitle = "Unknown Title";
    details->strAlbum.clear();
    details->channelCount = channelCount;
    return true;
}

// DSD silence: the byte pattern that keeps the modulator at rest.
constexpr uint8_t kDsdSilence = 0x69;
