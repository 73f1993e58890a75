#include "linktext.h"

#include <QVector>

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
