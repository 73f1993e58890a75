// klvtool probe on generated DSF, DSDIFF, SACD images and CUE sheets.
#include "../playback/dsdfixtures.h"

#include <QJsonArray>
#include <QtTest>

class TstKlvProbe : public QObject
{
    Q_OBJECT

    QJsonObject probe(const QString &file, int *exitCode = nullptr)
    {
        QProcess p;
        p.start(TestSandbox::binaryDir() + QStringLiteral("/tools/klvtool/klvtool"), {QStringLiteral("probe"), file});
        p.waitForFinished(60000);
        if (exitCode)
            *exitCode = p.exitCode();
        return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    }

private slots:
    void images()
    {
        DsdFixtures fx;
        QVERIFY(!fx.make("iso", "d.iso",
                         {"--areas", "both", "--tracks", "0.4,0.2", "--dst-area", "multi", "--sector", "2064",
                          "--album", QString::fromUtf8("专辑")})
                     .isEmpty());
        const QJsonObject j = probe(fx.path("d.iso"));
        QCOMPARE(j["kind"].toString(), QStringLiteral("iso"));
        QCOMPARE(j["sector_size"].toInt(), 2064);
        QCOMPARE(j["album"].toString(), QString::fromUtf8("专辑"));
        const QJsonArray areas = j["areas"].toArray();
        QCOMPARE(areas.size(), 2);
        QCOMPARE(areas[0].toObject()["channels"].toInt(), 2);
        QCOMPARE(areas[0].toObject()["dst"].toBool(), false);
        QCOMPARE(areas[1].toObject()["channels"].toInt(), 6);
        QCOMPARE(areas[1].toObject()["dst"].toBool(), true);
        const QJsonArray tracks = areas[1].toObject()["tracks"].toArray();
        QCOMPARE(tracks.size(), 2);
        QCOMPARE(tracks[1].toObject()["start"].toDouble(), 0.4);
        QCOMPARE(tracks[1].toObject()["duration"].toDouble(), 0.2);
        QCOMPARE(tracks[1].toObject()["title"].toString(), QStringLiteral("Track 2"));
        QCOMPARE(areas[0].toObject()["samplerate"].toInt(), 2822400);
        QCOMPARE(areas[0].toObject()["framerate"].toInt(), 75);
    }

    void files()
    {
        DsdFixtures fx;
        QVERIFY(!fx.make("dff", "m.dff", {"--tracks", "0.4,0.2", "--markers", "start"}).isEmpty());
        QVERIFY(!fx.make("dsf", "s.dsf", {"--seconds", "1.0", "--rate", "11289600", "--channels", "6"}).isEmpty());
        QJsonObject j = probe(fx.path("m.dff"));
        QCOMPARE(j["kind"].toString(), QStringLiteral("dff"));
        QJsonArray tracks = j["areas"].toArray()[0].toObject()["tracks"].toArray();
        QCOMPARE(tracks.size(), 2);
        QCOMPARE(tracks[1].toObject()["start"].toDouble(), 0.4);
        QCOMPARE(tracks[0].toObject()["artist"].toString(), QStringLiteral("Unknown Artist"));
        j = probe(fx.path("s.dsf"));
        const QJsonObject area = j["areas"].toArray()[0].toObject();
        QCOMPARE(area["area"].toInt(), 2);
        QCOMPARE(area["channels"].toInt(), 6);
        QCOMPARE(area["samplerate"].toInt(), 11289600);
        QCOMPARE(area["tracks"].toArray()[0].toObject()["duration"].toDouble(), 1.0);
    }

    void cueSheetsAndFailures()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("a.cue"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("PERFORMER \"P\"\nTITLE \"Album\"\nFILE \"a.dsf\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n    "
                "PERFORMER \"R\"\n"
                "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Two\"\n    PERFORMER \"Q\"\n"
                "    INDEX 01 01:00:00\n");
        f.close();
        const QJsonObject j = probe(dir.filePath("a.cue"));
        QCOMPARE(j["valid"].toBool(), true);
        QCOMPARE(j["album"].toString(), QStringLiteral("Album"));
        QCOMPARE(j["performer"].toString(), QStringLiteral("P"));
        QCOMPARE(j["audio_file"].toString(), dir.path() + QStringLiteral("/a.dsf"));
        const QJsonArray tracks = j["tracks"].toArray();
        QCOMPARE(tracks.size(), 2);
        QCOMPARE(tracks[0].toObject()["length"].toInt(), 60);
        QCOMPARE(tracks[1].toObject()["start"].toInt(), 61);
        QCOMPARE(tracks[1].toObject()["performer"].toString(), QStringLiteral("Q"));

        QFile bad(dir.filePath("x.iso"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(4096, 'x'));
        bad.close();
        int code = 0;
        QVERIFY(probe(dir.filePath("x.iso"), &code).isEmpty());
        QCOMPARE(code, 1);
        probe(dir.filePath("missing.dsf"), &code);
        QCOMPARE(code, 1);
    }
};

QTEST_GUILESS_MAIN(TstKlvProbe)
#include "tst_klvprobe.moc"
