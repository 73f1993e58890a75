// klvtool as a technician meets it: only results on standard output, the log
// only with --verbose, and refusals that say in English what is wrong with
// a non-zero exit status (play on a sandbox's virtual card, db on library
// files and on files that are none).
#include "testsandbox.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

} // namespace

class TstKlvtool : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSandbox> m_sb;
    QTemporaryDir m_tmp;

    QString file(const QString &name) const { return m_tmp.filePath(name); }

    Run klvtool(const QStringList &args) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VDX_SANDBOX"), m_sb->dir());
        env.remove(QStringLiteral("ALSA_CONFIG_PATH"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_tmp.path());
        p.start(TestSandbox::binaryDir() + QStringLiteral("/tools/klvtool/klvtool"), args);
        Run r;
        if (!p.waitForFinished(120000))
            return r;
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    static bool run(const QString &program, const QStringList &args)
    {
        QProcess p;
        p.start(program, args);
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        m_sb = std::make_unique<TestSandbox>(QStringList{"--mcu", "none", "--keys", "none", "--card", "unpaced"});
        QVERIFY(m_sb->isValid());
        QVERIFY(run(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=3", "-ac", "2",
                                               file(QStringLiteral("tone.flac"))}));
        const QString gen = TestSandbox::sourceDir() + QStringLiteral("/tools/dsdgen/dsdgen.py");
        QVERIFY(run(QStringLiteral("/usr/bin/python3"),
                    {gen, "iso", file(QStringLiteral("disc.iso")), "--areas", "two", "--tracks", "1,1"}));
        QVERIFY(QDir().mkpath(file(QStringLiteral("music/A"))));
        QVERIFY(QFile::copy(file(QStringLiteral("tone.flac")), file(QStringLiteral("music/A/song.flac"))));
        QFile notes(file(QStringLiteral("notes.db")));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not a database\n");
    }

    // A track played to its end: only the player's results on standard
    // output (no GPIO or decoder chatter), nothing on standard error.
    void playPrintsOnlyResults()
    {
        const Run r = klvtool({"play", "tone.flac"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(lines.first().startsWith(QStringLiteral("track tone | ")));
        QCOMPARE(lines.last(), QStringLiteral("end"));
        const QRegularExpression position(QStringLiteral("^position \\d+/3$"));
        for (const QString &l : lines.mid(1, lines.size() - 2))
            QVERIFY2(position.match(l).hasMatch(), qPrintable(l));
    }

    // --verbose adds the log, on standard error, with level and category.
    void verboseAddsTheLog()
    {
        const Run r = klvtool({"--verbose", "play", "tone.flac"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains(QStringLiteral("debug vdx.gpio: GPIO_12 export success")), qPrintable(r.err));
        QVERIFY(!r.out.contains(QStringLiteral("GPIO")));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("start not a number") << QStringList{"play", "tone.flac", "--start", "1m"} << 2
                                            << "klvtool play: --start takes whole seconds from 0 on, not \"1m\"";
        QTest::newRow("start past the end") << QStringList{"play", "tone.flac", "--start", "3"} << 2
                                            << "klvtool play: --start 3 is beyond the end of the track (3 s long)";
        QTest::newRow("no such track") << QStringList{"play", "disc.iso__M__5__M__1"} << 2
                                       << "has no track 5 in the two-channel area (its tracks are 0 to 1)";
        QTest::newRow("area missing") << QStringList{"play", "disc.iso__M__0__M__2"} << 2
                                      << "disc.iso has no tracks in the multichannel area";
        QTest::newRow("no such area") << QStringList{"play", "disc.iso__M__0__M__7"} << 2
                                      << "klvtool play: there is no area 7";
        QTest::newRow("capture not writable") << QStringList{"play", "tone.flac", "--capture", "no/such/folder/out.raw"}
                                              << 1 << "klvtool play: cannot write the capture file";
        QTest::newRow("not audio") << QStringList{"play", "notes.db"} << 1
                                   << "notes.db cannot be played (not a supported audio file, protected or damaged)";
        QTest::newRow("db on a file that is no library")
            << QStringList{"db", "notes.db", "volumes"} << 1
            << "klvtool db: notes.db is not a library file (file is not a database)";
        QTest::newRow("db without the file")
            << QStringList{"db", "none.db", "config"} << 1 << "klvtool db: no library file none.db";
        QTest::newRow("search on a type without names")
            << QStringList{"db", "lib.db", "search", "3", "x"} << 2 << "search takes TYPE 1 artist, 2 album or 4";
        QTest::newRow("unknown command") << QStringList{"plya"} << 2 << "klvtool: no command \"plya\"";
    }
    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        if (args.contains(QStringLiteral("lib.db")) && !QFile::exists(file(QStringLiteral("lib.db"))))
            QCOMPARE(klvtool({"scan", "music", "--db", "lib.db", "--interval", "0", "--quiet"}).code, 0);
        const Run r = klvtool(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY2(r.out.isEmpty(), qPrintable(r.out));
    }

    // A captured track: the file holds what the card received.
    void captureIsWritten()
    {
        const Run r = klvtool({"play", "tone.flac", "--capture", "out.raw"});
        QCOMPARE(r.code, 0);
        QCOMPARE(QFileInfo(file(QStringLiteral("out.raw"))).size(), qint64(3 * 44100 * 4));
    }

    // db reads a library without changing a byte of it; volumes explains
    // its status numbers; a search that finds nothing says what it matched.
    void dbIsReadOnlyAndSaysWhatItShows()
    {
        if (!QFile::exists(file(QStringLiteral("lib.db"))))
            QCOMPARE(klvtool({"scan", "music", "--db", "lib.db", "--interval", "0", "--quiet"}).code, 0);
        QFile f(file(QStringLiteral("lib.db")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        const Run volumes = klvtool({"db", "lib.db", "volumes"});
        QCOMPARE(volumes.code, 0);
        const QStringList rows = volumes.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows.at(0).startsWith(QStringLiteral("id\tslot\tstatus\tstate\t")));
        QVERIFY2(rows.at(1).startsWith(QStringLiteral("1\t1\t2\tscanned\t")), qPrintable(rows.at(1)));
        const Run songs = klvtool({"db", "lib.db", "search", "4", "FLAC"});
        QCOMPARE(songs.code, 0);
        QVERIFY(songs.out.endsWith(QStringLiteral("/A/song.flac\n")));
        const Run none = klvtool({"db", "lib.db", "search", "1", "Nobody"});
        QCOMPARE(none.code, 0);
        QVERIFY(none.out.isEmpty());
        QVERIFY2(none.err.contains(QStringLiteral("no songs with the artist \"Nobody\" (the whole name")),
                 qPrintable(none.err));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
};

QTEST_GUILESS_MAIN(TstKlvtool)
#include "tst_klvtool.moc"
