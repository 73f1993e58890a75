#include "mcureceiver.h"

#include "framedefs.h"
#include "linkglobals.h"
#include "recvqueue.h"

#include <QThread>

#include <cstring>

McuReceiver::McuReceiver(RecvQueue *queue)
    : m_queue(queue)
    , m_assembler(FRAME_START_TAG, ChunkSize)
{}

void McuReceiver::reset()
{
    m_assembler.reset();
    m_frame.clear();
    m_last = TimedOut;
}

QByteArray McuReceiver::payload() const
{
    const int len = frameLengthFromMark(m_frame);
    return len > 0 ? m_frame.mid(Frame::Payload - Frame::FrameMarkPos, len) : QByteArray();
}

int McuReceiver::OnEventRecvUsb(int n)
{
    switch (m_assembler.OnEventRecvUsb(m_input, n)) {
    case FrameAssembler::Waiting:
        return 0;
    case FrameAssembler::Overflow:
        m_frame.clear();
        m_last = Overflow;
        return 1;
    case FrameAssembler::Complete:
        break;
    }
    const QByteArray &f = m_assembler.frame();
    if (!checkFrameFromMark(f)) {
        m_frame.clear();
        m_last = Bad;
        return 1;
    }
    m_frame = f;
    const auto *b = reinterpret_cast<const quint8 *>(f.constData());
    for (int off = Frame::Type; off <= Frame::Target; ++off)
        RecFrameData[off] = b[off - Frame::FrameMarkPos];
    RecFrameData.setLength(frameLengthFromMark(f));
    m_last = Good;
    return 1;
}

McuReceiver::Result McuReceiver::RecvReply(const std::function<bool()> &stop)
{
    int empties = 0;
    for (;;) {
        if (stop && stop())
            return m_last = Stopped;
        QByteArray chunk;
        if (!m_queue->takeFirst(&chunk)) {
            QThread::msleep(PollMs);
            if (++empties >= MaxEmptyPolls)
                return m_last = TimedOut;
            continue;
        }
        // A long chunk is fed in input-sized pieces; what follows a handled
        // frame in the same chunk is not looked at.
        for (int at = 0; at < chunk.size(); at += ChunkSize) {
            const int n = qMin(ChunkSize, chunk.size() - at);
            std::memcpy(m_input, chunk.constData() + at, static_cast<size_t>(n));
            if (OnEventRecvUsb(n) != 0)
                return m_last;
        }
    }
}
