#pragma once
// CheckDiskClass: the storage checker of the GUI thread. It owns the volume
// poller (ListMount) and the scanner, keeps the queue of volumes waiting for
// their scan, records scan results in the library, reloads the play list
// after scans and removals, and tells the controller through signals what
// changed.
//
// GUI thread only.

#include "exeshellfordb.h"
#include "records.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class DataBase;
class ListMount;
class QTimer;
class Scanner;

class CheckDiskClass : public QObject
{
    Q_OBJECT

public:
    // Starts the volume poller; it waits for setDataBase before its first poll.
    explicit CheckDiskClass(QObject *parent = nullptr);
    ~CheckDiskClass() override;

    // Gives the library to the poller and creates the scanner.
    void setDataBase(DataBase *db);

    // What the controller knows and this class asks: the current source
    // (5 is this player; default 5), whether an MCU firmware upgrade runs
    // (default no), whether the player screen is ready for a play list
    // (default yes), and the phone-app list service that takes every
    // inserted volume (default none).
    void setCurrentSourceQuery(std::function<int()> query) { m_source = std::move(query); }
    void setUpgradeQuery(std::function<bool()> query) { m_upgrading = std::move(query); }
    void setPlayerReadyQuery(std::function<bool()> query) { m_playerReady = std::move(query); }
    void setAppListService(std::function<void(const DiskInfo &)> service) { m_appList = std::move(service); }

    bool IS_Scanning() const;
    void stopMusicScanner();
    // Stops the folder list being built from the file system.
    void StopInitplaylist();
    void SetStopAppendMusicList(bool stop);
    void setDelayPlayMusicTimer();
    void setStopPlayMusicTimer();
    void setStopInitMuiscList();
    bool record_StorageDisk(const DiskInfo &disk);
    void Clear_ScanList(const QString &path);
    void DelayToSetScanPath();
    bool DefaultMusicPlayList();
    // List type 1: rebuilds the play list from the files of "curDirPath"
    // (asynchronously; g_TempData.listLoading is set until it ends).
    void initCurMusicListFromPath(bool first);
    void Check_CurSong_DiskExist();

    ListMount *listMount() const { return m_listMount; }
    Scanner *scanner() const { return m_scanner; }
    QList<DiskInfo> scanQueue() const { return m_scanQueue; }
    bool isInitListBuilding() const;

public slots:
    void Check_StorageDisk_Exist(bool added);
    void setMusicScannerSpeed(int ms);
    void storage_mounted(const DiskInfo &disk);
    void storage_unmounted(const DiskInfo &disk);
    void Slot_ScanDiskOver(bool unfinished, const QString &path);
    void Slot_JoinDisk_InitDBMuiscList(const DiskInfo &disk);
    void Slot_InitMusicListCheck(bool first);
    void Slot_SearchDirTimer();
    void Slot_RereadMuiscListTimer();
    void Slot_MediaPathChanged(const DiskInfo &old);
    void Slot_CheckForApp(const DiskInfo &disk);

signals:
    void stopPlay();
    void initMuiscList(bool first);
    void initFistPlay();
    void musiclistChanged();
    void fixCurMusicIndex();
    void diskChanged();
    void dialoutDisk(QString mountPoint);
    void resetplayMode();
    void updateUSBICO();
    void updateAPPSongIndex();
    void sig_readingUSB();
    void usblimited();
    void noSongs();
    void hidePlayerGui();
    void sig_MacNotSupport(bool notSupported);
    void setScanAblum(bool startLate);
    void updateMusicIndex();
    void sig_StopAblumScan();
    void sig_ReloadMuiscList();
    void sig_mediaplay();
    void sig_PauseDelay();
    void ini_mediainfo(QString description);

private:
    bool canInitMusicList() const;
    void startQueuedScan();
    void onPlayDelay();
    void onScannerListChanged();
    int currentSource() const { return m_source ? m_source() : 5; }
    bool upgrading() const { return m_upgrading && m_upgrading(); }
    bool playerReady() const { return !m_playerReady || m_playerReady(); }

    DataBase *m_db = nullptr;
    ExeShellForDB m_shell;
    ListMount *m_listMount = nullptr;
    Scanner *m_scanner = nullptr;
    Scanner *m_initScanner = nullptr; // builds folder lists from the file system
    QList<DiskInfo> m_scanQueue;      // first entry scanned first
    bool m_initPaused = false;        // list initialisation held while a scan runs
    QTimer *m_playDelayTimer = nullptr;
    QTimer *m_initPauseTimer = nullptr;
    QTimer *m_rereadTimer = nullptr;
    QTimer *m_searchDirTimer = nullptr;
    QTimer *m_initRetryTimer = nullptr;
    int m_searchDirTries = 0;
    DiskInfo m_oldMedia;       // the mount point last replaced
    QString m_lastCheckedSong; // Check_CurSong_DiskExist
    std::function<int()> m_source;
    std::function<bool()> m_upgrading;
    std::function<bool()> m_playerReady;
    std::function<void(const DiskInfo &)> m_appList;
};
