// The phone app's music lists: pages (size rules, separators, the next
// index, "ROOTMusic"), the disk list, songs to play, the cache file and
// its faults, and the service thread (walk, cache, link flag, rescan
// signal, removal) on folder trees made at test time.
#include "../library/scanfixtures.h"
#include "applist.h"
#include "globals.h"
#include "linkglobals.h"
#include "musiclist_forapp.h"

#include <QSignalSpy>

#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {

// A list of one disk at /m/d from folders: name -> song names (plain .flac).
AppMuiscList listOf(const QList<QPair<QString, QStringList>> &folders)
{
    DiskInfo disk;
    disk.diskPath = QStringLiteral("/m/d");
    disk.diskID = 7;
    disk.port = 1;
    disk.diskSizes = 1000;
    AppMuiscList l = AppList::newList(disk);
    for (const auto &f : folders) {
        DirAppList d;
        d.dirPath = f.first.isEmpty() ? disk.diskPath : disk.diskPath + QLatin1Char('/') + f.first;
        for (const QString &name : f.second) {
            Dirfile s;
            s.name = name;
            s.entry = name + QStringLiteral(".flac");
            s.path = d.dirPath + QLatin1Char('/') + s.entry;
            s.type = QStringLiteral("flac");
            d.files.append(s);
        }
        l.dirs.append(d);
    }
    AppList::finishList(&l);
    return l;
}

QStringList names(int n, int len, QChar c = QLatin1Char('x'))
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out.append(QString(len, c));
    return out;
}

// Every page from 0 on, as the app pages through a disk.
QList<AppList::DecodedPage> allPages(const AppMuiscList &l, QList<QByteArray> *raw = nullptr)
{
    QList<AppList::DecodedPage> pages;
    int start = 0;
    while (start < l.allSongs) {
        QByteArray p;
        const int n = AppList::musicListPage(l, start, &p);
        if (n <= 0)
            break;
        if (raw)
            raw->append(p);
        const AppList::DecodedPage d = AppList::decodePage(p);
        pages.append(d);
        if (!d.ok || d.next <= start)
            break;
        start = d.next;
    }
    return pages;
}

} // namespace

class TstAppList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pageBoundaries_data();
    void pageBoundaries();
    void folderThatDoesNotFitStartsTheNextPage();
    void pagingVisitsEverySongOnce_data();
    void pagingVisitsEverySongOnce();
    void badStarts_data();
    void badStarts();
    void rootOnlyDisk();
    void diskList();
    void itemsToPlay();
    void cacheRoundTripFollowsTheMountPoint();
    void badCaches_data();
    void badCaches();
    void serviceBuildsCachesAndAnswers();
    void serviceRebuildAnswers99Then104();
    void serviceSignalsRescanWhenContentChangesWithSameFreeSpace();
    void servicePulledStickDropsTheWalk();
    void walkSkipsUnusableNames();

private:
    QTemporaryDir m_tmp;
};

void TstAppList::initTestCase()
{
    InitData();
    QVERIFY(m_tmp.isValid());
    ReadWrite_Path = m_tmp.path() + QStringLiteral("/rw/");
    QDir().mkpath(ReadWrite_Path);
}

// One folder "A" of songs with ASCII names: header 3 + count 1 + "A" +
// separator 2 = 7 bytes before the first song; a song is 2 + its name; a
// separator follows a song while the page is below 376.
void TstAppList::pageBoundaries_data()
{
    QTest::addColumn<QStringList>("songs");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("next");
    // Eight songs of 40 bytes with separators: 7 + 8 * 40 + 7 * 2 = 341,
    // then the separator after the eighth: 343.
    const QStringList eight = names(8, 38);
    QTest::newRow("ninth song ends exactly at 378") << eight + names(1, 33) + names(1, 38) << 378 << 9;
    QTest::newRow("ninth song one byte over 378") << eight + names(1, 34) + names(1, 38) << 341 << 8;
    QTest::newRow("ninth song ends at 376: no separator, page full") << eight + names(1, 31) + names(1, 1) << 376 << 9;
    QTest::newRow("ninth song ends at 375: its separator dropped") << eight + names(1, 30) + names(1, 38) << 375 << 9;
    QTest::newRow("last song of the disk, no separator") << names(3, 5) << 7 + 3 * 7 + 2 * 2 << 3;
}

void TstAppList::pageBoundaries()
{
    QFETCH(QStringList, songs);
    QFETCH(int, size);
    QFETCH(int, next);
    const AppMuiscList l = listOf({{QStringLiteral("A"), songs}});
    QByteArray p;
    QCOMPARE(AppList::musicListPage(l, 0, &p), size);
    QCOMPARE(p.size(), size);
    QVERIFY(!p.endsWith("\n\r") && !p.endsWith("\r\n"));
    const AppList::DecodedPage d = AppList::decodePage(p);
    QVERIFY2(d.ok, qPrintable(d.error));
    QCOMPARE(d.next, next);
    QCOMPARE(d.folders.size(), 1);
    QCOMPARE(d.folders.first().name, QStringLiteral("A"));
    QCOMPARE(d.folders.first().songs.size(), next);
    for (int i = 0; i < next; ++i) {
        QCOMPARE(d.folders.first().songs.at(i).index, i);
        QCOMPARE(d.folders.first().songs.at(i).name, songs.at(i));
    }
}

void TstAppList::folderThatDoesNotFitStartsTheNextPage()
{
    // Folder A fills the page to 343 bytes; B's block (separator, count,
    // a 40-byte name, separator and a song) would not fit.
    const AppMuiscList l = listOf({{QStringLiteral("A"), names(8, 38)}, {QString(40, QLatin1Char('B')), names(2, 10)}});
    QByteArray p;
    AppList::musicListPage(l, 0, &p);
    AppList::DecodedPage d = AppList::decodePage(p);
    QVERIFY(d.ok);
    QCOMPARE(d.folders.size(), 1);
    QCOMPARE(d.next, 8);
    AppList::musicListPage(l, d.next, &p);
    d = AppList::decodePage(p);
    QVERIFY(d.ok);
    QCOMPARE(d.folders.size(), 1);
    QCOMPARE(d.folders.first().name, QString(40, QLatin1Char('B')));
    QCOMPARE(d.folders.first().songs.first().index, 8);
    QCOMPARE(d.next, 10);
}

void TstAppList::pagingVisitsEverySongOnce_data()
{
    QTest::addColumn<QString>("chars");
    QTest::addColumn<int>("folders");
    QTest::addColumn<int>("perFolder");
    QTest::newRow("latin") << QStringLiteral("abc") << 7 << 23;
    QTest::newRow("chinese (weight 3)") << QStringLiteral("中文歌曲") << 5 << 31;
    QTest::newRow("korean (weight 1, 3 bytes)") << QStringLiteral("노래제목") << 4 << 40;
    QTest::newRow("four-byte characters") << QStringLiteral("\U0001F3B5") << 3 << 17;
    QTest::newRow("one folder of 1000") << QStringLiteral("s") << 1 << 1000;
}

void TstAppList::pagingVisitsEverySongOnce()
{
    QFETCH(QString, chars);
    QFETCH(int, folders);
    QFETCH(int, perFolder);
    QList<QPair<QString, QStringList>> spec;
    for (int f = 0; f < folders; ++f) {
        QStringList songs;
        for (int s = 0; s < perFolder; ++s)
            songs.append(chars.repeated(1 + (s * 7 + f) % 60) + QString::number(s)); // past the weight limit too
        spec.append({chars.repeated(1 + f * 5) + QString::number(f), songs});
    }
    const AppMuiscList l = listOf(spec);
    QList<QByteArray> raw;
    const QList<AppList::DecodedPage> pages = allPages(l, &raw);
    int expected = 0;
    for (int i = 0; i < pages.size(); ++i) {
        const AppList::DecodedPage &d = pages.at(i);
        QVERIFY2(d.ok, qPrintable(d.error));
        QVERIFY(raw.at(i).size() <= AppList::PageMax);
        QVERIFY(!raw.at(i).endsWith("\n\r") && !raw.at(i).endsWith("\r\n"));
        for (const AppList::PageFolder &f : d.folders) {
            QVERIFY(!f.songs.isEmpty());
            for (const AppList::PageSong &s : f.songs) {
                QCOMPARE(s.index, expected);
                // Names are cut on a character, never in its middle.
                QVERIFY(!s.name.contains(QChar::ReplacementCharacter));
                ++expected;
            }
        }
    }
    QCOMPARE(expected, l.allSongs);
    QCOMPARE(pages.last().next, l.allSongs);
}

void TstAppList::badStarts_data()
{
    QTest::addColumn<int>("start");
    QTest::newRow("start equal to the total") << 10;
    QTest::newRow("past the total") << 11;
    QTest::newRow("negative") << -1;
}

void TstAppList::badStarts()
{
    QFETCH(int, start);
    const AppMuiscList l = listOf({{QStringLiteral("A"), names(10, 3)}});
    QByteArray p("stale");
    QCOMPARE(AppList::musicListPage(l, start, &p), int(AppList::BadRequest));
    QVERIFY(p.isEmpty());
}

void TstAppList::rootOnlyDisk()
{
    const AppMuiscList l = listOf({{QString(), names(3, 4)}});
    QByteArray p;
    QVERIFY(AppList::musicListPage(l, 1, &p) > 0);
    const AppList::DecodedPage d = AppList::decodePage(p);
    QVERIFY(d.ok);
    QCOMPARE(d.folders.first().name, QString::fromLatin1(AppList::RootName));
    QCOMPARE(d.folders.first().songs.first().index, 1);
    QCOMPARE(d.next, 3);
}

void TstAppList::diskList()
{
    QList<AppMuiscList> lists;
    for (int i = 0; i < 2; ++i) {
        DiskInfo disk;
        disk.diskPath = QStringLiteral("/m/%1").arg(i);
        disk.port = i + 1;
        disk.diskSizes = qint64(i + 1) * 8000000000LL;
        disk.diskName = i == 0 ? QStringLiteral("一二三四五六七八") : QStringLiteral("MUSIC\r\nX");
        AppMuiscList l = AppList::newList(disk);
        l.dirs = listOf({{QString(), names(i, 2)}}).dirs;
        AppList::finishList(&l);
        lists.append(l);
    }
    QByteArray p;
    QVERIFY(AppList::diskListPayload(lists, &p) > 0);
    bool ok = false;
    const QList<AppList::DecodedDisk> disks = AppList::decodeDiskList(p, &ok);
    QVERIFY(ok);
    QCOMPARE(disks.size(), 2);
    QCOMPARE(disks.at(0).index, 0);
    QCOMPARE(disks.at(0).slot, 1);
    QCOMPARE(disks.at(0).state, 0); // no songs
    QCOMPARE(disks.at(0).size, 8.0e9);
    QCOMPARE(disks.at(0).display, QByteArray("USB1"));
    QCOMPARE(disks.at(0).name, QStringLiteral("一二三四五六")); // weight 20: six characters of 3
    QCOMPARE(disks.at(1).state, 1);
    QCOMPARE(disks.at(1).name, QStringLiteral("MUSIC  X")); // control characters never reach the app

    // Six disks with labels of 20 Korean characters (60 bytes each) still fit one frame.
    QList<AppMuiscList> six;
    for (int i = 0; i < 6; ++i) {
        DiskInfo disk;
        disk.port = 1 + i % 3;
        disk.diskName = QString(20, QChar(0xB178));
        six.append(AppList::newList(disk));
    }
    QVERIFY(AppList::diskListPayload(six, &p) <= AppList::FrameMax);
    QCOMPARE(AppList::decodeDiskList(p, &ok).size(), 6);
    QVERIFY(ok);
}

void TstAppList::itemsToPlay()
{
    AppMuiscList l = listOf({{QStringLiteral("A"), {}}});
    DirAppList &d = l.dirs.first();
    Dirfile f;
    QVERIFY(AppList::songFromEntry(d.dirPath, QStringLiteral("one.dsf"), &f));
    d.files.append(f);
    QVERIFY(AppList::songFromEntry(d.dirPath, QStringLiteral("album.cue__M__flac__M__Second"), &f));
    d.files.append(f);
    QVERIFY(AppList::songFromEntry(d.dirPath, QStringLiteral("album.cue__M__flac__M__First"), &f));
    d.files.append(f);
    QVERIFY(AppList::songFromEntry(d.dirPath, QStringLiteral("disc.iso__M__2__M__1__M__Third"), &f));
    d.files.append(f);
    AppList::finishList(&l);

    MediaObjectInfo item;
    QVERIFY(AppList::itemOf(l, 0, &item));
    QCOMPARE(item.filePath, QStringLiteral("/m/d/A/one.dsf__M__0__M__1"));
    QCOMPARE(item.fileType, QStringLiteral("dsf"));
    QCOMPARE(item.diskID, 7);
    QVERIFY(AppList::itemOf(l, 2, &item));
    QCOMPARE(item.filePath, QStringLiteral("/m/d/A/album.cue"));
    QCOMPARE(item.fileName, QStringLiteral("First"));
    QCOMPARE(item.fileType, QStringLiteral("flac"));
    QVERIFY(AppList::itemOf(l, 3, &item));
    QCOMPARE(item.filePath, QStringLiteral("/m/d/A/disc.iso__M__2__M__1"));
    QVERIFY(!AppList::itemOf(l, 4, &item));
    QVERIFY(!AppList::itemOf(l, -1, &item));

    // The playing item back to its index: CUE tracks by their title.
    int folder = -1;
    QCOMPARE(AppList::indexOf(l, QStringLiteral("/m/d/A/album.cue"), QStringLiteral("First"), &folder), 2);
    QCOMPARE(folder, 0);
    QCOMPARE(AppList::indexOf(l, QStringLiteral("/m/d/A/one.dsf__M__0__M__1"), QString(), &folder), 0);
    QCOMPARE(AppList::indexOf(l, QStringLiteral("/m/d/A/disc.iso__M__2__M__1"), QString(), &folder), 3);
    QCOMPARE(AppList::indexOf(l, QStringLiteral("/m/d/A/disc.iso__M__3__M__1"), QString(), &folder), -1);

    // Entries that would leave their folder or that do not add up.
    for (const QString &bad :
         {QStringLiteral("../x.flac"), QStringLiteral("a/b.flac"), QStringLiteral(".."), QStringLiteral("x.txt"),
          QStringLiteral("a.cue__M__flac"), QStringLiteral("d.iso__M__1__M__3__M__T"), QStringLiteral("x.flac__M__1")})
        QVERIFY2(!AppList::songFromEntry(d.dirPath, bad, &f), qPrintable(bad));
}

void TstAppList::cacheRoundTripFollowsTheMountPoint()
{
    AppMuiscList l = listOf({{QString(), names(2, 3)}, {QStringLiteral("中文/sub"), {QStringLiteral("歌")}}});
    l.disk.diskAvailSize = 500;
    const QString file = m_tmp.path() + QStringLiteral("/round.ini");
    QVERIFY(AppList::writeCache(file, l, "abc123"));
    DiskInfo moved = l.disk;
    moved.diskPath = QStringLiteral("/m/e");
    AppMuiscList back;
    const AppList::CacheRead r = AppList::readCache(file, moved, &back);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.hash, QByteArray("abc123"));
    QCOMPARE(r.storedRoot, QStringLiteral("/m/d"));
    QCOMPARE(back.allSongs, 3);
    QCOMPARE(back.dirs.size(), 2);
    QCOMPARE(back.dirs.at(1).dirPath, QStringLiteral("/m/e/中文/sub"));
    QCOMPARE(back.dirs.at(1).files.first().path, QStringLiteral("/m/e/中文/sub/歌.flac"));
    QCOMPARE(back.dirs.at(1).files.first().name, QStringLiteral("歌"));
}

void TstAppList::badCaches_data()
{
    QTest::addColumn<QByteArray>("edit"); // how the good file is spoiled
    QTest::newRow("empty") << QByteArray("empty");
    QTest::newRow("truncated") << QByteArray("truncate");
    QTest::newRow("binary garbage") << QByteArray("garbage");
    QTest::newRow("another disk's") << QByteArray("disksize=1");
    QTest::newRow("free space changed") << QByteArray("availsize=499");
    QTest::newRow("folder count does not match") << QByteArray("dircount=3");
    QTest::newRow("song total does not match") << QByteArray("allsongs=4");
    QTest::newRow("folder outside the disk") << QByteArray("MUSICLIST_1/dirpath=/etc");
    QTest::newRow("folder climbing out") << QByteArray("MUSICLIST_1/dirpath=/m/d/../../etc");
    QTest::newRow("song naming another folder") << QByteArray("MUSICLIST_0/songslist=../../etc/x.flac");
    QTest::newRow("more songs than indexes") << QByteArray("allsongs=70000");
}

void TstAppList::badCaches()
{
    QFETCH(QByteArray, edit);
    AppMuiscList l = listOf({{QString(), names(2, 3)}, {QStringLiteral("B"), names(1, 3)}});
    l.disk.diskAvailSize = 500;
    // A file of its own per case.
    const QString file = m_tmp.path() + QStringLiteral("/bad-%1.ini").arg(qHash(QByteArray(QTest::currentDataTag())));
    QVERIFY(AppList::writeCache(file, l, "h"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray text = f.readAll();
    if (edit == "empty") {
        text.clear();
    } else if (edit == "truncate") {
        text.truncate(text.size() / 2);
    } else if (edit == "garbage") {
        text = QByteArray(300, '\0') + "\xff\xfe[[[=\n" + QByteArray(100, '\x01');
    } else {
        const QList<QByteArray> kv = edit.split('=');
        QByteArray group = "[DISKINFO]";
        QByteArray key = kv.at(0);
        if (key.contains('/')) {
            group = "[" + key.split('/').at(0) + "]";
            key = key.split('/').at(1);
        }
        const int g = text.indexOf(group);
        QVERIFY(g >= 0);
        const int k = text.indexOf("\n" + key + "=", g);
        if (k < 0) {
            text.insert(g + group.size(), "\n" + key + "=" + kv.at(1));
        } else {
            const int e = text.indexOf('\n', k + 1);
            text.replace(k + 1, (e < 0 ? text.size() : e) - k - 1, key + "=" + kv.at(1));
        }
    }
    f.resize(0);
    f.write(text);
    // QSettings keeps what it read (and wrote) of a file whose size and time
    // have not changed; an edit of the same size made within the same
    // millisecond would be read as the old text.
    f.flush();
    f.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime);
    f.close();
    AppMuiscList back;
    const AppList::CacheRead r = AppList::readCache(file, l.disk, &back);
    QVERIFY(!r.ok);
    QVERIFY(back.dirs.isEmpty());
}

namespace {

struct Tree {
    QString root;
    bool make(const QString &base)
    {
        root = base;
        QDir().mkpath(root);
        bool ok = ScanFixtures::writeFile(root + QStringLiteral("/root song.mp3"), "x")
                  && ScanFixtures::writeFile(root + QStringLiteral("/中文/歌曲一.flac"), "x")
                  && ScanFixtures::writeFile(root + QStringLiteral("/中文/歌曲二.flac"), "x")
                  && ScanFixtures::writeFile(root + QStringLiteral("/한국어/노래.wav"), "x")
                  && ScanFixtures::writeFile(root + QStringLiteral("/notes.txt"), "x")
                  && ScanFixtures::writeFile(root + QStringLiteral("/lost.dir/hidden.flac"), "x")
                  && ScanFixtures::writeFile(root + QStringLiteral("/cue/a.flac"), "x")
                  && ScanFixtures::cueSheet(root + QStringLiteral("/cue/a.cue"), QStringLiteral("a.flac"),
                                            {QStringLiteral("One"), QStringLiteral("Two")});
        return ok;
    }
};

DiskInfo diskAt(const QString &root, int id, qint64 avail = 1000)
{
    DiskInfo d;
    d.diskPath = root;
    d.diskID = id;
    d.port = 1;
    d.diskSizes = 100000;
    d.diskAvailSize = avail;
    d.storageId = QStringLiteral("sda1");
    return d;
}

void noMountCheck(musiclist_forapp &s)
{
    s.setMountCheck([](const QString &path) { return QFileInfo(path).isDir(); });
}

} // namespace

void TstAppList::serviceBuildsCachesAndAnswers()
{
    Tree t;
    QVERIFY(t.make(m_tmp.path() + QStringLiteral("/svc")));
    const DiskInfo disk = diskAt(t.root, 41);
    QFile::remove(musiclist_forapp::cacheFileName(disk));
    {
        musiclist_forapp s;
        noMountCheck(s);
        QSignalSpy played(&s, &musiclist_forapp::sig_PlayURL);
        s.set_scan_path(disk);
        QCOMPARE(int(m_nCurUSBLink.get()), 1); // no cache: the app waits
        QTRY_VERIFY_WITH_TIMEOUT(!s.isRunning() && !s.lists().isEmpty(), 20000);
        QCOMPARE(int(m_nCurUSBLink.get()), 0);
        const AppMuiscList l = s.lists().first();
        QCOMPARE(l.allSongs,
                 7); // root song, two Chinese, one Korean, the CUE's audio file and its two tracks; not LOST.DIR's
        QByteArray p;
        QVERIFY(s.Get_Forapp_DiskList(&p) > 0);
        QVERIFY(s.Get_Forapp_MuiscList(0, 0, &p) > 0);
        const AppList::DecodedPage d = AppList::decodePage(p);
        QVERIFY(d.ok);
        QCOMPARE(d.folders.first().name, QString::fromLatin1(AppList::RootName));
        QCOMPARE(s.Get_Forapp_MuiscList(0, 7, &p), int(AppList::BadRequest));
        QCOMPARE(s.Get_Forapp_MuiscList(1, 0, &p), int(AppList::BadRequest));
        QCOMPARE(s.APP_Select_SingleSong(0, 99), int(AppList::BadRequest));
        QCOMPARE(s.APP_Select_SingleSong(0, d.folders.first().songs.first().index), 1);
        QCOMPARE(played.size(), 1);
        QCOMPARE(played.first().first().value<MediaObjectInfo>().filePath, t.root + QStringLiteral("/root song.mp3"));
        QVERIFY(QFileInfo::exists(musiclist_forapp::cacheFileName(disk)));
        s.remove_appmusiclist(disk);
        QVERIFY(!s.hasDisks());
        QCOMPARE(s.Get_Forapp_MuiscList(0, 0, &p), int(AppList::BadRequest));
    }
    // A second start lists the disk from its cache at once.
    musiclist_forapp again;
    noMountCheck(again);
    QVERIFY(again.Check_disk_ini_file(disk));
    QCOMPARE(again.lists().first().allSongs, 7);
    // A cache of another free space is stale: deleted, not used.
    QVERIFY(!again.Check_disk_ini_file(diskAt(t.root, 41, 999)));
    QVERIFY(!QFileInfo::exists(musiclist_forapp::cacheFileName(disk)));
}

void TstAppList::serviceRebuildAnswers99Then104()
{
    musiclist_forapp s;
    s.USB_Changed_Flag(true);
    QByteArray p;
    QCOMPARE(s.Get_Forapp_MuiscList(0, 0, &p), int(AppList::FirstAfterChange));
    QCOMPARE(s.Get_Forapp_MuiscList(0, 0, &p), int(AppList::NotReady));
    QCOMPARE(s.Get_Forapp_MuiscList(0, 5, &p), int(AppList::NotReady));
    QCOMPARE(s.APP_Select_SingleSong(0, 0), int(AppList::BadRequest)); // an old index names no song now
    s.USB_Changed_Flag(false);
    QCOMPARE(int(m_nSendUSBLink.at(0)), 1); // the change scanner reports the difference
    QCOMPARE(s.Get_Forapp_MuiscList(0, 0, &p), int(AppList::BadRequest));
}

void TstAppList::serviceSignalsRescanWhenContentChangesWithSameFreeSpace()
{
    Tree t;
    QVERIFY(t.make(m_tmp.path() + QStringLiteral("/rescan")));
    const DiskInfo disk = diskAt(t.root, 42);
    QFile::remove(musiclist_forapp::cacheFileName(disk));
    musiclist_forapp s;
    noMountCheck(s);
    QSignalSpy rescan(&s, &musiclist_forapp::sig_RescanDisk);
    s.set_scan_path(disk);
    QTRY_VERIFY_WITH_TIMEOUT(!s.isRunning() && !s.lists().isEmpty(), 20000);
    // Walked again unchanged: nothing to tell.
    s.set_scan_path(disk);
    QCOMPARE(int(m_nCurUSBLink.get()), 0); // served from the cache meanwhile
    QTRY_VERIFY_WITH_TIMEOUT(!s.isRunning(), 20000);
    QCOMPARE(rescan.size(), 0);
    // A song swapped for another of the same size: the free space stays.
    QVERIFY(QFile::rename(t.root + QStringLiteral("/中文/歌曲二.flac"), t.root + QStringLiteral("/中文/新歌.flac")));
    s.set_scan_path(disk);
    QTRY_VERIFY_WITH_TIMEOUT(!s.isRunning() && rescan.size() == 1, 20000);
    QCOMPARE(rescan.first().first().value<DiskInfo>().diskPath, t.root);
    QTRY_COMPARE(int(m_nCurUSBLink.get()), 0);
    bool found = false;
    for (const DirAppList &d : s.lists().first().dirs) {
        for (const Dirfile &f : d.files)
            found = found || f.name == QStringLiteral("新歌");
    }
    QVERIFY(found);
}

void TstAppList::servicePulledStickDropsTheWalk()
{
    Tree t;
    QVERIFY(t.make(m_tmp.path() + QStringLiteral("/pulled")));
    const DiskInfo disk = diskAt(t.root, 43);
    QFile::remove(musiclist_forapp::cacheFileName(disk));
    musiclist_forapp s;
    s.setMountCheck([](const QString &) { return false; }); // gone when the walk ends
    s.set_scan_path(disk);
    QTRY_VERIFY_WITH_TIMEOUT(!s.isRunning(), 20000);
    QVERIFY(s.lists().isEmpty());
    QVERIFY(!QFileInfo::exists(musiclist_forapp::cacheFileName(disk)));
    QCOMPARE(int(m_nCurUSBLink.get()), 0);
}

void TstAppList::walkSkipsUnusableNames()
{
    const QString root = m_tmp.path() + QStringLiteral("/names");
    QDir().mkpath(root);
    QVERIFY(ScanFixtures::writeFile(root + QStringLiteral("/good.flac"), "x"));
    // Bytes that are not UTF-8: the name cannot be spelled back to open it.
    const QByteArray raw = QFile::encodeName(root) + "/bad\xff\xfe.flac";
    {
        FILE *fp = fopen(raw.constData(), "w");
        QVERIFY(fp);
        fclose(fp);
    }
    QVERIFY(ScanFixtures::writeFile(root + QStringLiteral("/a__RS__b.flac"), "x"));
    QVERIFY(ScanFixtures::writeFile(root + QStringLiteral("/line\nbreak.flac"), "x"));
    AppMuiscList l;
    const bool built = musiclist_forapp::buildList(diskAt(root, 44), &l, nullptr);
    ::unlink(raw.constData()); // QDir cannot name it to remove it
    QVERIFY(built);
    QStringList got;
    for (const Dirfile &f : l.dirs.first().files)
        got.append(f.name);
    got.sort();
    QCOMPARE(got, (QStringList{QStringLiteral("good"), QStringLiteral("line\nbreak")}));
    QByteArray p;
    AppList::musicListPage(l, 0, &p);
    const AppList::DecodedPage d = AppList::decodePage(p);
    QVERIFY(d.ok);
    QVERIFY(!p.mid(3).contains("line\n"));
}

QTEST_GUILESS_MAIN(TstAppList)
#include "tst_applist.moc"
