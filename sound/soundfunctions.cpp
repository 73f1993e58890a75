#include "soundfunctions.h"

#include "globals.h"
#include "linkglobals.h"
#include "soundtables.h"

#include <cmath>

namespace {

int indexIn(const QVector<int> &list, int code, int absent)
{
    const int i = list.indexOf(code);
    return i >= 0 ? i : absent;
}

int lastIndexIfAbsent(int listNo, int code)
{
    const QVector<int> &l = cascadeSourceList(listNo);
    return indexIn(l, code, l.size() - 1);
}

int firstAtLeast(const QVector<int> &list, int freq)
{
    for (int i = 0; i < list.size(); ++i) {
        if (list[i] >= freq)
            return i;
    }
    return -1;
}

} // namespace

void Init_CH_MapType(bool threeWay)
{
    static const quint8 twoWay[6] = {6, 12, 15, 18, 22, 23};
    static const quint8 threeWayMap[6] = {1, 7, 4, 5, 3, 9};
    m_nCurSystem.write(16, threeWay ? threeWayMap : twoWay, 6);
    m_nCurSystem.set(22, 0);
    m_nCurSystem.set(23, 0);
}

void InitOutHLP_Data(int channel)
{
    if (channel < 0 || channel >= 6)
        return;
    const int type = m_nCurSystem.at(16 + channel);
    int hp = 0;
    int lp = 0;
    switch (type) {
    case 0:
    case 6:
    case 12:
    case 15:
    case 18:
    case 21:
    case 27:
    case 28:
    case 29:
        hp = 80, lp = 20000;
        break;
    case 1:
    case 7:
    case 13:
    case 16:
    case 19:
        hp = 5000, lp = 20000;
        break;
    case 2:
    case 8:
    case 25:
    case 26:
        hp = 600, lp = 1500;
        break;
    case 3:
    case 9:
    case 14:
    case 17:
    case 20:
        hp = 20, lp = 500;
        break;
    case 4:
    case 10:
        hp = 500, lp = 20000;
        break;
    case 5:
    case 11:
        hp = 20, lp = 5000;
        break;
    case 22:
    case 23:
    case 24:
        hp = 20, lp = 80;
        break;
    default:
        return; // types 30 and above keep their record
    }
    const int at = Image::outputSlot(channel, 32);
    m_nCurProgram.setU16(at, quint16(hp));
    m_nCurProgram.set(at + 2, 1);
    m_nCurProgram.setU16(at + 4, quint16(lp));
    m_nCurProgram.set(at + 6, 1);
}

void ResetPlayerKey()
{
    m_nCurSystem.fill(0, 56, 8);
    m_nCurSystem.set(59, 255);
}

void InitTempStudyData()
{
    m_nMarker.fill(255, 0, 7);
    m_nMarker.set(7, 0);
}

void InitCurEQData()
{
    for (ProgramImage &p : m_nUseProgram) {
        p.fill(' ', 0, 16);
        p.set(16, 0);
    }
    for (Shared<qint32> &lamp : m_nLamp)
        lamp = 0;

    SystemImage &s = m_nCurSystem;
    s.set(0, 5);
    s.set(1, 255);
    s.fill(60, 2, 6);
    s.setU16(8, 12);
    s.set(11, 55);
    s.set(13, 100);
    s.set(14, 1);
    s.set(24, 0);
    for (int b : {32, 33, 36, 38, 43, 47, 54})
        s.set(b, 0);
    s.set(34, 1);
    s.set(35, 2);
    s.set(39, 11);
    s.set(40, 1);
    s.fill(255, 48, 6);
    s.set(42, 255);
    s.set(45, 1); // the mix source is off
    s.set(85, 1);

    m_nCasSystem.set(0, 1);
    m_nCasSystem.set(1, 255);
    m_nCasSystem.setU16(8, 27);

    Init_CH_MapType(false);
    SendFrameData.setTags(FRAME_START_TAG);
    ResetPlayerKey();
    for (int ch = 0; ch < 6; ++ch)
        InitOutHLP_Data(ch);

    CasStructData.copyAll(m_nCurProgram);
    SendStructData.copyAll(m_nCurProgram);
    SendSYSData.copyAll(m_nCurSystem);
    m_nSendUSBLink.fill(0);
    m_nCurUSBLink = 0;
}

int getMainSourceAttenID()
{
    return indexIn(MainSourceAtten, m_nCurSystem.at(13), 4);
}

int getMixSourceID(int code)
{
    return indexIn(MixSourceSelect, code, 4);
}

int getMixSourceID_List4(int code)
{
    return lastIndexIfAbsent(4, code);
}
int getMixSourceID_List5(int code)
{
    return lastIndexIfAbsent(5, code);
}
int getMixSourceID_List6(int code)
{
    return lastIndexIfAbsent(6, code);
}
int getMixSourceID_List7(int code)
{
    return lastIndexIfAbsent(7, code);
}
int getMixSourceID_List8(int code)
{
    return lastIndexIfAbsent(8, code);
}

int getMixSourceID_List9(int code)
{
    const QVector<int> &l = cascadeSourceList(9);
    return code == l[0] ? 0 : code == l[1] ? 1 : 2;
}

int getCascadeSourceID(int code)
{
    const int model = m_nCasModel.get();
    const int count = cascadeSourceCount(model);
    int listNo = 0;
    switch (model) {
    case 0:
        listNo = 1;
        break;
    case 1:
    case 5:
    case 6:
    case 12:
        listNo = 2;
        break;
    case 2:
        listNo = 3;
        break;
    case 4:
    case 8:
        listNo = 5;
        break;
    default:
        break;
    }
    const QVector<int> &l = cascadeSourceList(listNo);
    for (int i = 0; i < count && i < l.size(); ++i) {
        if (l[i] == code)
            return i;
    }
    return qMax(0, count - 1);
}

int Fix_ReadGain_Step(int value)
{
    if (value > 68)
        return 35;
    for (int i = 0; i < CascadeGainSteps.size(); ++i) {
        if (CascadeGainSteps[i] + 60 >= value)
            return i;
    }
    return CascadeGainSteps.size() - 1;
}

int Get_RealSubgain(int step)
{
    step = qMax(0, step);
    if (step <= 12)
        return 50 * step;
    return qMin(660, 600 + 20 * (step - 12));
}

int Get_SubgainStep(int value)
{
    if (value < 620)
        return qMax(0, value / 50);
    return qMin(15, (value - 600) / 20 + 12);
}

int getDelayUintID()
{
    switch (Cur_Delay_Uint) {
    case DelayUnitCm:
        return 1;
    case DelayUnitInch:
        return 2;
    default:
        return 0;
    }
}

int dspRateCode()
{
    const int code = m_nCurSystem.at(39);
    return code == 6 ? 9 : code;
}

double DelayConver(int channel, int unit)
{
    if (channel < 0 || channel >= Image::OutputChannels)
        return 0;
    const int samples = m_nCurProgram.u16(Image::outputSlot(channel, 31) + 4);
    const double ms = samples / (dspRateCode() == 9 ? 96.0 : 192.0);
    switch (unit) {
    case DelayUnitMs:
        return Conversion_Accuracy(ms, 3);
    case DelayUnitCm:
        return Conversion_Accuracy(ms * 34.0, 2);
    case DelayUnitInch:
        return Conversion_Accuracy(ms * 13.4, 2);
    default:
        return 0;
    }
}

double Conversion_Accuracy(double x, int n)
{
    n = qBound(0, n, 9);
    const double scale = std::pow(10.0, n + 1);
    long long t = static_cast<long long>(x * scale);
    const long long last = t % 10;
    if (last >= 5)
        t += 10;
    t -= last;
    return static_cast<double>(t) / scale;
}

bool check_KeyType_AD2(int key, bool fromLearning)
{
    if (key < 0 || key >= 32)
        return false;
    const int bits = fromLearning ? m_nMarker.at(7) : m_nCurSystem.at(54);
    return g_CompareBit(bits, key);
}

bool g_CompareBit(int value, int bit)
{
    if (bit < 0)
        return false;
    if (bit >= 32)
        return value < 0;
    return (static_cast<unsigned>(value) >> bit) & 1u;
}

int g_GetEQFreq_Index(int freq, int band)
{
    if (band < 0 || band >= Input_FrequencyList.size())
        return -1;
    const QVector<int> &l = Input_FrequencyList[band];
    if (freq <= l.first())
        return 0;
    return firstAtLeast(l, freq);
}

int g_GetHLPFreq_Index(bool threeWay, int freq, int list)
{
    if (threeWay && (list < 0 || list >= HLP_ThreeWayList.size()))
        return 0;
    const QVector<int> &l = threeWay ? HLP_ThreeWayList[list] : HLP_TwoWayList;
    return qMax(0, firstAtLeast(l, freq));
}
