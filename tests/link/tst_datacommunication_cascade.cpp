// The cascaded DSP unit (step by step, without the worker): detection by
// its version, the initial reads per model, its blocks and status, and a
// refusal that keeps the two queues in step.
#include "datacommfixture.h"

class TstDataCommunicationCascade : public QObject, private DataCommFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpCase(); }
    void cleanupTestCase() { tearDownCase(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void cascadeDetection_data();
    void cascadeDetection();
    void cascadeBlocks_data();
    void cascadeBlocks();
    void cascadeStatus_data();
    void cascadeStatus();
    void cascadeRefusalKeepsTheQueuesInStep();
    void cascadePresetUpload_data();
    void cascadePresetUpload();
};

void TstDataCommunicationCascade::cascadeDetection_data()
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

void TstDataCommunicationCascade::cascadeDetection()
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

void TstDataCommunicationCascade::cascadeBlocks_data()
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

void TstDataCommunicationCascade::cascadeBlocks()
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

void TstDataCommunicationCascade::cascadeStatus_data()
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

void TstDataCommunicationCascade::cascadeStatus()
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

void TstDataCommunicationCascade::cascadeRefusalKeepsTheQueuesInStep()
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

void TstDataCommunicationCascade::cascadePresetUpload_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("preset");
    QTest::addColumn<QStringList>("reads"); // empty: nothing is asked
    QTest::newRow("model 0, preset 3") << 0 << 3 << QStringList{"r 9/2/0 p3 t10", "r 9/5/0 p3 t10"};
    QTest::newRow("model 1, preset 6") << 1 << 6 << QStringList{"r 4/4/119 p6 t10", "r 9/2/0 p6 t10", "r 9/5/0 p6 t10"};
    QTest::newRow("model 9, preset 1") << 9 << 1 << QStringList{"r 9/2/0 p1 t10", "r 9/5/0 p1 t10", "r 9/9/0 p1 t10"};
    QTest::newRow("no unit") << -1 << 1 << QStringList{};
    QTest::newRow("preset past the table") << 0 << int(Image::CasPresets) << QStringList{};
}

// A stored preset of the cascaded unit loaded: its settings are read with
// the preset's number, the progress bar runs to the last answer, and only
// then is the unit live again.
void TstDataCommunicationCascade::cascadePresetUpload()
{
    QFETCH(int, model);
    QFETCH(int, preset);
    QFETCH(QStringList, reads);
    m_nCasModel = model;
    m_nCurSystem.set(43, 1);
    m_dc->bufData()->setCascadeActive(true);
    QSignalSpy bar(m_dc.get(), &DataCommunication::showProcessBar);
    QSignalSpy percent(m_dc.get(), &DataCommunication::submitPersent);
    QSignalSpy lamp(m_dc.get(), &DataCommunication::sig_caslamp);
    m_dc->UpCascadeMCUPreset(preset);
    QCOMPARE(keys(m_dc->queuedCascadeFrames()), reads);
    if (reads.isEmpty()) {
        QCOMPARE(bar.count(), 0);
        QVERIFY(m_dc->bufData()->cascadeActive());
        return;
    }
    QCOMPARE(bar.count(), 1);
    QCOMPARE(bar.at(0).at(0).toInt(), 19);
    QCOMPARE(m_dc->GetProgresPos(), reads.size());
    QVERIFY(!m_dc->bufData()->cascadeActive());
    for (int i = 0; i < reads.size(); ++i) {
        QCOMPARE(lamp.count(), 0);
        answerHead(FRAME_DATA, QByteArray(i == 0 && model == 1 ? 296 : 8, char(0x40 + i)));
        QCOMPARE(percent.count(), i + 1);
        QCOMPARE(percent.last().at(0).toInt(), i + 1);
    }
    QCOMPARE(lamp.count(), 1);
    QVERIFY(m_dc->bufData()->cascadeActive());
    QCOMPARE(m_dc->bufData()->cascadePreset(), preset);
    QVERIFY(m_dc->queuedCascadeFrames().isEmpty());
}

QTEST_GUILESS_MAIN(TstDataCommunicationCascade)
#include "tst_datacommunication_cascade.moc"
