#include "disklist.h"

#include "globals.h"

#include <QSet>

// The readers walk the lists through qAsConst: a range-for over the
// non-const global detaches it when another thread holds a copy, a write
// from what should only read.

int get_USBID(const QString &path)
{
    for (int port = 1; port <= 3; ++port) {
        if (path == USBPath_Prefix + QStringLiteral("usb-storage_") + QString::number(port))
            return port;
    }
    return 0;
}

QString get_StorageID(const QString &path)
{
    QString rest = path.startsWith(USBPath_Prefix) ? path.mid(USBPath_Prefix.size()) : path;
    const QStringList parts = rest.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.size() < 2 ? QString() : parts.at(1);
}

int get_DiskIDFromPath(const QString &path)
{
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (!d.diskPath.isEmpty() && path.contains(d.diskPath))
            return d.diskID;
    }
    return 0;
}

int get_TableIDFromPath(const QString &path)
{
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (!d.diskPath.isEmpty() && path.contains(d.diskPath))
            return d.musicTableID;
    }
    return 0;
}

bool DiskInfo_Compare(const DiskInfo &disk)
{
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (d.diskID == disk.diskID)
            return true;
    }
    return false;
}

bool Check_DiskPath_Exist(const QString &path)
{
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (d.diskPath == path)
            return true;
    }
    return false;
}

bool Check_USBDisk_hasSongs()
{
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (d.hasSongs)
            return true;
    }
    return false;
}

void Update_USBDisk_SongExist(const DiskInfo &disk, bool hasSongs)
{
    for (DiskInfo &d : UsingUSBDiskList) {
        if (d.diskID == disk.diskID)
            d.hasSongs = hasSongs;
    }
    g_TempData.songExistChecked = true;
}

bool compareDiskListData(const DiskInfo &a, const DiskInfo &b)
{
    const int ra = diskPortRank(a.port);
    const int rb = diskPortRank(b.port);
    if (ra != rb)
        return ra < rb;
    return a.arrivalNo < b.arrivalNo;
}

QString get_DiskPathFromRowID(int diskID, const QString &def)
{
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (d.diskID == diskID)
            return d.diskPath;
    }
    return def;
}

int GetInsertMuiscListIndex(int diskID, bool afterOwn)
{
    QSet<int> before;
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (d.diskID == diskID) {
            if (afterOwn)
                before.insert(d.diskID);
            break;
        }
        before.insert(d.diskID);
    }
    int index = 0;
    for (const MediaObjectInfo &m : qAsConst(mediaObjectInfoList)) {
        if (before.contains(m.diskID))
            ++index;
    }
    return index;
}

QString get_DirTableName(const DiskInfo *disk)
{
    return QStringLiteral("pre_diskdir") + QString::number(disk->musicTableID);
}

QString get_MusicTableName(const DiskInfo *disk)
{
    return QStringLiteral("pre_diskmusic") + QString::number(disk->musicTableID);
}
