// DSF and DSDIFF readers on generated files with known DSD streams.
#include "dsdfixtures.h"
#include "sacd_dsdiff.h"
#include "sacd_dsf.h"
#include "sacd_media.h"

#include <QtTest>

#include <cmath>
#include <memory>

namespace {

struct Frames {
    QByteArray data;
    QList<int> sizes;
    QList<int> types;
};

Frames readAll(sacd_reader_t &r, int limit = 1 << 20)
{
    Frames f;
    std::vector<uint8_t> buf(1 << 20);
    for (int i = 0; i < limit; ++i) {
        uint32_t size = uint32_t(buf.size());
        frame_type_e type = FRAME_INVALID;
        if (!r.read_frame(buf.data(), &size, &type))
            break;
        f.data.append(reinterpret_cast<const char *>(buf.data()), int(size));
        f.sizes << int(size);
        f.types << int(type);
    }
    return f;
}

QByteArray padTo(QByteArray a, int multiple)
{
    if (a.size() % multiple)
        a.append(QByteArray(multiple - a.size() % multiple, char(0x69)));
    return a;
}

bool patch(const QString &file, qint64 offset, const QByteArray &bytes)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(offset))
        return false;
    return f.write(bytes) == bytes.size();
}

QByteArray interleaved(DsdFixtures &fx, const QString &seed, int track, int channels, qint64 bytes)
{
    QList<QByteArray> ch;
    for (int c = 0; c < channels; ++c)
        ch << fx.stream(seed, 0, track, c, bytes);
    QByteArray out(int(bytes * channels), Qt::Uninitialized);
    for (qint64 i = 0; i < bytes; ++i)
        for (int c = 0; c < channels; ++c)
            out[int(i * channels + c)] = ch[c][int(i)];
    return out;
}

// Words of two MSB-first channel blocks as the sound card takes them.
QByteArray u16Words(const QByteArray &left, const QByteArray &right)
{
    QByteArray out(left.size() * 2, Qt::Uninitialized);
    for (int i = 0; i + 1 < left.size(); i += 2) {
        out[2 * i + 0] = left[i + 1];
        out[2 * i + 1] = left[i];
        out[2 * i + 2] = right[i + 1];
        out[2 * i + 3] = right[i];
    }
    return out;
}

} // namespace

class TstSacdFiles : public QObject
{
    Q_OBJECT

private slots:
    void dsfFrames_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<bool>("msb");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("loudspeaker");
        QTest::addColumn<int>("block");
        // The last block of each channel is zero-padded in the file; only
        // its real bytes play, then DSD silence.
        QTest::newRow("stereo lsb-first, last block short") << 2 << false << 3 * 4096 + 1000 << 2822400 << 0 << 4096;
        QTest::newRow("stereo msb-first") << 2 << true << 2 * 4096 << 2822400 << 0 << 4096;
        QTest::newRow("mono on both outputs") << 1 << false << 4096 + 10 << 2822400 << 5 << 4096;
        QTest::newRow("six channels, front pair") << 6 << false << 5001 << 2822400 << 4 << 4096;
        QTest::newRow("dsd256") << 2 << false << 20000 << 11289600 << 0 << 4096;
        // Blocks that are no multiple of 16 bytes take the narrower packing steps.
        QTest::newRow("block of 520 bytes") << 2 << false << 3000 << 2822400 << 0 << 520;
        QTest::newRow("block of 518 bytes, msb-first") << 2 << true << 3000 << 2822400 << 0 << 518;
    }
    void dsfFrames()
    {
        QFETCH(int, channels);
        QFETCH(bool, msb);
        QFETCH(int, bytes);
        QFETCH(int, rate);
        QFETCH(int, loudspeaker);
        QFETCH(int, block);
        DsdFixtures fx;
        QStringList opts{"--seed",     "dsf",
                         "--channels", QString::number(channels),
                         "--bytes",    QString::number(bytes),
                         "--rate",     QString::number(rate),
                         "--block",    QString::number(block)};
        if (msb)
            opts << "--msb";
        QVERIFY2(!fx.make("dsf", "t.dsf", opts).isEmpty(), qPrintable(fx.lastError()));

        sacd_media_t media;
        QVERIFY(media.open(fx.path("t.dsf").toUtf8().constData()));
        sacd_dsf_t dsf;
        QVERIFY(dsf.open(&media));
        QCOMPARE(dsf.get_channels(), channels);
        QCOMPARE(dsf.get_samplerate(), rate);
        QCOMPARE(dsf.get_framerate(), 75);
        QCOMPARE(dsf.is_lsb_first(), !msb);
        QCOMPARE(dsf.get_loudspeaker_config(), loudspeaker);
        QCOMPARE(dsf.get_track_count(AREA_BOTH), 1u);
        QCOMPARE(dsf.get_track_count(AREA_TWOCH), channels <= 2 ? 1u : 0u);
        QCOMPARE(dsf.get_track_count(AREA_MULCH), channels > 2 ? 1u : 0u);
        QCOMPARE(dsf.get_size(), quint64(channels) * bytes);
        QCOMPARE(dsf.getDataSize(), quint64(2) * bytes);
        QCOMPARE(dsf.get_duration(), double(bytes) * 8 / rate);
        QVERIFY(dsf.set_track(0));
        QVERIFY(!dsf.set_track(1));
        QVERIFY(dsf.set_track(0));

        const Frames f = readAll(dsf);
        const int groups = (bytes + block - 1) / block;
        QCOMPARE(f.sizes.size(), groups);
        for (int s : f.sizes)
            QCOMPARE(s, 2 * block);
        const QByteArray want = padTo(fx.expected("dsf", 0, 0, channels, bytes), 2 * block);
        QCOMPARE(f.data.size(), want.size());
        QVERIFY(f.data == want);
    }

    void dsfRefusesBadHeaders_data()
    {
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("bits per sample 4") << qint64(28 + 32) << QByteArray("\x04\x00\x00\x00", 4);
        QTest::newRow("chunk size 27") << qint64(4) << QByteArray("\x1b", 1);
        QTest::newRow("not raw dsd") << qint64(28 + 16) << QByteArray("\x01", 1);
        QTest::newRow("seven channels") << qint64(28 + 24) << QByteArray("\x07", 1);
        QTest::newRow("no channel") << qint64(28 + 24) << QByteArray("\x00", 1);
        QTest::newRow("fmt id") << qint64(28) << QByteArray("fmx ");
        QTest::newRow("data id") << qint64(80) << QByteArray("date");
    }
    void dsfRefusesBadHeaders()
    {
        QFETCH(qint64, offset);
        QFETCH(QByteArray, bytes);
        DsdFixtures fx;
        QVERIFY(!fx.make("dsf", "t.dsf", {"--bytes", "8192"}).isEmpty());
        {
            sacd_media_t media;
            QVERIFY(media.open(fx.path("t.dsf").toUtf8().constData()));
            sacd_dsf_t dsf;
            QVERIFY(dsf.open(&media)); // intact before the patch
        }
        QVERIFY(patch(fx.path("t.dsf"), offset, bytes));
        sacd_media_t media;
        QVERIFY(media.open(fx.path("t.dsf").toUtf8().constData()));
        sacd_dsf_t dsf;
        QVERIFY(!dsf.open(&media));
    }

    void dsfSeekLandsOnBlockGroups()
    {
        DsdFixtures fx;
        const int bytes = 3 * 352800; // 3 s at DSD64
        QVERIFY(!fx.make("dsf", "t.dsf", {"--seed", "seek", "--bytes", QString::number(bytes)}).isEmpty());
        const QByteArray want = padTo(fx.expected("seek", 0, 0, 2, bytes), 8192);
        sacd_media_t media;
        QVERIFY(media.open(fx.path("t.dsf").toUtf8().constData()));
        sacd_dsf_t dsf;
        QVERIFY(dsf.open(&media));
        QVERIFY(dsf.seek(1.0));
        const int group = 352800 / 4096;
        QCOMPARE(dsf.get_offset(), quint64(group) * 2 * 4096);
        Frames f = readAll(dsf, 1);
        QVERIFY(f.data == want.mid(group * 8192, 8192));
        QVERIFY(dsf.seek(100.0)); // past the end: only the last, partial group is left
        QVERIFY(readAll(dsf).data == want.right(8192));
        QVERIFY(dsf.seek(0));
        QVERIFY(readAll(dsf, 1).data == want.left(8192));
    }

    // A sparse file: the header promises 2.6 GiB of data; real blocks sit
    // only at the start and beyond 2 GiB.
    void dsfBeyondTwoGiB()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("big.dsf");
        const quint64 bytesPerChannel = 1300ull << 20;
        const quint64 group = (2200ull << 20) / 8192; // data offset past 2 GiB
        const quint64 dataBytes = bytesPerChannel * 2;
        QByteArray left(4096, Qt::Uninitialized), right(4096, Qt::Uninitialized);
        for (int i = 0; i < 4096; ++i) {
            left[i] = char(i * 7 + 3);
            right[i] = char(i * 13 + 5);
        }
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QDataStream s(&f);
            s.setByteOrder(QDataStream::LittleEndian);
            s.writeRawData("DSD ", 4);
            s << quint64(28) << quint64(92 + dataBytes) << quint64(0);
            s.writeRawData("fmt ", 4);
            s << quint64(52) << quint32(1) << quint32(0) << quint32(2) << quint32(2) << quint32(2822400) << quint32(8)
              << quint64(bytesPerChannel * 8) << quint32(4096) << quint32(0);
            s.writeRawData("data", 4);
            s << quint64(12 + dataBytes);
            QVERIFY(f.seek(92 + group * 8192));
            f.write(left);
            f.write(right);
            QVERIFY(f.resize(qint64(92 + dataBytes)));
        }
        sacd_media_t media;
        QVERIFY(media.open(file.toUtf8().constData()));
        QVERIFY(media.seek(qint64(3) << 30));
        QCOMPARE(media.get_position(), qint64(3) << 30);
        QVERIFY(media.skip(-(qint64(1) << 30)));
        QCOMPARE(media.get_position(), qint64(2) << 30);
        sacd_dsf_t dsf;
        QVERIFY(dsf.open(&media));
        QCOMPARE(dsf.get_size(), dataBytes);
        const double seconds = (group * 4096.0 + 1) * 8 / 2822400;
        QVERIFY(dsf.seek(seconds));
        QCOMPARE(dsf.get_offset(), group * 8192);
        QVERIFY(dsf.get_offset() > (quint64(2) << 30));
        const Frames f = readAll(dsf, 2);
        QCOMPARE(f.sizes.size(), 2);
        QVERIFY(f.data.left(8192) == u16Words(left, right));
        QVERIFY(f.data.mid(8192) == QByteArray(8192, 0)); // a hole reads as zeros
    }

    void dffTracks_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QList<int>>("trackFrames");
        QTest::addColumn<int>("tail");
        QTest::newRow("no markers: one track") << QStringList{"--tracks", "1.0,0.5"} << QList<int>{113} << 0;
        QTest::newRow("start markers") << QStringList{"--tracks", "1.0,0.5,0.4", "--markers", "start"}
                                       << QList<int>{75, 38, 30} << 0;
        QTest::newRow("markers after the sound data")
            << QStringList{"--tracks", "0.4,0.6", "--markers", "start", "--diin-after"} << QList<int>{30, 45} << 0;
        QTest::newRow("start and stop markers")
            << QStringList{"--tracks", "0.4,0.6", "--markers", "startstop"} << QList<int>{30, 45} << 0;
        // 5 extra sample groups and one stray byte after the last whole frame.
        QTest::newRow("partial last frame")
            << QStringList{"--tracks", "0.2,0.2", "--markers", "start", "--tail", "5"} << QList<int>{15, 15} << 5;
    }
    void dffTracks()
    {
        QFETCH(QStringList, options);
        QFETCH(QList<int>, trackFrames);
        QFETCH(int, tail);
        DsdFixtures fx;
        QVERIFY2(!fx.make("dff", "t.dff", QStringList{"--seed", "dff"} + options).isEmpty(),
                 qPrintable(fx.lastError()));
        sacd_media_t media;
        QVERIFY(media.open(fx.path("t.dff").toUtf8().constData()));
        sacd_dsdiff_t dff;
        QVERIFY(dff.open(&media));
        QCOMPARE(dff.get_channels(), 2);
        QCOMPARE(dff.get_samplerate(), 2822400);
        QCOMPARE(dff.get_framerate(), 75);
        QCOMPARE(dff.get_frame_size(), 9408u);
        QVERIFY(!dff.is_dst());
        QCOMPARE(dff.get_track_count(AREA_TWOCH), uint32_t(trackFrames.size()));
        QCOMPARE(dff.get_track_count(AREA_MULCH), 0u);

        const bool oneTrack = trackFrames.size() == 1;
        for (int t = 0; t < trackFrames.size(); ++t) {
            QVERIFY(dff.set_track(uint32_t(t)));
            QCOMPARE(dff.get_duration(), trackFrames[t] / 75.0);
            const bool last = t == trackFrames.size() - 1;
            const qint64 perChannel = qint64(trackFrames[t]) * 4704 + (last ? tail : 0);
            const Frames f = readAll(dff);
            for (int i = 0; i < f.sizes.size() - 1; ++i)
                QCOMPARE(f.sizes[i], 9408);
            QCOMPARE(f.sizes.last(), last && tail ? 2 * tail : 9408);
            QByteArray want;
            if (oneTrack) {
                // One track spans all the generator's tracks back to back.
                for (int g = 0; g < 2; ++g)
                    want += interleaved(fx, "dff", g, 2, g == 0 ? 75 * 4704 : 38 * 4704);
            } else {
                want = interleaved(fx, "dff", t, 2, perChannel);
            }
            QCOMPARE(f.data.size(), want.size());
            QVERIFY(f.data == want);
        }
        QVERIFY(!dff.set_track(uint32_t(trackFrames.size())));
    }

    void dffSeekAndMultichannel()
    {
        DsdFixtures fx;
        QVERIFY(
            !fx.make("dff", "m.dff", {"--seed", "mc", "--channels", "6", "--tracks", "0.5,0.5", "--markers", "start"})
                 .isEmpty());
        sacd_media_t media;
        QVERIFY(media.open(fx.path("m.dff").toUtf8().constData()));
        sacd_dsdiff_t dff;
        QVERIFY(dff.open(&media));
        QCOMPARE(dff.get_channels(), 6);
        QCOMPARE(dff.get_frame_size(), 6u * 4704);
        QCOMPARE(dff.get_track_count(AREA_TWOCH), 0u);
        QCOMPARE(dff.get_track_count(AREA_MULCH), 2u);
        QVERIFY(dff.set_track(1));
        QVERIFY(dff.seek(0.2));
        QCOMPARE(dff.get_offset(), quint64(15) * 6 * 4704);
        const Frames f = readAll(dff, 1);
        const QByteArray want = interleaved(fx, "mc", 1, 6, 38 * 4704);
        QVERIFY(f.data == want.mid(15 * 6 * 4704, 6 * 4704));
        TrackDetails d;
        QVERIFY(dff.getTrackDetails(1, AREA_MULCH, &d));
        QCOMPARE(QString::fromStdString(d.strArtist), QStringLiteral("Unknown Artist"));
        QCOMPARE(QString::fromStdString(d.strTitle), QStringLiteral("Unknown Title"));
        QVERIFY(d.strAlbum.empty());
        QCOMPARE(d.channelCount, 6);
    }

    void dffDstIsRecognised()
    {
        DsdFixtures fx;
        QVERIFY(!fx.make("dff", "d.dff", {"--dst", "--tracks", "0.4", "--id3"}).isEmpty());
        sacd_media_t media;
        QVERIFY(media.open(fx.path("d.dff").toUtf8().constData()));
        sacd_dsdiff_t dff;
        QVERIFY(dff.open(&media));
        QVERIFY(dff.is_dst());
        QCOMPARE(dff.get_frame_count(), 30u);
        QCOMPARE(dff.id3tags().size(), size_t(1));
        const Frames f = readAll(dff, 3);
        QCOMPARE(f.types.size(), 3);
        QCOMPARE(f.types[0], int(FRAME_DST));
    }
};

QTEST_GUILESS_MAIN(TstSacdFiles)
#include "tst_sacdfiles.moc"
