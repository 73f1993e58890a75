#include "soundtables.h"

#include <QCoreApplication>

#include <cmath>

namespace {

QVector<double> makeQTable()
{
    QVector<double> q(QIndexMax + 1);
    for (int i = 0; i <= QIndexMax; ++i) {
        const double n = 0.05 + 0.01 * i;
        const double p = std::pow(2.0, n);
        q[i] = std::round(std::sqrt(p) / (p - 1.0) * 1000.0) / 1000.0;
    }
    return q;
}

QString translated(const char *text)
{
    return QCoreApplication::translate("EQLabel", text);
}

} // namespace

const QVector<QVector<int>> Input_FrequencyList = {
    {20, 25, 31, 40, 50, 63},
    {31, 40, 50, 63, 80, 100, 125},
    {63, 80, 100, 125, 160, 200, 250, 315},
    {125, 160, 200, 250, 315, 400, 500},
    {250, 315, 400, 500, 630, 800, 1000},
    {500, 630, 800, 1000, 1200, 1600, 2000},
    {1000, 1200, 1600, 2000, 2600, 3200, 4000},
    {2000, 2600, 3200, 4000, 5800, 6400, 7200},
    {5800, 6400, 7200, 8000, 9000, 10000, 12000},
    {9000, 10000, 12000, 16000, 20000},
};

const QVector<int> HLP_TwoWayList = {20, 25, 32, 40, 50, 63, 80, 100, 125, 160, 200};

namespace {
const QVector<int> LowList = {20, 25, 32, 40, 50, 63, 80, 100, 125, 160, 200, 250, 315, 400, 500, 630, 800};
const QVector<int> HighTail = {1000, 1200, 1600, 2000, 2500, 3200, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};
} // namespace

const QVector<QVector<int>> HLP_ThreeWayList = {LowList, LowList + HighTail, LowList, HighTail};

const QVector<double> m_nQ = makeQTable();

const QVector<int> MainSourceAtten = {0, 20, 50, 70, 100};
const QVector<int> MixSourceSelect = {5, 2, 1, 3, 4, 255};
const QVector<int> DelayUintSelect = {DelayUnitMs, DelayUnitCm, DelayUnitInch};
const QVector<int> CascadeGainSteps = {-60, -57, -54, -51, -46, -41, -39, -37, -35, -33, -31, -29,
                                       -27, -25, -23, -21, -19, -17, -15, -13, -11, -9,  -7,  -5,
                                       -3,  -2,  -1,  0,   1,   2,   3,   4,   5,   6,   7,   8};

const QVector<int> &cascadeSourceList(int n)
{
    static const QVector<QVector<int>> lists = {
        {},
        {0, 2, 3, 1},
        {1, 3, 2},
        {1, 2},
        {0, 1, 2, 3, 4, 255},
        {0, 1, 2, 3, 255},
        {1, 2, 3, 255},
        {0, 4, 2, 1, 3, 255},
        {0, 4, 2, 1, 3, 6, 255},
        {1, 2, 255},
    };
    return n >= 1 && n < lists.size() ? lists[n] : lists[0];
}

int cascadeSourceCount(int model)
{
    static const int counts[] = {4, 3, 2, 1, 4, 3, 3, 1, 4, 1, 1, 1, 3};
    return model >= 0 && model <= 12 ? counts[model] : 0;
}

QString mixSourceLabel(int code)
{
    switch (code) {
    case 1:
        return translated(QT_TRANSLATE_NOOP("EQLabel", "高电平"));
    case 2:
        return translated(QT_TRANSLATE_NOOP("EQLabel", "蓝牙音乐"));
    case 3:
        return QStringLiteral("AUX");
    case 4:
        return QStringLiteral("USB Audio");
    case 5:
        return QStringLiteral("USB");
    default:
        return translated(QT_TRANSLATE_NOOP("EQLabel", "关闭"));
    }
}

QString cascadeSourceLabel(int code)
{
    switch (code) {
    case 0:
        return translated(QT_TRANSLATE_NOOP("EQLabel", "光纤"));
    case 1:
        return translated(QT_TRANSLATE_NOOP("EQLabel", "同轴"));
    case 2:
        return translated(QT_TRANSLATE_NOOP("EQLabel", "蓝牙"));
    case 4:
        return translated(QT_TRANSLATE_NOOP("EQLabel", "低电平"));
    case 255:
        return translated(QT_TRANSLATE_NOOP("EQLabel", "关闭"));
    default:
        return translated(QT_TRANSLATE_NOOP("EQLabel", "高电平"));
    }
}

QString slopeLabel(int index)
{
    if (index >= 0 && index < SlopeOff)
        return QStringLiteral("%1dB/Oct").arg(6 * (index + 1));
    return translated(QT_TRANSLATE_NOOP("EQLabel", "关闭"));
}

QString delayUnitLabel(int unit)
{
    switch (unit) {
    case DelayUnitCm:
        return translated(QT_TRANSLATE_NOOP("EQLabel", "厘米"));
    case DelayUnitInch:
        return translated(QT_TRANSLATE_NOOP("EQLabel", "英寸"));
    default:
        return translated(QT_TRANSLATE_NOOP("EQLabel", "毫秒"));
    }
}
