#pragma once
// musiclist_forapp: the phone app's music lists. For every mounted disk it
// keeps an app list of folders and songs (built by walking the disk, CUE
// and SACD image tracks included) and caches it in a file per disk, so that
// a disk seen before is listed at once. The MCU protocol asks it for the
// disk list, for pages of a disk's songs and to play a song.
//
// Threads: set_scan_path, remove_appmusiclist and USB_Changed_Flag are
// called from the GUI thread; the walk runs in the service's own thread;
// the requests come from the MCU protocol. The lists, the queue and the
// request state are guarded by m_lock.

#include "applist.h"
#include "applistservice.h"
#include "records.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QThread>

#include <atomic>
#include <functional>

class musiclist_forapp : public QThread, public AppListService
{
    Q_OBJECT

public:
    explicit musiclist_forapp(QObject *parent = nullptr);
    ~musiclist_forapp() override;

    // Queues a disk for (re)building and starts the thread; a valid cache
    // serves the disk meanwhile.
    void set_scan_path(const DiskInfo &disk);
    // Drops a disk's app list (and its walk, if it is being walked).
    void remove_appmusiclist(const DiskInfo &disk);
    // Loads a disk's list from its cache file when the cache is still valid
    // (same available size); clears a stale or damaged one.
    bool Check_disk_ini_file(const DiskInfo &disk);
    // Lists being rebuilt (true) or ready (false): the USB link record the
    // change scanner reports to the app.
    void USB_Changed_Flag(bool changing);
    // Drops the lists of disks no longer in `mounted`.
    void keepOnly(const QList<DiskInfo> &mounted);
    void stopService();
    // How the walk's end tells that the disk is still mounted (default: its
    // mount point is one).
    void setMountCheck(std::function<bool(const QString &)> check);

    // AppListService (any thread).
    bool hasDisks() const override;
    int Get_Forapp_DiskList(QByteArray *payload) override;
    int Get_Forapp_MuiscList(int disk, int start, QByteArray *payload) override;
    int APP_Select_SingleSong(int disk, int song) override;
    int Get_curplay_Index(int *folder) override;

    // A copy of the lists, in disk order.
    QList<AppMuiscList> lists() const;

    // Walks a disk (or any folder as one) into an app list: folders in
    // walk order, each with its songs; the content hash into *hash. False
    // when stopped (stop set) or the folder is gone.
    static bool buildList(const DiskInfo &disk, AppMuiscList *list, QByteArray *hash,
                          const std::atomic<bool> *stop = nullptr);
    static QString cacheFileName(const DiskInfo &disk);

signals:
    void sig_PlayURL(MediaObjectInfo item);
    void sig_RescanDisk(DiskInfo disk);
    void SendUSBStatus(int code);
    void sig_MoreUSB();
    void updataIndex_forapp();

protected:
    void run() override;

private:
    void storeList(const AppMuiscList &list);
    int listIndexOf(const QString &diskPath) const;

    mutable QMutex m_lock;
    QList<AppMuiscList> m_lists; // disk order: port 3, 1, 2, then arrival
    QList<DiskInfo> m_queue;     // disks waiting for their walk
    QString m_walking;           // mount point being walked ("" none)
    QString m_requested;         // disk of the last first-page request
    bool m_firstAfterChange = false;
    bool m_active = false;
    QElapsedTimer m_lastSelect; // the last song chosen by the app, and when
    int m_lastSelectDisk = -1;
    int m_lastSelectSong = -1;                         // the thread takes the queue (it will look at it again)
    std::atomic<bool> m_stop{false};                   // ends the service
    std::atomic<bool> m_dropWalk{false};               // the disk being walked went away
    std::function<bool(const QString &)> m_mountCheck; // set before the first walk
};
