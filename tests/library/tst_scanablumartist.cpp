// The album and artist pass: tags of files, CUE sheets, SACD image tracks
// and Monkey's Audio files written into the library; "未知"/"wz" for songs
// without tags; a library with nothing to do; a pulled stick stops it.
#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "librarysandbox.h"
#include "platform.h"
#include "scanablumartist.h"
#include "scanfixtures.h"
#include "sqltext.h"

#include "crossthreadspy.h"

#include <QSignalSpy>
#include <QtTest>

#include <sqlite3.h>

class TstScanAblumArtist : public QObject
{
    Q_OBJECT

private:
    LibrarySandbox *m_lib = nullptr;
    TestSandbox *m_sb = nullptr; // m_lib's
    DataBase *m_db = nullptr;    // m_lib's
    int m_volumes = 0;

    DiskInfo volume()
    {
        DiskInfo d;
        d.port = 2;
        d.diskPath = USBPath_Prefix + QStringLiteral("usb-storage_2/v%1").arg(++m_volumes);
        d.fileSystemType = QStringLiteral("ext4");
        d.diskSizes = 5000000 + m_volumes;
        d.diskAvailSize = 1;
        QDir().mkpath(d.diskPath);
        if (!m_db->insert_DiskList(d, "ext4", QStringLiteral("V"), &d.diskID))
            return DiskInfo();
        d.musicTableID = 2;
        UsingUSBDiskList = {d};
        return d;
    }

    // A library row for rel (a file or "file__M__track__M__area"), with an artist or not.
    void song(const DiskInfo &d, const QString &rel, const QString &artist = QString())
    {
        AudioInfo a;
        a.title = rel;
        a.fileExt = QFileInfo(rel.section(QStringLiteral("__M__"), 0, 0)).suffix();
        a.filePath = d.diskPath + QLatin1Char('/') + rel;
        a.artist = artist;
        DiskInfo folder = d;
        folder.diskSizes = 1;
        QVERIFY(m_db->insert_Music(get_MusicTableName(&d), &a, &folder));
    }

    // title -> {author, author_ABC, album, album_ABC}
    QMap<QString, QStringList> tags(const DiskInfo &d)
    {
        QMap<QString, QStringList> out;
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(MusicDataBaseName).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *st = nullptr;
        const QByteArray sql = QStringLiteral("SELECT fileName,author,author_ABC,album,album_ABC FROM pre_diskmusic2 "
                                              "WHERE diskID=%1")
                                   .arg(d.diskID)
                                   .toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK) {
            auto text = [&](int c) {
                return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c)));
            };
            while (sqlite3_step(st) == SQLITE_ROW)
                out.insert(sqliteDescape(text(0)), {sqliteDescape(text(1)), text(2), sqliteDescape(text(3)), text(4)});
        }
        sqlite3_finalize(st);
        sqlite3_close_v2(db);
        return out;
    }

    bool runPass(bool late = false)
    {
        ScanAblumArtist pass;
        pass.setDataBase(m_db);
        pass.setStartLate(late);
        CrossThreadSpy over(&pass, &ScanAblumArtist::scanOver);
        pass.start(QThread::LowPriority);
        return ended(over, 30000);
    }

    // True once the pass has emitted scanOver, however early: a pass with
    // nothing to do may end before the test starts waiting.
    static bool ended(const CrossThreadSpy &over, int timeout)
    {
        return QTest::qWaitFor([&] { return over.count() > 0; }, timeout);
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void fillsTags();
    void nothingToDo();
    void pulledStickStops();
    void stopWhileWaiting();
};

void TstScanAblumArtist::initTestCase()
{
    m_lib = new LibrarySandbox();
    QVERIFY(m_lib->isValid());
    m_sb = &m_lib->sandbox();
    m_db = m_lib->db();
}

void TstScanAblumArtist::cleanupTestCase()
{
    delete m_lib;
}

void TstScanAblumArtist::fillsTags()
{
    const DiskInfo d = volume();
    const QString r = d.diskPath + QLatin1Char('/');
    QVERIFY(ScanFixtures::tone(r + "tagged.mp3", {{"artist", "周杰伦"}, {"album", "Fantasy"}}));
    QVERIFY(ScanFixtures::tone(r + "untagged.flac"));
    QVERIFY(ScanFixtures::tone(r + "sheet.flac"));
    QVERIFY(ScanFixtures::cueSheet(r + "sheet.cue", "sheet.flac", {"T1"}, "Sheet Album", "Sheet Singer"));
    QVERIFY(!ScanFixtures::dsdgen("iso", r + "disc.iso", {"--tracks", "0.2,0.2", "--performers", "P1|P2"}).isEmpty());
    QVERIFY(ScanFixtures::writeFile(r + "monkey.ape", ScanFixtures::apeFile({{"Artist", "Ape"}, {"Album", "猴"}})));
    QVERIFY(ScanFixtures::writeFile(r + "garbage.mp3", QByteArray(3000, '\x5A')));
    for (const char *rel :
         {"tagged.mp3", "untagged.flac", "sheet.cue", "disc.iso__M__1__M__1", "monkey.ape", "garbage.mp3"})
        song(d, QString::fromUtf8(rel));
    song(d, "has artist.mp3", "Somebody");

    g_TempData.albumScanStopped = true;
    QVERIFY(runPass());
    QCOMPARE(g_TempData.albumScanStopped.get(), false);
    const QMap<QString, QStringList> t = tags(d);
    const QString unknown = QStringLiteral("未知");
    QCOMPARE(t.value("tagged.mp3"), (QStringList{"周杰伦", "zjl", "Fantasy", "fantasy"}));
    QCOMPARE(t.value("untagged.flac"), (QStringList{unknown, "wz", unknown, "wz"}));
    QCOMPARE(t.value("sheet.cue"), (QStringList{"Sheet Singer", "sheetsinger", "Sheet Album", "sheetalbum"}));
    QCOMPARE(t.value("disc.iso__M__1__M__1"), (QStringList{"P2", "p2", "VDX Album", "vdxalbum"}));
    QCOMPARE(t.value("monkey.ape"), (QStringList{"Ape", "ape", "猴", "h"}));
    QCOMPARE(t.value("garbage.mp3"), (QStringList{unknown, "wz", unknown, "wz"}));
    QCOMPARE(t.value("has artist.mp3").value(0), QStringLiteral("Somebody"));
    QCOMPARE(t.value("has artist.mp3").value(2), QString());
}

void TstScanAblumArtist::nothingToDo()
{
    const DiskInfo d = volume();
    song(d, "a.mp3", "Known");
    g_TempData.albumScanStopped = false;
    QVERIFY(runPass());
    QCOMPARE(g_TempData.albumScanStopped.get(), true);
    QCOMPARE(tags(d).value("a.mp3").value(0), QStringLiteral("Known"));
}

// The second song's file is gone (its stick was pulled): the pass ends
// there and the third song keeps its empty artist.
void TstScanAblumArtist::pulledStickStops()
{
    const DiskInfo d = volume();
    const QString r = d.diskPath + QLatin1Char('/');
    QVERIFY(ScanFixtures::tone(r + "1.mp3", {{"artist", "One"}}));
    QVERIFY(ScanFixtures::tone(r + "3.mp3", {{"artist", "Three"}}));
    for (const char *rel : {"1.mp3", "2.mp3", "3.mp3"})
        song(d, QString::fromUtf8(rel));
    g_TempData.albumScanStopped = false;
    QVERIFY(runPass());
    QCOMPARE(g_TempData.albumScanStopped.get(), true);
    const QMap<QString, QStringList> t = tags(d);
    QCOMPARE(t.value("1.mp3").value(0), QStringLiteral("One"));
    QCOMPARE(t.value("2.mp3").value(0), QString());
    QCOMPARE(t.value("3.mp3").value(0), QString());
}

void TstScanAblumArtist::stopWhileWaiting()
{
    const DiskInfo d = volume();
    QVERIFY(ScanFixtures::tone(d.diskPath + "/x.mp3", {{"artist", "X"}}));
    song(d, "x.mp3");
    ScanAblumArtist pass;
    pass.setDataBase(m_db);
    pass.setStartLate(true);
    CrossThreadSpy over(&pass, &ScanAblumArtist::scanOver);
    pass.start(QThread::LowPriority);
    pass.StopScan();
    QVERIFY(ended(over, 10000));
    QCOMPARE(g_TempData.albumScanStopped.get(), true);
    QCOMPARE(tags(d).value("x.mp3").value(0), QString());
}

QTEST_GUILESS_MAIN(TstScanAblumArtist)
#include "tst_scanablumartist.moc"
