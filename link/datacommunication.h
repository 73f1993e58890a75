#pragma once
// DataCommunication: the conversation with the MCU and its DSP. A queue of
// ready-made frames is sent one at a time; each answer is awaited, stored
// into the settings images and settles the frame, or the frame is retried
// or dropped. With the queue empty and the start-up synchronisation done,
// BufDataProce's change scanner turns screen edits into frames, or sends a
// status poll or the now-playing packet.
//
// Threads: the object, its port and its timers live in the GUI thread; the
// worker (run) sends, waits, handles answers and runs the scanner. The
// send queues, the receive queue and the frame staging record are guarded
// by one lock (m_lock). Flags read across the threads are atomics.
//
// The code is spread by concern: datacommunication.cpp (queues, send step,
// worker, timers), _answers.cpp (answers and the start-up sync),
// _cascade.cpp (cascaded unit), _presets.cpp (presets, now-playing, phone
// app), _upgrade.cpp (firmware upgrade).

#include "mcureceiver.h"
#include "recvqueue.h"
#include "runfence.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <mutex>

class AppListService;
class BufDataProce;
class QTimer;
class SerialService;

class DataCommunication : public QThread
{
    Q_OBJECT

public:
    explicit DataCommunication(QObject *parent = nullptr);
    ~DataCommunication() override;

    // Lifecycle (GUI thread).
    void runStart(QThread::Priority priority = QThread::InheritPriority);
    bool Read_MCU_Version();
    void InitLoad();
    void stopThread();
    void reboot_DSPMAC();

    // Presets (GUI thread).
    void DownMCUPreset(int preset, bool save = false);
    void UpMCUPreset(int preset);
    void UpCascadeMCUPreset(int preset);
    void SaveDefaultUserPreset_Process();
    void Set_Send_Mute(bool on, int cascade = 0);

    // Now-playing packet.
    void setSendMuiscInfo(bool on);
    void setTrackSwitching(int ms);
    void clearTrackSwitching();

    // Cascaded unit.
    void Check_Cascade_Model();
    void StopCascadeThread(bool clearActive);

    // Phone app.
    void setAppListService(AppListService *service) { m_appList.store(service); }
    void SendDirListData(int kind, int a, unsigned short b);
    void SendDirList_Play_Status(bool ok);
    void SendUSBStutus_ForAPP(int code);
    void Get_Dirfile_PlayingIndex();
    void setMoreUSB(bool on) { m_usbStatusPending.store(on); }
    // Sets the file-return byte that every later frame carries.
    void Proc_FileReback_Data(int code);
    void resetBTGui();

    // Firmware upgrade from the update directory.
    bool upgrade_Actions(bool quiet);
    bool ReadDataFile(const QString &path);
    void stopUpgradeActive();

    int GetProgresPos() const { return m_progress.load(); }

    // Frame builders: fill the header in SendFrameData, build the frame and
    // queue it with its progress value. Target 10 frames wait in the
    // cascade queue and enter the main queue one at a time. A write of
    // block 121 takes `progress` as its payload length (already in place).
    void GetSendWriteData(int group, int item, int slot, int preset, bool whole, int progress, int target = 0,
                          int unit = 1);
    void GetSendReadData(int group, int item, int slot, int preset, int progress, int target = 0, int unit = 1);
    void GetSendReadCascadeData(int group, int item, int slot, int preset);

    // One pass of the worker's send step: true when the head frame was
    // written. Public for tests, which drive it without the thread.
    bool SendUsbData();
    // The same while upgrading: queues the next upgrade frames when the
    // queue is empty, else writes the head (the start item as the raw
    // handshake).
    bool SendMCUData();
    // Handles a checked answer whose header stands in RecFrameData.
    void ProcessRecFrameData(const QByteArray &payload);

    // State for the screens and tests.
    BufDataProce *bufData() const { return m_bufData; }
    SerialService *serialService() const { return m_serial; }
    RecvQueue *recvQueue() { return &m_recvQueue; }
    QList<QByteArray> queuedFrames() const;
    QList<QByteArray> queuedCascadeFrames() const;
    QList<int> queuedProgress() const;
    int failureCount() const { return m_failures.load(); }
    bool syncComplete() const { return m_syncComplete.load(); }
    bool purgeEnabled() const { return m_purgeEnabled.load(); }
    bool lineFree() const { return m_lineFree.load(); }
    bool restartPending() const { return m_restartPending.load(); }
    bool cascadeDetecting() const { return m_casDetecting.load(); }
    bool cascadeUploading() const { return m_casUpload.load(); }
    bool bridged() const { return m_bridged.load(); }
    QString mcuVersion() const;
    QString cascadeVersion() const;

    static constexpr int PassSleepMs = 20;    // between passes of the worker
    static constexpr int RestartSleepMs = 50; // an empty queue while restart-pending
    static constexpr int PurgeAfterPasses = 29;
    static constexpr int PurgeMinQueued = 6;
    static constexpr int MaxFailures = 5;

public slots:
    void SendSYSID(int block, int n);
    void SendOutDataID(int channel, int slot);
    void SendMusicDataID(int channel, int slot);
    void SendCasSYSID(int block);
    void SendCasOutDataFun(int channel);
    void ResetSendThread(int ms);
    void ResetSendDataFlg();
    void StopSendDataTimer();
    void CheckCascadeOverTimer(bool update);
    void SendPGName_Default();

signals:
    void writeDSPserialData(const QByteArray &frame);
    void resetSendData(int ms);
    void sig_resetSendData();
    void stopSendDataTime();
    void sig_CheckLampTimer();
    void sig_stopmuiscinfo();
    void sig_stopsenddatatimer();
    void sig_startcheckUpgradeTimer();
    void sig_stopcheckUpgradeTimer();
    void sig_checkCasOver(bool update);
    void sig_stopInitCasTimer();
    void sig_caslamp();
    void stopCheckConnect();

    void readSysDataOver();
    void reDataOver();
    void readOutAllData();
    void readOutDataOver();
    void reLampDataOver();
    void sig_versionError(bool ok);
    void showProcessBar(int code);
    void submitPersent(int value);
    void sendDownPresetFile(bool ok);
    void showHexProcess(const QString &text);
    void revBlePlayInfo(int kind, const QString &text);
    void positionChanged(qint64 position);
    void updateCascade(bool closed);
    void stopCheckCascdeVersion();
    void startCheckCas();
    void resetTies(bool on);
    void sig_Nosub_Channel();
    void sig_Notsupport();
    void sig_popup(const QString &text);
    void sig_UpgradeGui();
    void sig_upgradeFailed();
    void sig_ResumePlay();
    void sig_LampSourceChanged(int source, int mixer);
    void sig_LampMainGainChanged(int gain);
    void sig_UpgradeReboot();
    void USB_Closed();

protected:
    void run() override;

private:
    using Lock = std::lock_guard<std::recursive_mutex>;

    // Queueing (m_lock held).
    void queueFrame(const QByteArray &frame, int progress, int target, int tag = -1);
    void fillHeader(int type, int group, int item, int slot, int preset, int target, int unit, int len);
    void clearQueues();
    void DeleteList();
    bool headMatchesAnswer() const;
    void purgeStatusPolls();

    // Answers (worker, m_lock held).
    void storeSystemAnswer(int block, int preset, const QByteArray &payload);
    void storeStatus(const QByteArray &payload);
    void storeChannelAnswer(int group, int channel, int slot, int preset, const QByteArray &payload);
    void checkVersion(const QByteArray &payload);
    void processRecBLEPlayerData(const QByteArray &payload);
    void cascadeQueueAnswered();

    // Cascaded unit (worker, m_lock held).
    void storeCascadeAnswer(int block, int preset, int unit, const QByteArray &payload);
    void storeCascadeStatus(int unit, const QByteArray &payload);
    void storeCascadeOutput(int channel, int slot, const QByteArray &payload);
    void cascadeVersion(int unit, const QByteArray &payload);
    void InitCascadeData();

    // Upgrade sender (worker).
    void queueUpgradeFrames();

    // Runs fn in the GUI thread (at once when called there).
    void onGui(std::function<void()> fn);
    void armTimer(QTimer *timer, int ms);
    void disarmTimer(QTimer *timer);
    void linkWatchdogExpired();
    void versionRetry();

    SerialService *m_serial = nullptr; // GUI thread
    BufDataProce *m_bufData = nullptr;
    std::atomic<AppListService *> m_appList{nullptr};

    mutable std::recursive_mutex m_lock; // every queue below, RecvQueue, SendFrameData
    RecvQueue m_recvQueue;
    QList<QByteArray> SendbufferList;            // main queue; the head is on the wire
    QList<int> ProgressBarList;                  // parallel to SendbufferList
    QList<QByteArray> SendCasBufferList;         // frames for the cascaded unit
    QList<int> ProgressCasBarList;               // parallel to SendCasBufferList
    QList<int> HexUpgradeList;                   // upgrade tags, parallel to the main queue while upgrading
    QString m_mcuVersion;                        // m_lock
    QString m_casVersion;                        // m_lock
    QString m_bleTitle, m_bleArtist, m_bleAlbum; // m_lock
    int m_bleTotal = -1;                         // m_lock; -1: none stored yet

    McuReceiver m_receiver; // worker only
    RunFence m_fence;       // run() ended, for the destructor

    std::atomic<bool> m_lineFree{true}; // the head has been settled or reset
    std::atomic<bool> m_restartPending{false};
    std::atomic<bool> m_syncComplete{false};
    std::atomic<bool> m_versionAccepted{false};
    std::atomic<bool> m_purgeEnabled{false};
    std::atomic<int> m_passes{0};
    std::atomic<int> m_failures{0}; // never reset while the program runs
    std::atomic<int> m_versionRetries{0};
    std::atomic<int> m_progress{0};
    std::atomic<bool> m_casDetecting{false};
    std::atomic<bool> m_casUpload{false};
    std::atomic<int> m_casUploadTarget{0};
    std::atomic<bool> m_bridged{false};
    std::atomic<bool> m_bridgeWritten{false};
    std::atomic<int> m_upgradeBlock{0};
    std::atomic<int> m_upgradeAnswers{0};
    std::atomic<bool> m_usbStatusPending{false};
    std::atomic<int> m_fileReturn{0};

    // GUI thread.
    QTimer *m_musicInfoTimer;
    QTimer *m_versionTimer;
    QTimer *m_replyTimer;
    QTimer *m_upgradeTimer;
    QTimer *m_casLampTimer;
    QTimer *m_casDetectTimer;
    QTimer *m_presetSaveTimer;
    QTimer *m_linkTimer;
    QTimer *m_comparePauseTimer;
};
