#include "sacd_disc.h"

#include "sacd_bytes.h"
#include "sacd_media.h"

#include <algorithm>
#include <cstring>

using namespace sacd_bytes;

namespace {

constexpr int64_t kMtocOffset2048 = int64_t(START_OF_MASTER_TOC) * SACD_LSN_SIZE;
constexpr int64_t kMtocOffset2064 = int64_t(START_OF_MASTER_TOC) * SACD_PSN_SIZE + 12;
constexpr uint32_t kMaxAreaTocSectors = 4096;
constexpr uint32_t kAccessListSectors = 32;
constexpr uint32_t kIglSectors = 2;
constexpr int kAudioDataType = 2;

bool hasSignature(const std::vector<uint8_t> &buf, size_t offset, const char *sig)
{
    return offset + 8 <= buf.size() && std::memcmp(buf.data() + offset, sig, 8) == 0;
}

// The zero-terminated text at offset, never reading past end.
std::string textAt(const std::vector<uint8_t> &buf, size_t offset, size_t end)
{
    end = std::min(end, buf.size());
    if (offset >= end)
        return std::string();
    const uint8_t *p = buf.data() + offset;
    const void *zero = std::memchr(p, 0, end - offset);
    const size_t len = zero ? size_t(static_cast<const uint8_t *>(zero) - p) : end - offset;
    return std::string(reinterpret_cast<const char *>(p), len);
}

area_tracklist_time_t timeAt(const uint8_t *p)
{
    area_tracklist_time_t t;
    t.minutes = p[0];
    t.seconds = p[1];
    t.frames = p[2];
    return t;
}

double seconds(const area_tracklist_time_t &t)
{
    return t.minutes * 60.0 + t.seconds + t.frames / double(SACD_FRAME_RATE);
}

uint32_t frames(const area_tracklist_time_t &t)
{
    return (t.minutes * 60u + t.seconds) * SACD_FRAME_RATE + t.frames;
}

bool sacdSignatureAt(sacd_media_t &media, int64_t offset)
{
    char sig[8];
    return media.seek(offset) && media.read(sig, 8) == 8 && std::memcmp(sig, "SACDMTOC", 8) == 0;
}

} // namespace

sacd_disc_t::sacd_disc_t()
    : m_sector_buffer(SACD_LSN_SIZE)
{}

sacd_disc_t::~sacd_disc_t()
{
    close();
}

bool sacd_disc_t::g_is_sacd(const char *path)
{
    sacd_media_t media;
    if (!media.open(path))
        return false;
    return sacdSignatureAt(media, kMtocOffset2048) || sacdSignatureAt(media, kMtocOffset2064);
}

bool sacd_disc_t::read_blocks_raw(uint32_t lsn, uint32_t count, uint8_t *buf)
{
    if (!m_media || !buf || m_sector_size == 0)
        return false;
    bool ok = true;
    if (m_sector_size == SACD_LSN_SIZE) {
        const uint64_t bytes = uint64_t(count) * SACD_LSN_SIZE;
        ok = bytes <= 0x7FFFFFFFu && m_media->seek(int64_t(lsn) * SACD_LSN_SIZE)
             && m_media->read(buf, uint32_t(bytes)) == bytes;
    } else {
        // 2064-byte sectors: 12-byte header, 2048 user bytes, 4-byte trailer.
        for (uint32_t i = 0; i < count && ok; ++i) {
            ok = m_media->seek(12 + int64_t(lsn + uint64_t(i)) * SACD_PSN_SIZE)
                 && m_media->read(buf + size_t(i) * SACD_LSN_SIZE, SACD_LSN_SIZE) == SACD_LSN_SIZE;
        }
    }
    if (!ok)
        ++m_sector_bad_reads;
    return ok;
}

bool sacd_disc_t::open(sacd_media_t *media)
{
    close();
    if (!media || !media->isOpen())
        return false;
    m_media = media;
    if (sacdSignatureAt(*media, kMtocOffset2048))
        m_sector_size = SACD_LSN_SIZE;
    else if (sacdSignatureAt(*media, kMtocOffset2064))
        m_sector_size = SACD_PSN_SIZE;
    else
        return false;
    const int64_t fileSize = media->get_size();
    m_image_sectors = fileSize > 0 ? uint64_t(fileSize) / uint32_t(m_sector_size) : 0;
    if (!read_master_toc())
        return false;

    struct AreaEntry {
        uint32_t *start;
        uint32_t *start2;
        uint16_t *size;
    };
    const AreaEntry entries[2] = {
        {&m_mtoc.area_1_toc_1_start, &m_mtoc.area_1_toc_2_start, &m_mtoc.area_1_toc_size},
        {&m_mtoc.area_2_toc_1_start, &m_mtoc.area_2_toc_2_start, &m_mtoc.area_2_toc_size},
    };
    for (const AreaEntry &e : entries) {
        if (*e.start == 0)
            continue;
        scarletbook_area_t &area = m_area[m_area_count];
        const uint32_t sectors = *e.size;
        bool readOk = sectors > 0 && sectors <= kMaxAreaTocSectors;
        if (readOk) {
            area.area_data.assign(size_t(sectors) * SACD_LSN_SIZE, 0);
            readOk = read_blocks_raw(*e.start, sectors, area.area_data.data());
        }
        if (!readOk) {
            free_area(&area);
            *e.start = *e.start2 = 0;
            *e.size = 0;
            continue;
        }
        if (!read_area_toc(m_area_count))
            return false;
        int &idx = area.is_two_channel ? m_twoch_area_idx : m_mulch_area_idx;
        if (idx >= 0) { // a second area of the same kind is not playable
            free_area(&area);
            continue;
        }
        idx = m_area_count;
        ++m_area_count;
    }
    return m_area_count > 0;
}

bool sacd_disc_t::read_master_toc()
{
    m_mtoc_data.assign(size_t(MASTER_TOC_LEN) * SACD_LSN_SIZE, 0);
    if (!read_blocks_raw(START_OF_MASTER_TOC, MASTER_TOC_LEN, m_mtoc_data.data()))
        return false;
    const uint8_t *p = m_mtoc_data.data();
    if (!hasSignature(m_mtoc_data, 0, "SACDMTOC"))
        return false;
    m_mtoc.version_major = p[8];
    m_mtoc.version_minor = p[9];
    m_mtoc.album_set_size = be16(p + 16);
    m_mtoc.album_sequence_number = be16(p + 18);
    if (m_mtoc.version_major >= 2 || m_mtoc.album_set_size > 20)
        return false;
    m_mtoc.area_1_toc_1_start = be32(p + 64);
    m_mtoc.area_1_toc_2_start = be32(p + 68);
    m_mtoc.area_2_toc_1_start = be32(p + 72);
    m_mtoc.area_2_toc_2_start = be32(p + 76);
    m_mtoc.area_1_toc_size = be16(p + 84);
    m_mtoc.area_2_toc_size = be16(p + 86);
    m_mtoc.disc_date_year = be16(p + 120);
    m_mtoc.disc_date_month = p[122];
    m_mtoc.disc_date_day = p[123];
    m_mtoc.text_area_count = std::min<uint8_t>(p[128], 8);

    // One text sector per text channel; the first one is shown.
    for (int i = 0; i < m_mtoc.text_area_count; ++i) {
        if (!hasSignature(m_mtoc_data, size_t(1 + i) * SACD_LSN_SIZE, "SACDText"))
            return false;
    }
    if (m_mtoc.text_area_count > 0) {
        const size_t base = SACD_LSN_SIZE;
        const size_t end = base + SACD_LSN_SIZE;
        std::string *fields[16] = {
            &m_text.album_title,
            &m_text.album_artist,
            &m_text.album_publisher,
            &m_text.album_copyright,
            &m_text.album_title_phonetic,
            &m_text.album_artist_phonetic,
            &m_text.album_publisher_phonetic,
            &m_text.album_copyright_phonetic,
            &m_text.disc_title,
            &m_text.disc_artist,
            &m_text.disc_publisher,
            &m_text.disc_copyright,
            &m_text.disc_title_phonetic,
            &m_text.disc_artist_phonetic,
            &m_text.disc_publisher_phonetic,
            &m_text.disc_copyright_phonetic,
        };
        for (int i = 0; i < 16; ++i) {
            const uint16_t pos = be16(m_mtoc_data.data() + base + 16 + 2 * i);
            if (pos != 0)
                *fields[i] = textAt(m_mtoc_data, base + pos, end);
        }
    }
    return true;
}

bool sacd_disc_t::read_area_toc(int index)
{
    scarletbook_area_t &area = m_area[index];
    const std::vector<uint8_t> &d = area.area_data;
    if (!hasSignature(d, 0, "TWOCHTOC") && !hasSignature(d, 0, "MULCHTOC"))
        return false;
    const uint8_t *p = d.data();
    area_toc_t &t = area.area_toc;
    t.version_major = p[8];
    t.version_minor = p[9];
    if (t.version_major > 1)
        return false;
    t.area_toc_length = be16(p + 10);
    t.max_byte_rate = be32(p + 16);
    t.fs_code = p[20];
    t.frame_format = p[21] & 0x0F;
    t.channel_count = p[32];
    t.loudspeaker_config = p[33] & 0x1F;
    t.extra_settings = p[33] >> 5;
    t.total_playtime = timeAt(p + 64);
    t.track_offset = p[68];
    t.track_count = p[69];
    t.track_start = be32(p + 72);
    t.track_end = be32(p + 76);
    area.is_two_channel = t.channel_count == 2 && t.extra_settings == 0;
    area.area_track_text.assign(t.track_count, area_track_text_t());

    const size_t sectors = d.size() / SACD_LSN_SIZE;
    size_t s = 1;
    while (s < sectors) {
        const size_t off = s * SACD_LSN_SIZE;
        const uint8_t *q = d.data() + off;
        if (hasSignature(d, off, "SACDTTxt")) {
            size_t used = 1;
            parse_track_text(area, off, used);
            s += std::max<size_t>(used, 1);
        } else if (hasSignature(d, off, "SACD_IGL")) {
            // ISRC (12 bytes) and genre (4 bytes) per track, over two sectors.
            const size_t end = std::min(d.size(), off + size_t(kIglSectors) * SACD_LSN_SIZE);
            area.isrc.clear();
            area.genre.clear();
            for (int i = 0; i < MAX_AREA_TRACKS; ++i) {
                const size_t isrcAt = off + 8 + size_t(i) * 12;
                const size_t genreAt = off + 8 + size_t(MAX_AREA_TRACKS) * 12 + size_t(i) * 4;
                if (genreAt + 4 > end)
                    break;
                std::array<char, 12> code{};
                std::memcpy(code.data(), d.data() + isrcAt, 12);
                std::array<uint8_t, 4> genre{};
                std::memcpy(genre.data(), d.data() + genreAt, 4);
                area.isrc.push_back(code);
                area.genre.push_back(genre);
            }
            s += kIglSectors;
        } else if (hasSignature(d, off, "SACD_ACC")) {
            const size_t end = std::min(d.size(), off + size_t(kAccessListSectors) * SACD_LSN_SIZE);
            area.access_list.assign(d.begin() + off, d.begin() + end);
            s += kAccessListSectors;
        } else if (hasSignature(d, off, "SACDTRL1")) {
            for (int i = 0; i < MAX_AREA_TRACKS; ++i) {
                area.track_start_lsn[i] = be32(q + 8 + 4 * i);
                area.track_length_lsn[i] = be32(q + 8 + 4 * MAX_AREA_TRACKS + 4 * i);
            }
            area.has_tracklist_offset = true;
            s += 1;
        } else if (hasSignature(d, off, "SACDTRL2")) {
            for (int i = 0; i < MAX_AREA_TRACKS; ++i) {
                area.track_start_time[i] = timeAt(q + 8 + 4 * i);
                area.track_duration[i] = timeAt(q + 8 + 4 * MAX_AREA_TRACKS + 4 * i);
            }
            area.has_tracklist_time = true;
            s += 1;
        } else {
            break;
        }
    }
    return true;
}

bool sacd_disc_t::parse_track_text(scarletbook_area_t &area, size_t base, size_t &sectorsUsed)
{
    const std::vector<uint8_t> &d = area.area_data;
    const size_t end = d.size();
    size_t furthest = base + SACD_LSN_SIZE;
    for (size_t i = 0; i < area.area_track_text.size(); ++i) {
        const uint16_t pos = be16(d.data() + base + 8 + 2 * i);
        if (pos == 0 || base + pos >= end)
            continue;
        size_t p = base + pos;
        const int items = d[p];
        p += 4;
        area_track_text_t &text = area.area_track_text[i];
        for (int k = 0; k < items && p + 2 <= end; ++k) {
            const uint8_t type = d[p];
            p += 2;
            const std::string s = textAt(d, p, end);
            p += s.size() + 1;
            // Each item is padded to a multiple of four bytes.
            p = base + ((p - base + 3) & ~size_t(3));
            std::string *field = nullptr;
            switch (type) {
            case 0x01:
                field = &text.track_type_title;
                break;
            case 0x02:
                field = &text.track_type_performer;
                break;
            case 0x03:
                field = &text.track_type_songwriter;
                break;
            case 0x04:
                field = &text.track_type_composer;
                break;
            case 0x05:
                field = &text.track_type_arranger;
                break;
            case 0x06:
                field = &text.track_type_message;
                break;
            case 0x07:
                field = &text.track_type_extra_message;
                break;
            case 0x81:
                field = &text.track_type_title_phonetic;
                break;
            case 0x82:
                field = &text.track_type_performer_phonetic;
                break;
            case 0x83:
                field = &text.track_type_songwriter_phonetic;
                break;
            case 0x84:
                field = &text.track_type_composer_phonetic;
                break;
            case 0x85:
                field = &text.track_type_arranger_phonetic;
                break;
            case 0x86:
                field = &text.track_type_message_phonetic;
                break;
            case 0x87:
                field = &text.track_type_extra_message_phonetic;
                break;
            default:
                break;
            }
            if (field)
                *field = s;
        }
        furthest = std::max(furthest, std::min(p, end));
    }
    sectorsUsed = (furthest - base + SACD_LSN_SIZE - 1) / SACD_LSN_SIZE;
    return true;
}

void sacd_disc_t::free_area(scarletbook_area_t *area)
{
    if (area)
        *area = scarletbook_area_t();
}

bool sacd_disc_t::close()
{
    for (scarletbook_area_t &a : m_area)
        free_area(&a);
    m_area_count = 0;
    m_twoch_area_idx = m_mulch_area_idx = -1;
    m_mtoc = master_toc_t();
    m_text = master_text_t();
    m_mtoc_data.clear();
    m_current_area = nullptr;
    m_track_number = m_track_start_lsn = m_track_length_lsn = m_track_current_lsn = 0;
    reset_frame();
    m_sector_size = 0;
    m_image_sectors = 0;
    m_media = nullptr;
    return true;
}

scarletbook_area_t *sacd_disc_t::get_area(area_id_e area)
{
    int idx = -1;
    switch (area) {
    case AREA_TWOCH:
        idx = m_twoch_area_idx;
        break;
    case AREA_MULCH:
        idx = m_mulch_area_idx;
        break;
    case AREA_BOTH:
        idx = m_twoch_area_idx >= 0 ? m_twoch_area_idx : m_mulch_area_idx;
        break;
    }
    return idx >= 0 ? &m_area[idx] : nullptr;
}

uint32_t sacd_disc_t::get_track_count(area_id_e area)
{
    scarletbook_area_t *a = get_area(area);
    return a ? a->area_toc.track_count : 0;
}

int sacd_disc_t::get_channels()
{
    const scarletbook_area_t *a = m_current_area ? m_current_area : get_area(AREA_BOTH);
    return a ? a->area_toc.channel_count : 0;
}

bool sacd_disc_t::is_dst()
{
    const scarletbook_area_t *a = m_current_area ? m_current_area : get_area(AREA_BOTH);
    return a && a->area_toc.frame_format == 0;
}

uint64_t sacd_disc_t::get_size()
{
    return uint64_t(m_track_length_lsn) * uint32_t(m_sector_size);
}

uint64_t sacd_disc_t::get_offset()
{
    return uint64_t(m_track_current_lsn - m_track_start_lsn) * uint32_t(m_sector_size);
}

uint32_t sacd_disc_t::track_frames(const scarletbook_area_t &area, uint32_t track) const
{
    return track < area.area_toc.track_count ? frames(area.track_duration[track]) : 0;
}

uint64_t sacd_disc_t::getDataSize()
{
    if (!m_current_area)
        return 0;
    const uint64_t perFrame =
        uint64_t(SACD_SAMPLING_FREQUENCY / 8 / SACD_FRAME_RATE) * m_current_area->area_toc.channel_count;
    return uint64_t(track_frames(*m_current_area, m_track_number)) * perFrame;
}

double sacd_disc_t::get_duration()
{
    return m_current_area ? get_duration(m_track_number) : 0.0;
}

double sacd_disc_t::get_duration(uint32_t track)
{
    const scarletbook_area_t *a = m_current_area ? m_current_area : get_area(AREA_BOTH);
    if (!a || track >= a->area_toc.track_count)
        return 0.0;
    return seconds(a->track_duration[track]);
}

float sacd_disc_t::getProgress()
{
    if (m_track_length_lsn == 0)
        return 0.0f;
    return float(double(m_track_current_lsn - m_track_start_lsn) / m_track_length_lsn);
}

void sacd_disc_t::reset_frame()
{
    m_sector_loaded = false;
    m_sector_dst = false;
    m_packet_count = m_packet_index = 0;
    m_frame_size = 0;
    m_frame_started = m_frame_dst = m_frame_invalid = false;
    m_track_done = false;
}

bool sacd_disc_t::set_track(uint32_t track, area_id_e area, uint32_t offset)
{
    scarletbook_area_t *a = get_area(area);
    reset_frame();
    if (!a || track >= a->area_toc.track_count || !m_media) {
        m_current_area = nullptr;
        return false;
    }
    const area_toc_t &t = a->area_toc;
    const uint64_t areaEnd = uint64_t(t.track_end) + 1;
    const uint64_t first = track == 0 ? t.track_start : a->track_start_lsn[track];
    uint64_t next = track + 1 < t.track_count ? a->track_start_lsn[track + 1] : areaEnd;
    // An image cut short ends its track where the file ends, rather than
    // playing silence for every missing sector.
    next = std::min(next, m_image_sectors);
    if (first < t.track_start || next > areaEnd || next <= first || next - first > 0xFFFFFFFFu) {
        m_current_area = nullptr;
        return false;
    }
    m_current_area = a;
    m_track_number = track;
    m_track_start_lsn = uint32_t(first);
    m_track_length_lsn = uint32_t(next - first);
    m_track_current_lsn = uint32_t(first + std::min(offset, m_track_length_lsn));
    return m_media->seek(int64_t(m_track_current_lsn) * m_sector_size);
}

bool sacd_disc_t::seek(double secs)
{
    if (!m_current_area || !m_media)
        return false;
    const double duration = get_duration();
    uint32_t target = 0;
    if (duration > 0 && secs > 0)
        target = uint32_t(std::min(1.0, secs / duration) * m_track_length_lsn);
    target = std::min(target, m_track_length_lsn);
    reset_frame();
    m_track_current_lsn = m_track_start_lsn + target;
    return m_media->seek(int64_t(m_track_current_lsn) * m_sector_size);
}

bool sacd_disc_t::load_sector(bool &readError)
{
    readError = false;
    m_sector_loaded = false;
    if (!m_current_area || uint64_t(m_track_current_lsn) >= uint64_t(m_track_start_lsn) + m_track_length_lsn)
        return false;
    const uint32_t lsn = m_track_current_lsn++;
    if (!read_blocks_raw(lsn, 1, m_sector_buffer.data())) {
        readError = true;
        return false;
    }
    const uint8_t *s = m_sector_buffer.data();
    m_sector_header = s[0];
    const int packets = s[0] >> 5;
    const int frameInfos = (s[0] >> 2) & 7;
    m_sector_dst = s[0] & 1;
    uint32_t pos = 1 + 2 * packets;
    const uint32_t infoBytes = uint32_t(frameInfos) * (m_sector_dst ? 4 : 3);
    uint32_t data = pos + infoBytes; // at most 1 + 14 + 28 bytes: always inside the sector
    m_packet_count = 0;
    for (int i = 0; i < packets; ++i) {
        const uint16_t w = be16(s + 1 + 2 * i);
        packet_info_t &pk = m_packet_info[i];
        pk.frame_start = w >> 15;
        pk.data_type = (w >> 11) & 7;
        pk.packet_length = w & 0x7FF;
        pk.data_offset = data;
        ++m_packet_count;
        if (data + pk.packet_length > uint32_t(SACD_LSN_SIZE)) {
            // Packet data running past the sector: keep what is there and
            // spoil the frame it belongs to.
            pk.packet_length = uint16_t(SACD_LSN_SIZE - data);
            pk.data_type |= 0x80;
            break;
        }
        data += pk.packet_length;
    }
    m_packet_index = 0;
    m_sector_loaded = true;
    return true;
}

bool sacd_disc_t::read_frame(uint8_t *frame, uint32_t *size, frame_type_e *type)
{
    if (!frame || !size || !type || !m_current_area)
        return false;
    // A frame is assembled within one call, straight into the caller's buffer.
    const uint32_t room = std::min<uint32_t>(*size, MAX_DST_FRAME_SIZE);
    auto emit = [&]() {
        if (m_frame_invalid) {
            *size = 0;
            *type = FRAME_INVALID;
        } else {
            *size = m_frame_size;
            *type = m_frame_dst ? FRAME_DST : FRAME_DSD;
        }
        m_frame_started = false;
        m_frame_invalid = false;
        m_frame_size = 0;
        return true;
    };
    for (;;) {
        if (!m_sector_loaded || m_packet_index >= m_packet_count) {
            if (m_track_done)
                return false;
            bool readError = false;
            if (!load_sector(readError)) {
                if (readError) {
                    // The frame in progress is lost; the caller plays silence.
                    m_frame_started = false;
                    m_frame_size = 0;
                    m_frame_invalid = false;
                    *size = 0;
                    *type = FRAME_INVALID;
                    return true;
                }
                m_track_done = true;
                if (m_frame_started && m_frame_size > 0)
                    return emit();
                return false;
            }
            continue;
        }
        const packet_info_t &pk = m_packet_info[m_packet_index];
        const bool spoilt = pk.data_type & 0x80;
        if ((pk.data_type & 7) != kAudioDataType) {
            ++m_packet_index;
            continue;
        }
        if (pk.frame_start) {
            if (m_frame_started)
                return emit(); // this packet begins the next frame
            m_frame_started = true;
            m_frame_dst = m_sector_dst;
            m_frame_invalid = false;
            m_frame_size = 0;
        }
        ++m_packet_index;
        if (!m_frame_started)
            continue; // after a seek: wait for the next frame start
        if (spoilt || m_frame_size + pk.packet_length > room) {
            m_frame_invalid = true;
            continue;
        }
        std::memcpy(frame + m_frame_size, m_sector_buffer.data() + pk.data_offset, pk.packet_length);
        m_frame_size += pk.packet_length;
    }
}

bool sacd_disc_t::getTrackDetails(uint32_t track, area_id_e area, TrackDetails *details)
{
    scarletbook_area_t *a = get_area(area);
    if (!details || !a || track >= a->area_toc.track_count)
        return false;
    const area_track_text_t &t = a->area_track_text[track];
    details->strAlbum = !m_text.album_title.empty()  ? m_text.album_title
                        : !m_text.disc_title.empty() ? m_text.disc_title
                                                     : std::string("Unknown Album");
    details->strArtist = t.track_type_performer.empty() ? std::string("Unknown Artist") : t.track_type_performer;
    details->strTitle = t.track_type_title;
    details->channelCount = a->area_toc.channel_count;
    return true;
}
