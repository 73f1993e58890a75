#include "scanablumartist.h"

#include "apetag.h"
#include "cuefiles.h"
#include "database.h"
#include "ffmpegptr.h"
#include "globals.h"
#include "logging.h"
#include "mediapath.h"
#include "sacd_disc.h"
#include "sacd_media.h"
#include "scanner.h"
#include "textencoding.h"

#include <QDebug>
#include <QFileInfo>

namespace {

// An image track: the disc's album and the track's performer.
bool imageTags(const QString &item, QString &album, QString &artist)
{
    const QStringList parts = item.split(QStringLiteral("__M__"));
    if (parts.size() < 3)
        return false;
    sacd_media_t media;
    if (!media.open(QFile::encodeName(parts.at(0)).constData()))
        return false;
    sacd_disc_t disc;
    TrackDetails details;
    if (!disc.open(&media) || !disc.getTrackDetails(parts.at(1).toUInt(), area_id_e(parts.at(2).toInt()), &details))
        return false;
    const QString a = get_UTF8String(details.strAlbum.c_str());
    const QString p = get_UTF8String(details.strArtist.c_str());
    if (!a.isEmpty() && a != QLatin1String("Unknown Album"))
        album = a;
    if (!p.isEmpty() && p != QLatin1String("Unknown Artist"))
        artist = p;
    return true;
}

} // namespace

ScanAblumArtist::ScanAblumArtist(QObject *parent)
    : QThread(parent)
{}

ScanAblumArtist::~ScanAblumArtist()
{
    // A pass still at work stops (run() marks it stopped); one that has
    // just finished keeps the flag it set.
    m_stop = true;
    wait();
}

void ScanAblumArtist::StopScan()
{
    m_stop = true;
    g_TempData.albumScanStopped = true;
}

bool ScanAblumArtist::nap(int ms)
{
    for (int slept = 0; slept < ms && !m_stop; slept += 50)
        QThread::msleep(std::min(50, ms - slept));
    return !m_stop;
}

bool ScanAblumArtist::getAblumSonger(const QString &path, QString &album, QString &artist)
{
    album = tr("未知");
    artist = tr("未知");
    const QString file = Get_RealFilePath(path);
    if (file != path) {
        if (!QFileInfo::exists(file))
            return false;
        imageTags(path, album, artist);
        return true;
    }
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == QLatin1String("cue")) {
        // The sheet names the album; the artist is the audio file's tag, or
        // the sheet's performer.
        if (!QFileInfo::exists(file))
            return false;
        CueFiles cue(file);
        if (!cue.Is_Correct_CUE())
            return true;
        QString tagArtist;
        QString tagAlbum;
        Scanner::get_musicInfo(cue.getSrcFile().absoluteFilePath(),
                               cue.getSrcFile().suffix().compare(QLatin1String("ape"), Qt::CaseInsensitive) == 0,
                               &tagArtist, &tagAlbum);
        const QString sheetAlbum = cue.getAlbumName();
        const QString performer = !tagArtist.isEmpty() ? tagArtist : cue.getAlbumPerformer();
        if (!sheetAlbum.isEmpty())
            album = sheetAlbum;
        if (!performer.isEmpty())
            artist = performer;
        return true;
    }
    if (suffix == QLatin1String("ape")) {
        if (!QFileInfo::exists(file))
            return false;
        ApeTag tag;
        if (tag.readFile(file)) {
            if (!tag.value(QStringLiteral("album")).isEmpty())
                album = tag.value(QStringLiteral("album"));
            if (!tag.value(QStringLiteral("artist")).isEmpty())
                artist = tag.value(QStringLiteral("artist"));
        }
        return true;
    }
    const KLVMedia::FormatPtr fmt = KLVMedia::openInput(QFile::encodeName(file).constData());
    if (!fmt)
        return QFileInfo::exists(file); // unreadable: the defaults stay and the pass goes on
    const AVDictionaryEntry *e = nullptr;
    while ((e = av_dict_get(fmt->metadata, "", e, AV_DICT_IGNORE_SUFFIX))) {
        const QByteArray key = QByteArray(e->key).toLower();
        if (key == "album")
            album = get_UTF8String(e->value);
        else if (key == "artist")
            artist = get_UTF8String(e->value);
    }
    return true;
}

void ScanAblumArtist::run()
{
    if (m_startLate && !nap(3000)) {
        emit scanOver();
        return;
    }
    qCDebug(lcLibrary) << "ScanAblumArtist thread" << QThread::currentThread();
    QList<MediaInfo> songs;
    if (m_db)
        m_db->readNoablumSonglist(&songs, m_volumes);
    g_TempData.albumScanStopped = songs.isEmpty();
    while (!songs.isEmpty() && !m_stop) {
        const MediaInfo song = songs.takeFirst();
        QString album;
        QString artist;
        if (!getAblumSonger(song.filePath, album, artist)) {
            StopScan(); // the file is gone: its volume was removed
            break;
        }
        m_db->update_MusicInfo(song, album, artist);
        nap(g_TempData.inputSampleRate == 176400 ? 3000 : 300);
    }
    if (m_stop)
        g_TempData.albumScanStopped = true;
    emit scanOver();
}
