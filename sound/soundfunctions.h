#pragma once
// Free functions of the sound settings: defaults of the shared images,
// lookups in the lists, unit conversions and bit tests. They act on the
// settings images of the MCU link (linkglobals.h).

// Writes the channel map (system bytes 16..23): two-way or three-way types.
void Init_CH_MapType(bool threeWay);
// Default crossover of output channel `channel` from its type code.
void InitOutHLP_Data(int channel);
// Start-of-program defaults of every image (called before InitData).
void InitCurEQData();
// Player key record: system bytes 56..58 and 60..63 zero, byte 59 255.
void ResetPlayerKey();
// Learning record: bytes 0..6 255, byte 7 zero.
void InitTempStudyData();

// Index of system byte 13 in MainSourceAtten, 4 if absent.
int getMainSourceAttenID();
// Index of a code in MixSourceSelect, 4 if absent.
int getMixSourceID(int code);
// Mixer source index of a cascaded unit, one per source list (4: model 3,
// 5: models 4 and 8, 6: models 5, 6 and 12, 7: model 9, 8: model 11,
// 9: model 10); the last index when absent.
int getMixSourceID_List4(int code);
int getMixSourceID_List5(int code);
int getMixSourceID_List6(int code);
int getMixSourceID_List7(int code);
int getMixSourceID_List8(int code);
int getMixSourceID_List9(int code);
// The cascaded input source's index in the list of the current cascade
// model; the model's count minus 1 when absent or without such a list.
int getCascadeSourceID(int code);

// Cascaded main gain: the table step of a stored value (models 1 and 2).
int Fix_ReadGain_Step(int value);
// Cascaded subwoofer level of model 3: value of a step, step of a value.
int Get_RealSubgain(int step);
int Get_SubgainStep(int value);

// 0, 1, 2 for the current delay unit (ms, cm, inch).
int getDelayUintID();
// Delay of an output channel in a unit (1000 ms, 1001 cm, 1002 inch).
double DelayConver(int channel, int unit);
// x rounded half up to n decimals.
double Conversion_Accuracy(double x, int n);
// The DSP sample-rate code of system byte 39 (a stored 6 reads as 9).
int dspRateCode();

// Whether wheel key `key` sits on AD line 2.
bool check_KeyType_AD2(int key, bool fromLearning);
// Bit `bit` of value (bits 32 and above: the sign bit).
bool g_CompareBit(int value, int bit);
// Index of the first entry >= freq in band's list (0 at or below the
// first), -1 above the last.
int g_GetEQFreq_Index(int freq, int band);
// Index of the first entry >= freq in the two-way list or three-way list
// `list`; 0 at or below the first and above the last.
int g_GetHLPFreq_Index(bool threeWay, int freq, int list);
