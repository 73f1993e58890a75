// Multi-frame jobs (step by step, without the worker): presets stored and
// recalled, the automatic user preset, and the phone app's frames.
#include "datacommfixture.h"

class TstDataCommunicationPresets : public QObject, private DataCommFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpCase(); }
    void cleanupTestCase() { tearDownCase(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void presetFrames_data();
    void presetFrames();
    void defaultUserPreset();
    void phoneAppFrames_data();
    void phoneAppFrames();
};

void TstDataCommunicationPresets::presetFrames_data()
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

void TstDataCommunicationPresets::presetFrames()
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

void TstDataCommunicationPresets::defaultUserPreset()
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

void TstDataCommunicationPresets::phoneAppFrames_data()
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

void TstDataCommunicationPresets::phoneAppFrames()
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

QTEST_GUILESS_MAIN(TstDataCommunicationPresets)
#include "tst_datacommunication_presets.moc"
