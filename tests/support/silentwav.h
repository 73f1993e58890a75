#pragma once
// A small playable file for tests that play through the real decoder.

#include <QByteArray>
#include <QtEndian>

// Two seconds of 16-bit stereo silence at 44.1 kHz.
inline QByteArray silentWav()
{
    const quint32 rate = 44100, bytes = rate * 4 * 2;
    QByteArray h("RIFF");
    auto u32 = [&h](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        h.append(b, 4);
    };
    auto u16 = [&h](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        h.append(b, 2);
    };
    u32(36 + bytes);
    h += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(2);
    u32(rate);
    u32(rate * 4);
    u16(4);
    u16(16);
    h += "data";
    u32(bytes);
    return h + QByteArray(int(bytes), '\0');
}
