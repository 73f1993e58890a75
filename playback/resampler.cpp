#include "resampler.h"

#include "globals.h"
#include "logging.h"
#include "pcmformat.h"

extern "C" {
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

#include <QDebug>

namespace KLVMedia {

Resampler::Resampler()
{
    m_swr = swr_alloc();
}

Resampler::~Resampler()
{
    close_Resampler();
}

int Resampler::outputRateFor(int inputRate)
{
    if (inputRate > 192000)
        return g_CurMusicPlay.outputSampleRate;
    if (inputRate < 44100)
        return 44100;
    return inputRate;
}

AVSampleFormat Resampler::outputFormatFor(AVSampleFormat inputFormat)
{
    return check_bit_fmt(inputFormat) ? static_cast<AVSampleFormat>(g_CurMusicPlay.outputSampleFormat.get())
                                      : inputFormat;
}

int Resampler::init_once(const AVCodecContext *codec)
{
    if (!m_swr)
        m_swr = swr_alloc();
    if (!m_swr || !codec)
        return AVERROR(ENOMEM);
    m_inRate = codec->sample_rate;
    m_inFormat = codec->sample_fmt;
    av_channel_layout_uninit(&m_inLayout);
    av_channel_layout_default(&m_inLayout, codec->ch_layout.nb_channels);
    m_outRate = outputRateFor(m_inRate);
    m_outFormat = outputFormatFor(m_inFormat);
    av_channel_layout_uninit(&m_outLayout);
    av_channel_layout_from_mask(&m_outLayout, g_CurMusicPlay.outputChannelLayout);

    int ret = swr_alloc_set_opts2(&m_swr, &m_outLayout, m_outFormat, m_outRate, &m_inLayout, m_inFormat, m_inRate, 0,
                                  nullptr);
    if (ret >= 0)
        ret = swr_init(m_swr);
    if (ret < 0) {
        qCWarning(lcPlayback).noquote() << QStringLiteral("~~~~~~~~~~~~~swr_init(m_swr_context)) error~~~~~~~~~~~~~");
        return ret;
    }
    return swr_is_initialized(m_swr) ? 0 : AVERROR(EINVAL);
}

int Resampler::ensureCapacity(int samples, int align)
{
    if (samples < 1)
        samples = 1;
    if (!m_out) {
        const int ret = av_samples_alloc_array_and_samples(&m_out, &m_lineSize, m_outLayout.nb_channels, samples,
                                                           m_outFormat, align);
        if (ret < 0)
            return ret;
        m_capacity = samples;
    } else if (samples > m_capacity) {
        av_freep(&m_out[0]);
        const int ret = av_samples_alloc(m_out, &m_lineSize, m_outLayout.nb_channels, samples, m_outFormat, align);
        if (ret < 0) {
            m_capacity = 0;
            return ret;
        }
        m_capacity = samples;
    }
    return 0;
}

int Resampler::finish(int converted)
{
    if (converted < 0)
        return -1;
    m_lineSize =
        converted == 0 ? 0 : av_samples_get_buffer_size(nullptr, m_outLayout.nb_channels, converted, m_outFormat, 1);
    return m_lineSize < 0 ? 1 : 0;
}

int Resampler::convert(const unsigned char **planes, int samples)
{
    if (!m_swr || !swr_is_initialized(m_swr))
        return -1;
    if (!m_out) {
        const int first = static_cast<int>(av_rescale_rnd(samples, m_outRate, m_inRate, AV_ROUND_UP));
        if (const int ret = ensureCapacity(first, 0); ret < 0)
            return ret;
    }
    const int needed =
        static_cast<int>(av_rescale_rnd(swr_get_delay(m_swr, m_inRate) + samples, m_outRate, m_inRate, AV_ROUND_UP));
    if (const int ret = ensureCapacity(needed, 1); ret < 0)
        return ret;
    return finish(swr_convert(m_swr, m_out, m_capacity, planes, samples));
}

int Resampler::flush()
{
    if (!m_swr || !swr_is_initialized(m_swr))
        return -1;
    const int needed =
        static_cast<int>(av_rescale_rnd(swr_get_delay(m_swr, m_inRate), m_outRate, m_inRate, AV_ROUND_UP)) + 16;
    if (const int ret = ensureCapacity(needed, 1); ret < 0)
        return ret;
    return finish(swr_convert(m_swr, m_out, m_capacity, nullptr, 0));
}

int Resampler::get_converted(unsigned char *&data, int &size)
{
    data = m_out ? m_out[0] : nullptr;
    size = m_lineSize;
    return 0;
}

void Resampler::close_Resampler()
{
    if (m_out) {
        av_freep(&m_out[0]);
        av_freep(&m_out);
    }
    m_capacity = 0;
    m_lineSize = 0;
    swr_free(&m_swr);
    av_channel_layout_uninit(&m_inLayout);
    av_channel_layout_uninit(&m_outLayout);
}

} // namespace KLVMedia
