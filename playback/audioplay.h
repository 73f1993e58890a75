#pragma once
// AudioPlay: one ALSA playback device, opened, configured with one
// snd_pcm_set_params call, written in blocking mode, and drained and closed
// on destruction. The output thread makes one per run.

#include <QByteArray>

#include <alsa/asoundlib.h>

enum Audio_type { AUDIO_DSD = 0, AUDIO_PCM = 1 };

class AudioPlay
{
public:
    explicit AudioPlay(const char *name);
    ~AudioPlay();
    AudioPlay(const AudioPlay &) = delete;
    AudioPlay &operator=(const AudioPlay &) = delete;

    bool open();
    // bits: 8, 16, 24, 32 (signed integers), 320 and 640 (32- and 64-bit
    // floats) for PCM; 16 for DSD (DSD_U16_LE).
    bool configure(Audio_type type, unsigned short channels, unsigned int rate, unsigned int bits, bool longLatency);
    // snd_pcm_writei's result; an underrun re-prepares the device.
    int play(unsigned char *data, int frames);

    // The ALSA format for a type and width; SND_PCM_FORMAT_UNKNOWN if none.
    static snd_pcm_format_t formatFor(Audio_type type, unsigned int bits);

private:
    snd_pcm_t *m_handle = nullptr;
    QByteArray m_name;
};
