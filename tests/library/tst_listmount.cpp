// The volume poller on real loop-mounted ext4 images in a sandbox: order of
// the mounted volumes, volumes that are not USB sticks, the volume limit,
// a stick remounted elsewhere, removal, recognition, the duplicate and
// sanity checks of a volume, and the USB device monitor.
#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "librarysandbox.h"
#include "listmount.h"
#include "needroot.h"
#include "platform.h"
#include "scanfixtures.h"

#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

class TstListMount : public QObject
{
    Q_OBJECT

private:
    LibrarySandbox *m_lib = nullptr;
    TestSandbox *m_sb = nullptr; // m_lib's
    DataBase *m_db = nullptr;    // m_lib's
    int m_images = 0;

    // A stick image of its own size (so it is a volume of its own).
    QString image(const QString &label = QString())
    {
        const QString src = m_sb->dir() + QStringLiteral("/src");
        if (!QFileInfo::exists(src + "/a.mp3") && !ScanFixtures::tone(src + "/a.mp3"))
            return QString();
        const QString img = m_sb->dir() + QStringLiteral("/images/stick%1.img").arg(++m_images);
        QDir().mkpath(QFileInfo(img).absolutePath());
        return ScanFixtures::makeStick(img, src, 2 + m_images, label) ? img : QString();
    }

    QString insert(const QString &img, int port, const QString &part = QStringLiteral("sda1"))
    {
        bool ok = false;
        const QString mp =
            ScanFixtures::usb(*m_sb, {"insert", img, "--port", QString::number(port), "--partition", part}, &ok);
        return ok ? mp : QString();
    }

    bool remove(int port, const QString &part = QStringLiteral("sda1"))
    {
        bool ok = false;
        ScanFixtures::usb(*m_sb, {"remove", "--port", QString::number(port), "--partition", part}, &ok);
        return ok;
    }

    // One poll, then the list changes it handed to this (the GUI) thread.
    static void poll(ListMount &lm)
    {
        lm.list_mount();
        QCoreApplication::processEvents();
    }

    static QStringList paths()
    {
        QStringList out;
        for (const DiskInfo &d : qAsConst(UsingUSBDiskList))
            out << d.diskPath;
        return out;
    }

    QString mp(int port, const QString &part = QStringLiteral("sda1")) const
    {
        return USBPath_Prefix + QStringLiteral("usb-storage_%1/%2").arg(port).arg(part);
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void orderOfVolumes();
    void otherVolumesAreIgnored();
    void seventhVolumeIsLimited();
    void sameStickUnderNewMountPoint();
    void recognisedWhenBack();
    void checkDiskPath_data();
    void checkDiskPath();
    void interfaceClass_data();
    void interfaceClass();
    void usbDeviceMonitor();
};

void TstListMount::initTestCase()
{
    m_lib = new LibrarySandbox();
    QVERIFY(m_lib->isValid());
    m_sb = &m_lib->sandbox();
    m_db = m_lib->db();
}

void TstListMount::cleanupTestCase()
{
    delete m_lib; // unmounts and detaches what a failed test left
}

void TstListMount::init()
{
    UsingUSBDiskList.clear();
}

void TstListMount::cleanup()
{
    // Every test leaves the media folder without sticks.
    for (const QStorageInfo &s : QStorageInfo::mountedVolumes()) {
        const QString root = s.rootPath();
        if (root.startsWith(USBPath_Prefix + "usb-storage_")) {
            const QString rel = root.mid(USBPath_Prefix.size() + 12);
            remove(rel.section('/', 0, 0).toInt(), rel.section('/', 1));
        }
    }
}

// Port 3 first, then 1, then 2; by arrival within a port; announced in
// that order too when they come in one poll.
void TstListMount::orderOfVolumes()
{
    VDX_NEED_ROOT("USB images on loop devices, mounted");
    ListMount lm;
    lm.setDataBase(m_db);
    QSignalSpy added(&lm, &ListMount::sig_path_added);
    QSignalSpy removed(&lm, &ListMount::sig_path_removed);
    QSignalSpy checked(&lm, &ListMount::sig_checkDisk);
    poll(lm);
    QVERIFY(added.isEmpty());

    const QString a = image(QStringLiteral("PORT TWO")), b = image(), c = image(), d = image();
    QVERIFY(!a.isEmpty() && !b.isEmpty() && !c.isEmpty() && !d.isEmpty());
    QVERIFY(!insert(a, 2).isEmpty());
    QVERIFY(!insert(b, 3).isEmpty());
    poll(lm);
    QCOMPARE(added.size(), 2);
    QCOMPARE(added.at(0).at(0).value<DiskInfo>().diskPath, mp(3));
    QCOMPARE(added.at(1).at(0).value<DiskInfo>().diskPath, mp(2));
    QCOMPARE(checked.size(), 1);
    QCOMPARE(checked.first().at(0).toBool(), true);

    QVERIFY(!insert(c, 1, "sdb1").isEmpty());
    poll(lm);
    QVERIFY(!insert(d, 1, "sda1").isEmpty());
    poll(lm);
    QCOMPARE(paths(), (QStringList{mp(3), mp(1, "sdb1"), mp(1, "sda1"), mp(2)}));

    const DiskInfo two = UsingUSBDiskList.last();
    QCOMPARE(two.diskName, QStringLiteral("PORT TWO"));
    QCOMPARE(two.port, 2);
    QCOMPARE(two.musicTableID, 2);
    QCOMPARE(two.storageId, QStringLiteral("sda1"));
    QCOMPARE(two.fileSystemType, QStringLiteral("ext4"));
    QVERIFY(two.diskID > 0 && two.diskSizes > 0 && two.diskAvailSize > 0);
    QCOMPARE(m_db->get_DiskState(two), 0);
    QCOMPARE(g_TempData.lastDiskKey.get(), UsingUSBDiskList.at(2).diskAvailSize);

    QVERIFY(remove(1, "sdb1"));
    poll(lm);
    QCOMPARE(removed.size(), 1);
    const DiskInfo gone = removed.first().at(0).value<DiskInfo>();
    QCOMPARE(gone.diskPath, mp(1, "sdb1"));
    QVERIFY(gone.diskID > 0);
    QCOMPARE(checked.last().at(0).toBool(), false);
    QCOMPARE(paths(), (QStringList{mp(3), mp(1, "sda1"), mp(2)}));
}

// A volume under the media prefix whose folder does not begin "usb" (a
// memory-card partition) is never taken.
void TstListMount::otherVolumesAreIgnored()
{
    VDX_NEED_ROOT("USB images on loop devices, mounted");
    const QString img = image();
    QVERIFY(!img.isEmpty());
    QByteArray dev;
    QVERIFY(ScanFixtures::run("losetup", {"--find", "--show", img}, &dev));
    dev = dev.trimmed();
    QFile loops(m_sb->dir() + "/var/run/loops");
    QVERIFY(loops.open(QIODevice::Append));
    loops.write(dev + '\n');
    loops.close();
    const QString card = USBPath_Prefix + "mmcblk1p1";
    QVERIFY(QDir().mkpath(card));
    QVERIFY(ScanFixtures::run("/bin/mount", {"-o", "ro", QString::fromLatin1(dev), card}));

    const int before = m_db->read_DiskList().size();
    ListMount lm;
    lm.setDataBase(m_db);
    QSignalSpy added(&lm, &ListMount::sig_path_added);
    poll(lm);
    QVERIFY(added.isEmpty());
    QVERIFY(UsingUSBDiskList.isEmpty());
    QCOMPARE(m_db->read_DiskList().size(), before);
    QVERIFY(ScanFixtures::run("/bin/umount", {card}));
}

void TstListMount::seventhVolumeIsLimited()
{
    VDX_NEED_ROOT("USB images on loop devices, mounted");
    ListMount lm;
    lm.setDataBase(m_db);
    QSignalSpy limited(&lm, &ListMount::sig_limited);
    QSignalSpy added(&lm, &ListMount::sig_path_added);
    const QStringList parts{"sda1", "sdb1", "sdc1"};
    for (int i = 0; i < 7; ++i) {
        const QString img = image();
        QVERIFY(!img.isEmpty());
        QVERIFY(!insert(img, 1 + i % 3, parts.at(i / 3)).isEmpty());
    }
    poll(lm);
    QCOMPARE(limited.size(), 1);
    QCOMPARE(added.size(), 6);
    QCOMPARE(UsingUSBDiskList.size(), 6);
    QCOMPARE(lm.volumeLimit(), 6);
    // The extra volume is not counted: after one leaves, one more fits.
    const QString leaving = UsingUSBDiskList.first().diskPath.mid(USBPath_Prefix.size() + 12);
    QVERIFY(remove(leaving.section('/', 0, 0).toInt(), leaving.section('/', 1)));
    poll(lm);
    const QString next = image();
    QVERIFY(!insert(next, 1, "sdd1").isEmpty());
    poll(lm);
    QCOMPARE(limited.size(), 1);
    QCOMPARE(UsingUSBDiskList.size(), 6);
    QVERIFY(paths().contains(mp(1, "sdd1")));
}

// The same stick appearing under a new mount point while its old one is
// still listed: the old mount point is unmounted and removed, the new one
// takes its place, and no removal is announced for it.
void TstListMount::sameStickUnderNewMountPoint()
{
    VDX_NEED_ROOT("USB images on loop devices, mounted");
    ListMount lm;
    lm.setDataBase(m_db);
    QSignalSpy changed(&lm, &ListMount::sig_MediaPathChanged);
    QSignalSpy removed(&lm, &ListMount::sig_path_removed);
    QSignalSpy added(&lm, &ListMount::sig_path_added);
    const QString img = image();
    QVERIFY(!insert(img, 1).isEmpty());
    poll(lm);
    const int id = UsingUSBDiskList.value(0).diskID;
    QVERIFY(!insert(img, 2).isEmpty()); // the same loop device again
    poll(lm);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().at(0).value<DiskInfo>().diskPath, mp(1));
    QCOMPARE(paths(), QStringList{mp(2)});
    QCOMPARE(UsingUSBDiskList.first().diskID, id);
    QCOMPARE(added.size(), 2);
    QVERIFY(!QFileInfo::exists(mp(1)));
    QCOMPARE(lm.volumeLimit(), 7);
    poll(lm); // the old mount has gone from the system's list
    QVERIFY(removed.isEmpty());
    QCOMPARE(lm.volumeLimit(), 6);
    QCOMPARE(paths(), QStringList{mp(2)});
}

// A stick seen before keeps its disk id; a finished scan's status 3 (gone)
// becomes 2 again.
void TstListMount::recognisedWhenBack()
{
    VDX_NEED_ROOT("USB images on loop devices, mounted");
    ListMount lm;
    lm.setDataBase(m_db);
    const QString img = image();
    QVERIFY(!insert(img, 3).isEmpty());
    poll(lm);
    const DiskInfo first = UsingUSBDiskList.value(0);
    // As after a finished scan: its song in the library, status 3 once gone.
    AudioInfo song;
    song.title = QStringLiteral("a");
    song.fileExt = QStringLiteral("mp3");
    song.filePath = first.diskPath + "/a.mp3";
    DiskInfo folder = first;
    folder.diskSizes = m_db->insert_Dir(get_DirTableName(&first), 0, QStringLiteral("USBBASEROOTPATH"), first.diskID);
    QVERIFY(m_db->insert_Music(get_MusicTableName(&first), &song, &folder));
    m_db->update_DiskInfo(first, 3, QStringLiteral("status"));
    QVERIFY(remove(3));
    poll(lm);
    QVERIFY(UsingUSBDiskList.isEmpty());
    QVERIFY(!insert(img, 3).isEmpty());
    poll(lm);
    QCOMPARE(UsingUSBDiskList.value(0).diskID, first.diskID);
    QCOMPARE(m_db->get_DiskState(first), 2);

    // The log: the volume's arrival (new, then known with its song), its removal.
    const QString log = m_sb->readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"));
    const QString volume = QStringLiteral("I vdx.library: volume %1 ").arg(first.diskID);
    const QString mounted = volume + QStringLiteral("mounted at %1: ").arg(first.diskPath);
    QVERIFY2(log.contains(QRegularExpression(QRegularExpression::escape(mounted)
                                             + "\"[^\"]*\", ext4, \\d+ bytes, \\d+ free; new, to be scanned\r\n")),
             qPrintable(log));
    QVERIFY(log.contains(volume + QStringLiteral("removed from %1\r\n").arg(first.diskPath)));
    QVERIFY(log.contains(
        QRegularExpression(QRegularExpression::escape(mounted) + ".* free; known, 1 songs in the library\r\n")));
}

void TstListMount::checkDiskPath_data()
{
    QTest::addColumn<bool>("rootEntries");
    QTest::addColumn<bool>("songs");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("statusAfter");
    QTest::newRow("read before, files, no songs: start over") << true << false << 2 << true << 0;
    QTest::newRow("read before, files and songs") << true << true << 2 << true << 2;
    QTest::newRow("root shows nothing, songs known: refused") << false << true << 2 << false << 2;
    QTest::newRow("empty volume") << false << false << 2 << true << 2;
}

void TstListMount::checkDiskPath()
{
    QFETCH(bool, rootEntries);
    QFETCH(bool, songs);
    QFETCH(int, status);
    QFETCH(bool, accepted);
    QFETCH(int, statusAfter);
    DiskInfo d;
    d.diskPath = mp(3, QStringLiteral("plain%1").arg(++m_images));
    d.port = 3;
    d.fileSystemType = QStringLiteral("ext4");
    d.diskSizes = 777000 + m_images;
    d.diskAvailSize = 1000;
    QVERIFY(QDir().mkpath(d.diskPath));
    QVERIFY(m_db->insert_DiskList(d, "ext4", QStringLiteral("X"), &d.diskID));
    d.musicTableID = 3;
    const int folder = m_db->insert_Dir(get_DirTableName(&d), 0, QStringLiteral("USBBASEROOTPATH"), d.diskID);
    QVERIFY(folder > 0);
    if (rootEntries)
        QVERIFY(ScanFixtures::writeFile(d.diskPath + "/readme.txt", "x"));
    if (songs) {
        AudioInfo a;
        a.title = QStringLiteral("s");
        a.fileExt = QStringLiteral("mp3");
        a.filePath = d.diskPath + "/s.mp3";
        DiskInfo f = d;
        f.diskSizes = folder;
        QVERIFY(m_db->insert_Music(get_MusicTableName(&d), &a, &f));
    }

    ListMount lm;
    lm.setDataBase(m_db);
    QSignalSpy changed(&lm, &ListMount::sig_MediaPathChanged);
    int st = status;
    QCOMPARE(lm.Check_DiskPath(d, st), accepted);
    QCOMPARE(st, statusAfter);
    QCOMPARE(changed.size(), accepted ? 0 : 1);
    // Refused: its (empty) mount point is gone. Starting over: no folder
    // keeps a readOver mark.
    QCOMPARE(QFileInfo::exists(d.diskPath), accepted);
    QVector<MediaInfo> dirs;
    m_db->Get_DBDirList_Path(&dirs, &d);
    QCOMPARE(dirs.isEmpty(), statusAfter == 0);
}

void TstListMount::interfaceClass_data()
{
    QTest::addColumn<QString>("verbose");
    QTest::addColumn<int>("cls");
    QTest::newRow("storage") << "      bInterfaceClass         8 Mass Storage\n" << 8;
    QTest::newRow("hub") << "      bInterfaceClass         9 Hub\n" << 9;
    QTest::newRow("two digits") << "      bInterfaceClass        10 CDC Data\n" << 10;
    QTest::newRow("vendor") << "      bInterfaceClass       255 Vendor Specific Class\n" << 255;
    QTest::newRow("first interface counts")
        << "      bInterfaceClass         6 Imaging\n      bInterfaceClass       255 Vendor Specific Class\n"
        << 6;
    QTest::newRow("nothing") << "" << -1;
}

void TstListMount::interfaceClass()
{
    QFETCH(QString, verbose);
    QFETCH(int, cls);
    QCOMPARE(ListMount::interfaceClass(verbose), cls);
}

// Through the sandbox's lsusb: a device the player cannot use is reported
// until it is gone; storage devices and root hubs never are.
void TstListMount::usbDeviceMonitor()
{
    ListMount lm;
    QSignalSpy mac(&lm, &ListMount::sig_MacNotSupport);
    lm.Slot_USB_Info();
    QVERIFY(mac.isEmpty());
    bool ok = false;
    ScanFixtures::usb(*m_sb, {"devices", "add", "0781:5567", "--class", "8", "--name", "Stick"}, &ok);
    QVERIFY(ok);
    lm.Slot_USB_Info();
    QVERIFY(mac.isEmpty());
    ScanFixtures::usb(*m_sb, {"devices", "add", "0bda:8153", "--class", "255", "--name", "Ethernet"}, &ok);
    QVERIFY(ok);
    lm.Slot_USB_Info();
    QCOMPARE(mac.size(), 1);
    QCOMPARE(mac.last().at(0).toBool(), true);
    QVERIFY(m_sb->readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"))
                .contains(QStringLiteral("W vdx.library: USB device 0bda:8153 cannot be used: interface class 255 is "
                                         "neither mass storage nor a hub")));
    ScanFixtures::usb(*m_sb, {"devices", "remove", "0781:5567"}, &ok);
    lm.Slot_USB_Info();
    QCOMPARE(mac.size(), 1); // the unusable device is still there
    ScanFixtures::usb(*m_sb, {"devices", "remove", "0bda:8153"}, &ok);
    lm.Slot_USB_Info();
    QCOMPARE(mac.size(), 2);
    QCOMPARE(mac.last().at(0).toBool(), false);
}

QTEST_GUILESS_MAIN(TstListMount)
#include "tst_listmount.moc"
