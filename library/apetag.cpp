#include "apetag.h"

#include "textencoding.h"

#include <QFile>

#include <cstring>

namespace {

constexpr int kFooterBytes = 32;
constexpr int kId3v1Bytes = 128;

quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

struct Footer {
    quint32 version = 0;
    quint32 tagSize = 0; // items + footer
    quint32 itemCount = 0;
};

bool readFooter(const char *p, Footer *f)
{
    if (QByteArray::fromRawData(p, 8) != "APETAGEX")
        return false;
    f->version = le32(p + 8);
    f->tagSize = le32(p + 12);
    f->itemCount = le32(p + 16);
    return (f->version == 1000 || f->version == 2000) && f->tagSize >= quint32(kFooterBytes)
           && f->tagSize <= quint64(ApeTag::kMaxTagBytes);
}

} // namespace

bool ApeTag::readFile(const QString &path)
{
    m_items.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    // The tag ends the file, or stands before an ID3v1 trailer.
    Footer f;
    qint64 end = 0;
    for (const qint64 candidate : {size, size - kId3v1Bytes}) {
        if (candidate < kFooterBytes || !file.seek(candidate - kFooterBytes))
            continue;
        const QByteArray footer = file.read(kFooterBytes);
        if (footer.size() == kFooterBytes && readFooter(footer.constData(), &f)) {
            end = candidate;
            break;
        }
    }
    if (end == 0 || f.tagSize > quint64(end))
        return false;
    if (!file.seek(end - f.tagSize))
        return false;
    const QByteArray tag = file.read(f.tagSize);
    return tag.size() == qint64(f.tagSize) && parse(tag);
}

bool ApeTag::parse(const QByteArray &tail)
{
    m_items.clear();
    if (tail.size() < kFooterBytes)
        return false;
    Footer f;
    const char *footer = tail.constData() + tail.size() - kFooterBytes;
    if (!readFooter(footer, &f) || f.tagSize > quint32(tail.size()))
        return false;
    // Items run from the start of the tag body up to the footer.
    const char *p = tail.constData() + tail.size() - f.tagSize;
    const char *const stop = footer;
    for (quint32 i = 0; i < f.itemCount; ++i) {
        if (stop - p < 8 + 2)
            break;
        const quint32 size = le32(p);
        const quint32 flags = le32(p + 4);
        const char *key = p + 8;
        const char *nul = static_cast<const char *>(memchr(key, 0, size_t(stop - key)));
        if (!nul || nul - key < 1 || nul - key > 255)
            break;
        const char *data = nul + 1;
        if (quint64(stop - data) < size)
            break;
        // Bits 1-2 of the item flags: 0 is UTF-8 text; binary and links are skipped.
        if (((flags >> 1) & 3) == 0) {
            // Several values are separated by zero bytes; the first one counts.
            const char *valueEnd = static_cast<const char *>(memchr(data, 0, size));
            const int len = int((valueEnd ? valueEnd : data + size) - data);
            const QString k = QString::fromLatin1(key, int(nul - key)).toLower();
            if (!m_items.contains(k))
                m_items.insert(k, GetCorrectUnicode(QByteArray(data, len)).trimmed());
        }
        p = data + size;
    }
    return !m_items.isEmpty();
}
