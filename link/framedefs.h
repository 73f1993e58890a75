#pragma once
// Frame layout shared by the MCU link and the wired key link. Offsets count
// from the first start tag; a receiver that holds a frame from its 0xEE mark
// subtracts FrameMarkPos.

#include <QtGlobal>

constexpr quint8 FRAME_START_TAG = 0x7C;     // MCU link
constexpr quint8 WIREFRAME_START_TAG = 0xFA; // wired key link
constexpr quint8 FRAME_MARK = 0xEE;
constexpr quint8 FRAME_END_TAG = 0xAA;

// Frame types.
constexpr quint8 FRAME_WRITE = 0xA1; // to the MCU; also every key frame of the wired controller
constexpr quint8 FRAME_READ = 0xA2;
constexpr quint8 FRAME_ACK = 0x51;    // "Q"
constexpr quint8 FRAME_REFUSE = 0x52; // "R"
constexpr quint8 FRAME_DATA = 0x53;   // "S"

// Groups.
constexpr quint8 GROUP_INPUT = 3;
constexpr quint8 GROUP_OUTPUT = 4;
constexpr quint8 GROUP_SYSTEM = 9;
constexpr quint8 GROUP_APP = 10;

constexpr quint8 SLOT_WHOLE = 119; // "w": a whole channel record in reads and their answers
constexpr quint8 TARGET_CASCADE = 10;

namespace Frame {
constexpr int StartTags = 3;
constexpr int FrameMarkPos = 3;
constexpr int Type = 4;
constexpr int Unit = 5;
constexpr int Preset = 6;
constexpr int Group = 7;
constexpr int Item = 8;
constexpr int Slot = 9;
constexpr int Target = 10;
constexpr int FileReturn = 11;
constexpr int Length = 12; // 16-bit little-endian
constexpr int Payload = 14;

constexpr int MaxPayload = 400;
constexpr int Overhead = 16;         // tags, mark, header, length, checksum, end tag
constexpr int RecordSize = 416;      // staging record: header and 400 payload bytes
constexpr int MinFromMark = 13;      // bytes from the mark that reveal the length
constexpr int FromMarkOverhead = 13; // a frame from its mark is L + 13 bytes
} // namespace Frame
