#pragma once
// DSDIFF files (suffix "dff"): byte-interleaved DSD in frames of 1/75 s,
// tracks from the edited-master markers, DST-compressed files recognised
// (and refused by the player).

#include "sacd_reader.h"

#include <cstdint>
#include <vector>

class sacd_dsdiff_t : public sacd_reader_t
{
public:
    sacd_dsdiff_t() = default;
    ~sacd_dsdiff_t() override;

    bool open(sacd_media_t *media) override;
    bool close() override;
    uint32_t get_track_count(area_id_e area = AREA_BOTH) override;
    int get_channels() override { return m_channel_count; }
    int get_samplerate() override { return m_samplerate; }
    int get_framerate() override { return m_framerate; }
    uint64_t get_size() override { return m_track_size; }
    uint64_t getDataSize() override { return m_track_size; }
    uint64_t get_offset() override;
    double get_duration() override;
    double get_duration(uint32_t track) override;
    float getProgress() override;
    bool seek(double seconds) override;
    bool is_dst() override { return m_is_dst; }
    bool set_track(uint32_t track, area_id_e area = AREA_BOTH, uint32_t offset = 0) override;
    bool read_frame(uint8_t *frame, uint32_t *size, frame_type_e *type) override;
    bool getTrackDetails(uint32_t track, area_id_e area, TrackDetails *details) override;

    int get_version() const { return m_version; }
    int get_loudspeaker_config() const { return m_loudspeaker_config; }
    uint32_t get_frame_size() const { return m_frame_size; }
    uint32_t get_frame_count() const { return m_frame_count; }
    const std::vector<subsong_t> &subsongs() const { return m_subsong; }
    const std::vector<id3tags_t> &id3tags() const { return m_id3tags; }

private:
    // A track marker; its time is seconds + samples / sample rate, taken
    // once the whole file has been walked (the rate may come later).
    struct Marker {
        double seconds;
        int64_t samples;
        uint16_t type;
    };
    bool readProp(uint64_t end);
    bool readDiin(uint64_t end, std::vector<Marker> &markers);
    bool readDst(uint64_t end);
    void keepId3(uint64_t size);
    void buildTracks(const std::vector<Marker> &markers);
    uint64_t timeToOffset(double seconds) const;

    sacd_media_t *m_media = nullptr;
    int m_version = 0;
    int m_samplerate = 0;
    uint16_t m_channel_count = 0;
    int m_loudspeaker_config = 65535;
    uint64_t m_frm8_size = 0;
    uint64_t m_dsti_offset = 0;
    uint64_t m_dsti_size = 0;
    uint64_t m_data_offset = 0;
    uint64_t m_data_size = 0;
    uint16_t m_framerate = 75;
    uint32_t m_frame_size = 0;
    uint32_t m_frame_count = 0;
    std::vector<subsong_t> m_subsong;
    std::vector<id3tags_t> m_id3tags;
    uint32_t m_current_subsong = 0;
    uint64_t m_track_start = 0; // bytes from the data start
    uint64_t m_track_size = 0;
    uint64_t m_track_pos = 0; // bytes read inside the track
    bool m_is_dst = false;
    bool m_has_sound = false;
};
