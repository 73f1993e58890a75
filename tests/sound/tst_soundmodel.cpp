// The sound settings model: defaults of the images, lookup lists, the
// conversions and bit tests, the value rules the setup screens call, and
// the text helpers used with the DSP.

#include "globals.h"
#include "linkglobals.h"
#include "linktext.h"
#include "soundfunctions.h"
#include "soundrules.h"
#include "soundtables.h"

#include <QTextCodec>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int bandFreq(int band)
{
    return m_nCurProgram.u16(Image::inputSlot(0, band));
}
void setBandFreqs(const QVector<int> &freqs)
{
    for (int b = 0; b < freqs.size(); ++b)
        m_nCurProgram.setU16(Image::inputSlot(0, b), quint16(freqs[b]));
}
int edge(int channel, bool lowPass)
{
    return m_nCurProgram.u16(Image::outputSlot(channel, 32) + (lowPass ? 4 : 0));
}
void setEdge(int channel, bool lowPass, int hz)
{
    m_nCurProgram.setU16(Image::outputSlot(channel, 32) + (lowPass ? 4 : 0), quint16(hz));
}
void setDelay(int channel, int samples)
{
    m_nCurProgram.setU16(Image::outputSlot(channel, 31) + 4, quint16(samples));
}
// A middle position of the factory bands, in ascending order.
const QVector<int> MidBands = {31, 63, 125, 250, 500, 1000, 2000, 4000, 8000, 12000};

} // namespace

class TstSoundModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        for (ProgramImage &p : m_nUseProgram)
            p.fill(0xEE);
        m_nCurProgram.fill(0);
        m_nCurSystem.fill(0);
        m_nCasSystem.fill(0);
        m_nMarker.fill(0);
        m_nCasModel = -1;
        Cur_Delay_Uint = 1000;
        Cur_Delay_Step = 1;
        InitCurEQData();
    }

    void startDefaults()
    {
        QCOMPARE(int(m_nCurSystem.at(0)), 5);
        QCOMPARE(int(m_nCurSystem.at(1)), 255);
        QCOMPARE(int(m_nCurSystem.at(45)), 1);
        for (int b = 2; b <= 7; ++b)
            QCOMPARE(int(m_nCurSystem.at(b)), 60);
        QCOMPARE(int(m_nCurSystem.u16(8)), 12);
        QCOMPARE(int(m_nCurSystem.at(11)), 55);
        QCOMPARE(int(m_nCurSystem.at(13)), 100);
        QCOMPARE(int(m_nCurSystem.at(14)), 1);
        QCOMPARE(m_nCurSystem.bytes(16, 8), QByteArray("\x06\x0C\x0F\x12\x16\x17\x00\x00", 8));
        QCOMPARE(int(m_nCurSystem.at(34)), 1);
        QCOMPARE(int(m_nCurSystem.at(35)), 2);
        QCOMPARE(int(m_nCurSystem.at(39)), 11);
        QCOMPARE(int(m_nCurSystem.at(40)), 1);
        QCOMPARE(m_nCurSystem.bytes(48, 6), QByteArray(6, '\xFF'));
        QCOMPARE(int(m_nCurSystem.at(42)), 255);
        QCOMPARE(m_nCurSystem.bytes(56, 8), QByteArray("\0\0\0\xFF\0\0\0\0", 8));
        QCOMPARE(int(m_nCurSystem.at(85)), 1);
        QCOMPARE(int(m_nCasSystem.at(0)), 1);
        QCOMPARE(int(m_nCasSystem.at(1)), 255);
        QCOMPARE(int(m_nCasSystem.u16(8)), 27);
        QCOMPARE(m_nUseProgram[4].bytes(0, 17), QByteArray(16, ' ') + QByteArray(1, '\0'));
        QCOMPARE(int(m_nUseProgram[4].at(17)), 0xEE); // the rest of a preset is the DSP's
        // Front channels 80..20000 Hz, the subwoofer pair 20..80 Hz, enables on.
        QCOMPARE(edge(0, false), 80);
        QCOMPARE(edge(0, true), 20000);
        QCOMPARE(edge(5, false), 20);
        QCOMPARE(edge(5, true), 80);
        QCOMPARE(int(m_nCurProgram.at(Image::outputSlot(3, 32) + 2)), 1);
        QCOMPARE(int(m_nCurProgram.at(Image::outputSlot(3, 32) + 6)), 1);
        // Nothing differs from the sent copies: the scanner starts quiet.
        QCOMPARE(SendSYSData.bytes(0, Image::SystemSize), m_nCurSystem.bytes(0, Image::SystemSize));
        QCOMPARE(SendStructData.bytes(0, Image::ProgramSize), m_nCurProgram.bytes(0, Image::ProgramSize));
        QCOMPARE(CasStructData.bytes(0, Image::ProgramSize), m_nCurProgram.bytes(0, Image::ProgramSize));
        QCOMPARE(int(m_nSendUSBLink.at(0)), 0);
    }

    void crossoverDefaults_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("hp");
        QTest::addColumn<int>("lp");
        QTest::newRow("full range 0") << 0 << 80 << 20000;
        QTest::newRow("full range 29") << 29 << 80 << 20000;
        QTest::newRow("tweeter 19") << 19 << 5000 << 20000;
        QTest::newRow("mid 26") << 26 << 600 << 1500;
        QTest::newRow("woofer 20") << 20 << 20 << 500;
        QTest::newRow("mid-high 10") << 10 << 500 << 20000;
        QTest::newRow("mid-low 11") << 11 << 20 << 5000;
        QTest::newRow("subwoofer 24") << 24 << 20 << 80;
        QTest::newRow("type 30 keeps the record") << 30 << 1234 << 4321;
    }
    void crossoverDefaults()
    {
        QFETCH(int, type);
        QFETCH(int, hp);
        QFETCH(int, lp);
        setEdge(2, false, 1234);
        setEdge(2, true, 4321);
        m_nCurSystem.set(18, quint8(type));
        InitOutHLP_Data(2);
        QCOMPARE(edge(2, false), hp);
        QCOMPARE(edge(2, true), lp);
    }

    void threeWayMap()
    {
        Init_CH_MapType(true);
        QCOMPARE(m_nCurSystem.bytes(16, 8), QByteArray("\x01\x07\x04\x05\x03\x09\x00\x00", 8));
        for (int ch = 0; ch < 6; ++ch)
            InitOutHLP_Data(ch);
        QCOMPARE(edge(0, false), 5000); // tweeter
        QCOMPARE(edge(2, true), 20000); // mid left: type 4
        QCOMPARE(edge(3, true), 5000);  // mid right: type 5
        QCOMPARE(edge(4, true), 500);   // woofer
    }

    void resetRecords()
    {
        m_nCurSystem.fill(7, 56, 8);
        ResetPlayerKey();
        QCOMPARE(m_nCurSystem.bytes(56, 8), QByteArray("\0\0\0\xFF\0\0\0\0", 8));
        m_nMarker.fill(3);
        InitTempStudyData();
        QCOMPARE(m_nMarker.bytes(0, 9), QByteArray(7, '\xFF') + QByteArray(1, '\0') + QByteArray(1, '\x03'));
    }

    void lists()
    {
        // Q of N octaves is sqrt(2^N) / (2^N - 1): index 95 is one octave.
        QCOMPARE(m_nQ.size(), 296);
        QCOMPARE(m_nQ[0], 28.852);
        QCOMPARE(m_nQ[95], 1.414);
        QCOMPARE(m_nQ[295], 0.404);
        for (int i = 1; i < m_nQ.size(); ++i)
            QVERIFY(m_nQ[i] <= m_nQ[i - 1]);
        QCOMPARE(eqQText(95), QStringLiteral("1.414"));
        QCOMPARE(HLP_ThreeWayList[1].mid(17), HLP_ThreeWayList[3]);
        QCOMPARE(HLP_ThreeWayList[1].first(), 20);
        QCOMPARE(HLP_ThreeWayList[1].last(), 20000);
        QCOMPARE(HLP_ThreeWayList[0], HLP_ThreeWayList[2]);
        QCOMPARE(HLP_ThreeWayList[0].last(), 800);
        for (const QVector<int> &band : Input_FrequencyList)
            QVERIFY(std::is_sorted(band.begin(), band.end()));
        QCOMPARE(CascadeGainSteps.first(), -60);
        QCOMPARE(CascadeGainSteps.last(), 8);
        QCOMPARE(slopeLabel(0), QStringLiteral("6dB/Oct"));
        QCOMPARE(slopeLabel(7), QStringLiteral("48dB/Oct"));
        QCOMPARE(slopeLabel(8), QStringLiteral("关闭"));
        QCOMPARE(cascadeSourceLabel(0), QStringLiteral("光纤"));
        QCOMPARE(cascadeSourceLabel(3), QStringLiteral("高电平"));
        QCOMPARE(mixSourceLabel(255), QStringLiteral("关闭"));
    }

    void lookups()
    {
        m_nCurSystem.set(13, 50);
        QCOMPARE(getMainSourceAttenID(), 2);
        m_nCurSystem.set(13, 33);
        QCOMPARE(getMainSourceAttenID(), 4);
        QCOMPARE(getMixSourceID(3), 3);
        QCOMPARE(getMixSourceID(9), 4);
        QCOMPARE(getMixSourceID_List4(255), 5);
        QCOMPARE(getMixSourceID_List4(7), 5);
        QCOMPARE(getMixSourceID_List7(1), 3);
        QCOMPARE(getMixSourceID_List8(6), 5);
        QCOMPARE(getMixSourceID_List8(9), 6);
        QCOMPARE(getMixSourceID_List5(3), 3);
        QCOMPARE(getMixSourceID_List6(3), 2);
        QCOMPARE(getMixSourceID_List9(2), 1);
        QCOMPARE(getMixSourceID_List9(0), 2);
    }

    void cascadeSource_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("index");
        QTest::newRow("model 0, coaxial") << 0 << 1 << 3;
        QTest::newRow("model 1, Bluetooth") << 1 << 2 << 2;
        QTest::newRow("model 2, Bluetooth") << 2 << 2 << 1;
        QTest::newRow("model 2, not in its two entries") << 2 << 3 << 1;
        QTest::newRow("model 8, code 3") << 8 << 3 << 3;
        QTest::newRow("model 8, off is past its four entries") << 8 << 255 << 3;
        QTest::newRow("model 12, code 3") << 12 << 3 << 1;
        QTest::newRow("model 3 has no such list") << 3 << 0 << 0;
        QTest::newRow("model 9 has no such list") << 9 << 1 << 0;
        QTest::newRow("no cascaded unit") << -1 << 1 << 0;
    }
    void cascadeSource()
    {
        QFETCH(int, model);
        QFETCH(int, code);
        QFETCH(int, index);
        m_nCasModel = model;
        QCOMPARE(getCascadeSourceID(code), index);
    }

    void gainSteps_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::newRow("read gain above the table") << "Fix_ReadGain_Step" << 69 << 35;
        QTest::newRow("read gain 0") << "Fix_ReadGain_Step" << 0 << 0;
        QTest::newRow("read gain 14 is -46 dB") << "Fix_ReadGain_Step" << 14 << 4;
        QTest::newRow("read gain between steps") << "Fix_ReadGain_Step" << 15 << 5;
        QTest::newRow("read gain 68 is +8 dB") << "Fix_ReadGain_Step" << 68 << 35;
        QTest::newRow("sub step of 660") << "Get_SubgainStep" << 660 << 15;
        QTest::newRow("sub step of 619") << "Get_SubgainStep" << 619 << 12;
        QTest::newRow("sub step of 700") << "Get_SubgainStep" << 700 << 15;
        QTest::newRow("sub step of a negative value") << "Get_SubgainStep" << -40 << 0;
        QTest::newRow("sub value of 15") << "Get_RealSubgain" << 15 << 660;
        QTest::newRow("sub value of 13") << "Get_RealSubgain" << 13 << 620;
        QTest::newRow("sub value of 12") << "Get_RealSubgain" << 12 << 600;
        QTest::newRow("sub value past the steps") << "Get_RealSubgain" << 20 << 660;
    }
    void gainSteps()
    {
        QFETCH(QString, function);
        QFETCH(int, in);
        QFETCH(int, out);
        const int got = function == "Fix_ReadGain_Step" ? Fix_ReadGain_Step(in)
                        : function == "Get_SubgainStep" ? Get_SubgainStep(in)
                                                        : Get_RealSubgain(in);
        QCOMPARE(got, out);
    }

    void subgainRoundTrip()
    {
        for (int step = 0; step <= 15; ++step)
            QCOMPARE(Get_SubgainStep(Get_RealSubgain(step)), step);
    }

    void rounding_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("n");
        QTest::addColumn<double>("expected");
        QTest::newRow("1.2345 to 2") << 1.2345 << 2 << 1.23;
        QTest::newRow("1.2355 to 2") << 1.2355 << 2 << 1.24;
        QTest::newRow("carry into the units") << 2.996 << 2 << 3.0;
        QTest::newRow("negative n counts as 0") << 2.6 << -3 << 3.0;
        QTest::newRow("exact") << 5.0 << 3 << 5.0;
    }
    void rounding()
    {
        QFETCH(double, x);
        QFETCH(int, n);
        QFETCH(double, expected);
        QVERIFY2(std::fabs(Conversion_Accuracy(x, n) - expected) < 1e-9,
                 qPrintable(QString::number(Conversion_Accuracy(x, n), 'f', 6)));
    }

    void delayConversion_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("480 at 96 kHz in ms") << 9 << 480 << 1000 << 5.0 << "5.000毫秒";
        QTest::newRow("480 at 96 kHz in cm") << 9 << 480 << 1001 << 170.0 << "170.00厘米";
        QTest::newRow("480 at 96 kHz in inch") << 9 << 480 << 1002 << 67.0 << "67.00英寸";
        QTest::newRow("a stored 6 reads as 96 kHz") << 6 << 480 << 1000 << 5.0 << "5.000毫秒";
        QTest::newRow("480 at 192 kHz") << 11 << 480 << 1000 << 2.5 << "2.500毫秒";
        QTest::newRow("1 sample at 96 kHz") << 9 << 1 << 1000 << 0.01 << "0.010毫秒";
        QTest::newRow("unknown unit") << 9 << 480 << 1003 << 0.0 << "";
    }
    void delayConversion()
    {
        QFETCH(int, rate);
        QFETCH(int, samples);
        QFETCH(int, unit);
        QFETCH(double, value);
        QFETCH(QString, text);
        m_nCurSystem.set(39, quint8(rate));
        setDelay(3, samples);
        QVERIFY(std::fabs(DelayConver(3, unit) - value) < 1e-9);
        if (text.isEmpty())
            return;
        Cur_Delay_Uint = unit;
        QCOMPARE(getDelayUintID(), unit - 1000);
        QCOMPARE(delayText(3), text);
    }

    void delaySteps()
    {
        m_nCurSystem.set(39, 9);
        setDelay(0, 958);
        Cur_Delay_Step = 5;
        QVERIFY(stepDelay(0, true));
        QCOMPARE(int(m_nCurProgram.u16(Image::outputSlot(0, 31) + 4)), 960);
        QVERIFY(!stepDelay(0, true));
        m_nCurSystem.set(39, 11);
        QVERIFY(stepDelay(0, true));
        QCOMPARE(int(m_nCurProgram.u16(Image::outputSlot(0, 31) + 4)), 965);
        setDelay(0, 1918);
        QVERIFY(stepDelay(0, true));
        QCOMPARE(int(m_nCurProgram.u16(Image::outputSlot(0, 31) + 4)), 1920);
        setDelay(1, 3);
        QVERIFY(stepDelay(1, false));
        QCOMPARE(int(m_nCurProgram.u16(Image::outputSlot(1, 31) + 4)), 0);
        Cur_Delay_Uint = 7; // unknown units show as ms
        QCOMPARE(getDelayUintID(), 0);
    }

    void bits()
    {
        QVERIFY(g_CompareBit(5, 0));
        QVERIFY(!g_CompareBit(5, 1));
        QVERIFY(g_CompareBit(int(0x80000000u), 31));
        QVERIFY(g_CompareBit(-1, 40));
        QVERIFY(!g_CompareBit(1, 40));
        QVERIFY(!g_CompareBit(1, -1));

        m_nCurSystem.set(54, 0x24); // keys 2 and 5 on line 2
        m_nMarker.set(7, 0x01);
        QVERIFY(check_KeyType_AD2(2, false));
        QVERIFY(check_KeyType_AD2(5, false));
        QVERIFY(!check_KeyType_AD2(0, false));
        QVERIFY(check_KeyType_AD2(0, true));
        QVERIFY(!check_KeyType_AD2(2, true));
        QVERIFY(!check_KeyType_AD2(32, false));
        QVERIFY(!check_KeyType_AD2(40, false));
    }

    void frequencyIndexes_data()
    {
        QTest::addColumn<bool>("eq");
        QTest::addColumn<bool>("threeWay");
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("freq");
        QTest::addColumn<int>("index");
        QTest::newRow("EQ below band 0") << true << false << 0 << 10 << 0;
        QTest::newRow("EQ on an entry") << true << false << 2 << 125 << 3;
        QTest::newRow("EQ between entries") << true << false << 2 << 64 << 1;
        QTest::newRow("EQ above band 2") << true << false << 2 << 400 << -1;
        QTest::newRow("EQ unknown band") << true << false << 10 << 400 << -1;
        QTest::newRow("two-way below") << false << false << 0 << 10 << 0;
        QTest::newRow("two-way above") << false << false << 0 << 250 << 0;
        QTest::newRow("two-way between") << false << false << 0 << 70 << 6;
        QTest::newRow("three-way list 1 past 800") << false << true << 1 << 900 << 17;
        QTest::newRow("three-way list 3 on 5000") << false << true << 3 << 5000 << 7;
    }
    void frequencyIndexes()
    {
        QFETCH(bool, eq);
        QFETCH(bool, threeWay);
        QFETCH(int, list);
        QFETCH(int, freq);
        QFETCH(int, index);
        QCOMPARE(eq ? g_GetEQFreq_Index(freq, list) : g_GetHLPFreq_Index(threeWay, freq, list), index);
    }

    void clampedSteps_data()
    {
        QTest::addColumn<int>("edit");
        QTest::addColumn<bool>("system"); // a system byte, else the program image
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("wide");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("text");
        const int treble = Image::inputSlot(0, 10) + 2;
        const int bass = Image::inputSlot(0, 11) + 2;
        const int sub = Image::outputSlot(5, 35);
        QTest::newRow("treble at the top")
            << int(SoundEdit::Treble) << false << treble << true << 670 << true << 670 << "+7.0dB";
        QTest::newRow("treble at the bottom")
            << int(SoundEdit::Treble) << false << treble << true << 530 << false << 530 << "-7.0dB";
        QTest::newRow("treble off the grid, up")
            << int(SoundEdit::Treble) << false << treble << true << 665 << true << 670 << "+7.0dB";
        QTest::newRow("bass down") << int(SoundEdit::Bass) << false << bass << true << 600 << false << 590 << "-1.0dB";
        QTest::newRow("bass above the range")
            << int(SoundEdit::Bass) << false << bass << true << 900 << true << 670 << "+7.0dB";
        QTest::newRow("sub level top") << int(SoundEdit::SubLevel) << false << sub + 4 << false << 15 << true << 15
                                       << "15";
        QTest::newRow("sub phase") << int(SoundEdit::SubPhase) << false << sub + 5 << false << 0 << true << 1 << "180°";
        QTest::newRow("sub on") << int(SoundEdit::SubOn) << false << sub + 6 << false << 1 << false << 0 << "0";
        QTest::newRow("balance bottom") << int(SoundEdit::Balance) << false << sub << false << 0 << false << 0 << "0";
        QTest::newRow("fader up") << int(SoundEdit::Fader) << false << sub + 1 << false << 15 << true << 16 << "16";
        QTest::newRow("USB volume down") << int(SoundEdit::VolumeUsb) << true << 3 << false << 60 << false << 59
                                         << "-1dB";
        QTest::newRow("USB Audio volume top")
            << int(SoundEdit::VolumeUsbAudio) << true << 7 << false << 60 << true << 60 << "0dB";
        QTest::newRow("output volume top")
            << int(SoundEdit::OutputVolume) << true << 2 << false << 66 << true << 66 << "+6dB";
        QTest::newRow("output volume bottom")
            << int(SoundEdit::OutputVolume) << true << 2 << false << 48 << false << 48 << "-12dB";
        QTest::newRow("dimmer level shown from 1")
            << int(SoundEdit::DimmerLevel) << true << 35 << false << 1 << true << 2 << "3";
        QTest::newRow("blackout") << int(SoundEdit::Blackout) << true << 36 << false << 1 << true << 1 << "1";
        QTest::newRow("switch 32") << int(SoundEdit::Switch32) << true << 32 << false << 0 << true << 1 << "1";
    }
    void clampedSteps()
    {
        QFETCH(int, edit);
        QFETCH(bool, system);
        QFETCH(int, offset);
        QFETCH(bool, wide);
        QFETCH(int, start);
        QFETCH(bool, up);
        QFETCH(int, after);
        QFETCH(QString, text);
        auto value = [&] {
            return system ? int(m_nCurSystem.at(offset))
                   : wide ? int(m_nCurProgram.u16(offset))
                          : int(m_nCurProgram.at(offset));
        };
        if (system)
            m_nCurSystem.set(offset, quint8(start));
        else if (wide)
            m_nCurProgram.setU16(offset, quint16(start));
        else
            m_nCurProgram.set(offset, quint8(start));
        const auto e = SoundEdit(edit);
        QCOMPARE(soundEditValue(e), start);
        QCOMPARE(stepSoundEdit(e, up), after != start);
        QCOMPARE(value(), after);
        QCOMPARE(soundEditText(e), text);
    }

    void eqFrequencyStep_data()
    {
        QTest::addColumn<int>("band");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("after");
        QTest::newRow("up one entry") << 2 << 125 << true << 160;
        QTest::newRow("down one entry") << 2 << 125 << false << 100;
        QTest::newRow("below the list, down stays") << 2 << 50 << false << 50;
        QTest::newRow("below the list, up to its first") << 2 << 50 << true << 63;
        QTest::newRow("between entries, down to the lower") << 2 << 70 << false << 63;
        QTest::newRow("between entries, up to the higher") << 2 << 70 << true << 80;
        QTest::newRow("below band 5's list, up to its first") << 5 << 450 << true << 500;
        QTest::newRow("above the list, up stays") << 4 << 1100 << true << 1100;
        QTest::newRow("above the list, down to its last") << 4 << 1100 << false << 1000;
        QTest::newRow("last entry, up stays") << 9 << 20000 << true << 20000;
        QTest::newRow("first entry, down stays") << 0 << 20 << false << 20;
    }
    void eqFrequencyStep()
    {
        QFETCH(int, band);
        QFETCH(int, start);
        QFETCH(bool, up);
        QFETCH(int, after);
        // Neighbours far enough apart not to block the step.
        QVector<int> freqs(10);
        for (int b = 0; b < 10; ++b)
            freqs[b] = b < band ? 20 : 20000;
        freqs[band] = start;
        setBandFreqs(freqs);
        QCOMPARE(stepEqFrequency(band, up), after != start);
        QCOMPARE(bandFreq(band), after);
    }

    void eqBandsStayInOrder()
    {
        setBandFreqs(MidBands);
        m_nCurProgram.setU16(Image::inputSlot(0, 3), 400);
        m_nCurProgram.setU16(Image::inputSlot(0, 4), 400);
        QVERIFY(!stepEqFrequency(3, true)); // 500 would pass band 4
        QCOMPARE(bandFreq(3), 400);
        QVERIFY(!stepEqFrequency(4, false)); // 315 would fall below band 3
        QCOMPARE(bandFreq(4), 400);
        QVERIFY(stepEqFrequency(4, true));
        QVERIFY(stepEqFrequency(3, true));
        QCOMPARE(bandFreq(3), 500);
    }

    void eqGainAndQ()
    {
        const int slot = Image::inputSlot(0, 6);
        m_nCurProgram.setU16(slot + 2, 720);
        QVERIFY(!stepEqGain(6, true));
        m_nCurProgram.setU16(slot + 2, 480);
        QVERIFY(!stepEqGain(6, false));
        QVERIFY(stepEqGain(6, true));
        QCOMPARE(eqGainText(m_nCurProgram.u16(slot + 2)), QStringLiteral("-11.9dB"));
        QCOMPARE(eqGainText(605), QStringLiteral("+0.5dB"));
        // The Q control runs against the index: "up" narrows the band.
        m_nCurProgram.setU16(slot + 4, 100);
        QVERIFY(stepEqQ(6, true));
        QCOMPARE(int(m_nCurProgram.u16(slot + 4)), 99);
        m_nCurProgram.setU16(slot + 4, 0);
        QVERIFY(!stepEqQ(6, true));
        m_nCurProgram.setU16(slot + 4, 295);
        QVERIFY(!stepEqQ(6, false));
    }

    void crossoverPairs()
    {
        // Two-way front pair: both channels follow the list step.
        setEdge(0, false, 80);
        setEdge(1, false, 63);
        QVERIFY(stepCrossover(CrossoverRow::FrontHigh, true));
        QCOMPARE(edge(0, false), 100);
        QCOMPARE(edge(1, false), 100);
        setEdge(4, true, 200);
        setEdge(5, true, 200);
        QVERIFY(!stepCrossover(CrossoverRow::SubLow, true));
        QVERIFY(stepCrossover(CrossoverRow::SubLow, false));
        QCOMPARE(edge(5, true), 160);
        // A frequency off the two-way list starts from its first entry.
        setEdge(2, false, 5000);
        setEdge(3, false, 5000);
        QVERIFY(stepCrossover(CrossoverRow::RearHigh, true));
        QCOMPARE(edge(3, false), 25);
    }

    void midPairEdges()
    {
        Init_CH_MapType(true);
        for (int ch : {2, 3}) {
            setEdge(ch, false, 500);
            setEdge(ch, true, 630);
        }
        QVERIFY(stepCrossover(CrossoverRow::MidHigh, true));
        QCOMPARE(edge(2, false), 630);
        // Above the low-pass: the step stops at it.
        QVERIFY(!stepCrossover(CrossoverRow::MidHigh, true));
        QCOMPARE(edge(3, false), 630);
        QVERIFY(!stepCrossover(CrossoverRow::MidLow, false));
        QCOMPARE(edge(2, true), 630);
        QVERIFY(stepCrossover(CrossoverRow::MidLow, true));
        QCOMPARE(edge(2, true), 800);
        QCOMPARE(edge(3, true), 800);
        // The high-pass can go down freely, the low-pass up freely.
        QVERIFY(stepCrossover(CrossoverRow::MidHigh, false));
        QCOMPARE(edge(2, false), 500);
        QCOMPARE(crossoverFrequency(CrossoverRow::MidHigh), 500);
    }

    void slopes_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("to");
        QTest::newRow("up from off") << 8 << true << 0;
        QTest::newRow("up") << 3 << true << 4;
        QTest::newRow("up from 6") << 6 << true << 7;
        QTest::newRow("up at 7 stays") << 7 << true << 7;
        QTest::newRow("down") << 7 << false << 6;
        QTest::newRow("down from 1") << 1 << false << 0;
        QTest::newRow("down from 0 is off") << 0 << false << 8;
        QTest::newRow("down from off stays off") << 8 << false << 8;
    }
    void slopes()
    {
        QFETCH(int, from);
        QFETCH(bool, up);
        QFETCH(int, to);
        QCOMPARE(nextSlope(from, up), to);
        for (int ch : {4, 5})
            m_nCurProgram.set(Image::outputSlot(ch, 32) + 7, quint8(from));
        QCOMPARE(stepSlope(CrossoverRow::Low, up), from != to);
        QCOMPARE(int(m_nCurProgram.at(Image::outputSlot(4, 32) + 7)), to);
        QCOMPARE(int(m_nCurProgram.at(Image::outputSlot(5, 32) + 7)), to);
        QCOMPARE(crossoverSlope(CrossoverRow::Low), to);
    }

    void sources()
    {
        // Mix source: entries 1..5, never the player's own USB.
        m_nCurSystem.set(1, 2);
        QVERIFY(!stepMixSource(false));
        QCOMPARE(int(m_nCurSystem.at(1)), 2);
        QVERIFY(stepMixSource(true));
        QCOMPARE(int(m_nCurSystem.at(1)), 1);
        QCOMPARE(int(m_nCurSystem.at(45)), 1);
        for (int i = 0; i < 6; ++i)
            stepMixSource(true);
        QCOMPARE(int(m_nCurSystem.at(1)), 255);
        QCOMPARE(int(m_nCurSystem.at(45)), 1);
        QVERIFY(stepMixSource(false));
        QCOMPARE(int(m_nCurSystem.at(1)), 4);
        QCOMPARE(int(m_nCurSystem.at(45)), 4);
        m_nCurSystem.set(1, 5); // a USB mix source read from the DSP moves off it
        QVERIFY(stepMixSource(false));
        QCOMPARE(int(m_nCurSystem.at(1)), 2);

        // Attenuation: the keys run against the list.
        m_nCurSystem.set(13, 100);
        QVERIFY(stepMainAtten(true));
        QCOMPARE(int(m_nCurSystem.at(13)), 70);
        m_nCurSystem.set(13, 0);
        QVERIFY(!stepMainAtten(true));
        QVERIFY(stepMainAtten(false));
        QCOMPARE(int(m_nCurSystem.at(13)), 20);
    }

    void cascadeRows_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("row"); // gain, source, mixer, sub
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("text");
        QTest::newRow("model 0 gain at 60") << 0 << "gain" << 60 << true << 60 << "60";
        QTest::newRow("model 0 gain down") << 0 << "gain" << 60 << false << 59 << "59";
        QTest::newRow("model 1 gain: -46 dB up to -41 dB") << 1 << "gain" << 14 << true << 19 << "-41dB";
        QTest::newRow("model 2 gain off the table, down") << 2 << "gain" << 15 << false << 14 << "-46dB";
        QTest::newRow("model 1 gain at +8 dB") << 1 << "gain" << 68 << true << 68 << "+8dB";
        QTest::newRow("model 4 gain at 35") << 4 << "gain" << 35 << true << 35 << "35";
        QTest::newRow("model 0 source, optical up") << 0 << "source" << 0 << true << 2 << "";
        QTest::newRow("model 4 source: off is not an input") << 4 << "source" << 3 << true << 3 << "";
        QTest::newRow("model 11 source down") << 11 << "source" << 6 << false << 3 << "";
        QTest::newRow("model 7 has no source list") << 7 << "source" << 1 << true << 1 << "";
        QTest::newRow("model 10 mixer up to off") << 10 << "mixer" << 2 << true << 255 << "";
        QTest::newRow("model 3 mixer down") << 3 << "mixer" << 255 << false << 4 << "";
        QTest::newRow("model 8 sub level up") << 8 << "sub" << 480 << true << 520 << "";
        QTest::newRow("model 9 sub level at 15") << 9 << "sub" << 600 << true << 600 << "";
        QTest::newRow("model 3 sub level up") << 3 << "sub" << 620 << true << 640 << "";
        QTest::newRow("model 0 has no sub level") << 0 << "sub" << 480 << true << 480 << "";
    }
    void cascadeRows()
    {
        QFETCH(int, model);
        QFETCH(QString, row);
        QFETCH(int, start);
        QFETCH(bool, up);
        QFETCH(int, after);
        QFETCH(QString, text);
        m_nCasModel = model;
        const quint16 subs = (1 << 6) | (1 << 9);
        auto value = [&]() -> int {
            if (row == "gain")
                return m_nCasSystem.u16(8);
            if (row == "source")
                return m_nCasSystem.at(0);
            if (row == "mixer")
                return m_nCasSystem.at(1);
            return model == 3 ? CasStructData.u16(Image::outputSlot(9, 31) + 2) : m_nCasSystem.u16(164);
        };
        if (row == "gain")
            m_nCasSystem.setU16(8, quint16(start));
        else if (row == "source")
            m_nCasSystem.set(0, quint8(start));
        else if (row == "mixer")
            m_nCasSystem.set(1, quint8(start));
        else if (model == 3)
            for (int ch : {6, 9})
                CasStructData.setU16(Image::outputSlot(ch, 31) + 2, quint16(start));
        else
            m_nCasSystem.setU16(164, quint16(start));
        const bool changed = row == "gain"     ? stepCascadeGain(up)
                             : row == "source" ? stepCascadeSource(up)
                             : row == "mixer"  ? stepCascadeMixer(up)
                                               : stepCascadeSubLevel(up, subs);
        QCOMPARE(changed, after != start);
        QCOMPARE(value(), after);
        if (row == "gain")
            QCOMPARE(cascadeGainText(), text);
        if (row == "sub" && model == 3)
            QCOMPARE(int(CasStructData.u16(Image::outputSlot(6, 31) + 2)), after);
    }

    void textCut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("max");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QString() << 5 << QString();
        QTest::newRow("fits whole") << QStringLiteral("abc") << 3 << QStringLiteral("abc");
        QTest::newRow("latin cut") << QStringLiteral("abcdef") << 4 << QStringLiteral("abcd");
        QTest::newRow("CJK weighs 3") << QStringLiteral("中文abc") << 7 << QStringLiteral("中文a");
        QTest::newRow("no half character") << QStringLiteral("中文") << 5 << QStringLiteral("中");
        QTest::newRow("outside the CJK block weighs 1") << QStringLiteral("한국어") << 2 << QStringLiteral("한국");
        QTest::newRow("nothing fits") << QStringLiteral("中") << 2 << QString();
    }
    void textCut()
    {
        QFETCH(QString, text);
        QFETCH(int, max);
        QFETCH(QString, expected);
        QCOMPARE(Proc_substr_filename(text, max, true), expected.toUtf8());
    }

    void fixedGbkFields()
    {
        QTextCodec *gbk = QTextCodec::codecForName("GBK");
        char field[14];
        std::memset(field, 'x', sizeof(field));
        // Five Chinese characters: 10 GBK bytes.
        QVERIFY(QStringToChar(field, 14, QStringLiteral("用户自定义")));
        QCOMPARE(QByteArray(field, 14), gbk->fromUnicode(QStringLiteral("用户自定义")) + QByteArray(4, '\0'));
        QVERIFY(QStringToChar(field, 14, QStringLiteral("ABCDEFGHIJKLM"))); // 13 bytes
        QCOMPARE(QByteArray(field, 14), QByteArray("ABCDEFGHIJKLM\0", 14));
        // 14 bytes do not fit a 14-byte field (its last byte is the zero).
        QVERIFY(!QStringToChar(field, 14, QStringLiteral("中文中文中文中")));
        QCOMPARE(QByteArray(field, 14), QByteArray("ABCDEFGHIJKLM\0", 14));
        QVERIFY(!QStringToChar(nullptr, 14, QStringLiteral("a")));

        QCOMPARE(localToGBK(QStringLiteral("摇滚")), QByteArray("\xD2\xA1\xB9\xF6"));
        QCOMPARE(GBKToUtf8(QString::fromLatin1("\xD2\xA1\xB9\xF6")), QStringLiteral("摇滚"));
        QVERIFY(IncludeChinese("ab\xD2\xA1"));
        QVERIFY(!IncludeChinese("ab\xD2"));
        QVERIFY(!IncludeChinese("abc"));
        QVERIFY(!IncludeChinese(nullptr));
        // The last byte is forced to zero; the text ends at the first zero.
        QCOMPARE(CharToQString(" name  \0junk", 12), QStringLiteral("name"));
        QCOMPARE(CharToQString("abcd", 4), QStringLiteral("abc"));
    }
};

QTEST_GUILESS_MAIN(TstSoundModel)
#include "tst_soundmodel.moc"
