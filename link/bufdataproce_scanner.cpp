// BufDataProce: the change scanner. The screens edit the live images; each
// pass finds the first difference from the copy last sent, in a fixed
// priority order, takes exactly the bytes it sends over into the sent copy
// and asks for one frame.
#include "bufdataproce.h"

#include "linkglobals.h"

#include <cstring>

namespace {

constexpr int MaxCompare = Image::OutputRecord;

// Copies live[off, off+len) over sent when they differ; true if it did.
// The live bytes are read once, so the sent copy holds exactly what the
// frame built from it carries even while a screen keeps editing.
template <int N>
bool takeIfChanged(const ByteImage<N> &live, ByteImage<N> &sent, int off, int len)
{
    quint8 now[MaxCompare];
    quint8 was[MaxCompare];
    if (len > MaxCompare || !live.read(off, now, len) || !sent.read(off, was, len))
        return false;
    if (std::memcmp(now, was, static_cast<size_t>(len)) == 0)
        return false;
    sent.write(off, now, len);
    return true;
}

// Index of the first byte in [off, off+len) that differs, or -1.
template <int N>
int firstDifference(const ByteImage<N> &live, const ByteImage<N> &sent, int off, int len)
{
    for (int i = off; i < off + len; ++i) {
        if (live.at(i) != sent.at(i))
            return i;
    }
    return -1;
}

// System blocks in the order the scanner looks at them: block, first byte.
struct SysBlock {
    int block;
    int offset;
};
constexpr SysBlock SystemOrder[] = {{2, 0}, {5, 8}, {6, 16}, {52, 24}, {8, 32}, {9, 40}, {122, 48}};

} // namespace

void BufDataProce::ComparedToSendData()
{
    if (BOOL_StopCompareData.get())
        return;
    if (BOOL_ResetFactory.exchange(false)) {
        emit sendSYSData(96, 0);
        return;
    }
    if (m_nLinkTemp.playerKeyChanged.exchange(false)) {
        SendSYSData.copyFrom(m_nCurSystem, 56, 56, 8);
        emit sendSYSData(120, 0);
        return;
    }
    if (compareSystem())
        return;
    if (m_casLamp.exchange(false, std::memory_order_relaxed)) {
        emit sendCasSYSData(4);
        return;
    }
    const quint8 usb = m_nCurUSBLink.get();
    if (usb != m_nSendUSBLink.at(0)) {
        m_nSendUSBLink.set(0, usb);
        emit sendSYSData(16, 0);
        return;
    }
    if (m_casActive.load(std::memory_order_relaxed) && compareCascade())
        return;
    if (compareInput() || compareOutputs())
        return;
    if (m_musicInfo.exchange(false, std::memory_order_relaxed)) {
        emit sendSYSData(121, PacketMediaInfoData());
        return;
    }
    emit sendSYSData(3, 0);
}

bool BufDataProce::compareSystem()
{
    for (const SysBlock &b : SystemOrder) {
        if (b.block == 52) {
            // The preset block goes one byte per pass: the current preset
            // number and its neighbours are set by different screens.
            const int i = firstDifference(m_nCurSystem, SendSYSData, b.offset, Image::SlotSize);
            if (i < 0)
                continue;
            SendSYSData.set(i, m_nCurSystem.at(i));
        } else if (!takeIfChanged(m_nCurSystem, SendSYSData, b.offset, Image::SlotSize)) {
            continue;
        }
        emit sendSYSData(b.block, 0);
        return true;
    }
    return false;
}

bool BufDataProce::compareCascade()
{
    if (takeIfChanged(m_nCasSystem, SendCasSYSData, 0, 8)) {
        emit sendCasSYSData(2);
        return true;
    }
    if (takeIfChanged(m_nCasSystem, SendCasSYSData, 8, 8)) {
        emit sendCasSYSData(5);
        return true;
    }
    const int model = m_nCasModel.get();
    if (model == 1 || model == 2) {
        // These units keep one level for both subwoofer outputs: the
        // channel 4 slot is what the screens edit, both records carry it.
        const int at = Image::outputSlot(4, 31);
        quint8 now[Image::SlotSize];
        CasStructData.read(at, now, Image::SlotSize);
        if (firstDifference(CasStructData, SendCasStructData, at, Image::SlotSize) >= 0) {
            SendCasStructData.write(at, now, Image::SlotSize);
            SendCasStructData.write(Image::outputSlot(5, 31), now, Image::SlotSize);
            emit sendCasOutData(-1);
            return true;
        }
    } else if (model == 3) {
        const quint16 subs = m_casSubs.load(std::memory_order_relaxed);
        for (int ch = 0; ch < Image::OutputChannels; ++ch) {
            if ((subs & (1u << ch))
                && takeIfChanged(CasStructData, SendCasStructData, Image::outputSlot(ch, 31) + 2, 2)) {
                emit sendCasOutData(ch);
                return true;
            }
        }
    }
    if (Is_Sub_Model() && takeIfChanged(m_nCasSystem, SendCasSYSData, 160, 8)) {
        emit sendCasSYSData(9);
        return true;
    }
    return false;
}

bool BufDataProce::compareInput()
{
    for (int s = 0; s <= 33; ++s) {
        if (!takeIfChanged(m_nCurProgram, SendStructData, Image::inputSlot(0, s), Image::SlotSize))
            continue;
        if (s <= 30)
            m_b_Data_Modify_Flag = true;
        emit sendMusicData(0, s);
        return true;
    }
    // Slot 34 travels as slot 35 (the frame builder sends slot 34's bytes).
    if (takeIfChanged(m_nCurProgram, SendStructData, Image::inputSlot(0, 34), Image::SlotSize)) {
        emit sendMusicData(0, 35);
        return true;
    }
    return false;
}

bool BufDataProce::compareOutputs()
{
    for (int ch = 0; ch < 6; ++ch) {
        for (int s = 0; s <= 32; ++s) {
            if (takeIfChanged(m_nCurProgram, SendStructData, Image::outputSlot(ch, s), Image::SlotSize)) {
                emit sendOutputData(ch, s);
                return true;
            }
        }
        // Slots 33, 34 and 36 are byte arrays: the first changed byte names
        // the slot, which is then sent whole.
        for (int s : {33, 34, 36}) {
            if (takeIfChanged(m_nCurProgram, SendStructData, Image::outputSlot(ch, s), Image::SlotSize)) {
                emit sendOutputData(ch, s);
                return true;
            }
        }
        if (takeIfChanged(m_nCurProgram, SendStructData, Image::outputSlot(ch, 35), Image::SlotSize)) {
            emit sendOutputData(ch, 35);
            return true;
        }
    }
    return false;
}
