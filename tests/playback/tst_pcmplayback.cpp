// The decoder and the output thread in-process, driven as the main window
// drives them, on a sandbox's virtual card: GPIO lines over time, positions,
// the end of a track below and above 150 kHz, pause and resume, stop by the
// user, a start while another source is current, unusable files, the tail
// start, a CUE-bounded track and a stream without duration. Also the direct
// path's block layout and the format helpers.
#include "audiodecoder.h"
#include "audioplayer.h"
#include "crossthreadspy.h"
#include "globals.h"
#include "gpioctrl.h"
#include "mediabuffer.h"
#include "pcmformat.h"
#include "pcmreference.h"
#include "platform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The main window's side of playback: the three lines, the decoder, the
// output thread, and startPlay() starting the output thread.
struct Rig {
    GpioCtrl mute{12}, path{13}, clock{5};
    AudioDecoder decoder;
    AudioPlayer player;
    explicit Rig(bool autoStart = true)
    {
        // As the main window does: a line that cannot be set up stays untouched.
        for (GpioCtrl *g : {&mute, &path, &clock}) {
            if (g->set_export() && g->set_direction("out"))
                g->set_value(g == &mute ? 1 : 0);
        }
        player.setGpioLines(&path, &clock, &mute);
        if (autoStart)
            QObject::connect(
                &decoder, &AudioDecoder::startPlay, &player, [this] { player.play(); }, Qt::QueuedConnection);
    }
    ~Rig()
    {
        player.stop(true);
        player.wait(15000);
        decoder.stop(false);
    }
};

void resetRecords(const QString &file, const QString &type = QString())
{
    const QFileInfo info(file);
    g_CurMusicPlay.fileType = type.isEmpty() ? info.suffix().toLower() : type;
    g_CurMusicPlay.filePath = file;
    g_CurMusicPlay.title = info.completeBaseName();
    g_CurMusicPlay.playState = PlayStopped;
    g_CurMusicPlay.seeking = false;
    g_CurMusicPlay.tailStart = false;
    g_CurMusicPlay.startOffset = 0;
    g_CurMusicPlay.duration = 0;
    g_CurMusicPlay.currentPosition = 0;
    g_CurMusicPlay.decodeOver = false;
    g_TempData.resumePending = true;
    g_TempData.skipInProgress = false;
    g_TempData.dsdNotSupported = false;
}

} // namespace

class tst_pcmplayback : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        pcmtest::useThisBuildsCard();
        QVERIFY2(QFile::exists(pcmtest::cardPlugin()), "build the vdxcard target first");
        InitData();
        m_MediaBuffer.pcmBuffer = new BytequeueBuffer(5302880);
        QVERIFY(m_fixtures.isValid());
    }

    void cleanup() { TestSandbox::leave(); }

    void lines_and_end_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<QString>("sampleFmt");
        QTest::addColumn<int>("clock");
        QTest::addColumn<int>("minTailMs"); // last position to playOver
        QTest::addColumn<int>("maxTailMs");
        QTest::addColumn<QString>("card");
        // Paced, the last position comes about a buffer (1 s) before the end.
        QTest::newRow("44.1k 16 bit") << 44100 << "s16" << 0 << 0 << 1800 << "paced";
        QTest::newRow("48k 16 bit") << 48000 << "s16" << 1 << 0 << 1800 << "paced";
        QTest::newRow("192k 24 bit") << 192000 << "s32" << 1 << 1200 << 4000 << "unpaced";
        QTest::newRow("176.4k 16 bit") << 176400 << "s16" << 0 << 2100 << 5000 << "unpaced";
    }

    void lines_and_end()
    {
        QFETCH(int, rate);
        QFETCH(QString, sampleFmt);
        QFETCH(int, clock);
        QFETCH(int, minTailMs);
        QFETCH(int, maxTailMs);
        QFETCH(QString, card);
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", card});
        QVERIFY(sb.isValid());
        enter(sb);
        const QString file = fixture(QStringLiteral("t%1.flac").arg(rate),
                                     QStringLiteral("sine=f=440:r=%1:d=%2").arg(rate).arg(card == "paced" ? 2.5 : 4.5),
                                     {"-ac", "2", "-c:a", "flac", "-sample_fmt", sampleFmt});
        resetRecords(file);
        Rig rig;
        QCOMPARE(line(sb, 12), 1);
        CrossThreadSpy positionSpy(&rig.player, &AudioPlayer::positionChanged);
        CrossThreadSpy over(&rig.player, &AudioPlayer::playOver);
        QVERIFY(rig.decoder.open(file, 0, false));
        QTRY_COMPARE_WITH_TIMEOUT(line(sb, 12), 0, 5000); // unmuted once configured
        QCOMPARE(line(sb, 5), clock);
        QCOMPARE(line(sb, 13), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!over.isEmpty(), 15000);
        QCOMPARE(line(sb, 12), 1); // muted once the card played the track out
        QList<qint64> positions;
        for (const QList<QVariant> &p : positionSpy.calls())
            positions << p.at(0).toLongLong();
        QVERIFY(!positions.isEmpty());
        QCOMPARE(positions.last(), g_CurMusicPlay.duration.get());
        QVERIFY(std::is_sorted(positions.begin(), positions.end()));
        // Timed where the output thread emitted, not where this thread got round to it.
        const qint64 tail = over.timeAt(0) - positionSpy.timeAt(positions.size() - 1);
        QVERIFY2(tail >= minTailMs && tail <= maxTailMs, qPrintable(QString::number(tail)));
        QCOMPARE(g_CurMusicPlay.playState.get(), int(PlayStopped));
        // Every sample reached the card.
        pcmtest::Expected e;
        QVERIFY(pcmtest::expectedFor(file, e));
        const QByteArray got = pcmtest::streamBytes(pcmtest::lastCardStream(sb));
        QCOMPARE(got.size(), e.prerollBytes + e.pcm.size());
        QVERIFY(got.endsWith(e.pcm));
    }

    void pauseAndResume()
    {
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", "paced"});
        QVERIFY(sb.isValid());
        enter(sb);
        const QString file = fixture("p.flac", "sine=f=440:r=44100:d=4.5", {"-ac", "2", "-c:a", "flac"});
        resetRecords(file);
        Rig rig;
        CrossThreadSpy positions(&rig.player, &AudioPlayer::positionChanged);
        CrossThreadSpy over(&rig.player, &AudioPlayer::playOver);
        QVERIFY(rig.decoder.open(file, 0, false));
        QTRY_VERIFY_WITH_TIMEOUT(positions.size() >= 1, 5000);
        rig.player.suspend();
        rig.decoder.suspend();
        QCOMPARE(line(sb, 12), 1);
        QCOMPARE(g_CurMusicPlay.playState.get(), int(PlayPaused));
        const int before = positions.size();
        QTest::qWait(2500); // longer than the ALSA buffer: the card would have run dry
        QCOMPARE(positions.size(), before);
        QVERIFY(over.isEmpty());
        rig.player.resume();
        QCOMPARE(g_CurMusicPlay.playState.get(), int(PlayPlaying));
        QTRY_COMPARE_WITH_TIMEOUT(line(sb, 12), 0, 2000); // sound returns 600 ms later
        QTRY_COMPARE_WITH_TIMEOUT(over.size(), 1, 10000);
        QCOMPARE(positions.last().at(0).toLongLong(), qint64(4));
        pcmtest::Expected e;
        QVERIFY(pcmtest::expectedFor(file, e));
        // The pause lost nothing: an underrun while paused would drop a block.
        QCOMPARE(pcmtest::streamBytes(pcmtest::lastCardStream(sb)), e.pcm);
    }

    void stopByUserNeverReportsOver()
    {
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", "paced"});
        QVERIFY(sb.isValid());
        enter(sb);
        const QString file = fixture("s.flac", "sine=f=440:r=44100:d=6", {"-ac", "2", "-c:a", "flac"});
        resetRecords(file);
        Rig rig;
        CrossThreadSpy positions(&rig.player, &AudioPlayer::positionChanged);
        CrossThreadSpy over(&rig.player, &AudioPlayer::playOver);
        QVERIFY(rig.decoder.open(file, 0, false));
        QTRY_VERIFY_WITH_TIMEOUT(positions.size() >= 1, 5000);
        rig.player.stop(true);
        QCOMPARE(line(sb, 12), 1);
        QVERIFY(rig.player.wait(8000));
        QTest::qWait(300);
        QVERIFY(over.isEmpty());
        QCOMPARE(g_CurMusicPlay.playState.get(), int(PlayStopped));
    }

    void otherSourceStartsPaused()
    {
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", "paced"});
        QVERIFY(sb.isValid());
        enter(sb);
        const QString file = fixture("o.flac", "sine=f=440:r=44100:d=4.5", {"-ac", "2", "-c:a", "flac"});
        resetRecords(file);
        Rig rig;
        int source = 2; // Bluetooth is current
        rig.player.setSourceQuery([&source] { return source; });
        CrossThreadSpy positions(&rig.player, &AudioPlayer::positionChanged);
        CrossThreadSpy over(&rig.player, &AudioPlayer::playOver);
        QVERIFY(rig.decoder.open(file, 0, false));
        QTRY_VERIFY_WITH_TIMEOUT(rig.player.isRunning(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(g_CurMusicPlay.playState.get(), int(PlayPaused), 3000);
        QTest::qWait(1500);
        QVERIFY(positions.isEmpty());
        source = 5;
        rig.player.resume();
        QTRY_COMPARE_WITH_TIMEOUT(over.size(), 1, 10000);
        QCOMPARE(positions.last().at(0).toLongLong(), qint64(4));
    }

    void unusableFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("title");
        QTest::newRow("under 100 bytes") << "tiny" << QStringLiteral("文件格式不支持");
        QTest::newRow("protected wma") << "drm" << QStringLiteral("受保护文件");
        QTest::newRow("not audio") << "text" << QStringLiteral("文件格式不支持");
    }

    void unusableFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, title);
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", "unpaced"});
        enter(sb);
        QString file;
        if (kind == QLatin1String("drm")) {
            file = fixture("p.wma", "sine=d=1", {"-c:a", "wmav2", "-metadata", "ASF_Protection_Type=DrM"});
        } else {
            file = m_fixtures.filePath(kind == QLatin1String("tiny") ? "tiny.mp3" : "notes.flac");
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(kind == QLatin1String("tiny") ? QByteArray(50, '\xff') : QByteArray(4000, 'x'));
        }
        resetRecords(file);
        Rig rig;
        CrossThreadSpy stopPlay(&rig.decoder, &AudioDecoder::stopPlay);
        CrossThreadSpy over(&rig.decoder, &AudioDecoder::playOver);
        CrossThreadSpy start(&rig.decoder, &AudioDecoder::startPlay);
        QElapsedTimer t;
        t.start();
        QVERIFY(rig.decoder.open(file, 0, false));
        QTRY_COMPARE_WITH_TIMEOUT(stopPlay.size(), 1, 5000);
        QCOMPARE(g_CurMusicPlay.title.get(), title);
        QVERIFY(g_TempData.dsdNotSupported);
        QTRY_COMPARE_WITH_TIMEOUT(over.size(), 1, 5000); // the skip, about 2 s later
        QVERIFY(t.elapsed() >= 1900);
        QVERIFY(!g_TempData.dsdNotSupported);
        QVERIFY(start.isEmpty());
    }

    void missingFile()
    {
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", "unpaced"});
        QVERIFY(sb.isValid());
        enter(sb);
        resetRecords("/nonexistent/x.flac");
        Rig rig;
        CrossThreadSpy over(&rig.decoder, &AudioDecoder::playOver);
        QVERIFY(!rig.decoder.open("/nonexistent/x.flac", 0, false));
        QCOMPARE(over.size(), 1);
        QVERIFY(!rig.decoder.isRunning());
    }

    // Only regular files are decoded: opening a FIFO blocks until someone
    // writes it, a device never ends, a folder is no song.
    void nonRegularFilesRefused()
    {
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", "unpaced"});
        QVERIFY(sb.isValid());
        enter(sb);
        for (const char *kind : {"fifo", "zero", "folder"}) {
            const QString path = m_fixtures.filePath(QLatin1String(kind) + QStringLiteral(".flac"));
            if (qstrcmp(kind, "fifo") == 0)
                QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            else if (qstrcmp(kind, "zero") == 0)
                QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
            else
                QVERIFY(QDir().mkpath(path));
            resetRecords(path);
            Rig rig;
            CrossThreadSpy over(&rig.decoder, &AudioDecoder::playOver);
            QElapsedTimer t;
            t.start();
            QVERIFY2(!rig.decoder.open(path, 0, false), kind);
            QVERIFY(t.elapsed() < 2000);
            QCOMPARE(over.size(), 1);
            QVERIFY(!rig.decoder.isRunning());
            QVERIFY2(sb.readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt"))
                         .contains(QStringLiteral("not a regular file, not played: ") + path),
                     kind);
            if (qstrcmp(kind, "folder") == 0)
                QDir(path).removeRecursively();
            else
                QFile::remove(path);
        }
    }

    void stuckRunKeepsItsFields()
    {
        // A decode thread stuck in a read outlives both waits of the next
        // open(). That open gives up with playOver() and leaves the stuck
        // run's fields alone: when the run wakes it must not take the new
        // request's folder flag (nor its path) as its own.
        // open() lets only regular files through; a run still gets stuck
        // when the file changes under it, as on a dying stick: here the
        // path is a regular file when open() looks and a FIFO when the
        // thread opens it 20 ms later (tried again should the thread be
        // first). A writer that opens the FIFO without data keeps the run
        // waiting in its read.
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", "unpaced"});
        QVERIFY(sb.isValid());
        enter(sb);
        const QString wav = fixture("wake.wav", "sine=f=440:r=44100:d=0.2", {"-ac", "2", "-c:a", "pcm_s16le"});
        const QString next = fixture("next.flac", "sine=f=440:r=44100:d=1", {"-ac", "2", "-c:a", "flac"});
        QFile wake(wav);
        QVERIFY(wake.open(QIODevice::ReadOnly));
        const QByteArray wakeBytes = wake.readAll();
        QVERIFY(wakeBytes.size() > 1000 && wakeBytes.size() < 60000); // fits a pipe: the write never blocks
        const QString stuck = m_fixtures.filePath("stuck.wav");
        const QString pipe = m_fixtures.filePath("stuck.fifo");
        AudioDecoder decoder;
        int writer = -1;
        for (int attempt = 0; attempt < 10 && writer < 0; ++attempt) {
            QFile::remove(stuck);
            QFile::remove(pipe);
            QVERIFY(QFile::copy(wav, stuck));
            QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
            resetRecords(stuck);
            QVERIFY(decoder.open(stuck, 0, false));
            QCOMPARE(::rename(QFile::encodeName(pipe).constData(), QFile::encodeName(stuck).constData()), 0);
            // A non-blocking writer gets in only while a reader waits.
            QElapsedTimer t;
            t.start();
            while (writer < 0 && t.elapsed() < 2000) {
                writer = ::open(QFile::encodeName(stuck).constData(), O_WRONLY | O_NONBLOCK);
                if (writer < 0)
                    QTest::qWait(20);
            }
            if (writer < 0)
                decoder.stop(false); // the thread had the regular file
        }
        QVERIFY(writer >= 0);
        CrossThreadSpy over(&decoder, &AudioDecoder::playOver);
        CrossThreadSpy reback(&decoder, &AudioDecoder::sig_rebackDir);
        CrossThreadSpy start(&decoder, &AudioDecoder::startPlay);
        resetRecords(next);
        QVERIFY(decoder.open(next, 0, true)); // two waits of 7 s
        QCOMPARE(over.size(), 1);
        QVERIFY(decoder.isRunning());
        QCOMPARE(::write(writer, wakeBytes.constData(), size_t(wakeBytes.size())), ssize_t(wakeBytes.size()));
        ::close(writer);
        QVERIFY(decoder.wait(10000));
        QTest::qWait(100);
        QVERIFY(reback.isEmpty());
        QVERIFY(start.isEmpty());
    }

    void tailStart()
    {
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", "unpaced"});
        enter(sb);
        const QString file = fixture("tail.flac", "sine=f=440:r=44100:d=12", {"-ac", "2", "-c:a", "flac"});
        resetRecords(file);
        g_CurMusicPlay.tailStart = true;
        Rig rig(false);
        CrossThreadSpy start(&rig.decoder, &AudioDecoder::startPlay);
        CrossThreadSpy positions(&rig.player, &AudioPlayer::positionChanged);
        CrossThreadSpy over(&rig.player, &AudioPlayer::playOver);
        QVERIFY(rig.decoder.open(file, 0, false));
        QTRY_VERIFY_WITH_TIMEOUT(g_CurMusicPlay.decodeOver, 5000);
        QCOMPARE(g_CurMusicPlay.currentPosition.get(), qint64(4));
        QVERIFY(!g_CurMusicPlay.tailStart);
        QVERIFY(start.isEmpty());
        rig.player.play(); // the controller starts the output itself
        QTRY_COMPARE_WITH_TIMEOUT(over.size(), 1, 10000);
        QVERIFY(positions.first().at(0).toLongLong() >= 5);
        QCOMPARE(positions.last().at(0).toLongLong(), qint64(12));
        pcmtest::Expected e;
        QVERIFY(pcmtest::expectedFor(file, e));
        // From the frame the backward seek found, before 4 s, to the end.
        const QByteArray got = pcmtest::streamBytes(pcmtest::lastCardStream(sb));
        QVERIFY(got.size() >= 8 * 176400 && got.size() < 9 * 176400);
        QVERIFY(e.pcm.endsWith(got));
    }

    void cueTrack()
    {
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", "unpaced"});
        enter(sb);
        const QString file = fixture(
            "album.wav", "aevalsrc=0.5*sin(2*PI*440*t)|0.5*sin(2*PI*(200+30*t)*t):s=44100:d=10", {"-c:a", "pcm_s16le"});
        resetRecords(m_fixtures.filePath("album.cue"), "cue");
        g_CurMusicPlay.startOffset = 3;
        g_CurMusicPlay.duration = 4;
        g_CurMusicPlay.currentPosition = 3;
        Rig rig;
        CrossThreadSpy positions(&rig.player, &AudioPlayer::positionChanged);
        CrossThreadSpy over(&rig.player, &AudioPlayer::playOver);
        QVERIFY(rig.decoder.open(file, 3, false));
        QTRY_COMPARE_WITH_TIMEOUT(over.size(), 1, 10000);
        QCOMPARE(g_CurMusicPlay.duration.get(), qint64(4)); // the caller's length is kept
        QCOMPARE(positions.last().at(0).toLongLong(), qint64(4));
        for (const auto &p : positions.calls())
            QVERIFY(p.at(0).toLongLong() <= 4);
        pcmtest::Expected e;
        QVERIFY(pcmtest::expectedFor(file, e));
        const QByteArray got = pcmtest::streamBytes(pcmtest::lastCardStream(sb));
        const double seconds = got.size() / 176400.0;
        QVERIFY2(seconds >= 4.0 && seconds <= 4.6, qPrintable(QString::number(seconds)));
        QCOMPARE(got, e.pcm.mid(3 * 176400, got.size()));
    }

    void streamWithoutDuration()
    {
        TestSandbox sb({"--mcu", "none", "--keys", "none", "--card", "unpaced"});
        enter(sb);
        // A FLAC stream written to a pipe carries no length.
        const QString file = m_fixtures.filePath("nodur.flac");
        QProcess p;
        p.setStandardOutputFile(file);
        p.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=f=440:r=44100:d=4.5", "-ac", "2", "-c:a", "flac",
                           "-f", "flac", "pipe:1"});
        QVERIFY(p.waitForFinished(30000) && p.exitCode() == 0);
        resetRecords(file);
        Rig rig;
        CrossThreadSpy positions(&rig.player, &AudioPlayer::positionChanged);
        CrossThreadSpy over(&rig.player, &AudioPlayer::playOver);
        QVERIFY(rig.decoder.open(file, 0, false));
        QTRY_COMPARE_WITH_TIMEOUT(over.size(), 1, 10000);
        QVERIFY(g_CurMusicPlay.noDuration);
        QVERIFY(positions.isEmpty());
        pcmtest::Expected e;
        QVERIFY(pcmtest::expectedFor(file, e));
        QCOMPARE(pcmtest::streamBytes(pcmtest::lastCardStream(sb)), e.pcm);
    }

    void stereoBlock_data()
    {
        QTest::addColumn<int>("fmt");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QVector<double>>("samples"); // per channel, channel after channel
        QTest::addColumn<QVector<int>>("expected");   // interleaved L R
        QTest::newRow("fltp clamp and truncate")
            << int(AV_SAMPLE_FMT_FLTP) << 2 << QVector<double>{1.5, 1.0, 0.5, -0.00002, -1.0, -1.5}
            << QVector<int>{32767, 0, 32767, -32767, 16383, -32767};
        QTest::newRow("fltp mono doubled")
            << int(AV_SAMPLE_FMT_FLTP) << 1 << QVector<double>{-1.5, 0.25} << QVector<int>{-32767, -32767, 8191, 8191};
        QTest::newRow("s16p interleaved") << int(AV_SAMPLE_FMT_S16P) << 2 << QVector<double>{1, 2, 3, -1, -2, -3}
                                          << QVector<int>{1, -1, 2, -2, 3, -3};
        QTest::newRow("s16 mono doubled")
            << int(AV_SAMPLE_FMT_S16) << 1 << QVector<double>{7, -8} << QVector<int>{7, 7, -8, -8};
        QTest::newRow("s32p interleaved")
            << int(AV_SAMPLE_FMT_S32P) << 2 << QVector<double>{65536, -65536} << QVector<int>{65536, -65536};
        QTest::newRow("s32 packed stereo")
            << int(AV_SAMPLE_FMT_S32) << 2 << QVector<double>{100, 200, 300, 400} << QVector<int>{100, 200, 300, 400};
    }

    void stereoBlock()
    {
        QFETCH(int, fmt);
        QFETCH(int, channels);
        QFETCH(QVector<double>, samples);
        QFETCH(QVector<int>, expected);
        const auto f = AVSampleFormat(fmt);
        const int n = samples.size() / channels;
        AVFrame *frame = av_frame_alloc();
        frame->format = fmt;
        frame->nb_samples = n;
        av_channel_layout_default(&frame->ch_layout, channels);
        QCOMPARE(av_frame_get_buffer(frame, 0), 0);
        const bool planar = av_sample_fmt_is_planar(f);
        for (int c = 0; c < channels; ++c) {
            for (int i = 0; i < n; ++i) {
                // Planar rows list each channel's samples; packed rows list frames.
                const double v = planar ? samples[c * n + i] : samples[i * channels + c];
                uint8_t *dst = planar ? frame->extended_data[c] : frame->extended_data[0];
                const int idx = planar ? i : i * channels + c;
                switch (av_get_packed_sample_fmt(f)) {
                case AV_SAMPLE_FMT_FLT:
                    reinterpret_cast<float *>(dst)[idx] = float(v);
                    break;
                case AV_SAMPLE_FMT_S16:
                    reinterpret_cast<int16_t *>(dst)[idx] = int16_t(v);
                    break;
                case AV_SAMPLE_FMT_S32:
                    reinterpret_cast<int32_t *>(dst)[idx] = int32_t(v);
                    break;
                default:
                    break;
                }
            }
        }
        std::vector<uint8_t> block;
        const int bytes = writeStereoBlock(frame, block);
        const int width = av_get_packed_sample_fmt(f) == AV_SAMPLE_FMT_S32 ? 4 : 2;
        QCOMPARE(bytes, n * 2 * width);
        QVector<int> got;
        for (int i = 0; i < bytes / width; ++i)
            got << (width == 2 ? int(reinterpret_cast<int16_t *>(block.data())[i])
                               : reinterpret_cast<int32_t *>(block.data())[i]);
        av_frame_free(&frame);
        QCOMPARE(got, expected);
    }

    void formatHelpers_data()
    {
        QTest::addColumn<int>("fmt");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("converted"); // check_bit_fmt
        QTest::newRow("u8") << int(AV_SAMPLE_FMT_U8) << 16 << "8bit" << true;
        QTest::newRow("s16") << int(AV_SAMPLE_FMT_S16) << 16 << "16bit" << false;
        QTest::newRow("s32") << int(AV_SAMPLE_FMT_S32) << 32 << "24bit" << false;
        QTest::newRow("flt") << int(AV_SAMPLE_FMT_FLT) << 16 << "32bit" << true;
        QTest::newRow("dbl") << int(AV_SAMPLE_FMT_DBL) << 16 << "64bit" << true;
        QTest::newRow("s16p") << int(AV_SAMPLE_FMT_S16P) << 16 << "16bit" << true;
        QTest::newRow("s32p") << int(AV_SAMPLE_FMT_S32P) << 32 << "24bit" << true;
        QTest::newRow("fltp") << int(AV_SAMPLE_FMT_FLTP) << 16 << "32bit" << true;
        QTest::newRow("s64") << int(AV_SAMPLE_FMT_S64) << 64 << "32bit" << true;
        QTest::newRow("none") << int(AV_SAMPLE_FMT_NONE) << 1 << "" << false;
    }

    void formatHelpers()
    {
        QFETCH(int, fmt);
        QFETCH(int, bits);
        QFETCH(QString, label);
        QFETCH(bool, converted);
        QCOMPARE(get_bits_presample(AVSampleFormat(fmt)), bits);
        QCOMPARE(get_samplerRate(AVSampleFormat(fmt)), label);
        QCOMPARE(check_bit_fmt(AVSampleFormat(fmt)), converted);
        QCOMPARE(AudioDecoder::Is_BIT32_Data(AVSampleFormat(fmt)),
                 fmt == AV_SAMPLE_FMT_S32 || fmt == AV_SAMPLE_FMT_S32P);
    }

private:
    void enter(const TestSandbox &sb)
    {
        sb.enter();
        Platform::applyEnvironment();
    }

    static int line(const TestSandbox &sb, int n)
    {
        const QString v = sb.readFile(QStringLiteral("sys/class/gpio/gpio%1/value").arg(n));
        return v.isEmpty() ? -1 : v.at(0).digitValue();
    }

    QString fixture(const QString &name, const QString &lavfi, const QStringList &options)
    {
        const QString path = m_fixtures.filePath(name);
        if (!QFile::exists(path) && !pcmtest::makeFixture(path, lavfi, options))
            return QString();
        return path;
    }

    QTemporaryDir m_fixtures;
};

QTEST_GUILESS_MAIN(tst_pcmplayback)
#include "tst_pcmplayback.moc"
