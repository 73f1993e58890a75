#pragma once
// DSF files: one track of 1 to 6 channels stored as blocks per channel.
// Frames come out as two channels of 16-bit little-endian words (earliest DSD
// bit most significant), interleaved word by word: the layout of DSD_U16_LE.

#include "sacd_reader.h"

#include <array>
#include <cstdint>
#include <vector>

class sacd_dsf_t : public sacd_reader_t
{
public:
    sacd_dsf_t();
    ~sacd_dsf_t() override;

    bool open(sacd_media_t *media) override;
    bool close() override;
    uint32_t get_track_count(area_id_e area = AREA_BOTH) override;
    int get_channels() override { return m_channel_count; }
    int get_samplerate() override { return m_samplerate; }
    int get_framerate() override { return 75; }
    uint64_t get_size() override;
    uint64_t getDataSize() override;
    uint64_t get_offset() override;
    double get_duration() override;
    double get_duration(uint32_t track) override;
    float getProgress() override;
    bool seek(double seconds) override;
    bool is_dst() override { return false; }
    bool set_track(uint32_t track, area_id_e area = AREA_BOTH, uint32_t offset = 0) override;
    bool read_frame(uint8_t *frame, uint32_t *size, frame_type_e *type) override;
    bool getTrackDetails(uint32_t track, area_id_e area, TrackDetails *details) override;

    int get_loudspeaker_config() const { return m_loudspeaker_config; }
    uint32_t get_block_size() const { return m_block_size; }
    bool is_lsb_first() const { return m_is_lsb; }
    uint64_t get_metadata_offset() const { return m_metadata_offset; }
    uint64_t get_sample_count() const { return m_sample_count; }
    // Bytes of one frame as read_frame delivers it: two channels of one block.
    uint32_t get_frame_size() const { return 2 * m_block_size; }

private:
    // Bytes of the block group starting at data offset pos that belong to
    // the audio of each channel (the rest of the last group is padding).
    uint64_t realBytesInGroup(uint64_t groupIndex) const;

    sacd_media_t *m_media = nullptr;
    int m_samplerate = 0;
    int m_channel_count = 0;
    int m_loudspeaker_config = 0;
    uint64_t m_file_size = 0;
    std::vector<uint8_t> m_block_data; // one block group: channels x block size
    uint32_t m_block_size = 0;
    uint64_t m_block_group = 0;       // index of the next block group to read
    uint64_t m_sample_count = 0;      // per channel
    uint64_t m_bytes_per_channel = 0; // sample count / 8, limited by the data chunk
    uint64_t m_data_offset = 0;
    uint64_t m_data_size = 0;
    uint64_t m_data_end_offset = 0; // whole block groups
    bool m_is_lsb = false;
    uint64_t m_metadata_offset = 0;
};
