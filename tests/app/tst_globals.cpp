// Shared records, process-wide state, the log, the screen history and the
// shell-command helper.
#include "globals.h"
#include "testsandbox.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

class TstGlobals : public QObject
{
    Q_OBJECT

private slots:
    void boardPaths()
    {
        TestSandbox::leave();
        InitPaths();
        QCOMPARE(USBPath_Prefix, QStringLiteral("/run/media/"));
        QCOMPARE(ReadWrite_Path, QStringLiteral("/run/media/mmcblk1p3/"));
        QCOMPARE(MusicDataBaseName, QStringLiteral("/run/media/mmcblk1p3/QXMusicDB.db"));
        QCOMPARE(UpgradePathDir, QStringLiteral("/run/media/mmcblk1p3/update"));
        QCOMPARE(LogFileName, QStringLiteral("/run/media/mmcblk1p3/log_730.txt"));
    }

    void recordEquality()
    {
        const MediaObjectInfo a{QStringLiteral("flac"), QStringLiteral("Song"), QStringLiteral("/m/a.flac"), 3};
        MediaObjectInfo b = a;
        b.fileType = QStringLiteral("FLAC");
        QCOMPARE(a, b); // the suffix is not compared
        b.diskID = 4;
        QVERIFY(a != b);
        QList<MediaObjectInfo> list{MediaObjectInfo{"mp3", "x", "/m/x.mp3", 3}, a};
        QCOMPARE(list.indexOf(MediaObjectInfo{QStringLiteral("wav"), a.fileName, a.filePath, a.diskID}), 1);

        ListInfo r1;
        r1.title = QStringLiteral("Row");
        r1.id = 1;
        ListInfo r2 = r1;
        r2.id = 2;
        QCOMPARE(r1, r2);
        QCOMPARE(r1.textX(), 10);
        r1.iconPath = QStringLiteral(":/icon/Resource/icon/folder");
        QCOMPARE(r1.textX(), 59);
        QCOMPARE(ListInfo().id, -1);

        QCOMPARE((TempInfoList{r1, 1}), (TempInfoList{r2, 1}));
        QVERIFY((TempInfoList{r1, 1}) != (TempInfoList{r2, 2}));

        const DiskInfo d;
        QVERIFY(d.diskName.isEmpty() && d.diskSizes == 0 && !d.appendToList && !d.hasSongs);
    }

    void initDataDefaults()
    {
        QCOMPARE(musicFormatList.size(), 1); // one null string before InitData
        QVERIFY(musicFormatList.first().isNull());
        LanguageID = 2;
        g_TempData.usbPaused = true;
        InterfaceNavigationList = {1, 2};
        InitData();
        QCOMPARE(musicFormatList, QStringList({"*.mp3", "*.wav", "*.dsf", "*.dff", "*.cue", "*.flac", "*.ape", "*.m4a",
                                               "*.wma", "*.alac", "*.aiff", "*.aif", "*.aac", "*.iso"}));
        QCOMPARE(NotRead_DirList, QStringList({"$recycle.bin", "recycler", "android", "system volume information",
                                               "cache", "lost.dir"}));
        QCOMPARE(int(g_CurMusicPlay.outputSampleRate), 192000);
        QCOMPARE(int(g_CurMusicPlay.outputBits), 16);
        QCOMPARE(int(g_CurMusicPlay.playMode), 0);
        QVERIFY(g_CurMusicPlay.isSubPage);
        QCOMPARE(int(g_TempData.languageID), 2);
        QCOMPARE(int(g_TempData.pendingIndex), -1);
        QCOMPARE(int(g_TempData.wheelAd1), 200);
        QCOMPARE(int(g_TempData.wheelAd2), 200);
        QVERIFY(g_TempData.resumePending);
        QVERIFY(!g_TempData.usbPaused);
        QVERIFY(InterfaceNavigationList.isEmpty());
        QVERIFY(QMetaType::type("MediaObjectInfo") != QMetaType::UnknownType);
        QVERIFY(QMetaType::type("DiskInfo") != QMetaType::UnknownType);
        QVERIFY(QMetaType::type("ListInfo") != QMetaType::UnknownType);
        LanguageID = 0;
    }

    void screenHistory()
    {
        InterfaceNavigationList.clear();
        setInterfaceNavigation(1);
        QCOMPARE(int(g_CurMusicPlay.currentScreen), 1);
        QCOMPARE(getPreviousInterfaceID(false), 1);
        QCOMPARE(InterfaceNavigationList, QList<int>({1}));
        QCOMPARE(getPreviousInterfaceID(true), 1);
        QCOMPARE(InterfaceNavigationList, QList<int>({1}));

        for (int id : {2, 3, 4})
            setInterfaceNavigation(id);
        QCOMPARE(int(g_CurMusicPlay.currentScreen), 4);
        QCOMPARE(getPreviousInterfaceID(false), 3);
        QCOMPARE(InterfaceNavigationList, QList<int>({1, 2, 3}));
        setInterfaceNavigation(4);
        QCOMPARE(getPreviousInterfaceID(true), 1);
        QCOMPARE(InterfaceNavigationList, QList<int>({1}));

        // An empty history answers the current screen instead of reading past the list.
        InterfaceNavigationList.clear();
        g_CurMusicPlay.currentScreen = 3;
        QCOMPARE(getPreviousInterfaceID(false), 3);
        QCOMPARE(getPreviousInterfaceID(true), 3);
    }

    void heartbeatWraps()
    {
        QCOMPARE(nextHeartbeat(0), 1);
        QCOMPARE(nextHeartbeat(1), 2);
        QCOMPARE(nextHeartbeat(10000), 10001);
        QCOMPARE(nextHeartbeat(10001), 1);
        int c = 0;
        bool neverZero = true;
        for (int i = 0; i < 30005; ++i) {
            c = nextHeartbeat(c);
            neverZero = neverZero && c != 0 && c <= 10001;
        }
        QVERIFY(neverZero);
        QCOMPARE(c, 30005 - 3 * 10001); // period 10001
    }

    void incDec_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("result");
        QTest::newRow("up") << 5 << 0 << 10 << true << 1 << 6;
        QTest::newRow("down") << 5 << 0 << 10 << false << 2 << 3;
        QTest::newRow("held at max") << 9 << 0 << 10 << true << 5 << 10;
        QTest::newRow("held at min, no wrap") << 1 << 0 << 10 << false << 5 << 0;
        QTest::newRow("negative range") << -3 << -12 << 12 << false << 10 << -12;
        QTest::newRow("no overflow") << 2147483600 << 0 << 2147483647 << true << 1000 << 2147483647;
    }
    void incDec()
    {
        QFETCH(int, value);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(bool, up);
        QFETCH(int, step);
        QFETCH(int, result);
        QCOMPARE(getIncDecCorrectValue(value, min, max, up, step), result);
    }

    void logLinesAndStartSize_data()
    {
        QTest::addColumn<qint64>("oldSize");
        QTest::addColumn<bool>("kept");
        QTest::newRow("5120000 bytes stay") << qint64(5120000) << true;
        QTest::newRow("5120001 bytes go") << qint64(5120001) << false;
        QTest::newRow("no log") << qint64(-1) << false;
    }
    void logLinesAndStartSize()
    {
        QFETCH(qint64, oldSize);
        QFETCH(bool, kept);
        TestSandbox sb;
        QVERIFY(sb.isValid());
        sb.enter();
        InitPaths();
        QVERIFY(LogFileName.startsWith(sb.dir()));
        if (oldSize >= 0) {
            QFile f(LogFileName);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(oldSize));
        }
        StartLog();
        QTlog(QStringLiteral("second line é"));
        QFile f(LogFileName);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        QCOMPARE(all.size() > 5120000, kept);
        const QByteArray mine = kept ? all.mid(5120000) : all;
        const QRegularExpression re(QStringLiteral(
            "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} I vdx.app: ={28}VDX-730 APP Runing={32}\n\r\n"
            "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} I vdx.app: second line é\r\n$"));
        QVERIFY2(re.match(QString::fromUtf8(mine)).hasMatch(), mine.left(200).constData());
        TestSandbox::leave();
        InitPaths();
    }

    // Each kind of message becomes one line with its level and category.
    void logLevelsAndCategories()
    {
        TestSandbox sb;
        QVERIFY(sb.isValid());
        sb.enter();
        const std::function<void()> emitters[] = {
            [] { qCDebug(lcGpio, "GPIO_%d %s success", 12, "export"); },
            [] { qCInfo(lcLink).noquote() << QStringLiteral("wire key %1 state %2").arg(3).arg(1); },
            [] { qCWarning(lcLibrary) << "sql error!"; },
            [] { qCCritical(lcPlayback) << "no card"; },
            [] { qWarning("plain qWarning"); },
        };
        const QString lines[] = {
            QStringLiteral("D vdx.gpio: GPIO_12 export success"), QStringLiteral("I vdx.link: wire key 3 state 1"),
            QStringLiteral("W vdx.library: sql error!"),          QStringLiteral("C vdx.playback: no card"),
            QStringLiteral("W default: plain qWarning"),
        };
        QString expected;
        for (int i = 0; i < 5; ++i) {
            emitters[i]();
            expected += QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ")
                        + QRegularExpression::escape(lines[i]) + QStringLiteral("\r\n");
        }
        const QString log = sb.readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"));
        QVERIFY2(QRegularExpression(QStringLiteral("^") + expected + QStringLiteral("$")).match(log).hasMatch(),
                 qPrintable(log));
        TestSandbox::leave();
    }

    // Threads logging at once: every line arrives whole.
    void logLinesFromThreadsStayWhole()
    {
        TestSandbox sb;
        QVERIFY(sb.isValid());
        sb.enter();
        installLogHandler(true, LogLevel::Warning); // the lines below stay out of the test output
        const int perThread = 300;
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back(QThread::create([t] {
                for (int i = 0; i < perThread; ++i)
                    qCInfo(lcApp, "thread %d line %d %s", t, i, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
            }));
            threads.back()->start();
        }
        for (auto &t : threads)
            QVERIFY(t->wait(60000));
        installLogHandler(true, LogLevel::Debug);
        const QStringList lines = sb.readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"))
                                      .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        const QRegularExpression re(QStringLiteral("^\\S+ \\S+ I vdx.app: thread (\\d) line (\\d+) x{48}$"));
        QVector<int> next(4, 0);
        for (const QString &l : lines) {
            const QRegularExpressionMatch m = re.match(l);
            QVERIFY2(m.hasMatch(), qPrintable(l));
            const int t = m.captured(1).toInt();
            QCOMPARE(m.captured(2).toInt(), next[t]); // each thread's lines in order, none lost
            ++next[t];
        }
        QCOMPARE(next, QVector<int>(4, perThread));
        TestSandbox::leave();
    }

    void logWithoutPartitionIsSilent()
    {
        TestSandbox sb;
        sb.enter();
        InitPaths();
        QVERIFY(QDir(ReadWrite_Path).removeRecursively());
        QTlog(QStringLiteral("dropped"));
        QVERIFY(!QFile::exists(LogFileName));
        TestSandbox::leave();
        InitPaths();
    }

    void shellCommand()
    {
        QCOMPARE(executeLinuxCmd(QStringLiteral("printf 'a b\\n'")), QStringLiteral("a b\n"));
        QCOMPARE(executeLinuxCmd(QStringLiteral("printf 'abc\\0def'")), QStringLiteral("abc"));
        QCOMPARE(executeLinuxCmd(QStringLiteral("true")), QString());
        QCOMPARE(executeLinuxCmd(QStringLiteral("printf '中文'")), QStringLiteral("中文"));
        QElapsedTimer t;
        t.start();
        QCOMPARE(executeLinuxCmd(QStringLiteral("echo early; sleep 30"), 500), QStringLiteral("early\n"));
        QVERIFY(t.elapsed() < 10000);
    }
};

QTEST_GUILESS_MAIN(TstGlobals)
#include "tst_globals.moc"
