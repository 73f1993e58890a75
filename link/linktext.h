#pragma once
// Text helpers of the frames sent to the MCU.

#include <QByteArray>
#include <QString>

// The longest prefix of text whose weight does not exceed max, as UTF-8. A
// character in U+4E00..U+9FA5 weighs 3, any other 1; a text that fits is
// returned whole. Every caller passes fromStart = true.
QByteArray Proc_substr_filename(const QString &text, int max, bool fromStart);

// The longest prefix of a UTF-8 text of at most maxBytes bytes that ends on
// a character boundary.
QByteArray utf8Prefix(const QByteArray &utf8, int maxBytes);

// DSD rate number of a sample-rate text: "64" for "2.8MHz", "128" for
// "5.6MHz", "256" for "11.2MHz", empty for anything else.
QString get_Dsd_Bit(const QString &sampleRateText);

// Text conversions of the names sent to the DSP (GBK in fixed fields) and
// of the phone app's lists.

// GBK bytes of text.
QByteArray localToGBK(const QString &text);
// Writes text as GBK into a field of size bytes, zero-filled, the last byte
// always zero, and returns true. A text that does not fit (size not greater
// than its GBK length) leaves the field untouched and returns false.
bool QStringToChar(char *buffer, int size, const QString &text);
// Text of n bytes in the local 8-bit encoding, read up to the first zero
// (the last byte counts as zero), trimmed.
QString CharToQString(const char *bytes, int n);
// A text whose characters carry GBK bytes (one byte each) as real text.
QString GBKToUtf8(const QString &gbkBytes);
// True when a byte >= 0x80 is followed by another byte >= 0x80.
bool IncludeChinese(const char *text);
