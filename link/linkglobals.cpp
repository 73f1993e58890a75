#include "linkglobals.h"

SystemImage m_nCurSystem;
SystemImage SendSYSData;
CasSystemImage m_nCasSystem;
CasSystemImage SendCasSYSData;
ProgramImage m_nCurProgram;
ProgramImage SendStructData;
ProgramImage CasStructData;
ProgramImage SendCasStructData;
ProgramImage m_nUseProgram[Image::StoredPresets];
ProgramImage m_nCasUseProgram[Image::CasPresets];

ProgramImage *storedPreset(int p)
{
    return p >= 1 && p <= Image::StoredPresets ? &m_nUseProgram[p - 1] : nullptr;
}

ProgramImage *cascadePreset(int p)
{
    return p >= 0 && p < Image::CasPresets ? &m_nCasUseProgram[p] : nullptr;
}

FrameRecord SendFrameData(FRAME_START_TAG);
FrameRecord RecFrameData;
FrameRecord SendWireFrameData(WIREFRAME_START_TAG);
FrameRecord RecWireFrameData;

const quint8 m_nCurDeviceid = 1;

Shared<int> m_nCasModel = -1;

bool Is_Sub_Model()
{
    switch (m_nCasModel.get()) {
    case 4:
    case 5:
    case 6:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
        return true;
    default:
        return false;
    }
}

ByteImage<3> m_nSendUSBLink;
Shared<quint8> m_nCurUSBLink = 0;

void LockedBytes::assign(const QByteArray &b)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_bytes = b;
}

void LockedBytes::clear()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_bytes.clear();
}

int LockedBytes::size() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bytes.size();
}

QByteArray LockedBytes::takeFront(int n)
{
    std::lock_guard<std::mutex> lock(m_lock);
    n = qBound(0, n, m_bytes.size());
    const QByteArray front = m_bytes.left(n);
    m_bytes.remove(0, n);
    return front;
}

Shared<bool> m_bUpMCUFlag = false;
LockedBytes m_nHexData;
LockedBytes m_nDsp_Data;
UpgradeFileState m_nReadDsp_McuFile_Flag;

WireKeyStruct m_nWireStruct;

Shared<qint32> m_nLamp[Lamp::Count];

Shared<bool> BOOL_StopCompareData = true; // until the start-up synchronisation completes
Shared<bool> BOOL_ResetFactory = false;
Shared<bool> m_b_Data_Modify_Flag = false;

LinkTempFlags m_nLinkTemp;
ByteImage<11> m_nMarker;

const int Chanel_SUBList[3] = {22, 23, 24};

bool isSubwooferType(int type)
{
    for (int t : Chanel_SUBList) {
        if (t == type)
            return true;
    }
    return false;
}
