#pragma once
// FrameRecord: a 416-byte staging area laid out as a frame from its first
// start tag, with room for 400 payload bytes. The free functions finish an
// outgoing frame and check an incoming one.

#include "framedefs.h"

#include <QByteArray>

struct FrameRecord {
    quint8 data[Frame::RecordSize] = {};

    FrameRecord() = default;
    // Places the three start tags and the mark.
    explicit FrameRecord(quint8 startTag) { setTags(startTag); }

    void setTags(quint8 startTag);
    quint8 &operator[](int i) { return data[i]; }
    quint8 operator[](int i) const { return data[i]; }

    int length() const { return data[Frame::Length] | (data[Frame::Length + 1] << 8); }
    void setLength(int len);
    quint8 *payload() { return data + Frame::Payload; }
    const quint8 *payload() const { return data + Frame::Payload; }
    void clearPayload(int len);

    // XOR of the type byte through the last payload byte, stored with the
    // end tag behind the payload; returns the L + 16 bytes of the frame.
    // Empty when the length field exceeds 400.
    QByteArray finish();
};

// XOR of n bytes.
quint8 frameXor(const quint8 *bytes, int n);

// An incoming frame held from its 0xEE mark: true when the end tag sits at
// L+12 and the byte at L+11 is the XOR of indexes 1 .. L+10.
bool checkFrameFromMark(const QByteArray &fromMark);
// Payload length of a frame held from its mark (-1 when too short).
int frameLengthFromMark(const QByteArray &fromMark);
