#include "sacd_dsf.h"

#include "sacd_bytes.h"
#include "sacd_media.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The word packing works on little-endian loads and stores.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "little-endian targets only");

using namespace sacd_bytes;

namespace {

constexpr uint32_t kMaxBlockSize = 1u << 20;

int loudspeakerCode(uint32_t channelType)
{
    switch (channelType) {
    case 1:
        return 5; // mono
    case 2:
        return 0; // stereo
    case 3:
        return 6; // three channels
    case 4:
        return 1; // quad
    case 5:
        return 2; // four channels
    case 6:
        return 3; // five channels
    case 7:
        return 4; // 5.1
    default:
        return 65535;
    }
}

constexpr uint8_t kDsdSilenceReversed = 0x96; // 0x69 with its bits in reverse order

uint8_t reverseBits(uint8_t b)
{
    b = uint8_t((b >> 1 & 0x55) | (b & 0x55) << 1);
    b = uint8_t((b >> 2 & 0x33) | (b & 0x33) << 2);
    return uint8_t(b >> 4 | b << 4);
}

// The bit order of every byte of a 64-bit word reversed.
inline uint64_t reverseBits(uint64_t v)
{
    v = ((v >> 1) & 0x5555555555555555ull) | ((v & 0x5555555555555555ull) << 1);
    v = ((v >> 2) & 0x3333333333333333ull) | ((v & 0x3333333333333333ull) << 2);
    return ((v >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((v & 0x0F0F0F0F0F0F0F0Full) << 4);
}

template <bool Reverse>
void interleaveWords(const uint8_t *left, const uint8_t *right, uint32_t n, uint8_t *out)
{
    constexpr uint64_t lowBytes = 0x00FF00FF00FF00FFull;
    uint32_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes of each channel per step with the x86 baseline vectors;
    // the same steps as the 64-bit loop below.
    const __m128i m1 = _mm_set1_epi8(0x55), m2 = _mm_set1_epi8(0x33), m4 = _mm_set1_epi8(0x0F);
    auto reverse = [&](__m128i v) {
        v = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 1), m1), _mm_slli_epi16(_mm_and_si128(v, m1), 1));
        v = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 2), m2), _mm_slli_epi16(_mm_and_si128(v, m2), 2));
        return _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 4), m4), _mm_slli_epi16(_mm_and_si128(v, m4), 4));
    };
    for (; i + 16 <= n; i += 16) {
        __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i *>(left + i));
        __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i *>(right + i));
        if (Reverse) {
            l = reverse(l);
            r = reverse(r);
        }
        l = _mm_or_si128(_mm_srli_epi16(l, 8), _mm_slli_epi16(l, 8));
        r = _mm_or_si128(_mm_srli_epi16(r, 8), _mm_slli_epi16(r, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * i), _mm_unpacklo_epi16(l, r));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * i + 16), _mm_unpackhi_epi16(l, r));
    }
#endif
    for (; i + 8 <= n; i += 8) {
        uint64_t l, r;
        std::memcpy(&l, left + i, 8);
        std::memcpy(&r, right + i, 8);
        if (Reverse) {
            l = reverseBits(l);
            r = reverseBits(r);
        }
        l = ((l >> 8) & lowBytes) | ((l & lowBytes) << 8);
        r = ((r >> 8) & lowBytes) | ((r & lowBytes) << 8);
        const uint64_t a = (l & 0xFFFFu) | (r & 0xFFFFu) << 16 | (l & 0xFFFF0000u) << 16 | (r & 0xFFFF0000u) << 32;
        const uint64_t b = (l >> 32 & 0xFFFFu) | (r >> 32 & 0xFFFFu) << 16 | (l >> 48) << 32 | (r >> 48) << 48;
        std::memcpy(out + 2 * i, &a, 8);
        std::memcpy(out + 2 * i + 8, &b, 8);
    }
    for (; i < n; i += 2) {
        out[2 * i + 0] = Reverse ? reverseBits(left[i + 1]) : left[i + 1];
        out[2 * i + 1] = Reverse ? reverseBits(left[i]) : left[i];
        out[2 * i + 2] = Reverse ? reverseBits(right[i + 1]) : right[i + 1];
        out[2 * i + 3] = Reverse ? reverseBits(right[i]) : right[i];
    }
}

// Two channels of n bytes as 16-bit little-endian words (earliest byte most
// significant), first channel word then second, in one pass: four words of
// each channel per step. lsbFirst: the bytes hold their earliest bit lowest.
void interleaveWords(const uint8_t *left, const uint8_t *right, uint32_t n, bool lsbFirst, uint8_t *out)
{
    if (lsbFirst)
        interleaveWords<true>(left, right, n, out);
    else
        interleaveWords<false>(left, right, n, out);
}

} // namespace

sacd_dsf_t::sacd_dsf_t() = default;

sacd_dsf_t::~sacd_dsf_t()
{
    close();
}

bool sacd_dsf_t::open(sacd_media_t *media)
{
    close();
    if (!media || !media->isOpen())
        return false;
    m_media = media;
    const int64_t fileSize = media->get_size();
    uint8_t hdr[28];
    if (!media->seek(0) || media->read(hdr, 28) != 28)
        return false;
    if (!is_id(hdr, "DSD ") || le64(hdr + 4) != 28)
        return false;
    m_file_size = le64(hdr + 12);
    m_metadata_offset = le64(hdr + 20);

    uint8_t fmt[52];
    if (media->read(fmt, 52) != 52 || !is_id(fmt, "fmt "))
        return false;
    const uint64_t fmtSize = le64(fmt + 4);
    if (fmtSize < 52 || fmtSize > uint64_t(fileSize))
        return false;
    const uint32_t formatId = le32(fmt + 16);
    const uint32_t channelType = le32(fmt + 20);
    const uint32_t channels = le32(fmt + 24);
    const uint32_t rate = le32(fmt + 28);
    const uint32_t bits = le32(fmt + 32);
    const uint64_t samples = le64(fmt + 36);
    const uint32_t blockSize = le32(fmt + 44);
    if (formatId != 0 || channels < 1 || channels > 6)
        return false;
    if (bits == 1)
        m_is_lsb = true;
    else if (bits == 8)
        m_is_lsb = false;
    else
        return false;
    if (rate > 0x7FFFFFFFu || blockSize < 2 || blockSize > kMaxBlockSize || blockSize % 2)
        return false;

    uint8_t data[12];
    if (!media->seek(int64_t(28 + fmtSize)) || media->read(data, 12) != 12 || !is_id(data, "data"))
        return false;
    const uint64_t dataChunkSize = le64(data + 4);
    if (dataChunkSize < 12)
        return false;

    m_samplerate = static_cast<int>(rate);
    m_channel_count = static_cast<int>(channels);
    m_loudspeaker_config = loudspeakerCode(channelType);
    m_block_size = blockSize;
    m_sample_count = samples;
    m_data_offset = uint64_t(media->get_position());
    m_data_size = dataChunkSize - 12;

    // DSF stores whole block groups (one block per channel); the last group
    // is zero-padded. The data ends after the last whole group, but only
    // sample count / 8 bytes of each channel are audio.
    const uint64_t groupBytes = uint64_t(m_channel_count) * m_block_size;
    const uint64_t groupsInChunk = m_data_size / groupBytes + (m_data_size % groupBytes ? 1 : 0);
    m_bytes_per_channel = std::min(m_sample_count / 8, groupsInChunk * m_block_size);
    const uint64_t groups = m_bytes_per_channel / m_block_size + (m_bytes_per_channel % m_block_size ? 1 : 0);
    m_data_end_offset = m_data_offset + std::min(groups * groupBytes, m_data_size);

    m_block_data.assign(groupBytes, 0);
    m_block_group = 0;
    return media->seek(int64_t(m_data_offset));
}

bool sacd_dsf_t::close()
{
    m_media = nullptr;
    m_block_data.clear();
    m_samplerate = m_channel_count = 0;
    m_block_size = 0;
    m_sample_count = m_bytes_per_channel = 0;
    m_data_offset = m_data_size = m_data_end_offset = 0;
    m_block_group = 0;
    return true;
}

uint32_t sacd_dsf_t::get_track_count(area_id_e area)
{
    if (!m_media)
        return 0;
    switch (area) {
    case AREA_BOTH:
        return 1;
    case AREA_TWOCH:
        return m_channel_count <= 2 ? 1 : 0;
    case AREA_MULCH:
        return m_channel_count > 2 ? 1 : 0;
    }
    return 0;
}

uint64_t sacd_dsf_t::get_size()
{
    return uint64_t(m_channel_count) * (m_sample_count / 8);
}

uint64_t sacd_dsf_t::getDataSize()
{
    return 2 * m_bytes_per_channel;
}

uint64_t sacd_dsf_t::get_offset()
{
    return m_block_group * m_channel_count * m_block_size;
}

double sacd_dsf_t::get_duration()
{
    if (m_samplerate < 1)
        return 0.0;
    return double(m_sample_count) / m_samplerate;
}

double sacd_dsf_t::get_duration(uint32_t track)
{
    return track == 0 ? get_duration() : 0.0;
}

float sacd_dsf_t::getProgress()
{
    if (m_bytes_per_channel == 0)
        return 0.0f;
    return float(std::min<double>(1.0, double(m_block_group) * m_block_size / double(m_bytes_per_channel)));
}

uint64_t sacd_dsf_t::realBytesInGroup(uint64_t groupIndex) const
{
    if (m_block_size == 0 || groupIndex >= m_bytes_per_channel / m_block_size + 1)
        return 0;
    const uint64_t start = groupIndex * m_block_size;
    if (start >= m_bytes_per_channel)
        return 0;
    return std::min<uint64_t>(m_block_size, m_bytes_per_channel - start);
}

bool sacd_dsf_t::seek(double seconds)
{
    if (!m_media || m_block_size == 0)
        return false;
    uint64_t bytes = 0;
    if (seconds > 0 && m_samplerate > 0) {
        const double target = seconds * m_samplerate / 8.0;
        bytes = target >= double(m_bytes_per_channel) ? m_bytes_per_channel : uint64_t(target);
    }
    // Whole block groups only: a group holds one block of every channel.
    m_block_group = bytes / m_block_size;
    return m_media->seek(int64_t(m_data_offset + m_block_group * m_channel_count * m_block_size));
}

bool sacd_dsf_t::set_track(uint32_t track, area_id_e, uint32_t)
{
    if (!m_media || track != 0)
        return false;
    m_block_group = 0;
    return m_media->seek(int64_t(m_data_offset));
}

bool sacd_dsf_t::read_frame(uint8_t *frame, uint32_t *size, frame_type_e *type)
{
    if (!m_media || !frame || !size || !type)
        return false;
    const uint32_t out = get_frame_size();
    const uint64_t real = realBytesInGroup(m_block_group);
    if (*size < out || real == 0)
        return false;
    const uint64_t groupBytes = m_block_data.size();
    const uint64_t pos = m_data_offset + m_block_group * groupBytes;
    if (pos >= m_data_end_offset)
        return false;
    const uint32_t want = uint32_t(std::min<uint64_t>(groupBytes, m_data_end_offset - pos));
    const uint32_t got = m_media->read(m_block_data.data(), want);
    if (got == 0)
        return false;

    // Mono plays on both outputs; with more channels the first two are the
    // front pair in every DSF channel type.
    const uint32_t used = m_channel_count == 1 ? 1 : 2;
    const uint32_t block = m_block_size;
    for (uint32_t c = 0; c < used; ++c) {
        const uint64_t start = uint64_t(c) * block;
        const uint32_t avail = uint32_t(got > start ? std::min<uint64_t>(real, got - start) : 0);
        uint8_t *src = m_block_data.data() + start;
        // Bytes past the real ones are padding in the file (or missing):
        // DSD silence instead, stored as the file stores its bits.
        if (avail < block)
            std::memset(src + avail, m_is_lsb ? kDsdSilenceReversed : kDsdSilence, block - avail);
    }
    interleaveWords(m_block_data.data(), m_block_data.data() + (used - 1) * block, block, m_is_lsb, frame);
    ++m_block_group;
    *size = out;
    *type = FRAME_DSD;
    return true;
}

bool sacd_dsf_t::getTrackDetails(uint32_t, area_id_e, TrackDetails *details)
{
    return plainFileDetails(m_channel_count, details);
}
