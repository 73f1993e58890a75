#pragma once
// Text helpers of the library file: the escaping that keeps quotes out of
// SQL text, volume-relative paths, and the sort keys.

#include <QString>

// "/" -> "//", "'" -> "/＂", "[" "]" "%" "&" "_" "(" ")" -> "/" + char.
QString sqliteEscape(QString text);
QString sqliteDescape(QString text);

// A path made relative to its volume: USBPath_Prefix, the port folder and
// the partition folder dropped ("" for the mount point itself).
QString get_Omitpath(const QString &path);

// "1.5G", "700B": a size as the lists show it.
QString bytesToSize(qint64 bytes);
// The pinyin initials of the Chinese characters of a text, with its letters
// (upper case) and digits; other characters are left out.
QString zhToJP(const QString &text);
// The sort key of a text: zhToJP in lower case.
QString GetFirstLetterResu(const QString &text);

// The file's modification day at 00:00 local time, seconds since 1970.
qint64 ConversionTime(const class QDateTime &lastModified);
