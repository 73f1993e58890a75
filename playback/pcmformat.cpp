#include "pcmformat.h"

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
