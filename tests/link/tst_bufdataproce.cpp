// Outgoing MCU frames: the payload rules of every group, checksum and end
// tag, the now-playing payload (text cuts, format line, field order) and
// the track-switching state; then the simulated MCU's own decoder reading
// what the player built.

#include "bufdataproce.h"
#include "globals.h"
#include "linkglobals.h"
#include "linktext.h"
#include "testsandbox.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <cstring>
#include <thread>

namespace {

// Fill patterns of the images, computed here independently of ByteImage.
quint8 sentProgram(int i)
{
    return quint8(i * 7 + 1);
}
quint8 sentCasProgram(int i)
{
    return quint8(i * 5 + 9);
}
quint8 storedProgram(int preset, int i)
{
    return quint8(i * 3 + preset * 11 + 2);
}
quint8 sentSystem(int i)
{
    return quint8(i + 1);
}
quint8 sentCasSystem(int i)
{
    return quint8(200 - i);
}

template <typename F>
QByteArray pattern(F f, int off, int len)
{
    QByteArray b(len, '\0');
    for (int i = 0; i < len; ++i)
        b[i] = char(f(off + i));
    return b;
}
QByteArray sentProg(int off, int len)
{
    return pattern(sentProgram, off, len);
}
QByteArray stored(int preset, int off, int len)
{
    return pattern([preset](int i) { return storedProgram(preset, i); }, off, len);
}
QByteArray sentSys(int off, int len)
{
    return pattern(sentSystem, off, len);
}
QByteArray sentCasSys(int off, int len)
{
    return pattern(sentCasSystem, off, len);
}
QByteArray zeros(int n)
{
    return QByteArray(n, '\0');
}
QByteArray name15(const QByteArray &ascii)
{
    return ascii + zeros(15 - ascii.size());
}
QByteArray hexBytes(int n)
{
    return pattern([](int i) { return quint8(i ^ 0x3C); }, 0, n);
}
QByteArray dspBytes(int n)
{
    return pattern([](int i) { return quint8(i * 13); }, 0, n);
}

void fillImages()
{
    for (int i = 0; i < Image::ProgramSize; ++i) {
        SendStructData.set(i, sentProgram(i));
        SendCasStructData.set(i, sentCasProgram(i));
        for (int p = 1; p <= Image::StoredPresets; ++p)
            storedPreset(p)->set(i, storedProgram(p, i));
    }
    for (int i = 0; i < Image::SystemSize; ++i)
        SendSYSData.set(i, sentSystem(i));
    for (int i = 0; i < Image::CasSystemSize; ++i)
        SendCasSYSData.set(i, sentCasSystem(i));
    m_nCurProgram.fill(0x99);
    m_nCurProgram.write(0, name15("LIVE-NAME"));
    for (int p = 0; p < Image::CasPresets; ++p) {
        cascadePreset(p)->fill(0x77);
        cascadePreset(p)->write(0, name15("CAS-" + QByteArray::number(p)));
    }
    const quint8 usb[] = {1, 0, 7};
    m_nSendUSBLink.write(0, usb, 3);
}

void setHeader(int type, int preset, int group, int item, int slot, int target, int len)
{
    SendFrameData = FrameRecord();
    SendFrameData[Frame::Type] = quint8(type);
    SendFrameData[Frame::Unit] = 1;
    SendFrameData[Frame::Preset] = quint8(preset);
    SendFrameData[Frame::Group] = quint8(group);
    SendFrameData[Frame::Item] = quint8(item);
    SendFrameData[Frame::Slot] = quint8(slot);
    SendFrameData[Frame::Target] = quint8(target);
    SendFrameData.setLength(len);
}

// The frame's layout checked byte by byte against the header it was given.
void verifyFrame(const QByteArray &f, int type, int preset, int group, int item, int slot, int target, int len)
{
    QCOMPARE(f.size(), len + 16);
    QCOMPARE(f.left(4), QByteArray("\x7C\x7C\x7C\xEE"));
    const int header[] = {type, 1, preset, group, item, slot, target, 0};
    for (int i = 0; i < 8; ++i)
        QCOMPARE(int(quint8(f[4 + i])), header[i]);
    QCOMPARE(int(quint8(f[12])) | (int(quint8(f[13])) << 8), len);
    quint8 x = 0;
    for (int i = 4; i < 14 + len; ++i)
        x ^= quint8(f[i]);
    QCOMPARE(int(quint8(f[14 + len])), int(x));
    QCOMPARE(int(quint8(f[15 + len])), 0xAA);
}

struct NowPlaying {
    int total = 0, elapsed = 0;
    QByteArray title, artist, album, format;
    int formatLengthByte = 0;
    int hires = 0, playMode = 0, state = 0, folder = 0, index = 0;
    int length = 0;
};

// Reads the now-playing payload field by field, as the MCU would.
NowPlaying parseNowPlaying(const quint8 *p, int len)
{
    NowPlaying n;
    int at = 0;
    auto u8 = [&] { return int(p[at++]); };
    auto be16 = [&] {
        const int v = (p[at] << 8) | p[at + 1];
        at += 2;
        return v;
    };
    auto text = [&](int size) {
        QByteArray b(reinterpret_cast<const char *>(p + at), size);
        at += size;
        return b;
    };
    n.total = be16();
    n.elapsed = be16();
    n.title = text(u8());
    n.artist = text(u8());
    n.album = text(u8());
    n.formatLengthByte = u8();
    n.format = text(n.formatLengthByte - 1);
    n.hires = u8();
    n.playMode = u8();
    n.state = u8();
    n.folder = u8();
    n.index = be16();
    n.length = at;
    Q_UNUSED(len)
    return n;
}

void setTrack(const QString &title, const QString &artist, const QString &album, const QString &type,
              const QString &rate, const QString &bits)
{
    g_CurMusicPlay.title = title;
    g_CurMusicPlay.artist = artist;
    g_CurMusicPlay.album = album;
    g_CurMusicPlay.fileType = type;
    g_CurMusicPlay.sampleRateText = rate;
    g_CurMusicPlay.detailText = bits;
}

bool validUtf8(const QByteArray &b)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(b.constData(), b.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

} // namespace

class TstBufDataProce : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void payloadRules_data();
    void payloadRules();
    void upgradeFrames_data();
    void upgradeFrames();
    void textCuts_data();
    void textCuts();
    void formatLine_data();
    void formatLine();
    void nowPlayingFields();
    void trackSwitching();
    void simulatorDecodesPlayerFrames();
};

void TstBufDataProce::init()
{
    fillImages();
    m_bUpMCUFlag = false;
    m_nCasModel = -1;
    g_CurMusicPlay = CurMusicPlayStruct();
}

void TstBufDataProce::payloadRules_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("preset");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("len");
    QTest::addColumn<QByteArray>("before"); // payload placed before the call
    QTest::addColumn<QByteArray>("expected");

    const QByteArray junk(400, '\x5A');
    auto in = [](int c, int s) { return 296 + 280 * c + 8 * s; };
    auto out = [](int c, int s) { return 576 + 296 * c + 8 * s; };

    QTest::newRow("read: zero payload") << 0xA2 << 0 << 9 << 2 << 0 << 0 << 8 << junk << zeros(8);
    // Group 3.
    QTest::newRow("input slot 5") << 0xA1 << 0 << 3 << 0 << 5 << 0 << 8 << junk << sentProg(in(0, 5), 8);
    QTest::newRow("input slot 34") << 0xA1 << 0 << 3 << 0 << 34 << 0 << 8 << junk << sentProg(in(0, 34), 8);
    QTest::newRow("input slot 35 sends slot 34")
        << 0xA1 << 0 << 3 << 0 << 35 << 0 << 8 << junk << sentProg(in(0, 34), 8);
    QTest::newRow("input whole, live") << 0xA1 << 0 << 3 << 0 << 0 << 0 << 288 << junk << sentProg(in(0, 0), 288);
    QTest::newRow("input whole, preset 3") << 0xA1 << 3 << 3 << 0 << 0 << 0 << 288 << junk << stored(3, in(0, 0), 288);
    // Group 4.
    QTest::newRow("output 2 slot 31") << 0xA1 << 0 << 4 << 2 << 31 << 0 << 8 << junk << sentProg(out(2, 31), 8);
    QTest::newRow("output 2 slot 31, cascade")
        << 0xA1 << 0 << 4 << 2 << 31 << 10 << 8 << junk << pattern(sentCasProgram, out(2, 31), 8);
    QTest::newRow("output 1 slot 36") << 0xA1 << 0 << 4 << 1 << 36 << 0 << 8 << junk << sentProg(out(1, 36), 8);
    QTest::newRow("output slot 37: zeros") << 0xA1 << 0 << 4 << 1 << 37 << 0 << 8 << junk << zeros(8);
    QTest::newRow("output 5 whole, live") << 0xA1 << 0 << 4 << 5 << 0 << 0 << 296 << junk << sentProg(out(5, 0), 296);
    QTest::newRow("output 0 whole, preset 13")
        << 0xA1 << 13 << 4 << 0 << 0 << 0 << 296 << junk << stored(13, out(0, 0), 296);
    QTest::newRow("output 15 whole, preset 1")
        << 0xA1 << 1 << 4 << 15 << 0 << 0 << 296 << junk << stored(1, out(15, 0), 296);
    // Group 9.
    QTest::newRow("block 0, live name") << 0xA1 << 0 << 9 << 0 << 0 << 0 << 16 << junk
                                        << name15("LIVE-NAME") + zeros(1);
    QTest::newRow("block 0, preset 4") << 0xA1 << 4 << 9 << 0 << 0 << 0 << 16 << junk << stored(4, 0, 15) + zeros(1);
    QTest::newRow("block 0, cascade preset")
        << 0xA1 << 0 << 9 << 0 << 0 << 10 << 16 << junk << name15("CAS-3") + zeros(1);
    QTest::newRow("block 2") << 0xA1 << 0 << 9 << 2 << 0 << 0 << 8 << junk << sentSys(0, 8);
    QTest::newRow("block 2, cascade") << 0xA1 << 0 << 9 << 2 << 0 << 10 << 8 << junk << sentCasSys(0, 8);
    QTest::newRow("block 5") << 0xA1 << 0 << 9 << 5 << 0 << 0 << 8 << junk << sentSys(8, 8);
    QTest::newRow("block 5, cascade") << 0xA1 << 0 << 9 << 5 << 0 << 10 << 8 << junk << sentCasSys(8, 8);
    QTest::newRow("block 6") << 0xA1 << 0 << 9 << 6 << 0 << 0 << 8 << junk << sentSys(16, 8);
    QTest::newRow("block 7") << 0xA1 << 0 << 9 << 7 << 0 << 0 << 8 << junk << sentSys(24, 8);
    QTest::newRow("block 52") << 0xA1 << 0 << 9 << 52 << 0 << 0 << 8 << junk << sentSys(24, 8);
    QTest::newRow("block 8") << 0xA1 << 0 << 9 << 8 << 0 << 0 << 8 << junk << sentSys(32, 8);
    QTest::newRow("block 9") << 0xA1 << 0 << 9 << 9 << 0 << 0 << 8 << junk << sentSys(40, 8);
    QTest::newRow("block 9, cascade of a subwoofer model")
        << 0xA1 << 0 << 9 << 9 << 0 << 10 << 8 << junk << sentCasSys(160, 8);
    QTest::newRow("block 120") << 0xA1 << 0 << 9 << 120 << 0 << 0 << 8 << junk << sentSys(56, 8);
    QTest::newRow("block 122") << 0xA1 << 0 << 9 << 122 << 0 << 0 << 8 << junk << sentSys(48, 8);
    QTest::newRow("block 128: 24 zero bytes") << 0xA1 << 0 << 9 << 128 << 0 << 0 << 24 << junk << zeros(24);
    QTest::newRow("block 96: zeros") << 0xA1 << 0 << 9 << 96 << 0 << 0 << 8 << junk << zeros(8);
    QTest::newRow("block 121 keeps its payload")
        << 0xA1 << 0 << 9 << 121 << 0 << 0 << 40 << junk.left(40) << junk.left(40);
    QTest::newRow("block 56 outside an upgrade: zeros") << 0xA1 << 0 << 9 << 56 << 0 << 0 << 48 << junk << zeros(48);
    // Group 10.
    QTest::newRow("usb link record") << 0xA1 << 0 << 10 << 16 << 0 << 0 << 3 << junk << QByteArray("\x01\x00\x07", 3);
    QTest::newRow("app list keeps its payload") << 0xA1 << 0 << 10 << 2 << 2 << 0 << 30 << dspBytes(30) << dspBytes(30);
}

void TstBufDataProce::payloadRules()
{
    QFETCH(int, type);
    QFETCH(int, preset);
    QFETCH(int, group);
    QFETCH(int, item);
    QFETCH(int, slot);
    QFETCH(int, target);
    QFETCH(int, len);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, expected);

    if (QByteArray(QTest::currentDataTag()).contains("subwoofer"))
        m_nCasModel = 5;
    BufDataProce b;
    b.setCascadePreset(3);
    setHeader(type, preset, group, item, slot, target, len);
    std::memcpy(SendFrameData.payload(), before.constData(), size_t(before.size()));
    const QByteArray f = b.ProcessingPackets();
    verifyFrame(f, type, preset, group, item, slot, target, len);
    QCOMPARE(f.mid(14, len).toHex(), expected.toHex());
}

void TstBufDataProce::upgradeFrames_data()
{
    QTest::addColumn<int>("block");
    QTest::addColumn<bool>("fill");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("len");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("hexLeft");
    QTest::addColumn<int>("dspLeft");
    QTest::addColumn<int>("addressAfter");

    const QByteArray ff48(48, '\xFF');
    QTest::newRow("55: first four firmware bytes") << 55 << false << 0 << 4 << hexBytes(4) << 96 << 100 << 0x1000;
    QTest::newRow("56: 48 firmware bytes") << 56 << false << 0 << 48 << hexBytes(48) << 52 << 100 << 0x1000;
    QTest::newRow("56, last: 10 bytes over 0xFF")
        << 56 << true << 10 << 48 << hexBytes(10) + ff48.mid(10) << 90 << 100 << 0x1000;
    QTest::newRow("57: checksum byte") << 57 << false << 0 << 1 << QByteArray("\x6B") << 100 << 100 << 0x1000;
    QTest::newRow("58: zeros") << 58 << false << 0 << 16 << zeros(16) << 100 << 100 << 0x1000;
    QTest::newRow("59: address and 44 DSP bytes")
        << 59 << false << 0 << 48 << QByteArray("\x00\x10\x00\x00", 4) + dspBytes(44) << 100 << 56 << 0x1000 + 44;
    QTest::newRow("59, last: 35 DSP bytes from the start")
        << 59 << true << 35 << 48 << dspBytes(35) + zeros(13) << 100 << 65 << 0x1000;
}

void TstBufDataProce::upgradeFrames()
{
    QFETCH(int, block);
    QFETCH(bool, fill);
    QFETCH(int, count);
    QFETCH(int, len);
    QFETCH(QByteArray, expected);
    QFETCH(int, hexLeft);
    QFETCH(int, dspLeft);
    QFETCH(int, addressAfter);

    m_bUpMCUFlag = true;
    m_nHexData.assign(hexBytes(100));
    m_nDsp_Data.assign(dspBytes(100));
    m_nReadDsp_McuFile_Flag.dspAddress = 0x1000;
    m_nReadDsp_McuFile_Flag.checksum = 0x6B;
    BufDataProce b;
    setHeader(0xA1, 0, 9, block, 0, 0, len);
    std::memset(SendFrameData.payload(), 0x5A, 400);
    const QByteArray f = b.ProcessingPackets(fill, count);
    m_bUpMCUFlag = false;
    verifyFrame(f, 0xA1, 0, 9, block, 0, 0, len);
    QCOMPARE(f.mid(14, len).toHex(), expected.toHex());
    QCOMPARE(m_nHexData.size(), hexLeft);
    QCOMPARE(m_nDsp_Data.size(), dspLeft);
    QCOMPARE(int(m_nReadDsp_McuFile_Flag.dspAddress), addressAfter);
}

void TstBufDataProce::textCuts_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("album");
    QTest::addColumn<int>("titleBytes");
    QTest::addColumn<int>("artistBytes");
    QTest::addColumn<int>("albumBytes");

    const QString a200(200, QLatin1Char('t')), a50(50, QLatin1Char('a')), a100(100, QLatin1Char('x'));
    QTest::newRow("sum 300: only the title is cut") << a200 << a50 << QString(50, QLatin1Char('b')) << 130 << 50 << 50;
    QTest::newRow("100/100/100: artist and album cut") << a100 << a100 << a100 << 100 << 75 << 75;
    QTest::newRow("sum exactly 280: nothing cut") << QString(180, QLatin1Char('t')) << a50 << a50 << 180 << 50 << 50;
    // 100 CJK characters: 300 bytes; 43 characters weigh 129.
    QTest::newRow("chinese title cut on a character")
        << QString(100, QChar(0x4E2D)) << QStringLiteral("A") << QStringLiteral("B") << 129 << 1 << 1;
    // Hangul weighs 1 but takes 3 bytes: the byte limit still holds.
    QTest::newRow("hangul title kept within 130 bytes")
        << QString(100, QChar(0xD55C)) << QStringLiteral("A") << QStringLiteral("B") << 129 << 1 << 1;
    // 4-byte characters: 32 fit in 130 bytes.
    QString emoji;
    for (int i = 0; i < 60; ++i)
        emoji += QString::fromUcs4(U"\U0001F3B5");
    QTest::newRow("emoji artist kept within 75 bytes") << a200 << emoji << QStringLiteral("B") << 130 << 72 << 1;
    QTest::newRow("one long title under the budget: one length byte")
        << QString(270, QLatin1Char('t')) << QStringLiteral("abcde") << QStringLiteral("fghij") << 255 << 5 << 5;
}

void TstBufDataProce::textCuts()
{
    QFETCH(QString, title);
    QFETCH(QString, artist);
    QFETCH(QString, album);
    QFETCH(int, titleBytes);
    QFETCH(int, artistBytes);
    QFETCH(int, albumBytes);

    setTrack(title, artist, album, QStringLiteral("flac"), QStringLiteral("44.1kHz"), QStringLiteral("16bit"));
    BufDataProce b;
    const int len = b.PacketMediaInfoData();
    QVERIFY(len <= Frame::MaxPayload);
    const NowPlaying n = parseNowPlaying(SendFrameData.payload(), len);
    QCOMPARE(n.length, len);
    QCOMPARE(n.title.size(), titleBytes);
    QCOMPARE(n.artist.size(), artistBytes);
    QCOMPARE(n.album.size(), albumBytes);
    for (const QByteArray &t : {n.title, n.artist, n.album}) {
        QVERIFY(validUtf8(t));
    }
    // A cut text is a prefix of the original.
    QVERIFY(title.toUtf8().startsWith(n.title));
    QVERIFY(artist.toUtf8().startsWith(n.artist));
    QVERIFY(album.toUtf8().startsWith(n.album));
    QCOMPARE(n.format, QByteArray("FLAC / 44.1kHz / 16bit"));
}

void TstBufDataProce::formatLine_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("bits");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("iso at 2.8MHz") << "iso"
                                   << "2.8MHz"
                                   << "" << QByteArray("DSD64 / 2.8MHz");
    QTest::newRow("dsf at 5.6MHz") << "dsf"
                                   << "5.6MHz"
                                   << "" << QByteArray("DSF128 / 5.6MHz");
    QTest::newRow("dff at 11.2MHz") << "dff"
                                    << "11.2MHz"
                                    << "" << QByteArray("DFF256 / 11.2MHz");
    QTest::newRow("flac with bit depth") << "flac"
                                         << "96.0kHz"
                                         << "24bit" << QByteArray("FLAC / 96.0kHz / 24bit");
    QTest::newRow("mp3 without bit depth") << "mp3"
                                           << "44.1kHz"
                                           << "" << QByteArray("MP3 / 44.1kHz");
    QTest::newRow("unknown DSD rate") << "dsf"
                                      << "22.5MHz"
                                      << "" << QByteArray("DSF / 22.5MHz");
}

void TstBufDataProce::formatLine()
{
    QFETCH(QString, type);
    QFETCH(QString, rate);
    QFETCH(QString, bits);
    QFETCH(QByteArray, line);

    setTrack(QStringLiteral("t"), QStringLiteral("a"), QStringLiteral("b"), type, rate, bits);
    BufDataProce b;
    const int len = b.PacketMediaInfoData();
    const NowPlaying n = parseNowPlaying(SendFrameData.payload(), len);
    QCOMPARE(n.format, line);
    QCOMPARE(n.formatLengthByte, line.size() + 1);
    QCOMPARE(n.length, len);

    // Switched off: all four texts are a single space.
    b.setMusicInfoOff(true);
    const NowPlaying off = parseNowPlaying(SendFrameData.payload(), b.PacketMediaInfoData());
    QCOMPARE(off.title, QByteArray(" "));
    QCOMPARE(off.artist, QByteArray(" "));
    QCOMPARE(off.album, QByteArray(" "));
    QCOMPARE(off.format, QByteArray(" "));
}

void TstBufDataProce::nowPlayingFields()
{
    setTrack(QStringLiteral("标题"), QStringLiteral("Artist"), QStringLiteral("Album"), QStringLiteral("wav"),
             QStringLiteral("192.0kHz"), QStringLiteral("24bit"));
    g_CurMusicPlay.duration = 70000; // beyond 16 bits: 70000 - 65536 = 4464
    g_CurMusicPlay.currentPosition = 1300;
    g_CurMusicPlay.startOffset = 1000;
    g_CurMusicPlay.isHiRes = true;
    g_CurMusicPlay.playMode = ModeRepeatDir;
    g_CurMusicPlay.playState = PlayPaused;
    BufDataProce b;
    b.setPlayingIndex(4, 0x1234);
    const int len = b.PacketMediaInfoData();
    const quint8 *p = SendFrameData.payload();
    QCOMPARE(p[0] << 8 | p[1], 4464);
    QCOMPARE(p[2] << 8 | p[3], 300);
    const NowPlaying n = parseNowPlaying(p, len);
    QCOMPARE(QString::fromUtf8(n.title), QStringLiteral("标题"));
    QCOMPARE(n.artist, QByteArray("Artist"));
    QCOMPARE(n.album, QByteArray("Album"));
    QCOMPARE(n.format, QByteArray("WAV / 192.0kHz / 24bit"));
    QCOMPARE(n.hires, 1);
    QCOMPARE(n.playMode, 2);
    QCOMPARE(n.state, 3);
    QCOMPARE(n.folder, 4);
    QCOMPARE(n.index, 0x1234);
    QCOMPARE(len, 4 + 1 + 6 + 1 + 6 + 1 + 5 + 1 + n.format.size() + 6);
}

void TstBufDataProce::trackSwitching()
{
    setTrack(QStringLiteral("t"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("mp3"),
             QStringLiteral("44.1kHz"), QString());
    g_CurMusicPlay.playState = PlayPaused;
    BufDataProce b;
    auto state = [&b] { return parseNowPlaying(SendFrameData.payload(), b.PacketMediaInfoData()).state; };
    QCOMPARE(state(), 3);
    b.setTrackSwitching(200);
    QCOMPARE(state(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(state(), 3, 5000);
    QVERIFY(!b.trackSwitching());

    b.setTrackSwitching(60000);
    QCOMPARE(state(), 2);
    b.clearTrackSwitching();
    QCOMPARE(state(), 3);

    // From another thread: the flag at once, the timer through the event loop.
    std::thread([&b] { b.setTrackSwitching(100); }).join();
    QCOMPARE(state(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(state(), 3, 5000);
}

void TstBufDataProce::simulatorDecodesPlayerFrames()
{
    // Frames built by the player, decoded by the simulated MCU's own parser.
    struct Built {
        QByteArray frame;
        int preset, group, item, slot, target, len;
    };
    QList<Built> built;
    BufDataProce b;
    b.setCascadePreset(2);
    auto build = [&](int preset, int group, int item, int slot, int target, int len) {
        setHeader(0xA1, preset, group, item, slot, target, len);
        built.append({b.ProcessingPackets(), preset, group, item, slot, target, len});
    };
    build(0, 3, 0, 35, 0, 8);
    build(0, 4, 3, 0, 0, 296);
    build(7, 3, 0, 0, 0, 288);
    build(0, 9, 0, 0, 10, 16);
    build(0, 10, 16, 0, 0, 3);

    const QString title = QString(60, QChar(0x97F3)) + QStringLiteral("abc"); // 183 bytes: cut
    const QString artist = QString(40, QChar(0xAC00));                        // Hangul, 120 bytes: cut
    const QString album = QStringLiteral("Álbum ñ");
    setTrack(title, artist, album, QStringLiteral("iso"), QStringLiteral("2.8MHz"), QString());
    g_CurMusicPlay.duration = 245;
    g_CurMusicPlay.currentPosition = 61;
    g_CurMusicPlay.playState = PlayPlaying;
    g_CurMusicPlay.isHiRes = true;
    b.setPlayingIndex(2, 513);
    setHeader(0xA1, 0, 9, 121, 0, 0, 0);
    const int npLen = b.PacketMediaInfoData();
    SendFrameData.setLength(npLen);
    built.append({b.ProcessingPackets(), 0, 9, 121, 0, 0, npLen});

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile out(dir.filePath(QStringLiteral("frames.bin")));
    QVERIFY(out.open(QIODevice::WriteOnly));
    for (const Built &f : built)
        out.write(f.frame);
    out.close();

    QProcess sim;
    sim.start(QStringLiteral("/usr/bin/python3"), {TestSandbox::sourceDir() + QStringLiteral("/tools/sim/mcu_sim.py"),
                                                   QStringLiteral("--decode"), out.fileName()});
    QVERIFY(sim.waitForFinished(20000));
    QCOMPARE(sim.exitCode(), 0);
    const QList<QByteArray> lines = sim.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(lines.size(), built.size());
    for (int i = 0; i < built.size(); ++i) {
        const QJsonObject o = QJsonDocument::fromJson(lines.at(i)).object();
        const Built &f = built.at(i);
        QVERIFY2(!o.contains(QStringLiteral("bad")) && !o.contains(QStringLiteral("noise")), lines.at(i).constData());
        QCOMPARE(o.value(QStringLiteral("type")).toInt(), 0xA1);
        QCOMPARE(o.value(QStringLiteral("unit")).toInt(), 1);
        QCOMPARE(o.value(QStringLiteral("preset")).toInt(), f.preset);
        QCOMPARE(o.value(QStringLiteral("group")).toInt(), f.group);
        QCOMPARE(o.value(QStringLiteral("item")).toInt(), f.item);
        QCOMPARE(o.value(QStringLiteral("slot")).toInt(), f.slot);
        QCOMPARE(o.value(QStringLiteral("target")).toInt(), f.target);
        QCOMPARE(o.value(QStringLiteral("len")).toInt(), f.len);
        QCOMPARE(o.value(QStringLiteral("payload")).toString().toLatin1(), f.frame.mid(14, f.len).toHex());
    }
    const QJsonObject np =
        QJsonDocument::fromJson(lines.last()).object().value(QStringLiteral("nowplaying")).toObject();
    QVERIFY2(np.value(QStringLiteral("ok")).toBool(), lines.last().constData());
    QCOMPARE(np.value(QStringLiteral("total")).toInt(), 245);
    QCOMPARE(np.value(QStringLiteral("elapsed")).toInt(), 61);
    QCOMPARE(np.value(QStringLiteral("title")).toString(), QString(43, QChar(0x97F3)));
    QCOMPARE(np.value(QStringLiteral("artist")).toString(), QString(25, QChar(0xAC00)));
    QCOMPARE(np.value(QStringLiteral("album")).toString(), album);
    QCOMPARE(np.value(QStringLiteral("format")).toString(), QStringLiteral("DSD64 / 2.8MHz"));
    QCOMPARE(np.value(QStringLiteral("hires")).toInt(), 1);
    QCOMPARE(np.value(QStringLiteral("state")).toInt(), 2);
    QCOMPARE(np.value(QStringLiteral("folder")).toInt(), 2);
    QCOMPARE(np.value(QStringLiteral("index")).toInt(), 513);
    QCOMPARE(QJsonDocument::fromJson(lines.at(3)).object().value(QStringLiteral("name")).toString(),
             QStringLiteral("CAS-2"));
}

QTEST_GUILESS_MAIN(TstBufDataProce)
#include "tst_bufdataproce.moc"
