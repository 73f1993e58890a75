#include "sqltext.h"

#include "globals.h"

#include <QDateTime>
#include <QStringList>

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
