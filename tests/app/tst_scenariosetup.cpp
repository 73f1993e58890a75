// The setup screen of the whole player in a sandbox, driven by the key
// controller simulator and observed on the MCU transcript and the player's
// log: treble and an EQ band tuned by the knob reach the DSP as write
// frames with the new bytes; the user memory is saved and a factory preset
// recalled; the diagnostic page stores the sound as the dealer preset.
#include "playerrig.h"

#include <QJsonObject>
#include <QTextCodec>
#include <QtTest>

namespace {

constexpr int kStepMs = 30000;

// Key controller script lines.
const QString kBack = QStringLiteral("tap 5");

bool isWrite(const QJsonObject &o, int group, int item)
{
    return o.value("dir").toString() == QLatin1String("in") && o.value("kind").toString() == QLatin1String("write")
           && o.value("group").toInt() == group && o.value("item").toInt() == item;
}

QString hexLe16(int v)
{
    return QString::asprintf("%02x%02x", v & 0xFF, (v >> 8) & 0xFF);
}

// Writes of the live input slot `slot` carrying `value`, after `since`.
int liveInputWrites(PlayerRig &rig, int slot, int value, double since)
{
    return rig
        .frames(
            [&](const QJsonObject &o) {
                return isWrite(o, 3, 0) && o.value("slot").toInt() == slot && o.value("preset").toInt() == 0
                       && o.value("payload").toString().mid(4, 4) == hexLe16(value);
            },
            since)
        .size();
}

} // namespace

class TstScenarioSetup : public QObject
{
    Q_OBJECT

private slots:
    // Treble by the knob: one write of input slot 10 with 610 (from 600);
    // band 1's gain three steps up: a write of slot 0 with 603. Then the
    // user memory saved with the sound as it is, and the Rock preset
    // recalled by resting on its row.
    void tuneSaveAndRecall()
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        QVERIFY(rig.start());
        QVERIFY2(rig.openSetup(QStringLiteral("设置")), qPrintable(rig.diagnostics()));
        const double t0 = rig.lastFrameTime();

        rig.press(); // sound settings
        rig.press(); // treble: edit
        rig.knob(1);
        auto written = [&](int slot, int value) { return liveInputWrites(rig, slot, value, t0); };
        QTRY_VERIFY2_WITH_TIMEOUT(written(10, 610) == 1, qPrintable(rig.diagnostics()), kStepMs);

        rig.press(); // treble done
        rig.knob(3); // parametric EQ
        rig.press(); // bands
        rig.press(); // band 1
        rig.knob(2); // gain
        rig.press();
        rig.knob(3);
        QTRY_VERIFY2_WITH_TIMEOUT(written(0, 603) >= 1, qPrintable(rig.diagnostics()), kStepMs);
        QCOMPARE(written(10, 610), 1);

        // Sound memory, user slot: save and confirm.
        rig.press(kBack); // editing ends
        rig.press(kBack); // bands
        rig.press(kBack); // sound settings
        rig.knob(6);      // sound memory
        rig.press();
        rig.knob(1); // user setting
        rig.press();
        const double beforeSave = rig.lastFrameTime();
        rig.press(); // save
        rig.press(); // confirm
        const QString userName =
            QString::fromLatin1(QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("用户自定义")).toHex());
        auto saved = [&] {
            const QList<QJsonObject> names = rig.frames(
                [&](const QJsonObject &o) {
                    return isWrite(o, 9, 0) && o.value("preset").toInt() == 13
                           && o.value("payload").toString().startsWith(userName);
                },
                beforeSave);
            const QList<QJsonObject> inputs = rig.frames(
                [&](const QJsonObject &o) {
                    // The whole input record: treble at slot 10 as tuned.
                    return isWrite(o, 3, 0) && o.value("preset").toInt() == 13
                           && o.value("payload").toString().mid(2 * (8 * 10 + 2), 4) == hexLe16(610);
                },
                beforeSave);
            return !names.isEmpty() && !inputs.isEmpty();
        };
        QTRY_VERIFY2_WITH_TIMEOUT(saved(), qPrintable(rig.diagnostics()), kStepMs);

        // Back to the main page once the confirmation has closed, then the
        // preset EQ page.
        rig.keys(QStringLiteral("wait 2500"));
        for (int i = 0; i < 3; ++i)
            rig.press(kBack);
        rig.knob(1);
        rig.press();
        const double beforeRecall = rig.lastFrameTime();
        // The EQ edits made the user EQ current (row 11): up to the top, then
        // down to Rock within the rest time.
        rig.knob(-20);
        rig.knob(2);
        auto recalled = [&] {
            const bool read = !rig.frames(
                                      [](const QJsonObject &o) {
                                          return o.value("dir").toString() == QLatin1String("in")
                                                 && o.value("kind").toString() == QLatin1String("read")
                                                 && o.value("group").toInt() == 3 && o.value("preset").toInt() == 3;
                                      },
                                      beforeRecall)
                                   .isEmpty();
            const bool current =
                !rig.frames(
                        [](const QJsonObject &o) {
                            return isWrite(o, 9, 52) && o.value("payload").toString().left(2) == QLatin1String("03");
                        },
                        beforeRecall)
                     .isEmpty();
            return read && current;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(recalled(), qPrintable(rig.log().right(4000)), kStepMs);
    }

    // The diagnostic page's dealer row: with treble tuned to 610, long
    // presses of play, play, previous, previous on the setup main page open
    // the page; its second row stores the sound as the dealer preset (12),
    // named "经销商定义" in GBK, with the treble as tuned.
    void dealerRowStoresTheSound()
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        QVERIFY(rig.start());
        QVERIFY2(rig.openSetup(QStringLiteral("设置")), qPrintable(rig.diagnostics()));
        const double t0 = rig.lastFrameTime();
        rig.press(); // sound settings
        rig.press(); // treble: edit
        rig.knob(1);
        QTRY_VERIFY2_WITH_TIMEOUT(liveInputWrites(rig, 10, 610, t0) > 0, qPrintable(rig.diagnostics()), kStepMs);
        rig.press();      // treble done
        rig.press(kBack); // main page

        const QString asked = QStringLiteral("diagnostics screen asked for");
        for (const char *key : {"2", "2", "0", "0"}) {
            rig.keys(QStringLiteral("long %1 ms=900").arg(QLatin1String(key)));
            rig.keys(QStringLiteral("wait 300"));
        }
        QTRY_VERIFY2_WITH_TIMEOUT(rig.log().contains(asked), qPrintable(rig.diagnostics()), kStepMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().contains(QStringLiteral("service screen 5 opened")), kStepMs);
        const double beforeSave = rig.lastFrameTime();
        rig.knob(1); // dealer setting
        rig.press();
        const QString dealerName =
            QString::fromLatin1(QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("经销商定义")).toHex());
        auto stored = [&] {
            const bool named = !rig.frames(
                                       [&](const QJsonObject &o) {
                                           return isWrite(o, 9, 0) && o.value("preset").toInt() == 12
                                                  && o.value("payload").toString().startsWith(dealerName);
                                       },
                                       beforeSave)
                                    .isEmpty();
            // The whole input record: treble at slot 10 as tuned.
            const bool input =
                !rig.frames(
                        [](const QJsonObject &o) {
                            return isWrite(o, 3, 0) && o.value("preset").toInt() == 12
                                   && o.value("payload").toString().mid(2 * (8 * 10 + 2), 4) == hexLe16(610);
                        },
                        beforeSave)
                     .isEmpty();
            return named && input;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(stored(), qPrintable(rig.diagnostics()), kStepMs);
        QVERIFY(rig.log().contains(QStringLiteral("diagnostics: the current settings become the dealer preset")));
    }
};

QTEST_MAIN(TstScenarioSetup)
#include "tst_scenariosetup.moc"
