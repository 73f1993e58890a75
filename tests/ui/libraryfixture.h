#pragma once
// A library and folder trees for the browser's tests, made at test time:
// a sandbox's library file from the schema script, volumes under the
// sandbox's media folder with empty song files (listings never open them),
// and library rows for the searches.

#include "database.h"
#include "disklist.h"
#include "exeshellfordb.h"
#include "globals.h"
#include "platform.h"
#include "sqltext.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sqlite3.h>

#include <algorithm>

namespace LibraryFixture {

struct Song {
    QString path; // relative to the volume
    QString artist;
    QString album;
    qint64 size = 1000;
    qint64 day = 1600000000; // seconds, a midnight
};

// Points the path globals into dir (a sandbox) and makes its library file.
inline bool makeLibrary(const QString &dir)
{
    QDir().mkpath(dir + QStringLiteral("/run/media/mmcblk1p3"));
    Platform::setSandbox(dir);
    InitPaths();
    InitData();
    QFile::remove(MusicDataBaseName);
    ExeShellForDB().CreatNewMusicDB(false);
    return QFileInfo::exists(MusicDataBaseName);
}

// A mounted volume: its folder under the media prefix, its pre_diskList row.
inline DiskInfo volume(int id, int port, const QString &partition, const QString &label = QString())
{
    DiskInfo d;
    d.diskID = id;
    d.port = port;
    d.musicTableID = port;
    d.arrivalNo = id;
    d.diskName = label;
    d.storageId = partition;
    d.diskSizes = 1000000LL * id;
    d.diskAvailSize = 1000;
    d.hasSongs = true;
    d.diskPath = USBPath_Prefix + QStringLiteral("usb-storage_%1/%2").arg(port).arg(partition);
    QDir().mkpath(d.diskPath);
    return d;
}

// Writes the files (empty; a folder name ending in '/' makes an empty folder)
// and enters them in the library.
inline bool addSongs(const DiskInfo &disk, const QList<Song> &songs)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(QFile::encodeName(MusicDataBaseName), &db) != SQLITE_OK)
        return false;
    sqlite3_exec(db, "BEGIN;", nullptr, nullptr, nullptr);
    const QByteArray row = QStringLiteral("insert into pre_diskList values('%1','ext4','%2','%3','%4',%5,2);")
                               .arg(sqliteEscape(disk.diskName))
                               .arg(disk.diskSizes)
                               .arg(disk.diskAvailSize)
                               .arg(sqliteEscape(disk.diskPath))
                               .arg(disk.musicTableID)
                               .toUtf8();
    sqlite3_exec(db, row.constData(), nullptr, nullptr, nullptr);
    sqlite3_stmt *st = nullptr;
    const QByteArray sql = "insert into " + get_MusicTableName(&disk).toLatin1() + " values(?,?,?,?,?,?,?,?,?,?,?,?)";
    sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
    bool ok = st != nullptr;
    for (const Song &s : songs) {
        const QString full = disk.diskPath + QLatin1Char('/') + s.path;
        QDir().mkpath(QFileInfo(full).absolutePath());
        if (s.path.endsWith(QLatin1Char('/')))
            continue;
        QFile f(full);
        ok = ok && f.open(QIODevice::WriteOnly);
        f.close();
        const QFileInfo fi(s.path);
        const QString title = fi.completeBaseName();
        const QByteArray v[] = {sqliteEscape(title).toUtf8(),
                                DataBase::GetFirstLetterResu(title).toUtf8(),
                                fi.suffix().toLower().toUtf8(),
                                sqliteEscape(s.path).toUtf8(),
                                QByteArray::number(s.size),
                                sqliteEscape(s.artist).toUtf8(),
                                DataBase::GetFirstLetterResu(s.artist).toUtf8(),
                                sqliteEscape(s.album).toUtf8(),
                                DataBase::GetFirstLetterResu(s.album).toUtf8()};
        sqlite3_bind_int(st, 1, 1);
        for (int k = 0; k < 9; ++k)
            sqlite3_bind_text(st, 2 + k, v[k].constData(), v[k].size(), SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 11, s.day);
        sqlite3_bind_int(st, 12, disk.diskID);
        ok = ok && sqlite3_step(st) == SQLITE_DONE;
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return ok;
}

inline void mount(const QList<DiskInfo> &disks)
{
    UsingUSBDiskList = disks;
    std::sort(UsingUSBDiskList.begin(), UsingUSBDiskList.end(), compareDiskListData);
}

} // namespace LibraryFixture
