#pragma once
// Value rules of the sound settings: how the setup screens step a value in
// the live images, and how they show it. Each step function edits the live
// image in place (the change scanner sends it) and returns true when the
// value changed.

#include <QString>

// Clamped stepping: up adds the step without passing max (a value at or
// above it becomes max), down subtracts it without passing min.
int stepValue(int value, int min, int max, bool up, int step);

// Plain rows: a field of the system record or of the live program image,
// its range and step.
enum class SoundEdit {
    Treble,         // input slot 10 gain, 530..670 by 10
    Bass,           // input slot 11 gain, 530..670 by 10
    SubOn,          // output 5 slot 35 byte 6, 0/1
    SubPhase,       // output 5 slot 35 byte 5, 0/1 (0°/180°)
    SubLevel,       // output 5 slot 35 byte 4, 0..15
    Balance,        // output 5 slot 35 byte 0, 0..30
    Fader,          // output 5 slot 35 byte 1, 0..30
    VolumeUsb,      // system byte 3, 0..60
    VolumeBt,       // system byte 4
    VolumeHiLevel,  // system byte 5
    VolumeAux,      // system byte 6
    VolumeUsbAudio, // system byte 7
    OutputVolume,   // system byte 2, 48..66
    SpdifSwitch,    // system byte 33, 0/1
    DimmerControl,  // system byte 34, 1 auto / 0 manual
    DimmerLevel,    // system byte 35, 0..2 (shown 1..3)
    Blackout,       // system byte 36, 0/1
    Switch32,       // system byte 32, 0/1
};
bool stepSoundEdit(SoundEdit edit, bool up);
int soundEditValue(SoundEdit edit);
// The value as the row shows it: "+1.0dB", "-12dB", "0°", "2", ...
QString soundEditText(SoundEdit edit);

// Parametric EQ of input band 0..9: frequency by the band's list, kept in
// ascending order between the neighbouring bands; gain 480..720; Q index
// 0..295 with the keys reversed (up raises Q).
bool stepEqFrequency(int band, bool up);
bool stepEqGain(int band, bool up);
bool stepEqQ(int band, bool up);
QString eqGainText(int value); // (v - 600) / 10, one decimal, "dB"
QString eqQText(int qIndex);   // Q with 3 decimals

// Crossover rows (channel pair, edge and list by mode).
enum class CrossoverRow {
    FrontHigh, // two-way: channels 0/1 high-pass, two-way list
    RearHigh,  // two-way: 2/3 high-pass
    SubLow,    // two-way: 4/5 low-pass
    High,      // three-way: 0/1 high-pass, list 3
    MidHigh,   // three-way: 2/3 high-pass, list 2, never above their low-pass
    MidLow,    // three-way: 2/3 low-pass, list 1, never below their high-pass
    Low,       // three-way: 4/5 low-pass, list 0
};
bool stepCrossover(CrossoverRow row, bool up);
bool stepSlope(CrossoverRow row, bool up);
int crossoverFrequency(CrossoverRow row);
int crossoverSlope(CrossoverRow row);
// Slope index after one step: up from off gives 0, down from 0 gives off.
int nextSlope(int slope, bool up);

// Delay of output channel 0..5 in DSP samples: 0..960 at rate code 9,
// else 0..1920, by the delay step.
bool stepDelay(int channel, bool up);
int delayMax();
// The delay in the current unit with its label, e.g. "5.000ms".
QString delayText(int channel);
extern int Cur_Delay_Step; // samples per step

// Main-source attenuation through its list (keys reversed); mix source
// through entries 1..5 of its list (never the player's own USB).
bool stepMainAtten(bool up);
bool stepMixSource(bool up);

// The cascaded unit's rows, by the current cascade model.
// Main gain (record bytes 8..9): model 0 0..60 by 1; models 1 and 2 the
// gain step table (stored as dB + 60); other models 0..35 by 1.
bool stepCascadeGain(bool up);
QString cascadeGainText(); // dB for models 1 and 2, else the value
// Input and mixer source (record bytes 0 and 1) through the model's list;
// false when the model has none.
bool stepCascadeSource(bool up);
bool stepCascadeMixer(bool up);
// Subwoofer level 0..15: on models with a subwoofer block the value at
// record bytes 164..165 is step x 40; on model 3 the level of each
// subwoofer output channel in `subChannels` (bit per channel) maps
// through Get_RealSubgain.
bool stepCascadeSubLevel(bool up, quint16 subChannels = 0);
int cascadeSubLevelStep(quint16 subChannels = 0);
