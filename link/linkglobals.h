#pragma once
// Process-wide state of the MCU link and the wired key link: the settings
// images that mirror the DSP's memory, the frame staging records, the USB
// link record for the phone app, the firmware upgrade buffers and the
// wired key-repeat tracker.
//
// Threads: the images are ByteImages (every byte atomic): the screens edit
// the live images on the GUI thread, the MCU worker reads them and keeps
// the last-sent copies. The staging records are confined: SendFrameData and
// RecFrameData belong to whoever builds or takes MCU frames under the MCU
// protocol's queue lock; SendWireFrameData, RecWireFrameData and
// m_nWireStruct belong to the wired link thread.

#include "byteimage.h"
#include "framerecord.h"
#include "shared.h"

#include <QByteArray>
#include <mutex>

// Image sizes and the program image layout.
namespace Image {
constexpr int SystemSize = 136;
constexpr int CasSystemSize = 168;
constexpr int ProgramSize = 5312;
constexpr int StoredPresets = 13; // presets 1..13 at m_nUseProgram[p - 1]
constexpr int CasPresets = 16;    // cascaded presets 0..15
constexpr int NameSize = 15;      // program name field: 13 characters and two zero bytes
constexpr int SlotSize = 8;
constexpr int InputBase = 296;
constexpr int InputRecord = 280;      // 35 slots in the image
constexpr int InputWholeLength = 288; // a whole input record on the wire
constexpr int OutputBase = 576;
constexpr int OutputRecord = 296; // 37 slots
constexpr int OutputChannels = 16;

constexpr int inputSlot(int channel, int slot)
{
    return InputBase + InputRecord * channel + SlotSize * slot;
}
constexpr int outputSlot(int channel, int slot)
{
    return OutputBase + OutputRecord * channel + SlotSize * slot;
}
} // namespace Image

using SystemImage = ByteImage<Image::SystemSize>;
using CasSystemImage = ByteImage<Image::CasSystemSize>;
using ProgramImage = ByteImage<Image::ProgramSize>;

extern SystemImage m_nCurSystem;       // live system record
extern SystemImage SendSYSData;        // system record as last sent
extern CasSystemImage m_nCasSystem;    // cascaded unit's system record
extern CasSystemImage SendCasSYSData;  // ... as last sent
extern ProgramImage m_nCurProgram;     // live program image
extern ProgramImage SendStructData;    // ... as last sent
extern ProgramImage CasStructData;     // cascaded unit's program image
extern ProgramImage SendCasStructData; // ... as last sent
extern ProgramImage m_nUseProgram[Image::StoredPresets];
extern ProgramImage m_nCasUseProgram[Image::CasPresets];

// Stored preset p (1..13), or null.
ProgramImage *storedPreset(int p);
// Cascaded preset p (0..15), or null.
ProgramImage *cascadePreset(int p);

// Frame staging records (see the thread note above).
extern FrameRecord SendFrameData;     // outgoing MCU frame
extern FrameRecord RecFrameData;      // header of the last good incoming MCU frame
extern FrameRecord SendWireFrameData; // outgoing wired answer
extern FrameRecord RecWireFrameData;  // header of the last good wired key frame

// This unit's device number on both links.
extern const quint8 m_nCurDeviceid;

// Model number of the cascaded DSP unit (-1: none found).
extern Shared<int> m_nCasModel;
// Cascaded models with a subwoofer channel of their own.
bool Is_Sub_Model();

// USB link record for the phone app: three bytes sent, and the current byte.
extern ByteImage<3> m_nSendUSBLink;
extern Shared<quint8> m_nCurUSBLink;

// A byte buffer consumed from the front by one thread while another fills
// it; every operation takes the lock.
class LockedBytes
{
public:
    void assign(const QByteArray &b);
    void clear();
    int size() const;
    // Removes and returns at most n bytes from the front.
    QByteArray takeFront(int n);

private:
    mutable std::mutex m_lock;
    QByteArray m_bytes;
};

// Firmware upgrade: the flag that switches the MCU worker to the upgrade
// sender, the bytes still to send, and the upgrade state record.
extern Shared<bool> m_bUpMCUFlag;
extern LockedBytes m_nHexData;  // MCU firmware bytes still to send
extern LockedBytes m_nDsp_Data; // DSP bytes still to send
struct UpgradeFileState {
    Shared<qint32> dspStep = 0;
    Shared<quint32> dspAddress = 0; // little-endian on the wire; +44 per block
    Shared<qint32> mcuStep = 0;
    Shared<quint8> checksum = 0;
    Shared<qint32> totalFrames = 0;
    Shared<bool> startPending = false;
};
extern UpgradeFileState m_nReadDsp_McuFile_Flag;

// Key-repeat tracker of the wired link (wired link thread only).
struct WireKeyStruct {
    qint32 lastKey = -1;
    quint32 count = 0;
    quint8 longPress = 0;
    quint8 spare = 0;

    void reset() { *this = WireKeyStruct(); }
};
extern WireKeyStruct m_nWireStruct;

// Lamp (indicator) values of the last status poll: answer bytes 0..15 and
// 24, one 32-bit value each (written by the MCU worker, read by the GUI).
namespace Lamp {
constexpr int Count = 25;
constexpr int Source = 0;
constexpr int MixSource = 1;
constexpr int Power = 2;
constexpr int AppState = 5;
constexpr int BlePlayer = 4;   // phone player: 1 playing, 2 paused
constexpr int PlayRequest = 6; // the car asks this player: 1 play, 2 pause
constexpr int Dimmer = 8;
constexpr int MainGain = 9; // the DSP's main gain as the MCU holds it
constexpr int SoundOn = 10; // 1 sound on, 0 muted
constexpr int BleFollows = 24;
} // namespace Lamp
extern Shared<qint32> m_nLamp[Lamp::Count];

// Scanner gates shared by the screens, the controller and the MCU worker.
extern Shared<bool> BOOL_StopCompareData; // set: the change scanner sends nothing
extern Shared<bool> BOOL_ResetFactory;    // set: the scanner writes block 96 once
extern Shared<bool> m_b_Data_Modify_Flag; // an input EQ slot was sent: save the user preset

// Run-time flags of the global temp record that the link reads.
struct LinkTempFlags {
    // Set by the screens when the player key record (system bytes 56..63)
    // changed: the scanner writes block 120 once.
    Shared<bool> playerKeyChanged = false;
    // While set, Set_Send_Mute leaves this unit's output enable alone.
    Shared<bool> holdOutputEnable = false;
};
extern LinkTempFlags m_nLinkTemp;

// Steering-wheel learning record: bytes 0..6 the values being learned
// (255 none), 7 their line bits, 8 learning changed, 9 cascade marker.
extern ByteImage<11> m_nMarker;

// Output channel types that are subwoofers.
extern const int Chanel_SUBList[3];
bool isSubwooferType(int type);

// System record bytes the screens and the controller read by name.
namespace SysByte {
constexpr int Source = 0;       // current source code (InputSource)
constexpr int MixSource = 1;    // mix source code, 255 none
constexpr int MainGain = 8;     // main gain 0..35 (low byte of the 16-bit field 8..9)
constexpr int SoundOn = 10;     // 1 while the main volume is not muted
constexpr int DimmerAuto = 34;  // 1 the dimmer follows the car's lights
constexpr int DimmerLevel = 35; // 0..2
constexpr int SampleRate = 39;
constexpr int Power = 40;     // 1 while the system is awake
constexpr int PlayerKey = 56; // request to the phone player (block 120)
constexpr int AdLine1 = 66;   // steering-wheel AD readings
constexpr int AdLine2 = 67;
constexpr int AppRequest = 69;   // phone-app request: kind << 4 | USB slot; 70..71 its index
constexpr int BleConnected = 79; // bit 0 of status byte 31: a phone is connected
} // namespace SysByte
