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
};

QTEST_GUILESS_MAIN(TstScenarioPlay)
#include "tst_scenarioplay.moc"
