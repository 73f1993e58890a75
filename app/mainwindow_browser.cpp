// MainWindow: the track browser (screen 2) and the phone app's music list
// service: their creation, their connections and opening the browser.
#include "logging.h"
#include "mainwindow.h"

#include "checkdiskclass.h"
#include "custommessage.h"
#include "database.h"
#include "datacommunication.h"
#include "globals.h"
#include "mainusbbtform.h"
#include "musiclist_forapp.h"
#include "navform.h"
#include "trackmainform.h"

#include <QTimer>

// Step 4 of the construction: the service exists before the disk checker,
// which hands it every volume that joins.
void MainWindow::appListInit()
{
    m_appList = new musiclist_forapp(this);
}

void MainWindow::appListToDiskChecker()
{
    m_checkDisk->setAppListService([this](const DiskInfo &disk) {
        if (m_appList)
            m_appList->set_scan_path(disk);
    });
}

// Step 6: the browser, hidden, in the content area.
void MainWindow::browserInit(const QRect &content)
{
    m_trackForm = new TrackMainForm(m_database, m_loading, m_popupMessage, centralWidget());
    m_trackForm->setGeometry(content.x(), content.y(), content.width(), TrackMainForm::Height);
    m_trackForm->hide();
    m_trackForm->setScanningQuery([this] { return m_checkDisk && m_checkDisk->IS_Scanning(); });
}

// Step 9: the browser's and the service's connections.
void MainWindow::browserSlotsInit()
{
    const auto queued = Qt::QueuedConnection;
    TrackMainForm *form = m_trackForm;

    connect(form, &TrackMainForm::playIndexMusic, this, &MainWindow::playSelectedSong);
    connect(form, &TrackMainForm::musiclistChanged, m_mainForm, &MainUSBBTForm::Update_SongNumber);
    connect(form, &TrackMainForm::initMuiscList, this, &MainWindow::InitMuiscList_ForSelectMusic);
    connect(form, &TrackMainForm::setMusicScanSpeed, m_checkDisk, &CheckDiskClass::setMusicScannerSpeed);
    connect(form, &TrackMainForm::ini_mediainfo, this,
            [this](const QString &text) { Ini_Updata_mediainfo(text, true); });
    connect(form, &TrackMainForm::setWindowTitleHide, this, [this] {
        if (m_navForm && m_trackForm->isVisible())
            m_navForm->SetOpacity_Start(true, true);
    });
    connect(form, &TrackMainForm::setWindowTitle, this, [this](const QString &title) {
        // A page dropped while another screen is shown leaves that screen's title.
        if (m_navForm && g_CurMusicPlay.currentScreen == ScreenBrowser) {
            m_navForm->setType(true);
            m_navForm->setWindowTitle(title);
        }
    });
    connect(form, &TrackMainForm::playmodeChanged, m_mainForm, &MainUSBBTForm::Update_PlayBackMode);
    connect(form, &TrackMainForm::playsingleSong, this,
            [this](const MediaObjectInfo &item) { PlaySingleSong(item, true); });
    connect(form, &TrackMainForm::stopinitlist, m_checkDisk, &CheckDiskClass::StopInitplaylist);

    connect(m_database, &DataBase::readDBInfo, form, &TrackMainForm::Slot_readDiskInfo, queued);
    connect(m_database, &DataBase::readDBOver, form, &TrackMainForm::Slot_readDBOver, queued);
    connect(m_database, &DataBase::sig_NoneData, form, &TrackMainForm::Slot_NoneDBData, queued);

    connect(m_checkDisk, &CheckDiskClass::setScanAblum, form, &TrackMainForm::Slot_ScanAblumInfo);
    connect(m_checkDisk, &CheckDiskClass::sig_StopAblumScan, form, &TrackMainForm::Stop_ScanAblumThread);
    // After every poll that added or removed volumes: pages and app lists
    // of volumes that went away are dropped.
    connect(m_checkDisk, &CheckDiskClass::updateUSBICO, this, &MainWindow::syncBrowserDisks);

    // The phone app's list service.
    if (m_dataComm)
        m_dataComm->setAppListService(m_appList);
    connect(m_appList, &musiclist_forapp::sig_PlayURL, this, &MainWindow::Slot_Proc_PlayURL, queued);
    connect(m_appList, &musiclist_forapp::sig_RescanDisk, this, &MainWindow::Slot_Rescan_Disk, queued);
    connect(
        m_appList, &musiclist_forapp::updataIndex_forapp, this,
        [this] {
            if (m_dataComm)
                m_dataComm->Get_Dirfile_PlayingIndex();
        },
        queued);
    connect(
        m_appList, &musiclist_forapp::SendUSBStatus, this,
        [this](int code) {
            if (m_dataComm)
                m_dataComm->SendUSBStutus_ForAPP(code);
        },
        queued);
    connect(
        m_appList, &musiclist_forapp::sig_MoreUSB, this,
        [this] {
            if (m_dataComm)
                m_dataComm->setMoreUSB(true);
        },
        queued);
}

void MainWindow::syncBrowserDisks()
{
    if (m_appList)
        m_appList->keepOnly(UsingUSBDiskList);
    if (m_trackForm)
        m_trackForm->syncDisks();
}

// A song chosen in the browser (or by the phone app) plays on the
// now-playing screen: the browser steps aside, keeping its pages.
void MainWindow::leaveForNowPlaying()
{
    if (g_CurMusicPlay.currentScreen != ScreenBrowser)
        return;
    Hide_CurrentGuis(false, ScreenBrowser);
    returnToRoot();
}

// Screen 2 asked for by the now-playing screen once it slid out.
void MainWindow::openBrowser()
{
    m_screenChanging = false;
    if (!m_trackForm || UsingUSBDiskList.isEmpty()) {
        if (m_mainForm)
            m_mainForm->AnimationGroup(MainGuiCenter);
        return;
    }
    if (!m_trackForm->hasChildPage())
        m_trackForm->Update_DiskNameList();
    if (m_message) {
        m_message->defaultSetting();
        m_message->hide();
    }
    if (m_navForm) {
        m_navForm->setType(true);
        m_navForm->setWindowTitle(m_trackForm->currentTitle());
    }
    setInterfaceNavigation(ScreenBrowser);
    qCInfo(lcApp).noquote() << QStringLiteral("browser opened on \"%1\"").arg(m_trackForm->currentTitle());
    QTimer::singleShot(150, this, [this] {
        if (g_CurMusicPlay.currentScreen != ScreenBrowser || !m_trackForm)
            return;
        if (m_mainForm)
            m_mainForm->hide();
        m_trackForm->show();
        m_trackForm->raise();
        if (m_popupMessage)
            m_popupMessage->raise();
    });
}
