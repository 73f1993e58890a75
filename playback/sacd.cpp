#include "sacd.h"

#include "cueitem.h"
#include "globals.h"
#include "logging.h"
#include "sacd_disc.h"
#include "sacd_dsdiff.h"
#include "sacd_dsf.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <cstring>

// The word packing works on little-endian loads and stores.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "little-endian targets only");

namespace {

constexpr int kDsfBlockBytes = 32768;

// "2.8MHz", "5.6MHz", "11.2MHz": the shortest decimal form cut (not rounded)
// to one decimal.
QString rateText(int rate)
{
    QString s = QString::number(rate / 1000000.0, 'g', 12);
    const int dot = s.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        s.truncate(dot + 2);
    return s + QStringLiteral("MHz");
}

} // namespace

SACD::SACD() = default;

SACD::~SACD()
{
    if (m_reader)
        m_reader->close();
    m_reader.reset();
    m_media.reset();
}

bool SACD::open(const QString &path)
{
    const QString suffix = path.right(3).toLower();
    const QByteArray file = QFile::encodeName(path);
    if ((suffix == QLatin1String("iso") || suffix == QLatin1String("dat"))
        && sacd_disc_t::g_is_sacd(file.constData())) {
        m_reader = std::make_unique<sacd_disc_t>();
        m_kind = Kind::Image;
    } else if (suffix == QLatin1String("dff")) {
        m_reader = std::make_unique<sacd_dsdiff_t>();
        m_kind = Kind::Dsdiff;
    } else if (suffix == QLatin1String("dsf")) {
        m_reader = std::make_unique<sacd_dsf_t>();
        m_kind = Kind::Dsf;
    } else {
        qCWarning(lcPlayback).noquote() << QStringLiteral("PANIC: exception_io_unsupported_format");
        return false;
    }
    m_media = std::make_unique<sacd_media_t>();
    if (!m_media->open(file.constData())) {
        qCWarning(lcPlayback).noquote() << QStringLiteral("PANIC: exception_io_data\n");
        return false;
    }
    if (!m_reader->open(m_media.get())) {
        qCWarning(lcPlayback).noquote() << QStringLiteral("PANIC: Failed to parse SACD media");
        return false;
    }
    return true;
}

int SACD::init(unsigned int track, area_id_e area)
{
    if (!m_reader || !m_reader->set_track(track, area, 0))
        return -1;
    m_samplerate = m_reader->get_samplerate();
    m_framerate = m_reader->get_framerate() > 0 ? m_reader->get_framerate() : 75;
    m_channels = m_reader->get_channels();
    if (m_samplerate <= 0 || m_channels <= 0)
        return -1;

    const quint64 bytesPerSecond = quint64(m_samplerate) / 8 * 2; // two output channels
    if (isCueItem()) {
        // The track is a piece of the file: its length comes from the sheet.
        m_dataSize = quint64(std::max<qint64>(0, g_CurMusicPlay.duration)) * bytesPerSecond;
        g_CurMusicPlay.albumPicture = QImage();
    } else {
        m_dataSize = m_kind == Kind::Dsf ? m_reader->getDataSize() : m_reader->getDataSize() / quint64(m_channels) * 2;
        g_CurMusicPlay.duration = qint64(m_reader->get_duration());
    }

    if (m_kind == Kind::Dsf) {
        m_interleaved = false;
        auto *dsf = static_cast<sacd_dsf_t *>(m_reader.get());
        m_frame.assign(dsf->get_frame_size(), 0);
        m_frameSize = int(dsf->get_frame_size());
        m_packSize = m_frameSize;
        m_blockBytes = kDsfBlockBytes;
    } else {
        m_interleaved = true;
        const int perChannel = m_samplerate / 8 / m_framerate;
        // The reader's frame holds every channel; two of them are played.
        m_frame.assign(std::max<size_t>(MAX_DST_FRAME_SIZE, size_t(perChannel) * m_channels), 0);
        m_frameSize = perChannel * 2;
        m_packSize = m_frameSize;
        m_blockBytes = 4 * m_frameSize;
        if (m_kind == Kind::Image)
            g_CurMusicPlay.albumPicture = QImage();
    }
    if (m_frameSize <= 0)
        return -1;

    g_CurMusicPlay.sampleRateText = rateText(m_samplerate);
    const qint64 start = g_CurMusicPlay.startOffset;
    const qint64 duration = g_CurMusicPlay.duration;
    if (g_CurMusicPlay.tailStart) {
        g_CurMusicPlay.tailStart = false;
        g_CurMusicPlay.currentPosition = start + duration - 8;
    }
    const int mhz = m_samplerate / 1000000;
    g_CurMusicPlay.is48kFamily = mhz > 0 && mhz % 48 == 0;
    g_TempData.inputSampleRate = m_samplerate / 64;
    g_CurMusicPlay.detailText = QString();

    const qint64 rel = g_CurMusicPlay.currentPosition - start;
    if (rel < 0 || rel > duration)
        g_CurMusicPlay.currentPosition = start;

    // Positions count blocks: duration (whole seconds) spread over the
    // blocks of the track, the last, short one included.
    m_blockCount = std::max<quint64>(1, (m_dataSize + quint64(m_blockBytes) - 1) / quint64(m_blockBytes));
    m_secondsPerUnit = double(duration) / double(m_blockCount);
    if (g_CurMusicPlay.currentPosition != 0) {
        // Start at the block the position counts to, so that the blocks the
        // output thread counts are the blocks it plays.
        const double unit = m_secondsPerUnit > 0 ? m_secondsPerUnit : 1.0;
        const quint64 block = quint64(double(g_CurMusicPlay.currentPosition.get()) / unit);
        m_reader->seek(double(block) * m_blockBytes / double(bytesPerSecond));
    }
    m_carry.clear();
    m_eod = false;
    return 0;
}

void SACD::packInterleaved(const uint8_t *in, uint32_t inBytes, int channels, uint8_t *out, uint32_t outBytes)
{
    const uint32_t groups = channels > 0 ? inBytes / uint32_t(channels) : 0;
    const uint32_t words = outBytes / 4;
    uint32_t w = 0;
    if (channels == 2) {
        // b0 b1 b2 b3 (first, second, first, second) become b2 b0 b3 b1.
        const uint32_t whole = std::min(words, groups / 2);
        // Two words of each channel per step: byte lanes (little-endian
        // load) b0..b7 become b2 b0 b3 b1 b6 b4 b7 b5.
        for (; w + 2 <= whole; w += 2) {
            uint64_t v;
            std::memcpy(&v, in + 4 * w, 8);
            const uint64_t r = ((v >> 16) & 0x000000FF000000FFull) | ((v & 0x000000FF000000FFull) << 8)
                               | ((v >> 8) & 0x00FF000000FF0000ull) | ((v << 16) & 0xFF000000FF000000ull);
            std::memcpy(out + 4 * w, &r, 8);
        }
        for (; w < whole; ++w) {
            uint32_t v;
            std::memcpy(&v, in + 4 * w, 4);
            // Byte lanes (little-endian load): b0 b1 b2 b3 -> b2 b0 b3 b1.
            const uint32_t r =
                ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 8) | ((v >> 8) & 0xFF0000u) | ((v << 16) & 0xFF000000u);
            std::memcpy(out + 4 * w, &r, 4);
        }
    }
    const int second = channels > 1 ? 1 : 0;
    for (; w < words; ++w) {
        const uint32_t g0 = 2 * w, g1 = 2 * w + 1;
        uint8_t *o = out + 4 * w;
        o[0] = g1 < groups ? in[size_t(g1) * channels] : kDsdSilence;
        o[1] = g0 < groups ? in[size_t(g0) * channels] : kDsdSilence;
        o[2] = g1 < groups ? in[size_t(g1) * channels + second] : kDsdSilence;
        o[3] = g0 < groups ? in[size_t(g0) * channels + second] : kDsdSilence;
    }
    std::memset(out + 4 * words, kDsdSilence, outBytes - 4 * words);
}

bool SACD::readFrame(QByteArray *out, bool &isDst, bool &shortFrame)
{
    shortFrame = false;
    if (!m_interleaved) {
        // DSF frames come as they are played: straight into the block.
        const int at = out->size();
        out->resize(at + m_frameSize);
        auto *dst = reinterpret_cast<uint8_t *>(out->data()) + at;
        uint32_t size = uint32_t(m_frameSize);
        frame_type_e type = FRAME_DSD;
        if (!m_reader->read_frame(dst, &size, &type) || size == 0) {
            out->resize(at);
            return false;
        }
        if (size < uint32_t(m_frameSize))
            std::memset(dst + size, kDsdSilence, m_frameSize - size);
        shortFrame = size < uint32_t(m_frameSize);
        return true;
    }
    for (;;) {
        uint32_t size = uint32_t(m_frame.size());
        frame_type_e type = FRAME_DSD;
        if (!m_reader->read_frame(m_frame.data(), &size, &type))
            return false;
        const int at = out->size();
        out->resize(at + m_frameSize);
        auto *dst = reinterpret_cast<uint8_t *>(out->data()) + at;
        if (type == FRAME_DST) {
            out->resize(at);
            isDst = true;
            return false;
        }
        if (type == FRAME_INVALID) {
            std::memset(dst, kDsdSilence, size_t(m_frameSize));
            return true;
        }
        if (size == 0) {
            out->resize(at);
            continue;
        }
        packInterleaved(m_frame.data(), size, m_channels, dst, uint32_t(m_frameSize));
        shortFrame = size < uint32_t(m_frameSize / 2 * m_channels);
        return true;
    }
}

int SACD::decode(QByteArray *out, bool &isDst)
{
    if (!out || !m_reader || m_blockBytes <= 0)
        return -1;
    if (!m_carry.isEmpty()) {
        out->append(m_carry);
        m_carry.clear();
    }
    while (out->size() < m_blockBytes && !m_eod) {
        bool shortFrame = false;
        if (!readFrame(out, isDst, shortFrame)) {
            m_eod = true;
            break;
        }
        if (shortFrame)
            break; // a short frame ends the block early
    }
    if (out->size() > m_blockBytes) {
        m_carry = out->mid(m_blockBytes);
        out->truncate(m_blockBytes);
    }
    return m_eod && m_carry.isEmpty() ? 1 : 0;
}
