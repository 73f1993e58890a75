#include "mainwindow.h"

#include "audiodecoder.h"
#include "audioplayer.h"
#include "checkdiskclass.h"
#include "database.h"
#include "dsddecoder.h"
#include "globals.h"
#include "gpioctrl.h"
#include "logging.h"
#include "soundfunctions.h"
#include "wireserialthread.h"

#include <QDebug>
#include <QSettings>
#include <QTimer>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setFixedSize(480, 320);
    QWidget *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(central);
    setWindowTitle(QStringLiteral("MainWindow"));

    StartLog();
    InitCurEQData();
    InitData();
    InitMusicDB();

    InitGPIO_Port_Hotplug(false);

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setInterfaceNavigation(ScreenMain);

    mediaPlayerInit();
    timerInit();
    InitGPIO_Port_Hotplug(true);
}

MainWindow::~MainWindow()
{
    // Threads first: they use the lines until they have stopped.
    delete m_checkDisk;
    delete m_audioPlayer;
    delete m_audioDecoder;
    delete m_dsdDecoder;
    delete m_wireThread;
    delete m_powerGpio;
    delete m_clockGpio;
    delete m_pathGpio;
    delete m_muteGpio;
}

void MainWindow::InitMusicDB()
{
    m_settings = new QSettings(SettingFileName, QSettings::IniFormat, this);
    m_settings->setIniCodec("utf-8");
    g_CurMusicPlay.currentPosition = m_settings->value(QStringLiteral("SETTING/m_currentTime")).toInt();
    g_CurMusicPlay.selectMuiscInfo = m_settings->value(QStringLiteral("SETTING/m_SelectPlayMuiscInfo")).toString();

    m_database = new DataBase(this);
    if (!m_database->createConnection())
        qCWarning(lcApp) << "@@@@@@@@@@@@@@@@数据库连接不上@@@@@@@@@@@@@@@@";
    m_database->initConfig();
    qCDebug(lcApp) << "database verson:" << QString(g_CurMusicPlay.dbVersion) << DB_Versions;
    if (QString(g_CurMusicPlay.dbVersion) != DB_Versions)
        m_database->CreateDataBase(true);
    connect(m_database, &DataBase::rebuilDBOver, this, &MainWindow::RebuilDataBaseOver, Qt::QueuedConnection);

    // The disk checker finds the mounted volumes, records and scans them.
    m_checkDisk = new CheckDiskClass(this);
    m_checkDisk->setDataBase(m_database);
}

void MainWindow::timerInit()
{
    m_daemonTimer = new QTimer(this);
    connect(m_daemonTimer, &QTimer::timeout, this, &MainWindow::DaemontimeOut);
    m_daemonTimer->start(4000);
}

void MainWindow::DaemontimeOut()
{
    m_heartbeat = nextHeartbeat(m_heartbeat);
    if (shared)
        shared[0] = m_heartbeat;
}

void MainWindow::RebuilDataBaseOver()
{
    qCInfo(lcApp).noquote() << QStringLiteral("library database repaired");
}
