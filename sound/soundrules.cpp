#include "soundrules.h"

#include "globals.h"
#include "linkglobals.h"
#include "soundfunctions.h"
#include "soundtables.h"

int Cur_Delay_Step = 1;

namespace {

constexpr int GainMin = 480;
constexpr int GainMax = 720;
constexpr int GainZero = 600;

// Where a plain row's value lives.
struct EditField {
    bool system; // system record byte, else live program image
    int offset;
    bool wide; // 16-bit value
    int min;
    int max;
    int step;
};

EditField fieldOf(SoundEdit e)
{
    const int sub = Image::outputSlot(5, 35);
    switch (e) {
    case SoundEdit::Treble:
        return {false, Image::inputSlot(0, 10) + 2, true, 530, 670, 10};
    case SoundEdit::Bass:
        return {false, Image::inputSlot(0, 11) + 2, true, 530, 670, 10};
    case SoundEdit::SubOn:
        return {false, sub + 6, false, 0, 1, 1};
    case SoundEdit::SubPhase:
        return {false, sub + 5, false, 0, 1, 1};
    case SoundEdit::SubLevel:
        return {false, sub + 4, false, 0, 15, 1};
    case SoundEdit::Balance:
        return {false, sub + 0, false, 0, 30, 1};
    case SoundEdit::Fader:
        return {false, sub + 1, false, 0, 30, 1};
    case SoundEdit::VolumeUsb:
        return {true, 3, false, 0, 60, 1};
    case SoundEdit::VolumeBt:
        return {true, 4, false, 0, 60, 1};
    case SoundEdit::VolumeHiLevel:
        return {true, 5, false, 0, 60, 1};
    case SoundEdit::VolumeAux:
        return {true, 6, false, 0, 60, 1};
    case SoundEdit::VolumeUsbAudio:
        return {true, 7, false, 0, 60, 1};
    case SoundEdit::OutputVolume:
        return {true, 2, false, 48, 66, 1};
    case SoundEdit::SpdifSwitch:
        return {true, 33, false, 0, 1, 1};
    case SoundEdit::DimmerControl:
        return {true, 34, false, 0, 1, 1};
    case SoundEdit::DimmerLevel:
        return {true, 35, false, 0, 2, 1};
    case SoundEdit::Blackout:
        return {true, 36, false, 0, 1, 1};
    case SoundEdit::Switch32:
        return {true, 32, false, 0, 1, 1};
    }
    return {true, 0, false, 0, 0, 0};
}

int readField(const EditField &f)
{
    if (f.system)
        return m_nCurSystem.at(f.offset);
    return f.wide ? m_nCurProgram.u16(f.offset) : m_nCurProgram.at(f.offset);
}

void writeField(const EditField &f, int v)
{
    if (f.system)
        m_nCurSystem.set(f.offset, quint8(v));
    else if (f.wide)
        m_nCurProgram.setU16(f.offset, quint16(v));
    else
        m_nCurProgram.set(f.offset, quint8(v));
}

QString decibels(int tenths, int decimals)
{
    const QString sign = tenths > 0 ? QStringLiteral("+") : QString();
    return sign + QString::number(tenths / 10.0, 'f', decimals) + QStringLiteral("dB");
}

int bandOffset(int band)
{
    return Image::inputSlot(0, band);
}

// Channel pair, edge and list of a crossover row.
struct RowSpec {
    int left;
    bool lowPass;
    bool threeWay;
    int list;
};

RowSpec specOf(CrossoverRow row)
{
    switch (row) {
    case CrossoverRow::FrontHigh:
        return {0, false, false, 0};
    case CrossoverRow::RearHigh:
        return {2, false, false, 0};
    case CrossoverRow::SubLow:
        return {4, true, false, 0};
    case CrossoverRow::High:
        return {0, false, true, 3};
    case CrossoverRow::MidHigh:
        return {2, false, true, 2};
    case CrossoverRow::MidLow:
        return {2, true, true, 1};
    case CrossoverRow::Low:
        return {4, true, true, 0};
    }
    return {0, false, false, 0};
}

// Offset of the frequency of an edge in a channel's slot 32 (the enable
// follows it, then the slope).
int edgeOffset(int channel, bool lowPass)
{
    return Image::outputSlot(channel, 32) + (lowPass ? 4 : 0);
}

} // namespace

int stepValue(int value, int min, int max, bool up, int step)
{
    return getIncDecCorrectValue(value, min, max, up, step);
}

bool stepSoundEdit(SoundEdit edit, bool up)
{
    const EditField f = fieldOf(edit);
    const int was = readField(f);
    const int now = stepValue(was, f.min, f.max, up, f.step);
    if (now == was)
        return false;
    writeField(f, now);
    return true;
}

int soundEditValue(SoundEdit edit)
{
    return readField(fieldOf(edit));
}

QString soundEditText(SoundEdit edit)
{
    const int v = soundEditValue(edit);
    switch (edit) {
    case SoundEdit::Treble:
    case SoundEdit::Bass:
        return decibels(v - GainZero, 1);
    case SoundEdit::SubPhase:
        return v ? QStringLiteral("180°") : QStringLiteral("0°");
    case SoundEdit::VolumeUsb:
    case SoundEdit::VolumeBt:
    case SoundEdit::VolumeHiLevel:
    case SoundEdit::VolumeAux:
    case SoundEdit::VolumeUsbAudio:
    case SoundEdit::OutputVolume:
        return decibels((v - 60) * 10, 0);
    case SoundEdit::DimmerLevel:
        return QString::number(v + 1);
    default:
        return QString::number(v);
    }
}

// ------------------------------------------------------------- EQ

bool stepEqFrequency(int band, bool up)
{
    if (band < 0 || band >= Input_FrequencyList.size())
        return false;
    const QVector<int> &list = Input_FrequencyList[band];
    const int at = bandOffset(band);
    const int freq = m_nCurProgram.u16(at);
    // The next list entry in the direction of the step; a frequency off
    // the list moves to its nearest edge that way, or stays.
    int next = freq;
    if (up) {
        for (int f : list) {
            if (f > freq) {
                next = f;
                break;
            }
        }
    } else {
        for (int i = list.size() - 1; i >= 0; --i) {
            if (list[i] < freq) {
                next = list[i];
                break;
            }
        }
    }
    if (next == freq)
        return false;
    // Bands stay in ascending order.
    if (band > 0 && next < m_nCurProgram.u16(bandOffset(band - 1)))
        return false;
    if (band < 9 && next > m_nCurProgram.u16(bandOffset(band + 1)))
        return false;
    m_nCurProgram.setU16(at, quint16(next));
    return true;
}

bool stepEqGain(int band, bool up)
{
    if (band < 0 || band > 9)
        return false;
    const int at = bandOffset(band) + 2;
    const int was = m_nCurProgram.u16(at);
    const int now = stepValue(was, GainMin, GainMax, up, 1);
    if (now == was)
        return false;
    m_nCurProgram.setU16(at, quint16(now));
    return true;
}

bool stepEqQ(int band, bool up)
{
    if (band < 0 || band > 9)
        return false;
    const int at = bandOffset(band) + 4;
    const int was = m_nCurProgram.u16(at);
    const int now = stepValue(was, 0, QIndexMax, !up, 1);
    if (now == was)
        return false;
    m_nCurProgram.setU16(at, quint16(now));
    return true;
}

QString eqGainText(int value)
{
    return decibels(value - GainZero, 1);
}

QString eqQText(int qIndex)
{
    return QString::number(m_nQ.value(qBound(0, qIndex, QIndexMax)), 'f', 3);
}

// ------------------------------------------------------------- crossover

int crossoverFrequency(CrossoverRow row)
{
    const RowSpec s = specOf(row);
    return m_nCurProgram.u16(edgeOffset(s.left, s.lowPass));
}

int crossoverSlope(CrossoverRow row)
{
    const RowSpec s = specOf(row);
    return m_nCurProgram.at(edgeOffset(s.left, s.lowPass) + 3);
}

bool stepCrossover(CrossoverRow row, bool up)
{
    const RowSpec s = specOf(row);
    const QVector<int> &list = s.threeWay ? HLP_ThreeWayList[s.list] : HLP_TwoWayList;
    const int was = crossoverFrequency(row);
    const int i = g_GetHLPFreq_Index(s.threeWay, was, s.list);
    int now = list[stepValue(i, 0, list.size() - 1, up, 1)];
    if (s.left == 2) {
        // The mid pair: its low-pass never below its high-pass and the
        // high-pass never above the low-pass; a crossing step stops at
        // the other edge.
        const int other = m_nCurProgram.u16(edgeOffset(2, !s.lowPass));
        if (s.lowPass && now < other)
            now = other;
        if (!s.lowPass && now > other)
            now = other;
    }
    if (now == was && m_nCurProgram.u16(edgeOffset(s.left + 1, s.lowPass)) == was)
        return false;
    for (int ch : {s.left, s.left + 1})
        m_nCurProgram.setU16(edgeOffset(ch, s.lowPass), quint16(now));
    return now != was;
}

int nextSlope(int slope, bool up)
{
    if (up) {
        if (slope >= SlopeOff || slope < 0)
            return 0;
        return qMin(slope + 1, SlopeOff - 1);
    }
    if (slope >= 1 && slope < SlopeOff)
        return slope - 1;
    return SlopeOff;
}

bool stepSlope(CrossoverRow row, bool up)
{
    const RowSpec s = specOf(row);
    const int was = crossoverSlope(row);
    const int now = nextSlope(was, up);
    for (int ch : {s.left, s.left + 1})
        m_nCurProgram.set(edgeOffset(ch, s.lowPass) + 3, quint8(now));
    return now != was;
}

// ------------------------------------------------------------- delay

int delayMax()
{
    return dspRateCode() == 9 ? 960 : 1920;
}

bool stepDelay(int channel, bool up)
{
    if (channel < 0 || channel >= 6)
        return false;
    const int at = Image::outputSlot(channel, 31) + 4;
    const int was = m_nCurProgram.u16(at);
    const int now = stepValue(was, 0, delayMax(), up, qMax(1, Cur_Delay_Step));
    if (now == was)
        return false;
    m_nCurProgram.setU16(at, quint16(now));
    return true;
}

QString delayText(int channel)
{
    const int unit = DelayUintSelect.value(getDelayUintID(), DelayUnitMs);
    const int decimals = unit == DelayUnitMs ? 3 : 2;
    return QString::number(DelayConver(channel, unit), 'f', decimals) + delayUnitLabel(unit);
}

// ------------------------------------------------------------- sources

bool stepMainAtten(bool up)
{
    const int was = getMainSourceAttenID();
    // The row's keys run against the list's order.
    const int now = stepValue(was, 0, MainSourceAtten.size() - 1, !up, 1);
    if (MainSourceAtten[now] == m_nCurSystem.at(13))
        return false;
    m_nCurSystem.set(13, quint8(MainSourceAtten[now]));
    return true;
}

bool stepMixSource(bool up)
{
    const int was = getMixSourceID(m_nCurSystem.at(1));
    // Entry 0 is this player's USB source, which cannot mix into itself.
    const int now = stepValue(qMax(1, was), 1, MixSourceSelect.size() - 1, up, 1);
    const int code = MixSourceSelect[now];
    if (code == m_nCurSystem.at(1))
        return false;
    m_nCurSystem.set(1, quint8(code));
    m_nCurSystem.set(45, quint8(code == 255 ? 1 : code));
    return true;
}

// ------------------------------------------------------------- cascaded unit

namespace {

// Source list number and entries of a model's input or mixer source.
struct SourceList {
    int list;
    int entries;
};

SourceList inputList(int model)
{
    switch (model) {
    case 0:
        return {1, 4};
    case 1:
        return {2, 3};
    case 2:
    case 10:
        return {3, 2};
    case 3:
        return {4, 5};
    case 4:
    case 8:
        return {5, 4};
    case 5:
    case 6:
    case 12:
        return {6, 3};
    case 9:
        return {7, 5};
    case 11:
        return {8, 6};
    default:
        return {0, 0};
    }
}

SourceList mixerList(int model)
{
    switch (model) {
    case 3:
        return {4, 6};
    case 4:
    case 8:
        return {5, 5};
    case 5:
    case 6:
    case 12:
        return {6, 4};
    case 9:
        return {7, 6};
    case 10:
        return {9, 3};
    case 11:
        return {8, 7};
    default:
        return {0, 0};
    }
}

bool stepSourceByte(int byte, SourceList l, bool up)
{
    if (l.entries == 0)
        return false;
    const QVector<int> &codes = cascadeSourceList(l.list);
    int i = codes.indexOf(m_nCasSystem.at(byte));
    if (i < 0 || i >= l.entries)
        i = 0;
    const int code = codes[stepValue(i, 0, l.entries - 1, up, 1)];
    if (code == m_nCasSystem.at(byte))
        return false;
    m_nCasSystem.set(byte, quint8(code));
    return true;
}

bool tableGainModel(int model)
{
    return model == 1 || model == 2;
}

} // namespace

bool stepCascadeGain(bool up)
{
    const int model = m_nCasModel.get();
    const int was = m_nCasSystem.u16(8);
    int now = was;
    if (tableGainModel(model)) {
        const int i = stepValue(Fix_ReadGain_Step(was), 0, CascadeGainSteps.size() - 1, up, 1);
        now = CascadeGainSteps[i] + 60;
    } else {
        now = stepValue(was, 0, model == 0 ? 60 : 35, up, 1);
    }
    if (now == was)
        return false;
    m_nCasSystem.setU16(8, quint16(now));
    return true;
}

QString cascadeGainText()
{
    const int v = m_nCasSystem.u16(8);
    if (tableGainModel(m_nCasModel.get()))
        return decibels((v - 60) * 10, 0);
    return QString::number(v);
}

bool stepCascadeSource(bool up)
{
    return stepSourceByte(0, inputList(m_nCasModel.get()), up);
}

bool stepCascadeMixer(bool up)
{
    return stepSourceByte(1, mixerList(m_nCasModel.get()), up);
}

int cascadeSubLevelStep(quint16 subChannels)
{
    if (m_nCasModel.get() == 3) {
        for (int ch = 0; ch < Image::OutputChannels; ++ch) {
            if (subChannels & (1u << ch))
                return Get_SubgainStep(CasStructData.u16(Image::outputSlot(ch, 31) + 2));
        }
        return 0;
    }
    return qBound(0, m_nCasSystem.u16(164) / 40, 15);
}

bool stepCascadeSubLevel(bool up, quint16 subChannels)
{
    const int model = m_nCasModel.get();
    if (model != 3 && !Is_Sub_Model())
        return false;
    const int was = cascadeSubLevelStep(subChannels);
    const int now = stepValue(was, 0, 15, up, 1);
    if (now == was)
        return false;
    if (model == 3) {
        for (int ch = 0; ch < Image::OutputChannels; ++ch) {
            if (subChannels & (1u << ch))
                CasStructData.setU16(Image::outputSlot(ch, 31) + 2, quint16(Get_RealSubgain(now)));
        }
    } else {
        m_nCasSystem.setU16(164, quint16(now * 40));
    }
    return true;
}
