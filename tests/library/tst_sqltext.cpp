// Escaping, relative paths, sort keys, size texts and the mounted-volume
// helpers of the library.
#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "sqltext.h"

#include <QtTest>

class TstSqlText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        InitPaths();
        InitData();
    }

    void escape_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("stored");
        QTest::newRow("brackets and ampersand") << "Rock & Roll (Live)"
                                                << "Rock /& Roll /(Live/)";
        QTest::newRow("apostrophe") << "Don't Stop" << QString::fromUtf8("Don/＂t Stop");
        QTest::newRow("slash first") << "AC/DC_[1]"
                                     << "AC//DC/_/[1/]";
        QTest::newRow("percent") << "100%"
                                 << "100/%";
        QTest::newRow("plain") << "Hello"
                               << "Hello";
        QTest::newRow("slash before escaped char") << "/_/("
                                                   << "///_///(";
        QTest::newRow("double quote kept") << "say \"hi\""
                                           << "say \"hi\"";
    }
    void escape()
    {
        QFETCH(QString, plain);
        QFETCH(QString, stored);
        QCOMPARE(sqliteEscape(plain), stored);
        QCOMPARE(sqliteDescape(stored), plain);
        QVERIFY(!sqliteEscape(plain).contains(QLatin1Char('\'')));
    }

    // Every mix of the escaped characters comes back unchanged, including a
    // slash before a literal full-width quote.
    void escapeRoundTripsEverything()
    {
        const QString alphabet = QString::fromUtf8("/'[]%&_()＂a中");
        bool allBack = true;
        QString firstBad;
        for (int n = 0; n < 20000; ++n) {
            QString s;
            for (int v = n; v > 0; v /= alphabet.size())
                s += alphabet.at(v % alphabet.size());
            if (sqliteDescape(sqliteEscape(s)) != s && firstBad.isEmpty())
                firstBad = s;
            allBack = allBack && sqliteDescape(sqliteEscape(s)) == s;
        }
        QVERIFY2(allBack, qPrintable(firstBad));
    }

    void omitPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("relative");
        QTest::newRow("file") << "/run/media/usb-storage_1/sda1/Music/a.mp3"
                              << "Music/a.mp3";
        QTest::newRow("mount point") << "/run/media/usb-storage_1/sda1"
                                     << "";
        QTest::newRow("root file") << "/run/media/usb-storage_3/sdb2/x.flac"
                                   << "x.flac";
        QTest::newRow("port folder only") << "/run/media/usb-storage_2"
                                          << "";
        QTest::newRow("double slash kept") << "/run/media/usb-storage_1/sda1//a"
                                           << "/a";
    }
    void omitPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, relative);
        QCOMPARE(get_Omitpath(path), relative);
    }

    void sortKeys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::newRow("latin, chinese, digit") << QString::fromUtf8("Hello 世界 2") << "hellosj2";
        QTest::newRow("band") << "The Beatles 1"
                              << "thebeatles1";
        QTest::newRow("telling entries") << QString::fromUtf8("一丁中国音乐") << "ydzgyl";
        QTest::newRow("last code point") << QString(QChar(0x9FA5)) << "y";
        QTest::newRow("kana") << QString::fromUtf8("こんにちは") << "";
        QTest::newRow("hangul") << QString::fromUtf8("안녕하세요") << "";
        QTest::newRow("beyond the table") << QString(QChar(0x9FA6)) << "";
        QTest::newRow("punctuation") << "A-B_C!"
                                     << "abc";
    }
    void sortKeys()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QCOMPARE(DataBase::GetFirstLetterResu(text), key);
    }

    void initialsTableHasNoIorV()
    {
        QString all;
        for (uint c = 0x4E00; c <= 0x9FA5; ++c)
            all += DataBase::zhToJP(QString(QChar(c)));
        QCOMPARE(all.size(), 20902);
        QVERIFY(!all.contains(QLatin1Char('I')));
        QVERIFY(!all.contains(QLatin1Char('V')));
        QVERIFY(all.endsWith(QStringLiteral("XY")));
    }

    void sizes_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0 B";
        QTest::newRow("bytes") << qint64(700) << "700B";
        QTest::newRow("1023") << qint64(1023) << "1023B";
        QTest::newRow("one K") << qint64(1024) << "1K";
        QTest::newRow("megabytes") << qint64(512) * 1024 * 1024 << "512M";
        QTest::newRow("gigabytes keep a decimal") << qint64(1610612736) << "1.5G";
        QTest::newRow("terabytes") << qint64(3) * 1024 * 1024 * 1024 * 1024 << "3T";
    }
    void sizes()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(DataBase::bytesToSize(bytes), text);
    }

    void diskListOrderAndLookups()
    {
        auto disk = [](int port, int arrival, int id, const QString &path) {
            DiskInfo d;
            d.port = port;
            d.arrivalNo = arrival;
            d.diskID = id;
            d.musicTableID = port;
            d.diskPath = path;
            return d;
        };
        UsingUSBDiskList = {
            disk(2, 0, 10, "/run/media/usb-storage_2/sda1"), disk(1, 1, 11, "/run/media/usb-storage_1/sdb1"),
            disk(3, 3, 12, "/run/media/usb-storage_3/sdc2"), disk(3, 2, 13, "/run/media/usb-storage_3/sdc1")};
        std::sort(UsingUSBDiskList.begin(), UsingUSBDiskList.end(), compareDiskListData);
        QList<int> ids;
        for (const DiskInfo &d : UsingUSBDiskList)
            ids << d.diskID;
        QCOMPARE(ids, QList<int>({13, 12, 11, 10})); // port 3, 1, 2; arrival within a port

        QCOMPARE(get_USBID("/run/media/usb-storage_3"), 3);
        QCOMPARE(get_USBID("/run/media/usb-storage_4"), 0);
        QCOMPARE(get_StorageID("/run/media/usb-storage_1/sdb1"), QStringLiteral("sdb1"));
        QCOMPARE(get_StorageID("/run/media/usb-storage_1"), QString());
        QCOMPARE(get_DiskIDFromPath("/run/media/usb-storage_1/sdb1/a/b.mp3"), 11);
        QCOMPARE(get_TableIDFromPath("/run/media/usb-storage_3/sdc2/x.dsf"), 3);
        QCOMPARE(get_DiskPathFromRowID(10), QStringLiteral("/run/media/usb-storage_2/sda1"));
        QVERIFY(get_DiskPathFromRowID(99).isEmpty());
        QVERIFY(Check_DiskPath_Exist("/run/media/usb-storage_3/sdc1"));
        QVERIFY(!Check_DiskPath_Exist("/run/media/usb-storage_3"));

        // The play list holds each volume's songs in one block, in list order.
        mediaObjectInfoList.clear();
        for (int id : {13, 13, 12, 11, 11, 11, 10})
            mediaObjectInfoList.append(MediaObjectInfo{"mp3", "t", "/p", id});
        QCOMPARE(GetInsertMuiscListIndex(13, false), 0);
        QCOMPARE(GetInsertMuiscListIndex(13, true), 2);
        QCOMPARE(GetInsertMuiscListIndex(11, false), 3);
        QCOMPARE(GetInsertMuiscListIndex(11, true), 6);
        QCOMPARE(GetInsertMuiscListIndex(10, true), 7);

        // The readers only read: while a worker holds a copy of the lists,
        // none of them detaches (writes) the shared globals.
        const QList<DiskInfo> heldDisks = UsingUSBDiskList;
        const QList<MediaObjectInfo> heldSongs = mediaObjectInfoList;
        get_DiskIDFromPath("/run/media/usb-storage_1/sdb1/a/b.mp3");
        get_TableIDFromPath("/run/media/usb-storage_3/sdc2/x.dsf");
        get_DiskPathFromRowID(10);
        DiskInfo_Compare(disk(0, 0, 11, QString()));
        Check_DiskPath_Exist("/run/media/usb-storage_3/sdc1");
        Check_USBDisk_hasSongs();
        GetInsertMuiscListIndex(11, true);
        QVERIFY(UsingUSBDiskList.isSharedWith(heldDisks));
        QVERIFY(mediaObjectInfoList.isSharedWith(heldSongs));

        QVERIFY(!Check_USBDisk_hasSongs());
        g_TempData.songExistChecked = false;
        Update_USBDisk_SongExist(disk(0, 0, 12, QString()), true);
        QVERIFY(Check_USBDisk_hasSongs());
        QVERIFY(g_TempData.songExistChecked);
        UsingUSBDiskList.clear();
        mediaObjectInfoList.clear();
    }

    void dayStart()
    {
        const QDateTime t(QDate(2024, 3, 5), QTime(17, 45, 12));
        const QDateTime u(QDate(2024, 3, 5), QTime(0, 0, 1));
        QCOMPARE(ConversionTime(t), ConversionTime(u));
        QCOMPARE(QDateTime::fromSecsSinceEpoch(ConversionTime(t)).time(), QTime(0, 0));
    }
};

QTEST_GUILESS_MAIN(TstSqlText)
#include "tst_sqltext.moc"
