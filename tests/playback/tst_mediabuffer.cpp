// The PCM block queue and the DSD ring between decoders and output.
#include "globals.h"
#include "mediabuffer.h"

#include <QtTest>

#include <cstring>
#include <thread>

class TstMediaBuffer : public QObject
{
    Q_OBJECT

private slots:
    void queueBudgetCountsTheHeader_data()
    {
        QTest::addColumn<quint64>("capacity");
        QTest::addColumn<quint64>("accepted");
        QTest::newRow("100 bytes do not fit 100") << quint64(100) << quint64(0);
        QTest::newRow("100 bytes fit 102") << quint64(102) << quint64(100);
    }
    void queueBudgetCountsTheHeader()
    {
        QFETCH(quint64, capacity);
        QFETCH(quint64, accepted);
        BytequeueBuffer q(capacity);
        const QByteArray data(100, 'x');
        QCOMPARE(q.Write(data.constData(), 100, 25), accepted);
        QCOMPARE(q.isFull(), accepted == 0);
        QVERIFY(!q.isEmpty()); // a non-empty write clears isEmpty even when refused
    }

    void blockLayoutAndReadOver()
    {
        BytequeueBuffer q(1000);
        QVERIFY(q.isEmpty());
        QCOMPARE(q.Write("abc", 0, 1), quint64(0));
        QVERIFY(q.isEmpty()); // a zero-length write changes nothing
        const char pcm[6] = {1, 2, 3, 4, 5, 6};
        QCOMPARE(q.Write(pcm, 6, 0x10003), quint64(6));
        QVERIFY(!q.IsReadOver());
        const QByteArray b = q.Read();
        QCOMPARE(b.size(), 8);
        quint16 frames = 0;
        std::memcpy(&frames, b.constData(), 2);
        QCOMPARE(frames, quint16(3)); // low 16 bits of the frame count
        QCOMPARE(b.mid(2), QByteArray(pcm, 6));
        QVERIFY(q.IsReadOver());
        QVERIFY(!q.isEmpty());
        QVERIFY(q.Read().isEmpty());
        QVERIFY(q.isEmpty());
    }

    void emptyResetsTotals()
    {
        BytequeueBuffer q(20);
        const QByteArray d(8, 'a');
        QCOMPARE(q.Write(d.constData(), 8, 2), quint64(8));
        QCOMPARE(q.Write(d.constData(), 8, 2), quint64(8));
        QCOMPARE(q.Write(d.constData(), 8, 2), quint64(0)); // 30 > 20
        QVERIFY(q.isFull());
        q.Read();
        QVERIFY(!q.isFull()); // every read clears isFull
        q.Empty();
        QVERIFY(q.isEmpty());
        QVERIFY(q.IsReadOver());
        QCOMPARE(q.blockCount(), 0);
        // Totals start from 0 again: two blocks fit once more.
        QCOMPARE(q.Write(d.constData(), 8, 2), quint64(8));
        QCOMPARE(q.Write(d.constData(), 8, 2), quint64(8));
    }

    void ringWrapsAndFills()
    {
        CCycleBuffer r(8);
        QVERIFY(r.isEmpty());
        QCOMPARE(r.Write("ABCDEF", 6), quint64(6));
        char out[16] = {};
        QCOMPARE(r.Read(out, 4), quint64(4));
        QCOMPARE(QByteArray(out, 4), QByteArray("ABCD"));
        QCOMPARE(r.Write("GHIJKLMN", 8), quint64(6)); // room for 6, wrapping
        QVERIFY(r.isFull());
        QCOMPARE(r.Write("Z", 1), quint64(0));
        std::memset(out, 0, sizeof out);
        QCOMPARE(r.Read(out, 10), quint64(8));
        QCOMPARE(QByteArray(out, 8), QByteArray("EFGHIJKL"));
        QVERIFY(r.isEmpty());
        QVERIFY(r.IsReadOver());
        QCOMPARE(r.Read(out, 1), quint64(0));
        QCOMPARE(r.Write("xy", 0), quint64(0));
    }

    void ringEmpty()
    {
        CCycleBuffer r(4);
        QCOMPARE(r.Write("abcd", 4), quint64(4));
        r.Empty();
        QVERIFY(r.isEmpty());
        QVERIFY(!r.isFull());
        QCOMPARE(r.Write("wxyz", 4), quint64(4));
        char out[4];
        QCOMPARE(r.Read(out, 4), quint64(4));
        QCOMPARE(QByteArray(out, 4), QByteArray("wxyz"));
    }

    // One writer and one reader thread: every byte arrives once, in order.
    void ringKeepsOrderAcrossThreads()
    {
        CCycleBuffer r(1000);
        const int total = 200000;
        std::thread writer([&] {
            int next = 0;
            unsigned char chunk[333];
            while (next < total) {
                const int n = std::min<int>(sizeof chunk, total - next);
                for (int i = 0; i < n; ++i)
                    chunk[i] = static_cast<unsigned char>((next + i) % 251);
                int done = 0;
                while (done < n)
                    done += static_cast<int>(r.Write(chunk + done, n - done));
                next += n;
            }
        });
        int got = 0;
        bool inOrder = true;
        unsigned char buf[97];
        while (got < total) {
            const int n = static_cast<int>(r.Read(buf, sizeof buf));
            for (int i = 0; i < n; ++i)
                inOrder = inOrder && buf[i] == static_cast<unsigned char>((got + i) % 251);
            got += n;
        }
        writer.join();
        QVERIFY(inOrder);
        QCOMPARE(got, total);
    }

    void bufferEmptyFollowsFileType_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("dsd");
        QTest::newRow("flac") << "flac" << false;
        QTest::newRow("DSF upper") << "DSF" << true;
        QTest::newRow("dff") << "dff" << true;
        QTest::newRow("iso") << "iso" << true;
        QTest::newRow("dat") << "dat" << true;
        QTest::newRow("wav") << "wav" << false;
    }
    void bufferEmptyFollowsFileType()
    {
        QFETCH(QString, type);
        QFETCH(bool, dsd);
        QCOMPARE(Is_DSDFile(type), dsd);
        BytequeueBuffer pcm(100);
        CCycleBuffer ring(100);
        m_MediaBuffer.pcmBuffer = &pcm;
        m_MediaBuffer.dsdBuffer = &ring;
        pcm.Write("ab", 2, 1); // PCM queue not empty, ring empty
        g_CurMusicPlay.fileType = type;
        QCOMPARE(Get_buf_isempty(), dsd);
        m_MediaBuffer.pcmBuffer = nullptr;
        m_MediaBuffer.dsdBuffer = nullptr;
    }
};

QTEST_GUILESS_MAIN(TstMediaBuffer)
#include "tst_mediabuffer.moc"
