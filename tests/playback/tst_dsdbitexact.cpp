// End to end: generated DSF, DSDIFF and SACD images (and a CUE track of a
// DSF file) played by `klvtool play` on the sandbox's unpaced virtual card.
// The card must get DSD silence (the pre-roll), then the generator's bit
// stream as DSD_U16_LE words, then DSD silence to the end of the last block,
// at the DSD rate / 64 with the stated latency.
#include "dsdfixtures.h"

#include <QJsonArray>
#include <QProcessEnvironment>
#include <QtTest>

namespace {

QString cardPlugin()
{
    return TestSandbox::binaryDir() + QStringLiteral("/tools/libasound_module_pcm_vdxcard.so");
}

QMap<QString, QString> lastCardStream(const TestSandbox &sb)
{
    QMap<QString, QString> m;
    const QStringList lines = sb.readFile(QStringLiteral("var/log/card.log")).split('\n', Qt::SkipEmptyParts);
    // The stream lines ("vdxcard ..."), not the first-byte marks.
    QString last;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("vdxcard ")))
            last = line;
    }
    for (const QString &kv : last.split(' ', Qt::SkipEmptyParts)) {
        const int eq = kv.indexOf('=');
        if (eq > 0)
            m.insert(kv.left(eq), kv.mid(eq + 1));
    }
    return m;
}

} // namespace

class TstDsdBitExact : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("VDX_CARD_PLUGIN", cardPlugin().toLocal8Bit());
        QVERIFY2(QFile::exists(cardPlugin()), "build the vdxcard target first");
        QVERIFY2(QFile::exists(klvtool()), "build klvtool first");
        m_sb.reset(new TestSandbox({"--mcu", "none", "--keys", "none", "--card", "unpaced"}));
        QVERIFY(m_sb->isValid());
    }
    void cleanupTestCase() { m_sb.reset(); }

    void play_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("genOptions");
        QTest::addColumn<QString>("item"); // the file name and selectors
        QTest::addColumn<QStringList>("playOptions");
        QTest::addColumn<int>("area"); // of the generator's stream
        QTest::addColumn<int>("track");
        QTest::addColumn<int>("channels");
        QTest::addColumn<qint64>("bytes"); // per channel of the track
        QTest::addColumn<int>("start");    // --start SECONDS
        QTest::addColumn<int>("cardRate");
        QTest::addColumn<int>("blockBytes");

        QTest::newRow("dsf dsd64") << "dsf" << QStringList{"--seconds", "6.3"} << "a.dsf" << QStringList() << 0 << 0
                                   << 2 << qint64(6.3 * 352800) << 0 << 44100 << 32768;
        QTest::newRow("dsf dsd256 msb-first")
            << "dsf" << QStringList{"--seconds", "2.4", "--rate", "11289600", "--msb"} << "b.dsf" << QStringList() << 0
            << 0 << 2 << qint64(2.4 * 1411200) << 0 << 176400 << 32768;
        QTest::newRow("dsf mono") << "dsf" << QStringList{"--seconds", "2.2", "--channels", "1"} << "m.dsf"
                                  << QStringList() << 0 << 0 << 1 << qint64(2.2 * 352800) << 0 << 44100 << 32768;
        // --start 2: whole block groups of 4096 bytes per channel.
        QTest::newRow("dsf seek") << "dsf" << QStringList{"--seconds", "4.5"} << "s.dsf" << QStringList{"--start", "2"}
                                  << 0 << 0 << 2 << qint64(4.5 * 352800) << 2 << 44100 << 32768;
        QTest::newRow("dsdiff track 2 with a partial last frame")
            << "dff" << QStringList{"--tracks", "1.5,2.6", "--markers", "start", "--tail", "5"} << "d.dff__M__1__M__1"
            << QStringList() << 0 << 1 << 2 << qint64(195 * 4704 + 5) << 0 << 44100 << 37632;
        QTest::newRow("dsdiff seek") << "dff" << QStringList{"--tracks", "4.0"} << "e.dff__M__0__M__1"
                                     << QStringList{"--start", "1"} << 0 << 0 << 2 << qint64(300 * 4704) << 1 << 44100
                                     << 37632;
        QTest::newRow("image 2048, last track")
            << "iso" << QStringList{"--tracks", "1.0,2.5", "--sector", "2048"} << "i.iso__M__1__M__1" << QStringList()
            << 1 << 1 << 2 << qint64(188 * 4704) << 0 << 44100 << 37632;
        QTest::newRow("image 2064, first track")
            << "iso" << QStringList{"--tracks", "2.2,1.0", "--sector", "2064"} << "j.iso__M__0__M__1" << QStringList()
            << 1 << 0 << 2 << qint64(165 * 4704) << 0 << 44100 << 37632;
        QTest::newRow("image multichannel area: front pair")
            << "iso" << QStringList{"--tracks", "1.6", "--areas", "multi", "--mc-channels", "5"} << "k.iso__M__0__M__2"
            << QStringList() << 2 << 0 << 2 << qint64(120 * 4704) << 0 << 44100 << 37632;
    }
    void play()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, genOptions);
        QFETCH(QString, item);
        QFETCH(QStringList, playOptions);
        QFETCH(int, area);
        QFETCH(int, track);
        QFETCH(int, channels);
        QFETCH(qint64, bytes);
        QFETCH(int, start);
        QFETCH(int, cardRate);
        QFETCH(int, blockBytes);
        const QString seed = QString::fromLatin1(QTest::currentDataTag());
        const QString file = item.section(QStringLiteral("__M__"), 0, 0);
        QVERIFY2(!m_fx.make(kind, file, QStringList{"--seed", seed} + genOptions).isEmpty(),
                 qPrintable(m_fx.lastError()));
        // A start position counts in blocks: the track's whole seconds spread
        // over its blocks (the last one short); playback begins at that block.
        const qint64 outBytes = 2 * bytes;
        const qint64 blocks = (outBytes + blockBytes - 1) / blockBytes;
        const qint64 seconds = bytes * 8 / (cardRate * 64);
        const qint64 skipBlocks = start ? qint64(start / (double(seconds) / blocks)) : 0;
        const QByteArray want = m_fx.expected(seed, area, track, channels, bytes).mid(int(skipBlocks * blockBytes));
        QVERIFY(!want.isEmpty());
        QByteArray got;
        QString out;
        QCOMPARE(play(m_fx.path(item), playOptions, got, &out), 0);
        QVERIFY2(out.contains(QStringLiteral("\nend\n")), qPrintable(out));

        const auto stream = lastCardStream(*m_sb);
        QCOMPARE(stream.value("device"), QStringLiteral("vdx_dsd"));
        QCOMPARE(stream.value("format"), QStringLiteral("DSD_U16_LE"));
        QCOMPARE(stream.value("channels").toInt(), 2);
        QCOMPARE(stream.value("rate").toInt(), cardRate);
        // 1 s of buffer up to 88200 Hz, 5 s above.
        const double latency = stream.value("buffer").toDouble() / cardRate;
        QVERIFY2(qAbs(latency - (cardRate > 88200 ? 5.0 : 1.0)) < 0.05, qPrintable(stream.value("buffer")));

        // Pre-roll of whole silence blocks (about a second), the stream, then
        // silence to the end of its last block.
        const int at = got.indexOf(want);
        QVERIFY2(at >= 0, "the generator's stream is not in what the card got");
        QCOMPARE(at % blockBytes, 0);
        QVERIFY(at >= 4 * cardRate * 9 / 10); // about a second of words at the card rate
        QCOMPARE(got.left(at), QByteArray(at, char(0x69)));
        const QByteArray tail = got.mid(at + want.size());
        QVERIFY(tail.size() < blockBytes);
        QCOMPARE(tail, QByteArray(tail.size(), char(0x69)));
        QCOMPARE((at + want.size() + tail.size()) % blockBytes, 0);
    }

    void cueTrackOfADsfFile()
    {
        QVERIFY(!m_fx.make("dsf", "album.dsf", {"--seed", "cue", "--seconds", "9.0"}).isEmpty());
        QFile sheet(m_fx.path("album.cue"));
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write("PERFORMER \"P\"\nTITLE \"DSD Album\"\nFILE \"album.dsf\" WAVE\n"
                    "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
                    "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 00 00:03:00\n    INDEX 01 00:04:00\n");
        sheet.close();
        QByteArray got;
        QString out;
        QCOMPARE(play(m_fx.path("album.cue"), {"--title", "Two"}, got, &out), 0);
        QVERIFY2(out.contains(QStringLiteral("track Two | P | DSD Album | 2.8MHz | 5 s")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("position 5/5")), qPrintable(out));
        QCOMPARE(lastCardStream(*m_sb).value("format"), QStringLiteral("DSD_U16_LE"));
        // The track starts at 4 s: the groups from there on, at least its 5 s.
        const qint64 group = 4 * 352800 / 4096;
        const QByteArray all = m_fx.expected("cue", 0, 0, 2, 9 * 352800);
        const QByteArray head = all.mid(int(group * 8192), 5 * 705600);
        const int at = got.indexOf(head);
        QVERIFY(at > 0);
        QCOMPARE(got.left(at), QByteArray(at, char(0x69)));
    }

    void unusableItemsFail()
    {
        QVERIFY(!m_fx.make("iso", "dst.iso", {"--dst-area", "two", "--tracks", "0.5"}).isEmpty());
        QByteArray got;
        QString out;
        QCOMPARE(play(m_fx.path("dst.iso__M__0__M__1"), {}, got, &out), 1);
    }

private:
    static QString klvtool() { return TestSandbox::binaryDir() + QStringLiteral("/tools/klvtool/klvtool"); }

    int play(const QString &item, const QStringList &options, QByteArray &capture, QString *out)
    {
        const QString cap = m_fx.path(QStringLiteral("capture.raw"));
        QFile::remove(cap);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VDX_SANDBOX"), m_sb->dir());
        env.remove(QStringLiteral("ALSA_CONFIG_PATH"));
        p.setProcessEnvironment(env);
        p.start(klvtool(), QStringList{"play", item, "--capture", cap} + options);
        if (!p.waitForFinished(120000))
            return -1;
        *out = QString::fromUtf8(p.readAllStandardOutput());
        QFile f(cap);
        if (f.open(QIODevice::ReadOnly))
            capture = f.readAll();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    std::unique_ptr<TestSandbox> m_sb;
    DsdFixtures m_fx;
};

QTEST_GUILESS_MAIN(TstDsdBitExact)
#include "tst_dsdbitexact.moc"
