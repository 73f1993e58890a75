// The whole player in a sandbox, as the car treats it: killed and started
// again, its stick pulled and put back, the car switched off and on, the
// source changed away and back, and a stick of nothing playable.
#include "playerrig.h"

#include <QtTest>

namespace {

constexpr int kStartMs = 90000;
constexpr int kStepMs = 30000;

QList<SongSpec> threeSongs(int seconds)
{
    return {{"music/01 Amber.flac", seconds, "Amber", "A"},
            {"music/02 Basalt.flac", seconds, "Basalt", "B"},
            {"music/03 Cobalt.mp3", seconds, "Cobalt", "C"}};
}

} // namespace

class TstScenarioCar : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!PlayerRig::isRoot())
            QSKIP("loop-mounted sticks need root");
    }

    // kill -9 (a power cut as the player sees it): after the restart the same
    // song goes on within 2 s of where it was.
    void resumesAfterKill()
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        const QString image = rig.makeStick(QStringLiteral("three"), threeSongs(60));
        QVERIFY(!image.isEmpty() && rig.insert(image) && rig.start());
        NowPlaying p = rig.waitForPlaying(QStringLiteral("01 Amber"), kStartMs);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        rig.keys(QStringLiteral("tap 1"));
        p = rig.waitFor([](const NowPlaying &n) { return n.title == QLatin1String("02 Basalt") && n.elapsed >= 12; },
                        kStepMs, p.time);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        const int pid = rig.playerPid();
        QVERIFY(rig.killPlayer());
        const NowPlaying before = rig.latest();
        QTRY_VERIFY_WITH_TIMEOUT(rig.playerPid() > 0 && rig.playerPid() != pid, 30000);
        p = rig.waitFor([](const NowPlaying &n) { return n.state == 2 && n.elapsed >= 1; }, kStartMs, before.time);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        QCOMPARE(p.title, QStringLiteral("02 Basalt"));
        QVERIFY2(qAbs(p.elapsed - before.elapsed) <= 2,
                 qPrintable(QStringLiteral("was at %1, resumed at %2\n").arg(before.elapsed).arg(p.elapsed)
                            + rig.diagnostics()));
    }

    // The stick pulled while it plays: "请插入USB"; put back, it plays again.
    void stickPulledAndPutBack()
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        const QString image = rig.makeStick(QStringLiteral("three"), threeSongs(60));
        QVERIFY(!image.isEmpty() && rig.insert(image) && rig.start());
        NowPlaying p = rig.waitForPlaying(QStringLiteral("01 Amber"), kStartMs);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        p = rig.waitFor([](const NowPlaying &n) { return n.elapsed >= 6; }, kStepMs, p.time);
        QVERIFY(rig.remove(1));
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().contains(QStringLiteral("status message: 请插入USB")), 20000);
        QVERIFY(!rig.shot(QStringLiteral("no-usb")).isEmpty());
        const double pulled = rig.latest().time;
        // Nothing plays without the stick.
        QTest::qWait(3000);
        for (const NowPlaying &n : rig.packets())
            QVERIFY2(n.time < pulled + 1 || n.state != 2, qPrintable(rig.diagnostics()));

        QVERIFY(rig.insert(image));
        p = rig.waitFor([](const NowPlaying &n) { return n.state == 2 && n.elapsed >= 1; }, kStartMs, pulled + 3);
        QVERIFY2(p.valid() && p.title == QLatin1String("01 Amber"), qPrintable(rig.diagnostics()));
    }

    // The car switches off (the MCU's power field) and on again; the source
    // goes to Bluetooth and back.
    void powerAndSource()
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        const QString image = rig.makeStick(QStringLiteral("three"), threeSongs(90));
        QVERIFY(!image.isEmpty() && rig.insert(image) && rig.start());
        NowPlaying p = rig.waitForPlaying(QStringLiteral("01 Amber"), kStartMs);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));

        rig.mcu(QStringLiteral("power off"));
        p = rig.waitFor([](const NowPlaying &n) { return n.state != 2; }, kStepMs, p.time);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        const double off = p.time;
        QTest::qWait(2000);
        rig.mcu(QStringLiteral("power on"));
        p = rig.waitFor([](const NowPlaying &n) { return n.state == 2 && n.elapsed >= 1; }, kStepMs, off + 1);
        QVERIFY2(p.valid() && p.title == QLatin1String("01 Amber"), qPrintable(rig.diagnostics()));

        // Source key: Bluetooth first (block 2 written with source 2); the
        // player stops and the packets stop.
        rig.keys(QStringLiteral("tap 3"));
        auto sourceWrites = [&](int source, double since) {
            return rig
                .frames(
                    [source](const QJsonObject &o) {
                        return o.value("dir").toString() == QLatin1String("in")
                               && o.value("kind").toString() == QLatin1String("write") && o.value("group").toInt() == 9
                               && o.value("item").toInt() == 2
                               && o.value("payload").toString().left(2).toInt(nullptr, 16) == source;
                    },
                    since)
                .size();
        };
        const double pressed = rig.latest().time;
        QTRY_VERIFY_WITH_TIMEOUT(sourceWrites(2, pressed) > 0, 20000);
        QVERIFY(!rig.shot(QStringLiteral("bluetooth")).isEmpty());
        // Four more presses: high level, AUX, USB audio, this player again.
        for (int i = 0; i < 4; ++i) {
            rig.keys(QStringLiteral("wait 700"));
            rig.keys(QStringLiteral("tap 3"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(sourceWrites(5, pressed) > 0, 30000);
        p = rig.waitFor([](const NowPlaying &n) { return n.state == 2 && n.elapsed >= 1; }, kStepMs, pressed + 3);
        QVERIFY2(p.valid() && p.title == QLatin1String("01 Amber"), qPrintable(rig.diagnostics()));
    }

    // A stick of nothing playable ends in "无歌曲" after one pass, not in a
    // loop of skips.
    void nothingPlayable()
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        QByteArray noise(200000, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919) >> 3);
        const QString image = rig.makeStick(QStringLiteral("broken"), {},
                                            {{"a broken.flac", noise},
                                             {"b empty.mp3", QByteArray()},
                                             {"c text.wav", QByteArray("not audio at all\n").repeated(100)}});
        QVERIFY(!image.isEmpty() && rig.insert(image) && rig.start());
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().contains(QStringLiteral("status message: 无歌曲")), kStartMs);
        // The player stops trying: within a minute no file is tried for 8 s,
        // and no file was tried more than twice (once while the stick was
        // still being scanned, once in the pass over the whole list).
        bool settled = false;
        for (int i = 0; i < 8 && !settled; ++i) {
            const int tries = rig.log().count(QStringLiteral("skipped:"));
            QTest::qWait(8000);
            settled = rig.log().count(QStringLiteral("skipped:")) == tries;
        }
        QVERIFY2(settled, qPrintable(rig.diagnostics()));
        QVERIFY2(rig.log().count(QStringLiteral("skipped:")) <= 6, qPrintable(rig.diagnostics()));
        QVERIFY(rig.log().contains(QStringLiteral("none of the 3 songs of the list could be played")));
        for (const NowPlaying &n : rig.packets())
            QVERIFY2(n.state != 2 || n.elapsed == 0, qPrintable(rig.diagnostics()));
        QVERIFY(!rig.shot(QStringLiteral("no-songs")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstScenarioCar)
#include "tst_scenariocar.moc"
