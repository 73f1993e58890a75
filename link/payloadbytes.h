#pragma once
// Reading answer payloads into the settings images, shared by the answer
// handlers of the MCU protocol.

#include "byteimage.h"

#include <QByteArray>
#include <QtGlobal>

// Byte i of a payload, 0 beyond its end (short answers leave fields at 0).
inline int byteAt(const QByteArray &b, int i)
{
    return i >= 0 && i < b.size() ? quint8(b[i]) : 0;
}

// Writes the payload bytes into an image from off on, as many as both hold.
template <int N>
void storeBytes(ByteImage<N> &img, int off, const QByteArray &payload, int len)
{
    const int n = qMin(len, payload.size());
    if (n > 0)
        img.write(off, reinterpret_cast<const quint8 *>(payload.constData()), n);
}
