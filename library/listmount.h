#pragma once
// ListMount: the thread that notices USB volumes as they come and go. Every
// 700 ms it compares the system's mounted volumes with the last poll,
// recognises each new USB volume in the library by its file-system type and
// total size, and announces the volumes that appear and disappear. Every
// 3.5 s it reads the USB bus (lsusb) to warn about attached devices that are
// not storage.
//
// UsingUSBDiskList belongs to the GUI thread: the poll keeps its own copy
// and hands every change to the GUI thread ahead of the signal that
// announces it, so receivers of the signals see the list already changed.

#include "records.h"

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QSet>
#include <QStorageInfo>
#include <QString>
#include <QThread>

#include <atomic>

class DataBase;

// One device of the USB bus as lsusb lists it.
struct USBInfo {
    QString line;
    bool isStorage = false;
    int interfaceClass = -1; // of its first interface; -1 when unknown
};

class ListMount : public QThread
{
    Q_OBJECT

public:
    explicit ListMount(QObject *parent = nullptr);
    ~ListMount() override;

    // Polls do nothing until the library is set.
    void setDataBase(DataBase *db) { m_db = db; }
    // Ends run() within one polling period.
    void stop() { m_quit = true; }

    // Poll thread. Duplicate and sanity check of a volume about to be used;
    // may set status to 0 (scan again from scratch).
    bool Check_DiskPath(DiskInfo disk, int &status);
    // The most USB volumes in use at once (6, one more while a replaced
    // mount point is still listed).
    int volumeLimit() const { return m_limit; }

    // The class number of the first interface in "lsusb -v" output filtered
    // to its bInterfaceClass lines; -1 when there is none.
    static int interfaceClass(const QString &verbose);
    // "vendor:product" of an lsusb line (the 9 characters after "ID ").
    static QString usbgetpidvid(const QString &line);

public slots:
    // Both run in the poll thread (or in a caller that drives the polls
    // itself, as the tests do); never connect them to signals.
    void list_mount();
    void Slot_USB_Info();

signals:
    void sig_path_added(DiskInfo disk);
    void sig_path_removed(DiskInfo disk);
    void sig_path_join(DiskInfo disk);
    void sig_checkDisk(bool added);
    void sig_initmusiclist();
    void sig_limited();
    void sig_readingUSB();
    void sig_MacNotSupport(bool notSupported);
    void sig_RereadMuiscList();
    void sig_MediaPathChanged(DiskInfo old);
    void sig_disk_insert(DiskInfo disk);

protected:
    void run() override;

private:
    void addVolume(QStorageInfo volume, bool &announced);
    DiskInfo makeDiskInfo(const QStorageInfo &volume) const;
    void afterKnownVolume(const DiskInfo &disk);
    void forceOut(const QString &mountPoint);
    void executeCmd(const QString &cmd);
    bool Is_Storage_Info(const QString &line, int *interfaceClassOut);
    void InitUSBnum(const QString &output);
    void removeDev(const QString &output);
    int getusbnum(const QString &output) const;
    // UsingUSBDiskList edits, applied in the GUI thread.
    void publishAdd(const DiskInfo &disk);
    void publishRemove(const QString &mountPoint);
    template <typename F>
    void inGuiThread(F f)
    {
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
    }

    std::atomic<DataBase *> m_db{nullptr};
    std::atomic<bool> m_quit{false};
    std::atomic<int> m_limit{6};

    // Poll thread only.
    QList<QStorageInfo> m_seen;           // every volume of the last poll
    QList<QStorageInfo> m_accepted;       // USB volumes counted against the limit
    QList<DiskInfo> m_toAnnounce;         // added in this poll, not yet announced
    QList<DiskInfo> m_mounted;            // the poll's copy of UsingUSBDiskList
    QHash<QString, QByteArray> m_devices; // mount point -> device
    QSet<QString> m_replaced;             // old mount points of volumes seen again elsewhere
    int m_arrivals = 0;                   // arrival numbers, increasing
    QList<USBInfo> m_usb;
    int m_usbLines = 0;
    bool m_usbFirst = true;
};
