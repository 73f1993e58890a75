#include "textencoding.h"

#include <QTextCodec>

#include <cstring>

namespace {

QTextCodec *utf8Codec()
{
    static QTextCodec *const codec = QTextCodec::codecForName("UTF-8");
    return codec;
}

QTextCodec *gbkCodec()
{
    static QTextCodec *const codec = QTextCodec::codecForName("GBK");
    return codec;
}

} // namespace

int byteJudge(unsigned char byte)
{
    return (byte & 0x80) ? 1 : 0;
}

int numberCalculate(unsigned char byte)
{
    if (byte == 0xFF)
        return 255;
    int n = 0;
    for (unsigned char mask = 0x80; mask && (byte & mask); mask >>= 1)
        ++n;
    return n;
}

bool judgeCorrectCodec(const char *bytes, int len)
{
    if (!bytes || len <= 0)
        return true;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    int i = 0;
    while (i < len) {
        if (!byteJudge(p[i])) {
            ++i;
            continue;
        }
        const int n = numberCalculate(p[i]);
        if (n == 255 || n == 8 || n == 1)
            return false;
        // A sequence cut off by the end of the text is not looked at further.
        for (int k = 1; k < n && i + k < len; ++k) {
            if (!byteJudge(p[i + k]))
                return false;
        }
        i += n;
    }
    return true;
}

QString GetCorrectUnicode(const QByteArray &bytes)
{
    if (bytes.isNull())
        return QString();
    QTextCodec::ConverterState state;
    utf8Codec()->toUnicode(bytes.constData(), bytes.size(), &state);
    // A multi-byte sequence cut off at the end is as invalid as a bad byte.
    if (state.invalidChars == 0 && state.remainingChars == 0) {
        const int zero = bytes.indexOf('\0');
        return QString::fromUtf8(bytes.constData(), zero < 0 ? bytes.size() : zero);
    }
    return gbkCodec()->toUnicode(bytes);
}

QString get_UTF8String(const char *text)
{
    if (!text)
        return QString();
    const int len = static_cast<int>(std::strlen(text));
    if (judgeCorrectCodec(text, len))
        return QString::fromUtf8(text, len);
    return gbkCodec()->toUnicode(text, len);
}
