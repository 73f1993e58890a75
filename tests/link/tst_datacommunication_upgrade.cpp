// The firmware upgrade from the update folder (step by step, without the
// worker): the handshake, the MCU and DSP frame sequences, the abort on
// a refused data frame, and the files that are refused before anything is sent.
#include "datacommfixture.h"

class TstDataCommunicationUpgrade : public QObject, private DataCommFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpCase(); }
    void cleanupTestCase() { tearDownCase(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void upgradeMcuFile();
    void upgradeDspFile();
    void upgradeAbortsOnARefusedDataFrame();
    void upgradeRefusesBadFiles_data();
    void upgradeRefusesBadFiles();
};

void TstDataCommunicationUpgrade::upgradeMcuFile()
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

void TstDataCommunicationUpgrade::upgradeDspFile()
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

void TstDataCommunicationUpgrade::upgradeAbortsOnARefusedDataFrame()
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

void TstDataCommunicationUpgrade::upgradeRefusesBadFiles_data()
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
    QTest::newRow("MCU file over the limit")
        << QByteArray("WMCU") + QByteArray(0x40000, '\x01') << true << true << QStringLiteral("更新固件错误");
    QTest::newRow("large file of another tag")
        << QByteArray("WXYZ") + dspBody << true << true << QStringLiteral("更新固件错误");
    QTest::newRow("smallest MCU file") << QByteArray("WMCU12345") << true << true << QString();
    QTest::newRow("DSP file") << QByteArray("WDSP") + dspBody + QByteArray(1, '\x7E') << true << true << QString();
}

void TstDataCommunicationUpgrade::upgradeRefusesBadFiles()
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

QTEST_GUILESS_MAIN(TstDataCommunicationUpgrade)
#include "tst_datacommunication_upgrade.moc"
