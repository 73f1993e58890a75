// DataCommunication's send step driven by hand, without its worker: the
// purge of stale polls, refusals, answers that settle a frame and store it,
// failures and the program's end on the sixth, the change scanner's order,
// restart and stop, and the link watchdog.
#include "datacommfixture.h"

class TstDataCommunication : public QObject, private DataCommFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpCase(); }
    void cleanupTestCase() { tearDownCase(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void purgeAfterTheTwentyNinthPass();
    void refusals_data();
    void refusals();
    void answersSettleAndStore();
    void theSixthFailureEndsTheProgram();
    void scannerPriorityOrder();
    void restartAndStop();
    void linkWatchdogEndsTheProgram();
};

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
