// DataCommunication driven step by step, without its worker: the send step
// and its purge, answers crafted into RecFrameData, failures and the
// program's end, the start-up reads, the change scanner's order, presets,
// the cascaded unit, the phone app's frames and the firmware upgrade. The
// port is a pseudo-terminal of the test's own behind the sandbox's ttyS4.

#include "applistservice.h"
#include "bufdataproce.h"
#include "datacommunication.h"
#include "framedefs.h"
#include "globals.h"
#include "linkglobals.h"
#include "platform.h"
#include "serialservice.h"
#include "soundfunctions.h"
#include "testsandbox.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTextCodec>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A frame taken apart (offsets from the first start tag).
struct F {
    int type = -1, unit = -1, preset = -1, group = -1, item = -1, slot = -1, target = -1, fret = -1, len = -1;
    QByteArray payload;
    QString key() const // "w 9/5/0 p0" and so on; " t10 u2" for the cascaded unit
    {
        QString k =
            QStringLiteral("%1 %2/%3/%4 p%5").arg(type == 0xA1 ? "w" : "r").arg(group).arg(item).arg(slot).arg(preset);
        if (target != 0)
            k += QStringLiteral(" t%1").arg(target);
        if (unit != 1)
            k += QStringLiteral(" u%1").arg(unit);
        return k;
    }
};

F parse(const QByteArray &f)
{
    F r;
    if (f.size() < 16)
        return r;
    auto b = [&](int i) { return int(quint8(f[i])); };
    r.type = b(4), r.unit = b(5), r.preset = b(6), r.group = b(7), r.item = b(8), r.slot = b(9), r.target = b(10);
    r.fret = b(11);
    r.len = b(12) | (b(13) << 8);
    r.payload = f.mid(14, r.len);
    return r;
}

QStringList keys(const QList<QByteArray> &frames)
{
    QStringList out;
    for (const QByteArray &f : frames)
        out << parse(f).key();
    return out;
}

class FakeAppList : public AppListService
{
public:
    bool disks = true;
    int result = 0;
    QByteArray page;
    bool hasDisks() const override { return disks; }
    int Get_Forapp_DiskList(QByteArray *payload) override
    {
        *payload = page;
        return result;
    }
    int Get_Forapp_MuiscList(int, int, QByteArray *payload) override
    {
        *payload = page;
        return result;
    }
    int APP_Select_SingleSong(int, int) override { return result; }
    int Get_curplay_Index(int *folder) override
    {
        *folder = 4;
        return 513;
    }
};

} // namespace

class TstDataCommunication : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void purgeAfterTheTwentyNinthPass();
    void refusals_data();
    void refusals();
    void answersSettleAndStore();
    void theSixthFailureEndsTheProgram();
    void version_data();
    void version();
    void scannerPriorityOrder();
    void statusAndBluetooth_data();
    void statusAndBluetooth();
    void channelAnswers_data();
    void channelAnswers();
    void presetFrames_data();
    void presetFrames();
    void defaultUserPreset();
    void cascadeDetection_data();
    void cascadeDetection();
    void cascadeBlocks_data();
    void cascadeBlocks();
    void cascadeStatus_data();
    void cascadeStatus();
    void cascadeRefusalKeepsTheQueuesInStep();
    void phoneAppFrames_data();
    void phoneAppFrames();
    void restartAndStop();
    void upgradeMcuFile();
    void upgradeDspFile();
    void upgradeAbortsOnARefusedDataFrame();
    void upgradeRefusesBadFiles_data();
    void upgradeRefusesBadFiles();
    void linkWatchdogEndsTheProgram();

private:
    // Sends the head and answers it as the MCU would; the payload for "S".
    void answerHead(int type, const QByteArray &payload = QByteArray(), int unit = -1);
    void answer(int type, int group, int item, int slot, int preset, int target, const QByteArray &payload,
                int unit = 1);
    void completeSync();
    int killCount() const
    {
        return m_sb->readFile(QStringLiteral("var/log/commands.log")).count(QStringLiteral("killall -9 KLVPlayer"));
    }
    QByteArray drainPort();

    std::unique_ptr<TestSandbox> m_sb;
    std::unique_ptr<DataCommunication> m_dc;
    int m_master = -1;
    int m_slave = -1;
};

void TstDataCommunication::initTestCase()
{
    m_sb.reset(new TestSandbox({"--mcu", "none", "--keys", "none"}));
    QVERIFY(m_sb->isValid());
    m_sb->enter();
    InitPaths();
    Platform::applyEnvironment();
    // "killall -9 KLVPlayer" must reach the sandbox's stub, never the machine's.
    QCOMPARE(QStandardPaths::findExecutable(QStringLiteral("killall")), m_sb->dir() + QStringLiteral("/bin/killall"));
    QCOMPARE(::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr), 0);
    termios t;
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(m_slave, TCSANOW, &t);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    QVERIFY(QFile::link(QString::fromLocal8Bit(::ttyname(m_slave)), m_sb->path(QStringLiteral("/dev/ttyS4"))));
    InitData();
}

void TstDataCommunication::cleanupTestCase()
{
    m_dc.reset();
    ::close(m_master);
    ::close(m_slave);
    m_sb.reset();
}

void TstDataCommunication::init()
{
    // The images as at program start: zero, then the defaults.
    for (SystemImage *img : {&m_nCurSystem, &SendSYSData})
        img->fill(0);
    for (CasSystemImage *img : {&m_nCasSystem, &SendCasSYSData})
        img->fill(0);
    for (ProgramImage *img : {&m_nCurProgram, &SendStructData, &CasStructData, &SendCasStructData})
        img->fill(0);
    InitCurEQData();
    m_bUpMCUFlag = false;
    BOOL_StopCompareData = true;
    BOOL_ResetFactory = false;
    m_b_Data_Modify_Flag = false;
    m_nLinkTemp.playerKeyChanged = false;
    m_nLinkTemp.holdOutputEnable = false;
    m_nCasModel = -1;
    m_nMarker.fill(0);
    m_dc.reset(new DataCommunication);
    QVERIFY(m_dc->serialService()->isOpen());
}

void TstDataCommunication::cleanup()
{
    m_dc.reset();
    m_bUpMCUFlag = false;
    drainPort();
}

QByteArray TstDataCommunication::drainPort()
{
    // Writes reach the port through the event loop.
    QTest::qWait(100);
    QByteArray all;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof(buf));
        if (n <= 0)
            break;
        all.append(buf, int(n));
    }
    return all;
}

void TstDataCommunication::answer(int type, int group, int item, int slot, int preset, int target,
                                  const QByteArray &payload, int unit)
{
    RecFrameData = FrameRecord();
    RecFrameData[Frame::Type] = quint8(type);
    RecFrameData[Frame::Unit] = quint8(unit);
    RecFrameData[Frame::Preset] = quint8(preset);
    RecFrameData[Frame::Group] = quint8(group);
    RecFrameData[Frame::Item] = quint8(item);
    RecFrameData[Frame::Slot] = quint8(slot);
    RecFrameData[Frame::Target] = quint8(target);
    RecFrameData.setLength(payload.size());
    m_dc->ProcessRecFrameData(payload);
}

void TstDataCommunication::answerHead(int type, const QByteArray &payload, int unit)
{
    QVERIFY(m_dc->SendUsbData());
    const F h = parse(m_dc->queuedFrames().first());
    answer(type, h.group, h.item, h.slot, h.preset, h.target, payload, unit < 0 ? h.unit : unit);
}

void TstDataCommunication::completeSync()
{
    m_dc->GetSendReadData(GROUP_SYSTEM, 122, 0, 0, 0);
    answerHead(FRAME_DATA, QByteArray(8, '\xFF'));
    QVERIFY(m_dc->syncComplete());
    QVERIFY(m_dc->queuedFrames().isEmpty());
    QVERIFY(!BOOL_StopCompareData.get());
    // The now-playing tick is tested end to end; here it would race.
    m_dc->setSendMuiscInfo(false);
    m_dc->bufData()->setMusicInfoOff(false);
    m_dc->bufData()->setMusicInfoFlag(false);
}

void TstDataCommunication::purgeAfterTheTwentyNinthPass()
{
    auto poll = [this] { m_dc->GetSendReadData(GROUP_SYSTEM, 3, 0, 0, 0); };
    auto write = [this](int b) { m_dc->GetSendWriteData(GROUP_SYSTEM, b, 0, 0, false, 0); };
    poll(), write(2), poll(), poll(), write(5), poll(), write(8);
    const QStringList seven = keys(m_dc->queuedFrames());
    QCOMPARE(seven.size(), 7);
    for (int pass = 1; pass <= DataCommunication::PurgeAfterPasses; ++pass) {
        QVERIFY(m_dc->SendUsbData());
        QCOMPARE(keys(m_dc->queuedFrames()), seven);
    }
    QVERIFY(m_dc->purgeEnabled());
    // The next pass removes the polls behind the head; the head stays.
    QVERIFY(m_dc->SendUsbData());
    QCOMPARE(keys(m_dc->queuedFrames()), QStringList({"r 9/3/0 p0", "w 9/2/0 p0", "w 9/5/0 p0", "w 9/8/0 p0"}));
    QCOMPARE(m_dc->queuedProgress().size(), 4);
    // Under six frames nothing is purged.
    poll();
    QVERIFY(m_dc->SendUsbData());
    QCOMPARE(m_dc->queuedFrames().size(), 5);
    // The head went to the port each time.
    const QByteArray wire = drainPort();
    QCOMPARE(wire.count(m_dc->queuedFrames().first()), DataCommunication::PurgeAfterPasses + 2);
}

void TstDataCommunication::refusals_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("dropped");
    QTest::newRow("input slot write: dropped") << 3 << 0 << 4 << true;
    QTest::newRow("output slot write: sent again") << 4 << 2 << 32 << false;
    QTest::newRow("system write: sent again") << 9 << 8 << 0 << false;
}

void TstDataCommunication::refusals()
{
    QFETCH(int, group);
    QFETCH(int, item);
    QFETCH(int, slot);
    QFETCH(bool, dropped);
    m_dc->GetSendWriteData(group, item, slot, 0, false, 0);
    m_dc->GetSendReadData(GROUP_SYSTEM, 3, 0, 0, 0);
    const QStringList before = keys(m_dc->queuedFrames());
    answerHead(FRAME_REFUSE);
    QVERIFY(m_dc->lineFree());
    QCOMPARE(m_dc->failureCount(), 1);
    QCOMPARE(keys(m_dc->queuedFrames()), dropped ? QStringList(before.mid(1)) : before);
    // An unknown answer type counts the same way.
    answerHead(0x77);
    QCOMPARE(m_dc->failureCount(), 2);
    // A reset that finds the frame settled already counts nothing.
    m_dc->ResetSendDataFlg();
    QCOMPARE(m_dc->failureCount(), 2);
}

void TstDataCommunication::answersSettleAndStore()
{
    m_dc->GetSendReadData(GROUP_SYSTEM, 9, 0, 0, 0);
    m_dc->GetSendWriteData(GROUP_SYSTEM, 2, 0, 0, false, 0);
    answerHead(FRAME_DATA, QByteArray("\x00\x00\x2A\x01\x00\x00\x00\x07", 8));
    QCOMPARE(m_nCurSystem.bytes(40, 8), QByteArray("\x00\x00\x2A\x01\x00\x00\x00\x07", 8));
    QCOMPARE(SendSYSData.bytes(0, Image::SystemSize), m_nCurSystem.bytes(0, Image::SystemSize));
    QCOMPARE(keys(m_dc->queuedFrames()), QStringList{"w 9/2/0 p0"});
    QVERIFY(m_dc->lineFree());
    answerHead(FRAME_ACK);
    QVERIFY(m_dc->queuedFrames().isEmpty());

    // Block 52 is taken without marking it sent; block 18 fills 88..135.
    m_dc->GetSendReadData(GROUP_SYSTEM, 52, 0, 0, 0);
    answerHead(FRAME_DATA, QByteArray("\x03\x01\x02\x03\x04\x05\x06\x07", 8));
    QCOMPARE(int(m_nCurSystem.at(24)), 3);
    QCOMPARE(int(SendSYSData.at(24)), 0);
    m_dc->GetSendReadData(GROUP_SYSTEM, 18, 0, 0, 0);
    answerHead(FRAME_DATA, QByteArray("0123456789") + QByteArray(38, 'z'));
    QCOMPARE(m_nCurSystem.bytes(88, 10), QByteArray("0123456789"));
    // Names: 13 characters and two zero bytes, live or stored.
    m_dc->GetSendReadData(GROUP_SYSTEM, 0, 0, 7, 0);
    answerHead(FRAME_DATA, QByteArray("ABCDEFGHIJKLMNOP"));
    QCOMPARE(m_nUseProgram[6].bytes(0, 16), QByteArray("ABCDEFGHIJKLM\0\0 ", 16));
    m_dc->GetSendReadData(GROUP_SYSTEM, 0, 0, 0, 0);
    answerHead(FRAME_DATA, QByteArray("Live"));
    QCOMPARE(m_nCurProgram.bytes(0, 15), QByteArray("Live") + QByteArray(11, '\0'));
}

void TstDataCommunication::theSixthFailureEndsTheProgram()
{
    const int before = killCount();
    m_dc->GetSendWriteData(GROUP_SYSTEM, 8, 0, 0, false, 0);
    for (int failure = 1; failure <= 6; ++failure) {
        QVERIFY(m_dc->SendUsbData());
        m_dc->ResetSendDataFlg();
        QCOMPARE(m_dc->failureCount(), failure);
        QCOMPARE(killCount(), before + (failure == 6 ? 1 : 0));
        QCOMPARE(m_dc->queuedFrames().size(), 1); // the frame stays for the next try
    }
    // Every further failure ends it again.
    QVERIFY(m_dc->SendUsbData());
    m_dc->ResetSendDataFlg();
    QCOMPARE(killCount(), before + 2);
    QVERIFY(LogFileName.startsWith(m_sb->dir()));
}

void TstDataCommunication::version_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("the expected version") << QByteArray("MPQX-WV3.00") << true;
    QTest::newRow("differs after the seventh character") << QByteArray("MPQX-WV9.87") << true;
    QTest::newRow("padded with spaces") << QByteArray("MPQX-WV3.1 ") << true;
    QTest::newRow("differs in the first seven") << QByteArray("MPQX-XV3.00") << false;
    QTest::newRow("too short") << QByteArray("MPQX   \0\0\0\0", 11) << false;
}

void TstDataCommunication::version()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, accepted);
    QSignalSpy versionError(m_dc.get(), &DataCommunication::sig_versionError);
    QSignalSpy stopped(m_dc.get(), &DataCommunication::sig_stopsenddatatimer);
    QVERIFY(m_dc->Read_MCU_Version());
    QCOMPARE(keys(m_dc->queuedFrames()), QStringList{"r 9/4/0 p0"});
    answerHead(FRAME_DATA, text);
    if (!accepted) {
        QCOMPARE(versionError.count(), 1);
        QCOMPARE(versionError.first().first().toBool(), false);
        QCOMPARE(stopped.count(), 1);
        QVERIFY(m_dc->queuedFrames().isEmpty());
        QCOMPARE(g_TempData.mcuSystemState.get(), 1);
        QVERIFY(m_dc->mcuVersion().isEmpty());
        return;
    }
    QCOMPARE(versionError.count(), 0);
    QCOMPARE(g_TempData.mcuSystemState.get(), 2);
    QCOMPARE(m_dc->mcuVersion(), QString::fromLatin1(text).trimmed());
    QCOMPARE(RevMCU_VERSION, m_dc->mcuVersion());
    QStringList expected;
    for (int b : {2, 5, 6, 52, 8, 9, 122, 18})
        expected << QStringLiteral("r 9/%1/0 p0").arg(b);
    for (int p = 0; p <= 13; ++p)
        expected << QStringLiteral("r 9/0/0 p%1").arg(p);
    expected << "r 3/0/119 p0";
    for (int ch = 0; ch < 6; ++ch)
        expected << QStringLiteral("r 4/%1/119 p0").arg(ch);
    QCOMPARE(keys(m_dc->queuedFrames()), expected);
    // A second version answer (a retry) does not read everything again.
    m_dc->GetSendReadData(GROUP_SYSTEM, 4, 0, 0, 0);
    QList<QByteArray> q = m_dc->queuedFrames();
    answer(FRAME_DATA, 9, 4, 0, 0, 0, text);
    QCOMPARE(m_dc->queuedFrames().size(), q.size() - 1);
}

void TstDataCommunication::scannerPriorityOrder()
{
    completeSync();
    QVERIFY(m_dc->SendUsbData() == false);
    QCOMPARE(keys(m_dc->queuedFrames()), QStringList{"r 9/3/0 p0"}); // nothing changed: a status poll
    answerHead(FRAME_DATA, QByteArray(32, '\0'));

    // A burst of edits, applied while the scanner is held.
    BOOL_StopCompareData = true;
    m_nCurProgram.setU16(Image::outputSlot(2, 32), 125);   // output 2 crossover
    m_nCurProgram.set(Image::outputSlot(0, 36) + 5, 9);    // output 0 byte array 36
    m_nCurProgram.set(Image::outputSlot(0, 35), 12);       // output 0 slot 35
    m_nCurProgram.set(Image::inputSlot(0, 34) + 1, 0x5A);  // input slot 34, sent as 35
    m_nCurProgram.setU16(Image::inputSlot(0, 3) + 2, 610); // input band 3 gain
    m_nCurSystem.set(35, 0);                               // block 8
    m_nCurSystem.set(24, 4);                               // block 52, two bytes:
    m_nCurSystem.set(27, 1);                               // one per pass
    m_nCurSystem.set(2, 50);                               // block 2
    m_nCurSystem.set(58, 3);                               // player key, with its flag
    m_nLinkTemp.playerKeyChanged = true;
    BOOL_ResetFactory = true;
    m_nCurUSBLink = 1;
    QVERIFY(!m_dc->SendUsbData());
    QVERIFY(m_dc->queuedFrames().isEmpty());
    BOOL_StopCompareData = false;

    QStringList sent;
    QList<F> frames;
    for (int pass = 0; pass < 20; ++pass) {
        QVERIFY(!m_dc->SendUsbData()); // the scanner queues one frame
        const QList<QByteArray> q = m_dc->queuedFrames();
        QCOMPARE(q.size(), 1);
        const F f = parse(q.first());
        frames << f;
        sent << f.key();
        if (f.type == FRAME_READ)
            break;
        answerHead(FRAME_ACK);
    }
    // Slot 35 of a channel comes after its byte arrays 33, 34 and 36.
    QCOMPARE(sent, QStringList({"w 9/96/0 p0", "w 9/120/0 p0", "w 9/2/0 p0", "w 9/52/0 p0", "w 9/52/0 p0", "w 9/8/0 p0",
                                "w 10/16/0 p0", "w 3/0/3 p0", "w 3/0/35 p0", "w 4/0/36 p0", "w 4/0/35 p0",
                                "w 4/2/32 p0", "r 9/3/0 p0"}));
    // Payloads carry what was edited.
    QCOMPARE(int(quint8(frames[1].payload[2])), 3);
    QCOMPARE(int(quint8(frames[2].payload[2])), 50);
    QCOMPARE(int(quint8(frames[3].payload[0])), 4); // block 52 took byte 24 only
    QCOMPARE(int(quint8(frames[3].payload[3])), 0);
    QCOMPARE(int(quint8(frames[4].payload[3])), 1);
    QCOMPARE(int(quint8(frames[5].payload[3])), 0);
    QCOMPARE(int(quint8(frames[6].payload[0])), 1);
    QCOMPARE(frames[8].payload, m_nCurProgram.bytes(Image::inputSlot(0, 34), 8));
    QCOMPARE(int(quint8(frames[11].payload[0])), 125);
    QVERIFY(m_b_Data_Modify_Flag.get()); // an EQ band was sent
    // Everything the scanner took over is marked sent.
    QCOMPARE(SendStructData.bytes(0, Image::ProgramSize), m_nCurProgram.bytes(0, Image::ProgramSize));
    QCOMPARE(SendSYSData.bytes(0, 64), m_nCurSystem.bytes(0, 64));
    answerHead(FRAME_DATA, QByteArray(32, '\0'));

    // The music-info flag: one now-playing packet, then polls again.
    m_dc->bufData()->setMusicInfoFlag(true);
    QVERIFY(!m_dc->SendUsbData());
    QCOMPARE(keys(m_dc->queuedFrames()), QStringList{"w 9/121/0 p0"});
    QVERIFY(parse(m_dc->queuedFrames().first()).len >= 16);
    QCOMPARE(m_dc->queuedProgress(), QList<int>{0});
    answerHead(FRAME_ACK);
    QVERIFY(!m_dc->SendUsbData());
    QCOMPARE(keys(m_dc->queuedFrames()), QStringList{"r 9/3/0 p0"});
}

void TstDataCommunication::statusAndBluetooth_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<QByteArray>("tail");   // what follows the 32 status bytes
    QTest::addColumn<bool>("follows");      // status byte 24
    QTest::addColumn<QStringList>("infos"); // revBlePlayInfo: kind=text
    QTest::addColumn<int>("position");
    const QByteArray full = QByteArray("\x01\x2C\x00\x0A", 4)
                            + "\x04Song\x04"
                              "Band\x02LP";
    QTest::newRow("Bluetooth track") << 2 << full << true << QStringList({"3=300", "1=Song", "0=Band", "2=LP"}) << 10;
    QTest::newRow("another source: no decoding") << 5 << full << true << QStringList() << -1;
    QTest::newRow("nothing follows") << 2 << full << false << QStringList() << -1;
    QTest::newRow("text to its first zero") << 2
                                            << QByteArray("\x00\x00\x00\x05\x05"
                                                          "Ab\x00"
                                                          "cd\x00\x00",
                                                          13)
                                            << true << QStringList({"3=0", "1=Ab"}) << 5;
    QTest::newRow("lengths past the end")
        << 2 << QByteArray("\x00\x10\x00\x01\xC8Short", 10) << true << QStringList({"3=16", "1=Short"}) << 1;
    QTest::newRow("times only") << 2 << QByteArray("\x00\x07\x00\x02", 4) << true << QStringList({"3=7"}) << 2;
    QTest::newRow("cut inside the times") << 2 << QByteArray("\x00\x07", 2) << true << QStringList() << -1;
}

void TstDataCommunication::statusAndBluetooth()
{
    QFETCH(int, source);
    QFETCH(QByteArray, tail);
    QFETCH(bool, follows);
    QFETCH(QStringList, infos);
    QFETCH(int, position);
    m_nCurSystem.set(0, quint8(source));
    QByteArray status(32, '\0');
    for (int i = 0; i < 32; ++i)
        status[i] = char(i + 1);
    status[24] = follows ? 1 : 0;
    QSignalSpy info(m_dc.get(), &DataCommunication::revBlePlayInfo);
    QSignalSpy pos(m_dc.get(), &DataCommunication::positionChanged);
    QSignalSpy lamps(m_dc.get(), &DataCommunication::reLampDataOver);
    g_TempData.blePlayerState = 0;
    m_dc->GetSendReadData(GROUP_SYSTEM, 3, 0, 0, 0);
    answerHead(FRAME_DATA, status + tail);
    QCOMPARE(lamps.count(), 1);
    QCOMPARE(m_nLamp[0].get(), 1);
    QCOMPARE(m_nLamp[15].get(), 16);
    QCOMPARE(m_nLamp[Lamp::BleFollows].get(), follows ? 1 : 0);
    QCOMPARE(m_nCurSystem.bytes(64, 8), status.mid(16, 8));
    QCOMPARE(int(m_nCurSystem.at(72)), follows ? 1 : 0);
    QCOMPARE(m_nCurSystem.bytes(73, 6), status.mid(25, 6));
    QCOMPARE(int(m_nCurSystem.at(79)), 32 & 1);
    QStringList got;
    for (const QList<QVariant> &a : info)
        got << QStringLiteral("%1=%2").arg(a[0].toInt()).arg(a[1].toString());
    QCOMPARE(got, infos);
    QCOMPARE(pos.isEmpty() ? -1 : int(pos.first().first().toLongLong()), position);
    if (infos.isEmpty())
        return;
    QCOMPARE(int(g_TempData.blePlayerState.get()), 1);
    // The same track again: only the position; after resetBTGui all again.
    info.clear();
    m_dc->GetSendReadData(GROUP_SYSTEM, 3, 0, 0, 0);
    answerHead(FRAME_DATA, status + tail);
    QVERIFY(info.isEmpty());
    QCOMPARE(pos.count(), 2);
    m_dc->resetBTGui();
    m_dc->GetSendReadData(GROUP_SYSTEM, 3, 0, 0, 0);
    answerHead(FRAME_DATA, status + tail);
    QCOMPARE(info.count(), infos.size());
}

void TstDataCommunication::channelAnswers_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("preset");
    QTest::addColumn<bool>("threeWay");
    QTest::addColumn<int>("highPass"); // stored high-pass of the record
    QTest::addColumn<QString>("signal");
    QTest::newRow("input record") << 3 << 0 << 0 << false << -1 << "";
    QTest::newRow("output 0, two-way") << 4 << 0 << 0 << false << 500 << "";
    QTest::newRow("output 1, three-way: raised") << 4 << 1 << 0 << true << 1000 << "";
    QTest::newRow("output 2, three-way: kept") << 4 << 2 << 0 << true << 500 << "";
    QTest::newRow("output 0 of preset 12, three-way") << 4 << 0 << 12 << true << 1000 << "";
    QTest::newRow("output 5, live") << 4 << 5 << 0 << false << 500 << "reDataOver";
    QTest::newRow("output 5 of preset 13") << 4 << 5 << 13 << false << 500 << "readOutAllData";
    QTest::newRow("output 5 of preset 3") << 4 << 5 << 3 << false << 500 << "";
}

void TstDataCommunication::channelAnswers()
{
    QFETCH(int, group);
    QFETCH(int, channel);
    QFETCH(int, preset);
    QFETCH(bool, threeWay);
    QFETCH(int, highPass);
    QFETCH(QString, signal);
    m_nCurSystem.set(47, threeWay ? 1 : 0);
    const int len = group == 3 ? Image::InputWholeLength : Image::OutputRecord;
    QByteArray record(len, '\0');
    for (int i = 0; i < len; ++i)
        record[i] = char(i * 3 + 1);
    if (group == 4) {
        record[8 * 32] = char(500 & 0xFF);
        record[8 * 32 + 1] = char(500 >> 8);
    }
    QSignalSpy over(m_dc.get(), &DataCommunication::reDataOver);
    QSignalSpy all(m_dc.get(), &DataCommunication::readOutAllData);
    m_dc->GetSendReadData(group, channel, SLOT_WHOLE, preset, 0);
    answerHead(FRAME_DATA, record);
    ProgramImage *img = preset == 0 ? &m_nCurProgram : storedPreset(preset);
    const int base = group == 3 ? Image::inputSlot(0, 0) : Image::outputSlot(channel, 0);
    if (highPass >= 0) {
        QCOMPARE(int(img->u16(base + 8 * 32)), highPass);
        record[8 * 32] = char(highPass & 0xFF);
        record[8 * 32 + 1] = char(highPass >> 8);
    }
    QCOMPARE(img->bytes(base, len), record);
    QCOMPARE(SendStructData.bytes(0, Image::ProgramSize), m_nCurProgram.bytes(0, Image::ProgramSize));
    QCOMPARE(over.count(), signal == "reDataOver" ? 1 : 0);
    QCOMPARE(all.count(), signal == "readOutAllData" ? 1 : 0);
}

void TstDataCommunication::presetFrames_data()
{
    QTest::addColumn<QString>("job");
    QTest::addColumn<int>("preset");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<int>("progressBar");
    QStringList outputs12, reads12;
    for (int ch = 0; ch < 6; ++ch) {
        outputs12 << QStringLiteral("w 4/%1/0 p12").arg(ch);
        reads12 << QStringLiteral("r 4/%1/119 p12").arg(ch);
    }
    QTest::newRow("store 12") << "down" << 12
                              << (QStringList{"w 9/5/0 p0=0", "w 9/0/0 p12", "w 3/0/0 p12"} + outputs12
                                  + QStringList{"w 9/5/0 p0=1"})
                              << 18;
    QTest::newRow("save 11") << "save" << 11 << QStringList{"w 9/0/0 p11", "w 9/0/0 p0", "w 3/0/0 p11"} << -1;
    // Without its output back on, storing the dealer preset would leave the car silent.
    QTest::newRow("store 11") << "down" << 11
                              << QStringList{"w 9/5/0 p0=0", "w 9/0/0 p11", "w 3/0/0 p11", "w 9/5/0 p0=1"} << -1;
    QTest::newRow("recall the live input") << "up" << 0 << QStringList{"r 3/0/119 p0"} << -1;
    QTest::newRow("recall 3") << "up" << 3 << QStringList{"w 9/5/0 p0=0", "r 3/0/119 p3", "w 9/5/0 p0=1"} << -1;
    QTest::newRow("recall 12") << "up" << 12
                               << (QStringList{"w 9/5/0 p0=0", "r 3/0/119 p12"} + reads12
                                   + QStringList{"w 9/0/0 p0", "w 9/5/0 p0=1"})
                               << 19;
    QTest::newRow("no preset 14") << "down" << 14 << QStringList() << -1;
}

void TstDataCommunication::presetFrames()
{
    QFETCH(QString, job);
    QFETCH(int, preset);
    QFETCH(QStringList, frames);
    QFETCH(int, progressBar);
    QSignalSpy bar(m_dc.get(), &DataCommunication::showProcessBar);
    storedPreset(12)->fill(0x12);
    BOOL_StopCompareData = false;
    if (job == "up")
        m_dc->UpMCUPreset(preset);
    else
        m_dc->DownMCUPreset(preset, job == "save");
    QStringList got;
    QList<int> expectedProgress;
    for (const QByteArray &f : m_dc->queuedFrames()) {
        const F p = parse(f);
        // Output enable travels as byte 6 of block 5 (system byte 14).
        got << (p.group == 9 && p.item == 5 ? p.key() + QStringLiteral("=%1").arg(int(quint8(p.payload[6]))) : p.key());
        expectedProgress << expectedProgress.size() + 1;
        if (p.group == 4 && p.type == FRAME_WRITE)
            QCOMPARE(p.payload, QByteArray(Image::OutputRecord, '\x12'));
        if (p.group == 3 && p.type == FRAME_WRITE)
            QCOMPARE(p.len, Image::InputWholeLength);
    }
    QCOMPARE(got, frames);
    QCOMPARE(m_dc->queuedProgress(), expectedProgress);
    QCOMPARE(bar.isEmpty() ? -1 : bar.first().first().toInt(), progressBar);
    QVERIFY(!BOOL_StopCompareData.get());
    QCOMPARE(int(SendSYSData.at(14)), 1);
}

void TstDataCommunication::defaultUserPreset()
{
    completeSync();
    // An EQ edit goes out; three seconds later the user preset is saved.
    m_nCurProgram.setU16(Image::inputSlot(0, 5) + 2, 650);
    QVERIFY(!m_dc->SendUsbData());
    QCOMPARE(keys(m_dc->queuedFrames()), QStringList{"w 3/0/5 p0"});
    QVERIFY(m_b_Data_Modify_Flag.get());
    answerHead(FRAME_ACK);
    QTRY_COMPARE_WITH_TIMEOUT(keys(m_dc->queuedFrames()), QStringList({"w 9/0/0 p11", "w 9/0/0 p0", "w 3/0/0 p11"}),
                              5000);
    QVERIFY(!m_b_Data_Modify_Flag.get());
    QCOMPARE(int(m_nCurSystem.at(24)), 11);
    const QByteArray name = QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("用户自定义"));
    QCOMPARE(storedPreset(11)->bytes(0, 15), name + QByteArray(15 - name.size(), '\0'));
    QCOMPARE(m_nCurProgram.bytes(0, 15), name + QByteArray(15 - name.size(), '\0'));
    QCOMPARE(storedPreset(11)->bytes(Image::inputSlot(0, 0), Image::InputWholeLength),
             SendStructData.bytes(Image::inputSlot(0, 0), Image::InputWholeLength));
    const F input = parse(m_dc->queuedFrames().at(2));
    QCOMPARE(int(quint8(input.payload[8 * 5 + 2])) | int(quint8(input.payload[8 * 5 + 3])) << 8, 650);
    const F stored = parse(m_dc->queuedFrames().at(0));
    QCOMPARE(stored.payload.left(name.size()), name);
}

void TstDataCommunication::cascadeDetection_data()
{
    QTest::addColumn<QByteArray>("version"); // empty: the unit refuses
    QTest::addColumn<int>("model");
    QTest::addColumn<QStringList>("reads");
    QStringList presets7, presets16;
    for (int p = 0; p < 16; ++p)
        (p < 7 ? presets7 : presets16) << QStringLiteral("r 9/0/0 p%1 t10").arg(p);
    presets16 = presets7 + presets16;
    QTest::newRow("model 0") << QByteArray("CDU-B40 1.0") << 0
                             << QStringList({"r 9/2/0 p0 t10", "r 9/5/0 p0 t10"}) + presets7;
    QTest::newRow("model 1") << QByteArray("CDU-M16 2.2") << 1
                             << QStringList({"r 4/4/119 p0 t10", "r 9/2/0 p0 t10", "r 9/5/0 p0 t10"}) + presets16;
    QTest::newRow("model 3") << QByteArray("CDU-X16") << 3 << QStringList({"r 9/7/0 p0 t10"}) + presets7;
    QTest::newRow("model 4: no presets") << QByteArray("CDU-S48 0.9") << 4
                                         << QStringList({"r 9/2/0 p0 t10", "r 9/5/0 p0 t10", "r 9/24/0 p0 t10"});
    QTest::newRow("model 6") << QByteArray("CDU-P69") << 6
                             << QStringList({"r 9/2/0 p0 t10", "r 9/5/0 p0 t10", "r 9/7/0 p0 t10"}) + presets7;
    QTest::newRow("the last matching row wins")
        << QByteArray("CDU-Q11 3.0") << 10
        << QStringList({"r 9/2/0 p0 t10", "r 9/5/0 p0 t10", "r 9/9/0 p0 t10"}) + presets7;
    QTest::newRow("unknown unit") << QByteArray("XYZ-123 1.0") << -1 << QStringList();
    QTest::newRow("no unit") << QByteArray() << -1 << QStringList();
}

void TstDataCommunication::cascadeDetection()
{
    QFETCH(QByteArray, version);
    QFETCH(int, model);
    QFETCH(QStringList, reads);
    completeSync();
    QSignalSpy notSupported(m_dc.get(), &DataCommunication::sig_Notsupport);
    QSignalSpy closed(m_dc.get(), &DataCommunication::updateCascade);
    QSignalSpy lamp(m_dc.get(), &DataCommunication::sig_caslamp);
    m_dc->Check_Cascade_Model();
    QVERIFY(m_dc->cascadeDetecting());
    QVERIFY(!m_dc->SendUsbData());
    // While detecting only the version is read.
    QCOMPARE(keys(m_dc->queuedFrames()), QStringList{"r 9/4/0 p0 t10"});
    QCOMPARE(keys(m_dc->queuedCascadeFrames()), QStringList{"r 9/4/0 p0 t10"});
    if (version.isEmpty()) {
        answerHead(FRAME_REFUSE);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(closed.first().first().toBool(), true);
        QCOMPARE(m_dc->failureCount(), 0); // a missing unit is no link failure
    } else {
        answerHead(FRAME_DATA, version);
    }
    QVERIFY(!m_dc->cascadeDetecting());
    QCOMPARE(m_nCasModel.get(), model);
    QCOMPARE(keys(m_dc->queuedCascadeFrames()), reads);
    QCOMPARE(keys(m_dc->queuedFrames()), reads.mid(0, 1));
    QCOMPARE(int(m_nCurSystem.at(43)), model >= 0 ? 1 : 0);
    QCOMPARE(lamp.count(), model >= 0 ? 1 : 0);
    QCOMPARE(notSupported.count(), (model < 0 && !version.isEmpty()) ? 1 : 0);
    if (model < 0)
        return;
    QCOMPARE(m_dc->cascadeVersion(), QString::fromLatin1(version).trimmed());
    // Answers feed the cascade queue into the main queue one at a time.
    for (int i = 1; i < reads.size(); ++i) {
        answerHead(FRAME_DATA, QByteArray(8, '\0'));
        QCOMPARE(keys(m_dc->queuedFrames()), reads.mid(i, 1));
    }
}

void TstDataCommunication::cascadeBlocks_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("offset"); // where the payload lands in the cascaded record
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("sentCopy");
    QTest::addColumn<bool>("update"); // updateCascade(false)
    QTest::newRow("model 4 block 2") << 4 << 2 << 0 << 8 << false << false;
    QTest::newRow("model 1 block 5") << 1 << 5 << 8 << 8 << true << true;
    QTest::newRow("model 4 block 5") << 4 << 5 << 8 << 8 << false << false;
    QTest::newRow("model 3 block 7") << 3 << 7 << 0 << 80 << true << false;
    QTest::newRow("model 5 block 7") << 5 << 7 << 128 << 40 << true << false;
    QTest::newRow("model 9 block 9") << 9 << 9 << 160 << 8 << false << true;
    QTest::newRow("model 8 block 24") << 8 << 24 << 128 << 40 << false << true;
    QTest::newRow("model 4 block 25") << 4 << 25 << 164 << 2 << false << false;
    QTest::newRow("model 9 block 25: not its block") << 9 << 25 << 164 << 0 << false << false;
}

void TstDataCommunication::cascadeBlocks()
{
    QFETCH(int, model);
    QFETCH(int, block);
    QFETCH(int, offset);
    QFETCH(int, length);
    QFETCH(bool, sentCopy);
    QFETCH(bool, update);
    m_nCasModel = model;
    m_nCasSystem.fill(0);
    SendCasSYSData.fill(0);
    QByteArray payload(80, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(0x80 + i);
    if (model == 3) {
        payload[48 + 6] = 22;
        payload[48 + 9] = 24;
    }
    QSignalSpy updated(m_dc.get(), &DataCommunication::updateCascade);
    QSignalSpy noSub(m_dc.get(), &DataCommunication::sig_Nosub_Channel);
    m_dc->GetSendReadCascadeData(GROUP_SYSTEM, block, 0, 0);
    answerHead(FRAME_DATA, payload);
    const QByteArray expected = payload.left(length);
    QCOMPARE(m_nCasSystem.bytes(offset, qMax(length, 2)), length ? expected : QByteArray(2, '\0'));
    if (offset + length < Image::CasSystemSize)
        QCOMPARE(int(m_nCasSystem.at(offset + length)), 0); // nothing past the block
    QCOMPARE(SendCasSYSData.bytes(offset, length), sentCopy ? expected : QByteArray(length, '\0'));
    QCOMPARE(updated.count(), update ? 1 : 0);
    if (block == 9)
        QVERIFY(m_dc->bufData()->cascadeActive());
    if (model == 3) {
        // Its subwoofer channels are remembered and their records read.
        QCOMPARE(int(m_dc->bufData()->cascadeSubChannels()), (1 << 6) | (1 << 9));
        QCOMPARE(keys(m_dc->queuedCascadeFrames()), QStringList({"r 4/6/119 p0 t10", "r 4/9/119 p0 t10"}));
        QCOMPARE(noSub.count(), 0);
        // Without any, the screens hear of it.
        payload[48 + 6] = 6;
        payload[48 + 9] = 7;
        m_dc->StopCascadeThread(false);
        m_nCasModel = 3;
        m_dc->GetSendReadCascadeData(GROUP_SYSTEM, 7, 0, 0);
        answerHead(FRAME_DATA, payload);
        QCOMPARE(noSub.count(), 1);
        QCOMPARE(int(m_dc->bufData()->cascadeSubChannels()), 0);
    }
}

void TstDataCommunication::cascadeStatus_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("emitted"); // "src source,mixer" and "gain value"
    QTest::addColumn<bool>("bridged");
    QTest::newRow("model 0: source at 14") << 0 << 1 << "src 14,255" << false;
    QTest::newRow("model 3: source at 51") << 3 << 1 << "src 51,255" << false;
    QTest::newRow("model 4: source, mixer and gain") << 4 << 1 << "gain 2312;src 0,1" << false;
    QTest::newRow("model 11: bridged pair") << 11 << 1 << "src 0,1" << true;
    QTest::newRow("model 11, second unit: ignored") << 11 << 2 << "" << false;
}

void TstDataCommunication::cascadeStatus()
{
    QFETCH(int, model);
    QFETCH(int, unit);
    QFETCH(QString, emitted);
    QFETCH(bool, bridged);
    m_nCasModel = model;
    m_nCasSystem.set(0, 1);
    m_nCasSystem.set(1, 255);
    m_nCasSystem.setU16(8, 27);
    QByteArray status(64, '\0');
    for (int i = 0; i < status.size(); ++i)
        status[i] = char(i);
    status[1] = 1;
    status[17] = status[18] = 9;
    QStringList got;
    connect(m_dc.get(), &DataCommunication::sig_LampSourceChanged, this,
            [&got](int s, int m) { got << QStringLiteral("src %1,%2").arg(s).arg(m); });
    connect(m_dc.get(), &DataCommunication::sig_LampMainGainChanged, this,
            [&got](int g) { got << QStringLiteral("gain %1").arg(g); });
    m_dc->GetSendReadData(GROUP_SYSTEM, 3, 0, 0, 0, TARGET_CASCADE, unit);
    answerHead(FRAME_DATA, status);
    QCOMPARE(got.join(';'), emitted);
    QCOMPARE(m_dc->bridged(), bridged);
    // The screens take the values over; the record is theirs to change.
    QCOMPARE(int(m_nCasSystem.at(0)), 1);
    if (!bridged)
        return;
    // A bridged pair: reads go to both units, and the first block 9 answer
    // starts the second unit from the first's settings.
    m_dc->GetSendReadCascadeData(GROUP_SYSTEM, 9, 0, 0);
    QCOMPARE(keys(m_dc->queuedCascadeFrames()), QStringList({"r 9/9/0 p0 t10", "r 9/9/0 p0 t10 u2"}));
    answerHead(FRAME_DATA, QByteArray(8, '\x33'));
    QCOMPARE(keys(m_dc->queuedCascadeFrames()),
             QStringList({"r 9/9/0 p0 t10 u2", "w 9/2/0 p0 t10 u2", "w 9/5/0 p0 t10 u2", "w 9/9/0 p0 t10 u2"}));
    answerHead(FRAME_DATA, QByteArray(8, '\x33'));
    QCOMPARE(m_dc->queuedCascadeFrames().size(), 3); // only once
}

void TstDataCommunication::cascadeRefusalKeepsTheQueuesInStep()
{
    m_nCasModel = 4;
    m_nCurSystem.set(43, 1);
    m_dc->GetSendReadCascadeData(GROUP_SYSTEM, 2, 0, 0);
    m_dc->GetSendReadCascadeData(GROUP_SYSTEM, 5, 0, 0);
    m_dc->GetSendReadCascadeData(GROUP_SYSTEM, 24, 0, 0);
    QCOMPARE(keys(m_dc->queuedFrames()), QStringList{"r 9/2/0 p0 t10"});
    answerHead(FRAME_REFUSE);
    QCOMPARE(keys(m_dc->queuedFrames()), QStringList{"r 9/5/0 p0 t10"});
    QCOMPARE(keys(m_dc->queuedCascadeFrames()), QStringList({"r 9/5/0 p0 t10", "r 9/24/0 p0 t10"}));
    answerHead(FRAME_DATA, QByteArray(8, '\x05'));
    QCOMPARE(keys(m_dc->queuedFrames()), QStringList{"r 9/24/0 p0 t10"});
    QCOMPARE(keys(m_dc->queuedCascadeFrames()), QStringList{"r 9/24/0 p0 t10"});
    QCOMPARE(m_nCasSystem.bytes(8, 8), QByteArray(8, '\x05'));
    QCOMPARE(m_dc->failureCount(), 0);
}

void TstDataCommunication::phoneAppFrames_data()
{
    QTest::addColumn<bool>("disks");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("fileReturn"); // -1: no frame
    QTest::addColumn<int>("length");
    QTest::newRow("no disk") << false << 1 << 5 << 97 << 0;
    QTest::newRow("disk list") << true << 1 << 5 << 0x53 << 5;
    QTest::newRow("page") << true << 2 << 5 << 0x53 << 5;
    QTest::newRow("disk being rescanned") << true << 2 << -2 << 98 << 0;
    QTest::newRow("list not ready") << true << 2 << -3 << 104 << 0;
    QTest::newRow("first request after a change") << true << 2 << -4 << 99 << 0;
    QTest::newRow("bad page") << true << 2 << -1 << 103 << 0;
    QTest::newRow("unknown request") << true << 9 << 5 << 103 << 0;
    QTest::newRow("song chosen") << true << 3 << 1 << -1 << 0;
    QTest::newRow("no such song") << true << 3 << -1 << 103 << 0;
}

void TstDataCommunication::phoneAppFrames()
{
    QFETCH(bool, disks);
    QFETCH(int, kind);
    QFETCH(int, result);
    QFETCH(int, fileReturn);
    QFETCH(int, length);
    FakeAppList app;
    app.disks = disks;
    app.result = result;
    app.page = QByteArray("\x02\x01\x00\x00\x41", 5);
    m_dc->setAppListService(&app);
    BOOL_StopCompareData = false;
    m_dc->SendDirListData(kind, 1, 300);
    if (fileReturn < 0) {
        // The song starts; the scanner pauses until its play status is sent.
        QVERIFY(m_dc->queuedFrames().isEmpty());
        QVERIFY(BOOL_StopCompareData.get());
        m_nCurSystem.set(71, 0x2C);
        m_dc->SendDirList_Play_Status(true);
        const F f = parse(m_dc->queuedFrames().first());
        QCOMPARE(f.key(), QStringLiteral("w 10/0/3 p0"));
        QCOMPARE(f.fret, 0x59);
        QCOMPARE(f.payload, QByteArray("\x03\x2C\x00", 3));
        QVERIFY(!BOOL_StopCompareData.get());
        m_dc->setAppListService(nullptr);
        return;
    }
    QVERIFY(!BOOL_StopCompareData.get());
    const F f = parse(m_dc->queuedFrames().first());
    QCOMPARE(f.key(), QStringLiteral("w 10/0/%1 p0").arg(kind));
    QCOMPARE(f.fret, fileReturn);
    QCOMPARE(f.len, length);
    QCOMPARE(f.payload, app.page.left(length));
    if (!disks) {
        QCOMPARE(int(m_nSendUSBLink.at(0)), 1);
        QCOMPARE(int(m_nCurUSBLink.get()), 0);
    }
    // The file-return byte stays with the frames that follow.
    m_dc->GetSendReadData(GROUP_SYSTEM, 3, 0, 0, 0);
    QCOMPARE(parse(m_dc->queuedFrames().last()).fret, fileReturn);
    // The playing song's place in the app's lists goes into the now-playing packet.
    m_dc->Get_Dirfile_PlayingIndex();
    QCOMPARE(m_dc->bufData()->appFolder(), 4);
    QCOMPARE(m_dc->bufData()->appIndex(), 513);
    m_dc->setAppListService(nullptr);
}

void TstDataCommunication::restartAndStop()
{
    completeSync();
    m_dc->GetSendReadData(GROUP_SYSTEM, 3, 0, 0, 0);
    QVERIFY(m_dc->SendUsbData());
    m_dc->reboot_DSPMAC();
    QVERIFY(m_dc->restartPending());
    QVERIFY(m_dc->queuedFrames().isEmpty());
    QVERIFY(m_dc->lineFree());
    // Nothing is scanned while the unit restarts.
    QVERIFY(!m_dc->SendUsbData());
    QVERIFY(m_dc->queuedFrames().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(keys(m_dc->queuedFrames()), QStringList({"w 9/63/0 p0", "w 9/63/0 p0"}), 5000);
    // A failed frame while restarting is settled: the next one goes.
    QVERIFY(m_dc->SendUsbData());
    m_dc->ResetSendDataFlg();
    QCOMPARE(m_dc->queuedFrames().size(), 1);

    QSignalSpy stopTimers(m_dc.get(), &DataCommunication::sig_stopsenddatatimer);
    QSignalSpy stopInfo(m_dc.get(), &DataCommunication::sig_stopmuiscinfo);
    m_dc->stopThread();
    QVERIFY(m_dc->queuedFrames().isEmpty());
    QCOMPARE(stopTimers.count(), 1);
    QCOMPARE(stopInfo.count(), 1);
}

void TstDataCommunication::upgradeMcuFile()
{
    // 48 * 3 + 5 bytes: a tag, then 145 MCU bytes.
    QDir().mkpath(UpgradePathDir);
    QByteArray file("WMCU");
    for (int i = 0; i < 145; ++i)
        file += char(i + 1);
    QFile f(UpgradePathDir + QStringLiteral("/fw.bin"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    QSignalSpy gui(m_dc.get(), &DataCommunication::sig_UpgradeGui);
    QSignalSpy reboot(m_dc.get(), &DataCommunication::sig_UpgradeReboot);
    QSignalSpy progress(m_dc.get(), &DataCommunication::submitPersent);
    QVERIFY(m_dc->upgrade_Actions(true));
    QCOMPARE(gui.count(), 1);
    QVERIFY(m_bUpMCUFlag.get());
    QVERIFY(!m_dc->upgrade_Actions(true)); // one at a time
    QCOMPARE(m_nReadDsp_McuFile_Flag.totalFrames.get(), 3 + 6);

    QVERIFY(!m_dc->SendMCUData()); // queues the start item
    drainPort();
    QVERIFY(!m_dc->SendMCUData()); // the raw handshake, nothing awaited
    QByteArray handshake;
    for (int i = 0; i < 32; ++i)
        handshake += QByteArray("C\x11", 2);
    QCOMPARE(drainPort(), handshake);

    QList<F> frames;
    for (int guard = 0; guard < 40 && m_bUpMCUFlag.get(); ++guard) {
        if (!m_dc->SendMCUData())
            continue;
        const F h = parse(m_dc->queuedFrames().first());
        frames << h;
        answer(FRAME_ACK, h.group, h.item, h.slot, h.preset, h.target, QByteArray());
        if (h.item == 57)
            break;
    }
    QStringList items;
    for (const F &fr : frames)
        items << QString::number(fr.item);
    QCOMPARE(items.join(' '), QStringLiteral("54 55 56 56 56 57"));
    QCOMPARE(frames[1].payload, file.mid(4, 4));
    QCOMPARE(frames[2].payload, file.mid(8, 48));
    // The last block: the remaining 45 bytes, the rest 0xFF.
    QCOMPARE(frames[4].payload, file.mid(104, 45) + QByteArray(3, '\xFF'));
    quint8 sum = 0x12;
    for (int i = 4 + 5; i < file.size(); ++i)
        sum ^= quint8(file[i]);
    QCOMPARE(frames[5].payload, QByteArray(1, char(sum)));
    QVERIFY(!QDir(UpgradePathDir).exists());
    QTRY_COMPARE_WITH_TIMEOUT(reboot.count(), 1, 5000);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().first().toInt(), 6); // six frames answered
}

void TstDataCommunication::upgradeDspFile()
{
    QDir().mkpath(UpgradePathDir);
    QByteArray file("WDSP");
    file += QByteArray(0x3FFFF, '\x5A');
    file[4] = '\x01';
    file[file.size() - 1] = '\x7E'; // the last DSP byte
    file += '\x00';                 // files of the DSP part are longer than it
    QFile f(UpgradePathDir + QStringLiteral("/dsp.bin"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    QVERIFY(m_dc->upgrade_Actions(true));
    QVERIFY(!m_dc->SendMCUData());
    QVERIFY(!m_dc->SendMCUData());
    drainPort();
    QMap<int, int> count;
    F first59, last59, last;
    int failed = 0;
    QSignalSpy upgradeFailed(m_dc.get(), &DataCommunication::sig_upgradeFailed);
    for (int guard = 0; guard < 7000 && m_bUpMCUFlag.get(); ++guard) {
        if (!m_dc->SendMCUData())
            continue;
        const F h = parse(m_dc->queuedFrames().first());
        if (h.item == 54 && failed++ == 0) {
            // An unanswered block 54 is sent again, the upgrade goes on.
            m_dc->ResetSendDataFlg();
            QVERIFY(m_bUpMCUFlag.get());
            continue;
        }
        ++count[h.item];
        if (h.item == 59 && count[59] == 1)
            first59 = h;
        if (h.item == 59)
            last59 = h;
        last = h;
        answer(FRAME_ACK, h.group, h.item, h.slot, h.preset, h.target, QByteArray());
        if (h.item == 57)
            break;
        if (count[59] % 500 == 0)
            drainPort();
    }
    QCOMPARE(upgradeFailed.count(), 0);
    QCOMPARE(count.value(54), 1);
    QCOMPARE(count.value(58), 1);
    QCOMPARE(count.value(59), 5958);
    QCOMPARE(count.value(55) + count.value(56), 0); // no MCU part on the wire
    QCOMPARE(last.item, 57);
    QCOMPARE(first59.payload.left(5), QByteArray("\x00\x00\x00\x00\x01", 5));
    // The last DSP frame: 35 bytes at offset 0, then zeros.
    QCOMPARE(last59.payload, QByteArray(34, '\x5A') + QByteArray(1, '\x7E') + QByteArray(13, '\0'));
    drainPort();
}

void TstDataCommunication::upgradeAbortsOnARefusedDataFrame()
{
    QDir().mkpath(UpgradePathDir);
    QFile f(UpgradePathDir + QStringLiteral("/fw.bin"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("WMCU") + QByteArray(200, '\x01'));
    f.close();
    QSignalSpy failed(m_dc.get(), &DataCommunication::sig_upgradeFailed);
    QVERIFY(m_dc->upgrade_Actions(true));
    QVERIFY(!m_dc->SendMCUData());
    QVERIFY(!m_dc->SendMCUData());
    int refused = 0;
    for (int guard = 0; guard < 20 && !refused; ++guard) {
        if (!m_dc->SendMCUData())
            continue;
        const F h = parse(m_dc->queuedFrames().first());
        if (h.item == 56) {
            answer(FRAME_REFUSE, h.group, h.item, h.slot, h.preset, h.target, QByteArray());
            ++refused;
        } else {
            answer(FRAME_ACK, h.group, h.item, h.slot, h.preset, h.target, QByteArray());
        }
    }
    QCOMPARE(refused, 1);
    QCOMPARE(failed.count(), 1);
    QVERIFY(!m_bUpMCUFlag.get());
    QVERIFY(m_dc->restartPending());
    QVERIFY(m_dc->queuedFrames().isEmpty());
    QDir(UpgradePathDir).removeRecursively();
}

void TstDataCommunication::upgradeRefusesBadFiles_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no file at all
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<QString>("popup"); // "" for none
    const QByteArray dspBody(0x3FFFF, '\x5A');
    QTest::newRow("no file, quiet") << QByteArray() << false << true << QString();
    QTest::newRow("no file") << QByteArray() << false << false << QStringLiteral("未发现固件文件");
    QTest::newRow("empty file") << QByteArray() << true << true << QStringLiteral("更新固件错误");
    QTest::newRow("tag only") << QByteArray("WMCU") << true << true << QStringLiteral("更新固件错误");
    QTest::newRow("tag and block 55 only") << QByteArray("WMCU1234") << true << true << QStringLiteral("更新固件错误");
    QTest::newRow("wrong tag") << QByteArray("XMCU") + QByteArray(200, '\x01') << true << true
                               << QStringLiteral("更新固件错误");
    QTest::newRow("DSP file cut short") << QByteArray("WDSP") + dspBody.left(0x20000) << true << true
                                        << QStringLiteral("更新固件错误");
    QTest::newRow("MCU file over the limit") << QByteArray("WMCU") + QByteArray(0x40000, '\x01') << true << true
                                             << QStringLiteral("更新固件错误");
    QTest::newRow("large file of another tag") << QByteArray("WXYZ") + dspBody << true << true
                                               << QStringLiteral("更新固件错误");
    QTest::newRow("smallest MCU file") << QByteArray("WMCU12345") << true << true << QString();
    QTest::newRow("DSP file") << QByteArray("WDSP") + dspBody + QByteArray(1, '\x7E') << true << true << QString();
}

void TstDataCommunication::upgradeRefusesBadFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, withFile);
    QFETCH(bool, quiet);
    QFETCH(QString, popup);
    QDir(UpgradePathDir).removeRecursively();
    if (withFile) {
        QDir().mkpath(UpgradePathDir);
        QFile f(UpgradePathDir + QStringLiteral("/fw.bin"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    QSignalSpy popups(m_dc.get(), &DataCommunication::sig_popup);
    QSignalSpy gui(m_dc.get(), &DataCommunication::sig_UpgradeGui);
    const bool started = m_dc->upgrade_Actions(quiet);
    QCOMPARE(started, popup.isEmpty() && withFile);
    QCOMPARE(m_bUpMCUFlag.get(), started);
    QCOMPARE(gui.count(), started ? 1 : 0);
    if (popup.isEmpty()) {
        QCOMPARE(popups.count(), 0);
    } else {
        QVERIFY(!popups.isEmpty());
        QCOMPARE(popups.last().first().toString(), popup);
    }
    if (started) {
        m_dc->reboot_DSPMAC();
        drainPort();
    }
    QDir(UpgradePathDir).removeRecursively();
}

void TstDataCommunication::linkWatchdogEndsTheProgram()
{
    // Nothing sent for 22 s (the worker never runs here): the program ends.
    const int before = killCount();
    QVERIFY(m_dc->Read_MCU_Version());
    QTest::qWait(20000);
    QCOMPARE(killCount(), before);
    QTRY_COMPARE_WITH_TIMEOUT(killCount(), before + 1, 5000);
    QVERIFY(m_sb->readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"))
                .contains(QStringLiteral("~~~~~sig_CheckLampTimer2~~~~~")));
}

QTEST_GUILESS_MAIN(TstDataCommunication)
#include "tst_datacommunication.moc"
