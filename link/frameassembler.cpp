#include "frameassembler.h"

#include "framedefs.h"

#include <cstring>

FrameAssembler::FrameAssembler(quint8 startTag, int maxChunk)
    : m_tag(startTag)
    , m_maxChunk(maxChunk)
    , m_buf(HoldLimit + maxChunk, '\0')
{}

void FrameAssembler::reset()
{
    m_started = false;
    m_held = 0;
    m_tagRun = 0;
}

FrameAssembler::Result FrameAssembler::OnEventRecvUsb(const char *bytes, int n)
{
    if (n <= 0)
        return Waiting;
    // A caller feeding more than it announced is cut to the announced chunk
    // size: the buffer is sized for one chunk beyond the limit.
    if (n > m_maxChunk)
        n = m_maxChunk;

    int from = 0;
    if (!m_started) {
        int i = 0;
        for (; i < n; ++i) {
            const auto b = static_cast<quint8>(bytes[i]);
            if (b == m_tag) {
                ++m_tagRun;
            } else if (b == FRAME_MARK && m_tagRun == 3) {
                m_started = true;
                m_tagRun = 0;
                break;
            } else {
                m_tagRun = 0;
            }
        }
        if (!m_started)
            return Waiting;
        from = i;
    }

    const int count = n - from;
    std::memcpy(m_buf.data() + m_held, bytes + from, static_cast<size_t>(count));
    m_held += count;

    // A frame made whole by this feed is taken even when trailing bytes of
    // the same feed pushed the count past the limit.
    if (m_held >= Frame::MinFromMark) {
        const auto *b = reinterpret_cast<const quint8 *>(m_buf.constData());
        const int total = (b[9] | (b[10] << 8)) + Frame::FromMarkOverhead;
        if (m_held >= total) {
            m_frame = QByteArray(m_buf.constData(), total);
            reset();
            return Complete;
        }
    }
    if (m_held > HoldLimit) {
        reset();
        return Overflow;
    }
    return Waiting;
}
