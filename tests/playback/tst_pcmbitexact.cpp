// End to end: fixtures of every PCM kind the player meets, played by
// `klvtool play` on the sandbox's unpaced virtual card; what the card got
// must equal, byte for byte, the reference computed here with libavcodec and
// libswresample (and the silence pre-roll where it applies).
#include "pcmreference.h"

#include <QProcessEnvironment>
#include <QtTest>

class tst_pcmbitexact : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        pcmtest::useThisBuildsCard();
        QVERIFY2(QFile::exists(pcmtest::cardPlugin()), "build the vdxcard target first");
        QVERIFY2(QFile::exists(klvtool()), "build klvtool first");
        m_sb.reset(new TestSandbox({"--mcu", "none", "--keys", "none", "--card", "unpaced"}));
        QVERIFY(m_sb->isValid());
    }
    void cleanupTestCase() { m_sb.reset(); }

    void play_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("cardFormat");
        QTest::addColumn<int>("cardRate");

        const QString noise = QStringLiteral("anoisesrc=d=4.5:c=pink:r=%1:a=0.4");
        const QString tones = QStringLiteral("aevalsrc=0.5*sin(2*PI*440*t)|0.4*sin(2*PI*660*t):s=%1:d=4.5");
        QTest::newRow("flac 16/44.1") << "a.flac" << noise.arg(44100)
                                      << QStringList{"-ac", "2", "-c:a", "flac", "-sample_fmt", "s16"} << "S16_LE"
                                      << 44100;
        QTest::newRow("flac 24/96") << "b.flac" << noise.arg(96000)
                                    << QStringList{"-ac", "2", "-c:a", "flac", "-sample_fmt", "s32"} << "S32_LE"
                                    << 96000;
        QTest::newRow("flac 24/192") << "b192.flac" << tones.arg(192000)
                                     << QStringList{"-c:a", "flac", "-sample_fmt", "s32"} << "S32_LE" << 192000;
        QTest::newRow("wav mono 16") << "c.wav" << noise.arg(44100) << QStringList{"-ac", "1", "-c:a", "pcm_s16le"}
                                     << "S16_LE" << 44100;
        QTest::newRow("wav 24/48 s32") << "c24.wav" << tones.arg(48000) << QStringList{"-c:a", "pcm_s24le"} << "S32_LE"
                                       << 48000;
        // Loud enough that decoded samples pass +-1.0 and meet the clamp.
        QTest::newRow("mp3 fltp") << "d.mp3"
                                  << "aevalsrc=1.4*sin(2*PI*220*t)|1.2*sin(2*PI*330*t):s=44100:d=4.5"
                                  << QStringList{"-c:a", "libmp3lame", "-b:a", "192k"} << "S16_LE" << 44100;
        QTest::newRow("wav 22.05k") << "e.wav" << tones.arg(22050) << QStringList{"-c:a", "pcm_s16le"} << "S16_LE"
                                    << 44100;
        QTest::newRow("wav 352.8k s32") << "f.wav" << tones.arg(352800) << QStringList{"-c:a", "pcm_s32le"} << "S32_LE"
                                        << 192000;
        QTest::newRow("flac six channels")
            << "g.flac"
            << "aevalsrc=0.3*sin(2*PI*200*t)|0.3*sin(2*PI*300*t)|0.3*sin(2*PI*400*t)|0.3*sin(2*PI*50*t)|"
               "0.3*sin(2*PI*500*t)|0.3*sin(2*PI*600*t):s=48000:d=4.5:c=5.1"
            << QStringList{"-c:a", "flac", "-sample_fmt", "s16"} << "S16_LE" << 48000;
        QTest::newRow("wav flt") << "h.wav" << tones.arg(48000) << QStringList{"-c:a", "pcm_f32le"} << "S16_LE"
                                 << 48000;
        QTest::newRow("wav dbl") << "i.wav" << tones.arg(44100) << QStringList{"-c:a", "pcm_f64le"} << "S16_LE"
                                 << 44100;
        QTest::newRow("wav u8 8k mono") << "j.wav" << noise.arg(8000) << QStringList{"-ac", "1", "-c:a", "pcm_u8"}
                                        << "S16_LE" << 44100;
    }

    void play()
    {
        QFETCH(QString, file);
        QFETCH(QString, source);
        QFETCH(QStringList, options);
        QFETCH(QString, cardFormat);
        QFETCH(int, cardRate);

        const QString path = m_sb->dir() + QStringLiteral("/") + file;
        QVERIFY(pcmtest::makeFixture(path, source, options));
        pcmtest::Expected e;
        QVERIFY(pcmtest::expectedFor(path, e));
        QCOMPARE(e.cardRate, cardRate);
        QCOMPARE(e.cardFormat, cardFormat);

        const QString capture = path + QStringLiteral(".capture");
        QString out;
        QCOMPARE(runKlvtool({"play", path, "--capture", capture}, &out), 0);
        QVERIFY2(out.contains(QStringLiteral("position 4/4")), qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("\nend\n")));

        const auto stream = pcmtest::lastCardStream(*m_sb);
        QCOMPARE(stream.value("device"), QStringLiteral("vdx_pcm"));
        QCOMPARE(stream.value("format"), cardFormat);
        QCOMPARE(stream.value("rate").toInt(), cardRate);
        QCOMPARE(stream.value("channels").toInt(), 2);

        QFile f(capture);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray got = f.readAll();
        QCOMPARE(got, pcmtest::streamBytes(stream)); // the tee saw what the card got

        const QByteArray expected = QByteArray(e.prerollBytes, '\0') + e.pcm;
        const qint64 diff = pcmtest::firstDifference(got, expected);
        QVERIFY2(diff < 0, qPrintable(QStringLiteral("first difference at byte %1 of %2 (expected %3, pre-roll %4)")
                                          .arg(diff)
                                          .arg(got.size())
                                          .arg(expected.size())
                                          .arg(e.prerollBytes)));
        if (e.converted || cardRate > 100000)
            QVERIFY(e.prerollBytes > 0);
    }

private:
    static QString klvtool() { return TestSandbox::binaryDir() + QStringLiteral("/tools/klvtool/klvtool"); }

    int runKlvtool(const QStringList &args, QString *out)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VDX_SANDBOX"), m_sb->dir());
        env.remove(QStringLiteral("ALSA_CONFIG_PATH"));
        p.setProcessEnvironment(env);
        p.start(klvtool(), args);
        if (!p.waitForFinished(120000))
            return -1;
        *out = QString::fromUtf8(p.readAllStandardOutput());
        if (p.exitCode() != 0)
            qWarning("%s", p.readAllStandardError().constData());
        return p.exitCode();
    }

    std::unique_ptr<TestSandbox> m_sb;
};

QTEST_GUILESS_MAIN(tst_pcmbitexact)
#include "tst_pcmbitexact.moc"
