// Listings that never touch the library: the track browser's folder pages,
// the controller's temporary lists around the playing song, and a play list
// built straight from the file system.
#include "scanner.h"

#include "cuefiles.h"
#include "database.h"
#include "globals.h"
#include "mediapath.h"
#include "scannerdefs.h"
#include "volumepath.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSet>

QList<QFileInfo> Scanner::subfolders(const QString &folder) const
{
    QList<QFileInfo> out;
    const QFileInfoList subs =
        QDir(folder).entryInfoList(QDir::Dirs | QDir::Readable | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &sub : subs) {
        if (!sub.isSymLink() && !Check_Dir_PathRule(&sub))
            out.append(sub);
    }
    return out;
}

bool Scanner::hasSongs(const QString &folder) const
{
    return !QDir(folder).entryList(musicFormatList, QDir::Files | QDir::Readable, QDir::NoSort).isEmpty();
}

QList<MediaObjectInfo> Scanner::itemsOfFile(const QFileInfo &file, const QString &root, int diskID) const
{
    QList<MediaObjectInfo> out;
    const QString path = file.absoluteFilePath();
    if (path.contains(QStringLiteral("__M__")))
        return out;
    const QString refusal = entryRefusal(file, root);
    if (!refusal.isEmpty()) {
        report(QStringLiteral("listing: %1, skipped: %2").arg(refusal, path));
        return out;
    }
    const QString suffix = file.suffix().toLower();
    if (suffix == QLatin1String("cue")) {
        CueFiles cue(path);
        const QFileInfo source = cue.getSrcFile();
        if (!cue.Is_Correct_CUE())
            return out;
        const QString why = cueAudioRefusal(path, source.filePath(), root);
        if (!why.isEmpty()) {
            report(QStringLiteral("listing: CUE sheet skipped, %1: %2").arg(why, path));
            return out;
        }
        if (!source.isFile())
            return out;
        QSet<QString> titles;
        for (const cueData &t : cue.getCueData()) {
            const QString title = t.title.isEmpty() ? tr("未知") : t.title;
            if (!titles.contains(title)) {
                titles.insert(title);
                out.append(MediaObjectInfo{source.suffix().toLower(), title, path, diskID});
            }
        }
    } else if (suffix == QLatin1String("iso")) {
        for (const ImageTrack &t : imageTracks(path, &m_stop))
            out.append(MediaObjectInfo{suffix, t.title, t.entry, diskID});
    } else {
        out.append(MediaObjectInfo{suffix, get_RealMusicName(file.fileName()), path, diskID});
    }
    return out;
}

Scanner::FolderContent Scanner::collectFolder(const QString &folder, const QString &root, int diskID, bool withFolders,
                                              bool withSongs) const
{
    FolderContent c;
    if (withFolders) {
        for (const QFileInfo &sub : subfolders(folder)) {
            ListInfo row;
            row.title = sub.fileName();
            row.type = FolderRow;
            row.id = diskID;
            row.value = sub.absoluteFilePath();
            c.folderRows.append(row);
        }
    }
    if (withSongs) {
        const QFileInfoList files =
            QDir(folder).entryInfoList(musicFormatList, QDir::Files | QDir::Readable, QDir::NoSort);
        for (const QFileInfo &f : files) {
            if (m_stop)
                break;
            c.songs += itemsOfFile(f, root, diskID);
        }
    }
    return c;
}

QString Scanner::firstFolderWithFiles(const QString &folder, int depth) const
{
    if (m_stop || depth >= kMaxDepth)
        return QString();
    if (hasSongs(folder))
        return folder;
    for (const QFileInfo &sub : subfolders(folder)) {
        const QString found = firstFolderWithFiles(sub.absoluteFilePath(), depth + 1);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

QString Scanner::lastFolderWithFiles(const QString &folder, int depth) const
{
    if (m_stop || depth >= kMaxDepth)
        return QString();
    const QList<QFileInfo> subs = subfolders(folder);
    for (auto it = subs.crbegin(); it != subs.crend(); ++it) {
        const QString found = lastFolderWithFiles(it->absoluteFilePath(), depth + 1);
        if (!found.isEmpty())
            return found;
    }
    return hasSongs(folder) ? folder : QString();
}

namespace {

int indexIn(const QList<QFileInfo> &list, const QString &path)
{
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).absoluteFilePath() == path)
            return i;
    }
    return -1;
}

bool isBelow(const QString &path, const QString &root)
{
    return path.startsWith(root + QLatin1Char('/'));
}

} // namespace

// The next folder with songs in walk order (subfolders first, then the
// following folders, climbing through the parents); "" at the volume's end.
QString Scanner::folderAfter(const QString &folder, const QString &root) const
{
    for (const QFileInfo &sub : subfolders(folder)) {
        const QString found = firstFolderWithFiles(sub.absoluteFilePath());
        if (!found.isEmpty())
            return found;
    }
    QString cur = folder;
    while (!m_stop && isBelow(cur, root)) {
        const QString parent = QFileInfo(cur).absolutePath();
        const QList<QFileInfo> siblings = subfolders(parent);
        const int at = indexIn(siblings, cur);
        for (int i = at < 0 ? siblings.size() : at + 1; i < siblings.size(); ++i) {
            const QString found = firstFolderWithFiles(siblings.at(i).absoluteFilePath());
            if (!found.isEmpty())
                return found;
        }
        cur = parent;
    }
    return QString();
}

// The folder with songs before this one in walk order; "" at the volume's start.
QString Scanner::folderBefore(const QString &folder, const QString &root) const
{
    QString cur = folder;
    while (!m_stop && isBelow(cur, root)) {
        const QString parent = QFileInfo(cur).absolutePath();
        const QList<QFileInfo> siblings = subfolders(parent);
        const int at = indexIn(siblings, cur);
        for (int i = at - 1; i >= 0; --i) {
            const QString found = lastFolderWithFiles(siblings.at(i).absoluteFilePath());
            if (!found.isEmpty())
                return found;
        }
        if (hasSongs(parent))
            return parent;
        cur = parent;
    }
    return QString();
}

int Scanner::volumeIndexOf(const QList<DiskInfo> &volumes, const QString &path)
{
    for (int i = 0; i < volumes.size(); ++i) {
        const QString root = volumes.at(i).diskPath;
        if (!root.isEmpty() && (path == root || isBelow(path, root)))
            return i;
    }
    return -1;
}

void Scanner::runTempList()
{
    // stop_Scanner() empties the list meanwhile: the walk uses its own copy.
    QList<DiskInfo> volumes;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        volumes = m_volumes;
    }
    const int n = volumes.size();
    const int home = volumeIndexOf(volumes, m_songFolder);
    QString target;
    int targetVolume = -1;
    auto take = [&](const QString &folder, int volume) {
        if (folder.isEmpty())
            return false;
        target = folder;
        targetVolume = volume;
        return true;
    };
    switch (m_mode) {
    case TmpFolder:
        if (home >= 0 && hasSongs(m_songFolder))
            take(m_songFolder, home);
        // Then each mounted volume, the last one first.
        for (int i = n - 1; target.isEmpty() && i >= 0 && !m_stop; --i)
            take(firstFolderWithFiles(volumes.at(i).diskPath), i);
        break;
    case TmpNextFolder:
        if (home >= 0)
            take(folderAfter(m_songFolder, volumes.at(home).diskPath), home);
        // On through the following volumes, round to the song's own.
        for (int k = 1; target.isEmpty() && k <= n && !m_stop; ++k) {
            const int i = ((home < 0 ? -1 : home) + k) % n;
            take(firstFolderWithFiles(volumes.at(i).diskPath), i);
        }
        break;
    case TmpPrevFolder:
        if (home >= 0)
            take(folderBefore(m_songFolder, volumes.at(home).diskPath), home);
        for (int k = 1; target.isEmpty() && k <= n && !m_stop; ++k) {
            const int i = (((home < 0 ? 0 : home) - k) % n + n) % n;
            take(lastFolderWithFiles(volumes.at(i).diskPath), i);
        }
        break;
    default:
        break;
    }
    QList<MediaObjectInfo> items;
    if (!target.isEmpty()) {
        const DiskInfo &volume = volumes.at(targetVolume);
        items = collectFolder(target, canonicalRoot(volume.diskPath), volume.diskID, false, true).songs;
    }
    const bool unfinished = m_stop;
    const int mode = m_mode;
    finish([this, items, unfinished, mode] {
        mediaTempPlayList = items;
        emit scanOverFileManage(unfinished, mode);
    });
}

void Scanner::runListFolder()
{
    QString folder, root;
    int diskID = 0;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        folder = m_disk.diskPath;
        root = m_listRoot;
        diskID = m_disk.diskID;
    }
    FolderContent c;
    const bool exists = QFileInfo(folder).isDir();
    if (exists)
        c = collectFolder(folder, canonicalRoot(root), diskID, m_withFolders, true);
    QList<ListInfo> rows = c.folderRows;
    for (const MediaObjectInfo &m : qAsConst(c.songs)) {
        ListInfo row;
        row.title = m.fileName;
        row.type = SongRow;
        row.id = m.diskID;
        row.value = m.fileType;
        rows.append(row);
    }
    if (m_rowLimit > 0 && rows.size() > m_rowLimit) {
        rows = rows.mid(0, m_rowLimit);
        c.songs = c.songs.mid(0, std::max(0, m_rowLimit - int(c.folderRows.size())));
    }
    const bool unfinished = m_stop || !exists;
    const int index = m_listIndex;
    const QList<MediaObjectInfo> songs = c.songs;
    finish([this, rows, songs, unfinished, index] {
        {
            // The database's worker fills other pages of the same list.
            QMutex *lock = m_db ? m_db->resultLock() : nullptr;
            QMutexLocker locker(lock);
            while (TempMediaObjectList.size() <= index)
                TempMediaObjectList.append(PageListStruct());
            TempMediaObjectList[index].mediaList = songs;
            if (m_out) {
                for (const ListInfo &row : rows)
                    m_out->append(TempInfoList{row, index});
            }
        }
        if (!m_out) {
            for (const ListInfo &row : rows)
                emit readDiskInfo(row, index);
        }
        emit scanOverFileManage(unfinished, index);
    });
}

void Scanner::runInitPlayList()
{
    for (int n = 0;; ++n) {
        DiskInfo folder;
        QString root;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            if (!m_running || n >= m_initFolders.size())
                break;
            folder = m_initFolders.at(n);
            root = m_initRoots.value(n);
        }
        root = canonicalRoot(root);
        const QFileInfoList files =
            QDir(folder.diskPath).entryInfoList(musicFormatList, QDir::Files | QDir::Readable, QDir::NoSort);
        for (const QFileInfo &f : files) {
            if (m_stop)
                break;
            const QList<MediaObjectInfo> items = itemsOfFile(f, root, folder.diskID);
            if (items.isEmpty())
                continue;
            inGuiThread([this, items] {
                mediaObjectInfoList += items;
                emit updateMusicIndex();
                emit musiclistChanged();
            });
            pace();
        }
    }
    const bool unfinished = m_stop;
    finish([this, unfinished] { emit scanOverFileManage(unfinished, 0); });
}
