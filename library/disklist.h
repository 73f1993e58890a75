#pragma once
// Free functions on the mounted volumes (UsingUSBDiskList), each walking the
// list in its order: port 3 first, then 1, then 2; by arrival within a port.

#include "records.h"

#include <QString>

int get_USBID(const QString &path);         // 1..3 for USBPath_Prefix + "usb-storage_N", else 0
QString get_StorageID(const QString &path); // the partition folder of a mount point
int get_DiskIDFromPath(const QString &path);
int get_TableIDFromPath(const QString &path);
bool DiskInfo_Compare(const DiskInfo &disk);    // a volume with this disk id is mounted
bool Check_DiskPath_Exist(const QString &path); // a volume is mounted exactly here
bool Check_USBDisk_hasSongs();
void Update_USBDisk_SongExist(const DiskInfo &disk, bool hasSongs);
bool compareDiskListData(const DiskInfo &a, const DiskInfo &b);
QString get_DiskPathFromRowID(int diskID, const QString &def = QString());
// Where a volume's songs start (afterOwn: end) in the play list, whose
// volumes stand in blocks in the order of UsingUSBDiskList.
int GetInsertMuiscListIndex(int diskID, bool afterOwn);

// "pre_diskdir" / "pre_diskmusic" + the volume's table slot.
QString get_DirTableName(const DiskInfo *disk);
QString get_MusicTableName(const DiskInfo *disk);
