#pragma once
// Tiny owners for the FFmpeg handles the playback engine uses: each frees its
// handle in one place, so an early return never leaks.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <memory>

namespace KLVMedia {

struct FormatCloser {
    void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct PacketFreer {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct FrameFreer {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct SwrFreer {
    void operator()(SwrContext *s) const { swr_free(&s); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFreer>;

// An AVDictionary filled by the caller and freed on scope exit.
class Dictionary
{
public:
    Dictionary() = default;
    ~Dictionary() { av_dict_free(&m_dict); }
    Dictionary(const Dictionary &) = delete;
    Dictionary &operator=(const Dictionary &) = delete;
    void set(const char *key, const char *value) { av_dict_set(&m_dict, key, value, 0); }
    AVDictionary **address() { return &m_dict; }

private:
    AVDictionary *m_dict = nullptr;
};

// Opens a media file with the options of every probe and decode in the
// player: format detection reads at most 4096 bytes (quick on a slow stick)
// and packets may lag by up to 5 s. Null when FFmpeg cannot open it.
inline FormatPtr openInput(const char *path)
{
    Dictionary options;
    options.set("probesize", "4096");
    options.set("max_delay", "5000000");
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, path, nullptr, options.address()) != 0)
        return FormatPtr();
    return FormatPtr(raw);
}

} // namespace KLVMedia
