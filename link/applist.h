#pragma once
// The phone app's view of a disk: its folders with songs and every song's
// index on the disk, the answers built from it (disk list, music list pages)
// and its cache file. Plain values and pure functions: the service thread
// (musiclist_forapp) keeps the lists, klvtool and the fuzzers use the same
// code.

#include "records.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One song of a folder.
struct Dirfile {
    QString name; // display name
    QString path; // item path: the file; an SACD image track carries "__M__track__M__area"
    QString type; // lower-case type shown (a CUE track: its audio file's suffix)
    // The cache form: the file name inside its folder, then for a CUE track
    // "__M__" type "__M__" title, for an image track "__M__" track "__M__"
    // area "__M__" title.
    QString entry;
};

// One folder with songs.
struct DirAppList {
    QString dirPath; // absolute
    int songs = 0;
    QList<Dirfile> files;
};

// The app list of one mounted disk.
struct AppMuiscList {
    quint8 slot = 0;  // USB port 1..3
    quint8 state = 0; // 1 when the disk holds songs
    QString name;     // label (or partition folder)
    QString diskPath; // mount point
    QByteArray display;
    int allSongs = 0;
    QList<DirAppList> dirs;
    DiskInfo disk;
    QByteArray hash; // of the content listing the list was built from
};

namespace AppList {

// Answer sizes: a page is at most PageMax bytes; a separator follows a song
// only while the page is below SeparatorLimit; any payload fits a frame.
constexpr int PageMax = 378;
constexpr int SeparatorLimit = 376;
constexpr int FrameMax = 400;
// Song indexes travel as 16-bit values: songs past this are not listed.
constexpr int MaxSongs = 65535;
// Name weights (Proc_substr_filename): disk names, folder and song names.
constexpr int DiskNameWeight = 20;
constexpr int NameWeight = 40;
// The folder name of a disk's root.
extern const char RootName[];

// Results of a page request, as the MCU protocol maps them to file-return codes.
enum Result {
    BadRequest = -1,       // 103
    Rescanning = -2,       // 98
    NotReady = -3,         // 104
    FirstAfterChange = -4, // 99
};

// Disk identity fields of the answers.
AppMuiscList newList(const DiskInfo &disk);
void finishList(AppMuiscList *list);

// The disk list payload; its length (0: no disks).
int diskListPayload(const QList<AppMuiscList> &lists, QByteArray *payload);
// The music list page of a list from song `start`; its length, or
// BadRequest when start is not a song of the disk.
int musicListPage(const AppMuiscList &list, int start, QByteArray *payload);

// The playable item of song `song` (false when there is none).
bool itemOf(const AppMuiscList &list, int song, MediaObjectInfo *item);
// Index on the disk and folder number of the item with this path and title;
// -1 when the list does not hold it.
int indexOf(const AppMuiscList &list, const QString &path, const QString &title, int *folder);

// Cache file of a disk: ReadWrite_Path + disk id + ".ini".
QString cacheFileName(const DiskInfo &disk);
// The disk's cache when its available size still matches. The list, its
// stored hash, and on failure why not ("" when there simply is no cache).
struct CacheRead {
    bool ok = false;
    QString error;
    QByteArray hash;
    qint64 availSize = -1;
    QString storedRoot; // the mount point the list was built under
};
CacheRead readCache(const QString &file, const DiskInfo &disk, AppMuiscList *list);
bool writeCache(const QString &file, const AppMuiscList &list, const QByteArray &hash);

// The answers read back, as the phone app reads them (tools and tests).
struct PageSong {
    int index = 0;
    QString name;
};
struct PageFolder {
    QString name;
    QList<PageSong> songs;
};
struct DecodedPage {
    bool ok = false;
    QString error;
    int next = 0;
    QList<PageFolder> folders;
};
DecodedPage decodePage(const QByteArray &payload);
struct DecodedDisk {
    int index = 0;
    int slot = 0;
    int state = 0;
    double size = 0;
    QByteArray display;
    QString name;
};
// Empty (and *ok false) when the payload does not add up.
QList<DecodedDisk> decodeDiskList(const QByteArray &payload, bool *ok);

// Decodes a cache entry of a folder into a song (false for a bad entry).
bool songFromEntry(const QString &dirPath, const QString &entry, Dirfile *song);
// A name as the phone shows it: control characters become spaces.
QString cleanName(const QString &name);

} // namespace AppList
