// DataCommunication: answers of the MCU. Each accepted answer is stored
// into the settings images and settles the frame; refusals go to the
// failure handling. The version answer starts the synchronisation.
#include "datacommunication.h"

#include "bufdataproce.h"
#include "framedefs.h"
#include "globals.h"
#include "linkglobals.h"
#include "logging.h"
#include "payloadbytes.h"

#include <QDebug>

namespace {

// A program name: 13 characters, then two zero bytes.
void storeName(ProgramImage *img, const QByteArray &payload)
{
    if (!img)
        return;
    img->fill(0, 0, Image::NameSize);
    storeBytes(*img, 0, payload, 13);
}

// First byte of the system record that a block carries.
int systemBlockOffset(int block)
{
    switch (block) {
    case 2:
        return 0;
    case 5:
        return 8;
    case 6:
        return 16;
    case 7:
    case 52:
        return 24;
    case 8:
        return 32;
    case 9:
        return 40;
    case 122:
        return 48;
    case 120:
        return 56;
    default:
        return -1;
    }
}

// Text of a length-prefixed field, read up to its first zero byte.
QString latinField(const QByteArray &b)
{
    const int nul = b.indexOf('\0');
    return QString::fromLatin1(nul >= 0 ? b.left(nul) : b);
}

} // namespace

void DataCommunication::ProcessRecFrameData(const QByteArray &payload)
{
    Lock lock(m_lock);
    emit stopSendDataTime();
    const int type = RecFrameData[Frame::Type];
    const int unit = RecFrameData[Frame::Unit];
    const int preset = RecFrameData[Frame::Preset];
    const int group = RecFrameData[Frame::Group];
    const int item = RecFrameData[Frame::Item];
    const int slot = RecFrameData[Frame::Slot];
    const int target = RecFrameData[Frame::Target];
    const bool accepted = type == FRAME_ACK || type == FRAME_DATA;

    if (target == TARGET_CASCADE) {
        // A refused cascade frame is taken off both queues by the failure
        // handling; doing it here as well would drop the next one.
        if (accepted)
            cascadeQueueAnswered();
    } else if (m_bUpMCUFlag.get()) {
        const int n = ++m_upgradeAnswers;
        if (n <= m_nReadDsp_McuFile_Flag.totalFrames.get())
            emit submitPersent(n);
        if (n >= 11 && n <= 14)
            emit sig_stopcheckUpgradeTimer();
    } else if (accepted && !ProgressBarList.isEmpty() && ProgressBarList.first() != 0 && !m_casUpload.load()) {
        emit submitPersent(ProgressBarList.first());
    }

    switch (type) {
    case FRAME_DATA:
        if (group == GROUP_SYSTEM) {
            if (target == TARGET_CASCADE)
                storeCascadeAnswer(item, preset, unit, payload);
            else
                storeSystemAnswer(item, preset, payload);
        } else if (group == GROUP_OUTPUT && target == TARGET_CASCADE) {
            storeCascadeOutput(item, slot, payload);
        } else if (group == GROUP_INPUT || group == GROUP_OUTPUT) {
            storeChannelAnswer(group, item, slot, preset, payload);
        }
        DeleteList();
        break;
    case FRAME_ACK:
        DeleteList();
        break;
    default: // "R" and anything unexpected
        emit sig_resetSendData();
        break;
    }
}

void DataCommunication::cascadeQueueAnswered()
{
    if (!SendCasBufferList.isEmpty())
        SendCasBufferList.removeFirst();
    const int v = ProgressCasBarList.isEmpty() ? 0 : ProgressCasBarList.takeFirst();
    if (v != 0)
        emit submitPersent(v);
    if (m_casUpload.load() && v >= m_casUploadTarget.load()) {
        m_bufData->setCascadeActive(true);
        m_bufData->setCascadeLamp(true);
        m_casUpload = false;
        emit sig_caslamp();
    }
    if (!SendCasBufferList.isEmpty()) {
        SendbufferList.append(SendCasBufferList.first());
        ProgressBarList.append(0);
    }
}

void DataCommunication::storeSystemAnswer(int block, int preset, const QByteArray &payload)
{
    switch (block) {
    case 0:
        storeName(preset == 0 ? &m_nCurProgram : storedPreset(preset), payload);
        return;
    case 3:
        storeStatus(payload);
        return;
    case 4:
        checkVersion(payload);
        return;
    case 18:
        storeBytes(m_nCurSystem, 88, payload, 48);
        return;
    default:
        break;
    }
    const int off = systemBlockOffset(block);
    if (off < 0)
        return;
    storeBytes(m_nCurSystem, off, payload, Image::SlotSize);
    switch (block) {
    case 52:
        // The preset block is read without taking it as sent.
        break;
    case 7:
        SendSYSData.copyFrom(m_nCurSystem, off, off, Image::SlotSize);
        break;
    case 122:
        // What the MCU holds is what was sent: the scanner must not echo it.
        SendSYSData.copyAll(m_nCurSystem);
        m_syncComplete = true;
        BOOL_StopCompareData = false;
        emit readSysDataOver();
        onGui([this] { setSendMuiscInfo(true); });
        break;
    default:
        SendSYSData.copyAll(m_nCurSystem);
        break;
    }
}

void DataCommunication::storeStatus(const QByteArray &payload)
{
    for (int i = 0; i < 16; ++i)
        m_nLamp[i] = byteAt(payload, i);
    m_nLamp[Lamp::BleFollows] = byteAt(payload, 24);
    for (int i = 16; i <= 23; ++i)
        m_nCurSystem.set(64 + i - 16, quint8(byteAt(payload, i)));
    // Status byte 24 (Bluetooth information follows) is system byte 72, the
    // gap between bytes 64..71 and 73..78.
    m_nCurSystem.set(72, quint8(byteAt(payload, 24)));
    for (int i = 25; i <= 30; ++i)
        m_nCurSystem.set(73 + i - 25, quint8(byteAt(payload, i)));
    m_nCurSystem.set(79, quint8(byteAt(payload, 31) & 1));
    if (m_nCurSystem.at(SysByte::Source) == SourceBluetooth && m_nCurSystem.at(72) != 0)
        processRecBLEPlayerData(payload);
    emit reLampDataOver();
}

void DataCommunication::processRecBLEPlayerData(const QByteArray &payload)
{
    int at = 32;
    if (payload.size() < at + 4)
        return;
    const int total = (byteAt(payload, at) << 8) | byteAt(payload, at + 1);
    const int position = (byteAt(payload, at + 2) << 8) | byteAt(payload, at + 3);
    at += 4;
    QString texts[3]; // title, artist, album
    for (QString &t : texts) {
        if (at >= payload.size())
            break;
        const int n = byteAt(payload, at++);
        t = latinField(payload.mid(at, n));
        at += n;
    }
    if (total != m_bleTotal) {
        m_bleTotal = total;
        emit revBlePlayInfo(3, QString::number(total));
    }
    emit positionChanged(position);
    struct {
        QString *stored;
        int kind;
    } const fields[3] = {{&m_bleTitle, 1}, {&m_bleArtist, 0}, {&m_bleAlbum, 2}};
    for (int i = 0; i < 3; ++i) {
        if (*fields[i].stored != texts[i]) {
            *fields[i].stored = texts[i];
            emit revBlePlayInfo(fields[i].kind, texts[i]);
        }
    }
    g_TempData.blePlayerState = quint8(total != 0 || !texts[0].isEmpty() ? 1 : 0);
}

void DataCommunication::resetBTGui()
{
    Lock lock(m_lock);
    m_bleTitle.clear();
    m_bleArtist.clear();
    m_bleAlbum.clear();
    m_bleTotal = -1;
}

void DataCommunication::checkVersion(const QByteArray &payload)
{
    QString version = QString::fromLatin1(payload.left(11)).trimmed();
    if (version.left(7) == Set_MCU_Version.left(7)) {
        g_TempData.mcuSystemState = 2;
        if (!m_versionAccepted.exchange(true))
            InitLoad();
    } else {
        qCWarning(lcLink) << "MCU version mismatch:" << version;
        version.clear();
        stopThread();
        g_TempData.mcuSystemState = 1;
        emit sig_versionError(false);
    }
    version.truncate(11);
    m_mcuVersion = version;
    // The About screen reads the global on the GUI thread.
    onGui([version] { RevMCU_VERSION = version; });
    emit stopCheckConnect();
}

void DataCommunication::storeChannelAnswer(int group, int channel, int slot, int preset, const QByteArray &payload)
{
    if (slot != SLOT_WHOLE)
        return;
    ProgramImage *img = preset == 0 ? &m_nCurProgram : storedPreset(preset);
    if (!img)
        return;
    if (group == GROUP_INPUT) {
        storeBytes(*img, Image::inputSlot(channel, 0), payload, Image::InputWholeLength);
    } else {
        if (channel < 0 || channel >= Image::OutputChannels)
            return;
        storeBytes(*img, Image::outputSlot(channel, 0), payload, Image::OutputRecord);
        // In three-way mode channels 0 and 1 are tweeters: their high-pass
        // list starts at 1000 Hz.
        const int hp = Image::outputSlot(channel, 32);
        if ((channel == 0 || channel == 1) && m_nCurSystem.at(47) != 0 && img->u16(hp) < 1000)
            img->setU16(hp, 1000);
    }
    SendStructData.copyAll(m_nCurProgram);
    if (group == GROUP_OUTPUT && channel == 5) {
        if (preset == 0)
            emit reDataOver();
        else if (preset == 13)
            emit readOutAllData();
    }
}
