// MainWindow: screens and their history, the status messages of the main
// screen, sources, disk removal and the boot logo.
#include "logging.h"
#include "mainwindow.h"

#include "animationpack.h"
#include "audioplayer.h"
#include "checkdiskclass.h"
#include "custommessage.h"
#include "datacommunication.h"
#include "dividerswitchform.h"
#include "electriccheckform.h"
#include "globals.h"
#include "linkglobals.h"
#include "loading.h"
#include "mainusbbtform.h"
#include "navform.h"
#include "popupselect.h"
#include "setupform.h"
#include "soundfunctions.h"
#include "soundtables.h"
#include "textopacity.h"
#include "trackmainform.h"
#include "uiassets.h"
#include "upgradeform.h"
#include "wheelstudyform.h"

#include <QTimer>

namespace {

constexpr int kAppConnected = 3;

} // namespace

// ------------------------------------------------------------ messages

void MainWindow::showMessage(const QString &text, int kind)
{
    if (!m_message)
        return;
    if (kind == KindPaused) {
        m_message->setPixmap(QPixmap(__ICONPATH__ + QStringLiteral("paused")), KindPaused);
        m_message->raise();
        return;
    }
    // A status message stands in for the now-playing screen.
    if (m_mainForm)
        m_mainForm->hide();
    if (kind == KindStatus && !statusShowing(text))
        qCInfo(lcApp).noquote() << QStringLiteral("status message: %1").arg(text);
    m_message->setText(text, kind);
    if (kind == KindStatus)
        m_message->setDisplayTime(0);
    m_message->raise();
}

void MainWindow::showPopup(const QString &text, int kind)
{
    if (!m_popupMessage)
        return;
    m_popupMessage->setText(text, kind);
    m_popupMessage->raise();
}

void MainWindow::closeMessage()
{
    if (m_message && m_message->isShowing())
        m_message->closeMessageDlg();
}

bool MainWindow::messageShowing(int kind) const
{
    if (!m_message || !m_message->isShowing())
        return false;
    return kind == KindNone || m_message->kind() == kind;
}

bool MainWindow::statusShowing(const QString &text) const
{
    return m_message && m_message->isShowing() && m_message->kind() == KindStatus && m_message->text() == text;
}

void MainWindow::PleaseInputUSB()
{
    if (g_CurMusicPlay.currentScreen != ScreenMain || currentSource() != SourceUsb || m_bUpMCUFlag || m_logo)
        return;
    if (m_deviceNotSupported) {
        showMessage(tr("设备不支持"), KindStatus);
        return;
    }
    if (!UsingUSBDiskList.isEmpty())
        return;
    showMessage(tr("请插入USB"), KindStatus);
}

void MainWindow::set_USB_NoSongs(bool force)
{
    if (g_CurMusicPlay.currentScreen != ScreenMain || currentSource() != SourceUsb || UsingUSBDiskList.isEmpty()
        || m_logo)
        return;
    if (!force && (m_checkDisk->IS_Scanning() || songCount() > 0))
        return;
    showMessage(tr("无歌曲"), KindStatus);
}

bool MainWindow::Reading_USB_Gui()
{
    if (g_CurMusicPlay.currentScreen != ScreenMain || currentSource() != SourceUsb || UsingUSBDiskList.isEmpty()
        || m_logo || g_CurMusicPlay.playState == PlayPlaying)
        return false;
    showMessage(tr("设备读取中"), KindStatus);
    return true;
}

void MainWindow::Searching_BLE_Gui()
{
    if (g_CurMusicPlay.currentScreen != ScreenMain || currentSource() != SourceBluetooth || m_logo)
        return;
    showMessage(tr("设备搜寻中"), KindStatus);
}

void MainWindow::PlayErrorHideUSBGui()
{
    if (statusShowing(tr("无歌曲")))
        closeMessage();
}

void MainWindow::Mcu_Version_Error(bool mflag)
{
    m_mcuVersionError = !mflag;
    if (m_mcuVersionError) {
        qCInfo(lcApp).noquote() << QStringLiteral("MCU version mismatch: %1").arg(RevMCU_VERSION);
        showMessage(tr("版本不匹配"), KindStatus);
    } else if (statusShowing(tr("版本不匹配"))) {
        closeMessage();
    }
}

void MainWindow::Mac_NotSupport(bool notSupported)
{
    m_deviceNotSupported = notSupported;
    if (notSupported) {
        qCInfo(lcApp).noquote() << QStringLiteral("a device is attached that cannot be used");
        PleaseInputUSB();
    } else if (statusShowing(tr("设备不支持"))) {
        closeMessage();
        Check_Show_MainGui(false);
    }
}

// The message box after a disk came or went.
void MainWindow::Change_MainMessage_DiskChanged()
{
    if (m_navForm)
        m_navForm->updateUsingDisk();
    CheckDiskManageTimer();
    if (UsingUSBDiskList.isEmpty()) {
        PleaseInputUSB();
        return;
    }
    if (statusShowing(tr("请插入USB")) || statusShowing(tr("设备不支持")))
        Reading_USB_Gui();
}

// ------------------------------------------------------------ the main screen

void MainWindow::Update_MainGui()
{
    // Nothing shows while the car is switched off.
    if (m_logo || m_standby)
        return;
    switch (currentSource()) {
    case SourceUsb:
        Check_Show_MainGui(true);
        break;
    case SourceBluetooth:
        if (m_nCurSystem.at(SysByte::BleConnected) != 0) {
            closeMessage();
            if (m_mainForm && g_CurMusicPlay.currentScreen == ScreenMain)
                m_mainForm->show();
        } else {
            Searching_BLE_Gui();
        }
        break;
    default:
        // High-level input, AUX, USB audio: nothing of this player to show.
        if (m_mainForm)
            m_mainForm->hide();
        if (g_CurMusicPlay.currentScreen == ScreenMain)
            showMessage(NavForm::sourceTitle(currentSource()), KindStatus);
        break;
    }
    m_pauseCheckTimer->start(6000);
}

// Shows the now-playing screen when there is something to show, else the
// status message that says why not.
void MainWindow::Check_Show_MainGui(bool force)
{
    Q_UNUSED(force);
    if (m_logo || m_standby || g_CurMusicPlay.currentScreen != ScreenMain || currentSource() != SourceUsb
        || !systemAwake())
        return;
    if (m_mcuVersionError) {
        showMessage(tr("版本不匹配"), KindStatus);
        return;
    }
    if (UsingUSBDiskList.isEmpty() || m_deviceNotSupported) {
        PleaseInputUSB();
        return;
    }
    const bool active = g_CurMusicPlay.playState == PlayPlaying || g_CurMusicPlay.playState == PlayPaused
                        || decoderRunning() || m_audioPlayer->isRunning();
    if (!active && songCount() == 0) {
        if (!m_checkDisk->IS_Scanning() && !g_TempData.listLoading)
            set_USB_NoSongs(false);
        return;
    }
    if (!active && statusShowing(tr("无歌曲")))
        return;
    if (messageShowing(KindStatus))
        closeMessage();
    if (m_mainForm && !m_mainForm->isVisible()) {
        m_mainForm->show();
        m_mainForm->mediaPlayerInfoChanged();
        m_mainForm->Update_SongNumber();
    }
}

void MainWindow::InitFirstGui()
{
    setInterfaceNavigation(ScreenMain);
    if (m_navForm)
        m_navForm->updateWindowTitle();
    if (currentSource() == SourceBluetooth) {
        Searching_BLE_Gui();
        QTimer::singleShot(10000, this, &MainWindow::Update_MainGui);
    } else if (currentSource() != SourceUsb) {
        Update_MainGui();
    }
    if (currentSource() == SourceUsb) {
        if (UsingUSBDiskList.isEmpty())
            showMessage(tr("设备读取中"), KindStatus);
        else
            Reading_USB_Gui();
    }
    QTimer::singleShot(10000, this, [this] {
        if (UsingUSBDiskList.isEmpty())
            PleaseInputUSB();
    });
    m_checkDisk->setDelayPlayMusicTimer();
}

void MainWindow::Slot_InitLogo_Over(bool mflag)
{
    Q_UNUSED(mflag);
    if (m_logo)
        m_logo->deleteLater();
    m_logo = nullptr;
    if (m_navForm) {
        m_navForm->show();
        m_navForm->updateUsingDisk();
        m_navForm->updateMixSource();
        m_navForm->updateMainGain(false);
        m_navForm->updateBLE_ShowHide();
    }
    InitFirstGui();
}

// ------------------------------------------------------------ screens

void MainWindow::Slot_beopenGui(int mGui)
{
    if (mGui == ScreenBrowser) {
        openBrowser();
        return;
    }
    if (mGui == ScreenSetup) {
        openSetup();
        return;
    }
    m_screenChanging = false;
    qCInfo(lcApp).noquote() << QStringLiteral("screen %1 asked for: no such screen").arg(mGui);
    if (m_mainForm)
        m_mainForm->AnimationGroup(MainGuiCenter);
}

void MainWindow::Open_SetupGui()
{
    if (m_nLamp[Lamp::AppState] == kAppConnected) {
        showPopup(tr("APP已连接\n不可进入设置界面"), KindNone);
        return;
    }
    if (!m_setupForm || g_CurMusicPlay.currentScreen == ScreenSetup || m_animation->isRunning() || m_screenChanging)
        return;
    m_screenChanging = true;
    if (m_popupMessage && m_popupMessage->isVisible())
        m_popupMessage->closeMessageDlg();
    // The now-playing screen slides out and asks for the setup screen.
    if (messageShowing())
        QTimer::singleShot(100, this, [this] { m_mainForm->setOpacityType(ScreenSetup); });
    else
        m_mainForm->setOpacityType(ScreenSetup);
}

void MainWindow::Open_DiskManageGui()
{
    if (UsingUSBDiskList.isEmpty() || !m_trackForm || m_trackForm->isVisible() || m_animation->isRunning()
        || m_screenChanging || g_CurMusicPlay.currentScreen != ScreenMain)
        return;
    m_screenChanging = true;
    if (m_popupMessage && m_popupMessage->isVisible())
        m_popupMessage->closeMessageDlg();
    // The now-playing screen slides out and asks for the browser.
    if (messageShowing())
        QTimer::singleShot(100, this, [this] { m_mainForm->setOpacityType(ScreenBrowser); });
    else
        m_mainForm->setOpacityType(ScreenBrowser);
}

void MainWindow::Hide_CurrentGuis(bool withNav, int screen)
{
    const int id = screen > 0 ? screen : int(g_CurMusicPlay.currentScreen);
    if (id == ScreenMain && m_mainForm)
        m_mainForm->hide();
    if (id == ScreenBrowser && m_trackForm) {
        m_trackForm->hide();
        if (m_navForm)
            m_navForm->setType(false);
    }
    if (id == ScreenSetup && m_setupForm) {
        m_setupForm->hide();
        if (m_navForm)
            m_navForm->setType(false);
    }
    if (id == ScreenFreqSwitch && m_dividerForm)
        m_dividerForm->hide();
    if (QWidget *page = servicePage(id)) {
        page->hide();
        if (m_navForm)
            m_navForm->setType(false);
    }
    if (withNav && m_navForm)
        m_navForm->hide();
}

void MainWindow::Show_CurrentGuis(bool withNav)
{
    if (withNav && m_navForm && !m_logo)
        m_navForm->show();
    if (g_CurMusicPlay.currentScreen == ScreenMain)
        Update_MainGui();
    if (g_CurMusicPlay.currentScreen == ScreenBrowser && m_trackForm) {
        if (m_mainForm)
            m_mainForm->hide();
        m_trackForm->show();
        m_trackForm->raise();
        if (m_navForm) {
            m_navForm->setType(true);
            m_navForm->setWindowTitle(m_trackForm->currentTitle());
        }
    }
    if (g_CurMusicPlay.currentScreen == ScreenSetup && m_setupForm) {
        if (m_mainForm)
            m_mainForm->hide();
        m_setupForm->show();
        m_setupForm->raise();
        if (m_navForm) {
            m_navForm->setType(true);
            m_navForm->setWindowTitle(m_setupForm->currentTitle());
        }
    }
    if (QWidget *page = servicePage(g_CurMusicPlay.currentScreen)) {
        if (m_mainForm)
            m_mainForm->hide();
        page->show();
        page->raise();
    }
}

void MainWindow::CloseAllWindows(bool withNav)
{
    if (m_message) {
        m_message->defaultSetting();
        m_message->hide();
    }
    m_bleStateTimer->stop();
    m_pauseCheckTimer->stop();
    if (m_popupSelect && m_popupSelect->isVisible())
        m_popupSelect->hide();
    Hide_CurrentGuis(withNav, ScreenBrowser);
    Hide_CurrentGuis(withNav, ScreenSetup);
    Hide_CurrentGuis(withNav, ScreenFreqSwitch);
    Hide_CurrentGuis(withNav, ScreenMain);
    for (int screen : {ScreenElectricCheck, ScreenWheelStudy, ScreenAbout})
        Hide_CurrentGuis(withNav, screen);
    if (m_setupForm)
        m_setupForm->resetToMain();
    returnToRoot();
}

void MainWindow::returnToRoot()
{
    getPreviousInterfaceID(true);
    if (InterfaceNavigationList.isEmpty())
        setInterfaceNavigation(ScreenMain);
    else
        g_CurMusicPlay.currentScreen = InterfaceNavigationList.first();
    m_screenChanging = false;
}

void MainWindow::Prev_Gui_Nav(bool longPress)
{
    if (longPress) {
        if (g_CurMusicPlay.currentScreen == ScreenMain)
            return;
        closeMessage();
        CloseAllWindows(false);
        Show_CurrentGuis(true);
        set_USB_NoSongs(false);
        return;
    }
    if (m_popupSelect && m_popupSelect->isVisible()) {
        const int type = m_popupSelect->type();
        if (type == 100 || ((type == 15 || type == 24) && m_popupSelect->isBusy()))
            return;
        m_popupSelect->hide();
        return;
    }
    if (!g_TempData.usbPaused && m_message && m_message->isShowing()) {
        const int kind = m_message->kind();
        if (kind != KindPaused && kind != KindStatus) {
            closeMessage();
            return;
        }
    }
    if (InterfaceNavigationList.size() < 2 && g_CurMusicPlay.currentScreen == ScreenMain) {
        if (!m_animation->isRunning() && !m_screenChanging)
            Open_DiskManageGui();
        return;
    }
    if (m_keyDebounceTimer->isActive())
        return;
    m_keyDebounceTimer->start(300);
    switch (g_CurMusicPlay.currentScreen) {
    case ScreenMain:
        Update_MainGui();
        return;
    case ScreenFreqSwitch:
        Hide_CurrentGuis(false, ScreenFreqSwitch);
        getPreviousInterfaceID(false);
        g_CurMusicPlay.currentScreen =
            InterfaceNavigationList.isEmpty() ? int(ScreenMain) : InterfaceNavigationList.last();
        QTimer::singleShot(300, this, [this] { Show_CurrentGuis(true); });
        return;
    case ScreenSetup:
        // Up one level; from the main page back to the main screen.
        if (m_setupForm && !m_setupForm->Prev_Gui_Action())
            return;
        break;
    case ScreenBrowser:
        // Up one level; from the first page back to the main screen.
        if (m_trackForm && !m_trackForm->Prev_Gui_Action(true, true))
            return;
        break;
    case ScreenElectricCheck:
    case ScreenWheelStudy:
    case ScreenAbout:
        if (!serviceBackAction(g_CurMusicPlay.currentScreen))
            return;
        break;
    default:
        break;
    }
    // Screens above the main one return to it.
    if (m_returning)
        return;
    m_returning = true;
    QTimer::singleShot(450, this, [this] {
        Hide_CurrentGuis(false, 0);
        getPreviousInterfaceID(false);
        g_CurMusicPlay.currentScreen =
            InterfaceNavigationList.isEmpty() ? int(ScreenMain) : InterfaceNavigationList.last();
        QTimer::singleShot(300, this, &MainWindow::finishScreenReturn);
    });
}

void MainWindow::finishScreenReturn()
{
    qCInfo(lcApp).noquote() << QStringLiteral("back on screen %1").arg(g_CurMusicPlay.currentScreen);
    Show_CurrentGuis(true);
    if (m_navForm)
        m_navForm->updateWindowTitle();
    PleaseInputUSB();
    set_USB_NoSongs(false);
    if (m_mcuVersionError)
        Mcu_Version_Error(false);
    m_returning = false;
}

void MainWindow::Proc_Animation_Over(int mTypeID)
{
    Q_UNUSED(mTypeID);
    m_screenChanging = false;
}

// ------------------------------------------------------------ sources

void MainWindow::inputsourceChanged()
{
    playMute(1);
    CloseAllWindows(true);
    SetDelayRevLampData(6000);
    const int old = currentSource();
    if (old == SourceBluetooth)
        requestBluetoothPlayer(PlayerKeyPause);
    int next = SourceUsb;
    if (old != SourceUsbAudio) {
        int at = MixSourceSelect.indexOf(old);
        at = qMin(at < 0 ? 0 : at + 1, 4);
        next = MixSourceSelect.at(at);
    }
    qCInfo(lcApp).noquote() << QStringLiteral("source %1 -> %2").arg(old).arg(next);
    if (old == SourceUsb && next != SourceUsb) {
        // Leaving the player: it stops where it is; coming back resumes there.
        StopPlayMusic(true, false);
        m_audioPlayer->stop(true);
    }
    m_nCurSystem.set(0, quint8(next));
    if (next == SourceBluetooth) {
        QTimer::singleShot(100, this, [this] { requestBluetoothPlayer(PlayerKeyPlay); });
        QTimer::singleShot(500, this, [this] { requestBluetoothPlayer(PlayerKeyPlay); });
    }
    UpdateInputsourceDlg();
}

void MainWindow::UpdateInputsourceDlg()
{
    if (m_message) {
        m_message->defaultSetting();
        m_message->hide();
    }
    if (m_navForm && !m_logo) {
        m_navForm->show();
        m_navForm->updateWindowTitle();
        m_navForm->updateMixSource();
    }
    if (m_loading)
        m_loading->setLoading(false);
    returnToRoot();
    const int source = currentSource();
    if (source == SourceBluetooth) {
        if (m_mainForm)
            m_mainForm->resetBTGui();
        m_bleStateTimer->start(8000);
    }
    Show_CurrentGuis(true);
    suspendPauseCheck(3000);
    if (source == SourceUsb && !UsingUSBDiskList.isEmpty() && !g_TempData.usbPaused) {
        QTimer::singleShot(g_TempData.resumePending ? 700 : 300, this, [this] { Switch_InputSource_PlayMusic(true); });
    }
    if (m_dataComm)
        m_dataComm->setSendMuiscInfo(source == SourceUsb);
}

// The phone player's key record (system bytes 56..63): the request goes out
// with block 120.
void MainWindow::requestBluetoothPlayer(int request)
{
    ResetPlayerKey();
    m_nCurSystem.set(SysByte::PlayerKey, quint8(request));
    m_nLinkTemp.playerKeyChanged = true;
    if (request == PlayerKeyNext || request == PlayerKeyPrevious) {
        closeMessage();
        suspendPauseCheck(6000);
        g_TempData.bleRequestedState = 2;
    } else {
        g_TempData.bleRequestedState = request == PlayerKeyPlay ? 1 : 2;
    }
}

void MainWindow::BlePlayStateTimerOver()
{
    m_bleStateTimer->stop();
    if (currentSource() != SourceBluetooth)
        return;
    // The phone player's own report settles what the screen shows.
    const int reported = g_TempData.blePlayerState;
    if (reported == 1 || reported == 2)
        g_TempData.bleRequestedState = reported;
    if (g_TempData.bleRequestedState == 2 && g_CurMusicPlay.currentScreen == ScreenMain)
        showMessage(QString(), KindPaused);
    else if (messageShowing(KindPaused))
        closeMessage();
}

void MainWindow::switchToUsbSource()
{
    if (currentSource() == SourceUsb)
        return;
    m_nCurSystem.set(0, SourceUsb);
    if (m_navForm)
        m_navForm->updateWindowTitle();
    if (m_dataComm)
        m_dataComm->setSendMuiscInfo(true);
}

// ------------------------------------------------------------ disks

void MainWindow::DiskListChanged()
{
    if (m_navForm)
        m_navForm->updateUsingDisk();
    CheckDiskManageTimer();
}

void MainWindow::DialOutDisk(const QString &path)
{
    qCInfo(lcApp).noquote() << QStringLiteral("disk removed: %1").arg(path);
    if (m_dataComm)
        m_dataComm->Get_Dirfile_PlayingIndex();
    m_pauseCheckTimer->stop();
    if (m_trackForm)
        m_trackForm->Check_DialOut_Disk(path);
    if (m_electricForm && m_electricForm->isVisible())
        m_electricForm->Check_DialOut_Disk();
    if (!UsingUSBDiskList.isEmpty()) {
        if (g_CurMusicPlay.currentScreen == ScreenMain && currentSource() == SourceUsb)
            QTimer::singleShot(2000, this, [this] { Check_Show_MainGui(false); });
    } else {
        m_songSearchTimer->stop();
        m_resumeRetries = 0;
        g_TempData.usbPaused = false;
        StopPlayMusic(true, false);
        if (g_CurMusicPlay.currentScreen == ScreenBrowser)
            Hide_CurrentGuis(false, ScreenBrowser);
        if (g_CurMusicPlay.currentScreen != ScreenMain)
            returnToRoot();
        if (m_trackForm)
            m_trackForm->ClearTempDiskListData(true);
        if (m_mainForm && currentSource() == SourceUsb)
            m_mainForm->resetUSBGui(true);
        Update_MainGui();
        PleaseInputUSB();
    }
    if (m_navForm)
        m_navForm->updateUsingDisk();
    if (m_trackForm)
        m_trackForm->Update_DiskNameList();
    CheckDiskManageTimer();
}

// ------------------------------------------------------------ progress

void MainWindow::showLoading(int code)
{
    if (!m_loading)
        return;
    m_loading->show();
    m_loading->raise();
    m_loading->setMaxRange(m_dataComm ? m_dataComm->GetProgresPos() : 0, code);
}

void MainWindow::setPersent(int value)
{
    if (m_bUpMCUFlag && m_upgradeForm && m_upgradeForm->isVisible()) {
        m_upgradeForm->setPersent(value);
        return;
    }
    if (m_loading && m_loading->isVisible())
        m_loading->setPersent(value);
}
