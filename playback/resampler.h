#pragma once
// KLVMedia::Resampler: converts decoded frames whose rate, format or channel
// count the card path cannot take into two-channel interleaved samples at a
// rate the card accepts (44.1 to 192 kHz). One per track, decode thread only.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswresample/swresample.h>
}

#include <cstdint>

namespace KLVMedia {

class Resampler
{
public:
    Resampler();
    ~Resampler();
    Resampler(const Resampler &) = delete;
    Resampler &operator=(const Resampler &) = delete;

    // Sets the conversion up for the codec's frames. 0, or a negative FFmpeg
    // error code.
    int init_once(const AVCodecContext *codec);
    // Converts one frame's planes of `samples` samples; 0 on success.
    int convert(const unsigned char **planes, int samples);
    // Drains the samples the converter still holds (end of a track); 0 on
    // success. get_converted then hands them out (possibly 0 bytes).
    int flush();
    // The converted samples of the last convert/flush and their byte size.
    int get_converted(unsigned char *&data, int &size);
    void close_Resampler();

    // What init_once chose, for the decoder's bookkeeping.
    int outputRate() const { return m_outRate; }
    AVSampleFormat outputFormat() const { return m_outFormat; }
    int outputChannels() const { return m_outLayout.nb_channels; }

    // The rate and format init_once picks for a source (no context needed).
    static int outputRateFor(int inputRate);
    static AVSampleFormat outputFormatFor(AVSampleFormat inputFormat);

private:
    int ensureCapacity(int samples, int align);
    int finish(int converted);

    SwrContext *m_swr = nullptr;
    AVChannelLayout m_inLayout{};
    int m_inRate = 0;
    AVSampleFormat m_inFormat = AV_SAMPLE_FMT_NONE;
    AVChannelLayout m_outLayout{};
    int m_outRate = 0;
    AVSampleFormat m_outFormat = AV_SAMPLE_FMT_NONE;
    uint8_t **m_out = nullptr; // plane array and samples, allocated by FFmpeg
    int m_lineSize = 0;        // byte size of the last conversion
    int m_capacity = 0;        // samples m_out can hold
};

} // namespace KLVMedia
