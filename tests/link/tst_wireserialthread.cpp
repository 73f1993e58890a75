// The wired key link against the simulated key controller over a real
// pseudo-terminal: the dispatch table, the answer frames as the controller
// decodes them, power-off and wake, the break-out value, GPIO line 2
// around each answer, silence, and a port that cannot be opened.

#include "globals.h"
#include "linkglobals.h"
#include "platform.h"
#include "testsandbox.h"
#include "wireserialthread.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

class TstWireSerialThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void dispatch_data();
    void dispatch();
    void answerFrames();
    void powerOffAndWake();
    void breakOutValue();
    void gpioLineAroundAnswer();
    void silenceIsLogged();
    void portThatCannotOpen();

private:
    static bool killallIsTheSandboxes(const TestSandbox &sb);
    int logCount(const QString &text) const;
    void script(const QStringList &lines);
    QList<QJsonObject> logRecords(const QString &dir) const;
    QList<QJsonObject> answers() const { return logRecords(QStringLiteral("in")); }
    QString keysSeen() const;
    QString recentLog() const
    {
        return m_sb->readFile(QStringLiteral("var/log/keys.log"))
            .split(QLatin1Char('\n'))
            .mid(m_logBase)
            .join(QLatin1Char('\n'));
    }
    QString gpio2() const;

    std::unique_ptr<TestSandbox> m_sb;
    std::unique_ptr<QProcess> m_sim;
    std::unique_ptr<WireSerialThread> m_wire;
    QList<QPair<int, int>> m_keys; // wireKeyClicked, in the GUI thread
    QList<bool> m_power;           // poweroffClick
    int m_logBase = 0;             // lines of the controller's log before this case
};

bool TstWireSerialThread::killallIsTheSandboxes(const TestSandbox &sb)
{
    // A port that cannot be opened ends the player through killall: only
    // the sandbox's own killall may be found, which reaches nothing else.
    return QStandardPaths::findExecutable(QStringLiteral("killall")) == sb.path(QStringLiteral("/bin/killall"));
}

void TstWireSerialThread::initTestCase()
{
    m_sb.reset(new TestSandbox());
    QVERIFY(m_sb->isValid());
    m_sb->enter();
    Platform::applyEnvironment();
    InitPaths();
    QVERIFY(killallIsTheSandboxes(*m_sb));
    m_sim.reset(new QProcess);
    m_sim->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_sim->start(QStringLiteral("/usr/bin/python3"),
                 {TestSandbox::sourceDir() + QStringLiteral("/tools/sim/keys_sim.py"), QStringLiteral("--sandbox"),
                  m_sb->dir(), QStringLiteral("--parent-pid"), QString::number(QCoreApplication::applicationPid())});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_sb->path(QStringLiteral("/var/run/ttyS5.ready"))), 10000);
}

void TstWireSerialThread::cleanupTestCase()
{
    if (m_sim) {
        m_sim->terminate();
        m_sim->waitForFinished(5000);
    }
    m_sb.reset();
}

void TstWireSerialThread::init()
{
    // A new thread per case (its flags and the repeat tracker start afresh)
    // on the same controller; its log is read from here on.
    m_logBase = m_sb->readFile(QStringLiteral("var/log/keys.log")).count(QLatin1Char('\n'));
    m_nCurSystem.fill(0);
    m_nCurSystem.set(0, 5);
    m_nCurSystem.set(35, 2);
    m_nCurSystem.set(40, 1);
    g_CurMusicPlay.isHiRes = false;
    m_keys.clear();
    m_power.clear();
    m_wire.reset(new WireSerialThread);
    connect(m_wire.get(), &WireSerialThread::wireKeyClicked, this, [this](int key, int state) {
        m_keys.append({key, state});
    });
    connect(m_wire.get(), &WireSerialThread::poweroffClick, this, [this](bool off) { m_power.append(off); });
    m_wire->startWireThread();
    QTRY_VERIFY_WITH_TIMEOUT(m_wire->portOpened(), 10000);
}

void TstWireSerialThread::cleanup()
{
    m_wire.reset();
}

int TstWireSerialThread::logCount(const QString &text) const
{
    return m_sb->readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt")).count(text);
}

void TstWireSerialThread::script(const QStringList &lines)
{
    QFile f(m_sb->path(QStringLiteral("/var/run/keys.script")));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Append));
    f.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
}

QList<QJsonObject> TstWireSerialThread::logRecords(const QString &dir) const
{
    QList<QJsonObject> out;
    const QString text = m_sb->readFile(QStringLiteral("var/log/keys.log"));
    for (const QString &line : text.split(QLatin1Char('\n')).mid(m_logBase)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        if (o.value(QStringLiteral("dir")).toString() == dir && !o.contains(QStringLiteral("noise")))
            out.append(o);
    }
    return out;
}

QString TstWireSerialThread::keysSeen() const
{
    QStringList s;
    for (const auto &k : m_keys)
        s << QStringLiteral("%1:%2").arg(k.first).arg(k.second);
    return s.join(QLatin1Char(' '));
}

QString TstWireSerialThread::gpio2() const
{
    return m_sb->readFile(QStringLiteral("sys/class/gpio/gpio2/value")).remove(QChar(0)).trimmed();
}

void TstWireSerialThread::dispatch_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("keys");

    QTest::newRow("next: press and release") << QStringList{"press 1", "release"} << 2 << "1:1 1:0";
    QTest::newRow("knob one way") << QStringList{"knob 3"} << 2 << "7:3 7:0";
    QTest::newRow("knob the other way") << QStringList{"knob -2"} << 2 << "7:130 7:0";
    QTest::newRow("previous on every held frame")
        << QStringList{"press 0", "hold 0", "hold 0", "release"} << 4 << "0:1 0:2 0:2 0:0";
    QTest::newRow("volume keys") << QStringList{"tap 9", "tap 10"} << 4 << "9:1 9:0 10:1 10:0";
    QTest::newRow("directory keys") << QStringList{"tap 15", "tap 16"} << 4 << "15:1 15:0 16:1 16:0";
    QTest::newRow("held key reported once")
        << QStringList{"press 2", "hold 2", "hold 2", "hold 2", "release"} << 5 << "2:1 2:2";
    QTest::newRow("pressed frames repeat")
        << QStringList{"press 3", "press 3", "press 3", "release"} << 4 << "3:1 3:1 3:1";
    QTest::newRow("held again after a release")
        << QStringList{"press 4", "hold 4", "hold 4", "release", "press 4", "hold 4", "hold 4", "release"} << 8
        << "4:1 4:2 4:1 4:2";
    QTest::newRow("another key while one is held")
        << QStringList{"press 2", "hold 2", "press 5", "release"} << 4 << "2:1 2:2 5:1";
    // Twelve frames 2 ms apart: one block, cut into twelve chunks.
    QTest::newRow("a burst of frames in one block")
        << QStringList{"rapid 3 12 gap=2"} << 13 << QStringLiteral("3:1 ").repeated(12).trimmed();
    QTest::newRow("highest key wins") << QStringList{"keys 2=1 5=1", "release"} << 2 << "5:1";
    QTest::newRow("long press") << QStringList{"long 3 ms=600 every=150"} << 5 << "3:1 3:2";
    QTest::newRow("a block shorter than a frame is dropped")
        << QStringList{"garbage n=13", "press 1", "release"} << 2 << "1:1 1:0";
}

void TstWireSerialThread::dispatch()
{
    QFETCH(QStringList, lines);
    QFETCH(int, frames);
    QFETCH(QString, keys);

    script(lines);
    // Every key frame is answered; the keys it reports were emitted before.
    QTRY_VERIFY2_WITH_TIMEOUT(answers().size() == frames, qPrintable(recentLog()), 10000);
    QTest::qWait(50);
    QCOMPARE(keysSeen(), keys);
    QCOMPARE(logRecords(QStringLiteral("out")).size(), frames + (lines.first().startsWith("garbage") ? 1 : 0));
}

void TstWireSerialThread::answerFrames()
{
    m_nCurSystem.set(35, 1);
    g_CurMusicPlay.isHiRes = true;

    // Before any release the answers acknowledge only.
    script({"press 2"});
    QTRY_COMPARE_WITH_TIMEOUT(answers().size(), 1, 10000);
    QJsonObject a = answers().last();
    QCOMPARE(a.value("kind").toString(), QStringLiteral("Q"));
    QCOMPARE(a.value("unit").toInt(), 1);
    QCOMPARE(a.value("len").toInt(), 8);
    QCOMPARE(a.value("payload").toString(), QStringLiteral("0000000000000000"));

    // From the first release on, every answer reports the status.
    script({"release"});
    QTRY_COMPARE_WITH_TIMEOUT(answers().size(), 2, 10000);
    a = answers().last();
    QCOMPARE(a.value("kind").toString(), QStringLiteral("S"));
    QCOMPARE(a.value("dimmer").toInt(), 1);
    QCOMPARE(a.value("power_breakout").toInt(), 0);
    QCOMPARE(a.value("hires").toInt(), 1);
    QCOMPARE(a.value("payload").toString().mid(6), QStringLiteral("0000000000"));

    // The Hi-Res flag only while this player is the source.
    m_nCurSystem.set(0, 2);
    script({"press 2"});
    QTRY_COMPARE_WITH_TIMEOUT(answers().size(), 3, 10000);
    a = answers().last();
    QCOMPARE(a.value("kind").toString(), QStringLiteral("S"));
    QCOMPARE(a.value("hires").toInt(), 0);

    // Header bytes 6..9 of the key frame come back; a frame with a bad
    // checksum and a frame of another type get no answer.
    FrameRecord f(WIREFRAME_START_TAG);
    f[Frame::Type] = 0xA1;
    f[Frame::Unit] = 1;
    f[Frame::Preset] = 1;
    f[Frame::Group] = 2;
    f[Frame::Item] = 3;
    f[Frame::Slot] = 4;
    f.setLength(24);
    const QByteArray good = f.finish();
    QByteArray bad = good;
    bad[bad.size() - 2] = char(bad[bad.size() - 2] ^ 0x40);
    f[Frame::Type] = 0x53;
    const QByteArray otherType = f.finish();
    script({"raw " + QString::fromLatin1(bad.toHex()), "raw " + QString::fromLatin1(otherType.toHex()),
            "raw " + QString::fromLatin1(good.toHex())});
    QTRY_COMPARE_WITH_TIMEOUT(answers().size(), 4, 10000);
    QTest::qWait(200);
    QCOMPARE(answers().size(), 4);
    a = answers().last();
    QCOMPARE(a.value("header").toVariant().toList(), QVariantList({1, 2, 3, 4}));
    QCOMPARE(a.value("kind").toString(), QStringLiteral("S"));
}

void TstWireSerialThread::powerOffAndWake()
{
    m_wire->SetMacPowerOff(true, true);
    QCOMPARE(int(m_nCurSystem.at(40)), 0);
    QTRY_COMPARE(m_power, QList<bool>{true});

    // A held key does not wake the unit; the answer reports power off.
    script({"hold 3", "release"});
    QTRY_COMPARE_WITH_TIMEOUT(answers().size(), 2, 10000);
    QVERIFY(m_wire->powerOff());
    QCOMPARE(answers().at(0).value("power_breakout").toInt(), 2);
    QCOMPARE(answers().at(1).value("power_breakout").toInt(), 2);

    // A pressed key wakes it and is not reported itself.
    script({"press 3", "release"});
    QTRY_COMPARE_WITH_TIMEOUT(answers().size(), 4, 10000);
    QVERIFY(!m_wire->powerOff());
    QCOMPARE(int(m_nCurSystem.at(40)), 1);
    QTRY_COMPARE(m_power, (QList<bool>{true, false}));
    QCOMPARE(answers().at(2).value("power_breakout").toInt(), 0);
    QCOMPARE(keysSeen(), QString());

    script({"press 3"});
    QTRY_COMPARE_WITH_TIMEOUT(answers().size(), 5, 10000);
    QTRY_COMPARE(keysSeen(), QStringLiteral("3:1"));

    // The controller's own power-off (no system update) leaves byte 40.
    m_wire->SetMacPowerOff(true, false);
    QCOMPARE(int(m_nCurSystem.at(40)), 1);
}

void TstWireSerialThread::breakOutValue()
{
    m_nCurSystem.set(36, 5); // blackout switch on
    script({"press 2"});
    QTRY_COMPARE_WITH_TIMEOUT(answers().size(), 1, 10000);
    // A key starts the break-out timer: status reported, value cleared.
    QCOMPARE(answers().last().value("kind").toString(), QStringLiteral("S"));
    QCOMPARE(answers().last().value("power_breakout").toInt(), 0);

    m_wire->SetwireBreakOut(); // the 30 s timer ran out
    QCOMPARE(int(m_wire->breakOutValue()), 5);
    script({"release"});
    QTRY_COMPARE_WITH_TIMEOUT(answers().size(), 2, 10000);
    QCOMPARE(answers().last().value("power_breakout").toInt(), 5);

    script({"press 2"});
    QTRY_COMPARE_WITH_TIMEOUT(answers().size(), 3, 10000);
    QCOMPARE(answers().last().value("power_breakout").toInt(), 0);
}

void TstWireSerialThread::gpioLineAroundAnswer()
{
    QCOMPARE(gpio2(), QStringLiteral("0"));
    script({"press 1"});
    // The line is lowered by a timer of this (GUI) thread: as long as this
    // thread handles no events, the line stays high after the answer.
    QElapsedTimer t;
    t.start();
    while (answers().isEmpty() && t.elapsed() < 10000)
        QThread::msleep(5);
    QCOMPARE(answers().size(), 1);
    QCOMPARE(answers().first().value("gpio2").toString(), QStringLiteral("1"));
    QCOMPARE(gpio2(), QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(gpio2(), QStringLiteral("0"), 5000);

    // A second answer raises it again (no events handled while it comes,
    // as above: the simulator may read the line later than the 5 ms pulse).
    script({"release"});
    t.restart();
    while (answers().size() < 2 && t.elapsed() < 10000)
        QThread::msleep(5);
    QCOMPARE(answers().size(), 2);
    QCOMPARE(answers().last().value("gpio2").toString(), QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(gpio2(), QStringLiteral("0"), 5000);
}

void TstWireSerialThread::silenceIsLogged()
{
    const int timeouts = logCount(QStringLiteral("time out!!!!!!!!!1\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(logCount(QStringLiteral("time out!!!!!!!!!1\r\n")), timeouts + 1, 10000);
    // A frame resets the count; the key is logged.
    const int keys = logCount(QStringLiteral("wire key 1 state 1"));
    script({"press 1"});
    QTRY_COMPARE_WITH_TIMEOUT(answers().size(), 1, 10000);
    QCOMPARE(logCount(QStringLiteral("wire key 1 state 1")), keys + 1);
    QTRY_COMPARE_WITH_TIMEOUT(logCount(QStringLiteral("time out!!!!!!!!!1\r\n")), timeouts + 2, 10000);
}

void TstWireSerialThread::portThatCannotOpen()
{
    m_wire.reset();
    TestSandbox empty; // nothing behind its key port
    QVERIFY(empty.isValid());
    empty.enter();
    Platform::applyEnvironment();
    InitPaths();
    QVERIFY(killallIsTheSandboxes(empty));
    {
        WireSerialThread wire;
        wire.startWireThread();
        QTRY_VERIFY_WITH_TIMEOUT(wire.isFinished(), 10000);
        QVERIFY(!wire.portOpened());
    }
    QVERIFY(empty.readFile(QStringLiteral("var/log/commands.log")).contains(QStringLiteral("killall -9 KLVPlayer")));
    QVERIFY(empty.readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt")).contains(QStringLiteral("cannot open")));
    m_sb->enter();
    Platform::applyEnvironment();
    InitPaths();
}

QTEST_GUILESS_MAIN(TstWireSerialThread)
#include "tst_wireserialthread.moc"
