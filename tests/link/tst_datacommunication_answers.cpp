// The MCU's answers stored into the settings images (step by step, without
// the worker): the version check and the start-up reads, the status poll
// with its lamps and Bluetooth information, channel records.
#include "datacommfixture.h"

class TstDataCommunicationAnswers : public QObject, private DataCommFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpCase(); }
    void cleanupTestCase() { tearDownCase(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void version_data();
    void version();
    void statusAndBluetooth_data();
    void statusAndBluetooth();
    void channelAnswers_data();
    void channelAnswers();
};

void TstDataCommunicationAnswers::version_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("the expected version") << QByteArray("MPQX-WV3.00") << true;
    QTest::newRow("differs after the seventh character") << QByteArray("MPQX-WV9.87") << true;
    QTest::newRow("padded with spaces") << QByteArray("MPQX-WV3.1 ") << true;
    QTest::newRow("differs in the first seven") << QByteArray("MPQX-XV3.00") << false;
    QTest::newRow("too short") << QByteArray("MPQX   \0\0\0\0", 11) << false;
}

void TstDataCommunicationAnswers::version()
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

void TstDataCommunicationAnswers::statusAndBluetooth_data()
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

void TstDataCommunicationAnswers::statusAndBluetooth()
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

void TstDataCommunicationAnswers::channelAnswers_data()
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

void TstDataCommunicationAnswers::channelAnswers()
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

QTEST_GUILESS_MAIN(TstDataCommunicationAnswers)
#include "tst_datacommunication_answers.moc"
