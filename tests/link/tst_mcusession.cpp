// The MCU protocol with its worker running, against the simulated MCU over
// a pseudo-terminal: the start-up transcript, version checks, idle polling
// with the now-playing packet, a burst of edits, refusals and silence,
// presets stored and read back, the automatic user preset, Bluetooth
// information and cascaded units, all read from the simulator's transcript.

#include "bufdataproce.h"
#include "crossthreadspy.h"
#include "datacommunication.h"
#include "framedefs.h"
#include "globals.h"
#include "linkglobals.h"
#include "mcusim.h"
#include "platform.h"
#include "soundfunctions.h"
#include "testsandbox.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTextCodec>
#include <QtTest>

#include <memory>

class TstMcuSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void startupTranscript();
    void version_data();
    void version();
    void idlePollsAndNowPlaying();
    void burstOfEdits();
    void refusals();
    void silenceAndTheReplyWatchdog();
    void presetsDownAndUp();
    void defaultUserPresetSave();
    void bluetoothInformation();
    void cascadedUnits_data();
    void cascadedUnits();
    void noCascadedUnit();

private:
    // The simulator's control and transcript (tests/support/mcusim.h).
    int control(const QString &line) { return m_mcu->control(line); }
    QList<QJsonObject> transcript() const { return m_mcu->transcript(); }
    QStringList sentSince(int mark, bool withPolls = true) const { return m_mcu->sentSince(mark, withPolls); }
    QList<QJsonObject> framesSince(int mark) const { return m_mcu->framesSince(mark); }
    int mark() const { return m_mcu->mark(); }
    void start(bool waitForSync = true);

    std::unique_ptr<TestSandbox> m_sb;
    std::unique_ptr<McuSim> m_mcu;
    std::unique_ptr<DataCommunication> m_dc;
};

void TstMcuSession::initTestCase()
{
    m_sb.reset(new TestSandbox());
    QVERIFY(m_sb->isValid());
    m_sb->enter();
    InitPaths();
    Platform::applyEnvironment();
    QCOMPARE(QStandardPaths::findExecutable(QStringLiteral("killall")), m_sb->dir() + QStringLiteral("/bin/killall"));
    m_mcu = std::make_unique<McuSim>(*m_sb);
    QVERIFY(m_mcu->start());
    InitData();
}

void TstMcuSession::cleanupTestCase()
{
    m_dc.reset();
    m_mcu.reset();
    m_sb.reset();
}

void TstMcuSession::init()
{
    control(QStringLiteral("version MPQX-WV3.00")); // "reset" keeps the version
    control(QStringLiteral("reset"));
    for (SystemImage *img : {&m_nCurSystem, &SendSYSData})
        img->fill(0);
    for (ProgramImage *img : {&m_nCurProgram, &SendStructData, &CasStructData, &SendCasStructData})
        img->fill(0);
    m_nCasSystem.fill(0);
    SendCasSYSData.fill(0);
    InitCurEQData();
    BOOL_StopCompareData = true;
    m_b_Data_Modify_Flag = false;
    m_nCasModel = -1;
    g_CurMusicPlay = CurMusicPlayStruct();
    m_dc.reset(new DataCommunication);
}

void TstMcuSession::cleanup()
{
    m_dc.reset(); // stops the worker
}

void TstMcuSession::start(bool waitForSync)
{
    CrossThreadSpy over(m_dc.get(), &DataCommunication::reDataOver);
    QVERIFY(m_dc->Read_MCU_Version());
    m_dc->runStart();
    if (waitForSync)
        QTRY_COMPARE_WITH_TIMEOUT(over.count(), 1, 15000);
}

void TstMcuSession::startupTranscript()
{
    const int from = mark();
    CrossThreadSpy sys(m_dc.get(), &DataCommunication::readSysDataOver);
    start();
    QCOMPARE(sys.count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(framesSince(from).size() > 36, 10000);
    const QStringList sent = sentSince(from);
    QStringList expected{"r 9/4/0 p0"};
    for (int b : {2, 5, 6, 52, 8, 9, 122, 18})
        expected << QStringLiteral("r 9/%1/0 p0").arg(b);
    for (int p = 0; p <= 13; ++p)
        expected << QStringLiteral("r 9/0/0 p%1").arg(p);
    expected << "r 3/0/119 p0";
    for (int ch = 0; ch < 6; ++ch)
        expected << QStringLiteral("r 4/%1/119 p0").arg(ch);
    QCOMPARE(sent.mid(0, expected.size()), expected);
    // Then the scanner: nothing to send but polls and the now-playing packet.
    for (const QString &k : sent.mid(expected.size()))
        QVERIFY2(k == "r 9/3/0 p0" || k == "w 9/121/0 p0", qPrintable(k));
    QVERIFY(sent.mid(expected.size()).contains("r 9/3/0 p0"));

    // What the MCU holds is in the images.
    QCOMPARE(m_dc->mcuVersion(), QStringLiteral("MPQX-WV3.00"));
    QCOMPARE(RevMCU_VERSION, QStringLiteral("MPQX-WV3.00"));
    QCOMPARE(int(m_nCurSystem.at(0)), 5);
    QCOMPARE(m_nCurSystem.bytes(96, 6), QByteArray("VDX730"));
    QCOMPARE(storedPreset(3)->bytes(0, 4), QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("摇滚")));
    QCOMPARE(int(m_nCurProgram.u16(Image::outputSlot(5, 32))), 20);
    QCOMPARE(int(m_nCurProgram.u16(Image::outputSlot(5, 32) + 4)), 80);
    QCOMPARE(int(m_nCurProgram.u16(Image::inputSlot(0, 0))), 31);
    QCOMPARE(m_dc->failureCount(), 0);
}

void TstMcuSession::version_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("differs after the seventh character") << "MPQX-WV4.12" << true;
    QTest::newRow("differs in the first seven") << "MPQX-W03.00" << false;
}

void TstMcuSession::version()
{
    QFETCH(QString, version);
    QFETCH(bool, accepted);
    control(QStringLiteral("version ") + version);
    const int from = mark();
    CrossThreadSpy error(m_dc.get(), &DataCommunication::sig_versionError);
    CrossThreadSpy over(m_dc.get(), &DataCommunication::reDataOver);
    start(false);
    if (accepted) {
        QTRY_COMPARE_WITH_TIMEOUT(over.count(), 1, 15000);
        QCOMPARE(error.count(), 0);
        QCOMPARE(m_dc->mcuVersion(), version);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(error.count(), 1, 5000);
    QCOMPARE(error.first().first().toBool(), false);
    QTRY_VERIFY_WITH_TIMEOUT(m_dc->isFinished(), 5000);
    QTest::qWait(1000);
    // The worker stopped after the version read: nothing else went out.
    QCOMPARE(sentSince(from), QStringList{"r 9/4/0 p0"});
}

void TstMcuSession::idlePollsAndNowPlaying()
{
    g_CurMusicPlay.title = QStringLiteral("夜曲");
    g_CurMusicPlay.artist = QStringLiteral("Artist");
    g_CurMusicPlay.album = QStringLiteral("Album");
    g_CurMusicPlay.fileType = QStringLiteral("flac");
    g_CurMusicPlay.sampleRateText = QStringLiteral("96kHz");
    g_CurMusicPlay.detailText = QStringLiteral("24bit");
    g_CurMusicPlay.duration = 245;
    g_CurMusicPlay.currentPosition = 30;
    g_CurMusicPlay.playState = PlayPlaying;
    g_CurMusicPlay.isHiRes = true;
    start();
    QTest::qWait(1000); // past the ticks that fell into the start-up reads
    const int from = mark();
    QTest::qWait(3000);
    const QList<QJsonObject> frames = framesSince(from);
    int packets = 0;
    int pollsSinceLast = 1;
    QJsonObject last;
    for (const QJsonObject &o : frames) {
        const QString k = McuSim::frameKey(o);
        if (k == "w 9/121/0 p0") {
            QVERIFY2(pollsSinceLast > 0, "two now-playing packets without a poll between");
            pollsSinceLast = 0;
            last = o.value("nowplaying").toObject();
            ++packets;
        } else {
            QCOMPARE(k, QStringLiteral("r 9/3/0 p0"));
            ++pollsSinceLast;
        }
    }
    // One packet per 500 ms tick.
    QVERIFY2(packets >= 3 && packets <= 8, qPrintable(QString::number(packets)));
    QVERIFY(last.value("ok").toBool());
    QCOMPARE(last.value("title").toString(), QStringLiteral("夜曲"));
    QCOMPARE(last.value("artist").toString(), QStringLiteral("Artist"));
    QCOMPARE(last.value("album").toString(), QStringLiteral("Album"));
    QCOMPARE(last.value("format").toString(), QStringLiteral("FLAC / 96kHz / 24bit"));
    QCOMPARE(last.value("total").toInt(), 245);
    QCOMPARE(last.value("elapsed").toInt(), 30);
    QCOMPARE(last.value("state").toInt(), 2);
    QCOMPARE(last.value("hires").toInt(), 1);

    // Track information switched off: single spaces.
    m_dc->setSendMuiscInfo(false);
    QVERIFY(m_dc->bufData()->musicInfoOff());
    m_dc->bufData()->setMusicInfoFlag(true);
    const int off = mark();
    // A packet built just before the switch may still be on its way; the
    // first one built after it carries single spaces, as every later one.
    auto titlesSince = [this](int from) {
        QStringList titles;
        for (const QJsonObject &o : framesSince(from)) {
            if (McuSim::frameKey(o) == "w 9/121/0 p0")
                titles << o.value("nowplaying").toObject().value("title").toString();
        }
        return titles;
    };
    QTRY_VERIFY_WITH_TIMEOUT(titlesSince(off).contains(QStringLiteral(" ")), 3000);
    const QStringList titles = titlesSince(off);
    const int firstOff = titles.indexOf(QStringLiteral(" "));
    QVERIFY2(firstOff <= 1, qPrintable(titles.join(QLatin1Char('|'))));
    for (const QString &t : titles.mid(firstOff))
        QCOMPARE(t, QStringLiteral(" "));
    // And no more ticks.
    const int quiet = mark();
    QTest::qWait(1500);
    QVERIFY(!sentSince(quiet).contains("w 9/121/0 p0"));
}

void TstMcuSession::burstOfEdits()
{
    start();
    BOOL_StopCompareData = true;
    m_nCurProgram.setU16(Image::outputSlot(4, 32) + 4, 100); // subwoofer low-pass
    m_nCurProgram.setU16(Image::inputSlot(0, 9) + 2, 640);   // band 9 gain
    m_nCurProgram.setU16(Image::inputSlot(0, 10) + 2, 650);  // treble
    m_nCurSystem.set(36, 1);                                 // blackout: block 8
    m_nCurSystem.set(1, 3);                                  // mix source: block 2
    m_nCurSystem.set(45, 3);                                 // ... and its copy: block 9
    const int from = mark();
    BOOL_StopCompareData = false;
    QTRY_COMPARE_WITH_TIMEOUT(sentSince(from, false).size(), 6, 10000);
    QCOMPARE(sentSince(from, false),
             QStringList({"w 9/2/0 p0", "w 9/8/0 p0", "w 9/9/0 p0", "w 3/0/9 p0", "w 3/0/10 p0", "w 4/4/32 p0"}));
    // One frame per changed block, each accepted.
    QTest::qWait(500);
    QCOMPARE(sentSince(from, false).size(), 6);
    int acks = 0;
    for (const QJsonObject &o : transcript().mid(from))
        acks +=
            o.value("dir").toString() == "out" && o.value("kind").toString() == "Q" && o.value("item").toInt() != 121;
    QCOMPARE(acks, 6);
}

void TstMcuSession::refusals()
{
    start();
    // A refused input slot is dropped; a refused system write goes again.
    control(QStringLiteral("refuse count=1 group=3"));
    control(QStringLiteral("refuse count=1 group=9 item=8 type=write"));
    const int from = mark();
    BOOL_StopCompareData = true;
    m_nCurProgram.setU16(Image::inputSlot(0, 2) + 2, 590);
    m_nCurSystem.set(35, 1);
    BOOL_StopCompareData = false;
    QTRY_COMPARE_WITH_TIMEOUT(sentSince(from, false), QStringList({"w 9/8/0 p0", "w 9/8/0 p0", "w 3/0/2 p0"}), 10000);
    QTest::qWait(500);
    QCOMPARE(sentSince(from, false), QStringList({"w 9/8/0 p0", "w 9/8/0 p0", "w 3/0/2 p0"}));
    QCOMPARE(m_dc->failureCount(), 2);
}

void TstMcuSession::silenceAndTheReplyWatchdog()
{
    start();
    m_dc->setSendMuiscInfo(false); // polls from here on (a packet may still be on its way)
    m_dc->bufData()->setMusicInfoFlag(false);
    const QString log = QStringLiteral("run/media/mmcblk1p3/log_730.txt");
    const QString line = QStringLiteral("定时器判断发送数据端口未复位则做复位");
    const int logged = m_sb->readFile(log).count(line);
    // Every frame logged after the simulator's "silence" line is one it
    // treats as silenced; a mark taken later could miss a "no answer".
    const int from = control(QStringLiteral("silence count=2"));
    QVERIFY(from > 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_dc->failureCount(), 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(sentSince(from).size() >= 4, 5000);
    // The unanswered frame was sent again until answered; polling goes on.
    const QList<QJsonObject> all = transcript().mid(from);
    int unanswered = 0;
    for (const QJsonObject &o : all)
        unanswered += o.value("event").toString() == "no answer";
    QCOMPARE(unanswered, 2);
    const QStringList sent = sentSince(from);
    QCOMPARE(sent.mid(0, 3), QStringList({sent[0], sent[0], sent[0]}));
    QCOMPARE(sent.mid(3).count(QStringLiteral("r 9/3/0 p0")), sent.size() - 3);
    QCOMPARE(m_sb->readFile(log).count(line), logged + 2);
}

void TstMcuSession::presetsDownAndUp()
{
    start();
    ProgramImage *p12 = storedPreset(12);
    auto pattern = [](int i) { return quint8((i * 13 + 7) & 0xFF); };
    for (int i = 0; i < Image::ProgramSize; ++i)
        p12->set(i, pattern(i));
    p12->fill(0, 0, 16);
    p12->write(0, QByteArray("Mine"));
    CrossThreadSpy bar(m_dc.get(), &DataCommunication::showProcessBar);
    const int from = mark();
    m_dc->DownMCUPreset(12);
    QCOMPARE(bar.count(), 1);
    QCOMPARE(bar.first().first().toInt(), 18);
    QTRY_COMPARE_WITH_TIMEOUT(sentSince(from, false).size(), 10, 10000);
    QStringList expected{"w 9/5/0 p0", "w 9/0/0 p12", "w 3/0/0 p12"};
    for (int ch = 0; ch < 6; ++ch)
        expected << QStringLiteral("w 4/%1/0 p12").arg(ch);
    expected << "w 9/5/0 p0";
    QCOMPARE(sentSince(from, false), expected);
    for (const QJsonObject &o : framesSince(from)) {
        if (McuSim::frameKey(o) == "w 9/0/0 p12")
            QCOMPARE(o.value("name").toString(), QStringLiteral("Mine"));
    }

    // Forget it here, read it back from the MCU.
    const QByteArray input = p12->bytes(Image::inputSlot(0, 0), Image::InputWholeLength);
    const QByteArray outputs = p12->bytes(Image::outputSlot(0, 0), 6 * Image::OutputRecord);
    p12->fill(0);
    const int back = mark();
    m_dc->UpMCUPreset(12);
    QTRY_COMPARE_WITH_TIMEOUT(sentSince(back, false).size(), 10, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_dc->queuedFrames().size(), 0, 5000);
    QTest::qWait(200);
    QCOMPARE(p12->bytes(Image::inputSlot(0, 0), Image::InputWholeLength), input);
    QCOMPARE(p12->bytes(Image::outputSlot(0, 0), 6 * Image::OutputRecord), outputs);
    QCOMPARE(bar.last().first().toInt(), 19);
}

void TstMcuSession::defaultUserPresetSave()
{
    start();
    const int from = mark();
    m_nCurProgram.setU16(Image::inputSlot(0, 4) + 2, 570);
    QTRY_VERIFY_WITH_TIMEOUT(sentSince(from, false).contains("w 3/0/0 p11"), 10000);
    // The current preset (11 now) goes to the MCU as block 52 while the
    // save waits its 200 ms.
    QTRY_VERIFY_WITH_TIMEOUT(sentSince(from, false).contains("w 9/52/0 p0"), 5000);
    QStringList sent = sentSince(from, false);
    sent.removeAll("w 9/52/0 p0");
    QCOMPARE(sent.mid(0, 4), QStringList({"w 3/0/4 p0", "w 9/0/0 p11", "w 9/0/0 p0", "w 3/0/0 p11"}));
    for (const QJsonObject &o : framesSince(from)) {
        if (McuSim::frameKey(o) == "w 9/0/0 p11")
            QCOMPARE(o.value("name").toString(), QStringLiteral("用户自定义"));
        if (McuSim::frameKey(o) == "w 9/52/0 p0")
            QCOMPARE(o.value("payload").toString().left(2), QStringLiteral("0b"));
    }
}

void TstMcuSession::bluetoothInformation()
{
    control(QStringLiteral("source 2"));
    control(QStringLiteral("bt title=Song artist=Band album=LP total=300 pos=10"));
    CrossThreadSpy info(m_dc.get(), &DataCommunication::revBlePlayInfo);
    CrossThreadSpy pos(m_dc.get(), &DataCommunication::positionChanged);
    start();
    QTRY_VERIFY_WITH_TIMEOUT(info.count() >= 4, 5000);
    QStringList got;
    for (const QList<QVariant> &a : info.calls())
        got << QStringLiteral("%1=%2").arg(a[0].toInt()).arg(a[1].toString());
    QCOMPARE(got.mid(0, 4), QStringList({"3=300", "1=Song", "0=Band", "2=LP"}));
    QVERIFY(!pos.isEmpty());
    QVERIFY(pos.first().first().toLongLong() >= 10);
    QCOMPARE(int(g_TempData.blePlayerState.get()), 1);
    // A new title arrives with the next poll; this player is not the
    // source, so no now-playing packet goes out.
    const int from = mark();
    control(QStringLiteral("bt title=Other"));
    QTRY_VERIFY_WITH_TIMEOUT(got.size() < info.count() && info.last().at(1).toString() == "Other", 5000);
    QVERIFY(!sentSince(from).contains("w 9/121/0 p0"));
}

void TstMcuSession::cascadedUnits_data()
{
    QTest::addColumn<QString>("attach");
    QTest::addColumn<int>("model");
    QTest::addColumn<QStringList>("reads"); // target-10 frames after the version read
    QTest::addColumn<int>("offset");        // a record area the unit answered into
    QTest::addColumn<QByteArray>("bytes");
    QStringList presets7;
    for (int p = 0; p < 7; ++p)
        presets7 << QStringLiteral("r 9/0/0 p%1 t10").arg(p);
    QTest::newRow("model 8") << "CDU-S88 1.2" << 8
                             << QStringList({"r 9/2/0 p0 t10", "r 9/5/0 p0 t10", "r 9/24/0 p0 t10"}) + presets7 << 128
                             << QByteArray("\x40\x41\x42\x43");
    QTest::newRow("model 5: block 7 high")
        << "CDU-P66" << 5 << QStringList({"r 9/2/0 p0 t10", "r 9/5/0 p0 t10", "r 9/7/0 p0 t10"}) + presets7 << 128
        << QByteArray("\x40\x41\x42\x43");
    QTest::newRow("model 3: subwoofer channels")
        << "CDU-X16" << 3
        << QStringList({"r 9/7/0 p0 t10"}) + presets7 + QStringList({"r 4/6/119 p0 t10", "r 4/7/119 p0 t10"}) << 48 + 6
        << QByteArray("\x16\x17");
    QTest::newRow("model 11, bridged") << "CDU-BR2 bridged=1" << 11
                                       << QStringList({"r 9/2/0 p0 t10", "r 9/5/0 p0 t10", "r 9/9/0 p0 t10"}) + presets7
                                       << 160 << QByteArray("\x60\x61");
}

void TstMcuSession::cascadedUnits()
{
    QFETCH(QString, attach);
    QFETCH(int, model);
    QFETCH(QStringList, reads);
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    control(QStringLiteral("cascade attach ") + attach);
    start();
    CrossThreadSpy lamp(m_dc.get(), &DataCommunication::sig_caslamp);
    const int from = mark();
    m_dc->Check_Cascade_Model();
    QTRY_COMPARE_WITH_TIMEOUT(m_nCasModel.get(), model, 5000);
    QCOMPARE(lamp.count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(m_dc->queuedCascadeFrames().isEmpty(), 10000);
    QStringList cascade;
    for (const QString &k : sentSince(from)) {
        if (k.contains(" t10") && !k.contains(" u2"))
            cascade << k;
    }
    QCOMPARE(cascade.first(), QStringLiteral("r 9/4/0 p0 t10"));
    QCOMPARE(cascade.mid(1, reads.size()), reads);
    QCOMPARE(m_nCasSystem.bytes(offset, bytes.size()), bytes);
    QCOMPARE(int(m_nCurSystem.at(43)), 1);
    // The unit is polled for its version and status every 2.5 s.
    const int polled = mark();
    QTRY_VERIFY_WITH_TIMEOUT(sentSince(polled).contains("r 9/3/0 p0 t10"), 6000);
    if (model == 11) {
        // Its status names the pair bridged: the polls then reach both units.
        QTRY_VERIFY_WITH_TIMEOUT(m_dc->bridged(), 6000);
        QTRY_VERIFY_WITH_TIMEOUT(sentSince(from).contains("r 9/4/0 p0 t10 u2"), 6000);
    }
    // Unplugged: the next poll is refused and the cascade closes.
    CrossThreadSpy closed(m_dc.get(), &DataCommunication::updateCascade);
    control(QStringLiteral("cascade detach"));
    QTRY_VERIFY_WITH_TIMEOUT(closed.count() >= 1 && closed.last().first().toBool(), 6000);
    QCOMPARE(m_nCasModel.get(), -1);
    QCOMPARE(m_dc->failureCount(), 0);
}

void TstMcuSession::noCascadedUnit()
{
    start();
    CrossThreadSpy closed(m_dc.get(), &DataCommunication::updateCascade);
    CrossThreadSpy unsupported(m_dc.get(), &DataCommunication::sig_Notsupport);
    m_dc->Check_Cascade_Model();
    QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 5000);
    QVERIFY(closed.first().first().toBool());
    QCOMPARE(m_nCasModel.get(), -1);
    QCOMPARE(int(m_nCurSystem.at(43)), 0);
    // A unit this player does not know.
    control(QStringLiteral("cascade attach ZZZ-999"));
    m_dc->Check_Cascade_Model();
    QTRY_COMPARE_WITH_TIMEOUT(unsupported.count(), 1, 5000);
    QCOMPARE(m_nCasModel.get(), -1);
    QCOMPARE(m_dc->failureCount(), 0);
}

QTEST_GUILESS_MAIN(TstMcuSession)
#include "tst_mcusession.moc"
