// Steering-wheel keys of the whole player in a sandbox: a key learned on the
// learning page from the simulated MCU's AD readings, stored in the MCU's
// system record, and then pressed on the wheel to skip a song; a reading
// just outside the learned value's reach does nothing.
#include "playerrig.h"

#include <QJsonObject>
#include <QtTest>

namespace {

constexpr int kStartMs = 90000;
constexpr int kStepMs = 30000;

const QString kFirst = QStringLiteral("01 Amber");
const QString kSecond = QStringLiteral("02 Basalt");

// Byte 48 + k of the system record (block 122 holds bytes 48..55) is wheel
// key k's learned value; bit k of byte 54 puts it on AD line 2.
constexpr int kNextKey = 3;

bool isSystemWrite(const QJsonObject &o, int block)
{
    return o.value(QStringLiteral("dir")).toString() == QLatin1String("in")
           && o.value(QStringLiteral("kind")).toString() == QLatin1String("write")
           && o.value(QStringLiteral("group")).toInt() == 9 && o.value(QStringLiteral("item")).toInt() == block;
}

int payloadByte(const QJsonObject &o, int at)
{
    return o.value(QStringLiteral("payload")).toString().mid(2 * at, 2).toInt(nullptr, 16);
}

// A wheel key held for 600 ms: true once the MCU has answered a status poll
// with the reading and then one with both lines idle again (200 200): the
// player gets the answers in order, so a later press comes after a release.
bool wheelPress(PlayerRig &rig, int line1, int line2 = 200)
{
    const double since = rig.lastFrameTime();
    rig.mcu(QStringLiteral("ad %1 %2 ms=600").arg(line1).arg(line2));
    auto answered = [&] {
        bool pressed = false;
        for (const QJsonObject &o : rig.frames(
                 [](const QJsonObject &o) {
                     return o.value(QStringLiteral("dir")).toString() == QLatin1String("out")
                            && o.value(QStringLiteral("kind")).toString() == QLatin1String("S")
                            && o.value(QStringLiteral("group")).toInt() == 9
                            && o.value(QStringLiteral("item")).toInt() == 3;
                 },
                 since)) {
            const int a1 = payloadByte(o, 18), a2 = payloadByte(o, 19);
            if (a1 == line1 && a2 == line2)
                pressed = true;
            else if (pressed && a1 == 200 && a2 == 200)
                return true;
        }
        return false;
    };
    return QTest::qWaitFor(answered, kStepMs);
}

} // namespace

class TstScenarioWheel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!PlayerRig::isRoot())
            QSKIP("loop-mounted sticks need root");
    }

    // Setup -> General -> "方控学习" -> "next": a reading of 90 on line 1 held
    // for 600 ms becomes the key. On the now-playing screen a press reading
    // 91 skips to the next song; one reading 92 is no key.
    void learnAWheelKeyThenSkip()
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        const QString image = rig.makeStick(QStringLiteral("three"), {{"music/01 Amber.flac", 300, "Amber", "A"},
                                                                      {"music/02 Basalt.flac", 300, "Basalt", "B"},
                                                                      {"music/03 Cobalt.flac", 300, "Cobalt", "C"}});
        QVERIFY(!image.isEmpty() && rig.insert(image) && rig.start());
        const NowPlaying first = rig.waitForPlaying(kFirst, kStartMs);
        QVERIFY2(first.valid(), qPrintable(rig.diagnostics()));

        QVERIFY2(rig.openSetup(QStringLiteral("设置")), qPrintable(rig.diagnostics()));
        rig.knob(4); // general
        rig.press();
        rig.knob(5); // key learning
        rig.press();
        rig.knob(kNextKey);
        rig.press();
        const QString started = QStringLiteral("steering-wheel learning of key %1 started").arg(kNextKey);
        QTRY_VERIFY2_WITH_TIMEOUT(rig.log().contains(started), qPrintable(rig.diagnostics()), kStepMs);

        const double learnAt = rig.lastFrameTime();
        QVERIFY2(wheelPress(rig, 90), qPrintable(rig.diagnostics()));
        const QString learned = QStringLiteral("steering-wheel key %1 learned: reading 90 on line 1").arg(kNextKey);
        QTRY_VERIFY2_WITH_TIMEOUT(rig.log().contains(learned), qPrintable(rig.diagnostics()), kStepMs);
        // The MCU keeps the learned keys: the system record's block 122 is
        // written with the value on line 1.
        auto stored = [&] {
            return !rig.frames(
                           [](const QJsonObject &o) {
                               return isSystemWrite(o, 122) && payloadByte(o, kNextKey) == 90
                                      && (payloadByte(o, 54 - 48) & (1 << kNextKey)) == 0;
                           },
                           learnAt)
                        .isEmpty();
        };
        QTRY_VERIFY2_WITH_TIMEOUT(stored(), qPrintable(rig.diagnostics()), kStepMs);

        // Held back: home to the now-playing screen from wherever it is.
        const int backs = rig.log().count(QStringLiteral("wire key 5 state 2"));
        rig.keys(QStringLiteral("long 5 ms=900"));
        QTRY_VERIFY2_WITH_TIMEOUT(rig.log().count(QStringLiteral("wire key 5 state 2")) > backs,
                                  qPrintable(rig.diagnostics()), kStepMs);

        // Two units off the learned value: no key. The player handles the
        // readings in order, so once this line is written the screen
        // change of the back key is done too.
        QVERIFY2(wheelPress(rig, 92), qPrintable(rig.diagnostics()));
        QTRY_VERIFY2_WITH_TIMEOUT(
            rig.log().contains(QStringLiteral("steering-wheel reading 92 on line 1 is no learned key")),
            qPrintable(rig.diagnostics()), kStepMs);

        // One unit off: the key, and the next song plays.
        const double pressAt = rig.lastFrameTime();
        QVERIFY2(wheelPress(rig, 91), qPrintable(rig.diagnostics()));
        const NowPlaying next = rig.waitForOtherSong(kFirst, kStepMs, pressAt);
        QVERIFY2(next.valid(), qPrintable(rig.diagnostics()));
        QCOMPARE(next.title, kSecond);
        const QString log = rig.log();
        QVERIFY2(log.contains(QStringLiteral("steering-wheel key %1 pressed: reading 91 on line 1").arg(kNextKey)),
                 qPrintable(log.right(3000)));
        QVERIFY2(!log.contains(QStringLiteral("pressed: reading 92")), qPrintable(log.right(3000)));
        // Amber played on until the press.
        for (const NowPlaying &p : rig.packets()) {
            if (p.time > first.time && p.time < pressAt)
                QVERIFY2(p.title == kFirst, qPrintable(rig.diagnostics()));
        }
    }
};

QTEST_MAIN(TstScenarioWheel)
#include "tst_scenariowheel.moc"
