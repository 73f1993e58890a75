#pragma once
// Test helpers for the PCM path: fixtures made with the ffmpeg tool, the
// sandbox's virtual card, and the bytes the card must receive for a file,
// computed here on their own with libavcodec and libswresample.

#include "testsandbox.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <vector>

namespace pcmtest {

inline QString cardPlugin()
{
    return TestSandbox::binaryDir() + QStringLiteral("/tools/libasound_module_pcm_vdxcard.so");
}

// Sandboxes made after this use the virtual card of this build.
inline void useThisBuildsCard()
{
    qputenv("VDX_CARD_PLUGIN", cardPlugin().toLocal8Bit());
}

// ffmpeg -f lavfi -i SOURCE OPTIONS... OUT; true when OUT was written.
inline bool makeFixture(const QString &out, const QString &lavfi, const QStringList &options)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("ffmpeg"),
            QStringList{"-v", "error", "-y", "-f", "lavfi", "-i", lavfi} + options + QStringList{out});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning("ffmpeg failed: %s", p.readAll().constData());
        return false;
    }
    return QFile::exists(out);
}

struct Expected {
    QByteArray pcm;       // what the card must receive after the pre-roll
    int prerollBytes = 0; // zero bytes played before it
    int cardRate = 0;
    QString cardFormat; // "S16_LE" or "S32_LE"
    bool converted = false;
};

namespace detail {

inline bool directFormat(AVSampleFormat f)
{
    return f == AV_SAMPLE_FMT_S16 || f == AV_SAMPLE_FMT_S32 || f == AV_SAMPLE_FMT_S16P || f == AV_SAMPLE_FMT_S32P
           || f == AV_SAMPLE_FMT_FLTP;
}

// The direct path's two-channel block, written out plainly.
inline QByteArray directBlock(const AVFrame *f)
{
    const auto fmt = AVSampleFormat(f->format);
    const int n = f->nb_samples;
    const int ch = f->ch_layout.nb_channels;
    QByteArray out;
    if (fmt == AV_SAMPLE_FMT_FLTP) {
        for (int i = 0; i < n; ++i) {
            for (int c = 0; c < 2; ++c) {
                const float v = reinterpret_cast<const float *>(f->extended_data[ch == 1 ? 0 : c])[i];
                int16_t s = v > 1.0f ? 32767 : v < -1.0f ? -32767 : int16_t(std::trunc(double(v) * 32767.0));
                out.append(reinterpret_cast<const char *>(&s), 2);
            }
        }
        return out;
    }
    const int bps = av_get_bytes_per_sample(fmt);
    const bool planar = av_sample_fmt_is_planar(fmt);
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < 2; ++c) {
            const int src = ch == 1 ? 0 : c;
            const uint8_t *p = planar ? f->extended_data[src] + i * bps : f->extended_data[0] + (i * ch + src) * bps;
            out.append(reinterpret_cast<const char *>(p), bps);
        }
    }
    return out;
}

} // namespace detail

// Decodes path from its start and builds what the card must receive when the
// player plays it from the start: the block layout of the direct path, or one
// libswresample conversion (two channels, 44.1 to 192 kHz, 16 bit unless the
// source is S16 or S32) with its tail flushed; plus the silence pre-roll (one
// first-block-sized block per block of the first second) for sources above
// 100 kHz and converted ones.
inline bool expectedFor(const QString &path, Expected &e)
{
    AVFormatContext *fc = nullptr;
    if (avformat_open_input(&fc, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return false;
    struct Closer {
        AVFormatContext *&f;
        ~Closer() { avformat_close_input(&f); }
    } closer{fc};
    if (avformat_find_stream_info(fc, nullptr) < 0)
        return false;
    const int si = av_find_best_stream(fc, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (si < 0)
        return false;
    AVStream *st = fc->streams[si];
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    AVCodecContext *cc = avcodec_alloc_context3(codec);
    struct CcFree {
        AVCodecContext *&c;
        ~CcFree() { avcodec_free_context(&c); }
    } ccfree{cc};
    avcodec_parameters_to_context(cc, st->codecpar);
    cc->pkt_timebase = st->time_base;
    if (avcodec_open2(cc, codec, nullptr) < 0)
        return false;

    const int rate = cc->sample_rate;
    const int channels = cc->ch_layout.nb_channels;
    e.converted = !(rate >= 44100 && rate <= 192000 && detail::directFormat(cc->sample_fmt) && channels < 3);
    AVSampleFormat outFmt = cc->sample_fmt;
    SwrContext *swr = nullptr;
    if (e.converted) {
        e.cardRate = rate > 192000 ? 192000 : rate < 44100 ? 44100 : rate;
        outFmt = (cc->sample_fmt == AV_SAMPLE_FMT_S16 || cc->sample_fmt == AV_SAMPLE_FMT_S32) ? cc->sample_fmt
                                                                                              : AV_SAMPLE_FMT_S16;
        AVChannelLayout in{}, out{};
        av_channel_layout_default(&in, channels);
        av_channel_layout_from_mask(&out, AV_CH_LAYOUT_STEREO);
        swr_alloc_set_opts2(&swr, &out, outFmt, e.cardRate, &in, cc->sample_fmt, rate, 0, nullptr);
        if (!swr || swr_init(swr) < 0)
            return false;
    } else {
        e.cardRate = rate;
        if (cc->sample_fmt == AV_SAMPLE_FMT_FLTP)
            outFmt = AV_SAMPLE_FMT_S16;
    }
    const int outBps = av_get_bytes_per_sample(av_get_packed_sample_fmt(outFmt));
    e.cardFormat = outBps == 4 ? QStringLiteral("S32_LE") : QStringLiteral("S16_LE");
    const bool preroll = rate > 100000 || e.converted;

    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    int firstBlock = 0;
    bool haveFirstSecond = false;
    qint64 firstSecond = 0;
    int silenceBlocks = 0;
    auto take = [&]() {
        while (avcodec_receive_frame(cc, frame) >= 0) {
            QByteArray block;
            if (e.converted) {
                const int cap =
                    int(av_rescale_rnd(swr_get_delay(swr, rate) + frame->nb_samples, e.cardRate, rate, AV_ROUND_UP));
                block.resize(cap * 2 * outBps);
                uint8_t *o = reinterpret_cast<uint8_t *>(block.data());
                const int got =
                    swr_convert(swr, &o, cap, const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
                block.resize(std::max(0, got) * 2 * outBps);
            } else {
                block = detail::directBlock(frame);
            }
            if (!block.isEmpty()) {
                if (!firstBlock)
                    firstBlock = block.size();
                const qint64 p =
                    qint64(double(frame->best_effort_timestamp + frame->pkt_duration) * av_q2d(st->time_base));
                if (p >= 0) {
                    if (!haveFirstSecond) {
                        haveFirstSecond = true;
                        firstSecond = p;
                    }
                    if (p == firstSecond)
                        ++silenceBlocks;
                }
                e.pcm += block;
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fc, pkt) >= 0) {
        if (pkt->stream_index == si && avcodec_send_packet(cc, pkt) >= 0)
            take();
        av_packet_unref(pkt);
    }
    avcodec_send_packet(cc, nullptr);
    take();
    if (swr) {
        QByteArray tail(65536 * 2 * outBps, 0);
        uint8_t *o = reinterpret_cast<uint8_t *>(tail.data());
        const int got = swr_convert(swr, &o, 65536, nullptr, 0);
        e.pcm += tail.left(std::max(0, got) * 2 * outBps);
        swr_free(&swr);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    e.prerollBytes = preroll ? silenceBlocks * firstBlock : 0;
    return true;
}

// The last line of the sandbox's card log, as key=value pairs.
inline QMap<QString, QString> lastCardStream(const TestSandbox &sb)
{
    QMap<QString, QString> m;
    const QStringList lines =
        sb.readFile(QStringLiteral("var/log/card.log")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // The stream lines ("vdxcard ..."), not the first-byte marks.
    QString last;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("vdxcard ")))
            last = line;
    }
    if (last.isEmpty())
        return m;
    for (const QString &kv : last.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int eq = kv.indexOf(QLatin1Char('='));
        if (eq > 0)
            m.insert(kv.left(eq), kv.mid(eq + 1));
    }
    return m;
}

// Bytes of that stream in the card's capture file.
inline QByteArray streamBytes(const QMap<QString, QString> &stream)
{
    QFile f(stream.value(QStringLiteral("capture")));
    if (!f.open(QIODevice::ReadOnly) || !f.seek(stream.value(QStringLiteral("offset")).toLongLong()))
        return QByteArray();
    return f.read(stream.value(QStringLiteral("bytes")).toLongLong());
}

// Offset of the first differing byte, or -1 when equal.
inline qint64 firstDifference(const QByteArray &a, const QByteArray &b)
{
    const qint64 n = std::min(a.size(), b.size());
    for (qint64 i = 0; i < n; ++i)
        if (a[int(i)] != b[int(i)])
            return i;
    return a.size() == b.size() ? -1 : n;
}

} // namespace pcmtest
