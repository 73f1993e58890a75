#include "pcmformat.h"

#include <cstring>

namespace {

// FLTP to signed 16 bit: clamped to +-32767, scaled, truncated toward zero.
inline int16_t fltToS16(float v)
{
    if (v < -1.0f)
        return -32767;
    if (v > 1.0f)
        return 32767;
    if (v != v) // NaN: silence rather than an undefined conversion
        return 0;
    return static_cast<int16_t>(double(v) * 32767.0); // exact product, then truncation
}

} // namespace

int get_bits_presample(AVSampleFormat fmt)
{
    switch (fmt) {
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
        return 32;
    case AV_SAMPLE_FMT_S64:
    case AV_SAMPLE_FMT_S64P:
        return 64;
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_U8P:
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
    case AV_SAMPLE_FMT_DBL:
    case AV_SAMPLE_FMT_DBLP:
        return 16;
    default:
        return 1;
    }
}

QString get_samplerRate(AVSampleFormat fmt)
{
    switch (fmt) {
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_U8P:
        return QStringLiteral("8bit");
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
        return QStringLiteral("16bit");
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
        return QStringLiteral("24bit");
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
    case AV_SAMPLE_FMT_S64:
    case AV_SAMPLE_FMT_S64P:
        return QStringLiteral("32bit");
    case AV_SAMPLE_FMT_DBL:
    case AV_SAMPLE_FMT_DBLP:
        return QStringLiteral("64bit");
    default:
        return QString();
    }
}

bool check_bit_fmt(AVSampleFormat fmt)
{
    return fmt == AV_SAMPLE_FMT_U8 || fmt > AV_SAMPLE_FMT_S32;
}

bool check_bit_fmt(const AVCodecContext *ctx)
{
    return ctx && check_bit_fmt(ctx->sample_fmt);
}

int writeStereoBlock(const AVFrame *frame, std::vector<uint8_t> &block)
{
    const int samples = frame->nb_samples;
    const int channels = frame->ch_layout.nb_channels;
    const auto fmt = static_cast<AVSampleFormat>(frame->format);
    if (samples <= 0 || channels < 1)
        return 0;
    const bool mono = channels == 1;
    if (fmt == AV_SAMPLE_FMT_FLTP) {
        block.resize(size_t(samples) * 4);
        auto *out = reinterpret_cast<int16_t *>(block.data());
        const auto *l = reinterpret_cast<const float *>(frame->extended_data[0]);
        const auto *r = reinterpret_cast<const float *>(frame->extended_data[mono ? 0 : 1]);
        for (int i = 0; i < samples; ++i) {
            out[2 * i] = fltToS16(l[i]);
            out[2 * i + 1] = fltToS16(r[i]);
        }
        return samples * 4;
    }
    const int n = av_get_bytes_per_sample(fmt);
    const int bytes = samples * n * 2;
    block.resize(size_t(bytes));
    uint8_t *out = block.data();
    if (!av_sample_fmt_is_planar(fmt)) {
        const uint8_t *in = frame->extended_data[0];
        if (!mono) {
            std::memcpy(out, in, size_t(bytes));
        } else {
            for (int i = 0; i < samples; ++i) {
                std::memcpy(out + (2 * i) * n, in + i * n, n);
                std::memcpy(out + (2 * i + 1) * n, in + i * n, n);
            }
        }
        return bytes;
    }
    const uint8_t *l = frame->extended_data[0];
    const uint8_t *r = frame->extended_data[mono ? 0 : 1];
    if (n == 2) {
        auto *o = reinterpret_cast<int16_t *>(out);
        const auto *a = reinterpret_cast<const int16_t *>(l);
        const auto *b = reinterpret_cast<const int16_t *>(r);
        for (int i = 0; i < samples; ++i) {
            o[2 * i] = a[i];
            o[2 * i + 1] = b[i];
        }
    } else {
        auto *o = reinterpret_cast<int32_t *>(out);
        const auto *a = reinterpret_cast<const int32_t *>(l);
        const auto *b = reinterpret_cast<const int32_t *>(r);
        for (int i = 0; i < samples; ++i) {
            o[2 * i] = a[i];
            o[2 * i + 1] = b[i];
        }
    }
    return bytes;
}
