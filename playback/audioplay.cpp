#include "audioplay.h"

#include "globals.h"
#include "logging.h"

AudioPlay::AudioPlay(const char *name)
    : m_name(name)
{}

AudioPlay::~AudioPlay()
{
    if (m_handle) {
        snd_pcm_drain(m_handle);
        snd_pcm_close(m_handle);
    }
}

bool AudioPlay::open()
{
    if (m_handle)
        return false;
    const int err = snd_pcm_open(&m_handle, m_name.constData(), SND_PCM_STREAM_PLAYBACK, 0);
    if (err < 0) {
        qCWarning(lcPlayback, "Can't open audio %s: %s", m_name.constData(), snd_strerror(err));
        m_handle = nullptr;
        return false;
    }
    return true;
}

snd_pcm_format_t AudioPlay::formatFor(Audio_type type, unsigned int bits)
{
    if (type == AUDIO_DSD)
        return bits == 16 ? SND_PCM_FORMAT_DSD_U16_LE : SND_PCM_FORMAT_UNKNOWN;
    switch (bits) {
    case 8:
        return SND_PCM_FORMAT_U8;
    case 16:
        return SND_PCM_FORMAT_S16_LE;
    case 24:
        return SND_PCM_FORMAT_S24_LE;
    case 32:
        return SND_PCM_FORMAT_S32_LE;
    case 320:
        return SND_PCM_FORMAT_FLOAT_LE;
    case 640:
        return SND_PCM_FORMAT_FLOAT64_LE;
    default:
        return SND_PCM_FORMAT_UNKNOWN;
    }
}

bool AudioPlay::configure(Audio_type type, unsigned short channels, unsigned int rate, unsigned int bits,
                          bool longLatency)
{
    if (!m_handle)
        return false;
    const snd_pcm_format_t format = formatFor(type, bits);
    if (format == SND_PCM_FORMAT_UNKNOWN)
        return false;
    const int err = snd_pcm_set_params(m_handle, format, SND_PCM_ACCESS_RW_INTERLEAVED, channels, rate, 1,
                                       longLatency ? 5000000 : 1000000);
    if (err < 0) {
        qCWarning(lcPlayback).noquote()
            << QStringLiteral("error#%1 %2").arg(err).arg(QString::fromLocal8Bit(snd_strerror(err)));
        qCWarning(lcPlayback, "Failed to configure audio device, err: %s", snd_strerror(err));
        return false;
    }
    return true;
}

int AudioPlay::play(unsigned char *data, int frames)
{
    if (!m_handle)
        return -1;
    snd_pcm_sframes_t n = snd_pcm_writei(m_handle, data, snd_pcm_uframes_t(frames));
    if (n == -EPIPE) {
        // Underrun (the card ran dry, after a pause or a slow read): prepare
        // it again and write the block once more, so that no music is lost.
        qCInfo(lcPlayback).noquote()
            << QStringLiteral("reback frames %1").arg(QString::fromLocal8Bit(snd_strerror(int(n))));
        if (snd_pcm_prepare(m_handle) == 0)
            n = snd_pcm_writei(m_handle, data, snd_pcm_uframes_t(frames));
    }
    if (n < 0 && n != -EPIPE) {
        qCWarning(lcPlayback).noquote()
            << QStringLiteral("snd_pcm_writei failed: %1").arg(QString::fromLocal8Bit(snd_strerror(int(n))));
    }
    return int(n);
}
