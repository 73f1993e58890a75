// The converter: output rate/format/layout choices, byte counts, the tail
// flush, and that converting frame by frame gives the same bytes as one
// conversion of the whole signal.
#include "resampler.h"

#include "ffmpegptr.h"
#include "globals.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <QtTest>

#include <cmath>
#include <vector>

using KLVMedia::Resampler;

namespace {

// Planar or packed test signal: a different sine per channel.
struct Signal {
    std::vector<std::vector<uint8_t>> planes;
    std::vector<const uint8_t *> ptrs;
};

Signal makeSignal(AVSampleFormat fmt, int channels, int samples, int rate)
{
    const bool planar = av_sample_fmt_is_planar(fmt);
    const int bps = av_get_bytes_per_sample(fmt);
    const int nplanes = planar ? channels : 1;
    Signal s;
    s.planes.assign(nplanes, std::vector<uint8_t>(size_t(samples) * bps * (planar ? 1 : channels)));
    for (int i = 0; i < samples; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double v = 0.6 * std::sin(2 * M_PI * (220.0 * (c + 1)) * i / rate);
            uint8_t *dst =
                planar ? s.planes[c].data() + size_t(i) * bps : s.planes[0].data() + (size_t(i) * channels + c) * bps;
            switch (av_get_packed_sample_fmt(fmt)) {
            case AV_SAMPLE_FMT_U8:
                *dst = uint8_t(128 + int(v * 127));
                break;
            case AV_SAMPLE_FMT_S16: {
                int16_t x = int16_t(v * 32767);
                memcpy(dst, &x, 2);
                break;
            }
            case AV_SAMPLE_FMT_S32: {
                int32_t x = int32_t(v * 2147483647.0);
                memcpy(dst, &x, 4);
                break;
            }
            case AV_SAMPLE_FMT_FLT: {
                float x = float(v);
                memcpy(dst, &x, 4);
                break;
            }
            case AV_SAMPLE_FMT_DBL: {
                double x = v;
                memcpy(dst, &x, 8);
                break;
            }
            default:
                break;
            }
        }
    }
    for (auto &p : s.planes)
        s.ptrs.push_back(p.data());
    return s;
}

KLVMedia::CodecPtr makeCodec(AVSampleFormat fmt, int channels, int rate)
{
    KLVMedia::CodecPtr c(avcodec_alloc_context3(nullptr));
    c->sample_fmt = fmt;
    c->sample_rate = rate;
    av_channel_layout_default(&c->ch_layout, channels);
    return c;
}

} // namespace

class tst_resampler : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        g_CurMusicPlay.outputSampleRate = 192000;
        g_CurMusicPlay.outputSampleFormat = AV_SAMPLE_FMT_S16;
        g_CurMusicPlay.outputChannelLayout = AV_CH_LAYOUT_STEREO;
    }

    void targets_data()
    {
        QTest::addColumn<int>("fmt");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("outRate");
        QTest::addColumn<int>("outFmt");
        QTest::newRow("96k fltp 6ch") << int(AV_SAMPLE_FMT_FLTP) << 6 << 96000 << 96000 << int(AV_SAMPLE_FMT_S16);
        QTest::newRow("352.8k s32") << int(AV_SAMPLE_FMT_S32) << 2 << 352800 << 192000 << int(AV_SAMPLE_FMT_S32);
        QTest::newRow("8k u8 mono") << int(AV_SAMPLE_FMT_U8) << 1 << 8000 << 44100 << int(AV_SAMPLE_FMT_S16);
        QTest::newRow("22.05k s16") << int(AV_SAMPLE_FMT_S16) << 2 << 22050 << 44100 << int(AV_SAMPLE_FMT_S16);
        QTest::newRow("44.1k dbl") << int(AV_SAMPLE_FMT_DBL) << 2 << 44100 << 44100 << int(AV_SAMPLE_FMT_S16);
        QTest::newRow("96k s32p 6ch") << int(AV_SAMPLE_FMT_S32P) << 6 << 96000 << 96000 << int(AV_SAMPLE_FMT_S16);
        QTest::newRow("48k s64") << int(AV_SAMPLE_FMT_S64) << 2 << 48000 << 48000 << int(AV_SAMPLE_FMT_S16);
    }

    // Chosen targets, byte counts per conversion, and the whole converted
    // stream (frames plus flushed tail) equal to one conversion of the whole
    // signal with its own flush.
    void targets()
    {
        QFETCH(int, fmt);
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(int, outRate);
        QFETCH(int, outFmt);
        const auto sfmt = AVSampleFormat(fmt);
        auto codec = makeCodec(sfmt, channels, rate);
        Resampler r;
        QCOMPARE(r.init_once(codec.get()), 0);
        QCOMPARE(r.outputRate(), outRate);
        QCOMPARE(int(r.outputFormat()), outFmt);
        QCOMPARE(r.outputChannels(), 2);

        const int total = rate / 2 + 123; // half a second and an odd tail
        const Signal sig = makeSignal(sfmt, channels, total, rate);
        const int bps = av_get_bytes_per_sample(sfmt);
        const bool planar = av_sample_fmt_is_planar(sfmt);
        QByteArray chunked;
        const int chunkSizes[] = {1152, 4096, 17, 0, 2000};
        int pos = 0, k = 0;
        while (pos < total) {
            const int n = std::min(chunkSizes[k++ % 5], total - pos);
            std::vector<const uint8_t *> in;
            for (size_t p = 0; p < sig.ptrs.size(); ++p)
                in.push_back(sig.ptrs[p] + size_t(pos) * bps * (planar ? 1 : channels));
            QCOMPARE(r.convert(in.data(), n), 0);
            unsigned char *data = nullptr;
            int size = -1;
            QCOMPARE(r.get_converted(data, size), 0);
            QVERIFY(size >= 0);
            QCOMPARE(size % (2 * av_get_bytes_per_sample(AVSampleFormat(outFmt))), 0);
            chunked.append(reinterpret_cast<const char *>(data), size);
            pos += n;
        }
        QCOMPARE(r.flush(), 0);
        unsigned char *data = nullptr;
        int size = -1;
        r.get_converted(data, size);
        chunked.append(reinterpret_cast<const char *>(data), size);

        // Independent whole-signal conversion.
        AVChannelLayout inL{}, outL{};
        av_channel_layout_default(&inL, channels);
        av_channel_layout_from_mask(&outL, AV_CH_LAYOUT_STEREO);
        SwrContext *swr = nullptr;
        QCOMPARE(swr_alloc_set_opts2(&swr, &outL, AVSampleFormat(outFmt), outRate, &inL, sfmt, rate, 0, nullptr), 0);
        KLVMedia::SwrPtr owner(swr);
        QCOMPARE(swr_init(swr), 0);
        const int cap = int(av_rescale_rnd(total, outRate, rate, AV_ROUND_UP)) + 4096;
        const int outBps = av_get_bytes_per_sample(AVSampleFormat(outFmt));
        QByteArray whole(cap * 2 * outBps, 0);
        uint8_t *outp = reinterpret_cast<uint8_t *>(whole.data());
        std::vector<const uint8_t *> in = sig.ptrs;
        int got = swr_convert(swr, &outp, cap, in.data(), total);
        QVERIFY(got >= 0);
        uint8_t *tail = outp + got * 2 * outBps;
        const int more = swr_convert(swr, &tail, cap - got, nullptr, 0);
        QVERIFY(more >= 0);
        whole.truncate((got + more) * 2 * outBps);
        av_channel_layout_uninit(&inL);
        av_channel_layout_uninit(&outL);

        QCOMPARE(chunked.size(), whole.size());
        QVERIFY(chunked == whole);
        // Nothing of the track is lost: the output covers the input's length.
        QVERIFY(std::abs(chunked.size() / (2 * outBps) - int(qint64(total) * outRate / rate)) <= 1);
    }

    void zeroSamples()
    {
        auto codec = makeCodec(AV_SAMPLE_FMT_FLTP, 2, 48000);
        Resampler r;
        QCOMPARE(r.init_once(codec.get()), 0);
        float silence[1] = {0};
        const uint8_t *planes[2] = {reinterpret_cast<uint8_t *>(silence), reinterpret_cast<uint8_t *>(silence)};
        QCOMPARE(r.convert(planes, 0), 0);
        unsigned char *data = nullptr;
        int size = -1;
        r.get_converted(data, size);
        QCOMPARE(size, 0);
    }

    void failures()
    {
        Resampler r;
        r.close_Resampler();
        const uint8_t *planes[1] = {nullptr};
        QVERIFY(r.convert(planes, 10) != 0);           // no context
        auto bad = makeCodec(AV_SAMPLE_FMT_S16, 2, 0); // no rate
        Resampler r2;
        QVERIFY(r2.init_once(bad.get()) < 0);
        r2.close_Resampler();
        r2.close_Resampler(); // idempotent
    }
};

QTEST_GUILESS_MAIN(tst_resampler)
#include "tst_resampler.moc"
