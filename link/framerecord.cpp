#include "framerecord.h"

#include <cstring>

void FrameRecord::setTags(quint8 startTag)
{
    for (int i = 0; i < Frame::StartTags; ++i)
        data[i] = startTag;
    data[Frame::FrameMarkPos] = FRAME_MARK;
}

void FrameRecord::setLength(int len)
{
    data[Frame::Length] = static_cast<quint8>(len & 0xFF);
    data[Frame::Length + 1] = static_cast<quint8>((len >> 8) & 0xFF);
}

void FrameRecord::clearPayload(int len)
{
    len = qBound(0, len, Frame::MaxPayload);
    std::memset(payload(), 0, static_cast<size_t>(len));
}

QByteArray FrameRecord::finish()
{
    const int len = length();
    if (len > Frame::MaxPayload)
        return QByteArray();
    const int sumAt = Frame::Payload + len;
    data[sumAt] = frameXor(data + Frame::Type, sumAt - Frame::Type);
    data[sumAt + 1] = FRAME_END_TAG;
    return QByteArray(reinterpret_cast<const char *>(data), len + Frame::Overhead);
}

quint8 frameXor(const quint8 *bytes, int n)
{
    quint8 x = 0;
    for (int i = 0; i < n; ++i)
        x ^= bytes[i];
    return x;
}

int frameLengthFromMark(const QByteArray &fromMark)
{
    if (fromMark.size() < Frame::MinFromMark)
        return -1;
    const auto *b = reinterpret_cast<const quint8 *>(fromMark.constData());
    return b[9] | (b[10] << 8);
}

bool checkFrameFromMark(const QByteArray &fromMark)
{
    const int len = frameLengthFromMark(fromMark);
    if (len < 0 || fromMark.size() < len + Frame::FromMarkOverhead)
        return false;
    const auto *b = reinterpret_cast<const quint8 *>(fromMark.constData());
    if (b[len + 12] != FRAME_END_TAG)
        return false;
    return b[len + 11] == frameXor(b + 1, len + 10);
}
