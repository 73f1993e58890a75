// The track browser and the phone app's lists in the whole player, in a
// sandbox with both simulated peers, driven only through the car's
// interfaces: the knob and back key of the key controller, the phone app's
// requests through the MCU simulator, sticks put in and pulled. Observed
// through the now-playing packets, the phone app's answers in the MCU
// transcript, the player's log, the library file and screenshots.
//
// The sticks: one with Chinese, Korean and Latin names in nested folders
// and a few hundred short songs, and one with two partitions.
#include "playerrig.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QtTest>

namespace {

constexpr int kStartMs = 120000; // power-up to the first song, on a loaded machine
constexpr int kStepMs = 30000;
constexpr int kCopies = 300;

const QString kKnob = QStringLiteral("4");
const QString kBack = QStringLiteral("5");

QString mount(PlayerRig &rig, int port, const QString &partition = QStringLiteral("sda1"))
{
    return rig.dir() + QStringLiteral("/run/media/usb-storage_%1/%2").arg(port).arg(partition);
}

// The folder rows of a folder page in the order the player lists them
// (the file system's own order, as both read the same mount).
QStringList folderRows(const QString &folder)
{
    QStringList out;
    for (const QFileInfo &f :
         QDir(folder).entryInfoList(QDir::Dirs | QDir::Readable | QDir::NoDotAndDotDot, QDir::NoSort)) {
        // The folders the player never enters (ext4's lost+found it does).
        static const QStringList never{"$recycle.bin", "recycler", "android", "system volume information",
                                       "cache",        "lost.dir"};
        if (!never.contains(f.fileName().trimmed().toLower()))
            out.append(f.fileName());
    }
    return out;
}

QStringList songRows(const QString &folder)
{
    QStringList out;
    for (const QFileInfo &f : QDir(folder).entryInfoList({QStringLiteral("*.flac"), QStringLiteral("*.mp3")},
                                                         QDir::Files | QDir::Readable, QDir::NoSort))
        out.append(f.completeBaseName());
    return out;
}

SongSpec song(const QString &path, int seconds, const QString &artist)
{
    return SongSpec(path, seconds, QString(), artist);
}

QString libraryValue(PlayerRig &rig, const QString &sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {rig.dir() + QStringLiteral("/run/media/mmcblk1p3/QXMusicDB.db"), sql});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace

class TstScenarioBrowser : public QObject
{
    Q_OBJECT

private:
    PlayerRig *m_rig = nullptr;
    int m_logSeen = 0; // log length already looked at by waitLog

    // Waits for a log line holding text after what was seen last (the
    // log's end goes to the test's output when it never comes).
    bool waitLog(const QString &text, int timeoutMs = kStepMs)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            const QString log = m_rig->log();
            const int at = log.indexOf(text, m_logSeen);
            if (at >= 0) {
                m_logSeen = at + text.size();
                return true;
            }
            QTest::qWait(200);
        }
        qWarning("no \"%s\" in the log after: %s", qPrintable(text),
                 qPrintable(m_rig->log().mid(m_logSeen).right(1500)));
        return false;
    }
    // The text of the last log line starting with prefix (after it).
    QString lastLog(const QString &prefix)
    {
        const QString log = m_rig->log();
        const int at = log.lastIndexOf(prefix);
        return at < 0 ? QString() : log.mid(at + prefix.size()).section(QLatin1Char('\n'), 0, 0).trimmed();
    }
    void key(const QString &line) { m_rig->keys(line); }
    // A screenshot of the player's window, kept beside the build for a
    // person to look at (the sandbox goes with the test).
    bool shot(const QString &name)
    {
        const QString png = m_rig->shot(name);
        if (png.isEmpty())
            return false;
        const QString keep = QStringLiteral(VDX_BINARY_DIR "/test-shots/browser/");
        QDir().mkpath(keep);
        QFile::remove(keep + name + QStringLiteral(".png"));
        return QFile::copy(png, keep + name + QStringLiteral(".png"));
    }
    // Presses row `row`: a page shown again keeps its current row, so the
    // knob first goes up to the top (it stops at the first row).
    void pressRow(int row)
    {
        key(QStringLiteral("knob -51"));
        key(QStringLiteral("wait 300"));
        if (row > 0) {
            key(QStringLiteral("knob %1").arg(row));
            key(QStringLiteral("wait 400"));
        }
        key(QStringLiteral("tap ") + kKnob);
    }
    // The knob pressed on the main screen: the browser opens.
    bool openBrowser()
    {
        key(QStringLiteral("tap ") + kKnob);
        return waitLog(QStringLiteral("browser opened on"));
    }
    // Back to the main screen from a page `depth` levels deep; returns
    // once the main screen is back, so that the next step (a phone-app
    // request, another key) does not meet the screens still moving.
    bool closeBrowser(int depth)
    {
        // A key that comes while a page still slides in is dropped: the
        // first back waits as the later ones do.
        for (int i = 0; i <= depth; ++i) {
            key(QStringLiteral("wait 900"));
            key(QStringLiteral("tap ") + kBack);
        }
        return waitLog(QStringLiteral("back on screen 1"));
    }
    // The song the browser says it played, once the car hears it.
    NowPlaying waitChosen(double since)
    {
        if (!waitLog(QStringLiteral("browser: plays \"")))
            return NowPlaying();
        const QString title = lastLog(QStringLiteral("browser: plays \"")).section(QLatin1Char('"'), 0, 0);
        return m_rig->waitForPlaying(title, kStepMs, since);
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void folderDownToASong();
    void everySearchDownToASong_data();
    void everySearchDownToASong();
    void reentryReadsNothing();
    void phoneAppPagesThroughADisk();
    void contentChangedWithSameFreeSpace();
    void stickPulledWhilePageShown();
};

void TstScenarioBrowser::initTestCase()
{
    if (!PlayerRig::isRoot())
        QSKIP("loop-mounted sticks need root");
    m_rig = new PlayerRig;
    QVERIFY(m_rig->isValid());
    // One short song copied a few hundred times into nested folders.
    QTemporaryDir tmp;
    const QString one = tmp.path() + QStringLiteral("/one.flac");
    QVERIFY(QProcess::execute(QStringLiteral("ffmpeg"),
                              {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=500:duration=2", "-ac", "1",
                               "-ar", "8000", "-metadata", "artist=Various", one})
            == 0);
    QFile f(one);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QList<QPair<QString, QByteArray>> copies;
    for (int i = 0; i < kCopies; ++i)
        copies.append({QStringLiteral("Many/Set %1/Take %2.flac").arg(i / 50).arg(i, 3, 10, QLatin1Char('0')), bytes});
    const QString a = m_rig->makeStick(
        QStringLiteral("nested"),
        {song("Albums/Jazz/Blue in Green.flac", 20, "Miles Davis"), song("Albums/Jazz/So What.flac", 20, "Miles Davis"),
         song("中文/周杰伦/晴天.flac", 20, "周杰伦"), song("中文/周杰伦/稻香.mp3", 20, "周杰伦"),
         song("한국어/봄날.flac", 20, "김민지"), song("Root Song.flac", 20, "Latin Band")},
        copies);
    const QString b1 = m_rig->makeStick(QStringLiteral("part1"), {song("P1/Part One.flac", 20, "Part")});
    // Another size: sticks of one size and file system are one volume to the player.
    const QString b2 = m_rig->makeStick(QStringLiteral("part2"),
                                        {song("P2/Part Two.flac", 25, "Part"), song("P2/Part Three.mp3", 20, "")},
                                        {{QStringLiteral("filler.bin"), QByteArray(6 << 20, 'x')}});
    QVERIFY(!a.isEmpty() && !b1.isEmpty() && !b2.isEmpty());
    QVERIFY(m_rig->insert(a, 1));
    QVERIFY(m_rig->insert(b1, 2, QStringLiteral("sdb1")));
    QVERIFY(m_rig->insert(b2, 2, QStringLiteral("sdb2")));
    QVERIFY(m_rig->start());
    QVERIFY2(m_rig->waitFor([](const NowPlaying &n) { return n.state == 2; }, kStartMs).valid(),
             qPrintable(m_rig->diagnostics()));
    // Every song in the library, and the tag pass over (the untagged song
    // is then "未知").
    QElapsedTimer t;
    t.start();
    const QString expected = QString::number(kCopies + 6 + 3);
    QString counts;
    while (t.elapsed() < 240000) {
        counts = libraryValue(*m_rig, QStringLiteral("select (select count(*) from pre_diskmusic1)"
                                                     " + (select count(*) from pre_diskmusic2),"
                                                     " (select count(*) from pre_diskmusic1 where author != '')"
                                                     " + (select count(*) from pre_diskmusic2 where author != '');"));
        if (counts == expected + QLatin1Char('|') + expected)
            break;
        QTest::qWait(1000);
    }
    QVERIFY2(t.elapsed() < 240000,
             qPrintable(QStringLiteral("songs|with artist: %1\n").arg(counts) + m_rig->diagnostics()));
}

void TstScenarioBrowser::cleanupTestCase()
{
    delete m_rig;
    m_rig = nullptr;
}

void TstScenarioBrowser::folderDownToASong()
{
    const double since = m_rig->latest().time;
    QVERIFY(openBrowser());
    QVERIFY(shot(QStringLiteral("browser-first-page")));
    pressRow(0); // USB 1
    QVERIFY(waitLog(QStringLiteral("browser: \"USB 1\"")));
    const QString root = mount(*m_rig, 1);
    key(QStringLiteral("wait 800"));
    pressRow(folderRows(root).indexOf(QStringLiteral("Albums")));
    QVERIFY(waitLog(QStringLiteral("browser: \"Albums\"")));
    pressRow(0); // Jazz, its only folder
    QVERIFY(waitLog(QStringLiteral("browser: \"Jazz\"")));
    QTest::qWait(1000);
    QVERIFY(shot(QStringLiteral("browser-folder-page")));
    const QStringList songs = songRows(root + QStringLiteral("/Albums/Jazz"));
    pressRow(1);
    const NowPlaying p = waitChosen(since);
    QVERIFY2(p.valid() && p.title == songs.at(1), qPrintable(m_rig->diagnostics()));
    // The folder is the play list now.
    QCOMPARE(libraryValue(*m_rig, QStringLiteral("select value from pre_config where name='musiclistType';")),
             QStringLiteral("1"));
    QVERIFY(shot(QStringLiteral("browser-played-now-playing")));
    // The browser kept its place: back up to the main screen from Jazz.
    QVERIFY(openBrowser());
    QVERIFY(lastLog(QStringLiteral("browser opened on")).contains(QStringLiteral("Jazz")));
    QVERIFY(closeBrowser(3));
}

void TstScenarioBrowser::everySearchDownToASong_data()
{
    QTest::addColumn<int>("menuRow");
    QTest::addColumn<QString>("level");
    QTest::addColumn<bool>("category");
    QTest::newRow("artists") << 0 << QStringLiteral("艺术家") << true;
    QTest::newRow("albums") << 1 << QStringLiteral("专辑") << true;
    QTest::newRow("songs") << 2 << QStringLiteral("歌曲") << false;
    QTest::newRow("format") << 3 << QStringLiteral("文件格式") << true;
    QTest::newRow("date") << 4 << QStringLiteral("日期") << false;
    QTest::newRow("size") << 5 << QStringLiteral("文件大小") << false;
}

void TstScenarioBrowser::everySearchDownToASong()
{
    QFETCH(int, menuRow);
    QFETCH(QString, level);
    QFETCH(bool, category);
    const double since = m_rig->latest().time;
    QVERIFY(openBrowser());
    pressRow(3); // 搜索
    QVERIFY(waitLog(QStringLiteral("browser: \"搜索\"")));
    pressRow(menuRow);
    QVERIFY(waitLog(QStringLiteral("browser: \"%1\"").arg(level)));
    QTest::qWait(1500); // ten rows, then the rest
    QVERIFY(shot(QStringLiteral("browser-search-%1").arg(menuRow + 1)));
    if (category) {
        pressRow(0);
        QVERIFY(waitLog(QStringLiteral("browser: \"")));
        QTest::qWait(1500);
    }
    // The second row of the list plays.
    pressRow(1);
    const NowPlaying p = waitChosen(since);
    QVERIFY2(p.valid(), qPrintable(m_rig->diagnostics()));
    QCOMPARE(libraryValue(*m_rig, QStringLiteral("select value from pre_config where name='musiclistType';")),
             QStringLiteral("2"));
    QVERIFY(openBrowser());
    QVERIFY(closeBrowser(category ? 3 : 2));
}

void TstScenarioBrowser::reentryReadsNothing()
{
    QVERIFY(openBrowser());
    pressRow(3);
    QVERIFY(waitLog(QStringLiteral("browser: \"搜索\"")));
    pressRow(0);
    QVERIFY(waitLog(QStringLiteral("browser: \"艺术家\"")));
    QTest::qWait(1500);
    key(QStringLiteral("tap ") + kBack);
    key(QStringLiteral("wait 900"));
    pressRow(0);
    QVERIFY2(waitLog(QStringLiteral("browser: \"艺术家\" again")), qPrintable(m_rig->log().right(2000)));
    QVERIFY(closeBrowser(2));
}

// The phone app, through the MCU: the disk list, every page of a disk,
// choosing a song (it plays, the play status follows).
void TstScenarioBrowser::phoneAppPagesThroughADisk()
{
    const double since = m_rig->latest().time;
    auto answers = [this](double after, const QString &kind) {
        return m_rig->frames(
            [&kind](const QJsonObject &o) {
                return o.value(QStringLiteral("dir")) == QLatin1String("in")
                       && o.value(QStringLiteral("applist")).toObject().value(QStringLiteral("kind")) == kind;
            },
            after);
    };
    m_rig->mcu(QStringLiteral("app disks"));
    QTRY_VERIFY_WITH_TIMEOUT(!answers(since, QStringLiteral("disks")).isEmpty(), kStepMs);
    const QJsonObject disks =
        answers(since, QStringLiteral("disks")).first().value(QStringLiteral("applist")).toObject();
    QCOMPARE(disks.value(QStringLiteral("result")).toString(), QStringLiteral("ok"));
    const QJsonArray list = disks.value(QStringLiteral("disks")).toArray();
    QCOMPARE(list.size(), 3);
    // Port 1's stick: slot 1; the phone pages through it to its end.
    int disk = -1;
    for (const QJsonValue &d : list) {
        if (d.toObject().value(QStringLiteral("slot")).toInt() == 1)
            disk = d.toObject().value(QStringLiteral("index")).toInt();
    }
    QVERIFY(disk >= 0);
    m_rig->mcu(QStringLiteral("app browse %1").arg(disk));
    QList<QJsonObject> pages;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            pages = answers(since, QStringLiteral("page"));
            return !pages.isEmpty() && pages.last().value(QStringLiteral("fret")).toInt() == 103;
        }(),
        120000);
    QMap<int, QString> songs;
    // The MCU repeats a request until it has its answer, so a page may be
    // answered twice: the repeat must be the same page, and counts once.
    QMap<int, QString> pageByNext;
    for (const QJsonObject &o : qAsConst(pages)) {
        const QJsonObject a = o.value(QStringLiteral("applist")).toObject();
        if (a.value(QStringLiteral("fret")).toInt() != 0x53)
            continue;
        QVERIFY(a.value(QStringLiteral("ok")).toBool());
        QVERIFY(o.value(QStringLiteral("len")).toInt() <= 378);
        const int next = a.value(QStringLiteral("next")).toInt();
        const QString payload = o.value(QStringLiteral("payload")).toString();
        if (pageByNext.contains(next)) {
            QCOMPARE(payload, pageByNext.value(next));
            continue;
        }
        pageByNext.insert(next, payload);
        for (const QJsonValue &f : a.value(QStringLiteral("folders")).toArray()) {
            for (const QJsonValue &s : f.toObject().value(QStringLiteral("songs")).toArray()) {
                const int index = s.toArray().at(0).toInt();
                QVERIFY2(!songs.contains(index), "a song listed twice");
                songs.insert(index, s.toArray().at(1).toString());
            }
        }
    }
    QCOMPARE(songs.size(), kCopies + 6);
    QCOMPARE(songs.firstKey(), 0);
    QCOMPARE(songs.lastKey(), kCopies + 5);
    // Choosing a song: it plays, and the status answer ("Y") follows.
    int pick = -1;
    for (auto it = songs.cbegin(); it != songs.cend(); ++it) {
        if (it.value() == QStringLiteral("晴天"))
            pick = it.key();
    }
    QVERIFY(pick >= 0);
    const double before = m_rig->latest().time;
    m_rig->mcu(QStringLiteral("app select %1 %2").arg(disk).arg(pick));
    const NowPlaying p = m_rig->waitForPlaying(QStringLiteral("晴天"), kStepMs, before);
    QVERIFY2(p.valid(), qPrintable(m_rig->diagnostics()));
    QTRY_VERIFY_WITH_TIMEOUT(!answers(before, QStringLiteral("play status")).isEmpty(), kStepMs);
    QCOMPARE(answers(before, QStringLiteral("play status")).first().value(QStringLiteral("fret")).toInt(), 0x59);
    // The packet carries the song's place in the app's list.
    const NowPlaying later = m_rig->waitFor([](const NowPlaying &n) { return n.elapsed >= 2; }, kStepMs, p.time);
    QVERIFY(later.valid());
    const QList<QJsonObject> packets =
        m_rig->frames([](const QJsonObject &o) { return o.contains(QStringLiteral("nowplaying")); }, p.time);
    QVERIFY(!packets.isEmpty());
    QCOMPARE(packets.last().value(QStringLiteral("nowplaying")).toObject().value(QStringLiteral("index")).toInt(),
             pick);
    // A request for no song of the disk: "bad request".
    const double bad = m_rig->latest().time;
    m_rig->mcu(QStringLiteral("app page %1 %2").arg(disk).arg(kCopies + 6));
    QTRY_VERIFY_WITH_TIMEOUT(!answers(bad, QStringLiteral("page")).isEmpty(), kStepMs);
    QCOMPARE(answers(bad, QStringLiteral("page")).first().value(QStringLiteral("fret")).toInt(), 103);
}

// The partition comes back with a song renamed (same size, same free
// space): the library would take it as unchanged; the app list's walk
// sees the difference and the disk is scanned afresh. The app's requests
// meanwhile get answers the protocol knows.
void TstScenarioBrowser::contentChangedWithSameFreeSpace()
{
    const QString folder = m_rig->dir() + QStringLiteral("/sticks/part2/P2");
    QVERIFY(m_rig->remove(2, QStringLiteral("sdb2")));
    QVERIFY(waitLog(QStringLiteral("browser: pages of")));
    QVERIFY(QFile::rename(folder + QStringLiteral("/Part Two.flac"), folder + QStringLiteral("/Part 2wo.flac")));
    const QString image = m_rig->makeStick(QStringLiteral("part2"), {});
    QVERIFY(!image.isEmpty());
    const double since = m_rig->latest().time;
    QVERIFY(m_rig->insert(image, 2, QStringLiteral("sdb2")));
    for (int i = 0; i < 20; ++i) {
        m_rig->mcu(QStringLiteral("app page 2 0"));
        QTest::qWait(150);
    }
    QVERIFY2(waitLog(QStringLiteral("剩余容量相同而hash值不同"), 60000), qPrintable(m_rig->log().right(3000)));
    QVERIFY2(waitLog(QStringLiteral("scanned afresh"), 60000), qPrintable(m_rig->log().right(3000)));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 60000
           && libraryValue(*m_rig, QStringLiteral("select count(*) from pre_diskmusic2 where fileName='Part 2wo';"))
                  != QLatin1String("1"))
        QTest::qWait(1000);
    QVERIFY2(t.elapsed() < 60000, "the renamed song never reached the library");
    const QList<QJsonObject> answers = m_rig->frames(
        [](const QJsonObject &o) {
            return o.value(QStringLiteral("dir")) == QLatin1String("in")
                   && o.value(QStringLiteral("applist")).toObject().value(QStringLiteral("kind"))
                          == QLatin1String("page");
        },
        since);
    QVERIFY(!answers.isEmpty());
    const QList<int> allowed{0x53, 97, 98, 99, 103, 104};
    for (const QJsonObject &o : answers)
        QVERIFY(allowed.contains(o.value(QStringLiteral("fret")).toInt()));
}

void TstScenarioBrowser::stickPulledWhilePageShown()
{
    QVERIFY(openBrowser());
    pressRow(1); // USB 2: two partitions
    QVERIFY(waitLog(QStringLiteral("browser: \"USB 2\"")));
    QTest::qWait(800);
    QVERIFY(shot(QStringLiteral("browser-partitions")));
    pressRow(1);
    QVERIFY(waitLog(QStringLiteral("browser: \"分区2\"")));
    QTest::qWait(800);
    // The partition whose page is shown goes: back to the first page.
    QVERIFY(m_rig->remove(2, QStringLiteral("sdb2")));
    QVERIFY2(waitLog(QStringLiteral("browser: pages of")), qPrintable(m_rig->log().right(2000)));
    QTest::qWait(800);
    QVERIFY(shot(QStringLiteral("browser-after-pull")));
    // Every stick gone: the browser closes, "请插入USB".
    QVERIFY(m_rig->remove(2, QStringLiteral("sdb1")));
    QVERIFY(m_rig->remove(1));
    QVERIFY2(waitLog(QStringLiteral("status message: 请插入USB")), qPrintable(m_rig->log().right(2000)));
}

QTEST_GUILESS_MAIN(TstScenarioBrowser)
#include "tst_scenariobrowser.moc"
