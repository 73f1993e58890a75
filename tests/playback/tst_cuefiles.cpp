// CUE sheets: parsing, timing rules, encodings, and resolving a CUE item
// for playback.
#include "cuefiles.h"
#include "cueresolve.h"
#include "dsdfixtures.h"
#include "globals.h"
#include "nregexp.h"

#include <QTextCodec>
#include <QtTest>

namespace {

const char *kHeader = "REM GENRE Pop\n"
                      "PERFORMER \"Album Artist\"\n"
                      "TITLE \"Album Title\"\n"
                      "FILE \"album.flac\" WAVE\n";

QString writeSheet(const QTemporaryDir &dir, const QByteArray &bytes, const QString &name = QStringLiteral("a.cue"))
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

QByteArray track(int n, const char *title, const QByteArray &indexes, const char *performer = nullptr)
{
    QByteArray t = QByteArray("  TRACK 0") + QByteArray::number(n) + " AUDIO\n    TITLE \"" + title + "\"\n";
    if (performer)
        t += QByteArray("    PERFORMER \"") + performer + "\"\n";
    return t + indexes;
}

QByteArray idx(int n, const char *time)
{
    return QByteArray("    INDEX 0") + QByteArray::number(n) + " " + time + "\n";
}

} // namespace

Q_DECLARE_METATYPE(QList<int>)

class TstCueFiles : public QObject
{
    Q_OBJECT

private slots:
    void regexpCollectsEveryMatch()
    {
        const NRegExp re(QStringLiteral("INDEX\\s*\\d+\\s*([\\d:]+)\\s*"));
        QCOMPARE(re.pregMatch(QStringLiteral("INDEX 01 00:00:00\nINDEX 00 03:08:00\nINDEX 01 03:10:40\n")),
                 QStringList({"00:00:00", "03:08:00", "03:10:40"}));
        QVERIFY(re.pregMatch(QString()).isEmpty());
        // '.' runs across lines: one greedy match takes the rest of the text.
        QCOMPARE(
            NRegExp(QStringLiteral("TITLE\\s*\"([^\"]+)\".+")).pregMatch(QStringLiteral("TITLE \"a\"\nTITLE \"b\"\n")),
            QStringList({"a"}));
        QCOMPARE(NRegExp(QStringLiteral("(x*)")).pregMatch(QStringLiteral("ab")).size(), 3); // empty matches move on
    }

    // The one-pass keyword scan gives what the regular expressions over the
    // whole text give, on ordinary sheets and on odd ones.
    void scanMatchesTheExpressions_data()
    {
        QTest::addColumn<QString>("text");
        const QString tracks = QString::fromLatin1(track(1, "One", idx(1, "00:00:00"), "P1")
                                                   + track(2, "Two", idx(0, "03:08:00") + idx(1, "03:10:40")));
        QTest::newRow("ordinary") << QString::fromLatin1(kHeader) + tracks;
        QTest::newRow("CRLF line ends") << QString(QString::fromLatin1(kHeader) + tracks).replace("\n", "\r\n");
        QTest::newRow("no newline at the end") << QString::fromLatin1(kHeader) + tracks.trimmed();
        QTest::newRow("album values at the very end") << tracks + "TITLE \"Z\"";
        QTest::newRow("the only PERFORMER closes the text") << "TITLE \"A\"\nFILE \"f.wav\"\nPERFORMER \"P\"";
        QTest::newRow("CDTEXTFILE before FILE") << "CDTEXTFILE \"x.cdt\"\n" + QString::fromLatin1(kHeader) + tracks;
        QTest::newRow("empty and unclosed values")
            << "TITLE \"\"\nTITLE  \t\n \"A\" x\nPERFORMER \"P\"\nFILE \"f.wav\"\n  TRACK 01\n TITLE \"\"\n"
               "TITLE \"T\"\nINDEX 01 00:01:00\nTITLE \"open";
        QTest::newRow("keywords inside values")
            << "TITLE \"My TITLE\" PERFORMER \"a TRACK b\"\nFILE \"INDEX 01 02:00:00\"\nTRACK 1\nTITLE\"x\"\n";
        QTest::newRow("index forms")
            << "TRACK 01\nINDEX 01 00:00:00\nINDEX 0100:00:00\nINDEX 01 x\nINDEX 1 x\nINDEX x\nINDEX\n05 :\n"
               "INDEX 123\nINDEX 7 8:9 INDEX 02";
        QTest::newRow("TRACK as the last word") << QString::fromLatin1(kHeader) + "TRACK";
        QTest::newRow("nothing") << QString();
        QTest::newRow("Chinese values") << QString::fromUtf8("TITLE \"七里香\"\nPERFORMER \"周杰伦\"\nFILE \"七.wav\"\n"
                                                             "TRACK 01\nTITLE \"我的地盘\"\nINDEX 01 00:00:00\n");
    }
    void scanMatchesTheExpressions()
    {
        QFETCH(QString, text);
        auto first = [&](const char *re) { return NRegExp(QString::fromLatin1(re)).pregMatch(text).value(0); };
        auto found = [&](const char *re) { return !NRegExp(QString::fromLatin1(re)).pregMatch(text).isEmpty(); };
        const CueSheetText c = scanCueText(text);
        QCOMPARE(c.hasTitle, found("TITLE\\s*\"([^\"]+)\".+"));
        QCOMPARE(c.hasPerformer, found("PERFORMER\\s*\"([^\"]+)\".+"));
        QCOMPARE(c.hasFile, found("FILE\\s*\"([^\"]+)\".+"));
        QCOMPARE(c.title, first("TITLE\\s*\"([^\"]+)\".+"));
        QCOMPARE(c.performer, first("PERFORMER\\s*\"([^\"]+)\".+"));
        QCOMPARE(c.file, first("FILE\\s*\"([^\"]+)\".+"));
        const QString part = NRegExp(QStringLiteral("(TRACK.+)")).pregMatch(text).value(0);
        QCOMPARE(c.trackTitles, NRegExp(QStringLiteral("TITLE\\s*\"([^\"]+)\"")).pregMatch(part));
        QCOMPARE(c.trackPerformers, NRegExp(QStringLiteral("PERFORMER\\s*\"([^\"]+)\"")).pregMatch(part));
        QCOMPARE(c.indexTimes, NRegExp(QStringLiteral("INDEX\\s*\\d+\\s*([\\d:]+)\\s*")).pregMatch(part));
        QCOMPARE(c.indexNumbers, NRegExp(QStringLiteral("INDEX\\s*(\\d+)\\s*[\\d:]+\\s*")).pregMatch(part));
    }

    // A sheet beyond what a disc holds keeps 99 tracks (the last of them
    // still ends at the next index); texts no screen can show are cut. The
    // sheet says so, for the caller's log.
    void oversizedSheets()
    {
        QTemporaryDir dir;
        QByteArray tracks;
        for (int n = 1; n <= 150; ++n)
            tracks += track(n % 10, "T", idx(1, QByteArray::number(n).append(":00:00").constData()));
        const QByteArray longTitle(1000000, 'x');
        // The 255th unit would be the first half of the note's surrogate pair.
        const QByteArray longSinger = QString(254, QChar(0x6C49)).toUtf8() + "\xF0\x9F\x8E\xB5 and more";
        CueFiles many(writeSheet(dir, kHeader + tracks, QStringLiteral("many.cue")));
        QVERIFY(many.Is_Correct_CUE());
        const QList<cueData> d = many.getCueData();
        QCOMPARE(d.size(), CueFiles::kMaxTracks);
        QCOMPARE(d.last().start, 99 * 60 + 1);
        QCOMPARE(d.last().length, 60);
        QCOMPARE(many.notes(), QStringList{"150 tracks, the first 99 kept"});
        CueFiles big(writeSheet(dir,
                                "PERFORMER \"" + longSinger + "\"\nTITLE \"" + longTitle + "\"\nFILE \"a.flac\" WAVE\n"
                                    + track(1, longTitle.constData(), idx(1, "00:00:00"), longSinger.constData()),
                                QStringLiteral("big.cue")));
        QVERIFY(big.Is_Correct_CUE());
        QCOMPARE(big.getAlbumName(), QString(CueFiles::kMaxText, QLatin1Char('x')));
        QCOMPARE(big.getCueData().value(0).title, QString(CueFiles::kMaxText, QLatin1Char('x')));
        QCOMPARE(big.getAlbumPerformer(), QString(254, QChar(0x6C49)));
        QCOMPARE(big.getCueData().value(0).performer, big.getAlbumPerformer());
        QCOMPARE(big.notes(), QStringList{"texts over 255 characters cut"});
        CueFiles ordinary(writeSheet(dir, kHeader + track(1, "One", idx(1, "00:00:00")), QStringLiteral("o.cue")));
        QVERIFY(ordinary.Is_Correct_CUE());
        QVERIFY(ordinary.notes().isEmpty());
    }

    void timing_data()
    {
        QTest::addColumn<QByteArray>("tracks");
        QTest::addColumn<QList<int>>("starts");
        QTest::addColumn<QList<int>>("lengths");
        QTest::newRow("one INDEX per track: +1 s starts")
            << track(1, "One", idx(1, "00:00:00")) + track(2, "Two", idx(1, "03:10:40"))
                   + track(3, "Three", idx(1, "07:02:00"))
            << QList<int>{1, 191, 423} << QList<int>{190, 232, 0};
        QTest::newRow("INDEX 00 before tracks 2 and 3")
            << track(1, "One", idx(1, "00:00:00")) + track(2, "Two", idx(0, "03:08:00") + idx(1, "03:10:40"))
                   + track(3, "Three", idx(0, "07:00:00") + idx(1, "07:02:00"))
            << QList<int>{0, 190, 422} << QList<int>{188, 230, 0};
        // Only track 2 has an INDEX 00: the pair rule would index past the
        // end of the list for track 3.
        QTest::newRow("INDEX 00 on some tracks only")
            << track(1, "One", idx(1, "00:00:00")) + track(2, "Two", idx(0, "03:08:00") + idx(1, "03:10:40"))
                   + track(3, "Three", idx(1, "07:02:00"))
            << QList<int>{0, 190, 422} << QList<int>{188, 232, 0};
        QTest::newRow("INDEX 00 on every track") << track(1, "One", idx(0, "00:00:00") + idx(1, "00:02:00"))
                                                        + track(2, "Two", idx(0, "03:08:00") + idx(1, "03:10:40"))
                                                        + track(3, "Three", idx(0, "07:00:00") + idx(1, "07:02:00"))
                                                 << QList<int>{2, 190, 422} << QList<int>{186, 230, 0};
        QTest::newRow("a further INDEX 02")
            << track(1, "One", idx(1, "00:00:00") + idx(2, "01:00:00")) + track(2, "Two", idx(1, "03:10:40"))
            << QList<int>{0, 190} << QList<int>{190, 0};
    }
    void timing()
    {
        QFETCH(QByteArray, tracks);
        QFETCH(QList<int>, starts);
        QFETCH(QList<int>, lengths);
        QTemporaryDir dir;
        CueFiles cue(writeSheet(dir, kHeader + tracks));
        QVERIFY(cue.Is_Correct_CUE());
        QCOMPARE(cue.getAlbumName(), QStringLiteral("Album Title"));
        QCOMPARE(cue.getAlbumPerformer(), QStringLiteral("Album Artist"));
        QCOMPARE(cue.getSrcFile().filePath(), dir.path() + QStringLiteral("/album.flac"));
        const QList<cueData> data = cue.getCueData();
        QCOMPARE(data.size(), starts.size());
        for (int i = 0; i < data.size(); ++i) {
            QCOMPARE(data[i].index, i);
            QCOMPARE(data[i].start, starts[i]);
            QCOMPARE(data[i].length, lengths[i]);
        }
        QCOMPARE(data[1].title, QStringLiteral("Two"));
    }

    void invalidSheets_data()
    {
        QTest::addColumn<QByteArray>("sheet");
        QTest::addColumn<int>("recordsKept");
        const QByteArray tracks = track(1, "One", idx(1, "00:00:00")) + track(2, "Two", idx(1, "03:00:00"));
        QTest::newRow("no PERFORMER") << QByteArray("TITLE \"A\"\nFILE \"a.wav\" WAVE\n") + tracks << 0;
        QTest::newRow("no FILE") << QByteArray("PERFORMER \"P\"\nTITLE \"A\"\n") + tracks << 0;
        QTest::newRow("lower-case keywords")
            << QByteArray("performer \"P\"\ntitle \"A\"\nfile \"a.wav\" WAVE\n  track 01 audio\n    title \"x\"\n"
                          "    index 01 00:00:00\n")
            << 0;
        QTest::newRow("malformed index time")
            << QByteArray(kHeader) + track(1, "One", idx(1, "00:00:00")) + track(2, "Two", idx(1, "3"))
                   + track(3, "Three", idx(1, "05:00:00"))
            << 0;
        QTest::newRow("malformed time of a later track")
            << QByteArray(kHeader) + track(1, "One", idx(1, "00:00:00")) + track(2, "Two", idx(1, "03:00:00"))
                   + track(3, "Three", idx(1, "5")) + track(4, "Four", idx(1, "07:00:00"))
            << 1;
        QTest::newRow("a track without INDEX")
            << QByteArray(kHeader) + track(1, "One", idx(1, "00:00:00")) + track(2, "Two", QByteArray()) << 0;
        QTest::newRow("pairs running out")
            << QByteArray(kHeader)
                   + track(1, "One", idx(0, "00:00:00") + idx(1, "00:01:00") + idx(2, "00:02:00") + idx(3, "00:03:00"))
                   + track(2, "Two", QByteArray()) + track(3, "Three", QByteArray())
            << 0;
    }
    void invalidSheets()
    {
        QFETCH(QByteArray, sheet);
        QFETCH(int, recordsKept);
        QTemporaryDir dir;
        CueFiles cue(writeSheet(dir, sheet));
        QVERIFY(!cue.Is_Correct_CUE());
        QCOMPARE(cue.getCueData().size(), recordsKept);
        CueFiles missing(dir.filePath("none.cue"));
        QVERIFY(!missing.Is_Correct_CUE());
    }

    void encodingsAndPerformers()
    {
        const QString text = QString::fromUtf8("TITLE \"七里香\"\nFILE \"七里香.wav\" WAVE\n"
                                               "  TRACK 01 AUDIO\n    TITLE \"我的地盘\"\n    PERFORMER \"周杰伦\"\n"
                                               "    INDEX 01 00:00:00\n"
                                               "  TRACK 02 AUDIO\n    TITLE \"說好的幸福呢\"\n    INDEX 01 04:00:00\n");
        QTemporaryDir dir;
        CueFiles utf8(writeSheet(dir, text.toUtf8(), QStringLiteral("u.cue")));
        CueFiles gbk(writeSheet(dir, QTextCodec::codecForName("GBK")->fromUnicode(text), QStringLiteral("g.cue")));
        for (CueFiles *c : {&utf8, &gbk}) {
            QVERIFY(c->Is_Correct_CUE());
            QCOMPARE(c->getAlbumName(), QString::fromUtf8("七里香"));
            // No album PERFORMER: the first track's is taken.
            QCOMPARE(c->getAlbumPerformer(), QString::fromUtf8("周杰伦"));
            QCOMPARE(c->getSrcFile().fileName(), QString::fromUtf8("七里香.wav"));
            const QList<cueData> d = c->getCueData();
            QCOMPARE(d.size(), 2);
            QCOMPARE(d[0].title, QString::fromUtf8("我的地盘"));
            QCOMPARE(d[1].title, QString::fromUtf8("說好的幸福呢"));
            QCOMPARE(d[0].performer, QString::fromUtf8("周杰伦"));
            QVERIFY(d[1].performer.isEmpty());
        }
        gbk.freeCueFiles();
        QVERIFY(gbk.getSrcFile().filePath().isEmpty());
    }

    void resolveForPlayback_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("seeking");
        QTest::addColumn<bool>("resume");
        QTest::addColumn<qint64>("position");
        QTest::addColumn<qint64>("wantDuration");
        QTest::addColumn<qint64>("wantStart");
        QTest::addColumn<qint64>("wantPosition");
        QTest::newRow("plain start") << "Two" << false << false << qint64(500) << qint64(230) << qint64(190)
                                     << qint64(190);
        QTest::newRow("resume inside the track")
            << "Two" << false << true << qint64(300) << qint64(230) << qint64(190) << qint64(300);
        QTest::newRow("seek outside the track")
            << "Two" << true << false << qint64(100) << qint64(230) << qint64(190) << qint64(190);
        QTest::newRow("last track runs to the end of the file")
            << "Three" << false << false << qint64(0) << qint64(600 - 422) << qint64(422) << qint64(422);
    }
    void resolveForPlayback()
    {
        QFETCH(QString, title);
        QFETCH(bool, seeking);
        QFETCH(bool, resume);
        QFETCH(qint64, position);
        QFETCH(qint64, wantDuration);
        QFETCH(qint64, wantStart);
        QFETCH(qint64, wantPosition);
        QTemporaryDir dir;
        const QString sheet = writeSheet(dir,
                                         kHeader + track(1, "One", idx(1, "00:00:00"))
                                             + track(2, "Two", idx(0, "03:08:00") + idx(1, "03:10:40"))
                                             + track(3, "Three", idx(0, "07:00:00") + idx(1, "07:02:00")),
                                         QStringLiteral("album.CUE"));
        QFile audio(dir.filePath("album.flac"));
        QVERIFY(audio.open(QIODevice::WriteOnly));
        audio.close();
        const auto probe = [](const QString &) { return AudioFileInfo{QString(), QString(), 600.9}; };
        g_CurMusicPlay.seeking = seeking;
        g_TempData.resumePending = resume;
        g_CurMusicPlay.currentPosition = position;
        QCOMPARE(resolveCueItem(sheet, title, probe), dir.path() + QStringLiteral("/album.flac"));
        QCOMPARE(g_CurMusicPlay.title.get(), title);
        QCOMPARE(g_CurMusicPlay.album.get(), QStringLiteral("Album Title"));
        QCOMPARE(g_CurMusicPlay.artist.get(), QStringLiteral("Album Artist")); // no artist tag
        QCOMPARE(g_CurMusicPlay.duration.get(), wantDuration);
        QCOMPARE(g_CurMusicPlay.startOffset.get(), wantStart);
        QCOMPARE(g_CurMusicPlay.currentPosition.get(), wantPosition);
        g_CurMusicPlay.seeking = false;
    }

    void resolveLeavesFieldsAlone()
    {
        QTemporaryDir dir;
        const QString sheet = writeSheet(dir, kHeader + track(1, "One", idx(1, "00:00:00")));
        g_CurMusicPlay.title = QStringLiteral("untouched");
        g_CurMusicPlay.duration = 77;
        int probed = 0;
        const auto probe = [&](const QString &) {
            ++probed;
            return AudioFileInfo{QStringLiteral("Tag Artist"), QString(), 100};
        };
        QCOMPARE(resolveCueItem(dir.filePath("a.flac"), QStringLiteral("One"), probe), QString()); // not a sheet
        // The audio file does not exist: its path, nothing else.
        QCOMPARE(resolveCueItem(sheet, QStringLiteral("One"), probe), dir.path() + QStringLiteral("/album.flac"));
        QCOMPARE(probed, 0);
        QFile audio(dir.filePath("album.flac"));
        QVERIFY(audio.open(QIODevice::WriteOnly));
        audio.close();
        QCOMPARE(resolveCueItem(sheet, QStringLiteral("Nine"), probe), dir.path() + QStringLiteral("/album.flac"));
        QCOMPARE(g_CurMusicPlay.title.get(), QStringLiteral("untouched"));
        QCOMPARE(g_CurMusicPlay.duration.get(), qint64(77));
        QCOMPARE(resolveCueItem(sheet, QStringLiteral("One"), probe), dir.path() + QStringLiteral("/album.flac"));
        QCOMPARE(g_CurMusicPlay.artist.get(), QStringLiteral("Tag Artist"));
        QCOMPARE(g_CurMusicPlay.duration.get(), qint64(99)); // 100 s file, track starts at 1 s
        const QString broken = writeSheet(dir, "TITLE \"A\"\nFILE \"album.flac\" WAVE\n", QStringLiteral("b.cue"));
        QCOMPARE(resolveCueItem(broken, QStringLiteral("One"), probe), QString());
    }

    void probeReadsDsfTags()
    {
        DsdFixtures fx;
        QVERIFY(!fx.make("dsf", "t.dsf", {"--seconds", "1.5", "--id3"}).isEmpty());
        const AudioFileInfo info = probeAudioFile(fx.path("t.dsf"));
        QCOMPARE(info.artist, QStringLiteral("DSF Artist"));
        QCOMPARE(info.album, QStringLiteral("DSF Album"));
        QCOMPARE(info.durationSeconds, 1.5);
        QVERIFY(!fx.make("dff", "t.dff", {"--tracks", "1.0,1.0", "--markers", "start"}).isEmpty());
        QCOMPARE(probeAudioFile(fx.path("t.dff")).durationSeconds, 2.0);
    }
};

QTEST_GUILESS_MAIN(TstCueFiles)
#include "tst_cuefiles.moc"
