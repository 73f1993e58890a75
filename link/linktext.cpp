#include "linktext.h"

#include <QTextCodec>
#include <QVector>

#include <cstring>

QByteArray Proc_substr_filename(const QString &text, int max, bool fromStart)
{
    Q_UNUSED(fromStart)
    if (text.isEmpty())
        return text.toUtf8();
    const QVector<uint> ucs = text.toUcs4();
    int weight = 0;
    int keep = 0;
    for (uint c : ucs) {
        const int w = (c >= 0x4E00 && c <= 0x9FA5) ? 3 : 1;
        if (weight + w > max)
            break;
        weight += w;
        ++keep;
    }
    if (keep == ucs.size())
        return text.toUtf8();
    return QString::fromUcs4(ucs.constData(), keep).toUtf8();
}

QByteArray utf8Prefix(const QByteArray &utf8, int maxBytes)
{
    if (maxBytes < 0)
        maxBytes = 0;
    if (utf8.size() <= maxBytes)
        return utf8;
    int cut = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the
    // character that would be split.
    while (cut > 0 && (static_cast<quint8>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    return utf8.left(cut);
}

QString get_Dsd_Bit(const QString &sampleRateText)
{
    if (sampleRateText == QLatin1String("2.8MHz"))
        return QStringLiteral("64");
    if (sampleRateText == QLatin1String("5.6MHz"))
        return QStringLiteral("128");
    if (sampleRateText == QLatin1String("11.2MHz"))
        return QStringLiteral("256");
    return QString();
}

namespace {

QTextCodec *gbk()
{
    static QTextCodec *codec = QTextCodec::codecForName("GBK");
    return codec;
}

} // namespace

QByteArray localToGBK(const QString &text)
{
    // Through UTF-8 first, as every text the screens hand over.
    const QString t = QString::fromUtf8(text.toUtf8());
    return gbk() ? gbk()->fromUnicode(t) : t.toLatin1();
}

bool QStringToChar(char *buffer, int size, const QString &text)
{
    if (!buffer || size <= 0)
        return false;
    const QByteArray b = localToGBK(text);
    if (size <= b.size())
        return false;
    std::memset(buffer, 0, static_cast<size_t>(size));
    std::memcpy(buffer, b.constData(), static_cast<size_t>(b.size()));
    buffer[size - 1] = 0;
    return true;
}

QString CharToQString(const char *bytes, int n)
{
    if (!bytes || n <= 0)
        return QString();
    QByteArray b(bytes, n);
    b[n - 1] = '\0';
    const int nul = b.indexOf('\0');
    b.truncate(nul);
    return QString::fromLocal8Bit(b).trimmed();
}

QString GBKToUtf8(const QString &gbkBytes)
{
    const QByteArray b = gbkBytes.toLatin1();
    return gbk() ? gbk()->toUnicode(b) : QString::fromLatin1(b);
}

bool IncludeChinese(const char *text)
{
    if (!text)
        return false;
    for (const auto *p = reinterpret_cast<const unsigned char *>(text); p[0] && p[1]; ++p) {
        if (p[0] >= 0x80 && p[1] >= 0x80)
            return true;
    }
    return false;
}
