#pragma once
// Steering-wheel key learning rules. The MCU reads two resistor ladders
// (AD lines); a key is learned as a reading on one of them. Keys 0..5 keep
// their values in system bytes 48..53, key 6 in byte 42 (255 = not
// learned); bit k of byte 54 puts key k on line 2. The learning record
// (m_nMarker) holds the values learned in this session (bytes 0..6) and
// their line bits (byte 7).

namespace WheelStudy {

constexpr int KeyCount = 7;
constexpr int NotLearned = 255;
// A line is pressed when its reading is more than this away from idle.
constexpr int IdleMargin = 3;
// Two keys on one line closer than this cannot be told apart.
constexpr int MinDistance = 5;
constexpr int TimeoutMs = 10000;
constexpr int FailCloseMs = 2000;

enum class Outcome { Waiting, Learned, Overlap };

struct Capture {
    Outcome outcome = Outcome::Waiting;
    int value = NotLearned;
    bool line2 = false;
};

// The system byte holding key k's learned value.
int valueByte(int key);
int learnedValue(int key);
bool learnedOnLine2(int key);

// What a status poll's readings mean for key k being learned; on Learned
// the key is stored (learning record and system record) and the keys of
// the system record on the same line within reach of the new value are
// cleared.
Capture capture(int key, int line1, int line2, int idle1, int idle2);

} // namespace WheelStudy
