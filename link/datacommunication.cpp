// DataCommunication: the port, the queues and frame builders, the worker's
// send step and reply wait, failures, restart and the timers.
#include "datacommunication.h"

#include "bufdataproce.h"
#include "framedefs.h"
#include "globals.h"
#include "linkglobals.h"
#include "logging.h"
#include "platform.h"
#include "playerexit.h"
#include "serialservice.h"

#include <QDebug>
#include <QTimer>

namespace {

QTimer *makeTimer(QObject *owner, bool singleShot)
{
    auto *t = new QTimer(owner);
    t->setSingleShot(singleShot);
    return t;
}

int frameByte(const QByteArray &frame, int offset)
{
    return offset < frame.size() ? quint8(frame[offset]) : -1;
}

bool isStatusPoll(const QByteArray &f)
{
    return frameByte(f, Frame::Type) == FRAME_READ && frameByte(f, Frame::Group) == GROUP_SYSTEM
           && frameByte(f, Frame::Item) == 3 && frameByte(f, Frame::Target) != TARGET_CASCADE;
}

} // namespace

DataCommunication::DataCommunication(QObject *parent)
    : QThread(parent)
    , m_recvQueue(&m_lock)
    , m_receiver(&m_recvQueue)
    , m_musicInfoTimer(makeTimer(this, false))
    , m_versionTimer(makeTimer(this, false))
    , m_replyTimer(makeTimer(this, true))
    , m_upgradeTimer(makeTimer(this, true))
    , m_casLampTimer(makeTimer(this, false))
    , m_casDetectTimer(makeTimer(this, true))
    , m_presetSaveTimer(makeTimer(this, true))
    , m_linkTimer(makeTimer(this, true))
    , m_comparePauseTimer(makeTimer(this, true))
{
    m_bufData = new BufDataProce(this);
    m_serial = new SerialService(this);
    if (!m_serial->setup(Platform::mcuPort(), 57600)) {
        qCWarning(lcLink).noquote() << QStringLiteral("MCU port %1 cannot be opened").arg(Platform::mcuPort());
        // The supervisor starts the program again; until then frames to the
        // closed port are dropped.
        killPlayerProcess();
    }
    m_serial->setQueueMode(&m_recvQueue);
    connect(this, &DataCommunication::writeDSPserialData, m_serial, &SerialService::send_handle, Qt::QueuedConnection);

    // The scanner runs on the worker with the queue lock held: its frames
    // are queued at once, before the next pass.
    connect(m_bufData, &BufDataProce::sendSYSData, this, &DataCommunication::SendSYSID, Qt::DirectConnection);
    connect(m_bufData, &BufDataProce::sendOutputData, this, &DataCommunication::SendOutDataID, Qt::DirectConnection);
    connect(m_bufData, &BufDataProce::sendMusicData, this, &DataCommunication::SendMusicDataID, Qt::DirectConnection);
    connect(m_bufData, &BufDataProce::sendCasSYSData, this, &DataCommunication::SendCasSYSID, Qt::DirectConnection);
    connect(m_bufData, &BufDataProce::sendCasOutData, this, &DataCommunication::SendCasOutDataFun,
            Qt::DirectConnection);

    // Signals the worker sends itself: queued into the GUI thread, where
    // the timers live.
    connect(this, &DataCommunication::resetSendData, this, &DataCommunication::ResetSendThread);
    connect(this, &DataCommunication::sig_resetSendData, this, &DataCommunication::ResetSendDataFlg);
    connect(this, &DataCommunication::stopSendDataTime, this, &DataCommunication::StopSendDataTimer);
    connect(this, &DataCommunication::sig_CheckLampTimer, this, [this] { m_linkTimer->start(22000); });
    connect(this, &DataCommunication::sig_stopmuiscinfo, m_musicInfoTimer, &QTimer::stop);
    connect(this, &DataCommunication::sig_stopsenddatatimer, this, [this] {
        // A stopped protocol neither retries nor ends the program.
        m_replyTimer->stop();
        m_linkTimer->stop();
    });
    connect(this, &DataCommunication::sig_startcheckUpgradeTimer, this, [this] { m_upgradeTimer->start(30000); });
    connect(this, &DataCommunication::sig_stopcheckUpgradeTimer, m_upgradeTimer, &QTimer::stop);
    connect(this, &DataCommunication::sig_checkCasOver, this, &DataCommunication::CheckCascadeOverTimer);
    connect(this, &DataCommunication::sig_stopInitCasTimer, m_casDetectTimer, &QTimer::stop);
    connect(this, &DataCommunication::sig_caslamp, this, [this] { m_casLampTimer->start(2500); });
    connect(this, &DataCommunication::stopCheckConnect, m_versionTimer, &QTimer::stop);

    connect(m_musicInfoTimer, &QTimer::timeout, this, [this] { m_bufData->setMusicInfoFlag(true); });
    connect(m_versionTimer, &QTimer::timeout, this, &DataCommunication::versionRetry);
    connect(m_replyTimer, &QTimer::timeout, this, [this] {
        qCWarning(lcLink).noquote() << QStringLiteral("定时器判断发送数据端口未复位则做复位");
        ResetSendDataFlg();
    });
    connect(m_upgradeTimer, &QTimer::timeout, this, &DataCommunication::stopUpgradeActive);
    connect(m_casLampTimer, &QTimer::timeout, this, [this] { m_bufData->setCascadeLamp(true); });
    connect(m_casDetectTimer, &QTimer::timeout, this, [this] { CheckCascadeOverTimer(true); });
    connect(m_presetSaveTimer, &QTimer::timeout, this, &DataCommunication::SaveDefaultUserPreset_Process);
    connect(m_linkTimer, &QTimer::timeout, this, &DataCommunication::linkWatchdogExpired);
    connect(m_comparePauseTimer, &QTimer::timeout, this, [] { BOOL_StopCompareData = false; });
}

DataCommunication::~DataCommunication()
{
    requestInterruption();
    wait();
    m_fence.joined();
}

void DataCommunication::onGui(std::function<void()> fn)
{
    if (QThread::currentThread() == thread())
        fn();
    else
        QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void DataCommunication::armTimer(QTimer *timer, int ms)
{
    onGui([timer, ms] { timer->start(ms); });
}

void DataCommunication::disarmTimer(QTimer *timer)
{
    onGui([timer] { timer->stop(); });
}

// ------------------------------------------------------------- queueing

void DataCommunication::fillHeader(int type, int group, int item, int slot, int preset, int target, int unit, int len)
{
    SendFrameData.setTags(FRAME_START_TAG);
    SendFrameData[Frame::Type] = quint8(type);
    SendFrameData[Frame::Unit] = quint8(unit);
    SendFrameData[Frame::Preset] = quint8(preset);
    SendFrameData[Frame::Group] = quint8(group);
    SendFrameData[Frame::Item] = quint8(item);
    SendFrameData[Frame::Slot] = quint8(slot);
    SendFrameData[Frame::Target] = quint8(target);
    SendFrameData[Frame::FileReturn] = quint8(m_fileReturn.load());
    SendFrameData.setLength(len);
}

void DataCommunication::queueFrame(const QByteArray &frame, int progress, int target, int tag)
{
    if (frame.isEmpty())
        return;
    if (target == TARGET_CASCADE) {
        // One cascade frame at a time in the main queue; the next enters
        // when this one is answered.
        const bool first = SendCasBufferList.isEmpty();
        SendCasBufferList.append(frame);
        ProgressCasBarList.append(progress);
        if (first) {
            SendbufferList.append(frame);
            ProgressBarList.append(0);
        }
    } else {
        SendbufferList.append(frame);
        ProgressBarList.append(progress);
    }
    if (tag >= 0)
        HexUpgradeList.append(tag);
}

void DataCommunication::GetSendWriteData(int group, int item, int slot, int preset, bool whole, int progress,
                                         int target, int unit)
{
    Lock lock(m_lock);
    int len = Image::SlotSize;
    int queued = progress;
    switch (group) {
    case GROUP_INPUT:
        len = whole ? Image::InputWholeLength : Image::SlotSize;
        break;
    case GROUP_OUTPUT:
        len = whole ? Image::OutputRecord : Image::SlotSize;
        break;
    case GROUP_SYSTEM:
        if (item == 121) {
            // The now-playing payload already stands in SendFrameData.
            len = qBound(0, progress, int(Frame::MaxPayload));
            queued = 0;
        } else if (item == 128) {
            len = 24;
        } else if (item == 0) {
            len = 16;
        }
        break;
    case GROUP_APP:
        len = 3;
        break;
    default:
        break;
    }
    fillHeader(FRAME_WRITE, group, item, whole ? 0 : slot, preset, target, unit, len);
    queueFrame(m_bufData->ProcessingPackets(), queued, target);
}

void DataCommunication::GetSendReadData(int group, int item, int slot, int preset, int progress, int target, int unit)
{
    Lock lock(m_lock);
    fillHeader(FRAME_READ, group, item, slot, preset, target, unit, Image::SlotSize);
    queueFrame(m_bufData->ProcessingPackets(), progress, target);
}

void DataCommunication::GetSendReadCascadeData(int group, int item, int slot, int preset)
{
    Lock lock(m_lock);
    GetSendReadData(group, item, slot, preset, 0, TARGET_CASCADE, 1);
    if (m_nCasModel.get() == 11 && m_bridged.load())
        GetSendReadData(group, item, slot, preset, 0, TARGET_CASCADE, 2);
}

void DataCommunication::clearQueues()
{
    Lock lock(m_lock);
    SendbufferList.clear();
    ProgressBarList.clear();
    SendCasBufferList.clear();
    ProgressCasBarList.clear();
    HexUpgradeList.clear();
}

QList<QByteArray> DataCommunication::queuedFrames() const
{
    Lock lock(m_lock);
    return SendbufferList;
}

QList<QByteArray> DataCommunication::queuedCascadeFrames() const
{
    Lock lock(m_lock);
    return SendCasBufferList;
}

QList<int> DataCommunication::queuedProgress() const
{
    Lock lock(m_lock);
    return ProgressBarList;
}

QString DataCommunication::mcuVersion() const
{
    Lock lock(m_lock);
    return m_mcuVersion;
}

QString DataCommunication::cascadeVersion() const
{
    Lock lock(m_lock);
    return m_casVersion;
}

// ------------------------------------------------------------- slots of the scanner

void DataCommunication::SendSYSID(int block, int n)
{
    switch (block) {
    case 16:
        GetSendWriteData(GROUP_APP, 16, 0, 0, false, 0);
        if (m_usbStatusPending.exchange(false))
            SendUSBStutus_ForAPP(99);
        break;
    case 121:
        GetSendWriteData(GROUP_SYSTEM, 121, 0, 0, false, n);
        break;
    case 3:
        GetSendReadData(GROUP_SYSTEM, 3, 0, 0, 0);
        break;
    default:
        GetSendWriteData(GROUP_SYSTEM, block, 0, 0, false, 0);
        break;
    }
}

void DataCommunication::SendOutDataID(int channel, int slot)
{
    GetSendWriteData(GROUP_OUTPUT, channel, slot, 0, false, 0);
}

void DataCommunication::SendMusicDataID(int channel, int slot)
{
    GetSendWriteData(GROUP_INPUT, channel, slot, 0, false, 0);
    SendPGName_Default();
}

void DataCommunication::SendPGName_Default()
{
    // Every EQ edit pushes the automatic save of the user preset back.
    if (m_b_Data_Modify_Flag.get())
        armTimer(m_presetSaveTimer, 3000);
}

// ------------------------------------------------------------- the worker

void DataCommunication::runStart(QThread::Priority priority)
{
    if (!isRunning())
        start(priority);
}

void DataCommunication::purgeStatusPolls()
{
    // Polls queued behind real work are stale by the time they would go.
    for (int i = SendbufferList.size() - 1; i >= 1; --i) {
        if (!isStatusPoll(SendbufferList.at(i)))
            continue;
        SendbufferList.removeAt(i);
        if (i < ProgressBarList.size())
            ProgressBarList.removeAt(i);
    }
}

bool DataCommunication::SendUsbData()
{
    QByteArray head;
    {
        Lock lock(m_lock);
        if (SendbufferList.isEmpty()) {
            if (!m_restartPending.load() && m_syncComplete.load())
                m_bufData->ComparedToSendData();
        } else {
            if (!m_purgeEnabled.load()) {
                if (++m_passes >= PurgeAfterPasses)
                    m_purgeEnabled = true;
            } else if (SendbufferList.size() >= PurgeMinQueued) {
                purgeStatusPolls();
            }
            head = SendbufferList.first();
            m_lineFree = false;
            emit writeDSPserialData(head);
        }
    }
    if (head.isEmpty()) {
        if (m_restartPending.load())
            QThread::msleep(RestartSleepMs);
        return false;
    }
    if (!m_restartPending.load())
        emit resetSendData(3000);
    emit sig_CheckLampTimer();
    return true;
}

bool DataCommunication::headMatchesAnswer() const
{
    if (SendbufferList.isEmpty())
        return false;
    const QByteArray &head = SendbufferList.first();
    for (int off = Frame::Unit; off <= Frame::Target; ++off) {
        if (frameByte(head, off) != RecFrameData[off])
            return false;
    }
    return true;
}

void DataCommunication::run()
{
    const RunFence::Scope ended(m_fence);
    auto stop = [this] { return isInterruptionRequested() || m_lineFree.load(); };
    while (!isInterruptionRequested()) {
        bool sent = false;
        // A frame on the wire is settled by its answer or reset by the
        // reply watchdog; only then does the next one go.
        if (m_lineFree.load())
            sent = m_bUpMCUFlag.get() ? SendMCUData() : SendUsbData();
        while (sent && !isInterruptionRequested()) {
            const McuReceiver::Result r = m_receiver.RecvReply(stop);
            if (r == McuReceiver::Good) {
                Lock lock(m_lock);
                if (m_lineFree.load())
                    break;
                // The answer names what it answers: a late answer to a
                // frame already given up is not this frame's.
                if (!headMatchesAnswer()) {
                    qCDebug(lcLink, "MCU answer for group %d item %d does not match the frame sent; ignored",
                            int(RecFrameData[Frame::Group]), int(RecFrameData[Frame::Item]));
                    continue;
                }
                ProcessRecFrameData(m_receiver.payload());
                break;
            }
            if (r == McuReceiver::TimedOut) {
                // While the DSP restarts there is no reply watchdog: an
                // unanswered frame is settled so that the next one goes.
                Lock lock(m_lock);
                if (m_restartPending.load() && !m_lineFree.load())
                    DeleteList();
                break;
            }
            if (r == McuReceiver::Stopped)
                break;
            // A bad or overlong frame: keep listening until the watchdog.
        }
        QThread::msleep(PassSleepMs);
    }
}

void DataCommunication::DeleteList()
{
    Lock lock(m_lock);
    if (!SendbufferList.isEmpty())
        SendbufferList.removeFirst();
    if (!ProgressBarList.isEmpty())
        ProgressBarList.removeFirst();
    if (m_bUpMCUFlag.get() && !HexUpgradeList.isEmpty())
        HexUpgradeList.removeFirst();
    m_lineFree = true;
}

// ------------------------------------------------------------- failures

void DataCommunication::ResetSendThread(int ms)
{
    // A cascaded unit loading a preset answers slowly.
    m_replyTimer->start(m_casUpload.load() ? qMax(ms, 7500) : ms);
}

void DataCommunication::StopSendDataTimer()
{
    m_replyTimer->stop();
}

void DataCommunication::ResetSendDataFlg()
{
    bool giveUp = false;
    {
        Lock lock(m_lock);
        // Settled already (an answer crossed the watchdog): nothing failed.
        if (m_lineFree.load())
            return;
        bool headGone = false;
        if (!SendbufferList.isEmpty()) {
            const QByteArray head = SendbufferList.first();
            if (frameByte(head, Frame::Target) == TARGET_CASCADE) {
                const bool versionRead = frameByte(head, Frame::Type) == FRAME_READ
                                         && frameByte(head, Frame::Group) == GROUP_SYSTEM
                                         && frameByte(head, Frame::Item) == 4;
                if (versionRead || m_casUpload.load()) {
                    emit sig_stopInitCasTimer();
                    CheckCascadeOverTimer(true);
                }
                if (!SendbufferList.isEmpty() && SendbufferList.first() == head) {
                    SendbufferList.removeFirst();
                    if (!ProgressBarList.isEmpty())
                        ProgressBarList.removeFirst();
                }
                if (!SendCasBufferList.isEmpty()) {
                    SendCasBufferList.removeFirst();
                    if (!ProgressCasBarList.isEmpty())
                        ProgressCasBarList.removeFirst();
                }
                if (!SendCasBufferList.isEmpty() && m_nCurSystem.at(43) != 0) {
                    SendbufferList.append(SendCasBufferList.first());
                    ProgressBarList.append(0);
                }
                headGone = true;
            } else {
                // Channel data goes stale quickly (the next edit follows);
                // everything else is sent again.
                if (frameByte(head, Frame::Group) == GROUP_INPUT) {
                    SendbufferList.removeFirst();
                    if (!ProgressBarList.isEmpty())
                        ProgressBarList.removeFirst();
                    headGone = true;
                }
                giveUp = ++m_failures > MaxFailures;
            }
        }
        if (m_bUpMCUFlag.get() && m_upgradeBlock.load() != 54 && m_upgradeBlock.load() != 55)
            stopUpgradeActive();
        if (m_restartPending.load() && !headGone && !SendbufferList.isEmpty()) {
            SendbufferList.removeFirst();
            if (!ProgressBarList.isEmpty())
                ProgressBarList.removeFirst();
        }
        m_lineFree = true;
    }
    if (giveUp) {
        qCWarning(lcLink).noquote() << QStringLiteral("MCU link: %1 failed frames, restarting").arg(m_failures.load());
        killPlayerProcess();
    }
}

void DataCommunication::linkWatchdogExpired()
{
    qCInfo(lcLink).noquote() << QStringLiteral("~~~~~sig_CheckLampTimer2~~~~~");
    m_linkTimer->stop();
    if (m_bUpMCUFlag.get())
        return;
    killPlayerProcess();
}

// ------------------------------------------------------------- start-up, stop, restart

bool DataCommunication::Read_MCU_Version()
{
    if (!m_serial->isOpen())
        return false;
    {
        Lock lock(m_lock);
        clearQueues();
        m_recvQueue.clear();
        m_lineFree = true;
        GetSendReadData(GROUP_SYSTEM, 4, 0, 0, 0);
    }
    m_versionRetries = 0;
    armTimer(m_versionTimer, 4500);
    emit sig_CheckLampTimer();
    return true;
}

void DataCommunication::versionRetry()
{
    if (++m_versionRetries >= 3) {
        m_versionRetries = 0;
        emit sig_versionError(false);
    }
    GetSendReadData(GROUP_SYSTEM, 4, 0, 0, 0);
}

void DataCommunication::InitLoad()
{
    qCDebug(lcLink, "======== MCU start-up synchronisation ========");
    Lock lock(m_lock);
    m_purgeEnabled = false;
    m_passes = 0;
    m_progress = 0;
    for (int block : {2, 5, 6, 52, 8, 9, 122, 18})
        GetSendReadData(GROUP_SYSTEM, block, 0, 0, 0);
    for (int preset = 0; preset <= Image::StoredPresets; ++preset)
        GetSendReadData(GROUP_SYSTEM, 0, 0, preset, 0);
    GetSendReadData(GROUP_INPUT, 0, SLOT_WHOLE, 0, 0);
    for (int ch = 0; ch < 6; ++ch)
        GetSendReadData(GROUP_OUTPUT, ch, SLOT_WHOLE, 0, 0);
}

void DataCommunication::stopThread()
{
    emit sig_stopsenddatatimer();
    emit sig_stopmuiscinfo();
    clearQueues();
    requestInterruption();
}

void DataCommunication::reboot_DSPMAC()
{
    m_restartPending = true;
    m_bUpMCUFlag = false;
    {
        Lock lock(m_lock);
        clearQueues();
        m_lineFree = true;
    }
    onGui([this] {
        QTimer::singleShot(3000, this, [this] {
            // Sent twice: the unit may miss the first while it resets.
            GetSendWriteData(GROUP_SYSTEM, 63, 0, 0, false, 0);
            GetSendWriteData(GROUP_SYSTEM, 63, 0, 0, false, 0);
        });
    });
}
