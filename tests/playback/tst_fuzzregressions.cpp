// Inputs that once crashed a reader or the CUE parser under the fuzzers,
// kept in tests/playback/data/ (dsf-*, dsdiff-*, sacd-*, cue-*). Each must
// be read to its end without a fault; the sanitizer builds catch what a
// plain build would not.
#include "../../fuzz/cue_reference.h"
#include "../../fuzz/fuzz_readers.h"
#include "cuefiles.h"
#include "sacd_disc.h"
#include "sacd_dsdiff.h"
#include "sacd_dsf.h"
#include "sacd_media.h"
#include "testsandbox.h"
#include "textencoding.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class TstFuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void inputs_data()
    {
        QTest::addColumn<QString>("file");
        const QDir dir(TestSandbox::sourceDir() + QStringLiteral("/tests/playback/data"));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(name)) << dir.filePath(name);
    }
    void inputs()
    {
        QFETCH(QString, file);
        const QString name = QFileInfo(file).fileName();
        const QByteArray path = QFile::encodeName(file);
        if (name.startsWith(QLatin1String("cue-"))) {
            CueFiles cue(file);
            for (const cueData &d : cue.getCueData())
                QVERIFY(d.start >= 0 && d.length >= 0 && !d.title.isEmpty());
            // The keyword scan gives what the expressions give, as the fuzz
            // target checks it.
            QFile in(file);
            QVERIFY(in.open(QIODevice::ReadOnly));
            QVERIFY(cueScanMatchesExpressions(GetCorrectUnicode(in.readAll())));
        } else if (name.startsWith(QLatin1String("dsf-")) || name.startsWith(QLatin1String("dsdiff-"))) {
            sacd_media_t media;
            QVERIFY(media.open(path.constData()));
            std::unique_ptr<sacd_reader_t> r;
            if (name.startsWith(QLatin1String("dsf-")))
                r = std::make_unique<sacd_dsf_t>();
            else
                r = std::make_unique<sacd_dsdiff_t>();
            if (r->open(&media))
                readEverything(*r);
        } else if (name.startsWith(QLatin1String("sacd-"))) {
            // The fuzz target's layout: a sector-size byte, then the image
            // from the master TOC on (2048-byte sectors only here).
            QFile in(file);
            QVERIFY(in.open(QIODevice::ReadOnly));
            const QByteArray data = in.readAll();
            QVERIFY(!data.isEmpty() && (data[0] & 1) == 0);
            QTemporaryDir dir;
            QFile img(dir.filePath("x.iso"));
            QVERIFY(img.open(QIODevice::WriteOnly));
            QVERIFY(img.seek(qint64(START_OF_MASTER_TOC) * SACD_LSN_SIZE));
            img.write(data.mid(1));
            img.close();
            sacd_media_t media;
            QVERIFY(media.open(QFile::encodeName(img.fileName()).constData()));
            sacd_disc_t disc;
            if (disc.open(&media))
                readEverything(disc);
        } else {
            QFAIL("unknown prefix");
        }
    }

    void hugeIndexTimesAreHeld()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("h.cue"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("PERFORMER \"P\"\nTITLE \"A\"\nFILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"x\"\n"
                "    INDEX 01 99999999999999999999999:00:00\n  TRACK 02 AUDIO\n    TITLE \"y\"\n"
                "    INDEX 01 333333333:00:00\n");
        f.close();
        CueFiles cue(f.fileName());
        QVERIFY(cue.Is_Correct_CUE());
        const QList<cueData> d = cue.getCueData();
        QCOMPARE(d.size(), 2);
        QCOMPARE(d[0].start, (1 << 30) + 1);
        QCOMPARE(d[0].length, 0);
        QCOMPARE(d[1].start, (1 << 30) + 1);
    }
};

QTEST_GUILESS_MAIN(TstFuzzRegressions)
#include "tst_fuzzregressions.moc"
