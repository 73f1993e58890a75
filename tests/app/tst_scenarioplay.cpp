// The whole player in a sandbox with a paced sound card and both simulated
// peers, driven only through the car's interfaces (stick, key controller,
// MCU) and observed through the MCU's now-playing packets, the settings file
// and screenshots: a stick plays on its own, next and previous, play modes,
// seeking, pause, the main volume.
#include "playerrig.h"

#include <QJsonObject>
#include <QtTest>

namespace {

constexpr int kStartMs = 90000; // power-up to the first song, on a loaded machine
constexpr int kStepMs = 30000;

// Key controller indexes.
const QString kPrev = QStringLiteral("0");
const QString kNext = QStringLiteral("1");
const QString kPlay = QStringLiteral("2");

QList<SongSpec> fourSongs(int seconds)
{
    return {{"01 Alpha.flac", seconds, "Alpha", "Artist A"},
            {"02 Bravo.mp3", seconds, "Bravo", "Artist B"},
            {"03 Charlie.wav", seconds, "", ""},
            {"04 Delta.flac", seconds, "Delta", "Artist D"}};
}

} // namespace

class TstScenarioPlay : public QObject
{
    Q_OBJECT

private:
    // A sandbox with a stick of four songs in port 1, the player started.
    bool startWith(PlayerRig &rig, const QList<SongSpec> &songs)
    {
        const QString image = rig.makeStick(QStringLiteral("four"), songs);
        return !image.isEmpty() && rig.insert(image, 1) && rig.start();
    }

private slots:
    void init()
    {
        if (!PlayerRig::isRoot())
            QSKIP("loop-mounted sticks need root");
    }

    // Power-up with a stick: the first song plays on its own; next,
    // previous within 2 s, previous later restarts, wrap at the end.
    void nextAndPrevious()
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        QVERIFY(startWith(rig, fourSongs(40)));

        NowPlaying p = rig.waitForPlaying(QStringLiteral("01 Alpha"), kStartMs);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        QCOMPARE(p.total, 40);

        rig.keys(QStringLiteral("tap ") + kNext);
        p = rig.waitForOtherSong(QStringLiteral("01 Alpha"), kStepMs, p.time);
        QVERIFY2(p.title == QLatin1String("02 Bravo"), qPrintable(rig.diagnostics()));

        // Within 2 s of its start, previous goes to the song before.
        rig.keys(QStringLiteral("tap ") + kPrev);
        p = rig.waitForOtherSong(QStringLiteral("02 Bravo"), kStepMs, p.time);
        QVERIFY2(p.title == QLatin1String("01 Alpha"), qPrintable(rig.diagnostics()));

        // Later into the song it starts the same song again.
        p = rig.waitFor([](const NowPlaying &n) { return n.title == QLatin1String("01 Alpha") && n.elapsed >= 5; },
                        kStepMs, p.time);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        rig.keys(QStringLiteral("tap ") + kPrev);
        p = rig.waitFor([](const NowPlaying &n) { return n.elapsed <= 2 && n.state == 2; }, kStepMs, p.time);
        QVERIFY2(p.title == QLatin1String("01 Alpha"), qPrintable(rig.diagnostics()));
        // It starts once, at its start: no second start a second later.
        const NowPlaying restarted = p;
        p = rig.waitFor([](const NowPlaying &n) { return n.elapsed >= 4; }, kStepMs, p.time);
        QVERIFY2(p.title == QLatin1String("01 Alpha"), qPrintable(rig.diagnostics()));
        for (const NowPlaying &n : rig.packets()) {
            if (n.time > restarted.time + 2 && n.time < p.time)
                QVERIFY2(n.elapsed >= 1, qPrintable(rig.diagnostics()));
        }

        // Previous at the first song goes to the last; next there wraps to the first.
        rig.keys(QStringLiteral("tap ") + kPrev);
        rig.keys(QStringLiteral("wait 400"));
        rig.keys(QStringLiteral("tap ") + kPrev);
        p = rig.waitForPlaying(QStringLiteral("04 Delta"), kStepMs, p.time);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        rig.keys(QStringLiteral("tap ") + kNext);
        p = rig.waitForPlaying(QStringLiteral("01 Alpha"), kStepMs, p.time);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));

        // The song being played is what the settings file will resume.
        QVERIFY(rig.setting(QStringLiteral("SETTING/m_SelectPlayMuiscInfo"))
                    .startsWith(QLatin1String("01 Alpha.flac__RS__")));
        const QString shot = rig.shot(QStringLiteral("now-playing"));
        QVERIFY(!shot.isEmpty());
    }

    // The mode key (a long play/pause) steps through the modes; repeat-one
    // plays the song again at its end; random never repeats the song.
    void playModes()
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        QList<SongSpec> songs = fourSongs(12);
        QVERIFY(startWith(rig, songs));
        NowPlaying p = rig.waitForPlaying(QStringLiteral("01 Alpha"), kStartMs);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        QCOMPARE(p.playMode, 0);

        // Mode 1: the same song again when it ends.
        rig.keys(QStringLiteral("long ") + kPlay + QStringLiteral(" ms=600"));
        p = rig.waitFor([](const NowPlaying &n) { return n.playMode == 1; }, kStepMs, p.time);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        p = rig.waitFor([](const NowPlaying &n) { return n.elapsed >= 9; }, kStepMs, p.time);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        const QString repeated = p.title;
        p = rig.waitFor([](const NowPlaying &n) { return n.state == 2 && n.elapsed <= 2; }, kStepMs, p.time);
        QVERIFY2(p.valid() && p.title == repeated, qPrintable(rig.diagnostics()));

        // Modes 2, 3 and then 4: random over all songs never picks the song playing.
        for (int mode = 2; mode <= 4; ++mode) {
            rig.keys(QStringLiteral("long ") + kPlay + QStringLiteral(" ms=600"));
            p = rig.waitFor([mode](const NowPlaying &n) { return n.playMode == mode; }, kStepMs, p.time);
            QVERIFY2(p.valid(), qPrintable(QStringLiteral("mode %1\n").arg(mode) + rig.diagnostics()));
        }
        for (int i = 0; i < 4; ++i) {
            const QString before =
                rig.waitFor([](const NowPlaying &n) { return n.state == 2 && n.elapsed >= 1; }, kStepMs, p.time).title;
            QVERIFY(!before.isEmpty());
            rig.keys(QStringLiteral("tap ") + kNext);
            p = rig.waitForOtherSong(before, kStepMs, p.time);
            QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        }
        // The mode is kept in the library for the next power-up.
        QTRY_VERIFY_WITH_TIMEOUT(rig.packets().last().playMode == 4, 5000);
    }

    // Seeking by a held next or previous (8 s a step), past the end and
    // before the start; pause and resume.
    void seekAndPause()
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        QVERIFY(startWith(rig, fourSongs(40)));
        NowPlaying p = rig.waitForPlaying(QStringLiteral("01 Alpha"), kStartMs);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        p = rig.waitFor([](const NowPlaying &n) { return n.elapsed >= 2; }, kStepMs, p.time);

        // One held frame: forward 8 s; the song then plays on from there.
        const int from = p.elapsed;
        rig.keys(QStringLiteral("long ") + kNext + QStringLiteral(" ms=250 every=150"));
        p = rig.waitFor([from](const NowPlaying &n) { return n.state == 2 && n.elapsed >= from + 9; }, kStepMs, p.time);
        QVERIFY2(p.valid() && p.title == QLatin1String("01 Alpha") && p.elapsed <= from + 14,
                 qPrintable(rig.diagnostics()));

        // Back 8 s, and on from there.
        const int target = p.elapsed - 8;
        rig.keys(QStringLiteral("long ") + kPrev + QStringLiteral(" ms=250 every=150"));
        p = rig.waitFor(
            [target](const NowPlaying &n) { return n.state == 2 && n.elapsed > target && n.elapsed <= target + 3; },
            kStepMs, p.time);
        QVERIFY2(p.valid() && p.title == QLatin1String("01 Alpha"), qPrintable(rig.diagnostics()));

        // Pause: the packets say paused and the position stands still.
        rig.keys(QStringLiteral("tap ") + kPlay);
        p = rig.waitFor([](const NowPlaying &n) { return n.state == 3; }, kStepMs, p.time);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        const NowPlaying paused = rig.waitFor([](const NowPlaying &n) { return n.state == 3; }, kStepMs, p.time + 3);
        QVERIFY2(paused.valid() && qAbs(paused.elapsed - p.elapsed) <= 1, qPrintable(rig.diagnostics()));
        QVERIFY(!rig.shot(QStringLiteral("paused")).isEmpty());
        rig.keys(QStringLiteral("tap ") + kPlay);
        p = rig.waitFor([&](const NowPlaying &n) { return n.state == 2 && n.elapsed > paused.elapsed; }, kStepMs,
                        paused.time);
        QVERIFY2(p.valid() && p.title == QLatin1String("01 Alpha"), qPrintable(rig.diagnostics()));

        // Held next near the end goes on to the next song.
        for (int i = 0; i < 5; ++i)
            rig.keys(QStringLiteral("long ") + kNext + QStringLiteral(" ms=250 every=150"));
        p = rig.waitForPlaying(QStringLiteral("02 Bravo"), kStepMs, p.time);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));

        // Held previous within the first seconds: the song before, its last 8 seconds.
        rig.keys(QStringLiteral("long ") + kPrev + QStringLiteral(" ms=250 every=150"));
        p = rig.waitForPlaying(QStringLiteral("01 Alpha"), kStepMs, p.time);
        QVERIFY2(p.valid() && p.elapsed >= 30, qPrintable(rig.diagnostics()));
    }

    // The knob on the main screen sets the main volume: block 5 goes to the
    // MCU with the new gain in system byte 8.
    void volumeByKnob()
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        QVERIFY(startWith(rig, fourSongs(40)));
        NowPlaying p = rig.waitForPlaying(QStringLiteral("01 Alpha"), kStartMs);
        QVERIFY2(p.valid(), qPrintable(rig.diagnostics()));
        rig.keys(QStringLiteral("knob 3"));
        auto gainWrites = [&](int gain) {
            return rig
                .frames(
                    [gain](const QJsonObject &o) {
                        return o.value("dir").toString() == QLatin1String("in")
                               && o.value("kind").toString() == QLatin1String("write") && o.value("group").toInt() == 9
                               && o.value("item").toInt() == 5
                               && o.value("payload").toString().left(2).toInt(nullptr, 16) == gain;
                    },
                    p.time)
                .size();
        };
        QTRY_VERIFY_WITH_TIMEOUT(gainWrites(15) > 0, 15000);
        rig.keys(QStringLiteral("knob -40"));
        QTRY_VERIFY_WITH_TIMEOUT(gainWrites(0) > 0, 15000);
        QVERIFY(!rig.shot(QStringLiteral("volume")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstScenarioPlay)
#include "tst_scenarioplay.moc"
