#pragma once
// Sample-format facts shared by the decoders and the output thread.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

#include <QString>

#include <cstdint>
#include <vector>

// Width the output is configured with: 32 for S32/S32P, 64 for S64/S64P,
// 16 for the other known formats, 1 for anything else.
int get_bits_presample(AVSampleFormat fmt);

// Bit-depth label shown for a source format ("16bit", "24bit", ...); empty
// for an unknown format.
QString get_samplerRate(AVSampleFormat fmt);

// True when the codec's format is U8 or numbered after S32 by FFmpeg (that is,
// neither S16 nor S32): such sources are converted to the configured output
// format when they go through the converter.
bool check_bit_fmt(const AVCodecContext *ctx);
bool check_bit_fmt(AVSampleFormat fmt);

// The direct path's block for one decoded frame: two-channel interleaved
// samples (mono doubled to both sides), planes interleaved, FLTP turned into
// signed 16 bit (beyond +-1.0 clamped to +-32767, else scaled by 32767 and
// truncated). For S16/S16P/FLTP 4 bytes a frame, S32/S32P 8. Returns the
// byte count written to out (0 for an empty frame).
int writeStereoBlock(const AVFrame *frame, std::vector<uint8_t> &out);
