// SACD disc image reader on generated images with known DSD streams.
#include "dsdfixtures.h"
#include "sacd_disc.h"
#include "sacd_media.h"

#include <QJsonArray>
#include <QtTest>

#include <memory>

namespace {

struct Frames {
    QByteArray data;
    int count = 0;
    int invalid = 0;
    int dst = 0;
    QList<int> sizes;
};

Frames readAll(sacd_reader_t &r, int limit = 1 << 20)
{
    Frames f;
    std::vector<uint8_t> buf(MAX_DST_FRAME_SIZE);
    for (int i = 0; i < limit; ++i) {
        uint32_t size = uint32_t(buf.size());
        frame_type_e type = FRAME_DSD;
        if (!r.read_frame(buf.data(), &size, &type))
            break;
        ++f.count;
        f.sizes << int(size);
        if (type == FRAME_INVALID)
            ++f.invalid;
        else if (type == FRAME_DST)
            ++f.dst;
        f.data.append(reinterpret_cast<const char *>(buf.data()), int(size));
    }
    return f;
}

QByteArray interleaved(DsdFixtures &fx, const QString &seed, int area, int track, int channels, qint64 bytes)
{
    QList<QByteArray> ch;
    for (int c = 0; c < channels; ++c)
        ch << fx.stream(seed, area, track, c, bytes);
    QByteArray out(int(bytes * channels), Qt::Uninitialized);
    char *o = out.data();
    for (qint64 i = 0; i < bytes; ++i)
        for (int c = 0; c < channels; ++c)
            *o++ = ch[c][int(i)];
    return out;
}

struct Disc {
    sacd_media_t media;
    sacd_disc_t disc;
    bool open(const QString &path) { return media.open(path.toUtf8().constData()) && disc.open(&media); }
};

} // namespace

class TstSacdDisc : public QObject
{
    Q_OBJECT

private slots:
    void bothSectorSizesGiveTheSameFrames()
    {
        DsdFixtures fx;
        const QStringList opts{"--seed", "iso", "--tracks", "0.4,0.3,0.2", "--areas", "both", "--mc-channels", "6"};
        QVERIFY2(!fx.make("iso", "a.iso", opts + QStringList{"--sector", "2048"}).isEmpty(),
                 qPrintable(fx.lastError()));
        QVERIFY(!fx.make("iso", "b.iso", opts + QStringList{"--sector", "2064"}).isEmpty());
        QVERIFY(sacd_disc_t::g_is_sacd(fx.path("a.iso").toUtf8().constData()));
        QVERIFY(sacd_disc_t::g_is_sacd(fx.path("b.iso").toUtf8().constData()));

        Disc a, b;
        QVERIFY(a.open(fx.path("a.iso")));
        QVERIFY(b.open(fx.path("b.iso")));
        QCOMPARE(a.disc.sector_size(), 2048);
        QCOMPARE(b.disc.sector_size(), 2064);
        QCOMPARE(a.disc.area_count(), 2);
        QCOMPARE(a.disc.get_track_count(AREA_TWOCH), 3u);
        QCOMPARE(a.disc.get_track_count(AREA_MULCH), 3u);
        const int frames[3] = {30, 22, 15};
        for (area_id_e area : {AREA_TWOCH, AREA_MULCH}) {
            const int channels = area == AREA_TWOCH ? 2 : 6;
            for (int t = 0; t < 3; ++t) {
                QVERIFY(a.disc.set_track(uint32_t(t), area, 0));
                QVERIFY(b.disc.set_track(uint32_t(t), area, 0));
                QCOMPARE(a.disc.get_channels(), channels);
                QVERIFY(!a.disc.is_dst());
                QCOMPARE(a.disc.get_duration(), frames[t] / 75.0);
                QCOMPARE(a.disc.getDataSize(), quint64(frames[t]) * 4704 * channels);
                const Frames fa = readAll(a.disc);
                const Frames fb = readAll(b.disc);
                QCOMPARE(fa.count, frames[t]); // the last track too ends at the track area's end
                QCOMPARE(fa.invalid, 0);
                for (int s : fa.sizes)
                    QCOMPARE(s, 4704 * channels);
                QVERIFY(fa.data == fb.data);
                QVERIFY(fa.data == interleaved(fx, "iso", int(area), t, channels, qint64(frames[t]) * 4704));
            }
        }
    }

    void areasAndTexts()
    {
        DsdFixtures fx;
        const QJsonObject d =
            fx.make("iso", "m.iso",
                    {"--areas", "multi", "--tracks", "0.2,0.2", "--album", QString::fromUtf8("测试专辑"), "--titles",
                     QString::fromUtf8("第一首|Second"), "--performers", QString::fromUtf8("Unknown Artist|歌手")});
        QVERIFY(!d.isEmpty());
        Disc m;
        QVERIFY(m.open(fx.path("m.iso")));
        QCOMPARE(m.disc.twoch_area_idx(), -1);
        QCOMPARE(m.disc.mulch_area_idx(), 0);
        QCOMPARE(m.disc.get_track_count(AREA_TWOCH), 0u);
        QCOMPARE(m.disc.get_track_count(AREA_MULCH), 2u);
        QCOMPARE(m.disc.get_track_count(AREA_BOTH), 2u);
        QVERIFY(!m.disc.set_track(0, AREA_TWOCH, 0));
        QCOMPARE(QString::fromStdString(m.disc.master_text().album_title), QString::fromUtf8("测试专辑"));
        TrackDetails td;
        QVERIFY(m.disc.getTrackDetails(0, AREA_MULCH, &td));
        QCOMPARE(QString::fromStdString(td.strTitle), QString::fromUtf8("第一首"));
        QCOMPARE(QString::fromStdString(td.strArtist), QStringLiteral("Unknown Artist"));
        QCOMPARE(QString::fromStdString(td.strAlbum), QString::fromUtf8("测试专辑"));
        QCOMPARE(td.channelCount, 6);
        QVERIFY(m.disc.getTrackDetails(1, AREA_MULCH, &td));
        QCOMPARE(QString::fromStdString(td.strTitle), QStringLiteral("Second"));
        QCOMPARE(QString::fromStdString(td.strArtist), QString::fromUtf8("歌手"));
        QVERIFY(!m.disc.getTrackDetails(2, AREA_MULCH, &td));
        const scarletbook_area_t *area = m.disc.get_area(AREA_MULCH);
        QVERIFY(area);
        QCOMPARE(area->isrc.size(), size_t(255));
        QCOMPARE(QByteArray(area->isrc[1].data(), 12), QByteArray("CNVDX2400002"));
        QCOMPARE(area->access_list.size(), size_t(65536));

        // No texts at all: the placeholders.
        QVERIFY(!fx.make("iso", "n.iso", {"--tracks", "0.2", "--no-text"}).isEmpty());
        Disc n;
        QVERIFY(n.open(fx.path("n.iso")));
        QVERIFY(n.disc.getTrackDetails(0, AREA_TWOCH, &td));
        QCOMPARE(QString::fromStdString(td.strAlbum), QStringLiteral("Unknown Album"));
        QCOMPARE(QString::fromStdString(td.strArtist), QStringLiteral("Unknown Artist"));
        QVERIFY(td.strTitle.empty());
    }

    void durationFromTrackList2()
    {
        DsdFixtures fx;
        const QJsonObject d = fx.make("iso", "t.iso", {"--tracks", "0.2,0.2"});
        const int tocStart = d["areas"].toArray()[0].toObject()["toc_start"].toInt();
        // Track 1's length in track list 2: 3 minutes, 20 seconds, 15 frames.
        QFile f(fx.path("t.iso"));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(qint64(tocStart + 2) * 2048 + 8 + 4 * 255 + 4));
        f.write(QByteArray("\x03\x14\x0f", 3));
        f.close();
        Disc m;
        QVERIFY(m.open(fx.path("t.iso")));
        QCOMPARE(m.disc.get_duration(1), 200.2);
        QCOMPARE(m.disc.get_duration(0), 0.2);
    }

    void dstArea()
    {
        DsdFixtures fx;
        QVERIFY(!fx.make("iso", "d.iso", {"--areas", "both", "--dst-area", "two", "--tracks", "0.2"}).isEmpty());
        Disc m;
        QVERIFY(m.open(fx.path("d.iso")));
        QVERIFY(m.disc.set_track(0, AREA_TWOCH, 0));
        QVERIFY(m.disc.is_dst());
        const Frames f = readAll(m.disc);
        QCOMPARE(f.count, 15);
        QCOMPARE(f.dst, 15);
        QVERIFY(m.disc.set_track(0, AREA_MULCH, 0));
        QVERIFY(!m.disc.is_dst());
    }

    void seekStartsAtAFrame()
    {
        DsdFixtures fx;
        QVERIFY(!fx.make("iso", "s.iso", {"--seed", "sk", "--tracks", "1.0"}).isEmpty());
        Disc m;
        QVERIFY(m.open(fx.path("s.iso")));
        QVERIFY(m.disc.set_track(0, AREA_TWOCH, 0));
        const quint64 sectors = m.disc.get_size() / 2048;
        QVERIFY(m.disc.seek(0.5));
        QCOMPARE(m.disc.get_offset(), sectors / 2 * 2048);
        const Frames f = readAll(m.disc);
        const QByteArray all = interleaved(fx, "sk", 1, 0, 2, 75 * 4704);
        // Whole frames from about the middle to the end, nothing else.
        QVERIFY(f.count >= 36 && f.count <= 38);
        QCOMPARE(f.invalid, 0);
        QVERIFY(f.data == all.right(f.count * 9408));
    }

    void readErrorsGiveInvalidFrames()
    {
        DsdFixtures fx;
        const QJsonObject d = fx.make("iso", "r.iso", {"--tracks", "0.4,0.4"});
        const QJsonObject t1 = d["areas"].toArray()[0].toObject()["tracks"].toArray()[1].toObject();
        const int lsn = t1["lsn"].toInt();
        Disc m;
        QVERIFY(m.open(fx.path("r.iso")));
        QVERIFY(m.disc.set_track(1, AREA_TWOCH, 0));
        const quint64 sectors = m.disc.get_size() / 2048;
        // The medium fails 20 sectors into the track, after it was opened.
        QVERIFY(QFile::resize(fx.path("r.iso"), qint64(lsn + 20) * 2048));
        const Frames f = readAll(m.disc);
        // One invalid frame per unreadable sector (what the stream had
        // buffered before the failure still reads).
        QVERIFY(f.invalid > 0 && quint64(f.invalid) <= sectors - 20);
        QVERIFY(f.count - f.invalid >= 3);
        QVERIFY(m.disc.read_errors() > 0);

        // An image already cut short when opened ends the track at its end.
        Disc cut;
        QVERIFY(cut.open(fx.path("r.iso")));
        QVERIFY(cut.disc.set_track(1, AREA_TWOCH, 0));
        QCOMPARE(cut.disc.get_size(), quint64(20) * 2048);
        const Frames g = readAll(cut.disc);
        QCOMPARE(g.invalid, 0);
        QVERIFY(g.count >= 3 && g.count <= 5);
    }

    void notAnImage()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("x.iso"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2 << 20, '\0'));
        f.close();
        QVERIFY(!sacd_disc_t::g_is_sacd(dir.filePath("x.iso").toUtf8().constData()));
        Disc m;
        QVERIFY(!m.open(dir.filePath("x.iso")));
        QVERIFY(!sacd_disc_t::g_is_sacd(dir.filePath("missing.iso").toUtf8().constData()));
    }

    void brokenTocsFailOpen_data()
    {
        QTest::addColumn<int>("sector"); // relative to the master TOC or area TOC
        QTest::addColumn<bool>("areaToc");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("master TOC version 2") << 0 << false << 8 << QByteArray("\x02");
        QTest::newRow("album set size 21") << 0 << false << 16 << QByteArray("\x00\x15", 2);
        QTest::newRow("text sector signature") << 1 << false << 0 << QByteArray("SACDTexx");
        QTest::newRow("area TOC signature") << 0 << true << 0 << QByteArray("TWOCHTOX");
        QTest::newRow("area TOC version 2") << 0 << true << 8 << QByteArray("\x02");
    }
    void brokenTocsFailOpen()
    {
        QFETCH(int, sector);
        QFETCH(bool, areaToc);
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        DsdFixtures fx;
        const QJsonObject d = fx.make("iso", "b.iso", {"--tracks", "0.2"});
        const int base = areaToc ? d["areas"].toArray()[0].toObject()["toc_start"].toInt() : 510;
        QFile f(fx.path("b.iso"));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(qint64(base + sector) * 2048 + offset));
        f.write(bytes);
        f.close();
        Disc m;
        QVERIFY(!m.open(fx.path("b.iso")));
    }
};

QTEST_GUILESS_MAIN(TstSacdDisc)
#include "tst_sacddisc.moc"
