#include "wheelstudy.h"

#include "linkglobals.h"
#include "soundfunctions.h"

#include <QtGlobal>

namespace WheelStudy {

namespace {
constexpr int LineBitsByte = 54;
constexpr int MarkerBitsByte = 7;
} // namespace

int valueByte(int key)
{
    return key == 6 ? 42 : 48 + key;
}

int learnedValue(int key)
{
    return key >= 0 && key < KeyCount ? m_nCurSystem.at(valueByte(key)) : NotLearned;
}

bool learnedOnLine2(int key)
{
    return check_KeyType_AD2(key, false);
}

Capture capture(int key, int line1, int line2, int idle1, int idle2)
{
    Capture c;
    if (key < 0 || key >= KeyCount)
        return c;
    const bool active1 = qAbs(line1 - idle1) > IdleMargin;
    const bool active2 = qAbs(line2 - idle2) > IdleMargin;
    if (!active1 && !active2)
        return c;
    // Line 2 wins when both move: its ladder pulls line 1 along.
    c.line2 = active2;
    c.value = active2 ? line2 : line1;

    // Keys learned in this session on the same line must stay apart.
    for (int k = 0; k < KeyCount; ++k) {
        if (k == key || m_nMarker.at(k) == NotLearned || check_KeyType_AD2(k, true) != c.line2)
            continue;
        if (qAbs(int(m_nMarker.at(k)) - c.value) < MinDistance) {
            c.outcome = Outcome::Overlap;
            return c;
        }
    }

    c.outcome = Outcome::Learned;
    m_nMarker.set(key, quint8(c.value));
    quint8 markerBits = m_nMarker.at(MarkerBitsByte);
    quint8 lineBits = m_nCurSystem.at(LineBitsByte);
    if (c.line2) {
        markerBits |= quint8(1u << key);
        lineBits |= quint8(1u << key);
    } else {
        markerBits &= quint8(~(1u << key));
        lineBits &= quint8(~(1u << key));
    }
    m_nMarker.set(MarkerBitsByte, markerBits);
    m_nCurSystem.set(valueByte(key), quint8(c.value));
    m_nCurSystem.set(LineBitsByte, lineBits);
    // An older key the new one cannot be told from is forgotten.
    for (int k = 0; k < KeyCount; ++k) {
        if (k == key || learnedValue(k) == NotLearned || learnedOnLine2(k) != c.line2)
            continue;
        if (qAbs(learnedValue(k) - c.value) < MinDistance)
            m_nCurSystem.set(valueByte(k), NotLearned);
    }
    return c;
}

} // namespace WheelStudy
