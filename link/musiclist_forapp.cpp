#include "musiclist_forapp.h"
#include "logging.h"

#include "cuefiles.h"
#include "globals.h"
#include "linkglobals.h"
#include "sacd_disc.h"
#include "sacd_media.h"
#include "textencoding.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutexLocker>
#include <QSet>
#include <QSettings>
#include <QStorageInfo>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr int kMaxDepth = 64;
constexpr int kRepeatMs = 3000;
const QString kSelector = QStringLiteral("__M__");

// Disk order of the app: the player's own (port 3, then 1, then 2; one
// port's partitions in the order they arrived).
bool before(const AppMuiscList &a, const AppMuiscList &b)
{
    const int ra = diskPortRank(a.disk.port);
    const int rb = diskPortRank(b.disk.port);
    return ra != rb ? ra < rb : a.disk.arrivalNo < b.disk.arrivalNo;
}

// Folders the walk never enters (the scanner's rule).
bool skipFolder(const QString &fileName, const QString &path)
{
    const QString name = fileName.trimmed().toLower();
    const QByteArray native = QFile::encodeName(path);
    if (name.isEmpty() || NotRead_DirList.contains(name) || access(native.constData(), R_OK) != 0)
        return true;
    static const QString special = QStringLiteral("'\u2502\\\":*?<>");
    for (const QChar c : special) {
        if (name.contains(c))
            return access(native.constData(), X_OK) != 0;
    }
    return false;
}

// A name that cannot be spelled back to its bytes (invalid UTF-8 on the
// stick) or that would break the list's own separators: such a file cannot
// be played by that name.
bool unusableName(const QString &name)
{
    return name.contains(QChar::ReplacementCharacter) || name.contains(kSelector)
           || name.contains(QLatin1String("__RS__"));
}

class Walker
{
public:
    Walker(const QString &root, const std::atomic<bool> *stop)
        : m_root(root)
        , m_stop(stop)
        , m_hash(QCryptographicHash::Md5)
    {
        // "*.mp3" and the like: the player's playable types.
        for (const QString &pattern : musicFormatList) {
            if (pattern.startsWith(QLatin1String("*.")))
                m_suffixes.insert(pattern.mid(2).toLower().toLatin1());
        }
        if (m_suffixes.isEmpty()) {
            for (const char *s :
                 {"mp3", "wav", "dsf", "dff", "cue", "flac", "ape", "m4a", "wma", "alac", "aiff", "aif", "aac", "iso"})
                m_suffixes.insert(QByteArray(s));
        }
    }

    bool stopped() const { return m_stop && *m_stop; }

    // Folder before its subfolders, depth first. The folder is read with
    // readdir: the entry types come with the names, so no file is looked at
    // (a stick of 20,000 songs would cost 20,000 stats).
    bool walk(const QString &folder, int depth, AppMuiscList *list)
    {
        if (stopped())
            return false;
        QStringList files;
        QStringList dirs;
        if (!readFolder(folder, &files, &dirs))
            return true;
        auto byName = [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; };
        std::sort(files.begin(), files.end(), byName);
        std::sort(dirs.begin(), dirs.end(), byName);
        DirAppList d;
        d.dirPath = folder;
        const QString rel = folder.mid(m_root.size());
        m_hash.addData(rel.toUtf8());
        m_hash.addData("\0", 1);
        for (const QString &name : qAsConst(files)) {
            if (stopped())
                return false;
            if (m_songs >= AppList::MaxSongs)
                break;
            if (unusableName(name)) {
                qCInfo(lcLink) << "app list: unusable file name in" << folder;
                continue;
            }
            addFile(folder, name, &d);
        }
        if (!d.files.isEmpty())
            list->dirs.append(d);
        if (depth >= kMaxDepth)
            return true;
        for (const QString &name : qAsConst(dirs)) {
            const QString path = folder + QLatin1Char('/') + name;
            if (skipFolder(name, path) || unusableName(name))
                continue;
            if (!walk(path, depth + 1, list))
                return false;
        }
        return true;
    }

    QByteArray hash() const { return m_hash.result().toHex(); }

private:
    // The playable files and the subfolders of a folder (symbolic links
    // left out: a link could lead out of the volume).
    bool readFolder(const QString &folder, QStringList *files, QStringList *dirs) const
    {
        const QByteArray path = QFile::encodeName(folder);
        DIR *dir = opendir(path.constData());
        if (!dir)
            return false;
        while (const dirent *e = readdir(dir)) {
            const char *name = e->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            unsigned char type = e->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st {
                };
                const QByteArray full = path + '/' + name;
                if (lstat(full.constData(), &st) != 0)
                    continue;
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
            }
            if (type == DT_DIR)
                dirs->append(QFile::decodeName(name));
            else if (type == DT_REG && playable(name))
                files->append(QFile::decodeName(name));
        }
        closedir(dir);
        return true;
    }

    // The file's suffix is one of the player's types (compared in ASCII
    // lower case on the raw name: other files are never decoded).
    bool playable(const char *name) const
    {
        const char *dot = std::strrchr(name, '.');
        if (!dot || !dot[1] || std::strlen(dot + 1) > 8)
            return false;
        char suffix[9] = {};
        for (int i = 0; dot[1 + i] && i < 8; ++i)
            suffix[i] = char(std::tolower(static_cast<unsigned char>(dot[1 + i])));
        return m_suffixes.contains(QByteArray(suffix));
    }

    // One shared text per type ("flac", ...) for all the songs of it.
    QString typeOf(const QString &suffix)
    {
        const QString lower = suffix.toLower();
        auto it = m_types.constFind(lower);
        if (it == m_types.constEnd())
            it = m_types.insert(lower, lower);
        return it.value();
    }

    void add(DirAppList *d, const Dirfile &f)
    {
        if (m_songs >= AppList::MaxSongs)
            return;
        d->files.append(f);
        ++m_songs;
        // The text itself (UTF-16) goes into the hash: no conversion per song.
        m_hash.addData(reinterpret_cast<const char *>(f.entry.utf16()), int(f.entry.size() * 2));
        m_hash.addData("\0\0", 2);
    }

    void addFile(const QString &folder, const QString &name, DirAppList *d)
    {
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        const QString suffix = typeOf(dot < 0 ? QString() : name.mid(dot + 1));
        const QString path = folder + QLatin1Char('/') + name;
        if (suffix == QLatin1String("cue")) {
            addSheet(path, name, d);
            return;
        }
        if (suffix == QLatin1String("iso")) {
            addImage(path, name, d);
            return;
        }
        Dirfile f;
        f.entry = name;
        f.path = path;
        f.type = suffix;
        f.name = dot > 0 ? name.left(dot) : name;
        add(d, f);
    }

    void addSheet(const QString &path, const QString &name, DirAppList *d)
    {
        CueFiles cue(path);
        const QFileInfo source = cue.getSrcFile();
        if (!cue.Is_Correct_CUE() || !source.isFile())
            return;
        const QString type = source.suffix().toLower();
        if (type.isEmpty() || unusableName(type))
            return;
        QSet<QString> titles;
        for (const cueData &t : cue.getCueData()) {
            QString title = t.title.trimmed();
            if (title.isEmpty())
                title = QCoreApplication::translate("Scanner", "未知");
            if (titles.contains(title) || unusableName(title))
                continue;
            titles.insert(title);
            Dirfile f;
            f.entry = name + kSelector + type + kSelector + title;
            f.path = path;
            f.type = type;
            f.name = title;
            add(d, f);
        }
    }

    void addImage(const QString &path, const QString &name, DirAppList *d)
    {
        sacd_media_t media;
        if (!media.open(QFile::encodeName(path).constData()))
            return;
        sacd_disc_t disc;
        if (!disc.open(&media))
            return;
        for (const area_id_e area : {AREA_TWOCH, AREA_MULCH}) {
            const uint32_t count = disc.get_track_count(area);
            for (uint32_t track = 0; track < count && track < 256; ++track) {
                if (stopped())
                    return;
                TrackDetails details;
                if (!disc.getTrackDetails(track, area, &details))
                    continue;
                QString title = get_UTF8String(details.strTitle.c_str()).trimmed();
                if (title.isEmpty())
                    title = QStringLiteral("Unknown Title");
                if (unusableName(title))
                    continue;
                Dirfile f;
                const QString selectors = QString::number(track) + kSelector + QString::number(int(area));
                f.entry = name + kSelector + selectors + kSelector + title;
                f.path = path + kSelector + selectors;
                f.type = QStringLiteral("iso");
                f.name = title;
                add(d, f);
            }
        }
        disc.close();
    }

    QString m_root;
    const std::atomic<bool> *m_stop;
    QSet<QByteArray> m_suffixes;
    QHash<QString, QString> m_types;
    QCryptographicHash m_hash;
    int m_songs = 0;
};

// The mount point is still mounted (a pulled stick's is not).
bool stillMounted(const QString &path)
{
    if (!QFileInfo(path).isDir())
        return false;
    const QStorageInfo info(path);
    return info.isValid() && info.isReady() && info.rootPath() == path;
}

} // namespace

musiclist_forapp::musiclist_forapp(QObject *parent)
    : QThread(parent)
{}

musiclist_forapp::~musiclist_forapp()
{
    stopService();
    wait();
}

void musiclist_forapp::stopService()
{
    m_stop = true;
    m_dropWalk = true;
}

QString musiclist_forapp::cacheFileName(const DiskInfo &disk)
{
    return ReadWrite_Path + QString::number(disk.diskID) + QStringLiteral(".ini");
}

bool musiclist_forapp::buildList(const DiskInfo &disk, AppMuiscList *list, QByteArray *hash,
                                 const std::atomic<bool> *stop)
{
    *list = AppList::newList(disk);
    QString root = disk.diskPath;
    while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
        root.chop(1);
    list->diskPath = root;
    if (!QFileInfo(root).isDir())
        return false;
    Walker walker(root, stop);
    const bool complete = walker.walk(root, 0, list);
    AppList::finishList(list);
    if (hash)
        *hash = walker.hash();
    list->hash = walker.hash();
    return complete;
}

void musiclist_forapp::setMountCheck(std::function<bool(const QString &)> check)
{
    m_mountCheck = std::move(check);
}

void musiclist_forapp::set_scan_path(const DiskInfo &disk)
{
    qCInfo(lcLink).noquote() << QStringLiteral("\n ####### musiclist_forapp~~~~~start scan::: %1 %2")
                                    .arg(disk.diskPath, isRunning() ? QStringLiteral("true") : QStringLiteral("false"));
    if (disk.diskSizes <= 0 || disk.diskPath.isEmpty())
        return;
    const bool cached = Check_disk_ini_file(disk);
    bool startNow = false;
    {
        QMutexLocker lock(&m_lock);
        for (int i = m_queue.size() - 1; i >= 0; --i) {
            if (m_queue.at(i).diskPath == disk.diskPath)
                m_queue.removeAt(i);
        }
        m_queue.append(disk);
        startNow = !m_active;
        m_active = true;
    }
    // Without a cached list the app waits for this one.
    if (!cached)
        USB_Changed_Flag(true);
    if (startNow) {
        wait();
        m_stop = false;
        start(QThread::LowPriority);
    }
}

void musiclist_forapp::remove_appmusiclist(const DiskInfo &disk)
{
    bool changed = false;
    bool active = false;
    {
        QMutexLocker lock(&m_lock);
        const int at = listIndexOf(disk.diskPath);
        if (at >= 0) {
            m_lists.removeAt(at);
            changed = true;
        }
        for (int i = m_queue.size() - 1; i >= 0; --i) {
            if (m_queue.at(i).diskPath == disk.diskPath)
                m_queue.removeAt(i);
        }
        if (m_walking == disk.diskPath)
            m_dropWalk = true;
        active = m_active;
    }
    if (changed) {
        USB_Changed_Flag(true);
        if (!active)
            USB_Changed_Flag(false);
    }
}

void musiclist_forapp::keepOnly(const QList<DiskInfo> &mounted)
{
    QList<DiskInfo> gone;
    {
        QMutexLocker lock(&m_lock);
        auto isMounted = [&](const QString &path) {
            for (const DiskInfo &d : mounted) {
                if (d.diskPath == path)
                    return true;
            }
            return false;
        };
        for (const AppMuiscList &l : qAsConst(m_lists)) {
            if (!isMounted(l.diskPath))
                gone.append(l.disk);
        }
        for (const DiskInfo &d : qAsConst(m_queue)) {
            if (!isMounted(d.diskPath))
                gone.append(d);
        }
        if (!m_walking.isEmpty() && !isMounted(m_walking)) {
            DiskInfo d;
            d.diskPath = m_walking;
            gone.append(d);
        }
    }
    for (const DiskInfo &d : qAsConst(gone))
        remove_appmusiclist(d);
}

bool musiclist_forapp::Check_disk_ini_file(const DiskInfo &disk)
{
    const QString file = cacheFileName(disk);
    AppMuiscList list;
    const AppList::CacheRead r = AppList::readCache(file, disk, &list);
    if (!r.ok) {
        if (QFileInfo::exists(file)) {
            qCInfo(lcLink).noquote() << QStringLiteral("scaner diskpath delete %1: %2").arg(file, r.error);
            QFile::remove(file);
        }
        return false;
    }
    list.hash = r.hash;
    // Mounted elsewhere this time: the file follows the new mount point.
    if (r.storedRoot != list.diskPath)
        AppList::writeCache(file, list, r.hash);
    storeList(list);
    return true;
}

void musiclist_forapp::USB_Changed_Flag(bool changing)
{
    if (changing) {
        {
            QMutexLocker lock(&m_lock);
            m_firstAfterChange = true;
        }
        m_nSendUSBLink.set(0, 0);
        m_nCurUSBLink = 1;
        return;
    }
    m_nSendUSBLink.set(0, 1);
    m_nCurUSBLink = 0;
    if (isRunning())
        emit sig_MoreUSB();
}

void musiclist_forapp::storeList(const AppMuiscList &list)
{
    QMutexLocker lock(&m_lock);
    const int at = listIndexOf(list.diskPath);
    if (at >= 0)
        m_lists.removeAt(at);
    int pos = 0;
    while (pos < m_lists.size() && !before(list, m_lists.at(pos)))
        ++pos;
    m_lists.insert(pos, list);
}

int musiclist_forapp::listIndexOf(const QString &diskPath) const
{
    for (int i = 0; i < m_lists.size(); ++i) {
        if (m_lists.at(i).diskPath == diskPath)
            return i;
    }
    return -1;
}

void musiclist_forapp::run()
{
    for (;;) {
        DiskInfo disk;
        QByteArray previous;
        bool hadList = false;
        {
            QMutexLocker lock(&m_lock);
            if (m_stop || m_queue.isEmpty()) {
                m_walking.clear();
                m_active = false;
                break;
            }
            disk = m_queue.takeFirst();
            m_walking = disk.diskPath;
            m_dropWalk = m_stop.load();
            const int at = listIndexOf(disk.diskPath);
            hadList = at >= 0;
            if (hadList)
                previous = m_lists.at(at).hash;
        }
        if (disk.diskSizes <= 0)
            continue;
        AppMuiscList list;
        QByteArray hash;
        const bool complete = buildList(disk, &list, &hash, &m_dropWalk);
        const bool present = m_mountCheck ? m_mountCheck(disk.diskPath) : stillMounted(disk.diskPath);
        bool keep = false;
        {
            QMutexLocker lock(&m_lock);
            keep = complete && present && !m_dropWalk && m_walking == disk.diskPath;
            m_walking.clear();
        }
        if (!keep) {
            qCInfo(lcLink) << "app list: walk of" << disk.diskPath << "dropped";
            continue;
        }
        const QString file = cacheFileName(disk);
        if (QFileInfo::exists(file)) {
            QSettings old(file, QSettings::IniFormat);
            old.setIniCodec("utf-8");
            const qint64 avail = old.value(QStringLiteral("DISKINFO/availsize")).toString().toLongLong();
            const QByteArray oldHash = old.value(QStringLiteral("DISKINFO/diskhash")).toString().toLatin1();
            if (avail == disk.diskAvailSize && !oldHash.isEmpty() && oldHash != hash) {
                qCInfo(lcLink).noquote() << QStringLiteral(
                    "~~~~~~~~~~~~~~~~剩余容量相同而hash值不同，通知重新扫描歌曲~~~~~~~~~~~~~~~~");
                emit sig_RescanDisk(disk);
                emit SendUSBStatus(98);
            }
        }
        // A list the app may hold already changes under it: tell it.
        if (hadList && previous != hash)
            USB_Changed_Flag(true);
        storeList(list);
        AppList::writeCache(file, list, hash);
        emit updataIndex_forapp();
    }
    if (m_nCurUSBLink.get() == 1)
        USB_Changed_Flag(false);
    qCInfo(lcLink).noquote() << QStringLiteral("#### musiclist_forapp run over~~~~~~~~~~~");
}

bool musiclist_forapp::hasDisks() const
{
    QMutexLocker lock(&m_lock);
    return !m_lists.isEmpty() || !m_queue.isEmpty() || !m_walking.isEmpty();
}

QList<AppMuiscList> musiclist_forapp::lists() const
{
    QMutexLocker lock(&m_lock);
    return m_lists;
}

int musiclist_forapp::Get_Forapp_DiskList(QByteArray *payload)
{
    QMutexLocker lock(&m_lock);
    if (m_lists.isEmpty())
        return m_queue.isEmpty() && m_walking.isEmpty() ? AppList::BadRequest : AppList::NotReady;
    return AppList::diskListPayload(m_lists, payload);
}

int musiclist_forapp::Get_Forapp_MuiscList(int disk, int start, QByteArray *payload)
{
    QMutexLocker lock(&m_lock);
    if (m_nCurUSBLink.get() == 1) {
        if (m_firstAfterChange) {
            m_firstAfterChange = false;
            return AppList::FirstAfterChange;
        }
        return AppList::NotReady;
    }
    if (disk < 0 || disk >= m_lists.size())
        return AppList::BadRequest;
    const AppMuiscList &list = m_lists.at(disk);
    if (start < 0 || start >= list.allSongs)
        return AppList::BadRequest;
    if (start == 0) {
        m_requested = list.diskPath;
        if (m_requested == m_walking)
            return AppList::Rescanning;
    }
    return AppList::musicListPage(list, start, payload);
}

int musiclist_forapp::APP_Select_SingleSong(int disk, int song)
{
    MediaObjectInfo item;
    {
        QMutexLocker lock(&m_lock);
        // An index from a list that is changing may name another song now.
        if (m_nCurUSBLink.get() == 1 || disk < 0 || disk >= m_lists.size())
            return AppList::BadRequest;
        if (!AppList::itemOf(m_lists.at(disk), song, &item))
            return AppList::BadRequest;
        // The MCU repeats a request until it is answered, and this one is
        // answered only once the song plays: a repeat does not start it twice.
        if (m_lastSelect.isValid() && m_lastSelect.elapsed() < kRepeatMs && m_lastSelectDisk == disk
            && m_lastSelectSong == song)
            return 1;
        m_lastSelect.start();
        m_lastSelectDisk = disk;
        m_lastSelectSong = song;
    }
    qCInfo(lcLink).noquote()
        << QStringLiteral("phone app plays %1 (disk %2, song %3)").arg(item.filePath).arg(disk).arg(song);
    emit sig_PlayURL(item);
    return 1;
}

int musiclist_forapp::Get_curplay_Index(int *folder)
{
    const QString path = g_CurMusicPlay.filePath;
    const QString title = g_CurMusicPlay.selectFileName;
    QMutexLocker lock(&m_lock);
    for (const AppMuiscList &l : qAsConst(m_lists)) {
        if (!path.startsWith(l.diskPath + QLatin1Char('/')))
            continue;
        int f = 0;
        const int index = AppList::indexOf(l, path, title, &f);
        if (index >= 0) {
            if (folder)
                *folder = f;
            return index;
        }
    }
    if (folder)
        *folder = 0;
    return -1;
}
