// DataCommunication: multi-frame jobs (storing and recalling presets, the
// automatic user preset, output enable), the now-playing tick and the
// phone app's requests.
#include "datacommunication.h"

#include "applistservice.h"
#include "bufdataproce.h"
#include "framedefs.h"
#include "linkglobals.h"
#include "linktext.h"
#include "records.h"

#include <QTimer>

#include <cstring>

void DataCommunication::Set_Send_Mute(bool on, int cascade)
{
    Lock lock(m_lock);
    const int progress = ++m_progress;
    const quint8 v = on ? 1 : 0;
    if (cascade) {
        // The frame is built from the sent copy: it must carry the value.
        m_nCasSystem.set(14, v);
        SendCasSYSData.set(14, v);
        GetSendWriteData(GROUP_SYSTEM, 5, 0, 0, false, progress, TARGET_CASCADE);
    } else {
        if (!m_nLinkTemp.holdOutputEnable.get())
            SendSYSData.set(14, v);
        GetSendWriteData(GROUP_SYSTEM, 5, 0, 0, false, progress);
    }
}

void DataCommunication::DownMCUPreset(int preset, bool save)
{
    if (!storedPreset(preset))
        return;
    Lock lock(m_lock);
    BOOL_StopCompareData = true;
    m_progress = 0;
    if (save) {
        GetSendWriteData(GROUP_SYSTEM, 0, 0, preset, false, ++m_progress);
        GetSendWriteData(GROUP_SYSTEM, 0, 0, 0, false, ++m_progress);
    } else {
        Set_Send_Mute(false);
        GetSendWriteData(GROUP_SYSTEM, 0, 0, preset, false, ++m_progress);
    }
    GetSendWriteData(GROUP_INPUT, 0, 0, preset, true, ++m_progress);
    if (preset != 11) {
        for (int ch = 0; ch < 6; ++ch)
            GetSendWriteData(GROUP_OUTPUT, ch, 0, preset, true, ++m_progress);
    }
    // Output back on for every preset: left off, the car stays silent.
    if (!save)
        Set_Send_Mute(true);
    if (preset != 11)
        emit showProcessBar(18);
    BOOL_StopCompareData = false;
}

void DataCommunication::UpMCUPreset(int preset)
{
    if (preset != 0 && !storedPreset(preset))
        return;
    Lock lock(m_lock);
    BOOL_StopCompareData = true;
    m_progress = 0;
    if (preset == 0) {
        GetSendReadData(GROUP_INPUT, 0, SLOT_WHOLE, 0, ++m_progress);
    } else {
        Set_Send_Mute(false);
        GetSendReadData(GROUP_INPUT, 0, SLOT_WHOLE, preset, ++m_progress);
        if (preset > 11) {
            for (int ch = 0; ch < 6; ++ch)
                GetSendReadData(GROUP_OUTPUT, ch, SLOT_WHOLE, preset, ++m_progress);
            GetSendWriteData(GROUP_SYSTEM, 0, 0, 0, false, ++m_progress);
        }
        Set_Send_Mute(true);
        if (preset > 11)
            emit showProcessBar(19);
    }
    BOOL_StopCompareData = false;
}

void DataCommunication::SaveDefaultUserPreset_Process()
{
    m_presetSaveTimer->stop();
    m_b_Data_Modify_Flag = false;
    m_nCurSystem.set(24, 11);
    char name[14];
    if (QStringToChar(name, sizeof(name), QStringLiteral("用户自定义"))) {
        for (ProgramImage *img : {storedPreset(11), &m_nCurProgram}) {
            img->fill(0, 0, Image::NameSize);
            img->write(0, reinterpret_cast<const quint8 *>(name), int(sizeof(name)));
        }
    }
    const int input = Image::inputSlot(0, 0);
    storedPreset(11)->copyFrom(SendStructData, input, input, Image::InputWholeLength);
    QTimer::singleShot(200, this, [this] { DownMCUPreset(11, true); });
}

// ------------------------------------------------------------- now playing

void DataCommunication::setSendMuiscInfo(bool on)
{
    if (on && m_nCurSystem.at(SysByte::Source) == SourceUsb)
        armTimer(m_musicInfoTimer, 500);
    if (!on)
        disarmTimer(m_musicInfoTimer);
    m_bufData->setMusicInfoOff(!on);
}

void DataCommunication::setTrackSwitching(int ms)
{
    m_bufData->setTrackSwitching(ms);
}

void DataCommunication::clearTrackSwitching()
{
    m_bufData->clearTrackSwitching();
}

// ------------------------------------------------------------- phone app

void DataCommunication::Proc_FileReback_Data(int code)
{
    m_fileReturn = code & 0xFF;
}

void DataCommunication::SendDirListData(int kind, int a, unsigned short b)
{
    Lock lock(m_lock);
    const bool wasStopped = BOOL_StopCompareData.exchange(true);
    AppListService *service = m_appList.load();
    QByteArray payload;
    int result = 0;
    int fileReturn = 103;
    if (!service || !service->hasDisks()) {
        fileReturn = 97;
        m_nSendUSBLink.set(0, 1);
        m_nCurUSBLink = 0;
    } else {
        switch (kind) {
        case 1:
            result = service->Get_Forapp_DiskList(&payload);
            break;
        case 2:
            result = service->Get_Forapp_MuiscList(a, b, &payload);
            break;
        case 3:
            result = service->APP_Select_SingleSong(a, b);
            if (result == 1) {
                // The song starts; its play status answers the app later.
                armTimer(m_comparePauseTimer, 5000);
                return;
            }
            break;
        default:
            result = -1;
            break;
        }
        if (result > 0)
            fileReturn = 0x53;
        else if (result == -2)
            fileReturn = 98;
        else if (result == -3)
            fileReturn = 104;
        else if (result == -4)
            fileReturn = 99;
    }
    const int len = fileReturn == 0x53 ? qBound(0, qMin(result, int(payload.size())), int(Frame::MaxPayload)) : 0;
    Proc_FileReback_Data(fileReturn);
    fillHeader(FRAME_WRITE, GROUP_APP, 0, kind, 0, 0, 1, len);
    if (len > 0)
        std::memcpy(SendFrameData.payload(), payload.constData(), static_cast<size_t>(len));
    queueFrame(m_bufData->ProcessingPackets(), 0, 0);
    if (!wasStopped)
        BOOL_StopCompareData = false;
}

void DataCommunication::SendDirList_Play_Status(bool ok)
{
    Lock lock(m_lock);
    Proc_FileReback_Data(ok ? 0x59 : 0x66);
    fillHeader(FRAME_WRITE, GROUP_APP, 0, 3, 0, 0, 1, 3);
    quint8 *p = SendFrameData.payload();
    p[0] = 3;
    p[1] = m_nCurSystem.at(71);
    p[2] = 0;
    queueFrame(m_bufData->ProcessingPackets(), 0, 0);
    disarmTimer(m_comparePauseTimer);
    BOOL_StopCompareData = false;
}

void DataCommunication::SendUSBStutus_ForAPP(int code)
{
    Lock lock(m_lock);
    Proc_FileReback_Data(code);
    GetSendWriteData(GROUP_APP, 16, 0, 0, false, 0);
}

void DataCommunication::Get_Dirfile_PlayingIndex()
{
    AppListService *service = m_appList.load();
    if (!service)
        return;
    int folder = 0;
    const int index = service->Get_curplay_Index(&folder);
    m_bufData->setPlayingIndex(folder, index);
}
