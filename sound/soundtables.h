#pragma once
// Lookup lists of the sound settings: EQ band frequencies, crossover
// frequencies, Q values, attenuation, mix sources, delay units, cascade
// gain steps and the cascaded units' source lists, with their labels.

#include <QString>
#include <QVector>

// EQ band frequencies in Hz, one list per band 0..9.
extern const QVector<QVector<int>> Input_FrequencyList;
// Crossover frequencies: the two-way list, and three-way lists 0..3.
extern const QVector<int> HLP_TwoWayList;
extern const QVector<QVector<int>> HLP_ThreeWayList;
// Q of each Q index 0..295 (a bandwidth of 0.05 + 0.01 i octaves), 3 decimals.
extern const QVector<double> m_nQ;
// Main-source attenuation codes.
extern const QVector<int> MainSourceAtten;
// Mix source codes: USB, Bluetooth audio, high-level input, AUX, USB Audio, off.
extern const QVector<int> MixSourceSelect;
// Delay units: ms, cm, inch.
extern const QVector<int> DelayUintSelect;
// Cascade main gain steps in dB (stored as dB + 60 on models 1 and 2).
extern const QVector<int> CascadeGainSteps;
// Source codes of the cascaded units, lists 1..9 (an unknown n gives an
// empty list).
const QVector<int> &cascadeSourceList(int n);
// Entries of the input-source lookup per cascade model 0..12 (0 otherwise).
int cascadeSourceCount(int model);

constexpr int QIndexMax = 295;
constexpr int SlopeOff = 8;
constexpr int DelayUnitMs = 1000;
constexpr int DelayUnitCm = 1001;
constexpr int DelayUnitInch = 1002;

// Labels (source texts, translated at run time).
QString mixSourceLabel(int code);
QString cascadeSourceLabel(int code);
QString slopeLabel(int index);
QString delayUnitLabel(int unit);
