// The volume scan: a depth-first walk that enters every playable file of a
// volume into the library, all files of a folder before its subfolders.
#include "scanner.h"

#include "cuefiles.h"
#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "logging.h"
#include "mediapath.h"
#include "sacd_disc.h"
#include "sacd_media.h"
#include "scannerdefs.h"
#include "sqltext.h"
#include "textencoding.h"
#include "volumepath.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <dirent.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

const QString kSelector = QStringLiteral("__M__");

// The local midnight of a file's modification day, as ConversionTime gives
// it, remembered per quarter of an hour of modification time (every zone
// offset and change of offset falls on a quarter hour): converting local
// times reads the zone file each time, several times per file.
class DayCache
{
public:
    qint64 midnight(qint64 utcSeconds)
    {
        const qint64 quarter = utcSeconds >= 0 ? utcSeconds / 900 : (utcSeconds - 899) / 900;
        const auto it = m_days.constFind(quarter);
        if (it != m_days.constEnd())
            return it.value();
        const qint64 day = ConversionTime(QDateTime::fromSecsSinceEpoch(utcSeconds));
        if (m_days.size() > 4096)
            m_days.clear();
        m_days.insert(quarter, day);
        return day;
    }

private:
    QHash<qint64, qint64> m_days;
};

qint64 modifiedDay(const QFileInfo &f)
{
    static thread_local DayCache cache;
    struct stat st;
    if (::stat(QFile::encodeName(f.absoluteFilePath()).constData(), &st) != 0)
        return ConversionTime(f.lastModified());
    return cache.midnight(qint64(st.st_mtime));
}

} // namespace

bool Scanner::canGoOn() const
{
    return !m_stop && !g_CurMusicPlay.dbRebuilding;
}

QString Scanner::folderKey(const QString &path) const
{
    const QString rel = get_Omitpath(path);
    return rel.isEmpty() ? rootFolderKey() : rel;
}

bool Scanner::Check_Dir_PathRule(const QFileInfo *dir)
{
    static const QString odd = QStringLiteral("'\u2502\\\":*?<>");
    const QString name = dir->fileName().trimmed().toLower();
    const bool hasOdd = std::any_of(name.begin(), name.end(), [](QChar c) { return odd.contains(c); });
    if (hasOdd && !dir->isExecutable())
        return true;
    if (name.isEmpty() || NotRead_DirList.contains(name))
        return true;
    return !dir->isReadable();
}

void Scanner::runVolumeScan()
{
    m_musicTable = get_MusicTableName(&m_disk);
    m_dirTable = get_DirTableName(&m_disk);
    m_playable.clear();
    for (const QString &pattern : qAsConst(musicFormatList))
        m_playable.insert(pattern.mid(pattern.lastIndexOf(QLatin1Char('.')) + 1).toLower());
    m_pending.clear();
    m_batchOpen = false;
    m_resumeByPath.clear();
    for (const MediaInfo &m : qAsConst(m_resume))
        m_resumeByPath.insert(m.filePath, m);

    while (m_running) {
        DiskInfo volume;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            if (m_volumes.isEmpty())
                break;
            volume = m_volumes.first();
        }
        m_folder = volume;
        m_root = canonicalRoot(volume.diskPath);
        List_Dirs_Files(volume.diskPath, 0, m_rootRow, m_rootFresh, 0, 0);
        closeBatch();
        // During a database repair the volume stays listed: its scan is
        // unfinished and resumes from the readOver marks next time.
        if (g_CurMusicPlay.dbRebuilding) {
            m_stop = true;
            break;
        }
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_volumes.isEmpty())
            m_volumes.removeFirst();
    }
    if (m_foldersFound != m_foldersRead)
        m_stop = true;
    const DiskInfo disk = m_disk;
    const bool songs = m_db && validSlot(disk) && m_db->Count_SongsFromDiskID(disk) > 0;
    const bool unfinished = m_stop;
    m_resumeByPath.clear();
    // The end is in the log before anyone hears of it.
    logVolumeScan(false);
    // The mounted-volume list belongs to the GUI thread.
    finish([this, disk, songs, unfinished] {
        Update_USBDisk_SongExist(disk, songs);
        emit scanOver(unfinished, disk.diskPath);
    });
}

QString Scanner::entryRefusal(const QFileInfo &entry, const QString &root)
{
    if (entry.isSymLink() && !liesInside(entry.absoluteFilePath(), root))
        return QStringLiteral("link leads outside the volume");
    if (!entry.isFile())
        return QStringLiteral("not a regular file");
    return QString();
}

Scanner::Listing Scanner::listFolder(const QString &folder)
{
    // One listing serves the files and the subfolders; playable files are
    // picked by suffix (the patterns of musicFormatList, in any case).
    Listing l;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Readable | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &e : entries) {
        if (e.isDir()) {
            l.dirs.append(e);
        } else if (m_playable.contains(e.suffix().toLower())) {
            const QString why = entryRefusal(e, m_root);
            if (why.isEmpty())
                l.files.append(e);
            else
                l.refused.append(QStringLiteral("scanner: %1, skipped: %2").arg(why, e.absoluteFilePath()));
        }
    }
    return l;
}

namespace {

// A name's bytes with those outside printable ASCII as \xHH, for the log.
QString escapedName(const QByteArray &name)
{
    QString out;
    for (const char ch : name) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x20 && b < 0x7F)
            out += QLatin1Char(ch);
        else
            out += QStringLiteral("\\x") + QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    }
    return out;
}

} // namespace

// Qt turns file names into text and back through UTF-8: a name that is not
// valid UTF-8 (bytes of another encoding such as GBK, or plain garbage)
// comes back as other bytes, so no path can name the file or folder again
// and the listing drops it. Such playable files and folders are logged and
// counted.
void Scanner::logUndecodableNames(const QString &folder)
{
    const QByteArray dirPath = QFile::encodeName(folder);
    DIR *dir = ::opendir(dirPath.constData());
    if (!dir)
        return;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            continue;
        if (QFile::encodeName(QFile::decodeName(name)) == name)
            continue;
        bool isDir = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st;
            isDir = ::stat((dirPath + '/' + name).constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        const int dot = name.lastIndexOf('.');
        const QString suffix = dot < 0 ? QString() : QString::fromLatin1(name.mid(dot + 1)).toLower();
        if (!isDir && !m_playable.contains(suffix))
            continue;
        ++m_namesSkipped;
        report(QStringLiteral("scanner: %1 name is not valid UTF-8, skipped: %2/%3")
                   .arg(isDir ? QStringLiteral("folder") : QStringLiteral("file"), folder, escapedName(name)));
    }
    ::closedir(dir);
}

void Scanner::List_Dirs_Files(const QString &folder, int known, int rowid, bool fresh, int parentRow, int depth)
{
    if (m_stop || !QFileInfo(folder).isDir())
        return;
    const Listing listing = listFolder(folder);
    bool readFiles = known == 1;
    if (known == 0) {
        const auto it = m_resumeByPath.constFind(folderKey(folder));
        readFiles = it == m_resumeByPath.constEnd() || it->readOver == 0;
    }
    if (readFiles) {
        // What is skipped is told once, when the folder's files are read.
        for (const QString &line : listing.refused)
            report(line);
        m_refused += listing.refused.size();
        logUndecodableNames(folder);
        rowid = scanSongsFileList(listing.files, folder, rowid, parentRow, fresh);
    } else {
        ++m_foldersRead; // all its files went in during an earlier scan
    }
    // A folder stopped before its row was written keeps its subfolders for
    // the next scan.
    if (rowid > 0)
        scanSongsDirList(folder, listing.dirs, rowid, depth);
}

void Scanner::scanSongsDirList(const QString &folder, const QFileInfoList &subs, int rowid, int depth)
{
    if (m_stop || !validSlot(m_disk) || depth >= kMaxDepth || !QFileInfo(folder).isDir())
        return;
    for (const QFileInfo &sub : subs) {
        if (!canGoOn())
            break;
        // A link to a folder could lead back up the tree; links are not followed.
        if (sub.isSymLink() || Check_Dir_PathRule(&sub))
            continue;
        const QString path = sub.absoluteFilePath();
        const auto it = m_resumeByPath.find(folderKey(path));
        ++m_foldersFound;
        pace();
        if (it != m_resumeByPath.end()) {
            const MediaInfo known = it.value();
            m_resumeByPath.erase(it);
            List_Dirs_Files(path, known.readOver + 1, known.rowid, false, rowid, depth + 1);
        } else {
            // A new folder: its row is written with its files.
            List_Dirs_Files(path, 0, 0, true, rowid, depth + 1);
        }
    }
}

int Scanner::scanSongsFileList(const QFileInfoList &files, const QString &folder, int rowid, int parentRow, bool fresh)
{
    if (m_stop || !validSlot(m_disk))
        return rowid;
    m_pending.clear();
    m_folderIncomplete = false;
    if (files.isEmpty()) {
        rowid = writeFolder(folder, rowid, parentRow, true);
        if (rowid > 0)
            ++m_foldersRead;
        pace();
        return rowid;
    }
    // CUE sheets first.
    for (const QFileInfo &f : files) {
        if (!canGoOn())
            break;
        if (f.suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) == 0)
            scanCueSheet(f, fresh);
    }
    for (const QFileInfo &f : files) {
        if (!canGoOn())
            break;
        const QString suffix = f.suffix().toLower();
        if (suffix == QLatin1String("cue"))
            continue;
        const QString path = f.absoluteFilePath();
        // The selector mark in a name would cut the path when the item plays.
        if (path.contains(kSelector)) {
            qCDebug(lcLibrary) << "scanner: name holds" << kSelector << ", skipped:" << path;
            continue;
        }
        if (suffix == QLatin1String("iso")) {
            Process_ISOMusicList(f, fresh);
            continue;
        }
        if (!fresh && m_db->Is_DataExist(m_musicTable, QStringLiteral("filePath"), path, m_disk.diskID) > 0) {
            pace();
            continue;
        }
        AudioInfo info;
        info.title = get_RealMusicName(f.fileName());
        info.fileExt = suffix;
        info.filePath = path;
        info.fileSize = f.size();
        info.createTime = modifiedDay(f);
        get_musicInfo(path, suffix == QLatin1String("ape"), &info.artist, &info.album);
        if (info.artist.isEmpty() && info.album.isEmpty() && hasVanished(path)) {
            // No tags because the file went (its stick was pulled): a row
            // now would stay untagged for good.
            qCInfo(lcLibrary) << "scanner: gone while read, left for the next scan:" << path;
            m_folderIncomplete = true;
            continue;
        }
        process_scanfile(info);
        pace();
    }
    const bool complete = canGoOn() && !m_folderIncomplete;
    if (complete) {
        pace();
        pace();
    }
    rowid = writeFolder(folder, rowid, parentRow, complete);
    if (complete && rowid > 0)
        ++m_foldersRead;
    return rowid;
}

void Scanner::openBatch()
{
    if (m_batchOpen)
        return;
    m_batchOpen = m_db->beginTransaction();
    m_batchStart = std::chrono::steady_clock::now();
}

void Scanner::closeBatch()
{
    // A commit can be refused while another thread's statement still
    // writes; after a repair closed the connection there is nothing to commit.
    for (int tries = 0; m_batchOpen && tries < 100; ++tries) {
        if (m_db->commitTransaction() || g_CurMusicPlay.dbRebuilding || !m_db->isConnected())
            break;
        QThread::msleep(10);
    }
    m_batchOpen = false;
}

// The folder's new row (if it has none yet), its files and its readOver
// mark go in as one transaction: they commit together (a folder cut off by
// a power loss is read again as a whole) and one journal sync serves them
// all. The transaction never stays open while the scanner sleeps; unpaced,
// it takes several folders, for at most a quarter of a second.
int Scanner::writeFolder(const QString &folder, int rowid, int parentRow, bool markRead)
{
    QList<AudioInfo> pending;
    pending.swap(m_pending);
    if (m_stop && !markRead) {
        // A stop comes when the stick is pulled: a file read as it went has
        // no tags. Untagged rows wait for the next scan, which reads this
        // unmarked folder again.
        pending.erase(std::remove_if(pending.begin(), pending.end(),
                                     [](const AudioInfo &a) { return a.artist.isEmpty() && a.album.isEmpty(); }),
                      pending.end());
    }
    if (g_CurMusicPlay.dbRebuilding || (rowid <= 0 && pending.isEmpty() && !markRead))
        return rowid;
    openBatch();
    if (rowid <= 0)
        rowid = m_db->insert_Dir(m_dirTable, parentRow, folder, m_disk.diskID);
    QList<MediaObjectInfo> entered;
    if (rowid > 0) {
        m_folder.diskSizes = rowid;
        for (const AudioInfo &info : qAsConst(pending)) {
            if (!m_db->insert_Music(m_musicTable, &info, &m_folder))
                continue; // logged by the database; the file is skipped
            ++m_filesEntered;
            entered.append(MediaObjectInfo{info.fileExt, info.title, info.filePath, m_disk.diskID});
        }
        if (markRead)
            m_db->update_ReadFileOver(&m_folder);
    }
    if (scanInterval() > 0 || std::chrono::steady_clock::now() - m_batchStart > std::chrono::milliseconds(250))
        closeBatch();
    handOver(entered);
    return rowid;
}

bool Scanner::cueTrackExists(const QString &sheetPath, const QString &title)
{
    char *sql =
        sqlite3_mprintf("SELECT rowid FROM %s where filePath='%q' and fileName='%q' and diskID=%d;",
                        m_musicTable.toLatin1().constData(), sqliteEscape(get_Omitpath(sheetPath)).toUtf8().constData(),
                        sqliteEscape(title).toUtf8().constData(), m_disk.diskID);
    const int row = sql ? m_db->Reback_SingleResu(sql) : 0;
    sqlite3_free(sql);
    return row > 0;
}

void Scanner::scanCueSheet(const QFileInfo &sheet, bool fresh)
{
    const QString sheetPath = sheet.absoluteFilePath();
    if (sheetPath.contains(kSelector))
        return;
    CueFiles cue(sheetPath);
    for (const QString &note : cue.notes())
        report(QStringLiteral("scanner: CUE sheet %1: %2").arg(sheetPath, note));
    if (!cue.Is_Correct_CUE()) {
        if (hasVanished(sheetPath))
            m_folderIncomplete = true;
        return;
    }
    const QList<cueData> tracks = cue.getCueData();
    if (tracks.isEmpty())
        return;
    const QFileInfo source = cue.getSrcFile();
    const QString refusal = cueAudioRefusal(sheetPath, source.filePath(), m_root);
    if (!refusal.isEmpty()) {
        ++m_refused;
        report(QStringLiteral("scanner: CUE sheet skipped, %1: %2").arg(refusal, sheetPath));
        return;
    }
    if (!fresh && m_db->count_SongData(sheetPath, &m_folder) >= tracks.size()) {
        ++m_sheetsSkipped;
        return;
    }
    // Tracks of a missing audio file could never play.
    if (!source.isFile()) {
        if (hasVanished(sheetPath))
            m_folderIncomplete = true;
        else
            qCDebug(lcLibrary) << "scanner: the audio file of" << sheetPath << "is missing:" << source.filePath();
        return;
    }
    QString artist;
    QString album;
    const QString type = source.suffix().toLower();
    get_musicInfo(source.absoluteFilePath(), type == QLatin1String("ape"), &artist, &album);
    if (artist.isEmpty() && album.isEmpty() && hasVanished(source.absoluteFilePath())) {
        m_folderIncomplete = true;
        return;
    }
    ++m_sheetsRead;
    const qint64 createTime = modifiedDay(source);
    const QString unknown = tr("未知");
    QSet<QString> titles;
    for (const cueData &t : tracks) {
        if (g_CurMusicPlay.dbRebuilding || m_stop)
            break;
        const QString title = t.title.isEmpty() ? unknown : t.title;
        // Playback finds a track by its title: a second track of the same
        // title in one sheet could never be told apart.
        if (titles.contains(title))
            continue;
        titles.insert(title);
        if (!fresh && cueTrackExists(sheetPath, title))
            continue;
        AudioInfo info;
        info.title = title;
        info.fileExt = type;
        info.filePath = sheetPath;
        info.fileSize = source.size();
        info.artist = !artist.isEmpty() ? artist : !t.performer.isEmpty() ? t.performer : cue.getAlbumPerformer();
        info.album = cue.getAlbumName();
        info.createTime = createTime;
        process_scanfile(info);
    }
}

QList<Scanner::ImageTrack> Scanner::imageTracks(const QString &path, const std::atomic<bool> *stop)
{
    QList<ImageTrack> out;
    sacd_media_t media;
    if (!media.open(QFile::encodeName(path).constData()))
        return out;
    sacd_disc_t disc;
    if (!disc.open(&media)) {
        qCDebug(lcLibrary) << "scanner: not an SACD image:" << path;
        return out;
    }
    const QString unknown = tr("未知");
    const QString name = QFileInfo(path).completeBaseName();
    for (const area_id_e area : {AREA_TWOCH, AREA_MULCH}) {
        const uint32_t count = disc.get_track_count(area);
        for (uint32_t track = 0; track < count; ++track) {
            if (stop && *stop)
                return out;
            TrackDetails details;
            if (!disc.getTrackDetails(track, area, &details) || !disc.set_track(track, area))
                continue;
            ImageTrack t;
            t.entry = path + kSelector + QString::number(track) + kSelector + QString::number(int(area));
            t.title = get_UTF8String(details.strTitle.c_str()).trimmed();
            if (t.title.isEmpty() || t.title == QLatin1String("Unknown Title"))
                t.title = QStringLiteral("%1 %2").arg(track + 1, 2, 10, QLatin1Char('0')).arg(name);
            t.album = get_UTF8String(details.strAlbum.c_str());
            if (t.album == QLatin1String("Unknown Album"))
                t.album = unknown;
            t.artist = get_UTF8String(details.strArtist.c_str());
            if (t.artist == QLatin1String("Unknown Artist"))
                t.artist = unknown;
            t.size = qint64(disc.get_size());
            out.append(t);
        }
    }
    disc.close();
    return out;
}

void Scanner::Process_ISOMusicList(const QFileInfo &image, bool fresh)
{
    const QList<ImageTrack> tracks = imageTracks(image.absoluteFilePath(), &m_stop);
    if (tracks.isEmpty() && hasVanished(image.absoluteFilePath()))
        m_folderIncomplete = true;
    const qint64 createTime = modifiedDay(image);
    for (const ImageTrack &t : tracks) {
        if (!canGoOn())
            return;
        if (!fresh && m_db->Is_DataExist(m_musicTable, QStringLiteral("filePath"), t.entry, m_disk.diskID) > 0) {
            pace();
            continue;
        }
        AudioInfo info;
        info.title = t.title;
        info.fileExt = QStringLiteral("iso");
        info.filePath = t.entry;
        info.fileSize = t.size;
        info.artist = t.artist;
        info.album = t.album;
        info.createTime = createTime;
        process_scanfile(info);
        pace();
    }
}

// Rows wait for the end of their folder (writeFolder).
void Scanner::process_scanfile(const AudioInfo &info)
{
    m_pending.append(info);
}
