#pragma once
// Super Audio CD disc images ("iso", also "dat"): the master TOC with the
// album texts, the two-channel and multichannel area TOCs with their track
// lists and texts, and DSD frames assembled from the audio sectors. Every
// length and offset read from the image is checked against the buffer it
// indexes: a broken or hostile image never reads or writes out of bounds.

#include "sacd_reader.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

constexpr int SACD_LSN_SIZE = 2048;
constexpr int SACD_PSN_SIZE = 2064;
constexpr uint32_t START_OF_MASTER_TOC = 510;
constexpr uint32_t MASTER_TOC_LEN = 10;
constexpr int MAX_AREA_TRACKS = 255;
constexpr int SACD_SAMPLING_FREQUENCY = 2822400;
constexpr int SACD_FRAME_RATE = 75;
constexpr int MAX_DST_FRAME_SIZE = 65552;

struct area_tracklist_time_t {
    uint8_t minutes = 0;
    uint8_t seconds = 0;
    uint8_t frames = 0;
};

// Text kinds of one track, in the order of their type codes.
struct area_track_text_t {
    std::string track_type_title;
    std::string track_type_performer;
    std::string track_type_songwriter;
    std::string track_type_composer;
    std::string track_type_arranger;
    std::string track_type_message;
    std::string track_type_extra_message;
    std::string track_type_title_phonetic;
    std::string track_type_performer_phonetic;
    std::string track_type_songwriter_phonetic;
    std::string track_type_composer_phonetic;
    std::string track_type_arranger_phonetic;
    std::string track_type_message_phonetic;
    std::string track_type_extra_message_phonetic;
};

struct area_toc_t {
    uint8_t version_major = 0;
    uint8_t version_minor = 0;
    uint16_t area_toc_length = 0;
    uint32_t max_byte_rate = 0;
    uint8_t fs_code = 0;
    uint8_t frame_format = 0; // 0 DST, 2 and 3 plain DSD
    uint8_t channel_count = 0;
    uint8_t loudspeaker_config = 0;
    uint8_t extra_settings = 0;
    area_tracklist_time_t total_playtime;
    uint8_t track_offset = 0;
    uint8_t track_count = 0;
    uint32_t track_start = 0; // first sector of the track area
    uint32_t track_end = 0;   // last sector of the track area
};

struct scarletbook_area_t {
    std::vector<uint8_t> area_data; // the area TOC sectors
    area_toc_t area_toc;
    bool is_two_channel = false;
    // Track list 1: start sector and length in sectors.
    std::array<uint32_t, MAX_AREA_TRACKS> track_start_lsn{};
    std::array<uint32_t, MAX_AREA_TRACKS> track_length_lsn{};
    bool has_tracklist_offset = false;
    // Track list 2: start time and length.
    std::array<area_tracklist_time_t, MAX_AREA_TRACKS> track_start_time{};
    std::array<area_tracklist_time_t, MAX_AREA_TRACKS> track_duration{};
    bool has_tracklist_time = false;
    std::vector<area_track_text_t> area_track_text; // one per track
    std::vector<std::array<char, 12>> isrc;         // ISRC per track
    std::vector<std::array<uint8_t, 4>> genre;      // genre per track
    std::vector<uint8_t> access_list;               // 65536 bytes when present
};

// Album and disc texts of the master TOC (the first text channel).
struct master_text_t {
    std::string album_title, album_title_phonetic;
    std::string album_artist, album_artist_phonetic;
    std::string album_publisher, album_publisher_phonetic;
    std::string album_copyright, album_copyright_phonetic;
    std::string disc_title, disc_title_phonetic;
    std::string disc_artist, disc_artist_phonetic;
    std::string disc_publisher, disc_publisher_phonetic;
    std::string disc_copyright, disc_copyright_phonetic;
};

struct master_toc_t {
    uint8_t version_major = 0;
    uint8_t version_minor = 0;
    uint16_t album_set_size = 0;
    uint16_t album_sequence_number = 0;
    uint32_t area_1_toc_1_start = 0; // two-channel area
    uint32_t area_1_toc_2_start = 0;
    uint16_t area_1_toc_size = 0;
    uint32_t area_2_toc_1_start = 0; // multichannel area
    uint32_t area_2_toc_2_start = 0;
    uint16_t area_2_toc_size = 0;
    uint8_t text_area_count = 0;
    uint16_t disc_date_year = 0;
    uint8_t disc_date_month = 0;
    uint8_t disc_date_day = 0;
};

class sacd_media_t;

class sacd_disc_t : public sacd_reader_t
{
public:
    sacd_disc_t();
    ~sacd_disc_t() override;

    // True when the file carries "SACDMTOC" where either sector size puts it.
    static bool g_is_sacd(const char *path);

    bool open(sacd_media_t *media) override;
    bool close() override;
    uint32_t get_track_count(area_id_e area = AREA_BOTH) override;
    int get_channels() override;
    int get_samplerate() override { return SACD_SAMPLING_FREQUENCY; }
    int get_framerate() override { return SACD_FRAME_RATE; }
    uint64_t get_size() override;
    uint64_t getDataSize() override;
    uint64_t get_offset() override;
    double get_duration() override;
    double get_duration(uint32_t track) override;
    float getProgress() override;
    bool seek(double seconds) override;
    bool is_dst() override;
    bool set_track(uint32_t track, area_id_e area = AREA_BOTH, uint32_t offset = 0) override;
    bool read_frame(uint8_t *frame, uint32_t *size, frame_type_e *type) override;
    bool getTrackDetails(uint32_t track, area_id_e area, TrackDetails *details) override;

    scarletbook_area_t *get_area(area_id_e area);
    void free_area(scarletbook_area_t *area);
    bool read_blocks_raw(uint32_t lsn, uint32_t count, uint8_t *buf);

    const master_toc_t &master_toc() const { return m_mtoc; }
    const master_text_t &master_text() const { return m_text; }
    int sector_size() const { return m_sector_size; }
    int area_count() const { return m_area_count; }
    int twoch_area_idx() const { return m_twoch_area_idx; }
    int mulch_area_idx() const { return m_mulch_area_idx; }
    uint32_t read_errors() const { return m_sector_bad_reads; }

private:
    bool read_master_toc();
    bool read_area_toc(int index);
    bool parse_track_text(scarletbook_area_t &area, size_t sectorOffset, size_t &sectorsUsed);
    void reset_frame();
    // Loads the next audio sector and parses its header; false at the track
    // end. A read error is reported through readError.
    bool load_sector(bool &readError);
    uint32_t track_frames(const scarletbook_area_t &area, uint32_t track) const;

    sacd_media_t *m_media = nullptr;
    std::vector<uint8_t> m_mtoc_data; // MASTER_TOC_LEN sectors
    master_toc_t m_mtoc;
    master_text_t m_text;
    int m_twoch_area_idx = -1;
    int m_mulch_area_idx = -1;
    std::array<scarletbook_area_t, 2> m_area;
    int m_area_count = 0;

    scarletbook_area_t *m_current_area = nullptr;
    uint32_t m_track_number = 0;
    uint32_t m_track_start_lsn = 0;
    uint32_t m_track_length_lsn = 0;
    uint32_t m_track_current_lsn = 0;

    // Frame assembly from the audio sector being taken apart.
    struct packet_info_t {
        bool frame_start = false;
        uint8_t data_type = 0;
        uint16_t packet_length = 0;
        uint32_t data_offset = 0; // inside m_sector_buffer
    };
    uint8_t m_sector_header = 0;
    bool m_sector_dst = false;
    bool m_sector_loaded = false;
    std::array<packet_info_t, 8> m_packet_info{};
    int m_packet_count = 0;
    int m_packet_index = 0;
    uint32_t m_frame_size = 0; // bytes of the frame assembled so far
    bool m_frame_started = false;
    bool m_frame_dst = false;
    bool m_frame_invalid = false;
    bool m_track_done = false;
    uint32_t m_sector_bad_reads = 0;

    int m_sector_size = 0;
    uint64_t m_image_sectors = 0;         // whole sectors in the file
    std::vector<uint8_t> m_sector_buffer; // one sector of user data
};
