#pragma once
// Text of unknown encoding from tags and CUE sheets: UTF-8 or GBK, never
// marked. Both conversions fall back to GBK, the only other encoding known.

#include <QByteArray>
#include <QString>

// Bytes as UTF-8 when the UTF-8 codec finds no invalid character (up to the
// first zero byte), else as GBK. A null array gives a null text.
QString GetCorrectUnicode(const QByteArray &bytes);

// A zero-terminated tag value: UTF-8 when it has the shape of UTF-8
// (judgeCorrectCodec), else GBK. A null pointer gives an empty text.
QString get_UTF8String(const char *text);

// True when the len bytes have the shape of UTF-8: every lead byte is
// followed by as many bytes with the top bit set as it announces. Only the
// top bit of the following bytes is tested. An empty text is accepted.
bool judgeCorrectCodec(const char *bytes, int len);

// Leading one bits of a byte: 0 below 0x80, 255 for 0xFF.
int numberCalculate(unsigned char byte);

// The top bit of a byte (0 or 1).
int byteJudge(unsigned char byte);
