// Album and artist tags of one file as the scanner enters them; whether a
// file went away; the scanner's lines about entries it skips.
#include "scanner.h"

#include "apetag.h"
#include "ffmpegptr.h"
#include "textencoding.h"

#include "globals.h"
#include "logging.h"

#include <QDebug>
#include <QFile>

void Scanner::get_musicInfo(const QString &path, bool apeTag, QString *artist, QString *album)
{
    if (apeTag) {
        ApeTag tag;
        if (tag.readFile(path)) {
            *artist = tag.value(QStringLiteral("artist"));
            *album = tag.value(QStringLiteral("album"));
        }
        return;
    }
    const KLVMedia::FormatPtr fmt = KLVMedia::openInput(QFile::encodeName(path).constData());
    if (!fmt)
        return;
    if (avformat_find_stream_info(fmt.get(), nullptr) >= 0)
        av_find_best_stream(fmt.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    const AVDictionaryEntry *e = nullptr;
    while ((e = av_dict_get(fmt->metadata, "", e, AV_DICT_IGNORE_SUFFIX))) {
        const QByteArray key = QByteArray(e->key).toLower();
        if (key == "album")
            *album = get_UTF8String(e->value);
        else if (key == "artist")
            *artist = get_UTF8String(e->value);
    }
}

bool Scanner::hasVanished(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return true;
    char byte = 0;
    return f.size() > 0 && f.read(&byte, 1) != 1;
}

void Scanner::report(const QString &line)
{
    qCWarning(lcLibrary).noquote() << line;
}
