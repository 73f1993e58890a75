// The whole player in a sandbox receiving firmware: a full MCU and a full
// DSP upgrade against the simulated MCU (progress screen, restart, the
// image the MCU recorded equals the file), an MCU that refuses a block and
// one that stops answering mid-upgrade (failure screen, the firmware is
// dropped, the player comes back and talks to the MCU again).
#include "playerrig.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtTest>

namespace {

constexpr int kStartMs = 60000;

QByteArray seeded(int size, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray out(size, '\0');
    for (char &c : out)
        c = char(gen.bounded(256));
    return out;
}

bool isEvent(const QJsonObject &o, const char *name)
{
    return o.value(QStringLiteral("event")).toString() == QLatin1String(name);
}

bool isUpgradeFrame(const QJsonObject &o)
{
    const int item = o.value(QStringLiteral("item")).toInt();
    return o.value(QStringLiteral("dir")).toString() == QLatin1String("in")
           && o.value(QStringLiteral("kind")).toString() == QLatin1String("write")
           && o.value(QStringLiteral("group")).toInt() == 9 && item >= 54 && item <= 59;
}

bool isStatusPoll(const QJsonObject &o)
{
    return o.value(QStringLiteral("dir")).toString() == QLatin1String("in")
           && o.value(QStringLiteral("kind")).toString() == QLatin1String("read")
           && o.value(QStringLiteral("group")).toInt() == 9 && o.value(QStringLiteral("item")).toInt() == 3;
}

double timeOf(const QJsonObject &o)
{
    return o.value(QStringLiteral("time")).toDouble();
}

} // namespace

class TstScenarioService : public QObject
{
    Q_OBJECT

    // The firmware file in the update folder, as the package script leaves it.
    static bool placeFirmware(PlayerRig &rig, const QByteArray &bytes)
    {
        const QString dir = rig.dir() + QStringLiteral("/run/media/mmcblk1p3/update");
        QDir().mkpath(dir);
        QFile f(dir + QStringLiteral("/firmware.bin"));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    static bool updateDirGone(PlayerRig &rig)
    {
        return !QDir(rig.dir() + QStringLiteral("/run/media/mmcblk1p3/update")).exists();
    }

    // After the restart: a new player, the firmware gone, no new upgrade,
    // and the MCU polled again as in normal running.
    static void comesBack(PlayerRig &rig, int oldPid, double since)
    {
        QTRY_VERIFY_WITH_TIMEOUT(rig.playerPid() > 0 && rig.playerPid() != oldPid, 40000);
        QVERIFY(updateDirGone(rig));
        QTRY_VERIFY2_WITH_TIMEOUT(!rig.frames(isStatusPoll, since).isEmpty(), qPrintable(rig.diagnostics()), kStartMs);
        QVERIFY(rig.frames([](const QJsonObject &o) { return isEvent(o, "upgrade handshake"); }, since).isEmpty());
    }

    // Runs one upgrade to its end and checks what the MCU recorded.
    void fullUpgrade(const QByteArray &file, const QString &image, const QByteArray &expected, int timeoutMs)
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        QVERIFY(placeFirmware(rig, file));
        QVERIFY(rig.start());
        QTRY_VERIFY_WITH_TIMEOUT(
            !rig.frames([](const QJsonObject &o) { return isEvent(o, "upgrade handshake"); }).isEmpty(), kStartMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig.frames(isUpgradeFrame).size() > 20, 30000);
        QVERIFY(rig.log().contains(QStringLiteral("firmware upgrade started")));
        QVERIFY(!rig.shot(QStringLiteral("upgrade-progress-") + image).isEmpty());
        const int pid = rig.playerPid();

        QTRY_VERIFY2_WITH_TIMEOUT(
            !rig.frames([](const QJsonObject &o) { return isEvent(o, "upgrade done"); }).isEmpty(),
            qPrintable(rig.diagnostics()), timeoutMs);
        const QJsonObject done = rig.frames([](const QJsonObject &o) { return isEvent(o, "upgrade done"); }).first();
        if (image == QLatin1String("mcu"))
            QVERIFY(done.value(QStringLiteral("checksum ok")).toBool());
        QFile got(rig.dir() + QStringLiteral("/var/upgrade/") + image + QStringLiteral(".bin"));
        QVERIFY(got.open(QIODevice::ReadOnly));
        const QByteArray recorded = got.readAll();
        QCOMPARE(recorded.size(), expected.size());
        QVERIFY(recorded == expected);

        // The last frame sent: the folder goes, the restart follows 12 s later.
        QTRY_VERIFY_WITH_TIMEOUT(rig.log().contains(QStringLiteral("firmware upgrade completed")), 20000);
        QVERIFY(updateDirGone(rig));
        QVERIFY(!rig.shot(QStringLiteral("upgrade-restart-") + image).isEmpty());
        comesBack(rig, pid, timeOf(done));
    }

    // An upgrade the MCU breaks off: failure screen, restart, back to normal.
    void brokenUpgrade(const QString &fault, const QString &shot)
    {
        PlayerRig rig;
        QVERIFY(rig.isValid());
        QVERIFY(placeFirmware(rig, QByteArray("WMCU") + seeded(48 * 120, 7)));
        rig.mcu(fault);
        QVERIFY(rig.start());
        QTRY_VERIFY_WITH_TIMEOUT(
            !rig.frames([](const QJsonObject &o) { return isEvent(o, "upgrade handshake"); }).isEmpty(), kStartMs);
        const int pid = rig.playerPid();
        QTRY_VERIFY2_WITH_TIMEOUT(rig.log().contains(QStringLiteral("firmware upgrade failed")),
                                  qPrintable(rig.diagnostics()), 60000);
        QVERIFY(!rig.shot(shot).isEmpty());
        QVERIFY(rig.frames([](const QJsonObject &o) { return isEvent(o, "upgrade done"); }).isEmpty());
        QVERIFY(!QFile::exists(rig.dir() + QStringLiteral("/var/upgrade/mcu.bin")));
        const double failedAt = rig.lastFrameTime();
        comesBack(rig, pid, failedAt);
    }

private slots:
    // 400 blocks of 48 bytes and 17 more: the last block is padded with 0xFF.
    void fullMcuUpgrade()
    {
        const QByteArray data = seeded(4 + 48 * 400 + 17, 1);
        const QByteArray file = QByteArray("WMCU") + data;
        QByteArray expected = data;
        expected += QByteArray(48 - 17, '\xFF');
        fullUpgrade(file, QStringLiteral("mcu"), expected, 120000);
    }

    // The whole DSP part (0x3FFFF bytes, 5958 block 59 frames): about 400 s
    // on a loaded 2-core machine.
    void fullDspUpgrade()
    {
        const QByteArray dsp = seeded(0x3FFFF, 2);
        fullUpgrade(QByteArray("WDSP") + dsp + QByteArray(1, '\x01'), QStringLiteral("dsp"), dsp, 800000);
    }

    void refusedBlockAborts()
    {
        brokenUpgrade(QStringLiteral("upgrade refuse block=56 at=30"), QStringLiteral("upgrade-refused"));
    }

    void silentMcuAborts()
    {
        brokenUpgrade(QStringLiteral("upgrade silent after=40"), QStringLiteral("upgrade-silent"));
    }
};

QTEST_MAIN(TstScenarioService)
#include "tst_scenarioservice.moc"
