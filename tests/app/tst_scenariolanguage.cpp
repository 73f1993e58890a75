// The language switch of the whole player in a sandbox, driven by the key
// controller simulator and observed in the player's log: Korean chosen in
// the setup screen and back to Chinese, each surviving a restart.
#include "playerrig.h"

#include <QtTest>

namespace {

constexpr int kStartMs = 90000;
constexpr int kStepMs = 30000;

// Key controller script lines.
const QString kPress = QStringLiteral("tap 4");
const QString kPause = QStringLiteral("wait 700"); // past the short-press wait and the back debounce

} // namespace

class TstScenarioLanguage : public QObject
{
    Q_OBJECT

private:
    // Knob turns and presses, each given time to act.
    void knob(PlayerRig &rig, int steps)
    {
        rig.keys(QStringLiteral("knob %1").arg(steps));
        rig.keys(QStringLiteral("wait 300"));
    }
    void press(PlayerRig &rig, const QString &key = kPress)
    {
        rig.keys(key);
        rig.keys(kPause);
    }
    // Long knob presses on the main screen until the log says that the
    // setup screen opened with this title.
    bool openSetup(PlayerRig &rig, const QString &title)
    {
        const QString line = QStringLiteral("setup screen opened: \"%1\"").arg(title);
        const int before = rig.log().count(line);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < kStartMs) {
            rig.keys(QStringLiteral("long 4 ms=900"));
            QElapsedTimer w;
            w.start();
            while (w.elapsed() < 4000) {
                if (rig.log().count(line) > before) {
                    rig.keys(QStringLiteral("wait 500"));
                    return true;
                }
                QTest::qWait(100);
            }
        }
        return false;
    }

private slots:
    // Korean chosen in the setup screen: the screen's texts change at once
    // and the player starts in Korean after a restart; Chinese again the
    // same way.
    void languageSurvivesRestart()
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        QVERIFY(rig.start());
        auto restart = [&] {
            const int pid = rig.playerPid();
            return rig.killPlayer()
                   && QTest::qWaitFor([&] { return rig.playerPid() > 0 && rig.playerPid() != pid; }, kStepMs);
        };
        auto toLanguageRow = [&] {
            knob(rig, 4); // general
            press(rig);
            knob(rig, 1); // language
            press(rig);   // editing
        };
        QVERIFY2(openSetup(rig, QStringLiteral("设置")), qPrintable(rig.diagnostics()));
        toLanguageRow();
        knob(rig, 2); // one language a step, however fast the turn: English
        knob(rig, 1); // Korean
        QTRY_VERIFY2_WITH_TIMEOUT(rig.log().contains(QStringLiteral("setup texts reloaded: \"일반\", \"언어\"")),
                                  qPrintable(rig.log().right(3000)), kStepMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().contains(QStringLiteral("language setting stored: 2")), kStepMs);

        QVERIFY(restart());
        QVERIFY2(openSetup(rig, QStringLiteral("설정")), qPrintable(rig.log().right(3000)));
        toLanguageRow();
        knob(rig, -1);
        knob(rig, -1);
        QTRY_VERIFY2_WITH_TIMEOUT(rig.log().contains(QStringLiteral("setup texts reloaded: \"通用\", \"语言设置\"")),
                                  qPrintable(rig.log().right(3000)), kStepMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().contains(QStringLiteral("language setting stored: 0")), kStepMs);

        QVERIFY(restart());
        QVERIFY2(openSetup(rig, QStringLiteral("设置")), qPrintable(rig.log().right(3000)));
    }
};

QTEST_MAIN(TstScenarioLanguage)
#include "tst_scenariolanguage.moc"
