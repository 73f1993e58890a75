// The library file through the real SQLite file in a sandbox: settings,
// volumes, folders and files, lists, repair and recreation.
#include "crossthreadspy.h"
#include "database.h"
#include "disklist.h"
#include "exeshellfordb.h"
#include "globals.h"
#include "libraryrepair.h"
#include "sqltext.h"
#include "testsandbox.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <algorithm>

#include <sqlite3.h>

#include <functional>

namespace {

DiskInfo makeDisk(int port, const QString &part, qint64 total, qint64 avail, int arrival = 0)
{
    DiskInfo d;
    d.port = port;
    d.storageId = part;
    d.diskPath = USBPath_Prefix + QStringLiteral("usb-storage_%1/%2").arg(port).arg(part);
    d.fileSystemType = QStringLiteral("ext4");
    d.diskSizes = total;
    d.diskAvailSize = avail;
    d.arrivalNo = arrival;
    return d;
}

} // namespace

class TstDataBase : public QObject
{
    Q_OBJECT

private:
    TestSandbox *m_sb = nullptr;
    DataBase *m_db = nullptr;

    // A volume recorded, mounted, with its root folder.
    DiskInfo addVolume(int port, const QString &part, qint64 total, qint64 avail)
    {
        DiskInfo d = makeDisk(port, part, total, avail, UsingUSBDiskList.size());
        int rowid = 0;
        if (!m_db->insert_DiskList(d, d.fileSystemType.toLatin1(), QStringLiteral("STICK"), &rowid))
            return DiskInfo();
        d.diskID = rowid;
        d.musicTableID = port;
        UsingUSBDiskList.append(d);
        std::sort(UsingUSBDiskList.begin(), UsingUSBDiskList.end(), compareDiskListData);
        return d;
    }

    int addFolder(const DiskInfo &d, int fid, const QString &path)
    {
        return m_db->insert_Dir(get_DirTableName(&d), fid, path, d.diskID);
    }

    void addSong(const DiskInfo &d, int folder, const QString &rel, const QString &artist = QString(),
                 const QString &album = QString(), qint64 size = 1000, qint64 day = 1700000000,
                 const QString &title = QString())
    {
        AudioInfo a;
        a.filePath = d.diskPath + QLatin1Char('/') + rel;
        a.title = title.isEmpty() ? QFileInfo(rel).completeBaseName() : title;
        a.fileExt = QFileInfo(rel).suffix().toLower();
        a.fileSize = size;
        a.artist = artist;
        a.album = album;
        a.createTime = day;
        DiskInfo f = d;
        f.diskSizes = folder; // the folder row travels in the size field
        QVERIFY(m_db->insert_Music(get_MusicTableName(&d), &a, &f));
    }

    QString configValue(const QString &name)
    {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(MusicDataBaseName), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "select value from pre_config where name=?", -1, &st, nullptr);
        const QByteArray n = name.toUtf8();
        sqlite3_bind_text(st, 1, n.constData(), -1, SQLITE_TRANSIENT);
        QString v;
        if (sqlite3_step(st) == SQLITE_ROW)
            v = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        sqlite3_close(db);
        return v;
    }

    // A library like a damaged one seen on a car: changed settings, three
    // volumes, folders, 600 songs on one volume and 100 on another.
    void fillLibrary()
    {
        m_db->update_Config(QStringLiteral("playMode"), QStringLiteral("2"));
        m_db->update_Config(QStringLiteral("languageID"), QStringLiteral("3"));
        m_db->update_CurDirPath(QStringLiteral("/run/media/usb-storage_1/sda1/Folk"));
        const DiskInfo a = addVolume(1, QStringLiteral("sda1"), 9000000, 1);
        const DiskInfo b = addVolume(2, QStringLiteral("sdb1"), 8000000, 1);
        addVolume(3, QStringLiteral("sdc1"), 7000000, 1);
        QVERIFY(m_db->beginTransaction());
        const int fa = addFolder(a, 0, "USBBASEROOTPATH");
        const int fb = addFolder(b, 0, "USBBASEROOTPATH");
        for (int i = 0; i < 600; ++i)
            addSong(a, fa, QStringLiteral("Folk/song %1.mp3").arg(i), QStringLiteral("Singer %1").arg(i % 9),
                    QStringLiteral("Album %1").arg(i % 40));
        for (int i = 0; i < 100; ++i)
            addSong(b, fb, QStringLiteral("歌曲 %1.flac").arg(i), QStringLiteral("周杰伦"));
        QVERIFY(m_db->commitTransaction());
    }

    // Every row of every table of a library file: table -> rowid -> values.
    using Rows = QMap<QString, QMap<qint64, QStringList>>;
    static Rows allRows(const QString &file)
    {
        Rows out;
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        auto each = [db](const QByteArray &sql, const std::function<void(sqlite3_stmt *)> &row) {
            sqlite3_stmt *st = nullptr;
            if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK) {
                while (sqlite3_step(st) == SQLITE_ROW)
                    row(st);
            }
            sqlite3_finalize(st);
        };
        auto text = [](sqlite3_stmt *st, int c) {
            const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
            return t ? QString::fromUtf8(t) : QStringLiteral("<null>");
        };
        QStringList tables;
        each("SELECT name FROM sqlite_schema WHERE type='table';", [&](sqlite3_stmt *st) { tables << text(st, 0); });
        for (const QString &t : qAsConst(tables)) {
            out[t];
            each("SELECT rowid,* FROM " + t.toUtf8() + ";", [&](sqlite3_stmt *st) {
                QStringList values;
                for (int c = 1; c < sqlite3_column_count(st); ++c)
                    values << text(st, c);
                out[t].insert(sqlite3_column_int64(st, 0), values);
            });
        }
        sqlite3_close_v2(db);
        return out;
    }

    // The page of a table in the middle of its leaves (its root when it has
    // one page), and the rows on it, as SQLite's page statistics give them.
    static QPair<int, int> middlePage(const QString &file, const QString &table)
    {
        QList<QPair<int, int>> leaves;
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *st = nullptr;
        const QByteArray sql =
            "SELECT pageno,ncell FROM dbstat WHERE name='" + table.toUtf8() + "' AND pagetype='leaf' ORDER BY pageno;";
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW)
                leaves << qMakePair(sqlite3_column_int(st, 0), sqlite3_column_int(st, 1));
        }
        sqlite3_finalize(st);
        sqlite3_close_v2(db);
        return leaves.value(leaves.size() / 2, qMakePair(0, 0));
    }

    // Random bytes (seeded: the same every run) over one 4096-byte page.
    static QByteArray damagePage(const QString &file, int page)
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadWrite) || page < 1 || f.size() < page * 4096)
            return QByteArray();
        QRandomGenerator random(0x5EED0000u + quint32(page));
        QByteArray junk(4096, 0);
        for (char &c : junk)
            c = char(random.bounded(256));
        f.seek(qint64(page - 1) * 4096);
        f.write(junk);
        f.close();
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

    static QString integrity(const QString &file)
    {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *st = nullptr;
        QString result;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check;", -1, &st, nullptr) == SQLITE_OK
            && sqlite3_step(st) == SQLITE_ROW)
            result = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        sqlite3_close_v2(db);
        return result;
    }

private slots:
    void init()
    {
        m_sb = new TestSandbox();
        QVERIFY(m_sb->isValid());
        m_sb->enter();
        InitPaths();
        InitData();
        UsingUSBDiskList.clear();
        mediaObjectInfoList.clear();
        TempMediaObjectList.clear();
        m_db = new DataBase();
        m_db->CreateDataBase(false);
        QVERIFY(QFile::exists(MusicDataBaseName));
        QVERIFY(m_db->createConnection());
    }
    void cleanup()
    {
        delete m_db;
        m_db = nullptr;
        UsingUSBDiskList.clear();
        mediaObjectInfoList.clear();
        delete m_sb;
        InitPaths();
    }

    void defaultsAndSettings()
    {
        QVERIFY(m_db->initConfig());
        QCOMPARE(QString(g_CurMusicPlay.dbVersion), DB_Versions);
        QCOMPARE(int(g_CurMusicPlay.curDiskID), 1);
        QCOMPARE(LanguageID, 1);
        QCOMPARE(int(g_TempData.wheelAd2), 200);
        QVERIFY(g_TempData.wheelValuesLoaded);
        QCOMPARE(Cur_Delay_Uint, 1000);

        const QString dir = QString::fromUtf8("/run/media/usb-storage_1/sda1/周杰伦 (Live) 100% [Best]_it's");
        m_db->update_MusicListTypeAndPath(dir, ListDirectory);
        m_db->update_MusicListTypeAndPath(QStringLiteral("1__M__AC/DC's"), ListSearch);
        g_TempData.wheelAd1 = 333;
        m_db->update_CurWheelDefVal();
        m_db->update_DelayUint(1002);
        g_CurMusicPlay.isSubPage = false;
        m_db->update_Submodel();
        m_db->update_Config(QStringLiteral("playMode"), QStringLiteral("3"));
        m_db->update_Config(QStringLiteral("no such key"), QStringLiteral("x"));

        g_CurMusicPlay.curDirPath = QString();
        g_CurMusicPlay.songsearchConfig = QString();
        g_TempData.wheelAd1 = 0;
        g_CurMusicPlay.isSubPage = true;
        QVERIFY(m_db->initConfig());
        QCOMPARE(QString(g_CurMusicPlay.curDirPath), dir);
        QCOMPARE(QString(g_CurMusicPlay.songsearchConfig), QStringLiteral("1__M__AC/DC's"));
        QCOMPARE(int(g_CurMusicPlay.musiclistType), 2);
        QCOMPARE(int(g_TempData.wheelAd1), 333);
        QCOMPARE(Cur_Delay_Uint, 1002);
        QVERIFY(!g_CurMusicPlay.isSubPage);
        QCOMPARE(int(g_CurMusicPlay.playMode), 3);
        QCOMPARE(configValue(QStringLiteral("curDirPath")), sqliteEscape(dir));
    }

    void titlesRoundTrip_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("escaped characters") << "Rock & Roll (Live) [Remix] 100% a_b c/d";
        QTest::newRow("apostrophe and quotes") << "Don't \"Stop\" '''";
        QTest::newRow("chinese") << QString::fromUtf8("周杰伦 - 七里香");
        QTest::newRow("korean") << QString::fromUtf8("아이유 - 좋은 날");
        QTest::newRow("emoji") << QString::fromUtf8("Party 🎉🎶");
        QTest::newRow("sql in a name") << "x'); DROP TABLE pre_config; --";
        QTest::newRow("very long") << QString(600, QChar(0x4E2D)) + QStringLiteral("'%_");
        QTest::newRow("slash before full-width quote") << QString::fromUtf8("a/＂b");
    }
    void titlesRoundTrip()
    {
        QFETCH(QString, title);
        const DiskInfo d = addVolume(1, QStringLiteral("sda1"), 1000000, 5000);
        QVERIFY(d.diskID > 0);
        const int root = addFolder(d, 0, QStringLiteral("USBBASEROOTPATH"));
        const int folder = addFolder(d, root, d.diskPath + QLatin1Char('/') + title);
        QVERIFY(folder > root);
        const QString rel = title + QStringLiteral("/song.flac");
        addSong(d, folder, rel, title, title, 1000, 1700000000, title);
        QVERIFY(m_db->Is_DataExist(get_MusicTableName(&d), "filePath", d.diskPath + "/" + rel, d.diskID) > 0);
        QCOMPARE(m_db->count_SongData(d.diskPath + "/" + rel, &d), 1);

        QVERIFY(m_db->getDiskMusicList(d, false));
        QCOMPARE(mediaObjectInfoList.size(), 1);
        QCOMPARE(mediaObjectInfoList.first().fileName, title);
        QCOMPARE(mediaObjectInfoList.first().filePath, d.diskPath + QLatin1Char('/') + rel);

        QVector<MediaInfo> dirs;
        m_db->Get_DBDirList_Path(&dirs, &d);
        QCOMPARE(dirs.size(), 2);
        QCOMPARE(dirs.at(0).filePath, QStringLiteral("USBBASEROOTPATH"));
        QCOMPARE(dirs.at(1).filePath, title);

        // Category lists come back with the same names.
        QList<TempInfoList> out;
        m_db->setSearchConfig(0, SearchArtist, &out, QString(), true);
        QVERIFY(m_db->waitForSearch(10000));
        QCOMPARE(out.size(), 1);
        QCOMPARE(out.first().info.title, title.trimmed());
        QVERIFY(m_db->getMusicSearchList(1, SearchAlbum, title));
        QCOMPARE(TempMediaObjectList.at(1).mediaList.size(), 1);
        QCOMPARE(TempMediaObjectList.at(1).mediaList.first().fileName, title);
        QCOMPARE(m_db->initConfig(), true); // the statements never broke the file
    }

    void volumeRecognition()
    {
        DiskInfo d = addVolume(2, QStringLiteral("sdb1"), 8000000, 4000);
        const int root = addFolder(d, 0, QStringLiteral("USBBASEROOTPATH"));
        addSong(d, root, QStringLiteral("a.mp3"));
        const QByteArray fs = d.fileSystemType.toLatin1();
        int rowid = 0, table = 0, changed = 0;

        DiskInfo fresh = makeDisk(1, QStringLiteral("sdc1"), 7000000, 1);
        QCOMPARE(m_db->Is_DiskExist(fresh, fs, rowid, table, changed), -1);

        m_db->update_DiskInfo(d, 2, QStringLiteral("status"));
        QCOMPARE(m_db->Is_DiskExist(d, fs, rowid, table, changed), 2);
        QCOMPARE(rowid, d.diskID);
        QCOMPARE(table, 2);
        QCOMPARE(changed, 0);

        // Unchanged under a new mount point: rows kept, path and current folder follow.
        g_CurMusicPlay.musiclistType = ListDirectory;
        g_CurMusicPlay.curDiskID = d.diskID;
        g_CurMusicPlay.curDirPath = d.diskPath + QStringLiteral("/Albums/One");
        DiskInfo moved = d;
        moved.diskPath = USBPath_Prefix + QStringLiteral("usb-storage_3/sdd1");
        QCOMPARE(m_db->Is_DiskExist(moved, fs, rowid, table, changed), 2);
        QCOMPARE(changed, 0);
        QCOMPARE(QString(g_CurMusicPlay.curDirPath), moved.diskPath + QStringLiteral("/Albums/One"));
        QCOMPARE(configValue(QStringLiteral("curDirPath")),
                 sqliteEscape(moved.diskPath + QStringLiteral("/Albums/One")));
        QCOMPARE(m_db->Count_SongsFromDiskID(d), 1);
        // A saved folder that was the old root becomes the new root.
        g_CurMusicPlay.curDirPath = moved.diskPath;
        DiskInfo movedBack = d;
        QCOMPARE(m_db->Is_DiskExist(movedBack, fs, rowid, table, changed), 2);
        QCOMPARE(QString(g_CurMusicPlay.curDirPath), d.diskPath);

        // Contents changed: rows cleared, status 0, resume record cleared when it points here.
        g_CurMusicPlay.selectMuiscInfo = QStringLiteral("a__RS__%1__RS__/x/a.mp3__RS__mp3").arg(d.diskID);
        g_CurMusicPlay.currentPosition = 77;
        {
            QSettings s(SettingFileName, QSettings::IniFormat);
            s.setValue(QStringLiteral("SETTING/m_currentTime"), 77);
        }
        DiskInfo changedDisk = d;
        changedDisk.diskAvailSize = 3000;
        QCOMPARE(m_db->Is_DiskExist(changedDisk, fs, rowid, table, changed), 0);
        QCOMPARE(changed, 1);
        QCOMPARE(m_db->Count_SongsFromDiskID(d), 0);
        QCOMPARE(m_db->get_DiskState(d), 0);
        QCOMPARE(qint64(g_CurMusicPlay.currentPosition), qint64(0));
        QVERIFY(QString(g_CurMusicPlay.selectMuiscInfo).isEmpty());
        QCOMPARE(QSettings(SettingFileName, QSettings::IniFormat).value("SETTING/m_currentTime").toInt(), 0);
        // The stored free size follows: the next look finds it unchanged.
        QCOMPARE(m_db->Is_DiskExist(changedDisk, fs, rowid, table, changed), 0);
        QCOMPARE(changed, 0);
    }

    void insertRefusesTinyVolumes()
    {
        int rowid = -1;
        QVERIFY(!m_db->insert_DiskList(makeDisk(1, "a", 9, 0), "ext4", "x", &rowid));
        QVERIFY(!m_db->insert_DiskList(makeDisk(1, "a", 100, -1), "ext4", "x", &rowid));
        QVERIFY(m_db->insert_DiskList(makeDisk(1, "a", 10, 0), "ext4", "x", &rowid));
        QVERIFY(rowid > 0);
        QVERIFY(!m_db->del_TableData(QStringLiteral("pre_config"), 1));
        QVERIFY(m_db->initConfig());
        QCOMPARE(QString(g_CurMusicPlay.dbVersion), DB_Versions);
    }

    void cleanUpKeepsSixVolumes()
    {
        // Seven recorded volumes, none mounted: states move 0->1 and 2->3,
        // and the first one in state 1 or 3 goes with its rows.
        QList<DiskInfo> all;
        for (int i = 0; i < 7; ++i) {
            DiskInfo d = addVolume(1 + i % 3, QStringLiteral("sd%1").arg(i), 100000 + i, 10);
            addSong(d, addFolder(d, 0, QStringLiteral("USBBASEROOTPATH")), QStringLiteral("s%1.mp3").arg(i));
            all << d;
        }
        m_db->update_DiskInfo(all[0], 2, QStringLiteral("status"));
        UsingUSBDiskList.clear();
        UsingUSBDiskList.append(all[6]); // only the last is mounted
        QVERIFY(m_db->Check_DiskInfo());
        // The first row was finished (2) and is now gone (3): it goes first.
        QCOMPARE(m_db->Reback_SingleResu(
                     QStringLiteral("SELECT count(*) FROM pre_diskList where rowid=%1;").arg(all[0].diskID).toLatin1()),
                 0);
        QCOMPARE(m_db->Reback_SingleResu("SELECT count(*) FROM pre_diskList;"), 6);
        QCOMPARE(m_db->get_DiskState(all[1]), 1);
        QCOMPARE(m_db->get_DiskState(all[5]), 1);
        QCOMPARE(m_db->get_DiskState(all[6]), 0); // mounted: untouched
        QCOMPARE(m_db->Count_SongsFromDiskID(all[0]), 0);
        QCOMPARE(m_db->Count_SongsFromDiskID(all[1]), 1);
        // Six rows: nothing more goes.
        QVERIFY(m_db->Check_DiskInfo());
        QCOMPARE(m_db->Reback_SingleResu("SELECT count(*) FROM pre_diskList;"), 6);
    }

    void playListBlocksFollowPortOrder()
    {
        DiskInfo p2 = addVolume(2, QStringLiteral("sda1"), 2000000, 1);
        DiskInfo p1 = addVolume(1, QStringLiteral("sdb1"), 3000000, 1);
        DiskInfo p3 = addVolume(3, QStringLiteral("sdc1"), 4000000, 1);
        for (const DiskInfo &d : {p1, p2, p3}) {
            const int root = addFolder(d, 0, QStringLiteral("USBBASEROOTPATH"));
            addSong(d, root, QStringLiteral("p%1-a.mp3").arg(d.port));
            addSong(d, root, QStringLiteral("p%1-b.mp3").arg(d.port));
        }
        // Loaded in any order, each volume lands in its block: 3, 1, 2.
        QVERIFY(m_db->getDiskMusicList(p2, false));
        QVERIFY(m_db->getDiskMusicList(p3, true));
        QVERIFY(m_db->getDiskMusicList(p1, false));
        QStringList titles;
        for (const MediaObjectInfo &m : mediaObjectInfoList)
            titles << m.fileName;
        QCOMPARE(titles, QStringList({"p3-a", "p3-b", "p1-a", "p1-b", "p2-a", "p2-b"}));
    }

    // A statement that cannot be prepared is logged with SQLite's reason
    // and the statement, and answers nothing.
    void failedStatementIsLogged()
    {
        DiskInfo d = makeDisk(1, QStringLiteral("sda1"), 1000000, 1);
        d.diskID = 4;
        d.musicTableID = 7; // no such table
        QCOMPARE(m_db->Count_SongsFromDiskID(d), 0);
        const QString log = m_sb->readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"));
        QVERIFY2(log.contains(QStringLiteral("W vdx.library: SQL prepare failed: no such table: pre_diskmusic7 "
                                             "[SELECT count(rowid) FROM \"pre_diskmusic7\" where diskID=?;]")),
                 qPrintable(log));
    }

    // A slot that runs while a volume's songs load (events are pumped per
    // row) and changes the play list: the load still puts exactly the
    // volume's songs in its block.
    void songsLoadWhileEventsArePumped_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("another volume asked for") << "load p2" << QStringList({"1a", "1b", "1c", "2a", "2b", "2c"});
        QTest::newRow("list emptied") << "clear" << QStringList({"1a", "1b", "1c"});
        QTest::newRow("volume pulled") << "pull p1" << QStringList();
    }
    void songsLoadWhileEventsArePumped()
    {
        QFETCH(QString, slot);
        QFETCH(QStringList, titles);
        DiskInfo p1 = addVolume(1, QStringLiteral("sda1"), 3000000, 1);
        DiskInfo p2 = addVolume(2, QStringLiteral("sdb1"), 2000000, 1);
        for (const DiskInfo &d : {p1, p2}) {
            const int root = addFolder(d, 0, QStringLiteral("USBBASEROOTPATH"));
            for (const char *n : {"a", "b", "c"})
                addSong(d, root, QStringLiteral("%1%2.mp3").arg(d.port).arg(QLatin1String(n)));
        }
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            ran = true;
            if (slot == QLatin1String("load p2")) {
                QVERIFY(m_db->getDiskMusicList(p2, true));
            } else if (slot == QLatin1String("clear")) {
                mediaObjectInfoList.clear();
            } else {
                UsingUSBDiskList.erase(std::remove_if(UsingUSBDiskList.begin(), UsingUSBDiskList.end(),
                                                      [&](const DiskInfo &d) { return d.diskID == p1.diskID; }),
                                       UsingUSBDiskList.end());
            }
        });
        QVERIFY(m_db->getDiskMusicList(p1, true));
        QVERIFY(ran);
        QStringList got;
        for (const MediaObjectInfo &m : mediaObjectInfoList)
            got << m.fileName;
        QCOMPARE(got, titles);
    }

    void songAndCategoryLists_data()
    {
        QTest::addColumn<int>("volumes");
        QTest::newRow("one volume") << 1;
        QTest::newRow("two volumes") << 2;
        QTest::newRow("three volumes") << 3;
    }
    void songAndCategoryLists()
    {
        QFETCH(int, volumes);
        const qint64 day1 = QDateTime(QDate(2023, 1, 2), QTime(0, 0)).toSecsSinceEpoch();
        const qint64 day2 = QDateTime(QDate(2024, 6, 30), QTime(0, 0)).toSecsSinceEpoch();
        for (int v = 0; v < volumes; ++v) {
            DiskInfo d = addVolume(v + 1, QStringLiteral("sd%1").arg(v), 5000000 + v, 1);
            const int root = addFolder(d, 0, QStringLiteral("USBBASEROOTPATH"));
            addSong(d, root, QString::fromUtf8("中国%1.flac").arg(v), QString::fromUtf8("周杰伦"), "Album B", 2048,
                    day1);
            addSong(d, root, QStringLiteral("apple%1.mp3").arg(v), QStringLiteral("Adele"), "Album A", 1610612736,
                    day2);
            addSong(d, root, QStringLiteral("zed%1.dsf").arg(v), QString(), QString(), 700, day1);
        }
        QList<TempInfoList> out;
        auto titles = [&] {
            QStringList t;
            for (const TempInfoList &r : out)
                t << r.info.title;
            return t;
        };
        auto run = [&](int type, const QString &key) {
            m_db->setSearchConfig(5, type, &out, key, true);
            QVERIFY(m_db->waitForSearch(10000));
        };
        // Artists: one row per name (union folds volumes), empty names left out.
        run(SearchArtist, QString());
        QCOMPARE(titles(), QStringList({"Adele", QString::fromUtf8("周杰伦")}));
        run(SearchAlbum, QString());
        QCOMPARE(titles(), QStringList({"Album A", "Album B"}));
        run(SearchFileType, QString());
        QCOMPARE(titles(), QStringList({"DSF", "FLAC", "MP3"}));

        // Songs by title: every volume's rows, in key order.
        run(SearchTitle, QString());
        QCOMPARE(out.size(), 3 * volumes);
        QCOMPARE(out.first().info.title, QStringLiteral("apple0"));
        QCOMPARE(TempMediaObjectList.at(5).mediaList.size(), 3 * volumes);
        // Newest first with the date text; largest first with the size text.
        run(SearchDate, QString());
        QCOMPARE(out.first().info.rightText, QStringLiteral("2024/06/30"));
        QCOMPARE(out.last().info.rightText, QStringLiteral("2023/01/02"));
        run(SearchSize, QString());
        QCOMPARE(out.first().info.rightText, QStringLiteral("1.5G"));
        QCOMPARE(out.last().info.rightText, QStringLiteral("700B"));
        // Keyed lists: an artist, an album, a file type (any case).
        run(SearchArtist, QString::fromUtf8("周杰伦"));
        QCOMPARE(out.size(), volumes);
        run(SearchAlbum, QStringLiteral("Album A"));
        QCOMPARE(out.size(), volumes);
        run(SearchFileType, QStringLiteral("DSF"));
        QCOMPARE(out.size(), volumes);
        QCOMPARE(TempMediaObjectList.at(5).mediaList.first().fileType, QStringLiteral("dsf"));

        // The same selection restores the play list at start-up.
        g_CurMusicPlay.songsearchConfig = QStringLiteral("4__M__MP3");
        mediaObjectInfoList.clear();
        QVERIFY(m_db->initSearchMusicList());
        QCOMPARE(mediaObjectInfoList.size(), volumes);
        QVERIFY(mediaObjectInfoList.first().filePath.endsWith(QStringLiteral("/apple0.mp3")));
    }

    void pacedDeliveryAndNoData()
    {
        DiskInfo d = addVolume(1, QStringLiteral("sda1"), 9000000, 1);
        const int root = addFolder(d, 0, QStringLiteral("USBBASEROOTPATH"));
        for (int i = 0; i < 14; ++i)
            addSong(d, root, QStringLiteral("song%1.mp3").arg(i, 2, 10, QLatin1Char('0')));
        QList<TempInfoList> out;
        CrossThreadSpy rows(m_db, &DataBase::readDBInfo);
        CrossThreadSpy over(m_db, &DataBase::readDBOver);
        CrossThreadSpy none(m_db, &DataBase::sig_NoneData);
        m_db->setSearchConfig(2, SearchTitle, &out, QString(), false);
        // The stick goes while the rows come (50 ms apart): the search goes on
        // over the volumes it was asked for, and never reads the list the GUI
        // thread changes.
        QTRY_VERIFY(rows.count() >= 1);
        const QList<DiskInfo> mounted = UsingUSBDiskList;
        UsingUSBDiskList.clear();
        QVERIFY(m_db->waitForSearch(20000));
        UsingUSBDiskList = mounted;
        QCOMPARE(TempMediaObjectList.at(2).mediaList.size(), 14);
        QCOMPARE(TempMediaObjectList.at(2).mediaList.last().filePath, d.diskPath + QStringLiteral("/song13.mp3"));
        QTRY_COMPARE(rows.count(), 10); // the first ten as signals
        QCOMPARE(rows.first().at(1).toInt(), 2);
        QCOMPARE(rows.first().at(0).value<ListInfo>().title, QStringLiteral("song00"));
        QCOMPARE(out.size(), 4); // the rest in the list
        QCOMPARE(out.first().info.title, QStringLiteral("song10"));
        QCOMPARE(out.first().secondId, 2);
        QCOMPARE(over.count(), 0);
        QCOMPARE(none.count(), 0);

        // No volume mounted: nothing read, readDBOver then sig_NoneData.
        UsingUSBDiskList.clear();
        m_db->setSearchConfig(0, SearchTitle, &out, QString(), true);
        QVERIFY(m_db->waitForSearch(10000));
        QTRY_COMPARE(over.count(), 1);
        QTRY_COMPARE(none.count(), 1);
        QVERIFY(out.isEmpty());
    }

    void albumArtistUpdates()
    {
        DiskInfo d = addVolume(1, QStringLiteral("sda1"), 9000000, 1);
        const int root = addFolder(d, 0, QStringLiteral("USBBASEROOTPATH"));
        addSong(d, root, QStringLiteral("one.mp3"));
        addSong(d, root, QStringLiteral("two.mp3"), QStringLiteral("Known"));
        QList<MediaInfo> todo;
        m_db->readNoablumSonglist(&todo, UsingUSBDiskList);
        QCOMPARE(todo.size(), 1);
        QCOMPARE(todo.first().filePath, d.diskPath + QStringLiteral("/one.mp3"));
        QCOMPARE(todo.first().fileExt, QStringLiteral("mp3"));
        m_db->update_MusicInfo(todo.first(), QStringLiteral("  "), QString());
        todo.clear();
        m_db->readNoablumSonglist(&todo, UsingUSBDiskList);
        QVERIFY(todo.isEmpty());
        QList<TempInfoList> out;
        m_db->setSearchConfig(0, SearchArtist, &out, QString(), true);
        QVERIFY(m_db->waitForSearch(10000));
        QStringList names;
        for (const TempInfoList &r : out)
            names << r.info.title;
        QCOMPARE(names, QStringList({"Known", QString::fromUtf8("未知")})); // "wz" sorts after "known"
    }

    void deleteMatchesTheVolume()
    {
        // Two volumes first seen on port 1 share a table; deleting a file of
        // one keeps the other's file of the same relative path.
        DiskInfo a = addVolume(1, QStringLiteral("sda1"), 7000000, 1);
        UsingUSBDiskList.clear();
        DiskInfo b = addVolume(1, QStringLiteral("sdb1"), 6000000, 1);
        UsingUSBDiskList.prepend(a);
        addSong(a, addFolder(a, 0, "USBBASEROOTPATH"), QStringLiteral("same.mp3"));
        addSong(b, addFolder(b, 0, "USBBASEROOTPATH"), QStringLiteral("same.mp3"));
        m_db->del_music(a.diskID, a.diskPath + QStringLiteral("/same.mp3"));
        QCOMPARE(m_db->Count_SongsFromDiskID(a), 0);
        QCOMPARE(m_db->Count_SongsFromDiskID(b), 1);
    }

    // Damage made while the player was off is found when the library is
    // opened, before anything is written: the rows the damaged page did
    // not hold survive, with their rowids, in a file that passes SQLite's
    // integrity check; the damaged file is kept beside it.
    void repairKeepsWhatTheDamageLeft_data()
    {
        QTest::addColumn<QString>("table"); // "": the file's first page (header and schema)
        QTest::newRow("a page of one volume's songs") << QStringLiteral("pre_diskmusic1");
        QTest::newRow("the volume list") << QStringLiteral("pre_diskList");
        QTest::newRow("the settings") << QStringLiteral("pre_config");
        QTest::newRow("the header and the schema") << QString();
    }
    void repairKeepsWhatTheDamageLeft()
    {
        QFETCH(QString, table);
        fillLibrary();
        m_db->closeConnection();
        const Rows before = allRows(MusicDataBaseName);
        QCOMPARE(before.value("pre_diskmusic1").size(), 600);
        const QPair<int, int> page = table.isEmpty() ? qMakePair(1, 0) : middlePage(MusicDataBaseName, table);
        QVERIFY2(page.first > 1 || table.isEmpty(), "no page statistics (dbstat)");
        if (table == QLatin1String("pre_diskmusic1"))
            QVERIFY(page.second > 0 && page.second < 100); // one page of many
        const QByteArray damaged = damagePage(MusicDataBaseName, page.first);
        QVERIFY(!damaged.isEmpty());

        QSignalSpy over(m_db, &DataBase::rebuilDBOver);
        QVERIFY(m_db->createConnection());
        QCOMPARE(over.count(), 1);
        QCOMPARE(integrity(MusicDataBaseName), QStringLiteral("ok"));
        QFile kept(LibraryRepair::damagedCopyPath(MusicDataBaseName));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(kept.readAll() == damaged);
        QVERIFY(!QFile::exists(LibraryRepair::rebuildPath(MusicDataBaseName)));

        const Rows after = allRows(MusicDataBaseName);
        const QStringList needed{"pre_config",   "pre_diskList",   "pre_diskdir1",   "pre_diskdir2",
                                 "pre_diskdir3", "pre_diskmusic1", "pre_diskmusic2", "pre_diskmusic3"};
        for (const QString &t : needed) {
            QVERIFY2(after.contains(t), qPrintable(t));
            if (t == QLatin1String("pre_config"))
                continue;
            if (table.isEmpty()) {
                QVERIFY2(after.value(t).isEmpty(), qPrintable(t));
            } else if (t != table) {
                QVERIFY2(after.value(t) == before.value(t), qPrintable(t)); // untouched tables whole
            } else {
                // Exactly the rows of the damaged page are gone; the rest
                // are the same rows under the same rowids.
                QCOMPARE(after.value(t).size(), before.value(t).size() - page.second);
                for (auto it = after.value(t).cbegin(); it != after.value(t).cend(); ++it)
                    QCOMPARE(it.value(), before.value(t).value(it.key()));
            }
        }
        // Settings: those kept, or the defaults for those lost.
        QVERIFY(m_db->initConfig());
        const bool settingsLost = table.isEmpty() || table == QLatin1String("pre_config");
        QCOMPARE(after.value("pre_config").size(), 13);
        QCOMPARE(int(g_CurMusicPlay.playMode), settingsLost ? 0 : 2);
        QCOMPARE(configValue("languageID"), settingsLost ? QStringLiteral("1") : QStringLiteral("3"));
        QCOMPARE(QString(g_CurMusicPlay.dbVersion), DB_Versions);

        const QString log = m_sb->readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"));
        QVERIFY2(log.contains(QStringLiteral("library file damaged: ")), qPrintable(log));
        const QString salvaged = QStringLiteral("pre_diskmusic1 %1, pre_diskmusic2 100")
                                     .arg(table.isEmpty() ? 0 : after.value("pre_diskmusic1").size());
        QVERIFY2(log.contains(salvaged) || table.isEmpty(), qPrintable(log));
        QVERIFY2(log.contains(QStringLiteral("the damaged file is kept as ")), qPrintable(log));
    }

    void repairGuardsSixSecondsAndKeepsOneGeneration()
    {
        m_db->update_Config(QStringLiteral("playMode"), QStringLiteral("2"));
        DiskInfo d = addVolume(1, QStringLiteral("sda1"), 9000000, 1);
        addSong(d, addFolder(d, 0, "USBBASEROOTPATH"), QStringLiteral("keep.mp3"));
        // An intact file is opened as it is.
        QVERIFY(!QFile::exists(LibraryRepair::damagedCopyPath(MusicDataBaseName)));
        QSignalSpy over(m_db, &DataBase::rebuilDBOver);
        m_db->RebuildDataBase();
        QCOMPARE(over.count(), 1);
        QVERIFY(m_db->isRebuilding());
        QVERIFY(m_db->isConnected());
        QVERIFY(m_db->initConfig());
        QCOMPARE(int(g_CurMusicPlay.playMode), 2);
        QCOMPARE(m_db->Count_SongsFromDiskID(d), 1);
        QVERIFY(QFile::exists(LibraryRepair::damagedCopyPath(MusicDataBaseName)));

        // A second request within 6 s does nothing.
        m_db->RebuildDataBase();
        QCOMPARE(over.count(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!m_db->isRebuilding(), 8000);
        QTRY_VERIFY_WITH_TIMEOUT(!g_CurMusicPlay.dbRebuilding, 3000);
        addSong(d, 1, QStringLiteral("second.mp3"));
        m_db->closeConnection();
        QFile now(MusicDataBaseName);
        QVERIFY(now.open(QIODevice::ReadOnly));
        const QByteArray current = now.readAll();
        QVERIFY(m_db->createConnection());
        m_db->RebuildDataBase();
        QCOMPARE(over.count(), 2);
        QCOMPARE(m_db->Count_SongsFromDiskID(d), 2);
        // The copy kept is the file the latest repair replaced; there is one.
        QFile kept(LibraryRepair::damagedCopyPath(MusicDataBaseName));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(kept.readAll() == current);
        const QStringList files = QDir(ReadWrite_Path).entryList({QStringLiteral("QXMusicDB*")}, QDir::Files);
        QCOMPARE(files, QStringList({"QXMusicDB.db", "QXMusicDB.db.damaged"}));
    }

    void createFromScriptWithoutRestart()
    {
        m_db->closeConnection();
        QVERIFY(QFile::remove(MusicDataBaseName));
        ExeShellForDB shell;
        QVERIFY(shell.CreatNewMusicDB(false));
        QVERIFY(QFile::exists(MusicDataBaseName));
        QVERIFY(!QFile::exists(ReadWrite_Path + QStringLiteral("default.sql")));
        // A file made from the script alone (as older builds left them, with
        // no index) gains the sort indexes and the artist and album indexes
        // (five per music table) when it is opened.
        QVERIFY(m_db->createConnection());
        QVERIFY(m_db->initConfig());
        QCOMPARE(QString(g_CurMusicPlay.dbVersion), DB_Versions);
        QCOMPARE(m_db->Reback_SingleResu("SELECT count(*) FROM pre_config;"), 13);
        QCOMPARE(m_db->Reback_SingleResu("SELECT count(*) FROM sqlite_master where type='index';"), 15);
    }
};

QTEST_GUILESS_MAIN(TstDataBase)
#include "tst_database.moc"
