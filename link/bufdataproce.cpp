#include "bufdataproce.h"

#include "globals.h"
#include "linkglobals.h"
#include "linktext.h"
#include "logging.h"

#include <QDebug>
#include <QThread>
#include <QTimer>

#include <cstring>

BufDataProce::BufDataProce(QObject *parent)
    : QObject(parent)
    , m_switchTimer(new QTimer(this))
{
    m_switchTimer->setSingleShot(true);
    connect(m_switchTimer, &QTimer::timeout, this, [this] {
        m_switchTimer->stop();
        m_switching.store(false, std::memory_order_relaxed);
    });
}

void BufDataProce::setTrackSwitching(int ms)
{
    m_switching.store(true, std::memory_order_relaxed);
    startSwitchTimer(ms);
}

void BufDataProce::clearTrackSwitching()
{
    m_switching.store(false, std::memory_order_relaxed);
    startSwitchTimer(-1);
}

void BufDataProce::startSwitchTimer(int ms)
{
    // The timer belongs to this object's thread; other threads reach it
    // through the event loop.
    auto apply = [this, ms] {
        if (ms < 0)
            m_switchTimer->stop();
        else
            m_switchTimer->start(ms);
    };
    if (QThread::currentThread() == thread())
        apply();
    else
        QMetaObject::invokeMethod(this, apply, Qt::QueuedConnection);
}

void BufDataProce::setPlayingIndex(int folder, int index)
{
    m_appFolder.store(folder, std::memory_order_relaxed);
    m_appIndex.store(index, std::memory_order_relaxed);
}

namespace {

// Copies len bytes of an image into the payload; nothing when out of range
// (the payload then stays zero).
template <int N>
void copyImage(const ByteImage<N> *img, int off, int len)
{
    if (img && len > 0)
        img->read(off, SendFrameData.payload(), len);
}

} // namespace

QByteArray BufDataProce::ProcessingPackets(bool fill, int count)
{
    SendFrameData.setTags(FRAME_START_TAG);
    const int len = SendFrameData.length();
    if (len > Frame::MaxPayload) {
        qCWarning(lcLink, "ProcessingPackets: payload of %d bytes cannot be sent", len);
        return QByteArray();
    }
    const int type = SendFrameData[Frame::Type];
    const int preset = SendFrameData[Frame::Preset];
    const int group = SendFrameData[Frame::Group];
    const int item = SendFrameData[Frame::Item];
    const int slot = SendFrameData[Frame::Slot];
    const int target = SendFrameData[Frame::Target];

    if (type != FRAME_WRITE) {
        SendFrameData.clearPayload(len);
        return SendFrameData.finish();
    }

    switch (group) {
    case GROUP_INPUT: {
        SendFrameData.clearPayload(len);
        const int base = Image::inputSlot(item, 0);
        if (preset != 0) {
            copyImage(storedPreset(preset), base, qMin(len, Image::InputWholeLength));
        } else if (len == Image::InputWholeLength) {
            copyImage(&SendStructData, base, len);
        } else {
            // Slot 35 is carried by slot 34's bytes.
            const int s = slot == 35 ? 34 : slot;
            copyImage(&SendStructData, Image::inputSlot(item, s), qMin(len, Image::SlotSize));
        }
        break;
    }
    case GROUP_OUTPUT: {
        SendFrameData.clearPayload(len);
        if (item >= Image::OutputChannels)
            break;
        const int base = Image::outputSlot(item, 0);
        if (preset != 0) {
            copyImage(storedPreset(preset), base, qMin(len, Image::OutputRecord));
        } else if (len == Image::OutputRecord) {
            copyImage(&SendStructData, base, len);
        } else if (slot <= 36) {
            const ProgramImage *src = (slot == 31 && target == TARGET_CASCADE) ? &SendCasStructData : &SendStructData;
            copyImage(src, Image::outputSlot(item, slot), qMin(len, Image::SlotSize));
        }
        break;
    }
    case GROUP_SYSTEM:
        if (m_bUpMCUFlag.get() && item >= 55 && item <= 59)
            fillUpgradeBlock(item, fill, count, len);
        else if (item != 121) // block 121 carries the now-playing payload already in place
            fillSystemBlock(item, preset, target, len);
        break;
    case GROUP_APP:
        if (item == 16) {
            SendFrameData.clearPayload(len);
            copyImage(&m_nSendUSBLink, 0, qMin(len, int(m_nSendUSBLink.Size)));
            qCDebug(lcLink, "USB_Changed----%d", int(m_nSendUSBLink.at(0)));
        }
        // Other app items carry the list payload already in place.
        break;
    default:
        SendFrameData.clearPayload(len);
        break;
    }
    return SendFrameData.finish();
}

void BufDataProce::fillSystemBlock(int block, int preset, int target, int len)
{
    SendFrameData.clearPayload(len);
    const bool cas = target == TARGET_CASCADE;
    const int n = qMin(len, Image::SlotSize);
    switch (block) {
    case 0: {
        const int nameLen = qMin(len, Image::NameSize);
        if (preset != 0)
            copyImage(storedPreset(preset), 0, nameLen);
        else if (cas)
            copyImage(::cascadePreset(m_casPreset.load(std::memory_order_relaxed)), 0, nameLen);
        else
            copyImage(&m_nCurProgram, 0, nameLen);
        break;
    }
    case 2:
        cas ? copyImage(&SendCasSYSData, 0, n) : copyImage(&SendSYSData, 0, n);
        break;
    case 5:
        cas ? copyImage(&SendCasSYSData, 8, n) : copyImage(&SendSYSData, 8, n);
        break;
    case 6:
        copyImage(&SendSYSData, 16, n);
        break;
    case 7:
    case 52:
        copyImage(&SendSYSData, 24, n);
        break;
    case 8:
        copyImage(&SendSYSData, 32, n);
        break;
    case 9:
        if (cas && Is_Sub_Model())
            copyImage(&SendCasSYSData, 160, n);
        else
            copyImage(&SendSYSData, 40, n);
        break;
    case 120:
        copyImage(&SendSYSData, 56, n);
        break;
    case 122:
        copyImage(&SendSYSData, 48, n);
        break;
    default:
        break;
    }
}

void BufDataProce::fillUpgradeBlock(int block, bool fill, int count, int len)
{
    SendFrameData.clearPayload(len);
    quint8 *p = SendFrameData.payload();
    count = qBound(0, count, Frame::MaxPayload);
    auto put = [p](const QByteArray &b, int at) { std::memcpy(p + at, b.constData(), static_cast<size_t>(b.size())); };
    switch (block) {
    case 55:
    case 56:
        if (fill) {
            std::memset(p, 0xFF, 48);
            put(m_nHexData.takeFront(count), 0);
        } else {
            put(m_nHexData.takeFront(len), 0);
        }
        break;
    case 57:
        p[0] = m_nReadDsp_McuFile_Flag.checksum;
        break;
    case 59:
        if (fill) {
            put(m_nDsp_Data.takeFront(count), 0);
        } else {
            const quint32 addr = m_nReadDsp_McuFile_Flag.dspAddress;
            for (int i = 0; i < 4; ++i)
                p[i] = static_cast<quint8>(addr >> (8 * i));
            put(m_nDsp_Data.takeFront(qMin(44, Frame::MaxPayload - 4)), 4);
            m_nReadDsp_McuFile_Flag.dspAddress = addr + 44;
        }
        break;
    default: // 58: zero payload
        break;
    }
}

int BufDataProce::PacketMediaInfoData()
{
    QByteArray title, artist, album, format;
    if (m_infoOff.load(std::memory_order_relaxed)) {
        title = artist = album = format = QByteArray(" ");
    } else {
        title = g_CurMusicPlay.title.get().toUtf8();
        artist = g_CurMusicPlay.artist.get().toUtf8();
        album = g_CurMusicPlay.album.get().toUtf8();
        if (title.size() + artist.size() + album.size() > TextBudget) {
            // The weight rule counts one for any character outside the CJK
            // block, which lets accented, Hangul or emoji text run past the
            // byte limit; the byte cut behind it keeps the limit.
            if (title.size() > TitleCut)
                title = utf8Prefix(Proc_substr_filename(g_CurMusicPlay.title.get(), TitleCut, true), TitleCut);
            if (artist.size() > ArtistCut)
                artist = utf8Prefix(Proc_substr_filename(g_CurMusicPlay.artist.get(), ArtistCut, true), ArtistCut);
            if (album.size() > AlbumCut)
                album = utf8Prefix(Proc_substr_filename(g_CurMusicPlay.album.get(), AlbumCut, true), AlbumCut);
        }
        QString type = g_CurMusicPlay.fileType.get().toUpper();
        if (type == QLatin1String("ISO"))
            type = QStringLiteral("DSD");
        const QString rate = g_CurMusicPlay.sampleRateText.get();
        QString line = type + get_Dsd_Bit(rate) + QStringLiteral(" / ") + rate;
        const QString bits = g_CurMusicPlay.detailText.get();
        if (!bits.isEmpty())
            line += QStringLiteral(" / ") + bits;
        format = line.toUtf8();
    }
    // Each length travels in one byte; the three texts stay within their
    // budget, which leaves the format line the rest of the 400 payload bytes.
    title = utf8Prefix(title, 255);
    artist = utf8Prefix(artist, 255);
    album = utf8Prefix(album, 255);
    format = utf8Prefix(format, FormatMax);

    quint8 *p = SendFrameData.payload();
    int at = 0;
    auto put8 = [&](int v) { p[at++] = static_cast<quint8>(v & 0xFF); };
    auto put16be = [&](qint64 v) {
        put8(static_cast<int>((v >> 8) & 0xFF));
        put8(static_cast<int>(v & 0xFF));
    };
    auto putBytes = [&](const QByteArray &b) {
        std::memcpy(p + at, b.constData(), static_cast<size_t>(b.size()));
        at += b.size();
    };

    put16be(g_CurMusicPlay.duration.get());
    put16be(g_CurMusicPlay.currentPosition.get() - g_CurMusicPlay.startOffset.get());
    put8(title.size());
    putBytes(title);
    put8(artist.size());
    putBytes(artist);
    put8(album.size());
    putBytes(album);
    put8(format.size() + 1);
    putBytes(format);
    put8(g_CurMusicPlay.isHiRes.get() ? 1 : 0);
    put8(g_CurMusicPlay.playMode.get());
    put8(m_switching.load(std::memory_order_relaxed) ? int(PlayPlaying) : g_CurMusicPlay.playState.get());
    put8(m_appFolder.load(std::memory_order_relaxed));
    put16be(m_appIndex.load(std::memory_order_relaxed));
    return at;
}
