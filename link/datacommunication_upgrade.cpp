// DataCommunication: MCU and DSP firmware upgrade from the update
// directory. The worker's upgrade send step queues the frames of the
// current phase when the queue is empty and sends them one by one.
#include "datacommunication.h"

#include "bufdataproce.h"
#include "framedefs.h"
#include "globals.h"
#include "linkglobals.h"

#include <QDir>
#include <QFile>
#include <QTimer>

namespace {

constexpr int DspPartSize = 0x3FFFF;
constexpr int SmallFileLimit = 0x40004;
// A "WMCU" file must hold block 55's four bytes and at least one more.
constexpr int McuMinimumSize = 4 + 4 + 1;
constexpr int DspChunk = 44;    // DSP bytes per block 59 after the address
constexpr int McuChunk = 48;    // MCU bytes per block 56
constexpr int BatchFrames = 16; // frames queued per pass while streaming
constexpr int StartTag = 255;   // the raw handshake
constexpr int HandshakeWaitMs = 1000;

// DSP phase steps of the upgrade state record.
enum DspStep { DspEnter = 0, DspData = 1, DspChecksum = 2, DspThenMcu = 3, Done = 4 };
// MCU phase steps.
enum McuStep { McuEnter = 0, McuFirst = 1, McuData = 2, McuChecksum = 3 };

QByteArray handshake()
{
    QByteArray h;
    for (int i = 0; i < 32; ++i)
        h += QByteArray("C\x11", 2);
    return h;
}

} // namespace

bool DataCommunication::upgrade_Actions(bool quiet)
{
    if (m_bUpMCUFlag.get())
        return false;
    const QDir dir(UpgradePathDir);
    const QStringList bins =
        dir.exists() ? dir.entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name) : QStringList();
    if (bins.isEmpty()) {
        if (!quiet)
            emit sig_popup(tr("未发现固件文件"));
        return false;
    }
    if (!ReadDataFile(dir.filePath(bins.first()))) {
        emit sig_popup(tr("更新固件错误"));
        return false;
    }
    {
        // Whatever waited is meaningless to a unit being flashed.
        Lock lock(m_lock);
        clearQueues();
        m_lineFree = true;
    }
    m_upgradeAnswers = 0;
    m_bUpMCUFlag = true;
    emit sig_UpgradeGui();
    disarmTimer(m_replyTimer);
    return true;
}

bool DataCommunication::ReadDataFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        emit sig_popup(tr("更新固件错误"));
        return false;
    }
    // Nothing past the DSP part is ever sent: a huge file is not read whole.
    const qint64 fileSize = f.size();
    const QByteArray all = f.read(qMin<qint64>(fileSize, SmallFileLimit));
    const QByteArray firstLine = all.left(all.indexOf('\n') < 0 ? all.size() : all.indexOf('\n'));
    const QByteArray tag = firstLine.left(4);
    UpgradeFileState &st = m_nReadDsp_McuFile_Flag;
    st.dspStep = 0;
    st.dspAddress = 0;
    st.mcuStep = 0;
    st.totalFrames = 0;
    st.startPending = true;
    m_nHexData.clear();
    m_nDsp_Data.clear();
    const qint64 size = fileSize;
    if (size < SmallFileLimit) {
        // An empty or tag-only file would flash nothing into the MCU.
        if (tag != m_nCurMcu_Flag.toLatin1() || size < McuMinimumSize || all.size() != size) {
            emit sig_popup(tr("更新固件错误"));
            return false;
        }
        const QByteArray mcu = all.mid(4);
        quint8 sum = 0x12;
        for (int i = 5; i < mcu.size(); ++i)
            sum ^= quint8(mcu[i]);
        st.checksum = sum;
        m_nHexData.assign(mcu);
        st.dspStep = Done; // no DSP phase
        st.totalFrames = int((size - 5) / McuChunk + 6);
        return true;
    }
    if (tag != m_nCurDSP_Flag.toLatin1() || all.size() < 4 + DspPartSize) {
        emit sig_popup(tr("更新固件错误"));
        return false;
    }
    m_nDsp_Data.assign(all.mid(4, DspPartSize));
    st.mcuStep = 1;
    st.totalFrames = int(5957 + (size - 5 - DspPartSize) / McuChunk + 6);
    return true;
}

void DataCommunication::stopUpgradeActive()
{
    reboot_DSPMAC();
    emit sig_upgradeFailed();
}

void DataCommunication::queueUpgradeFrames()
{
    UpgradeFileState &st = m_nReadDsp_McuFile_Flag;
    auto frame = [this](int block, int len, bool fill = false, int count = 0) {
        fillHeader(FRAME_WRITE, GROUP_SYSTEM, block, 0, 0, 0, 1, len);
        queueFrame(m_bufData->ProcessingPackets(fill, count), 0, 0, block);
    };
    if (st.startPending.exchange(false)) {
        frame(StartTag, 48);
        return;
    }
    switch (st.dspStep.get()) {
    case DspEnter:
        frame(54, 16);
        frame(58, 16);
        st.dspStep = DspData;
        return;
    case DspData:
        for (int n = 0; n < BatchFrames && m_nDsp_Data.size() > DspChunk; ++n)
            frame(59, 48);
        if (m_nDsp_Data.size() <= DspChunk) {
            // The rest goes at payload offset 0, where the address stands otherwise.
            frame(59, 48, true, m_nDsp_Data.size());
            st.dspStep = m_nHexData.size() > 0 ? DspThenMcu : DspChecksum;
        }
        return;
    case DspChecksum:
        frame(57, 1);
        st.dspStep = Done;
        return;
    default:
        break;
    }
    switch (st.mcuStep.get()) {
    case McuEnter:
        frame(54, 16);
        st.mcuStep = McuFirst;
        break;
    case McuFirst:
        frame(55, 4);
        st.mcuStep = McuData;
        break;
    case McuData:
        for (int n = 0; n < BatchFrames && m_nHexData.size() > McuChunk; ++n)
            frame(56, 48);
        if (m_nHexData.size() <= McuChunk) {
            frame(56, 48, true, m_nHexData.size());
            st.mcuStep = McuChecksum;
        }
        break;
    case McuChecksum:
        frame(57, 1);
        st.mcuStep = Done;
        break;
    default:
        break;
    }
}

bool DataCommunication::SendMCUData()
{
    int tag = -1;
    {
        Lock lock(m_lock);
        if (SendbufferList.isEmpty()) {
            queueUpgradeFrames();
            return false;
        }
        tag = HexUpgradeList.isEmpty() ? -1 : HexUpgradeList.first();
    }
    m_upgradeBlock = tag;
    if (tag == 57) {
        // The last frame: the update files go before the unit restarts.
        emit submitPersent(m_nReadDsp_McuFile_Flag.totalFrames.get());
        executeLinuxCmd(QStringLiteral("rm -rf ") + UpgradePathDir, 4000);
        executeLinuxCmd(QStringLiteral("sync"), 4000);
        executeLinuxCmd(QStringLiteral("exit"), 4000);
        QDir dir(UpgradePathDir);
        if (dir.exists())
            dir.removeRecursively();
    }
    {
        Lock lock(m_lock);
        if (SendbufferList.isEmpty())
            return false;
        if (tag == StartTag) {
            // The handshake is raw bytes, not a frame: nothing answers it
            // as a frame, so nothing is awaited.
            SendbufferList.removeFirst();
            if (!ProgressBarList.isEmpty())
                ProgressBarList.removeFirst();
            if (!HexUpgradeList.isEmpty())
                HexUpgradeList.removeFirst();
            emit writeDSPserialData(handshake());
        } else {
            m_lineFree = false;
            emit writeDSPserialData(SendbufferList.first());
            emit resetSendData(10000);
        }
    }
    emit sig_CheckLampTimer();
    if (tag == StartTag) {
        QThread::msleep(HandshakeWaitMs);
        m_recvQueue.clear();
        emit sig_startcheckUpgradeTimer();
        return false;
    }
    if (tag == 57)
        onGui([this] { QTimer::singleShot(3000, this, [this] { emit sig_UpgradeReboot(); }); });
    else if (tag == 54)
        QThread::msleep(500);
    return true;
}
