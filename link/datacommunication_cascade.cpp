// DataCommunication: the cascaded DSP unit (target 10). Detection by its
// version text, the initial reads per model, its answers, preset recall
// and the frames the scanner asks for.
#include "datacommunication.h"

#include "bufdataproce.h"
#include "cascademodels.h"
#include "framedefs.h"
#include "linkglobals.h"
#include "logging.h"
#include "payloadbytes.h"

#include <QDebug>
#include <QTimer>

namespace {

// Model number while a unit is being detected: no status is read then.
constexpr int DetectingModel = 100;

struct CasRead {
    int group;
    int item;
    int slot;
};

// The settings a model is read for (its presets aside).
QList<CasRead> settingReads(int model)
{
    const CasRead b2{GROUP_SYSTEM, 2, 0}, b5{GROUP_SYSTEM, 5, 0};
    switch (model) {
    case 0:
        return {b2, b5};
    case 1:
    case 2:
        return {{GROUP_OUTPUT, 4, SLOT_WHOLE}, b2, b5};
    case 3:
        return {{GROUP_SYSTEM, 7, 0}};
    case 4:
    case 8:
        return {b2, b5, {GROUP_SYSTEM, 24, 0}};
    case 5:
    case 6:
        return {b2, b5, {GROUP_SYSTEM, 7, 0}};
    case 9:
    case 10:
    case 11:
    case 12:
        return {b2, b5, {GROUP_SYSTEM, 9, 0}};
    default:
        return {b5};
    }
}

bool bridgedModel(int model)
{
    return model == 11;
}

} // namespace

void DataCommunication::Check_Cascade_Model()
{
    m_casDetecting = true;
    m_nCasModel = DetectingModel;
    m_bufData->setCascadeLamp(true);
    armTimer(m_casDetectTimer, 8000);
}

void DataCommunication::CheckCascadeOverTimer(bool update)
{
    StopCascadeThread(false);
    if (update)
        emit updateCascade(true);
}

void DataCommunication::StopCascadeThread(bool clearActive)
{
    m_casDetecting = false;
    m_casUpload = false;
    disarmTimer(m_casLampTimer);
    disarmTimer(m_casDetectTimer);
    m_bufData->setCascadeActive(false);
    m_bufData->setCascadeLamp(false);
    m_bufData->setCascadeSubChannels(0);
    {
        Lock lock(m_lock);
        SendCasBufferList.clear();
        ProgressCasBarList.clear();
        // A cascade frame on the wire stays until its answer or reset.
        const int keep = m_lineFree.load() ? 0 : 1;
        for (int i = SendbufferList.size() - 1; i >= keep; --i) {
            if (quint8(SendbufferList.at(i).at(Frame::Target)) != TARGET_CASCADE)
                continue;
            SendbufferList.removeAt(i);
            if (i < ProgressBarList.size())
                ProgressBarList.removeAt(i);
        }
    }
    m_nCasModel = -1;
    m_bridged = false;
    m_bridgeWritten = false;
    if (clearActive)
        m_nCurSystem.set(43, 0);
}

void DataCommunication::InitCascadeData()
{
    Lock lock(m_lock);
    const int model = m_nCasModel.get();
    for (const CasRead &r : settingReads(model))
        GetSendReadCascadeData(r.group, r.item, r.slot, 0);
    if (model < 0 || model > 12 || model == 4)
        return;
    const int presets = (model == 1 || model == 2) ? 16 : 7;
    for (int p = 0; p < presets; ++p)
        GetSendReadCascadeData(GROUP_SYSTEM, 0, 0, p);
}

void DataCommunication::UpCascadeMCUPreset(int preset)
{
    const int model = m_nCasModel.get();
    if (model < 0 || model == DetectingModel || !cascadePreset(preset))
        return;
    Lock lock(m_lock);
    // The unit answers with the preset's settings; the scanner sends them
    // on as its live settings once every answer is in.
    m_bufData->setCascadeActive(false);
    m_bufData->setCascadePreset(preset);
    const QList<CasRead> reads = settingReads(model);
    m_casUploadTarget = reads.size();
    m_casUpload = true;
    int progress = 0;
    for (const CasRead &r : reads)
        GetSendReadData(r.group, r.item, r.slot, preset, ++progress, TARGET_CASCADE, 1);
    // The progress bar runs to the last answer and ends in "成功"; a unit
    // that stops answering ends it in "失败".
    m_progress = progress;
    emit showProcessBar(19);
}

void DataCommunication::SendCasSYSID(int block)
{
    const int model = m_nCasModel.get();
    if (block != 4) {
        if (bridgedModel(model) && m_bridged.load())
            GetSendWriteData(GROUP_SYSTEM, block, 0, 0, false, 0, TARGET_CASCADE, 2);
        GetSendWriteData(GROUP_SYSTEM, block, 0, 0, false, 0, TARGET_CASCADE, 1);
        return;
    }
    if (m_casUpload.load())
        return;
    GetSendReadCascadeData(GROUP_SYSTEM, 4, 0, 0);
    if (model != DetectingModel)
        GetSendReadCascadeData(GROUP_SYSTEM, 3, 0, 0);
}

void DataCommunication::SendCasOutDataFun(int channel)
{
    if (channel == -1) {
        GetSendWriteData(GROUP_OUTPUT, 4, 31, 0, false, 0, TARGET_CASCADE);
        GetSendWriteData(GROUP_OUTPUT, 5, 31, 0, false, 0, TARGET_CASCADE);
    } else {
        GetSendWriteData(GROUP_OUTPUT, channel, 31, 0, false, 0, TARGET_CASCADE);
    }
}

void DataCommunication::cascadeVersion(int unit, const QByteArray &payload)
{
    const QString version = QString::fromLatin1(payload.left(11)).trimmed();
    qCDebug(lcLink) << "version:" << version << unit;
    if (unit != 1)
        return;
    if (!m_casDetecting.load() && m_nCurSystem.at(43) != 0 && version != m_casVersion) {
        // Another unit was plugged in: close the cascade and let the
        // screens search again.
        emit sig_checkCasOver(true);
        return;
    }
    if (!m_casDetecting.exchange(false))
        return;
    emit sig_stopInitCasTimer();
    const int model = cascadeModelFor(version);
    if (model < 0) {
        m_nCasModel = -1;
        emit sig_checkCasOver(false);
        emit sig_Notsupport();
        return;
    }
    m_nCasModel = model;
    m_casVersion = version;
    InitCascadeData();
    m_nCurSystem.set(43, 1);
    emit sig_caslamp();
}

void DataCommunication::storeCascadeAnswer(int block, int preset, int unit, const QByteArray &payload)
{
    const int model = m_nCasModel.get();
    switch (block) {
    case 4:
        cascadeVersion(unit, payload);
        break;
    case 0:
        if (ProgramImage *img = cascadePreset(preset)) {
            img->fill(0, 0, Image::NameSize);
            storeBytes(*img, 0, payload, 13);
        }
        break;
    case 2:
        storeBytes(m_nCasSystem, 0, payload, 8);
        break;
    case 3:
        storeCascadeStatus(unit, payload);
        break;
    case 5:
        storeBytes(m_nCasSystem, 8, payload, 8);
        if (model >= 0 && model <= 2) {
            SendCasSYSData.copyFrom(m_nCasSystem, 8, 8, 8);
            emit updateCascade(false);
        }
        break;
    case 7: {
        const bool high = model == 5 || model == 6;
        const int off = high ? 128 : 0;
        const int len = high ? 40 : 80;
        storeBytes(m_nCasSystem, off, payload, len);
        SendCasSYSData.copyFrom(m_nCasSystem, off, off, len);
        m_bufData->setCascadeSubChannels(0);
        if (model != 3)
            break;
        quint16 subs = 0;
        for (int ch = 0; ch < Image::OutputChannels; ++ch) {
            if (!isSubwooferType(m_nCasSystem.at(48 + ch)))
                continue;
            subs |= quint16(1u << ch);
            GetSendReadCascadeData(GROUP_OUTPUT, ch, SLOT_WHOLE, 0);
        }
        m_bufData->setCascadeSubChannels(subs);
        if (subs == 0)
            emit sig_Nosub_Channel();
        break;
    }
    case 9:
        storeBytes(m_nCasSystem, 160, payload, 8);
        emit updateCascade(false);
        m_bufData->setCascadeActive(true);
        if (bridgedModel(model) && m_bridged.load() && !m_bridgeWritten.exchange(true)) {
            // The second unit of a bridged pair starts from the first's settings.
            for (int b : {2, 5, 9})
                GetSendWriteData(GROUP_SYSTEM, b, 0, 0, false, 0, TARGET_CASCADE, 2);
        }
        break;
    case 24:
        storeBytes(m_nCasSystem, 128, payload, 40);
        emit updateCascade(false);
        break;
    case 25:
        if (model == 4 || model == 8)
            storeBytes(m_nCasSystem, 164, payload, 2);
        break;
    default:
        break;
    }
}

void DataCommunication::storeCascadeStatus(int unit, const QByteArray &payload)
{
    const int model = m_nCasModel.get();
    int source = m_nCasSystem.at(0);
    int mixer = m_nCasSystem.at(1);
    int gain = -1;
    if (model >= 0 && model <= 2) {
        source = byteAt(payload, 14);
    } else if (model == 3) {
        source = byteAt(payload, 51);
    } else if (model == 11) {
        if (unit != 1)
            return;
        source = byteAt(payload, 0);
        mixer = byteAt(payload, 1);
        m_bridged = byteAt(payload, 17) != 0 && byteAt(payload, 18) != 0;
    } else if (model > 3 && model <= 12) {
        source = byteAt(payload, 0);
        mixer = byteAt(payload, 1);
        gain = byteAt(payload, 8) | (byteAt(payload, 9) << 8);
    } else {
        return;
    }
    // The screens take these over (they may hold an edit of their own).
    if (gain >= 0 && gain != m_nCasSystem.u16(8))
        emit sig_LampMainGainChanged(gain);
    if (source != m_nCasSystem.at(0) || mixer != m_nCasSystem.at(1))
        emit sig_LampSourceChanged(source, mixer);
}

void DataCommunication::storeCascadeOutput(int channel, int slot, const QByteArray &payload)
{
    const int model = m_nCasModel.get();
    if (model < 1 || model > 3 || channel < 0 || channel >= Image::OutputChannels)
        return;
    if (slot == SLOT_WHOLE) {
        storeBytes(CasStructData, Image::outputSlot(channel, 0), payload, Image::OutputRecord);
        SendCasStructData.copyFrom(CasStructData, Image::outputSlot(channel, 0), Image::outputSlot(channel, 0),
                                   Image::OutputRecord);
        if (model == 3 && m_nMarker.at(9) == 0)
            emit updateCascade(false);
    } else if (slot <= 36) {
        storeBytes(CasStructData, Image::outputSlot(channel, slot), payload, Image::SlotSize);
        SendCasStructData.copyFrom(CasStructData, Image::outputSlot(channel, slot), Image::outputSlot(channel, slot),
                                   Image::SlotSize);
        m_nMarker.set(9, 1);
    }
}
