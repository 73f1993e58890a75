#include "listmount.h"

#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "logging.h"
#include "mediapath.h"
#include "platform.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kPollMs = 700;
constexpr int kPollsPerBusCheck = 5;
constexpr int kMaxUsing = 7;

bool sameVolume(const QStorageInfo &a, const QStorageInfo &b)
{
    return a.device() == b.device() && a.rootPath() == b.rootPath();
}

int indexOfVolume(const QList<QStorageInfo> &list, const QStorageInfo &v)
{
    for (int i = 0; i < list.size(); ++i) {
        if (sameVolume(list.at(i), v))
            return i;
    }
    return -1;
}

bool isMountPoint(const QString &path)
{
    const QStorageInfo s(path);
    return s.isValid() && QDir::cleanPath(s.rootPath()) == QDir::cleanPath(path);
}

} // namespace

ListMount::ListMount(QObject *parent)
    : QThread(parent)
{}

ListMount::~ListMount()
{
    stop();
    wait();
}

void ListMount::run()
{
    list_mount();
    int polls = 0;
    while (!m_quit) {
        for (int slept = 0; slept < kPollMs && !m_quit; slept += 50)
            QThread::msleep(50);
        if (m_quit)
            break;
        list_mount();
        if (++polls % kPollsPerBusCheck == 0)
            Slot_USB_Info();
    }
}

void ListMount::publishAdd(const DiskInfo &disk)
{
    inGuiThread([disk] {
        UsingUSBDiskList.append(disk);
        std::stable_sort(UsingUSBDiskList.begin(), UsingUSBDiskList.end(), compareDiskListData);
    });
}

void ListMount::publishRemove(const QString &mountPoint)
{
    inGuiThread([mountPoint] {
        UsingUSBDiskList.erase(std::remove_if(UsingUSBDiskList.begin(), UsingUSBDiskList.end(),
                                              [&](const DiskInfo &d) { return d.diskPath == mountPoint; }),
                               UsingUSBDiskList.end());
    });
}

DiskInfo ListMount::makeDiskInfo(const QStorageInfo &volume) const
{
    DiskInfo d;
    d.diskPath = volume.rootPath();
    d.diskName = Platform::volumeLabel(d.diskPath, volume.name());
    d.fileSystemType = QString::fromLatin1(volume.fileSystemType());
    d.storageId = get_StorageID(d.diskPath);
    d.diskSizes = volume.bytesTotal();
    d.diskAvailSize = volume.bytesAvailable();
    d.port = get_USBID(d.diskPath.left(d.diskPath.lastIndexOf(QLatin1Char('/'))));
    return d;
}

void ListMount::list_mount()
{
    if (!m_db)
        return;
    QList<QStorageInfo> now;
    const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &s : volumes) {
        if (s.isValid() && s.isReady() && s.fileSystemType() != "tmpfs" && s.rootPath() != QLatin1String("/"))
            now.append(s);
    }
    // Volumes are compared one by one, not by count: a stick remounted
    // between two polls leaves the count unchanged.
    QList<QStorageInfo> added;
    for (const QStorageInfo &s : qAsConst(now)) {
        if (indexOfVolume(m_seen, s) < 0)
            added.append(s);
    }
    QList<QStorageInfo> gone;
    for (const QStorageInfo &s : qAsConst(m_seen)) {
        if (indexOfVolume(now, s) < 0)
            gone.append(s);
    }

    if (!added.isEmpty()) {
        bool announced = false;
        for (const QStorageInfo &s : qAsConst(added))
            addVolume(s, announced);
        for (const DiskInfo &d : qAsConst(m_toAnnounce))
            emit sig_path_added(d);
        m_toAnnounce.clear();
        if (announced)
            emit sig_checkDisk(true);
    }

    if (!gone.isEmpty()) {
        bool removed = false;
        for (const QStorageInfo &s : qAsConst(gone)) {
            const QString root = s.rootPath();
            m_seen.removeAt(indexOfVolume(m_seen, s));
            const int accepted = indexOfVolume(m_accepted, s);
            if (accepted >= 0)
                m_accepted.removeAt(accepted);
            m_devices.remove(root);
            // A mount point already replaced by the same volume elsewhere:
            // its place in the limit goes back.
            if (m_replaced.remove(root)) {
                m_limit = std::max(6, m_limit - 1);
                continue;
            }
            const auto it =
                std::find_if(m_mounted.begin(), m_mounted.end(), [&](const DiskInfo &d) { return d.diskPath == root; });
            if (it == m_mounted.end())
                continue;
            const DiskInfo disk = *it;
            m_mounted.erase(it);
            qCInfo(lcLibrary).noquote()
                << QStringLiteral("volume %1 removed from %2").arg(QString::number(disk.diskID), root);
            publishRemove(root);
            emit sig_path_removed(disk);
            removed = true;
        }
        if (removed)
            emit sig_checkDisk(false);
    }
}

void ListMount::addVolume(QStorageInfo s, bool &announced)
{
    DataBase *db = m_db;
    m_seen.append(s);
    // Only volumes under the media prefix whose folder begins "usb" hold music.
    if (!s.rootPath().startsWith(USBPath_Prefix + QStringLiteral("usb")))
        return;
    s.refresh();
    qCDebug(lcLibrary) << "size:" << s.bytesTotal();
    qCDebug(lcLibrary) << "availableSize:" << s.bytesAvailable();
    DiskInfo disk = makeDiskInfo(s);
    const QByteArray fsType = s.fileSystemType();
    int rowid = 0;
    int slot = 0;
    int changed = 0;
    int status = db->Is_DiskExist(disk, fsType, rowid, slot, changed);
    disk.diskID = rowid;
    disk.musicTableID = slot;

    // A refused volume does not take a place in the limit.
    if (indexOfVolume(m_accepted, s) < 0) {
        if (m_accepted.size() >= m_limit) {
            qCInfo(lcLibrary).noquote()
                << QStringLiteral("volume at %1 not taken: %2 volumes is the limit").arg(disk.diskPath).arg(m_limit);
            emit sig_limited();
            return;
        }
        m_accepted.append(s);
    }
    auto refuse = [&] { m_accepted.removeAt(indexOfVolume(m_accepted, s)); };
    if (m_mounted.size() >= kMaxUsing) {
        refuse();
        return;
    }
    if (status > 2) {
        db->update_DiskInfo(disk, 2, QStringLiteral("status"));
    } else if (status == -1) {
        int newRow = 0;
        if (!db->insert_DiskList(disk, fsType, disk.diskName, &newRow) || newRow <= 0) {
            qCInfo(lcLibrary).noquote() << QStringLiteral("volume at %1 not taken: too small, or the library "
                                                          "refused it")
                                               .arg(disk.diskPath);
            refuse(); // too small to be a volume, or the library refused it
            return;
        }
        disk.diskID = newRow;
        disk.musicTableID = disk.port >= 1 && disk.port <= 3 ? disk.port : 1;
    }
    m_devices.insert(disk.diskPath, s.device());
    int checked = status;
    if (!Check_DiskPath(disk, checked)) {
        refuse();
        return;
    }
    const QString state = status == -1 ? QStringLiteral("new, to be scanned")
                          : changed    ? QStringLiteral("its contents changed, to be scanned again")
                          : checked < 2
                              ? QStringLiteral("known, its scan to be resumed")
                              : QStringLiteral("known, %1 songs in the library").arg(db->Count_SongsFromDiskID(disk));
    // One arg() call: a label holding "%1" stays as it is.
    qCInfo(lcLibrary).noquote() << QStringLiteral("volume %1 mounted at %2: \"%3\", %4, %5 bytes, %6 free; %7")
                                       .arg(QString::number(disk.diskID), disk.diskPath, disk.diskName,
                                            QString::fromLatin1(fsType), QString::number(disk.diskSizes),
                                            QString::number(disk.diskAvailSize), state);
    disk.arrivalNo = m_arrivals++;
    g_TempData.lastDiskKey = disk.diskAvailSize;
    m_mounted.append(disk);
    std::stable_sort(m_mounted.begin(), m_mounted.end(), compareDiskListData);
    publishAdd(disk);
    emit sig_disk_insert(disk);
    if (status >= 0 && changed == 0)
        afterKnownVolume(disk);
    m_toAnnounce.append(disk);
    std::stable_sort(m_toAnnounce.begin(), m_toAnnounce.end(), compareDiskListData);
    announced = true;
}

// A volume seen before, its contents unchanged: the play list may take it back.
void ListMount::afterKnownVolume(const DiskInfo &disk)
{
    const int type = g_CurMusicPlay.musiclistType;
    if ((type == ListDirectory || type == ListSearch) && disk.diskID == g_CurMusicPlay.curDiskID
        && g_CurMusicPlay.playState != PlayPlaying) {
        inGuiThread([this] { QTimer::singleShot(2000, this, [this] { emit sig_initmusiclist(); }); });
    } else if (type == ListSearch) {
        emit sig_RereadMuiscList();
    } else if (type == ListAllSongs) {
        // The play list belongs to the GUI thread: look at it there.
        inGuiThread([this, disk] {
            if (mediaObjectInfoList.isEmpty())
                return;
            g_TempData.diskJoinPending = true;
            emit sig_path_join(disk);
        });
    }
}

bool ListMount::Check_DiskPath(DiskInfo disk, int &status)
{
    DataBase *db = m_db;
    // The same volume under a new mount point (same sizes, and the old
    // mount's device gone or the same): the old mount point goes.
    const QByteArray device = m_devices.value(disk.diskPath);
    for (int i = 0; i < m_mounted.size();) {
        const DiskInfo old = m_mounted.at(i);
        const QByteArray oldDevice = m_devices.value(old.diskPath);
        const bool sameDevice = device.isEmpty() || oldDevice.isEmpty() || oldDevice == device
                                || !QFileInfo::exists(QString::fromLocal8Bit(oldDevice));
        if (old.diskPath == disk.diskPath || old.diskSizes != disk.diskSizes || old.diskAvailSize != disk.diskAvailSize
            || !sameDevice) {
            ++i;
            continue;
        }
        emit sig_MediaPathChanged(old);
        m_mounted.removeAt(i);
        publishRemove(old.diskPath);
        m_limit += 1;
        m_replaced.insert(old.diskPath);
        forceOut(old.diskPath);
    }

    const int songs = db ? db->Count_SongsFromDiskID(disk) : 0;
    const int entries = GetRootFilesNumbers(disk.diskPath);
    if (status > 1 && entries > 0 && songs == 0) {
        // Read to its end before, yet no song in the library: start over,
        // which needs the folders' readOver marks gone too.
        status = 0;
        if (db) {
            db->del_TableData(get_DirTableName(&disk), disk.diskID);
            db->update_DiskInfo(disk, 0, QStringLiteral("status"));
        }
    }
    if (entries == 0 && songs > 0) {
        // A mount that does not show its files.
        emit sig_MediaPathChanged(disk);
        forceOut(disk.diskPath);
        return false;
    }
    return true;
}

void ListMount::forceOut(const QString &mountPoint)
{
    executeCmd(QStringLiteral("umount -vfl ") + shellQuote(mountPoint));
    // Removing the folder of a volume still mounted would delete its files.
    if (!isMountPoint(mountPoint))
        executeCmd(QStringLiteral("rm -r ") + shellQuote(mountPoint));
    executeCmd(QStringLiteral("sync"));
}

void ListMount::executeCmd(const QString &cmd)
{
    executeLinuxCmd(cmd, 2000);
}
