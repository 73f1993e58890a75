// Reassembly and checking of frames on both links, with no port involved:
// start-tag runs, frames split at every offset among noise, overlong
// garbage, the incoming check, the wired chunk rule and the MCU reply wait.

#include "frameassembler.h"
#include "framerecord.h"
#include "linkglobals.h"
#include "mcureceiver.h"
#include "recvqueue.h"
#include "wireserialthread.h"

#include <QRandomGenerator>

#include <QtTest>
#include <cstring>

namespace {

// A frame of the given link built byte by byte here (not by the player's
// builder), so that a shared mistake cannot hide.
QByteArray makeFrame(quint8 tag, quint8 type, const QByteArray &payload, quint8 group = 9, quint8 item = 2,
                     bool badSum = false, bool badEnd = false)
{
    QByteArray f;
    f.append(char(tag)).append(char(tag)).append(char(tag)).append(char(0xEE));
    const quint8 header[] = {
        type, 1, 0, group, item, 0, 0, 0, quint8(payload.size() & 0xFF), quint8(payload.size() >> 8)};
    f.append(reinterpret_cast<const char *>(header), sizeof header);
    f.append(payload);
    quint8 x = 0;
    for (int i = 4; i < f.size(); ++i)
        x ^= quint8(f[i]);
    f.append(char(badSum ? x ^ 0x01 : x));
    f.append(char(badEnd ? 0xAB : 0xAA));
    return f;
}

QByteArray fromMark(const QByteArray &frame)
{
    return frame.mid(3);
}

// Noise that never forms a start and never ends in a start tag (a tag run
// running into the next frame's tags would make it four long).
QByteArray noise(quint8 tag, int n, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b;
    const char partial[] = {char(tag), char(tag), char(0xEE)};
    b.append(partial, 3); // two tags and a mark: no start
    while (b.size() < n) {
        char c = char(rng.bounded(256));
        if (quint8(c) == 0xEE)
            c = 0x11;
        b.append(c);
    }
    if (quint8(b.back()) == tag)
        b.back() = 0x22;
    return b;
}

QByteArray payloadOf(int n, int seed)
{
    QByteArray p(n, '\0');
    for (int i = 0; i < n; ++i)
        p[i] = char((i * 31 + seed) & 0xFF);
    return p;
}

} // namespace

class TstFrameAssembler : public QObject
{
    Q_OBJECT

private slots:
    void startTagRun_data();
    void startTagRun();
    void splitAtEveryOffset_data();
    void splitAtEveryOffset();
    void secondFrameInSameFeedIsNotLookedFor();
    void overflow_data();
    void overflow();
    void completingFeedMayRunPastLimit();
    void checkIncoming_data();
    void checkIncoming();
    void wireChunks_data();
    void wireChunks();
    void mcuReceiver_data();
    void mcuReceiver();
    void mcuReceiverGivesUpAfterEmptyPolls();
};

void TstFrameAssembler::startTagRun_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<bool>("starts");

    const QByteArray m(1, char(0xEE));
    for (int tag : {0x7C, 0xFA}) {
        const QByteArray t(1, char(tag));
        const QByteArray name = QByteArray::number(tag, 16);
        QTest::newRow(name + ": two tags") << tag << t + t + m << false;
        QTest::newRow(name + ": three tags") << tag << t + t + t + m << true;
        QTest::newRow(name + ": four tags") << tag << t + t + t + t + m << false;
        QTest::newRow(name + ": three tags, other byte") << tag << t + t + t + QByteArray(1, 0x01) + m << false;
        QTest::newRow(name + ": three tags after noise") << tag << QByteArray("\x01\x02") + t + t + t + m << true;
    }
    QTest::newRow("other link's tags") << 0x7C << QByteArray("\xFA\xFA\xFA\xEE") << false;
}

void TstFrameAssembler::startTagRun()
{
    QFETCH(int, tag);
    QFETCH(QByteArray, prefix);
    QFETCH(bool, starts);

    // The prefix stands in for a frame's own tags and mark.
    const QByteArray body = makeFrame(quint8(tag), 0x53, payloadOf(8, 1)).mid(4);
    FrameAssembler a(quint8(tag), 400);
    const FrameAssembler::Result r = a.feed(prefix + body);
    QCOMPARE(r == FrameAssembler::Complete, starts);
    if (starts)
        QCOMPARE(a.frame(), QByteArray(1, char(0xEE)) + body);
    else
        QVERIFY(!a.started());
}

void TstFrameAssembler::splitAtEveryOffset_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<QByteArray>("first");  // noise + frame + noise
    QTest::addColumn<QByteArray>("second"); // noise + frame + noise, fed after the first is complete
    QTest::addColumn<QByteArray>("frame1");
    QTest::addColumn<QByteArray>("frame2");

    const QByteArray m1 = makeFrame(0x7C, 0x53, payloadOf(11, 3));
    const QByteArray m2 = makeFrame(0x7C, 0x51, QByteArray(), 4, 5);
    QTest::newRow("mcu") << 0x7C << 400 << noise(0x7C, 9, 1) + m1 + noise(0x7C, 5, 2)
                         << noise(0x7C, 7, 3) + m2 + noise(0x7C, 6, 4) << fromMark(m1) << fromMark(m2);
    const QByteArray w1 = makeFrame(0xFA, 0xA1, payloadOf(24, 5));
    const QByteArray w2 = makeFrame(0xFA, 0xA1, QByteArray(24, '\0'));
    QTest::newRow("wired") << 0xFA << 40 << noise(0xFA, 6, 5) + w1 + noise(0xFA, 3, 6)
                           << noise(0xFA, 4, 7) + w2 + noise(0xFA, 8, 8) << fromMark(w1) << fromMark(w2);
    const QByteArray big = makeFrame(0x7C, 0x53, payloadOf(296, 9), 4, 1);
    QTest::newRow("mcu whole output record")
        << 0x7C << 400 << noise(0x7C, 20, 9) + big << noise(0x7C, 3, 10) + m1 << fromMark(big) << fromMark(m1);
}

void TstFrameAssembler::splitAtEveryOffset()
{
    QFETCH(int, tag);
    QFETCH(int, chunk);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QByteArray, frame1);
    QFETCH(QByteArray, frame2);

    // Each stream is cut at every offset into two feeds (each no longer than
    // a chunk); the frame must come out exactly once, whole.
    auto feedSplit = [&](FrameAssembler &a, const QByteArray &stream, int cut, QList<QByteArray> *frames) {
        QByteArrayList parts{stream.left(cut), stream.mid(cut)};
        for (const QByteArray &part : parts) {
            for (int at = 0; at < part.size(); at += chunk) {
                if (a.feed(part.mid(at, chunk)) == FrameAssembler::Complete)
                    frames->append(a.frame());
            }
        }
    };
    for (int i = 0; i <= first.size(); ++i) {
        for (int j = 0; j <= second.size(); j += 3) {
            FrameAssembler a(quint8(tag), chunk);
            QList<QByteArray> frames;
            feedSplit(a, first, i, &frames);
            feedSplit(a, second, j, &frames);
            QVERIFY2(frames.size() == 2,
                     qPrintable(QStringLiteral("cuts %1, %2: %3 frames").arg(i).arg(j).arg(frames.size())));
            QCOMPARE(frames.at(0), frame1);
            QCOMPARE(frames.at(1), frame2);
            QVERIFY(checkFrameFromMark(frames.at(0)));
        }
    }
}

void TstFrameAssembler::secondFrameInSameFeedIsNotLookedFor()
{
    const QByteArray f1 = makeFrame(0x7C, 0x53, payloadOf(8, 1));
    const QByteArray f2 = makeFrame(0x7C, 0x51, QByteArray());
    const QByteArray f3 = makeFrame(0x7C, 0x52, QByteArray());
    FrameAssembler a(0x7C, 400);
    QCOMPARE(a.feed(f1 + f2), FrameAssembler::Complete);
    QCOMPARE(a.frame(), fromMark(f1));
    QVERIFY(!a.started());
    QCOMPARE(a.feed(f3), FrameAssembler::Complete);
    QCOMPARE(a.frame(), fromMark(f3));
}

void TstFrameAssembler::overflow_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("feedSize");
    QTest::addColumn<int>("claimedLength");

    QTest::newRow("mcu, length beyond any frame") << 0x7C << 400 << 400 << 0xFFFF;
    QTest::newRow("mcu, 398-byte payload, 5 bytes a read") << 0x7C << 400 << 5 << 398;
    QTest::newRow("wired, length beyond any frame") << 0xFA << 40 << 40 << 1000;
}

void TstFrameAssembler::overflow()
{
    QFETCH(int, tag);
    QFETCH(int, chunk);
    QFETCH(int, feedSize);
    QFETCH(int, claimedLength);

    // A start whose length field promises more than ever arrives, followed
    // by garbage: dropped once more than 400 bytes are held, after which a
    // good frame is found again.
    QByteArray start = makeFrame(quint8(tag), 0x53, QByteArray()).left(12);
    start.append(char(claimedLength & 0xFF)).append(char(claimedLength >> 8));
    QByteArray garbage = start + noise(quint8(tag), 1200, 42);
    FrameAssembler a(quint8(tag), chunk);
    int overflowAt = -1;
    for (int at = 0; at < garbage.size(); at += feedSize) {
        const FrameAssembler::Result r = a.feed(garbage.mid(at, feedSize));
        QVERIFY(r != FrameAssembler::Complete);
        QVERIFY(a.held() <= FrameAssembler::HoldLimit);
        if (r == FrameAssembler::Overflow) {
            overflowAt = at;
            break;
        }
    }
    QVERIFY(overflowAt >= 0);
    QVERIFY(overflowAt + feedSize > FrameAssembler::HoldLimit);
    QVERIFY(!a.started());
    const QByteArray good = makeFrame(quint8(tag), 0x51, QByteArray(8, '\x07'));
    QCOMPARE(a.feed(good), FrameAssembler::Complete);
    QCOMPARE(a.frame(), fromMark(good));
}

void TstFrameAssembler::completingFeedMayRunPastLimit()
{
    // 250 bytes held, then a feed with the frame's last 59 bytes and 150
    // bytes of what follows: 459 bytes held, but the frame is whole.
    const QByteArray f = makeFrame(0x7C, 0x53, payloadOf(296, 4), 4, 0);
    FrameAssembler a(0x7C, 400);
    QCOMPARE(a.feed(f.left(253)), FrameAssembler::Waiting);
    QCOMPARE(a.feed(f.mid(253) + noise(0x7C, 150, 5)), FrameAssembler::Complete);
    QCOMPARE(a.frame(), fromMark(f));

    // The largest frame (400 payload bytes, 413 from the mark) across two
    // 400-byte chunks.
    const QByteArray max = makeFrame(0x7C, 0x53, payloadOf(400, 6));
    QCOMPARE(a.feed(max.left(400)), FrameAssembler::Waiting);
    QCOMPARE(a.feed(max.mid(400)), FrameAssembler::Complete);
    QCOMPARE(a.frame(), fromMark(max));
}

void TstFrameAssembler::checkIncoming_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("good");

    const QByteArray p = payloadOf(8, 2);
    QTest::newRow("good") << makeFrame(0x7C, 0x53, p) << true;
    QTest::newRow("good, empty payload") << makeFrame(0x7C, 0x51, QByteArray()) << true;
    QTest::newRow("wrong checksum") << makeFrame(0x7C, 0x53, p, 9, 2, true) << false;
    QTest::newRow("right checksum, wrong end tag") << makeFrame(0x7C, 0x53, p, 9, 2, false, true) << false;

    // Checksums computed over the wrong span fail.
    QByteArray withTags = makeFrame(0x7C, 0x53, p);
    quint8 x = 0;
    for (int i = 0; i < withTags.size() - 2; ++i)
        x ^= quint8(withTags[i]);
    withTags[withTags.size() - 2] = char(x);
    QTest::newRow("checksum over tags and mark") << withTags << false;
    QByteArray noType = makeFrame(0x7C, 0x53, p);
    noType[noType.size() - 2] = char(quint8(noType[noType.size() - 2]) ^ 0x53);
    QTest::newRow("checksum without the type byte") << noType << false;
}

void TstFrameAssembler::checkIncoming()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, good);
    QCOMPARE(checkFrameFromMark(fromMark(frame)), good);

    // The player's own builder agrees with the frame built here.
    if (good) {
        FrameRecord r(0x7C);
        std::memcpy(r.data, frame.constData(), size_t(frame.size() - 2));
        QCOMPARE(r.finish(), frame);
    }
}

void TstFrameAssembler::wireChunks_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("chunks");

    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("39 bytes: dropped") << 39 << 0;
    QTest::newRow("40 bytes") << 40 << 1;
    QTest::newRow("85 bytes: two chunks, 5 dropped") << 85 << 2;
    QTest::newRow("120 bytes") << 120 << 3;
}

void TstFrameAssembler::wireChunks()
{
    QFETCH(int, size);
    QFETCH(int, chunks);
    const QByteArray block = payloadOf(size, 7);
    const QList<QByteArray> got = WireSerialThread::wireChunks(block);
    QCOMPARE(got.size(), chunks);
    for (int i = 0; i < got.size(); ++i)
        QCOMPARE(got.at(i), block.mid(40 * i, 40));
}

void TstFrameAssembler::mcuReceiver_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("payload");

    const QByteArray p = payloadOf(296, 8);
    const QByteArray f = makeFrame(0x7C, 0x53, p, 4, 3);
    QTest::newRow("one chunk") << QByteArrayList{f} << int(McuReceiver::Good) << p;
    QTest::newRow("chunk over 400 bytes: noise then frame")
        << QByteArrayList{noise(0x7C, 350, 1) + f} << int(McuReceiver::Good) << p;
    QTest::newRow("frame over three chunks")
        << QByteArrayList{f.left(5), f.mid(5, 100), f.mid(105)} << int(McuReceiver::Good) << p;
    QTest::newRow("bad checksum") << QByteArrayList{makeFrame(0x7C, 0x53, p, 4, 3, true)} << int(McuReceiver::Bad)
                                  << QByteArray();
    QByteArray endless = f.left(12);
    endless.append(char(0xFF)).append(char(0xFF));
    QTest::newRow("overlong") << QByteArrayList{endless + noise(0x7C, 500, 2)} << int(McuReceiver::Overflow)
                              << QByteArray();
}

void TstFrameAssembler::mcuReceiver()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(int, result);
    QFETCH(QByteArray, payload);

    RecvQueue q;
    for (const QByteArray &c : chunks)
        q.append(c);
    RecFrameData = FrameRecord();
    McuReceiver rx(&q);
    QCOMPARE(int(rx.RecvReply()), result);
    if (result == McuReceiver::Good) {
        QCOMPARE(rx.payload(), payload);
        QCOMPARE(int(RecFrameData[Frame::Type]), 0x53);
        QCOMPARE(int(RecFrameData[Frame::Unit]), 1);
        QCOMPARE(int(RecFrameData[Frame::Group]), 4);
        QCOMPARE(int(RecFrameData[Frame::Item]), 3);
        QCOMPARE(RecFrameData.length(), payload.size());
    } else {
        QCOMPARE(int(RecFrameData[Frame::Type]), 0);
    }

    // A later bad frame leaves no stale payload behind.
    q.append(makeFrame(0x7C, 0x53, payloadOf(8, 1), 9, 2, true));
    QCOMPARE(rx.RecvReply(), McuReceiver::Bad);
    QVERIFY(rx.payload().isEmpty());
}

void TstFrameAssembler::mcuReceiverGivesUpAfterEmptyPolls()
{
    RecvQueue q;
    McuReceiver rx(&q);
    QElapsedTimer t;
    t.start();
    QCOMPARE(rx.RecvReply(), McuReceiver::TimedOut);
    // 61 polls of 50 ms: about 3 s, never much less.
    QVERIFY(t.elapsed() >= 61 * 50 - 10);

    int polls = 0;
    QCOMPARE(rx.RecvReply([&] { return ++polls > 2; }), McuReceiver::Stopped);
    QCOMPARE(polls, 3);
}

QTEST_GUILESS_MAIN(TstFrameAssembler)
#include "tst_frameassembler.moc"
