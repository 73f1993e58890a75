#pragma once
// McuReceiver: waits for the MCU's answer to the frame just written. Takes
// chunks off the receive queue, cuts them to the 400-byte input chunk,
// reassembles, checks the frame and copies a good frame's header into
// RecFrameData. Used by the MCU worker thread only.

#include "frameassembler.h"

#include <QByteArray>

#include <functional>

class RecvQueue;

class McuReceiver
{
public:
    enum Result {
        TimedOut, // no complete frame within 61 empty polls of 50 ms
        Good,     // frame() holds a checked frame; RecFrameData has its header
        Bad,      // a complete frame failed the end tag or checksum: dropped
        Overflow, // over 400 bytes without a whole frame: dropped
        Stopped   // the stop predicate asked the wait to end
    };

    explicit McuReceiver(RecvQueue *queue);

    // One reply. stop, if given, is polled between waits.
    Result RecvReply(const std::function<bool()> &stop = {});

    // Feeds the first n bytes of the input chunk to the reassembler; non-zero
    // when a frame was handled (checked, good or bad) or an overlong one
    // dropped.
    int OnEventRecvUsb(int n);
    char *inputBuffer() { return m_input; }

    Result lastResult() const { return m_last; }
    // The last good frame from its 0xEE mark, and its payload.
    const QByteArray &frame() const { return m_frame; }
    QByteArray payload() const;
    void reset();

    static constexpr int ChunkSize = 400;
    static constexpr int PollMs = 50;
    static constexpr int MaxEmptyPolls = 61;

private:
    RecvQueue *m_queue;
    char m_input[ChunkSize] = {};
    FrameAssembler m_assembler;
    QByteArray m_frame;
    Result m_last = TimedOut;
};
