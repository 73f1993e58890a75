// MainWindow: construction in its ten steps, the window's timers, the
// heartbeat and the settings file.
#include "mainwindow.h"
#include "logging.h"

#include "animationpack.h"
#include "audiodecoder.h"
#include "audioplayer.h"
#include "checkdiskclass.h"
#include "custommessage.h"
#include "database.h"
#include "datacommunication.h"
#include "dsddecoder.h"
#include "globals.h"
#include "gpioctrl.h"
#include "keypresstimer.h"
#include "linkglobals.h"
#include "loading.h"
#include "mainusbbtform.h"
#include "musiclist_forapp.h"
#include "navform.h"
#include "popupselect.h"
#include "scanner.h"
#include "setlanguage.h"
#include "soundfunctions.h"
#include "textopacity.h"
#include "trackmainform.h"
#include "wireserialthread.h"

#include <QSettings>
#include <QTimer>

namespace {

constexpr int kLogoMs = 6000; // the boot logo's shortest showing
constexpr int kDiskManageMs = 20000;
const char kNormalStyle[] = "QMainWindow{background:#000}";

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    // 1. The window.
    setObjectName(QStringLiteral("MainWindow"));
    setFixedSize(480, 320);
    QWidget *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(central);
    setWindowTitle(QStringLiteral("MainWindow"));

    // 2. The log and its banner; 3. defaults of the images and the globals.
    StartLog();
    InitCurEQData();
    InitData();

    // 4. Settings file, library, disk checker.
    InitMusicDB();
    // 5. Serial links and the MCU protocol; the mute and path lines.
    InitGPIO_Port_Hotplug(false);
    // 6. Screens; 7. decoders and output; 8. timers; 9. connections.
    mainWindowInit();
    mediaPlayerInit();
    timerInit();
    slotsInit();
    // 10. The last board line.
    InitGPIO_Port_Hotplug(true);
}

MainWindow::~MainWindow()
{
    // Threads first: they use the lines and the lists until they have stopped.
    // The browser's workers read the library.
    delete m_trackForm;
    m_trackForm = nullptr;
    delete m_appList;
    m_appList = nullptr;
    if (m_tmpScanner) {
        m_tmpScanner->stop_Scanner();
        m_tmpScanner->wait();
    }
    delete m_checkDisk;
    m_checkDisk = nullptr;
    delete m_audioPlayer;
    m_audioPlayer = nullptr;
    delete m_audioDecoder;
    m_audioDecoder = nullptr;
    delete m_dsdDecoder;
    m_dsdDecoder = nullptr;
    delete m_dataComm;
    m_dataComm = nullptr;
    delete m_wireThread;
    m_wireThread = nullptr;
    delete m_database;
    m_database = nullptr;
    delete m_diskGpio;
    delete m_powerGpio;
    delete m_clockGpio;
    delete m_pathGpio;
    delete m_muteGpio;
}

void MainWindow::InitMusicDB()
{
    m_settings = new QSettings(SettingFileName, QSettings::IniFormat, this);
    m_settings->setIniCodec("utf-8");
    // A missing or damaged value reads as 0: the song then starts at its beginning.
    bool ok = false;
    const int saved = m_settings->value(QStringLiteral("SETTING/m_currentTime")).toInt(&ok);
    g_CurMusicPlay.currentPosition = ok && saved > 0 ? saved : 0;
    g_CurMusicPlay.selectMuiscInfo = m_settings->value(QStringLiteral("SETTING/m_SelectPlayMuiscInfo")).toString();

    m_database = new DataBase(this);
    if (!m_database->createConnection())
        qCInfo(lcApp).noquote() << QStringLiteral("@@@@@@@@@@@@@@@@数据库连接不上@@@@@@@@@@@@@@@@");
    m_database->initConfig();
    qCInfo(lcApp).noquote()
        << QStringLiteral("database verson: %1 %2").arg(QString(g_CurMusicPlay.dbVersion), DB_Versions);
    if (QString(g_CurMusicPlay.dbVersion) != DB_Versions)
        m_database->CreateDataBase(true);
    if (LanguageID != 0)
        SetLanguage::GetLanguageInstance()->ChangeLanguage(LanguageID);

    appListInit();
    m_checkDisk = new CheckDiskClass(this);
    m_checkDisk->setCurrentSourceQuery([] { return currentSource(); });
    m_checkDisk->setUpgradeQuery([] { return bool(m_bUpMCUFlag); });
    m_checkDisk->setPlayerReadyQuery([this] { return m_logo.isNull(); });
    m_checkDisk->setDataBase(m_database);
    appListToDiskChecker();
}

void MainWindow::mainWindowInit()
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setStyleSheet(QLatin1String(kNormalStyle));

    m_navForm = new NavForm(centralWidget());
    m_navForm->setGeometry(0, 0, width(), 34);
    m_navForm->hide();
    m_navForm->lower();

    m_logo = new TextOpacity(this);
    m_logo->setGeometry(rect());
    m_logo->setImage(QStringLiteral(":loading/Resource/loading/logo"));
    m_logo->show();
    m_logo->raise();
    connect(m_logo, &TextOpacity::opacity_Stop, this, [this] { Slot_InitLogo_Over(true); });
    QTimer::singleShot(kLogoMs, this, [this] {
        m_logoTimeUp = true;
        if (m_logo && m_usbLinked && !m_bUpMCUFlag)
            ShowNormalWindow();
    });
    setInterfaceNavigation(ScreenMain);

    // The content area below the navigation bar.
    const QRect content(0, 35, width(), height() - 35 - 2);
    m_mainForm = new MainUSBBTForm(centralWidget());
    m_mainForm->setGeometry(content);
    m_mainForm->hide();
    m_mainForm->Update_PlayBackMode();

    m_message = new CustomMessage(0, centralWidget());
    m_message->setGeometry(content);
    m_message->hide();

    m_popupMessage = new CustomMessage(1, this);
    m_popupMessage->setGeometry(rect());
    m_popupMessage->hide();
    m_popupSelect = new PopupSelect(this);
    m_popupSelect->setGeometry(rect());
    m_popupSelect->hide();
    m_loading = new Loading(this);
    m_loading->setGeometry(rect());
    m_loading->hide();
    // The browser is given the loading widget and the popup message.
    browserInit(content);
    setupInit(content);
    serviceInit(content);
    m_animation = new AnimationPack(this);
    if (m_logo)
        m_logo->raise();
}

void MainWindow::timerInit()
{
    m_seekTimer = makeTimer(900, true);
    m_lampHoldTimer = makeTimer(2500, true);
    m_groundKeyTimer = makeTimer(4000, true);
    m_wheelBusyTimer = makeTimer(300, true);
    m_wheelErrorTimer = makeTimer(2000, true);
    m_pauseCheckTimer = makeTimer(6000, true);
    m_pauseSuspendTimer = makeTimer(3000, true);
    m_keyDebounceTimer = makeTimer(200, true);
    m_bleStateTimer = makeTimer(7000, true);
    m_playPauseTimer = makeTimer(2000, true);
    m_songSearchTimer = makeTimer(2000, true);
    m_listLoadTimer = makeTimer(5000, true);
    m_powerOffTimer = makeTimer(4000, true);
    m_daemonTimer = makeTimer(4000, false);
    m_tmpListTimer = makeTimer(3000, true);
    m_diskManageTimer = makeTimer(kDiskManageMs, false);
    m_mainCheckTimer = makeTimer(4500, true);
    m_keyTimer = new KeyPressTimer(this);

    connect(m_seekTimer, &QTimer::timeout, this, [this] {
        m_seekTimer->stop();
        setMediaPosition(g_CurMusicPlay.currentPosition);
    });
    connect(m_lampHoldTimer, &QTimer::timeout, this, [this] { m_lampHeldOff = false; });
    connect(m_groundKeyTimer, &QTimer::timeout, this, [this] {
        for (int &n : m_groundKeys)
            n = 0;
        m_groundSequence.clear();
    });
    connect(m_wheelBusyTimer, &QTimer::timeout, this, [this] { m_wheelBusy = false; });
    connect(m_wheelErrorTimer, &QTimer::timeout, this, &MainWindow::Slot_CheckKeysErrorTimer);
    connect(m_pauseCheckTimer, &QTimer::timeout, this, &MainWindow::Check_Muisc_IsPause);
    connect(m_pauseSuspendTimer, &QTimer::timeout, this, [] { g_TempData.checkPauseStopped = false; });
    connect(m_bleStateTimer, &QTimer::timeout, this, &MainWindow::BlePlayStateTimerOver);
    connect(m_playPauseTimer, &QTimer::timeout, this, [this] {
        m_playPauseTimer->stop();
        m_playPauseBusy = false;
    });
    connect(m_songSearchTimer, &QTimer::timeout, this, &MainWindow::Slot_DelaySearchSongTimer);
    connect(m_listLoadTimer, &QTimer::timeout, this, &MainWindow::Slot_DelayInitSonglistTimer);
    connect(m_powerOffTimer, &QTimer::timeout, this, &MainWindow::PowerOffOverTimer);
    connect(m_daemonTimer, &QTimer::timeout, this, &MainWindow::DaemontimeOut);
    connect(m_tmpListTimer, &QTimer::timeout, this, &MainWindow::Close_GetTmpMuiscLIst);
    connect(m_diskManageTimer, &QTimer::timeout, this, &MainWindow::Slot_ResetDiskManage);
    connect(m_mainCheckTimer, &QTimer::timeout, this, [this] {
        m_mainCheckTimer->stop();
        Check_Show_MainGui(false);
    });
    m_daemonTimer->start();
    CheckDiskManageTimer();
}

QTimer *MainWindow::makeTimer(int ms, bool singleShot)
{
    auto *t = new QTimer(this);
    t->setInterval(ms);
    t->setSingleShot(singleShot);
    return t;
}

void MainWindow::DaemontimeOut()
{
    m_heartbeat = nextHeartbeat(m_heartbeat);
    if (shared)
        shared[0] = m_heartbeat;
}

// Re-armed only while no disk is mounted and no MCU upgrade runs: a disk
// manager that lost its volumes gets a reset pulse every 20 s.
void MainWindow::CheckDiskManageTimer()
{
    if (UsingUSBDiskList.isEmpty() && !m_bUpMCUFlag) {
        if (!m_diskManageTimer->isActive())
            m_diskManageTimer->start(kDiskManageMs);
    } else {
        m_diskManageTimer->stop();
    }
}

void MainWindow::Slot_ResetDiskManage()
{
    CheckDiskManageTimer();
    if (!m_diskGpio)
        return;
    m_diskGpio->set_value(0);
    QTimer::singleShot(300, this, [this] {
        if (m_diskGpio)
            m_diskGpio->set_value(1);
    });
}

void MainWindow::suspendPauseCheck(int ms)
{
    g_TempData.checkPauseStopped = true;
    m_pauseSuspendTimer->start(ms);
}

void MainWindow::Ini_Updata_mediaTime(int seconds)
{
    m_settings->setValue(QStringLiteral("SETTING/m_currentTime"), seconds);
    m_settings->sync();
}

void MainWindow::Ini_Updata_mediainfo(const QString &description, bool resetTime)
{
    g_CurMusicPlay.selectMuiscInfo = description;
    m_settings->setValue(QStringLiteral("SETTING/m_SelectPlayMuiscInfo"), description);
    if (resetTime)
        m_settings->setValue(QStringLiteral("SETTING/m_currentTime"), 0);
    m_settings->sync();
    if (m_database)
        m_database->update_CurMuiscInfo(description);
}

void MainWindow::RebuilDataBaseOver()
{
    qCInfo(lcApp).noquote() << QStringLiteral("library database repaired");
}

void MainWindow::resetFactorySetting()
{
    // The factory reset of the DSP: the change scanner writes block 96 once.
    BOOL_ResetFactory = true;
}
