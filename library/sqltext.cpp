#include "sqltext.h"

#include "globals.h"
#include "pinyintable.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

// Applied in this order by both directions; "//" first so that an escaped
// slash never pairs with the next character.
const struct {
    const char16_t *plain;
    const char16_t *escaped;
} kEscapes[] = {
    {u"/", u"//"}, {u"'", u"/\uFF02"}, {u"[", u"/["}, {u"]", u"/]"}, {u"%", u"/%"},
    {u"&", u"/&"}, {u"_", u"/_"},      {u"(", u"/("}, {u")", u"/)"},
};

// The pinyin initials of U+4E00..U+9FA5, joined once.
const QByteArray &initialsTable()
{
    static const QByteArray table = [] {
        QByteArray t;
        for (int i = 0; i < kPinyinInitialChunkCount; ++i)
            t += kPinyinInitialChunks[i];
        return t;
    }();
    return table;
}

} // namespace

QString sqliteEscape(QString text)
{
    for (const auto &e : kEscapes)
        text.replace(QString::fromUtf16(e.plain), QString::fromUtf16(e.escaped));
    return text;
}

// The exact inverse of sqliteEscape, read left to right: a slash always
// starts a pair. (Replacing the pairs one kind after the other, "//" first,
// gives the same text for everything sqliteEscape writes except a slash
// followed by a literal U+FF02, which it would turn into a quote.)
QString sqliteDescape(QString text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('/') && i + 1 < text.size()) {
            const QChar n = text.at(i + 1);
            if (n == QChar(0xFF02)) {
                out += QLatin1Char('\'');
                ++i;
                continue;
            }
            if (QStringLiteral("/[]%&_()").contains(n)) {
                out += n;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString get_Omitpath(const QString &path)
{
    QString rest = path;
    if (rest.startsWith(USBPath_Prefix))
        rest = rest.mid(USBPath_Prefix.size());
    QStringList parts = rest.split(QLatin1Char('/'), Qt::KeepEmptyParts);
    parts.removeFirst();
    if (!parts.isEmpty())
        parts.removeFirst();
    return parts.join(QLatin1Char('/'));
}

qint64 ConversionTime(const QDateTime &lastModified)
{
    const QDateTime day(lastModified.date(), QTime(0, 0, 0), Qt::LocalTime);
    return day.toSecsSinceEpoch();
}

QString bytesToSize(qint64 bytes)
{
    if (bytes <= 0)
        return QStringLiteral("0 B");
    static const char *const units[] = {"B", "K", "M", "G", "T", "P", "E", "Z", "Y"};
    int i = static_cast<int>(std::floor(std::log(static_cast<double>(bytes)) / std::log(1024.0)));
    i = std::clamp(i, 0, 8);
    const double value = static_cast<double>(bytes) / std::pow(1024.0, i);
    return QString::number(value, 'f', i == 3 ? 1 : 0) + QLatin1String(units[i]);
}

QString zhToJP(const QString &text)
{
    const QByteArray &table = initialsTable();
    QString out;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9'))
            out += c;
        else if (u >= 'a' && u <= 'z')
            out += QChar(u - 'a' + 'A');
        else if (u >= 0x4E00 && u <= 0x9FA5 && u - 0x4E00 < table.size())
            out += QLatin1Char(table.at(u - 0x4E00));
    }
    return out;
}

QString GetFirstLetterResu(const QString &text)
{
    return zhToJP(text).toLower();
}
