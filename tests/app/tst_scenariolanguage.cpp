// The language switch of the whole player in a sandbox, driven by the key
// controller simulator and observed in the player's log: Korean chosen in
// the setup screen and back to Chinese, each surviving a restart.
#include "playerrig.h"

#include <QtTest>

namespace {

constexpr int kStepMs = 30000;

} // namespace

class TstScenarioLanguage : public QObject
{
    Q_OBJECT

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
            rig.knob(4); // general
            rig.press();
            rig.knob(1); // language
            rig.press(); // editing
        };
        QVERIFY2(rig.openSetup(QStringLiteral("设置")), qPrintable(rig.diagnostics()));
        toLanguageRow();
        rig.knob(2); // one language a step, however fast the turn: English
        rig.knob(1); // Korean
        QTRY_VERIFY2_WITH_TIMEOUT(rig.log().contains(QStringLiteral("setup texts reloaded: \"일반\", \"언어\"")),
                                  qPrintable(rig.log().right(3000)), kStepMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().contains(QStringLiteral("language setting stored: 2")), kStepMs);

        QVERIFY(restart());
        QVERIFY2(rig.openSetup(QStringLiteral("설정")), qPrintable(rig.log().right(3000)));
        toLanguageRow();
        rig.knob(-1);
        rig.knob(-1);
        QTRY_VERIFY2_WITH_TIMEOUT(rig.log().contains(QStringLiteral("setup texts reloaded: \"通用\", \"语言设置\"")),
                                  qPrintable(rig.log().right(3000)), kStepMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().contains(QStringLiteral("language setting stored: 0")), kStepMs);

        QVERIFY(restart());
        QVERIFY2(rig.openSetup(QStringLiteral("设置")), qPrintable(rig.log().right(3000)));
    }
};

QTEST_MAIN(TstScenarioLanguage)
#include "tst_scenariolanguage.moc"
