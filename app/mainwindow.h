#pragma once
// The one top-level window and the controller of the program: owns every
// worker and screen, wires their signals, runs the program's timers, decides
// what plays and turns keys, MCU reports and disk events into actions.
//
// GUI thread only. Workers reach it through queued signals.
//
// The code is spread by concern:
//   mainwindow.cpp           construction, timers, heartbeat, settings file
//   mainwindow_wiring.cpp    the connections between the objects
//   mainwindow_link.cpp      serial links, board lines, MCU status processing, power
//   mainwindow_player.cpp    decoders, output thread, opening a song, stopping, pausing
//   mainwindow_playback.cpp  starting a song, resume, next/previous, modes, seeking, play requests
//   mainwindow_playlist.cpp  building the play list, the temporary lists, moved and renamed files
//   mainwindow_keys.cpp      key controller, steering-wheel keys, key actions
//   mainwindow_screens.cpp   screens, history, status messages, sources, disk removal
//   mainwindow_browser.cpp   the track browser and the phone app's list service
//   mainwindow_setup.cpp     the setup and frequency-switch screens, languages
//   mainwindow_service.cpp   firmware upgrade screen, diagnostics, key learning, About

#include "records.h"
#include "textopacity.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QString>

class AboutForm;
class AnimationPack;
class AudioDecoder;
class AudioPlayer;
class CheckDiskClass;
class CustomMessage;
class DataBase;
class DataCommunication;
class DividerSwitchForm;
class DsdDecoder;
class ElectricCheckForm;
class GpioCtrl;
class KeyPressTimer;
class Loading;
class MainUSBBTForm;
class musiclist_forapp;
class NavForm;
class PopupSelect;
class QSettings;
class QTimer;
class Scanner;
class SetupForm;
class TrackMainForm;
class UpgradeForm;
class WheelStudyForm;
class WireSerialThread;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Message-box kinds with a meaning of their own.
    enum MessageKind {
        KindNone = -1,
        KindPaused = 4,     // the pause picture; stays until closed
        KindStatus = 4000,  // a status message of the main screen; stays
        KindWarning = 5000, // a popup that closes after its display time
    };
    // Requests to the phone player (system byte 56, sent with block 120).
    enum PlayerKey {
        PlayerKeyPlay = 1,
        PlayerKeyPause = 2,
        PlayerKeyNext = 3,
        PlayerKeyPrevious = 4,
    };

    // What tests and tools look at.
    DataBase *database() const { return m_database; }
    CheckDiskClass *diskChecker() const { return m_checkDisk; }
    DataCommunication *mcu() const { return m_dataComm; }
    WireSerialThread *keyLink() const { return m_wireThread; }
    NavForm *navForm() const { return m_navForm; }
    MainUSBBTForm *nowPlaying() const { return m_mainForm; }
    CustomMessage *messageBox() const { return m_message; }
    CustomMessage *popupMessage() const { return m_popupMessage; }
    TrackMainForm *trackForm() const { return m_trackForm; }
    SetupForm *setupForm() const { return m_setupForm; }
    DividerSwitchForm *dividerForm() const { return m_dividerForm; }
    musiclist_forapp *appList() const { return m_appList; }
    UpgradeForm *upgradeForm() const { return m_upgradeForm; }
    ElectricCheckForm *electricCheckForm() const { return m_electricForm; }
    WheelStudyForm *wheelStudyForm() const { return m_wheelStudyForm; }
    AboutForm *aboutForm() const { return m_aboutForm; }
    bool logoShown() const { return !m_logo.isNull(); }
    // The source the controller acts for: system byte 0.
    static int currentSource();

public slots:
    // Part of the window and its pieces.
    void playMute(int mMute);
    bool StopPlayMusic(bool mMute = true, bool nowait = false);
    void Slot_InitLogo_Over(bool mflag = true);
    bool InitMusicList(bool mflag = false, bool m_Show_Reading = true);
    void InitMuiscListForPlay(bool m_Show_Reading = true);
    void InitMuiscList_ForSelectMusic();
    void PlayFor_LampAndOpen();
    void playSelectedSong(int index);
    void Slot_Proc_PlayURL(const MediaObjectInfo &item);
    void Slot_Rescan_Disk(const DiskInfo &disk);
    void Slot_Start_PlayerThread();
    void Searching_BLE_Gui();
    bool Reading_USB_Gui();
    void BlePlayStateTimerOver();
    void Slot_wireKeyClicked(int key, int action);
    void Slot_CheckKeysErrorTimer();
    void remotePoweroffClicked(bool mflag);
    void Slot_beopenGui(int mGui);
    void Slot_InitSongInfo();
    void Slot_DelaySearchSongTimer();
    void Slot_DelayInitSonglistTimer();
    void playPrevMuisc(bool mpress = false, bool fastprev = false);
    void playNextMusic(bool mpress = false, bool fastforword = false);
    void ChangeCurMusicIndex();
    void PlayErrorHideUSBGui();
    void readSysDataOver();
    void readDataOver();
    void readDSPLampDataOver();
    void UpdateInputsourceDlg();
    void DiskListChanged();
    void DialOutDisk(const QString &path);
    void Slot_ResetDiskManage();
    void resetFactorySetting();
    void Slot_UpgradeReboot();
    void showLoading(int code);
    void setPersent(int value);
    void setLanguageChanged();
    void RebuilDataBaseOver();
    void Proc_Animation_Over(int mTypeID);
    void Open_UpgradeGui();
    bool Is_USBPlay_Pause();
    bool Is_BLE_Pause();
    void Check_Muisc_IsPause();
    void PowerOffOverTimer();
    void Mcu_Version_Error(bool mflag);
    void Mac_NotSupport(bool notSupported);
    void DaemontimeOut();
    // The search for a cascaded unit ended (closed: without result).
    void Close_SearchQXSys(bool closed);
    // Reloads the texts of the screens shown after a language switch.
    void RefreshUI();

    // The service pages (mainwindow_service.cpp).
    void Open_ElectricCheckGui();
    void Open_WheelStudyGui();
    void Open_AboutGui();

signals:
    // Screens of the diagnostics side, asked for by the setup screen.
    void sig_openElectricCheck();
    void sig_openAbout();

public:
    // Playback control.
    void mediaPlay(int index);
    void Process_MediaPlay();
    void Process_MediaPlay2(const MediaObjectInfo &item, bool flag);
    void Process_MediaPlay3(qint64 position, bool flag);
    void setMediaPosition(qint64 position, bool seeking = true);
    void playNextMusicStatus();
    void playPrevMusicStatus();
    void playModeSwitch();
    int get_Rand_SongsID(int count);
    void PlaySingleSong(const MediaObjectInfo &item, bool toMain = true, bool flag = false);
    bool Process_NotexistSongPath(int index, const QString &path);
    bool Process_CheckChangedSongPath(int index, const QString &path);
    void Song_Fast_Forward();
    void Song_Fast_Rewind();
    void playOrPauseCliked();
    void Pause_USB_Player(bool showPicture);
    void SearchCurMusicIDInList(bool searchTemp);
    void Ini_Updata_mediaTime(int seconds);
    void Ini_Updata_mediainfo(const QString &description, bool resetTime = true);
    void Switch_InputSource_PlayMusic(bool start);
    void Resume_PlaybackForDspLinkFailed();
    void GetTempMuiscList(int kind);
    void Close_GetTmpMuiscLIst();
    // The number of songs next, previous and random choice walk.
    static int songCount();
    // The item at index of the list in use (the temporary list when it holds any).
    static MediaObjectInfo songAt(int index);

    // Keys, screens and sources.
    void Process_WireKeyClicked(int key, int action);
    void nextPressClicked(bool longPress);
    void prevPressClicked(bool longPress);
    void playPausePressClicked(bool longPress);
    void srcPressClicked(bool longPress);
    void knobClicked(bool longPress);
    void knobChanged(bool up, int steps = 1);
    void mutePressClicked(bool longPress);
    void remoteVolumeClicked(bool up);
    void remoteDirswitchClicked(bool up);
    void remoteDirselectClicked();
    void remoteFileManageClicked();
    void Wheel_Control(unsigned char value, bool ladder2);
    // The learned steering-wheel key (0..6) a reading stands for, -1 for none:
    // the nearest on the same ladder, a later key winning a tie, within 1.
    static int wheelKeyFor(unsigned char value, bool ladder2);
    bool wheelBusy() const { return m_wheelBusy; }
    bool standby() const { return m_standby; }
    void CountGoundKeys(int key);
    void Prev_Gui_Nav(bool longPress);
    void Open_SetupGui();
    void Open_DiskManageGui();
    void Hide_CurrentGuis(bool withNav = false, int screen = 0);
    void Show_CurrentGuis(bool withNav = false);
    void CloseAllWindows(bool withNav);
    void inputsourceChanged();
    void PleaseInputUSB();
    void set_USB_NoSongs(bool force);
    void Update_MainGui();
    void Check_Show_MainGui(bool force);
    void mainGainStatus(bool up, int steps);

    // The display and power.
    void InitFirstGui();
    void ShowNormalWindow();
    void Check_PC_Is_Connected();
    void SetDelayRevLampData(int ms);
    bool lampDataHeldOff() const;

private:
    // Construction (mainwindow.cpp).
    void InitMusicDB();
    void mainWindowInit();
    void mediaPlayerInit();
    void timerInit();
    void slotsInit();
    void InitGPIO_Port_Hotplug(bool last);
    void CheckDiskManageTimer();
    QTimer *makeTimer(int ms, bool singleShot);
    void suspendPauseCheck(int ms);

    // The browser and the phone app's list service (mainwindow_browser.cpp).
    void appListInit();
    void appListToDiskChecker();
    void browserInit(const QRect &content);
    void browserSlotsInit();
    void syncBrowserDisks();

    // The setup and frequency-switch screens (mainwindow_setup.cpp).
    void setupInit(const QRect &content);
    void setupSlotsInit();
    void openSetup();
    void Open_FreqSwitchGui();
    // A long press counted on the setup main page; true when it completed
    // a sequence (the sequences open the service screens).
    bool groundKeySequence(int key);
    void openBrowser();
    void leaveForNowPlaying();

    // The service screens (mainwindow_service.cpp).
    void serviceInit(const QRect &content);
    void serviceSlotsInit();
    QWidget *servicePage(int screen) const;
    void openServicePage(int screen);
    void Slot_UpgradeFailed();
    // Keys on a service page; false when the screen is not one.
    bool serviceKnobClicked(int screen, bool longPress);
    bool serviceKnobChanged(int screen, bool up, int steps);
    // The page's back action: true when it has no level left.
    bool serviceBackAction(int screen);
    // Steering-wheel readings while a key is being learned.
    void studyPoll();

    // MCU status handlers (mainwindow_link.cpp).
    bool Process_GetDirList_Order();
    void Process_Dimmer_Data();
    void Process_PlayMusic_Lamp();
    void Process_CascadeStudy();
    void Process_BLEPlay_Lamp();
    void Process_Poweroff_Lamp();
    void Process_SystemData_Lamp();
    void SetMacPowerOff(bool off, bool mark);
    bool systemAwake() const;

    // Keys (mainwindow_keys.cpp).
    void shortPressTimeout();
    bool keyBlocked() const;

    // Screens (mainwindow_screens.cpp).
    void showMessage(const QString &text, int kind);
    bool statusShowing(const QString &text) const;
    void switchToUsbSource();
    // The phone player's key record: a request of PlayerKey.
    void requestBluetoothPlayer(int request);
    bool beginUserSkip(int bluetoothKey);
    void takeOverForRequest();
    void showPopup(const QString &text, int kind);
    void closeMessage();
    bool messageShowing(int kind = KindNone) const;
    void Change_MainMessage_DiskChanged();
    void returnToRoot();
    void finishScreenReturn();
    bool uiBusy() const;

    // Playback helpers (mainwindow_player.cpp, mainwindow_playback.cpp).
    void stopDecoders(bool nowait);
    bool decoderRunning() const;
    void startSongAt(int index, int retryDelayMs);
    QString resumeDescription(const MediaObjectInfo &item) const;
    void noteSkip(bool endOfPass);
    void resetSkipPass();
    void rebuildListForMode();

    QSettings *m_settings = nullptr; // ReadWrite_Path + "setting.ini"
    DataBase *m_database = nullptr;
    CheckDiskClass *m_checkDisk = nullptr;
    musiclist_forapp *m_appList = nullptr; // the phone app's music lists
    Scanner *m_tmpScanner = nullptr;       // the temporary lists around the playing song
    WireSerialThread *m_wireThread = nullptr;
    DataCommunication *m_dataComm = nullptr;
    GpioCtrl *m_muteGpio = nullptr;  // GPIO 12, 1 mutes the amplifier
    GpioCtrl *m_pathGpio = nullptr;  // GPIO 13, DSD/PCM path
    GpioCtrl *m_clockGpio = nullptr; // GPIO 5, clock family
    GpioCtrl *m_powerGpio = nullptr; // GPIO 14
    GpioCtrl *m_diskGpio = nullptr;  // GPIO 4, disk-manager reset
    DsdDecoder *m_dsdDecoder = nullptr;
    AudioDecoder *m_audioDecoder = nullptr;
    AudioPlayer *m_audioPlayer = nullptr;

    // Screens and widgets.
    NavForm *m_navForm = nullptr;
    QPointer<TextOpacity> m_logo; // deleted when its fade ends
    MainUSBBTForm *m_mainForm = nullptr;
    TrackMainForm *m_trackForm = nullptr;
    SetupForm *m_setupForm = nullptr;
    DividerSwitchForm *m_dividerForm = nullptr; // screen 4
    CustomMessage *m_message = nullptr;         // content-area messages
    CustomMessage *m_popupMessage = nullptr;    // full-window messages
    PopupSelect *m_popupSelect = nullptr;
    Loading *m_loading = nullptr;
    AnimationPack *m_animation = nullptr;
    KeyPressTimer *m_keyTimer = nullptr;
    UpgradeForm *m_upgradeForm = nullptr;
    ElectricCheckForm *m_electricForm = nullptr;
    WheelStudyForm *m_wheelStudyForm = nullptr;
    AboutForm *m_aboutForm = nullptr;

    // Timers of the window.
    QTimer *m_seekTimer = nullptr;         // seek commit, 900 / 2000 ms
    QTimer *m_lampHoldTimer = nullptr;     // indicator hold-off
    QTimer *m_groundKeyTimer = nullptr;    // 4000 ms, ground-key counts
    QTimer *m_wheelBusyTimer = nullptr;    // 300 ms after a steering-wheel key
    QTimer *m_wheelErrorTimer = nullptr;   // 2000 ms, repeated wheel-key count
    QTimer *m_pauseCheckTimer = nullptr;   // 6000 / 8000 ms
    QTimer *m_pauseSuspendTimer = nullptr; // 3000 / 9000 ms
    QTimer *m_keyDebounceTimer = nullptr;  // 200 ms source, 300 ms back
    QTimer *m_bleStateTimer = nullptr;     // 7000 / 8000 ms
    QTimer *m_playPauseTimer = nullptr;    // 2000 ms play/pause busy
    QTimer *m_songSearchTimer = nullptr;   // 2000 ms, resume retries
    QTimer *m_listLoadTimer = nullptr;     // 5000 ms, list reload retries
    QTimer *m_powerOffTimer = nullptr;     // 4000 ms
    QTimer *m_daemonTimer = nullptr;       // 4000 ms heartbeat
    QTimer *m_tmpListTimer = nullptr;      // 3000 ms temporary list close
    QTimer *m_diskManageTimer = nullptr;   // 20000 ms disk-manager reset
    QTimer *m_mainCheckTimer = nullptr;    // 4500 / 9000 ms main-screen check

    int m_heartbeat = 0;
    bool m_usbLinked = false;       // the MCU's system data has arrived
    bool m_screenChanging = false;  // a screen is being opened
    bool m_returning = false;       // a return from a sub-screen is under way
    bool m_pausePending = false;    // 2000 ms after play/pause
    bool m_playPauseBusy = false;   // 2000 ms after play/pause
    bool m_selectBusy = false;      // a browser selection is being processed
    bool m_listLoading = false;     // InitMuiscListForPlay is running
    bool m_wheelBusy = false;       // 300 ms after a steering-wheel key
    bool m_lampHeldOff = false;     // MCU indicator data ignored
    bool m_mcuVersionError = false; // the MCU reported another firmware
    bool m_deviceNotSupported = false;
    bool m_factoryPopupShown = false;
    bool m_standby = false;         // the display is off (power off or the power key)
    bool m_resumeAtPowerOn = false; // the song played when the car was switched off
    bool m_songPlayed = false;      // the song started last has reached the output
    bool m_dirListPending = false;  // the disk checker builds a directory list
    bool m_logoTimeUp = false;      // the logo has been up for 6000 ms
    bool m_logoFading = false;
    int m_lastPlayRequest = 0;   // last play request of the car seen
    int m_prevRandomIndex = -1;  // index before a random jump
    int m_resumeRetries = 0;     // Process_MediaPlay attempts
    int m_readCount = 0;         // unsuccessful list reads
    int m_lastPowerField = -1;   // last power field acted on
    int m_lastAppState = -1;     // last phone-app state seen
    int m_lastMixSource = 1;     // restored by the long source key
    int m_lastSource = -1;       // source seen in the last status
    int m_wheelLastKey = -1;     // last recognised steering-wheel key
    int m_wheelRepeat = 0;       // its arrivals without a 2000 ms gap
    bool m_wheelReleased = true; // the lines were idle since the last key
    bool m_wheelStray = false;   // this press's reading that is no key was logged
    int m_groundKeys[4] = {0, 0, 0, 0};
    QList<int> m_groundSequence;         // long presses on the setup main page, oldest first
    bool m_seekHeld[2] = {false, false}; // previous/next held since their press
    int m_tmpListKind = 0;               // what GetTempMuiscList is loading
    int m_skipsThisPass = 0;             // songs skipped since the last one that played
    QElapsedTimer m_lampHoldClock;
};
