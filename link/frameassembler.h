#pragma once
// FrameAssembler: turns the byte stream of one serial link into frames.
// A frame starts after exactly three start tags followed by 0xEE; bytes
// before a start are dropped. Once started, input is appended until the
// length field says the frame is whole. More than 400 bytes held without a
// whole frame drop the partial frame. Bytes behind a completed frame in the
// same feed are dropped too: the next frame must start in a later feed.
//
// Used by one thread at a time (the owner's reader).

#include <QByteArray>

class FrameAssembler
{
public:
    enum Result {
        Waiting,  // nothing complete yet
        Complete, // frame() holds a whole frame from its mark (not yet checked)
        Overflow  // a partial frame grew past the limit and was dropped
    };

    // maxChunk: the largest feed; the buffer holds the 400-byte limit plus
    // one feed, since a feed is appended before the overflow check.
    FrameAssembler(quint8 startTag, int maxChunk);

    Result OnEventRecvUsb(const char *bytes, int n);
    Result feed(const QByteArray &bytes) { return OnEventRecvUsb(bytes.constData(), bytes.size()); }

    // The last complete frame, from its 0xEE mark, exactly L + 13 bytes.
    const QByteArray &frame() const { return m_frame; }
    void reset();

    bool started() const { return m_started; }
    int held() const { return m_held; }

    static constexpr int HoldLimit = 400;

private:
    quint8 m_tag;
    int m_maxChunk;
    QByteArray m_buf; // reassembly buffer: HoldLimit + maxChunk bytes
    int m_held = 0;
    int m_tagRun = 0;
    bool m_started = false;
    QByteArray m_frame;
};
