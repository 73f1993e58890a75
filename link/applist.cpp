#include "applist.h"

#include "linktext.h"

#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStringList>

#include <cstring>

namespace AppList {

const char RootName[] = "ROOTMusic";

namespace {

const QString kSelector = QStringLiteral("__M__");
const QString kJoin = QStringLiteral("__RS__");
const char kSongSeparator[] = "\n\r";
const char kBlockSeparator[] = "\r\n";

// The types the app list takes: the player's playable files.
const QSet<QString> &playable()
{
    static const QSet<QString> types{QStringLiteral("mp3"),  QStringLiteral("wav"),  QStringLiteral("dsf"),
                                     QStringLiteral("dff"),  QStringLiteral("cue"),  QStringLiteral("flac"),
                                     QStringLiteral("ape"),  QStringLiteral("m4a"),  QStringLiteral("wma"),
                                     QStringLiteral("alac"), QStringLiteral("aiff"), QStringLiteral("aif"),
                                     QStringLiteral("aac"),  QStringLiteral("iso")};
    return types;
}

void put16le(QByteArray *out, int v)
{
    out->append(char(v & 0xFF));
    out->append(char((v >> 8) & 0xFF));
}

QByteArray nameBytes(const QString &name, int weight)
{
    return Proc_substr_filename(cleanName(name), weight, true);
}

QByteArray songBytes(int index, const Dirfile &song)
{
    QByteArray b;
    put16le(&b, index);
    b += nameBytes(song.name, NameWeight);
    return b;
}

QString folderName(const AppMuiscList &list, const DirAppList &dir)
{
    if (dir.dirPath == list.diskPath)
        return QString::fromLatin1(RootName);
    return QFileInfo(dir.dirPath).fileName();
}

bool endsWithSeparator(const QByteArray &page)
{
    return page.endsWith(kSongSeparator) || page.endsWith(kBlockSeparator);
}

// A path that names no parent or current folder component.
bool plainPath(const QString &path)
{
    for (const QString &part : path.split(QLatin1Char('/'))) {
        if (part == QLatin1String("..") || part == QLatin1String("."))
            return false;
    }
    return true;
}

QString realName(const QString &file)
{
    const int dot = file.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? file : file.left(dot);
}

} // namespace

QString cleanName(const QString &name)
{
    QString out = name;
    for (QChar &c : out) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return out;
}

AppMuiscList newList(const DiskInfo &disk)
{
    AppMuiscList l;
    l.disk = disk;
    l.slot = quint8(qBound(0, disk.port, 255));
    l.diskPath = disk.diskPath;
    l.name = !disk.diskName.isEmpty() ? disk.diskName : disk.storageId;
    if (l.name.isEmpty())
        l.name = QStringLiteral("USB %1").arg(disk.port);
    l.display = "USB" + QByteArray::number(qBound(0, disk.port, 9));
    return l;
}

void finishList(AppMuiscList *list)
{
    int total = 0;
    for (DirAppList &d : list->dirs) {
        d.songs = int(d.files.size());
        total += d.songs;
    }
    list->allSongs = total;
    list->state = total > 0 ? 1 : 0;
}

int diskListPayload(const QList<AppMuiscList> &lists, QByteArray *payload)
{
    payload->clear();
    if (lists.isEmpty())
        return 0;
    const int count = qMin(int(lists.size()), 255);
    // Six disks with long labels would not fit one frame: their names get
    // shorter until the whole list does.
    for (int weight = DiskNameWeight; weight >= 0; weight -= 4) {
        QByteArray p;
        p.append(char(count));
        for (int i = 0; i < count; ++i) {
            const AppMuiscList &l = lists.at(i);
            if (i > 0)
                p += kBlockSeparator;
            p.append(char(i));
            p.append(char(l.slot));
            p.append(char(l.state));
            const double size = double(l.disk.diskSizes);
            quint64 bits = 0;
            std::memcpy(&bits, &size, sizeof bits);
            for (int b = 0; b < 8; ++b)
                p.append(char((bits >> (8 * b)) & 0xFF));
            p += l.display;
            p += nameBytes(l.name, weight);
        }
        if (p.size() <= FrameMax || weight == 0) {
            *payload = p.left(FrameMax);
            return int(payload->size());
        }
    }
    return 0;
}

int musicListPage(const AppMuiscList &list, int start, QByteArray *payload)
{
    payload->clear();
    if (start < 0 || start >= list.allSongs)
        return BadRequest;
    QByteArray page(3, '\0');
    int blocks = 0;
    int next = start;
    int begin = 0;
    bool full = false;
    for (const DirAppList &dir : list.dirs) {
        const int end = begin + int(dir.files.size());
        if (end <= start) {
            begin = end;
            continue;
        }
        const int first = qMax(start, begin);
        const QByteArray name = nameBytes(folderName(list, dir), NameWeight);
        const QByteArray firstSong = songBytes(first, dir.files.at(first - begin));
        const int need = (blocks > 0 ? 2 : 0) + 1 + int(name.size()) + 2 + int(firstSong.size());
        // A folder that does not fit with one song starts the next page
        // (a song always fits an empty page: names are bounded by weight).
        if (blocks > 0 && page.size() + need > PageMax)
            break;
        if (blocks > 0)
            page += kBlockSeparator;
        const int countAt = int(page.size());
        page.append('\0');
        page += name;
        page += kSongSeparator;
        int n = 0;
        for (int s = first; s < end && n < 255; ++s) {
            const QByteArray song = s == first ? firstSong : songBytes(s, dir.files.at(s - begin));
            if (n > 0 && page.size() + song.size() > PageMax) {
                full = true;
                break;
            }
            page += song;
            ++n;
            next = s + 1;
            if (s + 1 < end) {
                // No room for a separator: no further song fits either.
                if (page.size() >= SeparatorLimit || n == 255) {
                    full = true;
                    break;
                }
                page += kSongSeparator;
            }
        }
        page[countAt] = char(n);
        ++blocks;
        begin = end;
        if (full || blocks == 255)
            break;
    }
    while (endsWithSeparator(page) && page.size() > 3)
        page.chop(2);
    page[0] = char(next & 0xFF);
    page[1] = char((next >> 8) & 0xFF);
    page[2] = char(blocks);
    *payload = page;
    return int(page.size());
}

namespace {

// Folder and position of song `song`; false when there is none.
bool locate(const AppMuiscList &list, int song, int *folder, int *at)
{
    if (song < 0 || song >= list.allSongs)
        return false;
    int begin = 0;
    for (int d = 0; d < list.dirs.size(); ++d) {
        const int n = int(list.dirs.at(d).files.size());
        if (song < begin + n) {
            *folder = d;
            *at = song - begin;
            return true;
        }
        begin += n;
    }
    return false;
}

bool isDsdFile(const QString &type)
{
    return type == QLatin1String("dsf") || type == QLatin1String("dff");
}

} // namespace

bool itemOf(const AppMuiscList &list, int song, MediaObjectInfo *item)
{
    int folder = 0;
    int at = 0;
    if (!locate(list, song, &folder, &at))
        return false;
    const Dirfile &f = list.dirs.at(folder).files.at(at);
    item->fileType = f.type;
    item->fileName = f.name;
    item->filePath = f.path;
    // A DSD file plays as its first track of the two-channel area.
    if (isDsdFile(f.type) && !f.path.contains(kSelector))
        item->filePath += QStringLiteral("__M__0__M__1");
    item->diskID = list.disk.diskID;
    return true;
}

int indexOf(const AppMuiscList &list, const QString &path, const QString &title, int *folder)
{
    if (path.isEmpty())
        return -1;
    const int cut = path.indexOf(kSelector);
    const QString real = cut < 0 ? path : path.left(cut);
    const bool image = real.endsWith(QLatin1String(".iso"), Qt::CaseInsensitive);
    int index = 0;
    for (int d = 0; d < list.dirs.size(); ++d) {
        const QList<Dirfile> &files = list.dirs.at(d).files;
        for (const Dirfile &f : files) {
            bool same = false;
            if (image)
                same = f.path == path;
            else if (f.path == real)
                same = !f.entry.contains(kSelector) || f.name == title; // CUE tracks share their sheet's path
            if (same) {
                if (folder)
                    *folder = d;
                return index;
            }
            ++index;
        }
    }
    return -1;
}

bool songFromEntry(const QString &dirPath, const QString &entry, Dirfile *song)
{
    const QStringList parts = entry.split(kSelector);
    const QString file = parts.at(0);
    if (file.isEmpty() || file.contains(QLatin1Char('/')) || file == QLatin1String(".") || file == QLatin1String(".."))
        return false;
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (!playable().contains(suffix))
        return false;
    const QString path = dirPath + QLatin1Char('/') + file;
    song->entry = entry;
    if (suffix == QLatin1String("cue")) {
        if (parts.size() != 3 || parts.at(1).isEmpty() || parts.at(1).contains(QLatin1Char('/'))
            || parts.at(2).isEmpty())
            return false;
        song->type = parts.at(1).toLower();
        song->name = parts.at(2);
        song->path = path;
        return true;
    }
    if (suffix == QLatin1String("iso")) {
        bool trackOk = false;
        bool areaOk = false;
        const uint track = parts.value(1).toUInt(&trackOk);
        const int area = parts.value(2).toInt(&areaOk);
        if (parts.size() != 4 || !trackOk || !areaOk || (area != 1 && area != 2) || track > 255
            || parts.at(3).isEmpty())
            return false;
        song->type = suffix;
        song->name = parts.at(3);
        song->path = path + kSelector + QString::number(track) + kSelector + QString::number(area);
        return true;
    }
    if (parts.size() != 1)
        return false;
    song->type = suffix;
    song->name = realName(file);
    song->path = path;
    return true;
}

namespace {

// The text from `at` up to the next separator (either kind) or the end.
QString takeName(const QByteArray &p, int *at)
{
    int end = *at;
    while (end < p.size()) {
        if (end + 1 < p.size() && ((p[end] == '\n' && p[end + 1] == '\r') || (p[end] == '\r' && p[end + 1] == '\n')))
            break;
        ++end;
    }
    const QString name = QString::fromUtf8(p.constData() + *at, end - *at);
    *at = end;
    return name;
}

bool takeSeparator(const QByteArray &p, int *at, const char *sep)
{
    if (*at + 1 >= p.size() || p[*at] != sep[0] || p[*at + 1] != sep[1])
        return false;
    *at += 2;
    return true;
}

} // namespace

DecodedPage decodePage(const QByteArray &p)
{
    DecodedPage d;
    if (p.size() < 3) {
        d.error = QStringLiteral("shorter than its header");
        return d;
    }
    d.next = quint8(p[0]) | (quint8(p[1]) << 8);
    const int blocks = quint8(p[2]);
    int at = 3;
    for (int b = 0; b < blocks; ++b) {
        if (b > 0 && !takeSeparator(p, &at, kBlockSeparator)) {
            d.error = QStringLiteral("no separator before folder %1").arg(b);
            return d;
        }
        if (at >= p.size()) {
            d.error = QStringLiteral("folder %1 missing").arg(b);
            return d;
        }
        PageFolder f;
        const int count = quint8(p[at++]);
        f.name = takeName(p, &at);
        if (!takeSeparator(p, &at, kSongSeparator)) {
            d.error = QStringLiteral("folder %1: no separator after its name").arg(b);
            return d;
        }
        for (int s = 0; s < count; ++s) {
            if (s > 0 && !takeSeparator(p, &at, kSongSeparator)) {
                d.error = QStringLiteral("folder %1: no separator before song %2").arg(b).arg(s);
                return d;
            }
            if (at + 2 > p.size()) {
                d.error = QStringLiteral("folder %1: song %2 missing").arg(b).arg(s);
                return d;
            }
            PageSong song;
            song.index = quint8(p[at]) | (quint8(p[at + 1]) << 8);
            at += 2;
            song.name = takeName(p, &at);
            f.songs.append(song);
        }
        d.folders.append(f);
    }
    if (at != p.size()) {
        d.error = QStringLiteral("%1 bytes after the last song").arg(p.size() - at);
        return d;
    }
    d.ok = true;
    return d;
}

QList<DecodedDisk> decodeDiskList(const QByteArray &p, bool *ok)
{
    QList<DecodedDisk> out;
    *ok = false;
    if (p.isEmpty())
        return out;
    const int count = quint8(p[0]);
    int at = 1;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !takeSeparator(p, &at, kBlockSeparator))
            return {};
        if (at + 15 > p.size())
            return {};
        DecodedDisk d;
        d.index = quint8(p[at]);
        d.slot = quint8(p[at + 1]);
        d.state = quint8(p[at + 2]);
        quint64 bits = 0;
        for (int b = 0; b < 8; ++b)
            bits |= quint64(quint8(p[at + 3 + b])) << (8 * b);
        std::memcpy(&d.size, &bits, sizeof bits);
        d.display = p.mid(at + 11, 4);
        at += 15;
        d.name = takeName(p, &at);
        out.append(d);
    }
    if (at != p.size())
        return {};
    *ok = true;
    return out;
}

CacheRead readCache(const QString &file, const DiskInfo &disk, AppMuiscList *list)
{
    CacheRead r;
    if (!QFileInfo(file).isFile())
        return r;
    QSettings s(file, QSettings::IniFormat);
    s.setIniCodec("utf-8");
    if (s.status() != QSettings::NoError) {
        r.error = QStringLiteral("unreadable");
        return r;
    }
    bool ok = false;
    r.availSize = s.value(QStringLiteral("DISKINFO/availsize")).toString().toLongLong(&ok);
    if (!ok) {
        r.availSize = -1;
        r.error = QStringLiteral("no available size");
        return r;
    }
    if (r.availSize != disk.diskAvailSize) {
        r.error = QStringLiteral("available size %1, the disk has %2").arg(r.availSize).arg(disk.diskAvailSize);
        return r;
    }
    if (s.contains(QStringLiteral("DISKINFO/disksize"))
        && s.value(QStringLiteral("DISKINFO/disksize")).toString().toLongLong() != disk.diskSizes) {
        r.error = QStringLiteral("another disk's list");
        return r;
    }
    const QString oldRoot = s.value(QStringLiteral("DISKINFO/diskpath")).toString();
    r.storedRoot = oldRoot;
    const int all = s.value(QStringLiteral("DISKINFO/allsongs")).toString().toInt(&ok);
    if (oldRoot.isEmpty() || !ok || all < 0 || all > MaxSongs) {
        r.error = QStringLiteral("no disk path or song total");
        return r;
    }
    int groups = 0;
    for (const QString &g : s.childGroups()) {
        if (g.startsWith(QLatin1String("MUSICLIST_")))
            ++groups;
    }
    if (s.contains(QStringLiteral("DISKINFO/dircount"))
        && s.value(QStringLiteral("DISKINFO/dircount")).toString().toInt() != groups) {
        r.error = QStringLiteral("folder count %1, %2 folders")
                      .arg(s.value(QStringLiteral("DISKINFO/dircount")).toString())
                      .arg(groups);
        return r;
    }
    AppMuiscList l = newList(disk);
    int total = 0;
    for (int n = 0; n < groups; ++n) {
        const QString g = QStringLiteral("MUSICLIST_%1/").arg(n);
        if (!s.contains(g + QStringLiteral("dirpath"))) {
            r.error = QStringLiteral("folder %1 missing").arg(n);
            return r;
        }
        const QString stored = s.value(g + QStringLiteral("dirpath")).toString();
        // Folders lie inside their volume: stored under its old mount point,
        // they move with it.
        QString rest;
        if (stored == oldRoot)
            rest = QString();
        else if (stored.startsWith(oldRoot + QLatin1Char('/')))
            rest = stored.mid(oldRoot.size());
        else {
            r.error = QStringLiteral("folder %1 outside the disk").arg(n);
            return r;
        }
        if (!plainPath(rest)) {
            r.error = QStringLiteral("folder %1 outside the disk").arg(n);
            return r;
        }
        DirAppList dir;
        dir.dirPath = disk.diskPath + rest;
        const QStringList entries =
            s.value(g + QStringLiteral("songslist")).toString().split(kJoin, Qt::SkipEmptyParts);
        for (const QString &e : entries) {
            Dirfile f;
            if (!songFromEntry(dir.dirPath, e, &f)) {
                r.error = QStringLiteral("folder %1: bad song entry").arg(n);
                return r;
            }
            dir.files.append(f);
            if (++total > MaxSongs) {
                r.error = QStringLiteral("too many songs");
                return r;
            }
        }
        if (dir.files.isEmpty()) {
            r.error = QStringLiteral("folder %1 without songs").arg(n);
            return r;
        }
        l.dirs.append(dir);
    }
    if (total != all) {
        r.error = QStringLiteral("song total %1, %2 songs listed").arg(all).arg(total);
        return r;
    }
    finishList(&l);
    r.hash = s.value(QStringLiteral("DISKINFO/diskhash")).toString().toLatin1();
    r.ok = true;
    *list = l;
    return r;
}

bool writeCache(const QString &file, const AppMuiscList &list, const QByteArray &hash)
{
    QSettings s(file, QSettings::IniFormat);
    s.setIniCodec("utf-8");
    s.clear();
    s.setValue(QStringLiteral("DISKINFO/allsongs"), list.allSongs);
    s.setValue(QStringLiteral("DISKINFO/diskpath"), list.diskPath);
    s.setValue(QStringLiteral("DISKINFO/availsize"), QString::number(list.disk.diskAvailSize));
    s.setValue(QStringLiteral("DISKINFO/disksize"), QString::number(list.disk.diskSizes));
    s.setValue(QStringLiteral("DISKINFO/diskhash"), QString::fromLatin1(hash));
    s.setValue(QStringLiteral("DISKINFO/dircount"), int(list.dirs.size()));
    for (int n = 0; n < list.dirs.size(); ++n) {
        const DirAppList &d = list.dirs.at(n);
        QStringList entries;
        entries.reserve(d.files.size());
        for (const Dirfile &f : d.files)
            entries.append(f.entry);
        const QString g = QStringLiteral("MUSICLIST_%1/").arg(n);
        s.setValue(g + QStringLiteral("dirpath"), d.dirPath);
        s.setValue(g + QStringLiteral("songslist"), entries.join(kJoin));
    }
    s.sync();
    return s.status() == QSettings::NoError;
}

} // namespace AppList
