// The real KLVPlayer under the supervisor in sandboxes: log banner,
// heartbeat, running without shared memory, restarts, isolation.
#include "testsandbox.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <csignal>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace {

// The heartbeat word of a sandbox's segment, or -1 when there is none.
int heartbeat(const TestSandbox &sb)
{
    QSettings conf(sb.dir() + QStringLiteral("/platform.conf"), QSettings::IniFormat);
    bool ok = false;
    const int key = conf.value(QStringLiteral("shm_key")).toString().toInt(&ok, 0);
    if (!ok)
        return -1;
    const int id = shmget(static_cast<key_t>(key), 8, 0);
    if (id < 0)
        return -1;
    void *p = shmat(id, nullptr, SHM_RDONLY);
    if (p == reinterpret_cast<void *>(-1))
        return -1;
    const int v = *static_cast<volatile int *>(p);
    shmdt(p);
    return v;
}

QString playerLog(const TestSandbox &sb)
{
    return sb.readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"));
}
QString supervisorLog(const TestSandbox &sb)
{
    return sb.readFile(QStringLiteral("var/log/supervisor.log"));
}

} // namespace

class TstSandbox : public QObject
{
    Q_OBJECT

private slots:
    void bannerAfterOversizedLogAndHeartbeat()
    {
        TestSandbox sb;
        QVERIFY(sb.isValid());
        {
            QFile f(sb.dir() + QStringLiteral("/run/media/mmcblk1p3/log_730.txt"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(5120001));
        }
        QVERIFY(sb.createLibrary());
        QVERIFY(sb.start());
        QTRY_VERIFY_WITH_TIMEOUT(playerLog(sb).contains(QStringLiteral("APP Runing")), 15000);
        // The banner is the first line: the oversized log was deleted.
        QVERIFY(playerLog(sb).indexOf(QStringLiteral("I vdx.app: =====")) == 24);
        QTRY_VERIFY_WITH_TIMEOUT(heartbeat(sb) > 0, 10000);
        const int first = heartbeat(sb);
        QTRY_VERIFY_WITH_TIMEOUT(heartbeat(sb) == first + 1, 6000);
        const int second = heartbeat(sb);
        QTest::qWait(2500);
        QVERIFY(heartbeat(sb) <= second + 1); // one step per 4 s, not faster
        QTRY_VERIFY_WITH_TIMEOUT(heartbeat(sb) == second + 1, 6000);
    }

    void runsWithoutSharedMemory()
    {
        TestSandbox sb({"--no-shm"});
        QVERIFY(sb.isValid());
        QVERIFY(sb.createLibrary());
        QVERIFY(sb.start());
        QTRY_VERIFY_WITH_TIMEOUT(sb.playerPid() > 0, 10000);
        const int pid = sb.playerPid();
        QTRY_VERIFY_WITH_TIMEOUT(playerLog(sb).contains(QStringLiteral("APP Runing")), 15000);
        QTest::qWait(5000);
        QCOMPARE(sb.playerPid(), pid); // still the same process
        QVERIFY(supervisorLog(sb).contains(QStringLiteral("no heartbeat")));
    }

    void supervisorRestartsKilledAndStalledPlayers()
    {
        TestSandbox sb;
        QVERIFY(sb.isValid());
        QVERIFY(sb.createLibrary());
        QVERIFY(sb.start());
        QTRY_VERIFY_WITH_TIMEOUT(sb.playerPid() > 0, 10000);
        const int first = sb.playerPid();
        QCOMPARE(::kill(first, SIGKILL), 0);
        QTRY_VERIFY_WITH_TIMEOUT(sb.playerPid() > 0 && sb.playerPid() != first, 10000);
        QVERIFY(supervisorLog(sb).contains(QStringLiteral("killed by signal 9")));

        // A player that stops beating (frozen) is killed after 20 s and restarted.
        const int second = sb.playerPid();
        QTRY_VERIFY_WITH_TIMEOUT(heartbeat(sb) > 0, 10000);
        QCOMPARE(::kill(second, SIGSTOP), 0);
        QTRY_VERIFY_WITH_TIMEOUT(sb.playerPid() > 0 && sb.playerPid() != second, 40000);
        QVERIFY2(supervisorLog(sb).contains(QStringLiteral("heartbeat unchanged for 20 s")),
                 qPrintable(supervisorLog(sb)));
    }

    // Without a display the player runs on the offscreen platform. A player
    // that cannot start is reported and stopped, not left crashing; status
    // names a player that keeps restarting, with the last reason.
    void startWithoutADisplayAndAFailingPlayer()
    {
        TestSandbox sb;
        QVERIFY(sb.isValid());
        QVERIFY(sb.createLibrary());
        auto start = [&](const QString &platform, QString *out, QString *err) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "VDX_SANDBOX", "QT_QPA_PLATFORM"})
                env.remove(QString::fromLatin1(name));
            if (!platform.isEmpty())
                env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
            env.insert(QStringLiteral("VDX_DAEMON"), TestSandbox::binaryDir() + QStringLiteral("/tools/KLVDaemon"));
            p.setProcessEnvironment(env);
            p.start(TestSandbox::sourceDir() + QStringLiteral("/tools/sandbox/sandbox"), {"start", sb.dir()});
            if (!p.waitForFinished(60000))
                return -1;
            *out = QString::fromUtf8(p.readAllStandardOutput());
            *err = QString::fromUtf8(p.readAllStandardError());
            return p.exitCode();
        };
        QString out, err;
        QCOMPARE(start(QString(), &out, &err), 0);
        QVERIFY2(out.contains(QStringLiteral("offscreen platform")), qPrintable(out));
        QVERIFY(sb.playerPid() > 0); // start returns once a player has run for a second
        QVERIFY2(!supervisorLog(sb).contains(QStringLiteral("killed by signal 6")), qPrintable(supervisorLog(sb)));

        // Three failed starts within the last minute, as the supervisor logs them.
        {
            QFile log(sb.dir() + QStringLiteral("/var/log/supervisor.log"));
            QVERIFY(log.open(QIODevice::Append));
            const QByteArray now = QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss.zzz").toUtf8();
            for (int i = 0; i < 3; ++i)
                log.write(now + " exit: player pid 4242 killed by signal 6\n");
        }
        QString status;
        QCOMPARE(sb.run(QStringLiteral("status"), {}, &status), 1);
        QVERIFY2(status.contains(QStringLiteral("keeps restarting: 3 failed starts in the last minute; last: player "
                                                "pid 4242 killed by signal 6")),
                 qPrintable(status));
        QVERIFY(status.contains(QStringLiteral("/var/log/player.out")));
        QVERIFY(sb.stop());

        // A platform that cannot work here: the player aborts at every start.
        QCOMPARE(start(QStringLiteral("xcb"), &out, &err), 1);
        QVERIFY2(err.contains(QStringLiteral("the player fails at start: player pid"))
                     && err.contains(QStringLiteral("killed by signal 6")),
                 qPrintable(err));
        QCOMPARE(sb.playerPid(), 0);
        QVERIFY(sb.readFile(QStringLiteral("var/log/player.out")).contains(QStringLiteral("xcb")));
    }

    void sandboxesSideBySide()
    {
        TestSandbox a;
        TestSandbox b;
        QVERIFY(a.isValid() && b.isValid());
        QVERIFY(a.createLibrary() && b.createLibrary());
        QVERIFY(a.start());
        QVERIFY(b.start());
        QTRY_VERIFY_WITH_TIMEOUT(a.playerPid() > 0 && b.playerPid() > 0, 10000);
        QVERIFY(a.playerPid() != b.playerPid());
        QTRY_VERIFY_WITH_TIMEOUT(heartbeat(a) > 0 && heartbeat(b) > 0, 10000);

        // "killall -9 KLVPlayer" in one sandbox ends only that sandbox's player.
        const int pa = a.playerPid();
        const int pb = b.playerPid();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VDX_SANDBOX"), a.dir());
        p.setProcessEnvironment(env);
        p.start(a.dir() + QStringLiteral("/bin/killall"), {QStringLiteral("-9"), QStringLiteral("KLVPlayer")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(a.playerPid() > 0 && a.playerPid() != pa, 10000);
        QCOMPARE(b.playerPid(), pb);

        // "reboot" restarts the player through the supervisor and is recorded.
        const int pb2 = b.playerPid();
        p.setProcessEnvironment([&] {
            QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
            e.insert(QStringLiteral("VDX_SANDBOX"), b.dir());
            return e;
        }());
        p.start(b.dir() + QStringLiteral("/bin/reboot"), {});
        QVERIFY(p.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(b.playerPid() > 0 && b.playerPid() != pb2, 10000);
        QVERIFY(b.readFile(QStringLiteral("var/log/reboot.log")).contains(QStringLiteral("reboot")));
        QVERIFY(supervisorLog(b).contains(QStringLiteral("reboot requested")));
    }

    void mountStubStaysInside()
    {
        TestSandbox sb;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VDX_SANDBOX"), sb.dir());
        p.setProcessEnvironment(env);
        p.start(sb.dir() + QStringLiteral("/bin/mount"), {"-o", "remount,rw", "/"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        p.start(sb.dir() + QStringLiteral("/bin/umount"), {"/dev/sda1"});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(sb.readFile(QStringLiteral("var/log/commands.log")).contains(QStringLiteral("mount -o remount,rw /")));
    }

    void destroyRemovesEverything()
    {
        QString dir;
        int pid = 0;
        {
            TestSandbox sb;
            dir = sb.dir();
            QVERIFY(sb.createLibrary());
            QVERIFY(sb.start());
            QTRY_VERIFY_WITH_TIMEOUT(sb.playerPid() > 0, 10000);
            pid = sb.playerPid();
        }
        QVERIFY(!QFile::exists(dir));
        QTRY_VERIFY_WITH_TIMEOUT(::kill(pid, 0) != 0, 5000);
    }
};

QTEST_GUILESS_MAIN(TstSandbox)
#include "tst_sandbox.moc"
