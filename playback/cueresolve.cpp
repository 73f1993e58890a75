#include "cueresolve.h"
#include "logging.h"

#include "cuefiles.h"
#include "ffmpegptr.h"
#include "globals.h"
#include "sacd_dsdiff.h"
#include "sacd_dsf.h"
#include "sacd_media.h"
#include "textencoding.h"
#include "volumepath.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

double dsdFileLength(const QString &path, const QString &suffix)
{
    sacd_media_t media;
    if (!media.open(QFile::encodeName(path).constData()))
        return -1;
    if (suffix == QLatin1String("dsf")) {
        sacd_dsf_t dsf;
        return dsf.open(&media) ? dsf.get_duration() : -1;
    }
    sacd_dsdiff_t dff;
    if (!dff.open(&media) || dff.get_framerate() <= 0)
        return -1;
    return double(dff.get_frame_count()) / dff.get_framerate();
}

} // namespace

AudioFileInfo probeAudioFile(const QString &path)
{
    AudioFileInfo info;
    // Opening a FIFO blocks; a device never ends.
    if (!isRegularFile(path))
        return info;
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QByteArray file = QFile::encodeName(path);
    if (const KLVMedia::FormatPtr fmt = KLVMedia::openInput(file.constData())) {
        if (avformat_find_stream_info(fmt.get(), nullptr) >= 0) {
            av_find_best_stream(fmt.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
            const AVDictionaryEntry *e = nullptr;
            while ((e = av_dict_get(fmt->metadata, "", e, AV_DICT_IGNORE_SUFFIX))) {
                const QString key = QString::fromUtf8(e->key).toLower();
                if (key == QLatin1String("album"))
                    info.album = get_UTF8String(e->value);
                else if (key == QLatin1String("artist"))
                    info.artist = get_UTF8String(e->value);
            }
            if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0)
                info.durationSeconds = double(fmt->duration) / AV_TIME_BASE;
        }
    }
    if (suffix == QLatin1String("dsf") || suffix == QLatin1String("dff")) {
        const double len = dsdFileLength(path, suffix);
        if (len >= 0)
            info.durationSeconds = len;
    }
    return info;
}

QString resolveCueItem(const QString &sheetPath, const QString &title, const AudioFileProbe &probe)
{
    if (QFileInfo(sheetPath).suffix().toLower() != QLatin1String("cue"))
        return QString();
    CueFiles cue(sheetPath);
    for (const QString &note : cue.notes())
        qCInfo(lcPlayback).noquote() << QStringLiteral("CUE sheet %1: %2").arg(sheetPath, note);
    // A sheet that does not parse is skipped like one without a file.
    if (!cue.Is_Correct_CUE())
        return QString();
    const QString audioPath = cue.getSrcFile().filePath();
    // The audio file must lie on the sheet's volume (a sheet on no mounted
    // volume: in its own folder), be a regular file and not a sheet.
    QString root = volumeRootOf(sheetPath);
    if (root.isEmpty())
        root = QFileInfo(sheetPath).absolutePath();
    const QString refusal = cueAudioRefusal(sheetPath, audioPath, canonicalRoot(root));
    if (!refusal.isEmpty()) {
        qCInfo(lcPlayback).noquote() << QStringLiteral("CUE sheet not played, %1: %2").arg(refusal, sheetPath);
        return QString();
    }
    if (!QFileInfo::exists(audioPath))
        return audioPath;

    const AudioFileInfo info = probe ? probe(audioPath) : AudioFileInfo();
    const QList<cueData> tracks = cue.getCueData();
    int found = -1;
    for (int i = 0; i < tracks.size(); ++i) {
        if (tracks[i].title == title) {
            found = i;
            break;
        }
    }
    if (found < 0)
        return audioPath;

    const cueData &t = tracks[found];
    const QString unknown = QCoreApplication::translate("MainWindow", "未知");
    g_CurMusicPlay.title = t.title;
    g_CurMusicPlay.album = cue.getAlbumName().isEmpty() ? unknown : cue.getAlbumName();
    // The file's artist tag; without one the sheet's performers rather than
    // "unknown".
    QString artist = info.artist;
    if (artist.isEmpty())
        artist = !t.performer.isEmpty() ? t.performer : cue.getAlbumPerformer();
    g_CurMusicPlay.artist = artist.isEmpty() ? unknown : artist;
    qint64 duration = t.length;
    if (found == tracks.size() - 1) {
        // The last track runs to the end of the file.
        duration = info.durationSeconds >= 0 ? qint64(info.durationSeconds) - t.start : 0;
        if (duration < 0)
            duration = 0;
    }
    g_CurMusicPlay.duration = duration;
    g_CurMusicPlay.startOffset = t.start;

    const qint64 pos = g_CurMusicPlay.currentPosition;
    if (!g_CurMusicPlay.seeking && !g_TempData.resumePending)
        g_CurMusicPlay.currentPosition = t.start;
    else if (!(t.start <= pos && pos - t.start <= duration))
        g_CurMusicPlay.currentPosition = t.start;
    return audioPath;
}
