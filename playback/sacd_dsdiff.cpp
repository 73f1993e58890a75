#include "sacd_dsdiff.h"

#include "sacd_bytes.h"
#include "sacd_media.h"

#include <algorithm>
#include <cmath>

using namespace sacd_bytes;

namespace {

constexpr uint64_t kMaxFrameSize = 4u << 20; // larger frames are not DSD of any real rate
constexpr uint64_t kMaxId3Size = 16u << 20;
constexpr size_t kMaxMarkers = 4096;

// Chunks are padded to an even size; the pad byte is not in the size field.
uint64_t padded(uint64_t size)
{
    return size + (size & 1);
}

} // namespace

sacd_dsdiff_t::~sacd_dsdiff_t()
{
    close();
}

bool sacd_dsdiff_t::close()
{
    m_media = nullptr;
    m_subsong.clear();
    m_id3tags.clear();
    m_samplerate = 0;
    m_channel_count = 0;
    m_data_offset = m_data_size = 0;
    m_frame_size = m_frame_count = 0;
    m_track_start = m_track_size = m_track_pos = 0;
    m_is_dst = m_has_sound = false;
    m_current_subsong = 0;
    return true;
}

bool sacd_dsdiff_t::open(sacd_media_t *media)
{
    close();
    if (!media || !media->isOpen())
        return false;
    m_media = media;
    const int64_t fileSize = media->get_size();
    uint8_t hdr[16];
    if (!media->seek(0) || media->read(hdr, 16) != 16)
        return false;
    if (!is_id(hdr, "FRM8") || !is_id(hdr + 12, "DSD "))
        return false;
    m_frm8_size = be64(hdr + 4);
    // A size beyond the file is read as far as the file goes.
    const uint64_t end =
        std::min<uint64_t>(12 + std::min<uint64_t>(m_frm8_size, uint64_t(fileSize)), uint64_t(fileSize));

    std::vector<Marker> markers;
    uint64_t pos = 16;
    while (pos + 12 <= end) {
        uint8_t ck[12];
        if (!media->seek(int64_t(pos)) || media->read(ck, 12) != 12)
            break;
        const uint64_t size = be64(ck + 4);
        const uint64_t body = pos + 12;
        if (size > end - body && !(is_id(ck, "DSD ") || is_id(ck, "DST ")))
            break;
        const uint64_t bodyEnd = body + std::min(size, end - body);
        if (is_id(ck, "FVER")) {
            uint8_t v[4];
            if (size >= 4 && media->read(v, 4) == 4)
                m_version = int(be32(v));
        } else if (is_id(ck, "PROP")) {
            if (!readProp(bodyEnd))
                return false;
        } else if (is_id(ck, "DSD ")) {
            m_data_offset = body;
            m_data_size = size;
            m_has_sound = true;
            m_is_dst = false;
        } else if (is_id(ck, "DST ")) {
            m_data_offset = body;
            m_data_size = size;
            m_has_sound = true;
            m_is_dst = true;
            readDst(bodyEnd);
        } else if (is_id(ck, "DSTI")) {
            m_dsti_offset = body;
            m_dsti_size = size;
        } else if (is_id(ck, "DIIN")) {
            readDiin(bodyEnd, markers);
        } else if (is_id(ck, "ID3 ")) {
            keepId3(bodyEnd - body);
        }
        if (size > end - body)
            break; // the sound data runs to the end of the file
        pos = body + padded(size);
    }

    if (!m_has_sound || m_samplerate <= 0 || m_channel_count == 0)
        return false;
    m_framerate = 75;
    const uint64_t frameSize = uint64_t(m_channel_count) * (uint64_t(m_samplerate) / 8) / m_framerate;
    if (frameSize == 0 || frameSize > kMaxFrameSize)
        return false;
    m_frame_size = uint32_t(frameSize);
    // The chunk may claim more than the file holds.
    if (m_data_offset < uint64_t(fileSize))
        m_data_size = std::min<uint64_t>(m_data_size, uint64_t(fileSize) - m_data_offset);
    else
        m_data_size = 0;
    if (!m_is_dst)
        m_frame_count = uint32_t(std::min<uint64_t>(m_data_size / m_frame_size, 0xFFFFFFFFu));
    buildTracks(markers);
    if (m_subsong.empty())
        return false;
    return set_track(0);
}

bool sacd_dsdiff_t::readProp(uint64_t end)
{
    uint8_t form[4];
    if (m_media->read(form, 4) != 4)
        return false;
    if (!is_id(form, "SND "))
        return true; // another property form: not ours
    uint64_t pos = uint64_t(m_media->get_position());
    while (pos + 12 <= end) {
        uint8_t ck[12];
        if (!m_media->seek(int64_t(pos)) || m_media->read(ck, 12) != 12)
            return false;
        const uint64_t size = be64(ck + 4);
        const uint64_t body = pos + 12;
        if (size > end - body)
            return false;
        uint8_t buf[4];
        if (is_id(ck, "FS  ")) {
            if (size < 4 || m_media->read(buf, 4) != 4)
                return false;
            const uint32_t rate = be32(buf);
            if (rate == 0 || rate > 0x7FFFFFFFu)
                return false;
            m_samplerate = int(rate);
        } else if (is_id(ck, "CHNL")) {
            if (size < 2 || m_media->read(buf, 2) != 2)
                return false;
            m_channel_count = be16(buf);
        } else if (is_id(ck, "CMPR")) {
            if (size < 4 || m_media->read(buf, 4) != 4)
                return false;
            if (is_id(buf, "DSD "))
                m_is_dst = false;
            else if (is_id(buf, "DST "))
                m_is_dst = true;
            else
                return false;
        } else if (is_id(ck, "LSCO")) {
            if (size >= 2 && m_media->read(buf, 2) == 2)
                m_loudspeaker_config = be16(buf);
        } else if (is_id(ck, "ID3 ")) {
            keepId3(size);
        }
        pos = body + padded(size);
    }
    return true;
}

bool sacd_dsdiff_t::readDst(uint64_t end)
{
    uint64_t pos = uint64_t(m_media->get_position());
    while (pos + 12 <= end) {
        uint8_t ck[12];
        if (!m_media->seek(int64_t(pos)) || m_media->read(ck, 12) != 12)
            return false;
        const uint64_t size = be64(ck + 4);
        if (is_id(ck, "FRTE")) {
            uint8_t v[6];
            if (size < 6 || m_media->read(v, 6) != 6)
                return false;
            m_frame_count = be32(v);
            m_framerate = be16(v + 4);
            return true;
        }
        if (size > end - pos - 12)
            return false;
        pos += 12 + padded(size);
    }
    return false;
}

bool sacd_dsdiff_t::readDiin(uint64_t end, std::vector<Marker> &markers)
{
    uint64_t pos = uint64_t(m_media->get_position());
    while (pos + 12 <= end) {
        uint8_t ck[12];
        if (!m_media->seek(int64_t(pos)) || m_media->read(ck, 12) != 12)
            return false;
        const uint64_t size = be64(ck + 4);
        if (size > end - pos - 12)
            return false;
        if (is_id(ck, "MARK") && size >= 22) {
            uint8_t m[22];
            if (m_media->read(m, 22) != 22)
                return false;
            const uint16_t hours = be16(m);
            const uint8_t minutes = m[2];
            const uint8_t seconds = m[3];
            const uint32_t samples = be32(m + 4);
            const int32_t offset = int32_t(be32(m + 8));
            const uint16_t type = be16(m + 12);
            if (markers.size() < kMaxMarkers)
                markers.push_back({hours * 3600.0 + minutes * 60.0 + seconds, int64_t(samples) + offset, type});
        }
        pos += 12 + padded(size);
    }
    return true;
}

void sacd_dsdiff_t::keepId3(uint64_t size)
{
    if (size == 0 || size > kMaxId3Size || m_id3tags.size() >= kMaxMarkers)
        return;
    id3tags_t tag;
    // Tags come in track order when a file carries one per track.
    tag.index = uint32_t(m_id3tags.size());
    tag.data.resize(size);
    if (m_media->read(tag.data.data(), uint32_t(size)) == size)
        m_id3tags.push_back(std::move(tag));
}

void sacd_dsdiff_t::buildTracks(const std::vector<Marker> &markers)
{
    if (m_framerate == 0)
        m_framerate = 75;
    const double total = double(m_frame_count) / m_framerate;
    m_subsong.assign(1, subsong_t{0.0, total});
    bool first = true;
    for (const Marker &mk : markers) {
        double t = mk.seconds + double(mk.samples) / m_samplerate;
        t = std::clamp(t, 0.0, total);
        if (mk.type == 0) { // track start
            if (first) {
                m_subsong[0].start_time = t;
                first = false;
            } else {
                if (m_subsong.back().stop_time > t)
                    m_subsong.back().stop_time = t;
                m_subsong.push_back(subsong_t{t, total});
            }
        } else if (mk.type == 1) { // track stop
            m_subsong.back().stop_time = t;
        }
    }
    for (subsong_t &s : m_subsong)
        s.stop_time = std::max(s.stop_time, s.start_time);
}

uint64_t sacd_dsdiff_t::timeToOffset(double seconds) const
{
    const double total = double(m_frame_count) / m_framerate;
    // The last track takes the data up to its very end.
    if (seconds >= total)
        return m_data_size;
    if (!(seconds > 0))
        return 0;
    // Whole frames only.
    const uint64_t frames = uint64_t(seconds * m_framerate + 1e-6);
    return std::min<uint64_t>(frames * m_frame_size, m_data_size);
}

uint32_t sacd_dsdiff_t::get_track_count(area_id_e area)
{
    switch (area) {
    case AREA_BOTH:
        break;
    case AREA_TWOCH:
        if (m_channel_count != 2)
            return 0;
        break;
    case AREA_MULCH:
        if (m_channel_count < 3)
            return 0;
        break;
    }
    return uint32_t(m_subsong.size());
}

bool sacd_dsdiff_t::set_track(uint32_t track, area_id_e, uint32_t)
{
    if (!m_media || track >= m_subsong.size())
        return false;
    m_current_subsong = track;
    const uint64_t start = timeToOffset(m_subsong[track].start_time);
    const uint64_t stop = timeToOffset(m_subsong[track].stop_time);
    m_track_start = start;
    m_track_size = stop > start ? stop - start : 0;
    m_track_pos = 0;
    return m_media->seek(int64_t(m_data_offset + m_track_start));
}

uint64_t sacd_dsdiff_t::get_offset()
{
    return m_track_pos;
}

double sacd_dsdiff_t::get_duration()
{
    return get_duration(m_current_subsong);
}

double sacd_dsdiff_t::get_duration(uint32_t track)
{
    if (track >= m_subsong.size())
        return 0.0;
    return m_subsong[track].stop_time - m_subsong[track].start_time;
}

float sacd_dsdiff_t::getProgress()
{
    return m_track_size ? float(double(m_track_pos) / double(m_track_size)) : 0.0f;
}

bool sacd_dsdiff_t::seek(double seconds)
{
    if (!m_media || m_is_dst)
        return false;
    uint64_t offset = 0;
    if (seconds > 0) {
        const double frames = seconds * m_framerate;
        const double maxFrames = double(m_track_size / m_frame_size);
        offset = uint64_t(std::min(frames, maxFrames)) * m_frame_size;
    }
    m_track_pos = std::min(offset, m_track_size);
    return m_media->seek(int64_t(m_data_offset + m_track_start + m_track_pos));
}

bool sacd_dsdiff_t::read_frame(uint8_t *frame, uint32_t *size, frame_type_e *type)
{
    if (!m_media || !frame || !size || !type || m_track_pos >= m_track_size)
        return false;
    if (m_is_dst) {
        // DST frames are "DSTF" chunks inside the sound data; others are skipped.
        while (m_track_pos + 12 <= m_track_size) {
            uint8_t ck[12];
            if (m_media->read(ck, 12) != 12)
                return false;
            const uint64_t len = be64(ck + 4);
            m_track_pos += 12;
            if (len > m_track_size - m_track_pos)
                return false;
            if (is_id(ck, "DSTF")) {
                if (len > *size)
                    return false;
                if (m_media->read(frame, uint32_t(len)) != len)
                    return false;
                m_track_pos += padded(len);
                m_media->skip(int64_t(padded(len) - len));
                *size = uint32_t(len);
                *type = FRAME_DST;
                return true;
            }
            m_track_pos += padded(len);
            m_media->skip(int64_t(padded(len)));
        }
        return false;
    }
    uint64_t want = std::min<uint64_t>(m_frame_size, m_track_size - m_track_pos);
    want = std::min<uint64_t>(want, *size);
    // Whole sample groups only: one byte of every channel.
    want -= want % m_channel_count;
    if (want == 0)
        return false;
    uint32_t got = m_media->read(frame, uint32_t(want));
    m_track_pos += got;
    got -= got % m_channel_count;
    if (got == 0)
        return false;
    *size = got;
    *type = FRAME_DSD;
    return true;
}

bool sacd_dsdiff_t::getTrackDetails(uint32_t, area_id_e, TrackDetails *details)
{
    return plainFileDetails(m_channel_count, details);
}
