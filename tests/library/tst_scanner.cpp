// The media scanner on folder trees of a sandbox's media folder: the rows
// the walk enters, the folders it skips, CUE sheets, SACD images, DSD and
// Monkey's Audio files, resuming after a stop, the play-list hand-over, and
// the listings that never touch the library.
#include "cueresolve.h"
#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "librarysandbox.h"
#include "platform.h"
#include "scanfixtures.h"
#include "scanner.h"
#include "sqltext.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QSignalSpy>
#include <QtTest>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Row {
    QString title, ext, path, author, album, titleKey, authorKey, albumKey, rawPath;
    qint64 size = 0, createTime = 0;
    int fid = 0;
    QString line() const
    {
        return QStringList{title, ext, path, QString::number(size), author, album, QString::number(createTime)}.join(
            QLatin1Char('|'));
    }
};

qint64 day(const QString &file)
{
    return ConversionTime(QFileInfo(file).lastModified());
}

QString expect(const QString &title, const QString &ext, const QString &rel, qint64 size, const QString &author,
               const QString &album, qint64 createTime)
{
    return QStringList{title, ext, rel, QString::number(size), author, album, QString::number(createTime)}.join(
        QLatin1Char('|'));
}

QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

// A file under a name given as raw bytes (Qt cannot make names that are not UTF-8).
bool writeRaw(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    return ::close(fd) == 0 && ok;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TstScanner : public QObject
{
    Q_OBJECT

private:
    LibrarySandbox *m_lib = nullptr;
    TestSandbox *m_sb = nullptr; // m_lib's
    DataBase *m_db = nullptr;    // m_lib's
    QString m_fix;               // generated base files
    int m_volumes = 0;

    QString fix(const QString &name) const { return m_fix + QLatin1Char('/') + name; }

    // A folder under the media prefix recorded as a mounted volume.
    DiskInfo volume(int port)
    {
        DiskInfo d;
        d.port = port;
        d.storageId = QStringLiteral("part%1").arg(++m_volumes);
        d.diskPath = USBPath_Prefix + QStringLiteral("usb-storage_%1/%2").arg(port).arg(d.storageId);
        d.fileSystemType = QStringLiteral("ext4");
        d.diskSizes = 1000000 + m_volumes;
        d.diskAvailSize = 500000;
        d.arrivalNo = m_volumes;
        QDir().mkpath(d.diskPath);
        int row = 0;
        if (!m_db->insert_DiskList(d, "ext4", QStringLiteral("STICK"), &row))
            return DiskInfo();
        d.diskID = row;
        d.musicTableID = port;
        UsingUSBDiskList.append(d);
        std::stable_sort(UsingUSBDiskList.begin(), UsingUSBDiskList.end(), compareDiskListData);
        return d;
    }

    template <typename Fn>
    void query(const QByteArray &sql, Fn each)
    {
        sqlite3 *db = nullptr;
        QVERIFY(sqlite3_open_v2(QFile::encodeName(MusicDataBaseName).constData(), &db, SQLITE_OPEN_READONLY, nullptr)
                == SQLITE_OK);
        sqlite3_stmt *st = nullptr;
        QVERIFY2(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK, sqlite3_errmsg(db));
        while (sqlite3_step(st) == SQLITE_ROW)
            each(st);
        sqlite3_finalize(st);
        sqlite3_close_v2(db);
    }

    static QString text(sqlite3_stmt *st, int col)
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, col)));
    }

    QList<Row> rows(const DiskInfo &d)
    {
        QList<Row> out;
        query(QStringLiteral("SELECT fileName,fileExt,filePath,fileSize,author,album,createTime,fileName_ABC,"
                             "author_ABC,album_ABC,fid FROM pre_diskmusic%1 WHERE diskID=%2 ORDER BY rowid")
                  .arg(d.musicTableID)
                  .arg(d.diskID)
                  .toUtf8(),
              [&](sqlite3_stmt *st) {
                  Row r;
                  r.title = sqliteDescape(text(st, 0));
                  r.ext = text(st, 1);
                  r.rawPath = text(st, 2);
                  r.path = sqliteDescape(r.rawPath);
                  r.size = sqlite3_column_int64(st, 3);
                  r.author = sqliteDescape(text(st, 4));
                  r.album = sqliteDescape(text(st, 5));
                  r.createTime = sqlite3_column_int64(st, 6);
                  r.titleKey = text(st, 7);
                  r.authorKey = text(st, 8);
                  r.albumKey = text(st, 9);
                  r.fid = sqlite3_column_int(st, 10);
                  out.append(r);
              });
        return out;
    }

    QStringList lines(const DiskInfo &d)
    {
        QStringList out;
        for (const Row &r : rows(d))
            out << r.line();
        return out;
    }

    // dirPath -> (rowid, readOver, fid)
    QMap<QString, QList<int>> folders(const DiskInfo &d)
    {
        QMap<QString, QList<int>> out;
        query(QStringLiteral("SELECT dirPath,rowid,readOver,fid FROM pre_diskdir%1 WHERE diskID=%2")
                  .arg(d.musicTableID)
                  .arg(d.diskID)
                  .toUtf8(),
              [&](sqlite3_stmt *st) {
                  out.insert(sqliteDescape(text(st, 0)),
                             {sqlite3_column_int(st, 1), sqlite3_column_int(st, 2), sqlite3_column_int(st, 3)});
              });
        return out;
    }

    void exec(const QByteArray &sql)
    {
        sqlite3 *db = nullptr;
        QVERIFY(sqlite3_open_v2(QFile::encodeName(MusicDataBaseName).constData(), &db, SQLITE_OPEN_READWRITE, nullptr)
                == SQLITE_OK);
        QVERIFY2(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK, sqlite3_errmsg(db));
        sqlite3_close_v2(db);
    }

    // Runs a volume scan to its end; returns the unfinished flag.
    bool scan(Scanner &scanner, const DiskInfo &d, int speed = 0)
    {
        QSignalSpy over(&scanner, &Scanner::scanOver);
        scanner.setScannerSpeed(speed);
        scanner.setScanPath(d, false, 0, nullptr);
        if (!over.wait(60000) && over.isEmpty())
            return true;
        [&] { QCOMPARE(over.first().at(1).toString(), d.diskPath); }();
        return over.first().at(0).toBool();
    }

    void songs(const QString &folder, const QStringList &names)
    {
        for (const QString &n : names)
            QVERIFY(ScanFixtures::copy(fix(QStringLiteral("tagged.mp3")), folder + QLatin1Char('/') + n));
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void libraryRows();
    void resumesAfterStop();
    void readingAgainEntersNothingTwice();
    void handOver_data();
    void handOver();
    void unmountedVolumeEndsAtOnce();
    void pace_data();
    void pace();
    void temporaryLists_data();
    void temporaryLists();
    void browserListing();
    void initPlayList();
    void nothingLeadsOffTheVolume();
    void namesNotUtf8AreCounted();
    void pullsLeaveNoUntaggedRows();
    void temporaryListStoppedPartWay();
};

void TstScanner::initTestCase()
{
    m_lib = new LibrarySandbox();
    QVERIFY(m_lib->isValid());
    m_sb = &m_lib->sandbox();
    m_db = m_lib->db();
    m_fix = m_sb->dir() + QStringLiteral("/fixtures");
    QVERIFY(ScanFixtures::tone(fix(QStringLiteral("tagged.mp3")),
                               {{"artist", QStringLiteral("Hello 世界")}, {"album", QStringLiteral("专辑 One")}}));
    QVERIFY(ScanFixtures::tone(fix(QStringLiteral("plain.flac"))));
    QVERIFY(ScanFixtures::tone(fix(QStringLiteral("plain.wav"))));
}

void TstScanner::cleanupTestCase()
{
    delete m_lib;
}

void TstScanner::init()
{
    UsingUSBDiskList.clear();
    mediaObjectInfoList.clear();
    mediaTempPlayList.clear();
    g_CurMusicPlay.musiclistType = ListAllSongs;
    g_CurMusicPlay.filePath = QString();
}

void TstScanner::libraryRows()
{
    const DiskInfo d = volume(1);
    const QString r = d.diskPath + QLatin1Char('/');
    // Root: two files changed on one day, a hostile name, a name with the
    // selector mark, a hidden file, a link back to the root.
    QVERIFY(ScanFixtures::copy(fix("tagged.mp3"), r + "Hello 世界.mp3"));
    QVERIFY(ScanFixtures::copy(fix("plain.wav"), r + "late.wav"));
    QVERIFY(ScanFixtures::setModified(r + "Hello 世界.mp3", QDateTime(QDate(2024, 3, 5), QTime(9, 0))));
    QVERIFY(ScanFixtures::setModified(r + "late.wav", QDateTime(QDate(2024, 3, 5), QTime(23, 0))));
    const QString hostile = QStringLiteral("it's 100% [x]_(y)&z \"q\";\n.mp3");
    QVERIFY(ScanFixtures::copy(fix("tagged.mp3"), r + hostile));
    QVERIFY(ScanFixtures::copy(fix("tagged.mp3"), r + "bad__M__name.mp3"));
    QVERIFY(ScanFixtures::copy(fix("tagged.mp3"), r + ".hidden.mp3"));
    QVERIFY(QFile::link(d.diskPath, r + "loop"));
    // Folders never entered, whatever their case and blanks.
    for (const char *skip : {"System Volume Information", "LOST.DIR", "$RECYCLE.BIN", "Android", "  Cache  "})
        songs(r + skip, {"skipped.mp3"});
    // A colon in a name of a folder that can be entered.
    songs(r + "a:b", {"colon.mp3"});
    // CUE sheets: duplicate titles within a sheet, the same title in two
    // sheets, a sheet without its audio file, one without a FILE line.
    QVERIFY(ScanFixtures::copy(fix("plain.flac"), r + "Music/Sub/album.flac"));
    QVERIFY(ScanFixtures::cueSheet(r + "Music/Sub/album.cue", "album.flac", {"First", "Second", "First"}));
    QVERIFY(ScanFixtures::copy(fix("plain.flac"), r + "Other/other.flac"));
    QVERIFY(
        ScanFixtures::cueSheet(r + "Other/other.cue", "other.flac", {"First", "Third"}, "Other Album", "Other One"));
    QVERIFY(ScanFixtures::cueSheet(r + "Other/missing.cue", "nothere.flac", {"Lost"}));
    QVERIFY(ScanFixtures::writeFile(r + "Other/broken.cue", "TITLE \"x\"\nPERFORMER \"y\"\n  TRACK 01 AUDIO\n"));
    // DSD: an image with both areas (the second track untitled), an image
    // without texts, DSF with tags, DSDIFF; and a Monkey's Audio file.
    const QJsonObject two =
        ScanFixtures::dsdgen("iso", r + "Discs/two.iso",
                             {"--areas", "both", "--tracks", "0.2,0.3", "--titles", "One|", "--performers", "P1|P2"});
    QVERIFY(!two.isEmpty());
    QVERIFY(!ScanFixtures::dsdgen("iso", r + "Discs/notext.iso", {"--no-text", "--tracks", "0.2"}).isEmpty());
    QVERIFY(!ScanFixtures::dsdgen("dsf", r + "Discs/d.dsf", {"--seconds", "0.1", "--id3"}).isEmpty());
    QVERIFY(!ScanFixtures::dsdgen("dff", r + "Discs/d.dff", {"--tracks", "0.1"}).isEmpty());
    QVERIFY(ScanFixtures::writeFile(r + "Discs/song.ape",
                                    ScanFixtures::apeFile({{"Artist", "Ape Artist"}, {"Album", "猴子"}})));

    Scanner scanner;
    scanner.setDataBase(m_db);
    QCOMPARE(scan(scanner, d), false);

    const QString tagArtist = QStringLiteral("Hello 世界");
    const QString tagAlbum = QStringLiteral("专辑 One");
    QStringList want;
    want << expect("Hello 世界", "mp3", "Hello 世界.mp3", QFileInfo(r + "Hello 世界.mp3").size(), tagArtist, tagAlbum,
                   day(r + "Hello 世界.mp3"))
         << expect("late", "wav", "late.wav", QFileInfo(r + "late.wav").size(), "", "", day(r + "late.wav"))
         << expect(QStringLiteral("it's 100% [x]_(y)&z \"q\";\n"), "mp3", hostile, QFileInfo(r + hostile).size(),
                   tagArtist, tagAlbum, day(r + hostile))
         << expect("colon", "mp3", "a:b/colon.mp3", QFileInfo(r + "a:b/colon.mp3").size(), tagArtist, tagAlbum,
                   day(r + "a:b/colon.mp3"));
    const qint64 flacSize = QFileInfo(r + "Music/Sub/album.flac").size();
    for (const char *t : {"First", "Second"})
        want << expect(t, "flac", "Music/Sub/album.cue", flacSize, "Cue Artist", "Cue Album",
                       day(r + "Music/Sub/album.flac"));
    want << expect("album", "flac", "Music/Sub/album.flac", flacSize, "", "", day(r + "Music/Sub/album.flac"));
    for (const char *t : {"First", "Third"})
        want << expect(t, "flac", "Other/other.cue", flacSize, "Other One", "Other Album", day(r + "Other/other.flac"));
    want << expect("other", "flac", "Other/other.flac", flacSize, "", "", day(r + "Other/other.flac"));
    // Image tracks: the size of the track's sectors, the title from the
    // disc text or number and image name.
    const qint64 isoDay = day(r + "Discs/two.iso");
    for (const QJsonValue &a : two.value("areas").toArray()) {
        const QJsonObject area = a.toObject();
        const QJsonArray tracks = area.value("tracks").toArray();
        for (int i = 0; i < tracks.size(); ++i) {
            const QJsonObject t = tracks.at(i).toObject();
            const qint64 end = i + 1 < tracks.size() ? tracks.at(i + 1).toObject().value("lsn").toInt()
                                                     : area.value("track_end").toInt() + 1;
            const QString title =
                t.value("title").toString().isEmpty() ? QStringLiteral("02 two") : t.value("title").toString();
            want << expect(title, "iso",
                           QStringLiteral("Discs/two.iso__M__%1__M__%2").arg(i).arg(area.value("area").toInt()),
                           (end - t.value("lsn").toInt()) * 2048, t.value("performer").toString(), "VDX Album", isoDay);
        }
    }
    const QJsonObject plainImage =
        ScanFixtures::dsdgen("iso", m_sb->dir() + "/probe.iso", {"--no-text", "--tracks", "0.2"});
    const QJsonObject plainArea = plainImage.value("areas").toArray().first().toObject();
    const qint64 plainSize = (plainArea.value("track_end").toInt() + 1
                              - plainArea.value("tracks").toArray().first().toObject().value("lsn").toInt())
                             * 2048;
    want << expect("01 notext", "iso", "Discs/notext.iso__M__0__M__1", plainSize, "未知", "未知",
                   day(r + "Discs/notext.iso"));
    want << expect("d", "dsf", "Discs/d.dsf", QFileInfo(r + "Discs/d.dsf").size(), "DSF Artist", "DSF Album",
                   day(r + "Discs/d.dsf"));
    want << expect("d", "dff", "Discs/d.dff", QFileInfo(r + "Discs/d.dff").size(), "", "", day(r + "Discs/d.dff"));
    want << expect("song", "ape", "Discs/song.ape", QFileInfo(r + "Discs/song.ape").size(), "Ape Artist", "猴子",
                   day(r + "Discs/song.ape"));
    QCOMPARE(sorted(lines(d)), sorted(want));

    const QList<Row> all = rows(d);
    for (const Row &row : all) {
        if (row.title == QLatin1String("Hello 世界")) {
            // Two files changed at 09:00 and 23:00 of one day: its midnight.
            QCOMPARE(row.createTime, QDateTime(QDate(2024, 3, 5), QTime(0, 0)).toSecsSinceEpoch());
            QCOMPARE(row.titleKey, QStringLiteral("hellosj"));
            QCOMPARE(row.authorKey, QStringLiteral("hellosj"));
            QCOMPARE(row.albumKey, QStringLiteral("zjone"));
        }
        if (row.path == hostile)
            QCOMPARE(row.rawPath, sqliteEscape(hostile));
    }
    // Folder rows: the entered folders only, all read, children under their parents.
    const QMap<QString, QList<int>> dirs = folders(d);
    QCOMPARE(sorted(dirs.keys()), sorted({"USBBASEROOTPATH", "a:b", "Music", "Music/Sub", "Other", "Discs"}));
    for (const QList<int> &f : dirs)
        QCOMPARE(f.at(1), 1);
    QCOMPARE(dirs.value("Music/Sub").at(2), dirs.value("Music").at(0));
    QCOMPARE(dirs.value("Music").at(2), dirs.value("USBBASEROOTPATH").at(0));
    QCOMPARE(dirs.value("USBBASEROOTPATH").at(2), 0);
    for (const Row &row : all) {
        if (row.path.startsWith(QLatin1String("Music/Sub/")))
            QCOMPARE(row.fid, dirs.value("Music/Sub").at(0));
    }
    const Scanner::Stats s = scanner.stats();
    QCOMPARE(s.foldersFound, 6);
    QCOMPARE(s.foldersRead, 6);
    QCOMPARE(s.sheetsRead, 2);
    QCOMPARE(s.filesEntered, int(want.size()));
    // The volume's has-songs flag is settled in the GUI thread.
    QVERIFY(UsingUSBDiskList.first().hasSongs);
}

// A scan stopped half-way resumes at the first folder not marked read: a
// file added meanwhile to a folder already read stays out; nothing twice.
void TstScanner::resumesAfterStop()
{
    const DiskInfo d = volume(2);
    QStringList expected;
    for (int f = 0; f < 6; ++f) {
        for (int n = 0; n < 3; ++n)
            expected << QStringLiteral("F%1/s%2.mp3").arg(f).arg(n);
    }
    for (const QString &rel : expected)
        songs(d.diskPath, {rel});

    Scanner scanner;
    scanner.setDataBase(m_db);
    QSignalSpy over(&scanner, &Scanner::scanOver);
    scanner.setScannerSpeed(40);
    scanner.setScanPath(d, false, 0, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(scanner.stats().filesEntered >= 5, 20000);
    scanner.stop_Scanner();
    QTRY_COMPARE_WITH_TIMEOUT(over.size(), 1, 10000);
    QCOMPARE(over.first().at(0).toBool(), true);
    const int firstRun = rows(d).size();
    QVERIFY(firstRun >= 5 && firstRun < expected.size());

    QString readFolder;
    const QMap<QString, QList<int>> before = folders(d);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (it.key() != QLatin1String("USBBASEROOTPATH") && it.value().at(1) == 1)
            readFolder = it.key();
    }
    QVERIFY(!readFolder.isEmpty());
    QVERIFY(std::any_of(before.cbegin(), before.cend(), [](const QList<int> &f) { return f.at(1) == 0; })
            || before.size() < 7);
    songs(d.diskPath + QLatin1Char('/') + readFolder, {"late.mp3"});

    QCOMPARE(scan(scanner, d), false);
    QStringList paths;
    for (const Row &r : rows(d))
        paths << r.path;
    QCOMPARE(sorted(paths), sorted(expected));
    QCOMPARE(folders(d).size(), 7);
    QCOMPARE(scanner.stats().filesEntered, expected.size() - firstRun);

    // The log tells both scans: the stop with what it entered, the resume
    // with what was read before, the end with the volume's songs.
    const QString log = m_sb->readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"));
    const QString scanOf = QStringLiteral("I vdx.library: scan of volume %1 (%2) ").arg(d.diskID).arg(d.diskPath);
    QVERIFY2(
        log.contains(scanOf + QStringLiteral("stopped unfinished: %1 songs entered, %1 on the volume;").arg(firstRun)),
        qPrintable(log));
    QVERIFY(
        log.contains(QRegularExpression(QRegularExpression::escape(scanOf) + "started, [1-6] folders read before")));
    QVERIFY2(log.contains(scanOf
                          + QStringLiteral("ended: %1 songs entered, %2 on the volume; 7 folders read")
                                .arg(expected.size() - firstRun)
                                .arg(expected.size())),
             qPrintable(log));
}

// Every folder unmarked (as after a stop at the last moment): a second walk
// looks every file and CUE track up and enters only what is missing; a
// complete sheet is not even parsed.
void TstScanner::readingAgainEntersNothingTwice()
{
    const DiskInfo d = volume(3);
    const QString r = d.diskPath + QLatin1Char('/');
    songs(r + "A", {"a.mp3", "b.mp3"});
    QVERIFY(ScanFixtures::copy(fix("plain.flac"), r + "A/one.flac"));
    QVERIFY(ScanFixtures::cueSheet(r + "A/one.cue", "one.flac", {"T1", "T2", "T3"}));
    QVERIFY(ScanFixtures::copy(fix("plain.flac"), r + "B/two.flac"));
    QVERIFY(ScanFixtures::cueSheet(r + "B/two.cue", "two.flac", {"U1", "U2"}));
    QVERIFY(!ScanFixtures::dsdgen("iso", r + "B/disc.iso", {"--tracks", "0.2,0.2"}).isEmpty());

    Scanner scanner;
    scanner.setDataBase(m_db);
    QCOMPARE(scan(scanner, d), false);
    const QStringList first = sorted(lines(d));
    QCOMPARE(first.size(), 2 + 1 + 3 + 1 + 2 + 2);

    exec(QStringLiteral("UPDATE pre_diskdir3 SET readOver=0 WHERE diskID=%1;"
                        "DELETE FROM pre_diskmusic3 WHERE diskID=%1 AND fileName='U2';")
             .arg(d.diskID)
             .toUtf8());
    QCOMPARE(scan(scanner, d), false);
    QCOMPARE(sorted(lines(d)), first);
    QCOMPARE(scanner.stats().filesEntered, 1);
    QCOMPARE(scanner.stats().sheetsSkipped, 1);
    QCOMPARE(scanner.stats().sheetsRead, 1);
}

void TstScanner::handOver_data()
{
    QTest::addColumn<bool>("append");
    QTest::addColumn<int>("listType");
    QTest::addColumn<bool>("stopAppend");
    QTest::addColumn<bool>("handed");
    QTest::newRow("all-songs list") << true << 0 << false << true;
    QTest::newRow("volume not flagged") << false << 0 << false << false;
    QTest::newRow("folder list") << true << 1 << false << false;
    QTest::newRow("appending stopped") << true << 0 << true << false;
}

// New songs go into the play list after the songs of the volumes before
// the scanned one (port 3, then 1, then 2), in scan order.
void TstScanner::handOver()
{
    QFETCH(bool, append);
    QFETCH(int, listType);
    QFETCH(bool, stopAppend);
    QFETCH(bool, handed);
    const DiskInfo p3 = volume(3);
    const DiskInfo p2 = volume(2);
    DiskInfo p1 = volume(1);
    const QList<MediaObjectInfo> three{{"mp3", "x1", p3.diskPath + "/x1.mp3", p3.diskID},
                                       {"mp3", "x2", p3.diskPath + "/x2.mp3", p3.diskID}};
    const QList<MediaObjectInfo> two{{"mp3", "y1", p2.diskPath + "/y1.mp3", p2.diskID}};
    mediaObjectInfoList = three + two;
    songs(p1.diskPath, {"n1.mp3", "n2.mp3", "n3.mp3"});
    g_CurMusicPlay.musiclistType = listType;
    p1.appendToList = append;

    Scanner scanner;
    scanner.setDataBase(m_db);
    QSignalSpy over(&scanner, &Scanner::scanOver);
    QSignalSpy changed(&scanner, &Scanner::musiclistChanged);
    QSignalSpy index(&scanner, &Scanner::updateMusicIndex);
    scanner.setScannerSpeed(0);
    scanner.setScanPath(p1, false, 0, nullptr);
    if (stopAppend)
        scanner.setStopAppendMusicList(true, true);
    QVERIFY(over.wait(30000));

    QList<MediaObjectInfo> scanned;
    for (const Row &r : rows(p1))
        scanned.append(MediaObjectInfo{r.ext, r.title, p1.diskPath + QLatin1Char('/') + r.path, p1.diskID});
    QCOMPARE(scanned.size(), 3);
    QCOMPARE(mediaObjectInfoList, handed ? three + scanned + two : three + two);
    QCOMPARE(changed.size(), handed ? 3 : 0);
    QCOMPARE(index.size(), handed ? 3 : 0);
}

void TstScanner::unmountedVolumeEndsAtOnce()
{
    DiskInfo d = volume(1);
    songs(d.diskPath, {"a.mp3"});
    UsingUSBDiskList.clear();
    Scanner scanner;
    scanner.setDataBase(m_db);
    QCOMPARE(scan(scanner, d), true);
    QVERIFY(rows(d).isEmpty());
}

void TstScanner::pace_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("resampled");
    QTest::addColumn<int>("interval");
    QTest::newRow("normal") << 20 << 44100 << false << 18;
    QTest::newRow("176.4 kHz playback") << 20 << 176400 << false << 350;
    QTest::newRow("resampled playback") << 20 << 48000 << true << 350;
    QTest::newRow("browser listing a folder") << 5000 << 176400 << false << 5000;
    QTest::newRow("controller building a list") << 6000 << 44100 << false << 6000;
    QTest::newRow("unpaced") << 0 << 44100 << false << 0;
}

void TstScanner::pace()
{
    QFETCH(int, speed);
    QFETCH(int, rate);
    QFETCH(bool, resampled);
    QFETCH(int, interval);
    g_TempData.inputSampleRate = rate;
    g_CurMusicPlay.isResample = resampled;
    Scanner scanner;
    scanner.setScannerSpeed(speed);
    QCOMPARE(scanner.scanInterval(), interval);
    g_TempData.inputSampleRate = 0;
    g_CurMusicPlay.isResample = false;
}

void TstScanner::temporaryLists_data()
{
    QTest::addColumn<int>("songVolume");
    QTest::addColumn<QString>("songFolder");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("listVolume");
    QTest::addColumn<QString>("listFolder");
    // Volume 0 (port 3, first in the list): A(a) / A/S(s) / A/S/T / A/S/T/U(u);
    // volume 1 (port 1): D(d). "" is a volume's root.
    QTest::newRow("own folder") << 0 << "A/S" << int(Scanner::TmpFolder) << 0 << "A/S";
    QTest::newRow("own folder gone: last volume first") << 0 << "gone" << int(Scanner::TmpFolder) << 1 << "D";
    QTest::newRow("next: a subfolder") << 0 << "A" << int(Scanner::TmpNextFolder) << 0 << "A/S";
    QTest::newRow("next: deeper, past an empty folder") << 0 << "A/S" << int(Scanner::TmpNextFolder) << 0 << "A/S/T/U";
    QTest::newRow("next: the next volume") << 0 << "A/S/T/U" << int(Scanner::TmpNextFolder) << 1 << "D";
    QTest::newRow("next: round to the first volume") << 1 << "D" << int(Scanner::TmpNextFolder) << 0 << "A";
    QTest::newRow("previous: up past an empty folder") << 0 << "A/S/T/U" << int(Scanner::TmpPrevFolder) << 0 << "A/S";
    QTest::newRow("previous: the parent") << 0 << "A/S" << int(Scanner::TmpPrevFolder) << 0 << "A";
    QTest::newRow("previous: round to the last volume") << 0 << "A" << int(Scanner::TmpPrevFolder) << 1 << "D";
}

void TstScanner::temporaryLists()
{
    QFETCH(int, songVolume);
    QFETCH(QString, songFolder);
    QFETCH(int, mode);
    QFETCH(int, listVolume);
    QFETCH(QString, listFolder);
    const DiskInfo v0 = volume(3);
    const DiskInfo v1 = volume(1);
    songs(v0.diskPath + "/A", {"a1.mp3", "a2.mp3"});
    songs(v0.diskPath + "/A/S", {"s.mp3"});
    QVERIFY(QDir().mkpath(v0.diskPath + "/A/S/T"));
    songs(v0.diskPath + "/A/S/T/U", {"u.mp3"});
    songs(v1.diskPath + "/D", {"d.mp3"});
    const QList<DiskInfo> vols{v0, v1};
    QCOMPARE(UsingUSBDiskList.first().diskID, v0.diskID);
    g_CurMusicPlay.filePath = vols.at(songVolume).diskPath + QLatin1Char('/') + songFolder + "/playing.mp3";

    mediaTempPlayList.append(MediaObjectInfo{"mp3", "stale", "/stale.mp3", 1});
    Scanner scanner;
    QSignalSpy over(&scanner, &Scanner::scanOverFileManage);
    scanner.setScanTmpMusicList(mode);
    QVERIFY(mediaTempPlayList.isEmpty());
    QVERIFY(over.wait(20000));
    QCOMPARE(over.first().at(0).toBool(), false);
    QCOMPARE(over.first().at(1).toInt(), mode);

    const QString folder = vols.at(listVolume).diskPath + QLatin1Char('/') + listFolder;
    QStringList want;
    for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files))
        want << f.absoluteFilePath();
    QStringList got;
    for (const MediaObjectInfo &m : qAsConst(mediaTempPlayList)) {
        got << m.filePath;
        QCOMPARE(m.diskID, vols.at(listVolume).diskID);
    }
    QVERIFY(!want.isEmpty());
    QCOMPARE(sorted(got), sorted(want));
}

void TstScanner::browserListing()
{
    const DiskInfo v = volume(2);
    const QString f = v.diskPath + "/Album";
    songs(f, {"one.mp3", "two.mp3"});
    QVERIFY(ScanFixtures::copy(fix("plain.flac"), f + "/whole.flac"));
    QVERIFY(ScanFixtures::cueSheet(f + "/whole.cue", "whole.flac", {"C1", "C2"}));
    QVERIFY(QDir().mkpath(f + "/Sub"));
    QVERIFY(QDir().mkpath(f + "/lost.dir"));

    DiskInfo folder = v;
    folder.diskPath = f;
    Scanner scanner;
    QSignalSpy rowsSpy(&scanner, &Scanner::readDiskInfo);
    QSignalSpy over(&scanner, &Scanner::scanOverFileManage);
    scanner.addScanPath(folder, 2, true, 0);
    QVERIFY(over.wait(20000));
    QCOMPARE(over.first().at(0).toBool(), false);
    QCOMPARE(over.first().at(1).toInt(), 2);
    QStringList dirs, songsShown;
    for (const QList<QVariant> &sig : qAsConst(rowsSpy)) {
        const ListInfo row = sig.at(0).value<ListInfo>();
        QCOMPARE(sig.at(1).toInt(), 2);
        QCOMPARE(row.id, v.diskID);
        (row.type == Scanner::FolderRow ? dirs : songsShown) << row.title;
    }
    QCOMPARE(dirs, QStringList{"Sub"});
    QCOMPARE(sorted(songsShown), sorted({"one", "two", "whole", "C1", "C2"}));
    QCOMPARE(TempMediaObjectList.size() > 2, true);
    QStringList pageTitles;
    for (const MediaObjectInfo &m : TempMediaObjectList.at(2).mediaList) {
        pageTitles << m.fileName;
        if (m.fileName.startsWith(QLatin1Char('C')))
            QCOMPARE(m.filePath, f + "/whole.cue");
    }
    QCOMPARE(sorted(pageTitles), sorted(songsShown));

    // The same listing into a caller's row list instead of signals.
    QList<TempInfoList> out{TempInfoList{ListInfo{}, 9}};
    QSignalSpy rowsSpy2(&scanner, &Scanner::readDiskInfo);
    QSignalSpy overList(&scanner, &Scanner::scanOverFileManage);
    folder.diskPath = f;
    scanner.setScanPath(folder, true, 4, &out);
    QVERIFY(overList.wait(20000));
    QVERIFY(rowsSpy2.isEmpty());
    QStringList outTitles;
    for (const TempInfoList &t : qAsConst(out)) {
        QCOMPARE(t.secondId, 4);
        outTitles << t.info.title;
    }
    QCOMPARE(sorted(outTitles), sorted(QStringList{"Sub"} + songsShown));
    QCOMPARE(TempMediaObjectList.at(4).mediaList.size(), 5);

    // A folder that is gone reports an unfinished, empty page.
    folder.diskPath = v.diskPath + "/nothing";
    QSignalSpy over2(&scanner, &Scanner::scanOverFileManage);
    scanner.addScanPath(folder, 3, true, 0);
    QVERIFY(over2.wait(20000));
    QCOMPARE(over2.first().at(0).toBool(), true);
    QVERIFY(TempMediaObjectList.at(3).mediaList.isEmpty());
}

void TstScanner::initPlayList()
{
    const DiskInfo v = volume(1);
    songs(v.diskPath + "/Dir", {"p1.mp3", "p2.mp3", "p3.mp3"});
    songs(v.diskPath + "/Dir/Deeper", {"not.mp3"});
    DiskInfo folder = v;
    folder.diskPath = v.diskPath + "/Dir";
    Scanner scanner;
    QSignalSpy over(&scanner, &Scanner::scanOverFileManage);
    QSignalSpy changed(&scanner, &Scanner::musiclistChanged);
    scanner.setInitPlayList({folder});
    QVERIFY(over.wait(20000));
    QCOMPARE(over.first().at(0).toBool(), false);
    QStringList names;
    for (const MediaObjectInfo &m : qAsConst(mediaObjectInfoList)) {
        names << m.fileName;
        QCOMPARE(m.diskID, v.diskID);
    }
    QCOMPARE(sorted(names), sorted({"p1", "p2", "p3"}));
    QCOMPARE(changed.size(), 3);
}

// Links and CUE sheets on a stick that lead off it (to the board's files,
// to other folders, to themselves or another sheet) enter nothing, are
// listed nowhere and do not play; each is logged and counted. Links and
// sheets that stay on the stick are fine.
void TstScanner::nothingLeadsOffTheVolume()
{
    const DiskInfo d = volume(1);
    const QString r = d.diskPath + QLatin1Char('/');
    const QString outside = m_sb->dir() + QStringLiteral("/outside");
    songs(outside, {"secret.mp3"});
    QVERIFY(ScanFixtures::copy(fix("plain.flac"), outside + "/album.flac"));
    songs(r + "In", {"real.mp3"});
    auto link = [](const QString &target, const QString &name) {
        return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(name).constData()) == 0;
    };
    QVERIFY(link("/etc/passwd", r + "In/passwd.mp3"));
    QVERIFY(link(outside + "/secret.mp3", r + "In/secret.mp3"));
    QVERIFY(link("../../../../../../../../../../../../etc/passwd", r + "In/up.mp3"));
    QVERIFY(link("real.mp3", r + "In/alias.mp3"));
    QVERIFY(ScanFixtures::copy(fix("plain.flac"), r + "Cue/album.flac"));
    QVERIFY(link(outside + "/album.flac", r + "Cue/link.flac"));
    QVERIFY(ScanFixtures::cueSheet(r + "Cue/good.cue", "album.flac", {"Good"}));
    QVERIFY(ScanFixtures::cueSheet(r + "Cue/over.cue", "../In/real.mp3", {"Over"}));
    const QString refused[] = {"passwd", "away", "linked", "self", "sheet"};
    QVERIFY(ScanFixtures::cueSheet(r + "Cue/passwd.cue", "../../../../../../../../../../../../etc/passwd", {"Pw"}));
    QVERIFY(ScanFixtures::cueSheet(r + "Cue/away.cue", "../../../../../outside/album.flac", {"Away"}));
    QVERIFY(QFileInfo::exists(r + "Cue/../../../../../outside/album.flac"));
    QVERIFY(ScanFixtures::cueSheet(r + "Cue/linked.cue", "link.flac", {"Linked"}));
    QVERIFY(ScanFixtures::cueSheet(r + "Cue/self.cue", "self.cue", {"Self"}));
    QVERIFY(ScanFixtures::cueSheet(r + "Cue/sheet.cue", "good.cue", {"Sheet"}));

    Scanner scanner;
    scanner.setDataBase(m_db);
    QCOMPARE(scan(scanner, d), false);
    QStringList entered;
    for (const Row &row : rows(d))
        entered << row.path + QLatin1Char(':') + row.title;
    QCOMPARE(sorted(entered), sorted({"In/real.mp3:real", "In/alias.mp3:alias", "Cue/album.flac:album",
                                      "Cue/good.cue:Good", "Cue/over.cue:Over"}));
    QCOMPARE(scanner.stats().refused, 4 + 5);
    const QString log = m_sb->readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"));
    for (const char *l : {"passwd.mp3", "secret.mp3", "up.mp3"})
        QVERIFY2(log.contains("scanner: link leads outside the volume, skipped: " + r + "In/" + l), l);
    QVERIFY(log.contains("scanner: link leads outside the volume, skipped: " + r + "Cue/link.flac"));
    for (const QString &sheet : refused)
        QVERIFY2(log.contains("scanner: CUE sheet skipped, ") && log.contains(": " + r + "Cue/" + sheet + ".cue"),
                 qPrintable(sheet));
    QVERIFY(log.contains("scanner: CUE sheet skipped, it names itself as its audio file: " + r + "Cue/self.cue"));
    QVERIFY(log.contains("scanner: CUE sheet skipped, its audio file is another CUE sheet: " + r + "Cue/sheet.cue"));

    // The track browser's listing of the same folders.
    for (const QString &folder : {QStringLiteral("In"), QStringLiteral("Cue")}) {
        DiskInfo page = d;
        page.diskPath = r + folder;
        Scanner lister;
        QSignalSpy over(&lister, &Scanner::scanOverFileManage);
        lister.addScanPath(page, 5, false, 0);
        QTRY_COMPARE_WITH_TIMEOUT(over.size(), 1, 20000);
        QStringList shown;
        for (const MediaObjectInfo &m : TempMediaObjectList.value(5).mediaList)
            shown << m.fileName;
        QCOMPARE(sorted(shown),
                 folder == QLatin1String("In") ? sorted({"real", "alias"}) : sorted({"album", "Good", "Over"}));
    }

    // The play path: the sheet's audio file, or nothing.
    const auto probe = [](const QString &) { return AudioFileInfo{QString(), QString(), 100}; };
    QCOMPARE(resolveCueItem(r + "Cue/good.cue", "Good", probe), r + "Cue/album.flac");
    QCOMPARE(QFileInfo(resolveCueItem(r + "Cue/over.cue", "Over", probe)).canonicalFilePath(),
             QFileInfo(r + "In/real.mp3").canonicalFilePath());
    for (const QString &sheet : refused)
        QCOMPARE(resolveCueItem(r + "Cue/" + sheet + ".cue", "x", probe), QString());
}

// Names that are not valid UTF-8 (GBK, or broken bytes) cannot be named
// again through Qt: each playable file and folder of that kind is logged
// and counted instead of vanishing without a word.
void TstScanner::namesNotUtf8AreCounted()
{
    const DiskInfo d = volume(2);
    const QByteArray root = QFile::encodeName(d.diskPath);
    songs(d.diskPath, {"fine.mp3"});
    const QByteArray tagged = contents(fix("tagged.mp3"));
    QVERIFY(writeRaw(root + "/bad\xFF.mp3", tagged));
    QVERIFY(writeRaw(root + "/\xC4\xE3\xBA\xC3.mp3", tagged));    // GBK
    QCOMPARE(::mkdir((root + "/\xB8\xE8").constData(), 0755), 0); // a GBK folder
    QVERIFY(writeRaw(root + "/\xB8\xE8/in.mp3", tagged));
    QVERIFY(writeRaw(root + "/notes\xFF.txt", "not a song"));
    Scanner scanner;
    scanner.setDataBase(m_db);
    QCOMPARE(scan(scanner, d), false);
    QCOMPARE(lines(d).size(), 1);
    QCOMPARE(rows(d).value(0).path, QStringLiteral("fine.mp3"));
    QCOMPARE(scanner.stats().namesSkipped, 3);
    const QString log = m_sb->readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"));
    const QString prefix = QStringLiteral("scanner: %1 name is not valid UTF-8, skipped: ");
    QVERIFY(log.contains(prefix.arg("file") + d.diskPath + "/bad\\xFF.mp3"));
    QVERIFY(log.contains(prefix.arg("file") + d.diskPath + "/\\xC4\\xE3\\xBA\\xC3.mp3"));
    QVERIFY(log.contains(prefix.arg("folder") + d.diskPath + "/\\xB8\\xE8"));
    QVERIFY(!log.contains("notes"));
}

// A stick pulled while the tags of its files are read, time and again: no
// row stays without the tags its file has; the scans after the pulls enter
// every file once, tagged.
void TstScanner::pullsLeaveNoUntaggedRows()
{
    const DiskInfo d = volume(3);
    QStringList all;
    for (int f = 0; f < 8; ++f) {
        for (int n = 0; n < 6; ++n)
            all << QStringLiteral("F%1/s%2.mp3").arg(f).arg(n);
    }
    for (const QString &rel : all)
        songs(d.diskPath, {rel});
    const QString away = d.diskPath + QStringLiteral(".pulled");
    Scanner scanner;
    scanner.setDataBase(m_db);
    for (int pull = 0; pull < 6; ++pull) {
        QSignalSpy over(&scanner, &Scanner::scanOver);
        scanner.setScannerSpeed(10);
        scanner.setScanPath(d, false, 0, nullptr);
        // Once a folder is in, the next one is read: pull the stick some
        // way into it (the walk paces 10 ms before the folder and after
        // each file).
        QElapsedTimer t;
        t.start();
        while (scanner.isScanning() && scanner.stats().filesEntered == 0 && t.elapsed() < 30000)
            QThread::usleep(500);
        QThread::msleep(15 + 7 * pull);
        QVERIFY(QDir().rename(d.diskPath, away));
        if (pull % 2)
            scanner.stop_Scanner(); // as the storage checker does when it sees the stick go
        QTRY_COMPARE_WITH_TIMEOUT(over.size(), 1, 30000);
        QVERIFY(QDir().rename(away, d.diskPath));
    }
    QCOMPARE(scan(scanner, d), false);
    QStringList paths;
    for (const Row &row : rows(d)) {
        paths << row.path;
        QVERIFY2(row.author == QStringLiteral("Hello 世界") && row.album == QStringLiteral("专辑 One"),
                 qPrintable(row.path));
    }
    QCOMPARE(sorted(paths), sorted(all));
}

// Temporary lists stopped at any moment of their walk through the mounted
// volumes (the controller and the browser stop them when the user moves
// on): the walk keeps its own copy of the volume list, which the stop
// empties.
void TstScanner::temporaryListStoppedPartWay()
{
    QList<DiskInfo> vols;
    for (int port = 1; port <= 3; ++port) {
        const DiskInfo v = volume(port);
        QString deep = v.diskPath;
        for (int level = 0; level < 20; ++level)
            deep += QStringLiteral("/d%1").arg(level);
        QVERIFY(QDir().mkpath(deep));
        songs(deep, {"bottom.mp3"});
        vols << v;
    }
    g_CurMusicPlay.filePath = vols.first().diskPath + QStringLiteral("/d0/gone.mp3");
    for (int round = 0; round < 24; ++round) {
        Scanner scanner;
        QSignalSpy over(&scanner, &Scanner::scanOverFileManage);
        scanner.setScanTmpMusicList(round % 2 ? Scanner::TmpNextFolder : Scanner::TmpPrevFolder);
        QThread::usleep(unsigned(round) * 250); // the stop lands at another point of the walk each round
        scanner.stop_Scanner();
        QTRY_COMPARE_WITH_TIMEOUT(over.size(), 1, 20000);
        for (const MediaObjectInfo &m : qAsConst(mediaTempPlayList))
            QCOMPARE(m.fileName, QStringLiteral("bottom"));
    }
}

QTEST_GUILESS_MAIN(TstScanner)
#include "tst_scanner.moc"
