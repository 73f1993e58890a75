// The MCU link end to end over a real pseudo-terminal: the port, frames
// built by the player, the simulated MCU's answers, the reply wait and the
// frame check, with the simulator's faults injected.

#include "bufdataproce.h"
#include "globals.h"
#include "linkglobals.h"
#include "mcureceiver.h"
#include "mcusim.h"
#include "platform.h"
#include "recvqueue.h"
#include "serialservice.h"
#include "testsandbox.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTextCodec>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

class TstMcuLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void portSetup();
    void startupReads_data();
    void startupReads();
    void writesAreKept();
    void nowPlayingReachesTheMcu();
    void statusFollowsTheCar();
    void faults_data();
    void faults();
    void transcriptIsWellFormed();

private:
    QByteArray frame(int type, int preset, int group, int item, int slot, int target, int len);
    QByteArray read(int preset, int group, int item, int slot = 0, int target = 0)
    {
        return frame(0xA2, preset, group, item, slot, target, 8);
    }
    McuReceiver::Result exchange(const QByteArray &f, QByteArray *payload = nullptr);
    // The simulator's control and transcript (tests/support/mcusim.h).
    void control(const QString &line) { m_mcu->control(line); }
    QList<QJsonObject> transcript() const { return m_mcu->transcript(); }

    std::unique_ptr<TestSandbox> m_sb;
    std::unique_ptr<McuSim> m_mcu;
    std::unique_ptr<SerialService> m_port;
    RecvQueue m_queue;
    BufDataProce m_builder;
};

void TstMcuLink::initTestCase()
{
    m_sb.reset(new TestSandbox());
    QVERIFY(m_sb->isValid());
    m_sb->enter();
    m_mcu = std::make_unique<McuSim>(*m_sb);
    QVERIFY(m_mcu->start());
    m_port.reset(new SerialService);
    QVERIFY(m_port->setup(Platform::mcuPort(), 57600));
    m_port->setQueueMode(&m_queue);
}

void TstMcuLink::init()
{
    // Every case starts from the simulator's start-up state.
    control(QStringLiteral("reset"));
    m_queue.clear();
}

void TstMcuLink::cleanupTestCase()
{
    m_port.reset();
    m_mcu.reset();
    m_sb.reset();
}

QByteArray TstMcuLink::frame(int type, int preset, int group, int item, int slot, int target, int len)
{
    SendFrameData = FrameRecord();
    SendFrameData[Frame::Type] = quint8(type);
    SendFrameData[Frame::Unit] = m_nCurDeviceid;
    SendFrameData[Frame::Preset] = quint8(preset);
    SendFrameData[Frame::Group] = quint8(group);
    SendFrameData[Frame::Item] = quint8(item);
    SendFrameData[Frame::Slot] = quint8(slot);
    SendFrameData[Frame::Target] = quint8(target);
    SendFrameData.setLength(len);
    return m_builder.ProcessingPackets();
}

McuReceiver::Result TstMcuLink::exchange(const QByteArray &f, QByteArray *payload)
{
    // The port stays in this thread; the reply wait runs in a worker, as in
    // the player, while this thread delivers the port's reads.
    m_queue.clear();
    RecFrameData = FrameRecord();
    m_port->send_handle(f);
    McuReceiver rx(&m_queue);
    McuReceiver::Result result = McuReceiver::TimedOut;
    std::atomic<bool> done{false};
    std::thread t([&] {
        result = rx.RecvReply();
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    t.join();
    if (payload)
        *payload = rx.payload();
    return result;
}

void TstMcuLink::portSetup()
{
    // Open already: refused, nothing changes; the port still works.
    QVERIFY(!m_port->setup(Platform::mcuPort(), 57600));
    QVERIFY(m_port->isOpen());
    QCOMPARE(exchange(read(0, 9, 4)), McuReceiver::Good);

    SerialService missing;
    QVERIFY(!missing.setup(m_sb->path(QStringLiteral("/dev/ttyS9")), 57600));
    QVERIFY(!missing.isOpen());
    missing.send_handle(QByteArray("dropped")); // a closed port drops writes
}

void TstMcuLink::startupReads_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("at");
    QTest::addColumn<QByteArray>("expected"); // bytes of the answer's payload at `at`

    QTextCodec *gbk = QTextCodec::codecForName("GBK");
    QTest::newRow("version") << read(0, 9, 4) << 11 << 0 << QByteArray("MPQX-WV3.00");
    QTest::newRow("block 2: source 5, no mix, volumes 60")
        << read(0, 9, 2) << 8 << 0 << QByteArray("\x05\xFF\x3C\x3C\x3C\x3C\x3C\x3C");
    QTest::newRow("block 8: dimmer auto, level 2") << read(0, 9, 8) << 8 << 2 << QByteArray("\x01\x02\x00", 3);
    QTest::newRow("block 9: power on") << read(0, 9, 9) << 8 << 0 << QByteArray("\x01", 1);
    QTest::newRow("block 122: wheel keys unlearned")
        << read(0, 9, 122) << 8 << 0 << QByteArray("\xFF\xFF\xFF\xFF\xFF\xFF\x00", 7);
    QTest::newRow("block 18: serial number") << read(0, 9, 18) << 48 << 8 << QByteArray("VDX730");
    QTest::newRow("name of preset 3") << read(3, 9, 0) << 16 << 0 << gbk->fromUnicode(QStringLiteral("摇滚"));
    QTest::newRow("name of preset 11") << read(11, 9, 0) << 16 << 0 << gbk->fromUnicode(QStringLiteral("自定义"));
    // Band 0 of the input record: 31 Hz, gain 600 (0 dB) on the flat curve.
    QTest::newRow("input record, live") << read(0, 3, 0, 119) << 288 << 0 << QByteArray("\x1F\x00\x58\x02", 4);
    // Rock lifts band 0 by 5 dB: gain 650.
    QTest::newRow("input record, preset 3") << read(3, 3, 0, 119) << 288 << 0 << QByteArray("\x1F\x00\x8A\x02", 4);
    // Channel 5 is a subwoofer: high-pass 20 Hz, low-pass 80 Hz.
    QTest::newRow("output record 5") << read(0, 4, 5, 119) << 296 << 256
                                     << QByteArray("\x14\x00\x01\x03\x50\x00\x01\x03", 8);
    QTest::newRow("status poll: idle AD readings") << read(0, 9, 3) << 32 << 18 << QByteArray("\xC8\xC8");
}

void TstMcuLink::startupReads()
{
    QFETCH(QByteArray, request);
    QFETCH(int, length);
    QFETCH(int, at);
    QFETCH(QByteArray, expected);

    QByteArray payload;
    QCOMPARE(exchange(request, &payload), McuReceiver::Good);
    QCOMPARE(payload.size(), length);
    QCOMPARE(payload.mid(at, expected.size()).toHex(), expected.toHex());
    // The answer names what it answers.
    QCOMPARE(int(RecFrameData[Frame::Type]), 0x53);
    for (int off = Frame::Unit; off <= Frame::Target; ++off)
        QCOMPARE(int(RecFrameData[off]), int(quint8(request[off])));
    QCOMPARE(RecFrameData.length(), length);
}

void TstMcuLink::writesAreKept()
{
    SendSYSData.fill(0);
    const quint8 block2[] = {2, 3, 10, 20, 30, 40, 50, 60};
    SendSYSData.write(0, block2, 8);
    QCOMPARE(exchange(frame(0xA1, 0, 9, 2, 0, 0, 8)), McuReceiver::Good);
    QCOMPARE(int(RecFrameData[Frame::Type]), 0x51);
    QByteArray payload;
    QCOMPARE(exchange(read(0, 9, 2), &payload), McuReceiver::Good);
    QCOMPARE(payload, QByteArray(reinterpret_cast<const char *>(block2), 8));

    // One output slot.
    const quint8 slot32[] = {0x2C, 0x01, 1, 4, 0x10, 0x27, 1, 2};
    SendStructData.write(Image::outputSlot(1, 32), slot32, 8);
    QCOMPARE(exchange(frame(0xA1, 0, 4, 1, 32, 0, 8)), McuReceiver::Good);
    QCOMPARE(exchange(read(0, 4, 1, 32), &payload), McuReceiver::Good);
    QCOMPARE(payload, QByteArray(reinterpret_cast<const char *>(slot32), 8));

    // A name written for preset 12.
    storedPreset(12)->fill(0, 0, 16);
    storedPreset(12)->write(0, QByteArray("MINE"));
    QCOMPARE(exchange(frame(0xA1, 12, 9, 0, 0, 0, 16)), McuReceiver::Good);
    QCOMPARE(exchange(read(12, 9, 0), &payload), McuReceiver::Good);
    QCOMPARE(payload.left(5), QByteArray("MINE\0", 5));
}

void TstMcuLink::nowPlayingReachesTheMcu()
{
    g_CurMusicPlay = CurMusicPlayStruct();
    g_CurMusicPlay.title = QStringLiteral("夜曲");
    g_CurMusicPlay.artist = QStringLiteral("Artist");
    g_CurMusicPlay.album = QStringLiteral("Album");
    g_CurMusicPlay.fileType = QStringLiteral("dsf");
    g_CurMusicPlay.sampleRateText = QStringLiteral("2.8MHz");
    g_CurMusicPlay.duration = 300;
    g_CurMusicPlay.currentPosition = 42;
    g_CurMusicPlay.playState = PlayPlaying;
    SendFrameData = FrameRecord();
    SendFrameData[Frame::Type] = 0xA1;
    SendFrameData[Frame::Unit] = 1;
    SendFrameData[Frame::Group] = 9;
    SendFrameData[Frame::Item] = 121;
    SendFrameData.setLength(m_builder.PacketMediaInfoData());
    QCOMPARE(exchange(m_builder.ProcessingPackets()), McuReceiver::Good);
    QCOMPARE(int(RecFrameData[Frame::Type]), 0x51);

    QJsonObject np;
    for (const QJsonObject &o : transcript()) {
        if (o.value("dir").toString() == "in" && o.value("item").toInt() == 121)
            np = o.value("nowplaying").toObject();
    }
    QVERIFY(np.value("ok").toBool());
    QCOMPARE(np.value("title").toString(), QStringLiteral("夜曲"));
    QCOMPARE(np.value("format").toString(), QStringLiteral("DSF64 / 2.8MHz"));
    QCOMPARE(np.value("total").toInt(), 300);
    QCOMPARE(np.value("elapsed").toInt(), 42);
    QCOMPARE(np.value("state").toInt(), 2);
}

void TstMcuLink::statusFollowsTheCar()
{
    control(QStringLiteral("ad 90 201"));
    control(QStringLiteral("source 2"));
    control(QStringLiteral("power off"));
    control(QStringLiteral("app request 2 1 300"));
    control(QStringLiteral("bt title=Song artist=Band album=LP total=300 pos=10"));
    QByteArray s;
    QCOMPARE(exchange(read(0, 9, 3), &s), McuReceiver::Good);
    QVERIFY(s.size() > 32);
    QCOMPARE(int(quint8(s[0])), 2);     // source
    QCOMPARE(int(quint8(s[2])), 1);     // power field: off
    QCOMPARE(int(quint8(s[18])), 90);   // AD line 1 (system byte 66)
    QCOMPARE(int(quint8(s[19])), 201);  // AD line 2 (system byte 67)
    QCOMPARE(int(quint8(s[21])), 0x21); // app request: kind 2, slot 1 (system byte 69)
    QCOMPARE(int(quint8(s[22])) | int(quint8(s[23])) << 8, 300);
    QCOMPARE(int(quint8(s[24])), 1); // Bluetooth information follows
    const QByteArray bt = s.mid(32);
    QCOMPARE(int(quint8(bt[0])) << 8 | int(quint8(bt[1])), 300);
    QCOMPARE(int(quint8(bt[2])) << 8 | int(quint8(bt[3])), 10);
    QCOMPARE(bt.mid(4), QByteArray("\x04Song\x04"
                                   "Band\x02LP"));
    // The source also reads back from the system record.
    QCOMPARE(exchange(read(0, 9, 2), &s), McuReceiver::Good);
    QCOMPARE(int(quint8(s[0])), 2);
}

void TstMcuLink::faults_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("answerType");

    QTest::newRow("refusal") << QStringList{"refuse count=1"} << int(McuReceiver::Good) << 0x52;
    QTest::newRow("refusal of reads of block 2 only")
        << QStringList{"refuse group=9 item=2"} << int(McuReceiver::Good) << 0x52;
    QTest::newRow("wrong checksum") << QStringList{"badsum"} << int(McuReceiver::Bad) << 0;
    QTest::newRow("wrong end tag") << QStringList{"badend"} << int(McuReceiver::Bad) << 0;
    QTest::newRow("noise, then the answer in pieces")
        << QStringList{"garbage hex=01027c7cee7c7c7c7cee55aa0011 next=1", "split pieces=6 gap=30"}
        << int(McuReceiver::Good) << 0x53;
    QTest::newRow("slow answer") << QStringList{"slow ms=800 count=1"} << int(McuReceiver::Good) << 0x53;
    QTest::newRow("silence") << QStringList{"silence count=1"} << int(McuReceiver::TimedOut) << 0;
}

void TstMcuLink::faults()
{
    QFETCH(QStringList, commands);
    QFETCH(int, result);
    QFETCH(int, answerType);

    for (const QString &c : commands)
        control(c);
    QByteArray payload;
    QCOMPARE(int(exchange(read(0, 9, 2), &payload)), result);
    QCOMPARE(int(RecFrameData[Frame::Type]), answerType);
    if (answerType == 0x53)
        QCOMPARE(payload.left(2), QByteArray("\x05\xFF"));

    // A fault lasts for the frames it was set for; the link recovers.
    if (!QByteArray(QTest::currentDataTag()).contains("block 2 only")) {
        QCOMPARE(exchange(read(0, 9, 2), &payload), McuReceiver::Good);
        QCOMPARE(int(RecFrameData[Frame::Type]), 0x53);
    } else {
        QCOMPARE(exchange(read(0, 9, 5), &payload), McuReceiver::Good);
        QCOMPARE(int(RecFrameData[Frame::Type]), 0x53);
    }
}

void TstMcuLink::transcriptIsWellFormed()
{
    const int earlier = transcript().size();
    QCOMPARE(exchange(read(0, 9, 4)), McuReceiver::Good);
    QCOMPARE(exchange(read(0, 4, 2, 119)), McuReceiver::Good);
    QCOMPARE(exchange(frame(0xA1, 0, 9, 5, 0, 0, 8)), McuReceiver::Good);
    int in = 0, out = 0;
    for (const QJsonObject &o : transcript().mid(earlier)) {
        const QString dir = o.value("dir").toString();
        if (dir.isEmpty())
            continue; // events
        QVERIFY2(!o.contains("bad") && !o.contains("noise"), QJsonDocument(o).toJson().constData());
        for (const char *key :
             {"time", "type", "unit", "preset", "group", "item", "slot", "target", "fret", "len", "payload"})
            QVERIFY2(o.contains(QLatin1String(key)), key);
        QCOMPARE(o.value("payload").toString().size(), 2 * o.value("len").toInt());
        (dir == "in" ? in : out) += 1;
    }
    QCOMPARE(in, 3);
    QCOMPARE(out, 3);
}

QTEST_GUILESS_MAIN(TstMcuLink)
#include "tst_mculink.moc"
