// The DSD decode thread without the output thread: "path__M__track__M__area" items,
// block geometry, the now-playing fields, the start threshold and tail start,
// and unusable sources (DST, rates above DSD256) with their skip.
#include "audioplayer.h"
#include "crossthreadspy.h"
#include "dsddecoder.h"
#include "dsdfixtures.h"
#include "globals.h"
#include "gpioctrl.h"
#include "mediabuffer.h"
#include "platform.h"

#include <QFile>
#include <QtTest>

#include <atomic>

namespace {

void resetRecords(const QString &item)
{
    const QString file = item.section(QStringLiteral("__M__"), 0, 0);
    g_CurMusicPlay.fileType = QFileInfo(file).suffix().toLower();
    g_CurMusicPlay.filePath = item;
    g_CurMusicPlay.title = QFileInfo(file).completeBaseName();
    g_CurMusicPlay.artist = QString();
    g_CurMusicPlay.album = QString();
    g_CurMusicPlay.playState = PlayStopped;
    g_CurMusicPlay.seeking = false;
    g_CurMusicPlay.tailStart = false;
    g_CurMusicPlay.startOffset = 0;
    g_CurMusicPlay.duration = 0;
    g_CurMusicPlay.currentPosition = 0;
    g_CurMusicPlay.decodeOver = false;
    g_CurMusicPlay.decodedTime = 0;
    g_TempData.dsdNotSupported = false;
    m_UsedBufSize = 0;
}

} // namespace

class TstDsdDecoder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        InitData();
        m_MediaBuffer.pcmBuffer = new BytequeueBuffer(5302880);
        QVERIFY(m_fx.isValid());
        QVERIFY(!m_fx.make("dsf", "a.dsf", {"--seconds", "8.5", "--seed", "a"}).isEmpty());
        QVERIFY(!m_fx.make("dsf", "short.dsf", {"--seconds", "1.2"}).isEmpty());
        QVERIFY(!m_fx.make("dsf", "fast.dsf", {"--seconds", "0.5", "--rate", "22579200"}).isEmpty());
        QVERIFY(
            !m_fx.make("dff", "a.dff", {"--tracks", "1.0,2.0", "--markers", "start", "--rate", "5644800"}).isEmpty());
        QVERIFY(!m_fx.make("iso", "a.iso",
                           {"--areas", "both", "--dst-area", "multi", "--tracks", "1.0,1.0", "--performers",
                            "Unknown Artist|VDX Ensemble", "--no-text"})
                     .isEmpty());
        QVERIFY(
            !m_fx.make("iso", "t.iso", {"--tracks", "1.0,1.0", "--performers", "Unknown Artist|Someone"}).isEmpty());
    }

    void specsWithoutSelectorsOrFile()
    {
        DsdDecoder d;
        CrossThreadSpy started(&d, &DsdDecoder::songChanged);
        QVERIFY(!d.open(m_fx.path("a.dsf"), 0, false));
        QVERIFY(!d.open(m_fx.path("none.dsf") + "__M__0__M__1", 0, false));
        QVERIFY(!d.isRunning());
        QCOMPARE(dsdItemSpec("/m/x.dsf"), QStringLiteral("/m/x.dsf__M__0__M__1"));
        QCOMPARE(dsdItemSpec("/m/x.iso__M__2__M__2"), QStringLiteral("/m/x.iso__M__2__M__2"));
        QTest::qWait(50);
        QCOMPARE(started.count(), 0);
    }

    void geometry_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("blockBytes");
        QTest::addColumn<int>("blockFrames");
        QTest::addColumn<int>("bufSize");
        QTest::addColumn<QString>("rateText");
        QTest::addColumn<int>("cardRate");
        QTest::addColumn<qint64>("duration");
        QTest::newRow("dsf") << "a.dsf__M__0__M__1" << 32768 << 8192 << 955 << "2.8MHz" << 44100 << qint64(8);
        QTest::newRow("dsdiff dsd128") << "a.dff__M__1__M__1" << 4 * 18816 << 18816 << 31457280 / (4 * 18816 + 2) - 20
                                       << "5.6MHz" << 88200 << qint64(2);
        QTest::newRow("image") << "t.iso__M__0__M__1" << 4 * 9408 << 9408 << 31457280 / (4 * 9408 + 2) - 20 << "2.8MHz"
                               << 44100 << qint64(1);
    }
    void geometry()
    {
        QFETCH(QString, item);
        QFETCH(int, blockBytes);
        QFETCH(int, blockFrames);
        QFETCH(int, bufSize);
        QFETCH(QString, rateText);
        QFETCH(int, cardRate);
        QFETCH(qint64, duration);
        resetRecords(m_fx.path(item));
        DsdDecoder d;
        CrossThreadSpy songs(&d, &DsdDecoder::songChanged);
        QVERIFY(d.open(m_fx.path(item), 0, false));
        QTRY_VERIFY_WITH_TIMEOUT(g_CurMusicPlay.decodeOver, 10000);
        QVERIFY(d.wait(5000));
        QCOMPARE(m_MediaBuffer.blockBytes.load(), blockBytes);
        QCOMPARE(m_MediaBuffer.blockFrames.load(), blockFrames);
        QCOMPARE(m_bufSize.load(), bufSize);
        QCOMPARE(m_MediaBuffer.outFormatCode.load(), 2);
        QCOMPARE(g_CurMusicPlay.sampleRateText.get(), rateText);
        QCOMPARE(g_TempData.inputSampleRate.get(), cardRate);
        QCOMPARE(g_CurMusicPlay.duration.get(), duration);
        QVERIFY(g_CurMusicPlay.isHiRes);
        QVERIFY(!g_CurMusicPlay.is48kFamily);
        QCOMPARE(songs.count(), 1);
        // About one second of DSD silence waits in the pre-roll list.
        const QList<QByteArray> preRoll = m_MediaBuffer.takePreRoll();
        QVERIFY(!preRoll.isEmpty());
        QCOMPARE(preRoll.first(), QByteArray(blockBytes, char(0x69)));
        const double spu = m_MediaBuffer.secondsPerUnit;
        QVERIFY(preRoll.size() * spu >= 1.0 && (preRoll.size() - 1) * spu < 1.0);
        QCOMPARE(m_UsedBufSize.load(), int(std::ceil(duration / spu - 1e-9)));
    }

    void startThresholdAndTail()
    {
        // 8.5 s: playback starts once more than 5 s are decoded.
        resetRecords(m_fx.path("a.dsf"));
        {
            DsdDecoder d;
            std::atomic<qint64> decodedAtStart{-1}; // written on the decode thread
            connect(
                &d, &DsdDecoder::startPlay, this, [&] { decodedAtStart = g_CurMusicPlay.decodedTime; },
                Qt::DirectConnection);
            QVERIFY(d.open(m_fx.path("a.dsf") + "__M__0__M__1", 0, false));
            QTRY_VERIFY_WITH_TIMEOUT(g_CurMusicPlay.decodeOver, 10000);
            QCOMPARE(decodedAtStart.load(), qint64(6));
        }
        // Less than 6 s left from the start position: the first block starts it.
        resetRecords(m_fx.path("a.dsf"));
        {
            DsdDecoder d;
            std::atomic<qint64> blocksAtStart{-1};
            connect(
                &d, &DsdDecoder::startPlay, this, [&] { blocksAtStart = m_UsedBufSize; }, Qt::DirectConnection);
            QVERIFY(d.open(m_fx.path("a.dsf") + "__M__0__M__1", 3, false));
            QTRY_VERIFY_WITH_TIMEOUT(g_CurMusicPlay.decodeOver, 10000);
            QCOMPARE(blocksAtStart.load(), qint64(1));
            QCOMPARE(g_CurMusicPlay.currentPosition.get(), qint64(3));
        }
        // Tail start: 8 s before the end, and startPlay() is left to the caller.
        resetRecords(m_fx.path("a.dsf"));
        g_CurMusicPlay.tailStart = true;
        {
            DsdDecoder d;
            CrossThreadSpy starts(&d, &DsdDecoder::startPlay);
            QVERIFY(d.open(m_fx.path("a.dsf") + "__M__0__M__1", -1, false));
            QTRY_VERIFY_WITH_TIMEOUT(g_CurMusicPlay.decodeOver, 10000);
            QCOMPARE(g_CurMusicPlay.currentPosition.get(), qint64(0)); // 8 - 8
            QVERIFY(!g_CurMusicPlay.tailStart);
            QCOMPARE(starts.count(), 0);
        }
        // A track shorter than a second still starts.
        resetRecords(m_fx.path("short.dsf"));
        {
            DsdDecoder d;
            CrossThreadSpy starts(&d, &DsdDecoder::startPlay);
            QVERIFY(d.open(m_fx.path("short.dsf") + "__M__0__M__1", 0, false));
            QTRY_COMPARE_WITH_TIMEOUT(starts.count(), 1, 10000);
        }
    }

    void imageTexts()
    {
        resetRecords(m_fx.path("t.iso__M__0__M__1"));
        DsdDecoder d;
        CrossThreadSpy songs(&d, &DsdDecoder::songChanged);
        QVERIFY(d.open(m_fx.path("t.iso__M__0__M__1"), 0, false));
        QTRY_VERIFY_WITH_TIMEOUT(g_CurMusicPlay.decodeOver, 10000);
        QCOMPARE(g_CurMusicPlay.artist.get(), QString::fromUtf8("未知"));
        QCOMPARE(g_CurMusicPlay.album.get(), QStringLiteral("VDX Album"));
        QCOMPARE(songs.count(), 1);
        resetRecords(m_fx.path("t.iso__M__1__M__1"));
        QVERIFY(d.open(m_fx.path("t.iso__M__1__M__1"), 0, false));
        QTRY_VERIFY_WITH_TIMEOUT(g_CurMusicPlay.decodeOver, 10000);
        QCOMPARE(g_CurMusicPlay.artist.get(), QStringLiteral("Someone"));
    }

    void unusableSources_data()
    {
        QTest::addColumn<QString>("item");
        QTest::newRow("dst area") << "a.iso__M__0__M__2";
        QTest::newRow("above dsd256") << "fast.dsf__M__0__M__1";
        QTest::newRow("no such track") << "a.iso__M__5__M__1";
        QTest::newRow("not an image") << "a.dsf.dat__M__0__M__1";
    }
    void unusableSources()
    {
        QFETCH(QString, item);
        if (item.startsWith("a.dsf.dat"))
            QFile::copy(m_fx.path("a.dsf"), m_fx.path("a.dsf.dat"));
        resetRecords(m_fx.path(item));
        g_CurMusicPlay.playState = PlayPlaying;
        DsdDecoder d;
        CrossThreadSpy over(&d, &DsdDecoder::playOver);
        CrossThreadSpy reback(&d, &DsdDecoder::sig_rebackDir);
        CrossThreadSpy starts(&d, &DsdDecoder::startPlay);
        QElapsedTimer t;
        t.start();
        QVERIFY(d.open(m_fx.path(item), 0, true));
        QTRY_VERIFY_WITH_TIMEOUT(g_TempData.dsdNotSupported, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(g_CurMusicPlay.title.get(), QString::fromUtf8("文件格式不支持"), 5000);
        QCOMPARE(g_CurMusicPlay.playState.get(), int(PlayStopped));
        QTRY_COMPARE_WITH_TIMEOUT(over.count(), 1, 6000);
        QVERIFY(t.elapsed() >= 1900);
        QVERIFY(!g_TempData.dsdNotSupported);
        QCOMPARE(starts.count(), 0);
        QVERIFY(!reback.isEmpty());
        QCOMPARE(reback.first().first().toBool(), false);
    }

    // With the output thread on a paced virtual card: the DSD path line (13)
    // is high while the track plays and low afterwards; the card is the DSD
    // device at 44100 Hz in DSD_U16_LE.
    void playsOnTheDsdDevice()
    {
        const QString plugin = TestSandbox::binaryDir() + "/tools/libasound_module_pcm_vdxcard.so";
        QVERIFY2(QFile::exists(plugin), "build the vdxcard target first");
        qputenv("VDX_CARD_PLUGIN", plugin.toLocal8Bit());
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", "paced"});
        QVERIFY(sb.isValid());
        sb.enter();
        Platform::applyEnvironment();
        QVERIFY(!m_fx.make("dsf", "p.dsf", {"--seconds", "2.5"}).isEmpty());
        const QString item = m_fx.path("p.dsf") + "__M__0__M__1";
        resetRecords(item);
        g_TempData.resumePending = true;
        GpioCtrl mute{12}, path{13}, clock{5};
        for (GpioCtrl *g : {&mute, &path, &clock}) {
            g->set_export();
            g->set_direction("out");
            g->set_value(0);
        }
        mute.set_value(1);
        {
            DsdDecoder decoder;
            AudioPlayer player;
            player.setGpioLines(&path, &clock, &mute);
            player.setSourceQuery([] { return int(SourceUsb); });
            connect(
                &decoder, &DsdDecoder::startPlay, &player, [&] { player.play(); }, Qt::QueuedConnection);
            CrossThreadSpy over(&player, &AudioPlayer::playOver);
            auto line = [&](int n) {
                return sb.readFile(QStringLiteral("sys/class/gpio/gpio%1/value").arg(n)).trimmed();
            };
            QVERIFY(decoder.open(item, 0, false));
            QTRY_COMPARE_WITH_TIMEOUT(line(13), QStringLiteral("1"), 5000);
            QTRY_COMPARE_WITH_TIMEOUT(line(12), QStringLiteral("0"), 5000); // sound on
            QTRY_COMPARE_WITH_TIMEOUT(over.count(), 1, 15000);
            QCOMPARE(line(13), QStringLiteral("0"));
            QCOMPARE(line(12), QStringLiteral("1"));
            player.stop(true);
            player.wait(5000);
        }
        const QString log = sb.readFile("var/log/card.log");
        QVERIFY2(log.contains("device=vdx_dsd format=DSD_U16_LE rate=44100 channels=2"), qPrintable(log));
        QVERIFY(log.contains("paced=1"));
        TestSandbox::leave();
    }

    // A ring that holds a block and a half: the half block plays with DSD
    // silence after it, never with the bytes of the block before.
    void shortRingReadPlaysSilenceNotStaleBytes()
    {
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", "unpaced"});
        QVERIFY(sb.isValid());
        sb.enter();
        Platform::applyEnvironment();
        resetRecords(QStringLiteral("/x/short.dsf"));
        g_CurMusicPlay.outputBits = 16;
        g_TempData.inputSampleRate = 44100;
        g_TempData.skipInProgress = false;
        g_CurMusicPlay.duration = 10;
        g_CurMusicPlay.decodeOver = true;
        m_MediaBuffer.clearPreRoll();
        m_MediaBuffer.blockBytes = 4096;
        m_MediaBuffer.blockFrames = 1024;
        m_MediaBuffer.secondsPerUnit = 4096.0 / (44100 * 4);
        QByteArray pattern(6144, Qt::Uninitialized);
        for (int i = 0; i < pattern.size(); ++i)
            pattern[i] = char(i % 199 == 0x69 ? 1 : i % 199);
        CCycleBuffer ring(1 << 16);
        QCOMPARE(ring.Write(pattern.constData(), quint64(pattern.size())), quint64(pattern.size()));
        CCycleBuffer *before = m_MediaBuffer.dsdBuffer.exchange(&ring);
        {
            AudioPlayer player;
            player.setSourceQuery([] { return int(SourceUsb); });
            CrossThreadSpy over(&player, &AudioPlayer::playOver);
            player.play();
            QTRY_COMPARE_WITH_TIMEOUT(over.count(), 1, 15000);
            player.stop(true);
            player.wait(5000);
        }
        m_MediaBuffer.dsdBuffer = before;
        QFile capture(sb.dir() + QStringLiteral("/var/card/dsd.raw"));
        QVERIFY(capture.open(QIODevice::ReadOnly));
        const QByteArray got = capture.readAll();
        QVERIFY(got.size() >= 8192);
        QCOMPARE(got.left(6144), pattern);
        QCOMPARE(got.mid(6144), QByteArray(got.size() - 6144, char(0x69)));
        TestSandbox::leave();
    }

private:
    DsdFixtures m_fx;
};

QTEST_GUILESS_MAIN(TstDsdDecoder)
#include "tst_dsddecoder.moc"
