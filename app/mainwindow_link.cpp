// MainWindow: the serial links and the board's control lines, the MCU's
// status reports (phone-app requests, indicators, steering-wheel readings,
// the power field) and the display's on and off states.
#include "logging.h"
#include "mainwindow.h"

#include "audioplayer.h"
#include "custommessage.h"
#include "database.h"
#include "datacommunication.h"
#include "globals.h"
#include "gpioctrl.h"
#include "linkglobals.h"
#include "mainusbbtform.h"
#include "navform.h"
#include "platform.h"
#include "soundfunctions.h"
#include "textopacity.h"
#include "wireserialthread.h"

#include <QDebug>
#include <QTimer>

namespace {

// An output line, exported with direction "out"; stays unexported on a
// board without it (every later write is then skipped).
GpioCtrl *outputLine(unsigned line)
{
    auto *g = new GpioCtrl(line);
    if (g->set_export())
        g->set_direction("out");
    return g;
}

constexpr int kAppConnected = 3; // Lamp::AppState while the phone app is connected

const char kPowerOffStyle[] = "QMainWindow{background:#000 url(:loading/Resource/loading/powerOff.png) no-repeat;}";
const char kNormalStyle[] = "QMainWindow{background:#000}";

// Sets a byte in the live record and in the copy last sent: a value the MCU
// itself reported must not be written back to it.
void takeFromMcu(int byte, quint8 value)
{
    m_nCurSystem.set(byte, value);
    SendSYSData.set(byte, value);
}

} // namespace

void MainWindow::InitGPIO_Port_Hotplug(bool last)
{
    if (last) {
        m_powerGpio = outputLine(14);
        if (m_powerGpio->isExported())
            m_powerGpio->set_value(1);
        return;
    }
    // The links end the program with "killall" when a port is missing: a
    // window built outside main (tests) must reach the sandbox's stub.
    Platform::applyEnvironment();

    m_wireThread = new WireSerialThread(this);
    m_dataComm = new DataCommunication(this);
    connect(m_dataComm, &DataCommunication::sig_UpgradeGui, this, &MainWindow::Open_UpgradeGui, Qt::QueuedConnection);

    // No MCU thread runs while firmware waits in the update directory.
    const bool linked = !m_dataComm->upgrade_Actions(true) && m_dataComm->Read_MCU_Version();
    if (linked) {
        m_dataComm->runStart(QThread::HighestPriority);
        m_wireThread->startWireThread();
    }
    // Firmware found at start-up is sent from here on: the threads start
    // late, after the window (and its upgrade screen) is up.
    QTimer::singleShot(9000, this, [this, linked] {
        if (!linked && !m_bUpMCUFlag)
            return;
        if (!m_dataComm->isRunning())
            m_dataComm->runStart(QThread::NormalPriority);
        if (!m_wireThread->isRunning())
            m_wireThread->startWireThread();
    });

    m_muteGpio = outputLine(12);
    playMute(1);
    m_pathGpio = outputLine(13);
    m_clockGpio = outputLine(5);
    m_diskGpio = outputLine(4);
}

void MainWindow::playMute(int mMute)
{
    if (m_audioPlayer) {
        m_audioPlayer->setMute(mMute ? 1 : 0);
        return;
    }
    if (m_muteGpio && m_muteGpio->isExported())
        m_muteGpio->set_value(mMute ? 1 : 0);
}

int MainWindow::currentSource()
{
    return m_nCurSystem.at(0);
}

bool MainWindow::systemAwake() const
{
    return m_nCurSystem.at(SysByte::Power) != 0;
}

void MainWindow::SetDelayRevLampData(int ms)
{
    m_lampHeldOff = true;
    m_lampHoldTimer->start(ms);
}

bool MainWindow::lampDataHeldOff() const
{
    return m_lampHeldOff;
}

// ------------------------------------------------------------ system data

void MainWindow::readSysDataOver()
{
    m_usbLinked = true;
    g_TempData.soundOn = m_nCurSystem.at(SysByte::SoundOn) != 0;
    g_TempData.mcuSystemState = 2;
    m_lastSource = currentSource();
    m_bleStateTimer->start(8000);
    if (m_navForm)
        m_navForm->updateMainGain(false);
    if (systemAwake()) {
        ShowNormalWindow();
        return;
    }
    // Started while the car is off: the power-off picture, then the off state.
    setStyleSheet(QLatin1String(kPowerOffStyle));
    m_powerOffTimer->start(4000);
}

void MainWindow::PowerOffOverTimer()
{
    m_powerOffTimer->stop();
    SetMacPowerOff(true, true);
    QTimer::singleShot(1000, this, [this] { setStyleSheet(QLatin1String(kNormalStyle)); });
}

void MainWindow::readDataOver()
{
    // The DSP's settings are in: the list can be built for the player.
    if (currentSource() == SourceUsb)
        InitMusicList(false, true);
}

void MainWindow::ShowNormalWindow()
{
    setStyleSheet(QLatin1String(kNormalStyle));
    // The logo fades out once it has been up for its full time and the MCU
    // has answered.
    if (m_logo && m_logoTimeUp && m_usbLinked && !m_bUpMCUFlag && !m_logoFading) {
        m_logoFading = true;
        m_logo->setOpacityOut(true, 50);
    }
}

void MainWindow::SetMacPowerOff(bool off, bool mark)
{
    if (m_wireThread)
        m_wireThread->SetMacPowerOff(off, mark);
    else
        remotePoweroffClicked(off);
}

void MainWindow::remotePoweroffClicked(bool mflag)
{
    qCInfo(lcApp).noquote() << QStringLiteral("remotePoweroffClicked %1").arg(mflag ? 1 : 0);
    const bool wasStandby = m_standby;
    m_standby = mflag;
    if (mflag) {
        if (currentSource() == SourceBluetooth)
            g_TempData.bleRequestedState = 2;
        const int state = g_CurMusicPlay.playState;
        // A song that was playing goes on when the car is switched on again;
        // one the user had paused stays paused.
        if (!wasStandby)
            m_resumeAtPowerOn = !g_TempData.usbPaused && (state == PlayPlaying || decoderRunning());
        if (state == PlayPlaying || state == PlayPaused)
            Pause_USB_Player(false);
        StopPlayMusic(true, false);
        // The display goes dark: no screen, no bar.
        CloseAllWindows(true);
        return;
    }
    ShowNormalWindow();
    if (m_navForm && !m_logo)
        m_navForm->show();
    if (currentSource() == SourceBluetooth) {
        closeMessage();
        g_TempData.bleRequestedState = 1;
    } else {
        Update_MainGui();
    }
    if (m_resumeAtPowerOn) {
        m_resumeAtPowerOn = false;
        g_TempData.usbPaused = false;
        closeMessage();
    }
    PlayFor_LampAndOpen();
    QTimer::singleShot(5000, this, [this] { Check_Show_MainGui(false); });
}

// ------------------------------------------------------------ status poll

void MainWindow::readDSPLampDataOver()
{
    if (Process_GetDirList_Order())
        return;
    Process_Dimmer_Data();
    Process_PlayMusic_Lamp();
    Process_CascadeStudy();
    Check_PC_Is_Connected();
    Process_BLEPlay_Lamp();
    Process_Poweroff_Lamp();
    Process_SystemData_Lamp();
}

bool MainWindow::Process_GetDirList_Order()
{
    const int request = m_nCurSystem.at(SysByte::AppRequest);
    if (request == 0)
        return false;
    const int kind = request >> 4;
    const int slot = request & 0x0F;
    const unsigned short index = quint16(m_nCurSystem.at(70) | (m_nCurSystem.at(71) << 8));
    qCDebug(lcApp) << "phone-app request" << kind << slot << index;
    // Answered once: the MCU clears the request when the answer arrives.
    m_nCurSystem.set(SysByte::AppRequest, 0);
    if (m_dataComm)
        m_dataComm->SendDirListData(kind, slot, index);
    return true;
}

void MainWindow::Process_Dimmer_Data()
{
    if (m_lampHeldOff || m_nCurSystem.at(SysByte::DimmerAuto) != 1)
        return;
    const int level = m_nLamp[Lamp::Dimmer];
    if (level >= 0 && level <= 2 && level != m_nCurSystem.at(SysByte::DimmerLevel))
        takeFromMcu(SysByte::DimmerLevel, quint8(level));
}

// The car asks this player to play or to pause (its own play key, a phone).
void MainWindow::Process_PlayMusic_Lamp()
{
    const int request = m_nLamp[Lamp::PlayRequest];
    if (request == m_lastPlayRequest)
        return;
    m_lastPlayRequest = request;
    if (m_lampHeldOff || currentSource() != SourceUsb || m_playPauseBusy)
        return;
    const int state = g_CurMusicPlay.playState;
    if ((request == 2 && state == PlayPlaying) || (request == 1 && state == PlayPaused))
        playOrPauseCliked();
}

// Steering-wheel readings in normal use; while a key is being learned the
// learning page takes them.
void MainWindow::Process_CascadeStudy()
{
    if (g_TempData.wheelStudyMode != 0) {
        studyPoll();
        return;
    }
    const int line1 = m_nCurSystem.at(SysByte::AdLine1);
    const int line2 = m_nCurSystem.at(SysByte::AdLine2);
    const bool active1 = qAbs(line1 - int(g_TempData.wheelAd1)) > 3;
    const bool active2 = qAbs(line2 - int(g_TempData.wheelAd2)) > 3;
    if (!active1 && !active2) {
        m_wheelReleased = true;
        m_wheelStray = false;
        return;
    }
    if (active2)
        Wheel_Control(quint8(line2), true);
    else
        Wheel_Control(quint8(line1), false);
}

void MainWindow::Check_PC_Is_Connected()
{
    const int state = m_nLamp[Lamp::AppState];
    if (m_lastAppState < 0) {
        m_lastAppState = state;
        return;
    }
    if (state == m_lastAppState)
        return;
    m_lastAppState = state;
    if (state == kAppConnected && g_CurMusicPlay.currentScreen == ScreenSetup) {
        CloseAllWindows(false);
        Show_CurrentGuis(true);
        showPopup(tr("APP已连接\n不可进入设置界面"), KindNone);
    }
    // The app may have changed settings: read them again once things settle.
    SetDelayRevLampData(10000);
    if (m_dataComm && m_dataComm->syncComplete())
        m_dataComm->InitLoad();
}

void MainWindow::Process_BLEPlay_Lamp()
{
    const int state = m_nLamp[Lamp::BlePlayer];
    g_TempData.blePlayerState = quint8(state);
    if (m_navForm)
        m_navForm->updateBLE_ShowHide();
    if (currentSource() == SourceBluetooth && m_nCurSystem.at(SysByte::BleConnected) == 0
        && g_CurMusicPlay.currentScreen == ScreenMain && !m_logo)
        Searching_BLE_Gui();
}

void MainWindow::Process_Poweroff_Lamp()
{
    const int field = m_nLamp[Lamp::Power];
    if (field == m_lastPowerField)
        return;
    m_lastPowerField = field;
    switch (field) {
    case 1:
        SetMacPowerOff(true, false);
        break;
    case 0:
        if (systemAwake() && (m_standby || (m_wireThread && m_wireThread->powerOff())))
            SetMacPowerOff(false, false);
        break;
    case 2:
        if (m_factoryPopupShown)
            break;
        m_factoryPopupShown = true;
        showPopup(tr("正在恢复原厂设置\n请等待．．．"), 24);
        QTimer::singleShot(100, this, &MainWindow::resetFactorySetting);
        break;
    default:
        break;
    }
    if (field != 2)
        m_factoryPopupShown = false;
}

// The source, the mix source and the main gain as the MCU holds them: the
// car may change them itself (its own source key, a phone).
void MainWindow::Process_SystemData_Lamp()
{
    if (m_lampHeldOff || !m_usbLinked)
        return;
    const int source = m_nLamp[Lamp::Source];
    if (source >= SourceHiLevel && source <= SourceUsb && source != currentSource()) {
        const int old = currentSource();
        qCInfo(lcApp).noquote() << QStringLiteral("source from the MCU: %1 -> %2").arg(old).arg(source);
        takeFromMcu(0, quint8(source));
        if (old == SourceUsb)
            StopPlayMusic(true, false);
        UpdateInputsourceDlg();
    }
    const int mix = m_nLamp[Lamp::MixSource];
    if (mix != m_nCurSystem.at(1) && (mix == 255 || (mix >= 1 && mix <= 5))) {
        takeFromMcu(1, quint8(mix));
        if (m_navForm)
            m_navForm->updateMixSource();
    }
    const int gain = m_nLamp[Lamp::MainGain];
    const int soundOn = m_nLamp[Lamp::SoundOn];
    bool volume = false;
    if (gain >= 0 && gain <= 35 && gain != m_nCurSystem.at(SysByte::MainGain)) {
        takeFromMcu(SysByte::MainGain, quint8(gain));
        volume = true;
    }
    if ((soundOn == 0 || soundOn == 1) && soundOn != m_nCurSystem.at(SysByte::SoundOn)) {
        takeFromMcu(SysByte::SoundOn, quint8(soundOn));
        volume = true;
    }
    if (volume && m_navForm)
        m_navForm->updateMainGain(false);
}

void MainWindow::Resume_PlaybackForDspLinkFailed()
{
    // The DSP link came back after a failure: the song that played goes on
    // where it was.
    if (currentSource() != SourceUsb || g_TempData.usbPaused || UsingUSBDiskList.isEmpty())
        return;
    StopPlayMusic(true, false);
    Process_MediaPlay3(g_CurMusicPlay.currentPosition, false);
}
