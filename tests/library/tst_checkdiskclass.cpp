// The storage checker end to end, with its poller and scanner threads, on
// loop-mounted ext4 sticks in a sandbox: a stick is noticed, queued,
// scanned and recorded; pulled (during or after its scan) and inserted
// again it resumes without entering anything twice; new contents are
// rescanned; a stick remounted elsewhere keeps its song playing; and the
// default list, the current song's check.
#include "checkdiskclass.h"
#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "librarysandbox.h"
#include "listmount.h"
#include "needroot.h"
#include "platform.h"
#include "scanfixtures.h"
#include "scanner.h"
#include "sqltext.h"

#include <QSignalSpy>
#include <QtTest>

#include <sqlite3.h>
#include <unistd.h>

namespace {

// Scan start (6 s after the stick appears), the scan, the poll: generous.
constexpr int kScanMs = 40000;

} // namespace

class TstCheckDiskClass : public QObject
{
    Q_OBJECT

private:
    LibrarySandbox *m_lib = nullptr;
    TestSandbox *m_sb = nullptr; // m_lib's
    DataBase *m_db = nullptr;    // m_lib's
    CheckDiskClass *m_cdc = nullptr;
    int m_images = 0;

    QString mp(int port) const { return USBPath_Prefix + QStringLiteral("usb-storage_%1/sda1").arg(port); }

    QString stick(const QString &from, int sizeMB)
    {
        const QString img = m_sb->dir() + QStringLiteral("/images/s%1.img").arg(++m_images);
        QDir().mkpath(QFileInfo(img).absolutePath());
        return ScanFixtures::makeStick(img, from, sizeMB) ? img : QString();
    }

    bool insert(const QString &img, int port)
    {
        bool ok = false;
        ScanFixtures::usb(*m_sb, {"insert", img, "--port", QString::number(port)}, &ok);
        return ok;
    }

    bool remove(int port)
    {
        bool ok = false;
        ScanFixtures::usb(*m_sb, {"remove", "--port", QString::number(port)}, &ok);
        return ok;
    }

    DiskInfo mounted(int port) const
    {
        for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
            if (d.diskPath == mp(port))
                return d;
        }
        return DiskInfo();
    }

    int status(int diskID) const
    {
        DiskInfo d;
        d.diskID = diskID;
        return m_db->get_DiskState(d);
    }

    // (filePath, fileName) of every row of a volume, in rowid order.
    QStringList rows(int table, int diskID)
    {
        QStringList out;
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(MusicDataBaseName).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *st = nullptr;
        const QByteArray sql =
            QStringLiteral("SELECT filePath,fileName FROM pre_diskmusic%1 WHERE diskID=%2 ORDER BY rowid")
                .arg(table)
                .arg(diskID)
                .toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW)
                out << sqliteDescape(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))))
                           + QLatin1Char('|')
                           + sqliteDescape(
                               QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1))));
        }
        sqlite3_finalize(st);
        sqlite3_close_v2(db);
        return out;
    }

    static QStringList sorted(QStringList l)
    {
        l.sort();
        return l;
    }

    // A folder tree: folders of songs and one CUE sheet.
    QStringList tree(const QString &root, int folders, int perFolder)
    {
        QStringList expected;
        const QString base = m_sb->dir() + QStringLiteral("/base.mp3");
        if (!QFileInfo::exists(base) && !ScanFixtures::tone(base, {{"artist", "A"}}))
            return {};
        for (int f = 0; f < folders; ++f) {
            for (int n = 0; n < perFolder; ++n) {
                const QString rel = QStringLiteral("F%1/song%2.mp3").arg(f).arg(n);
                if (!ScanFixtures::copy(base, root + QLatin1Char('/') + rel))
                    return {};
                expected << rel + QLatin1Char('|') + QStringLiteral("song%1").arg(n);
            }
        }
        const QString last = QStringLiteral("F%1").arg(folders - 1);
        ScanFixtures::copy(base, root + QLatin1Char('/') + last + "/whole.mp3");
        ScanFixtures::cueSheet(root + QLatin1Char('/') + last + "/whole.cue", "whole.mp3", {"C1", "C2", "C3"});
        expected << last + "/whole.mp3|whole";
        for (const char *t : {"C1", "C2", "C3"})
            expected << last + "/whole.cue|" + QString::fromLatin1(t);
        return expected;
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void stickScannedPulledAndBack();
    void pulledDuringScanResumes();
    void newContentsAreRescanned();
    void remountedStickKeepsPlaying();
    void defaultList();
    void currentSongCheck();
};

void TstCheckDiskClass::initTestCase()
{
    m_lib = new LibrarySandbox();
    QVERIFY(m_lib->isValid());
    m_sb = &m_lib->sandbox();
    m_db = m_lib->db();
    m_cdc = new CheckDiskClass;
    m_cdc->setDataBase(m_db);
}

void TstCheckDiskClass::cleanupTestCase()
{
    delete m_cdc;
    delete m_lib;
}

void TstCheckDiskClass::init()
{
    g_CurMusicPlay.filePath = QString();
    g_CurMusicPlay.musiclistType = ListAllSongs;
    g_CurMusicPlay.playState = PlayStopped;
    mediaObjectInfoList.clear();
    m_cdc->setMusicScannerSpeed(0);
}

// Noticed, queued, scanned (status 0, then 2), pulled (3), back (2 again,
// nothing entered twice; its songs join the play list from the library).
void TstCheckDiskClass::stickScannedPulledAndBack()
{
    VDX_NEED_ROOT("USB images on loop devices, mounted");
    const QString src = m_sb->dir() + "/src1";
    const QStringList expected = tree(src, 3, 2);
    QVERIFY(!expected.isEmpty());
    const QString img = stick(src, 6);
    QSignalSpy diskChanged(m_cdc, &CheckDiskClass::diskChanged);
    QSignalSpy stopAlbum(m_cdc, &CheckDiskClass::sig_StopAblumScan);
    QSignalSpy album(m_cdc, &CheckDiskClass::setScanAblum);
    QSignalSpy listChanged(m_cdc, &CheckDiskClass::musiclistChanged);
    QSignalSpy dialout(m_cdc, &CheckDiskClass::dialoutDisk);
    QSignalSpy hide(m_cdc, &CheckDiskClass::hidePlayerGui);

    QVERIFY(insert(img, 1));
    QTRY_COMPARE_WITH_TIMEOUT(diskChanged.size(), 1, 5000);
    const DiskInfo d = mounted(1);
    QVERIFY(d.diskID > 0);
    QCOMPARE(m_cdc->scanQueue().size(), 1);
    QCOMPARE(status(d.diskID), 0);
    QTRY_COMPARE_WITH_TIMEOUT(status(d.diskID), 2, kScanMs);
    QVERIFY(m_cdc->scanQueue().isEmpty());
    QCOMPARE(sorted(rows(1, d.diskID)), sorted(expected));
    QCOMPARE(stopAlbum.size(), 1);
    QTRY_VERIFY(!album.isEmpty() && !listChanged.isEmpty());
    QCOMPARE(album.first().at(0).toBool(), false);
    QVERIFY(mounted(1).hasSongs);

    QVERIFY(remove(1));
    QTRY_COMPARE_WITH_TIMEOUT(dialout.size(), 1, 5000);
    QCOMPARE(dialout.first().at(0).toString(), d.diskPath);
    QVERIFY(!hide.isEmpty());
    QCOMPARE(status(d.diskID), 3);

    // Back, with an all-songs play list that still holds one of its songs.
    const MediaObjectInfo other{"mp3", "other", "/elsewhere/other.mp3", 9999};
    const MediaObjectInfo stale{"mp3", "song0", d.diskPath + "/F0/song0.mp3", d.diskID};
    mediaObjectInfoList = {other, stale};
    QVERIFY(insert(img, 1));
    QTRY_COMPARE_WITH_TIMEOUT(mounted(1).diskID, d.diskID, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(mediaObjectInfoList.size(), 1 + expected.size(), 5000);
    QCOMPARE(mediaObjectInfoList.count(stale), 1);
    QCOMPARE(g_TempData.diskJoinPending.get(), false);
    QCOMPARE(status(d.diskID), 2);
    QTRY_VERIFY_WITH_TIMEOUT(m_cdc->scanQueue().isEmpty() && !m_cdc->IS_Scanning(), kScanMs);
    QCOMPARE(status(d.diskID), 2);
    QCOMPARE(sorted(rows(1, d.diskID)), sorted(expected));
    QVERIFY(remove(1));
    QTRY_VERIFY_WITH_TIMEOUT(UsingUSBDiskList.isEmpty(), 5000);
}

// Pulled half-way through its scan: status 1, folders not read stay
// unread; inserted again the scan resumes and enters every file and CUE
// track exactly once.
void TstCheckDiskClass::pulledDuringScanResumes()
{
    VDX_NEED_ROOT("USB images on loop devices, mounted");
    const QString src = m_sb->dir() + "/src2";
    const QStringList expected = tree(src, 8, 3);
    QVERIFY(!expected.isEmpty());
    const QString img = stick(src, 7);
    m_cdc->setMusicScannerSpeed(100);
    QVERIFY(insert(img, 2));
    QTRY_VERIFY_WITH_TIMEOUT(mounted(2).diskID > 0, 5000);
    const DiskInfo d = mounted(2);
    QTRY_VERIFY_WITH_TIMEOUT(rows(2, d.diskID).size() >= 4, kScanMs);
    QVERIFY(remove(2));
    QTRY_COMPARE_WITH_TIMEOUT(status(d.diskID), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_cdc->IS_Scanning(), 10000);
    const int partial = rows(2, d.diskID).size();
    QVERIFY(partial < expected.size());

    m_cdc->setMusicScannerSpeed(0);
    QVERIFY(insert(img, 2));
    QTRY_COMPARE_WITH_TIMEOUT(status(d.diskID), 2, kScanMs);
    const QStringList after = rows(2, d.diskID);
    QCOMPARE(sorted(after), sorted(expected));
    QCOMPARE(m_cdc->scanner()->stats().filesEntered, expected.size() - partial);
    QVERIFY(remove(2));
    QTRY_VERIFY_WITH_TIMEOUT(UsingUSBDiskList.isEmpty(), 5000);
}

// The same stick (type and total size) with other contents: its rows are
// cleared and it is scanned again.
void TstCheckDiskClass::newContentsAreRescanned()
{
    VDX_NEED_ROOT("USB images on loop devices, mounted");
    const QString src = m_sb->dir() + "/src3";
    QStringList expected = tree(src, 1, 2);
    QVERIFY(!expected.isEmpty());
    QVERIFY(insert(stick(src, 8), 3));
    QTRY_VERIFY_WITH_TIMEOUT(mounted(3).diskID > 0, 5000);
    const int id = mounted(3).diskID;
    QTRY_COMPARE_WITH_TIMEOUT(status(id), 2, kScanMs);
    QVERIFY(remove(3));
    QTRY_VERIFY_WITH_TIMEOUT(UsingUSBDiskList.isEmpty(), 5000);

    QVERIFY(ScanFixtures::copy(src + "/F0/song0.mp3", src + "/F0/added.mp3"));
    expected << "F0/added.mp3|added";
    QVERIFY(insert(stick(src, 8), 3));
    QTRY_COMPARE_WITH_TIMEOUT(mounted(3).diskID, id, 5000);
    QCOMPARE(status(id), 0);
    QTRY_COMPARE_WITH_TIMEOUT(status(id), 2, kScanMs);
    QCOMPARE(sorted(rows(3, id)), sorted(expected));
    QVERIFY(remove(3));
    QTRY_VERIFY_WITH_TIMEOUT(UsingUSBDiskList.isEmpty(), 5000);
}

// The stick of the playing song shows up under a new mount point while the
// old one is still listed: the old one goes and the song's path follows.
void TstCheckDiskClass::remountedStickKeepsPlaying()
{
    VDX_NEED_ROOT("USB images on loop devices, mounted");
    const QString src = m_sb->dir() + "/src4";
    QVERIFY(!tree(src, 1, 1).isEmpty());
    const QString img = stick(src, 9);
    QVERIFY(insert(img, 1));
    QTRY_VERIFY_WITH_TIMEOUT(mounted(1).diskID > 0, 5000);
    g_CurMusicPlay.filePath = mp(1) + "/F0/song0.mp3";
    g_CurMusicPlay.selectFilePath = mp(1) + "/F0/song0.mp3";
    QSignalSpy play(m_cdc, &CheckDiskClass::sig_mediaplay);
    QSignalSpy removed(m_cdc->listMount(), &ListMount::sig_path_removed);
    QVERIFY(insert(img, 3));
    QTRY_COMPARE_WITH_TIMEOUT(play.size(), 1, 10000);
    QCOMPARE(g_CurMusicPlay.filePath.get(), mp(3) + "/F0/song0.mp3");
    QCOMPARE(g_CurMusicPlay.selectFilePath.get(), mp(3) + "/F0/song0.mp3");
    QCOMPARE(UsingUSBDiskList.size(), 1);
    QCOMPARE(UsingUSBDiskList.first().diskPath, mp(3));
    QVERIFY(!QFileInfo::exists(mp(1)));
    // Once the poll has seen the old mount go, its place in the limit is back;
    // that end is no removal.
    QTRY_COMPARE_WITH_TIMEOUT(m_cdc->listMount()->volumeLimit(), 6, 5000);
    QVERIFY(removed.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(m_cdc->scanQueue().isEmpty() && !m_cdc->IS_Scanning(), kScanMs);
    QVERIFY(remove(3));
    QTRY_VERIFY_WITH_TIMEOUT(UsingUSBDiskList.isEmpty(), 5000);
}

void TstCheckDiskClass::defaultList()
{
    g_CurMusicPlay.playState = PlayPaused;
    g_CurMusicPlay.currentPosition = 77;
    g_CurMusicPlay.musiclistType = ListDirectory;
    g_CurMusicPlay.playMode = ModeShuffleDir;
    g_TempData.listLoading = true;
    m_db->update_Config("musiclistType", "1");
    m_db->update_Config("playMode", "3");
    mediaObjectInfoList = {MediaObjectInfo{"mp3", "x", "/x.mp3", 1}};
    QSignalSpy info(m_cdc, &CheckDiskClass::ini_mediainfo);
    QSignalSpy mode(m_cdc, &CheckDiskClass::resetplayMode);
    QVERIFY(m_cdc->DefaultMusicPlayList());
    QCOMPARE(g_CurMusicPlay.playState.get(), int(PlayStopped));
    QCOMPARE(g_CurMusicPlay.currentPosition.get(), 0);
    QCOMPARE(g_TempData.listLoading.get(), false);
    QVERIFY(mediaObjectInfoList.isEmpty());
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.first().at(0).toString(), QString());
    QCOMPARE(mode.size(), 1);
    g_CurMusicPlay.musiclistType = 5;
    g_CurMusicPlay.playMode = 5;
    QVERIFY(m_db->initConfig());
    QCOMPARE(g_CurMusicPlay.musiclistType.get(), 0);
    QCOMPARE(g_CurMusicPlay.playMode.get(), 0);
}

// A song file that is missing on a stick that still lists its files does
// not drop the stick; a volume whose root no longer lists is forced out.
void TstCheckDiskClass::currentSongCheck()
{
    VDX_NEED_ROOT("USB images on loop devices, mounted");
    const QString src = m_sb->dir() + "/src5";
    QVERIFY(!tree(src, 1, 1).isEmpty());
    QVERIFY(insert(stick(src, 10), 2));
    QTRY_VERIFY_WITH_TIMEOUT(mounted(2).diskID > 0, 5000);
    g_CurMusicPlay.filePath = mp(2) + "/F0/deleted.mp3";
    m_cdc->Check_CurSong_DiskExist();
    QVERIFY(QFileInfo::exists(mp(2) + "/F0/song0.mp3"));

    // A stale mount point: listed, but nothing shows below it.
    const QString stale = USBPath_Prefix + "usb-storage_3/stale";
    QVERIFY(QDir().mkpath(stale));
    DiskInfo ghost;
    ghost.diskPath = stale;
    ghost.diskID = 4242;
    UsingUSBDiskList.append(ghost);
    g_CurMusicPlay.filePath = stale + "/song.mp3";
    m_cdc->Check_CurSong_DiskExist();
    QVERIFY(!QFileInfo::exists(stale));
    UsingUSBDiskList.erase(std::remove_if(UsingUSBDiskList.begin(), UsingUSBDiskList.end(),
                                          [](const DiskInfo &x) { return x.diskID == 4242; }),
                           UsingUSBDiskList.end());
    QTRY_VERIFY_WITH_TIMEOUT(m_cdc->scanQueue().isEmpty() && !m_cdc->IS_Scanning(), kScanMs);
    QVERIFY(remove(2));
    QTRY_VERIFY_WITH_TIMEOUT(UsingUSBDiskList.isEmpty(), 5000);
}

QTEST_GUILESS_MAIN(TstCheckDiskClass)
#include "tst_checkdiskclass.moc"
