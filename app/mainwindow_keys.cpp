// MainWindow: keys. The key controller's front-panel keys, knob and remote
// keys, the steering-wheel keys read from the MCU's AD lines, and what each
// does on the screen that is shown.
#include "logging.h"
#include "mainwindow.h"

#include "checkdiskclass.h"
#include "custommessage.h"
#include "dividerswitchform.h"
#include "globals.h"
#include "keypresstimer.h"
#include "linkglobals.h"
#include "loading.h"
#include "mainusbbtform.h"
#include "navform.h"
#include "popupselect.h"
#include "scanner.h"
#include "setupform.h"
#include "soundfunctions.h"
#include "trackmainform.h"
#include "wheelstudyform.h"
#include "wireserialthread.h"

#include <QDateTime>
#include <QTimer>

namespace {

// Key indexes of the key controller.
enum Key {
    KeyPrev = 0,
    KeyNext = 1,
    KeyPlayPause = 2,
    KeySource = 3,
    KeyKnobPress = 4,
    KeyBack = 5,
    KeyMute = 6,
    KeyKnobTurn = 7,
    KeyPower = 8,
    KeyVolumeUp = 9,
    KeyVolumeDown = 10,
    KeyDirDown = 15,
    KeyDirUp = 16,
    KeyDirSelect = 17,
    KeyFileManager = 20,
    KeyMute2 = 21,
};
// Key actions.
constexpr int Released = 0;
constexpr int Pressed = 1;
constexpr int Held = 2;

// A press of a key that also has a long action waits this long for the
// controller's "held" report before it counts as a short press.
constexpr int kShortPressMs = 400;

constexpr int kWheelKeys = 7;
constexpr int kStuckRepeats = 60;

// System byte of steering-wheel key k's learned value.
int wheelByte(int k)
{
    return k == 6 ? 42 : 48 + k;
}

} // namespace

void MainWindow::Slot_wireKeyClicked(int key, int action)
{
    if ((m_loading && m_loading->isVisible()) || m_bUpMCUFlag)
        return;
    if (m_popupMessage && m_popupMessage->isVisible() && key != KeyBack) {
        const int kind = m_popupMessage->kind();
        if (kind == 18 || kind == 19)
            return;
    }
    if (m_logo)
        return;
    if (m_standby && action != Released) {
        // The first key after stand-by only wakes the display.
        m_standby = false;
        qCInfo(lcApp).noquote() << QStringLiteral("key %1 wakes the display").arg(key);
        ShowNormalWindow();
        Update_MainGui();
        InitMusicList(false, false);
        m_checkDisk->setDelayPlayMusicTimer();
        QTimer::singleShot(500, this, [this] { Check_Show_MainGui(false); });
        QTimer::singleShot(2000, this, [this] { Check_Show_MainGui(false); });
        return;
    }
    Process_WireKeyClicked(key, action);
}

void MainWindow::Process_WireKeyClicked(int key, int action)
{
    g_TempData.wireKeyTime = QDateTime::currentMSecsSinceEpoch();
    // A short press still waiting for its "held" report is over once another
    // key arrives: it acts first, so that keys act in the order pressed.
    if (m_keyTimer->isActive() && m_keyTimer->key() != key) {
        m_keyTimer->stop();
        shortPressTimeout();
    }
    switch (key) {
    case KeyPrev:
    case KeyNext: {
        // Reported on every frame: a release that no "held" preceded is a
        // short press; every "held" frame seeks.
        bool &held = m_seekHeld[key];
        if (action == Pressed) {
            held = false;
        } else if (action == Held) {
            // On the setup screen a long press counts once however long it is held.
            const bool first = !held;
            held = true;
            if (first || g_CurMusicPlay.currentScreen != ScreenSetup)
                key == KeyNext ? nextPressClicked(true) : prevPressClicked(true);
        } else if (!held) {
            key == KeyNext ? nextPressClicked(false) : prevPressClicked(false);
        } else {
            held = false;
        }
        return;
    }
    case KeyPlayPause:
    case KeySource:
    case KeyKnobPress:
    case KeyBack:
    case KeyMute:
    case KeyMute2:
        // Reported once pressed and once held: the short action waits for
        // the held report.
        if (action == Pressed) {
            m_keyTimer->setKey(key);
            m_keyTimer->setkeyTimer(kShortPressMs);
        } else if (action == Held) {
            m_keyTimer->stop();
            m_keyTimer->setKey(-1);
            switch (key) {
            case KeyPlayPause:
                playPausePressClicked(true);
                break;
            case KeySource:
                srcPressClicked(true);
                break;
            case KeyKnobPress:
                knobClicked(true);
                break;
            case KeyBack:
                Prev_Gui_Nav(true);
                break;
            default: // mute keys: a long press switches the display off or on
                SetMacPowerOff(!(m_wireThread && m_wireThread->powerOff()), true);
                break;
            }
        }
        return;
    case KeyKnobTurn: {
        int steps = 0;
        bool up = true;
        if (action >= 1 && action <= 51) {
            steps = action;
        } else if (action >= 129 && action <= 179) {
            steps = action - 128;
            up = false;
        }
        if (steps == 0)
            return;
        if (g_TempData.inTimeCorrection)
            g_TempData.wireKeyTime = steps;
        if (g_CurMusicPlay.listSelected && m_wireThread)
            m_wireThread->initWireDataList();
        knobChanged(up, steps);
        return;
    }
    case KeyPower:
        if (action == Pressed)
            SetMacPowerOff(!(m_wireThread && m_wireThread->powerOff()), true);
        return;
    case KeyVolumeUp:
    case KeyVolumeDown:
        if (action != Released)
            remoteVolumeClicked(key == KeyVolumeUp);
        return;
    case KeyDirDown:
    case KeyDirUp:
        if (action == Pressed)
            remoteDirswitchClicked(key == KeyDirUp);
        return;
    case KeyDirSelect:
        if (action == Pressed)
            remoteDirselectClicked();
        return;
    case KeyFileManager:
        if (action == Pressed)
            remoteFileManageClicked();
        return;
    default:
        return;
    }
}

// The short press of the key that waited for its held report.
void MainWindow::shortPressTimeout()
{
    const int key = m_keyTimer->key();
    m_keyTimer->setKey(-1);
    switch (key) {
    case KeyPlayPause:
        playPausePressClicked(false);
        break;
    case KeySource:
        srcPressClicked(false);
        break;
    case KeyKnobPress:
        knobClicked(false);
        break;
    case KeyBack:
        Prev_Gui_Nav(false);
        break;
    case KeyMute:
    case KeyMute2:
        if (m_wireThread && m_wireThread->powerOff())
            SetMacPowerOff(false, true);
        else
            mutePressClicked(false);
        break;
    default:
        break;
    }
}

bool MainWindow::keyBlocked() const
{
    if (m_popupSelect && m_popupSelect->isVisible())
        return true;
    if (m_popupMessage && m_popupMessage->isVisible()) {
        const int kind = m_popupMessage->kind();
        return kind == 18 || kind == 19 || kind == 24;
    }
    return false;
}

void MainWindow::nextPressClicked(bool longPress)
{
    if (keyBlocked())
        return;
    const int screen = g_CurMusicPlay.currentScreen;
    if (longPress) {
        if (screen == ScreenSetup) {
            CountGoundKeys(KeyNext);
            return;
        }
        if (screen == ScreenMain && m_mainForm && m_mainForm->isVisible() && !g_CurMusicPlay.noDuration)
            Song_Fast_Forward();
        return;
    }
    if (screen != ScreenMain)
        return;
    if (messageShowing(KindPaused))
        closeMessage();
    playNextMusicStatus();
}

void MainWindow::prevPressClicked(bool longPress)
{
    if (keyBlocked())
        return;
    const int screen = g_CurMusicPlay.currentScreen;
    if (longPress) {
        if (screen == ScreenSetup) {
            CountGoundKeys(KeyPrev);
            return;
        }
        if (screen == ScreenMain && m_mainForm && m_mainForm->isVisible() && !g_CurMusicPlay.noDuration)
            Song_Fast_Rewind();
        return;
    }
    if (screen != ScreenMain)
        return;
    if (messageShowing(KindPaused))
        closeMessage();
    playPrevMusicStatus();
}

void MainWindow::playPausePressClicked(bool longPress)
{
    if (keyBlocked())
        return;
    if (longPress) {
        if (g_CurMusicPlay.currentScreen == ScreenSetup) {
            CountGoundKeys(KeyPlayPause);
            return;
        }
        if (currentSource() == SourceUsb)
            playModeSwitch();
        return;
    }
    if (g_CurMusicPlay.currentScreen == ScreenFreqSwitch) {
        // The frequency-switch screen takes the Play key as its submit key.
        if (m_dividerForm)
            m_dividerForm->submit();
        return;
    }
    if (m_playPauseBusy)
        return;
    m_playPauseBusy = true;
    m_playPauseTimer->start(2000);
    playOrPauseCliked();
}

void MainWindow::srcPressClicked(bool longPress)
{
    if (keyBlocked())
        return;
    if (longPress) {
        // Mixing on or off: 255 is the direct source without a mix.
        const int mix = m_nCurSystem.at(1);
        if (mix == 255) {
            int restore = m_lastMixSource;
            if (restore < 1 || restore > 5 || restore == SourceUsb)
                restore = 1;
            m_nCurSystem.set(1, quint8(restore));
            m_nCurSystem.set(45, quint8(restore));
            if (restore == SourceBluetooth)
                g_TempData.bleRequestedState = 1;
        } else {
            m_lastMixSource = mix;
            m_nCurSystem.set(1, 255);
            m_nCurSystem.set(45, 1);
        }
        SetDelayRevLampData(2500);
        if (m_navForm)
            m_navForm->updateMixSource();
        return;
    }
    if (g_CurMusicPlay.currentScreen != ScreenMain) {
        // Away from the main page the source key brings it back.
        CloseAllWindows(false);
        Show_CurrentGuis(true);
        return;
    }
    if (m_keyDebounceTimer->isActive())
        return;
    m_keyDebounceTimer->start(200);
    inputsourceChanged();
}

void MainWindow::knobClicked(bool longPress)
{
    // An open popup selector takes the knob: a press confirms it (a search
    // in progress cannot be confirmed).
    if (m_popupSelect && m_popupSelect->isVisible()) {
        if (!longPress && m_popupSelect->type() != SetupForm::PopupSearching && !m_popupSelect->isBusy())
            m_popupSelect->popupClicked();
        return;
    }
    if (keyBlocked())
        return;
    const int screen = g_CurMusicPlay.currentScreen;
    if (screen == ScreenBrowser) {
        if (!longPress && m_trackForm)
            m_trackForm->click_Current_Row();
        return;
    }
    if (screen == ScreenSetup && m_setupForm) {
        if (!longPress || m_setupForm->currentPage() == SetupForm::PresetPage)
            m_setupForm->click_Current_Row();
        else
            CountGoundKeys(KeyKnobPress);
        return;
    }
    if (screen == ScreenFreqSwitch || serviceKnobClicked(screen, longPress))
        return;
    if (screen != ScreenMain) {
        qCInfo(lcApp).noquote() << QStringLiteral("knob press on screen %1: the screen takes no knob").arg(screen);
        return;
    }
    if (longPress)
        Open_SetupGui();
    else
        Open_DiskManageGui();
}

void MainWindow::knobChanged(bool up, int steps)
{
    if (m_popupSelect && m_popupSelect->isVisible()) {
        if (!m_popupSelect->isBusy())
            m_popupSelect->updateData(up);
        return;
    }
    if (keyBlocked())
        return;
    switch (g_CurMusicPlay.currentScreen) {
    case ScreenMain:
        mainGainStatus(up, steps);
        break;
    case ScreenBrowser:
        if (m_trackForm)
            m_trackForm->change_Current_Row(up, steps);
        break;
    case ScreenSetup:
        if (m_setupForm)
            m_setupForm->change_Current_Row(up, steps);
        break;
    case ScreenFreqSwitch:
        if (m_dividerForm)
            m_dividerForm->change_Current_Row(up, steps);
        break;
    default:
        if (serviceKnobChanged(g_CurMusicPlay.currentScreen, up, steps))
            break;
        qCInfo(lcApp).noquote()
            << QStringLiteral("knob turn on screen %1: the screen takes no knob").arg(g_CurMusicPlay.currentScreen);
        break;
    }
}

void MainWindow::mainGainStatus(bool up, int steps)
{
    const int gain = getIncDecCorrectValue(m_nCurSystem.at(SysByte::MainGain), 0, 35, up, steps);
    m_nCurSystem.set(SysByte::MainGain, quint8(gain));
    SetDelayRevLampData(2500);
    if (m_navForm)
        m_navForm->updateMainGain(true);
    else
        m_nCurSystem.set(SysByte::SoundOn, 1);
    m_pauseCheckTimer->start(6000);
}

void MainWindow::mutePressClicked(bool longPress)
{
    Q_UNUSED(longPress);
    if (keyBlocked())
        return;
    const bool soundOn = m_nCurSystem.at(SysByte::SoundOn) != 0;
    m_nCurSystem.set(SysByte::SoundOn, soundOn ? 0 : 1);
    SetDelayRevLampData(2500);
    if (m_navForm)
        m_navForm->updateMainVolMute();
    g_TempData.soundOn = !soundOn;
    m_pauseCheckTimer->start(6000);
}

void MainWindow::remoteVolumeClicked(bool up)
{
    mainGainStatus(up, 1);
}

// Remote folder keys: the next or previous folder's songs play.
void MainWindow::remoteDirswitchClicked(bool up)
{
    if (currentSource() != SourceUsb || UsingUSBDiskList.isEmpty() || keyBlocked())
        return;
    mediaTempPlayList.clear();
    GetTempMuiscList(up ? Scanner::TmpNextFolder : Scanner::TmpPrevFolder);
}

void MainWindow::remoteDirselectClicked()
{
    Open_DiskManageGui();
}

void MainWindow::remoteFileManageClicked()
{
    Open_DiskManageGui();
}

// Long presses on the setup screen's main page open the service screens;
// the counts reset 4000 ms after the last press.
void MainWindow::CountGoundKeys(int key)
{
    const int slot = key == KeyKnobPress ? 3 : key;
    if (slot >= 0 && slot < 4)
        ++m_groundKeys[slot];
    m_groundKeyTimer->start(4000);
    groundKeySequence(key);
}

// ------------------------------------------------------------ steering wheel

int MainWindow::wheelKeyFor(unsigned char value, bool ladder2)
{
    int best = -1;
    int bestDistance = 256;
    for (int k = 0; k < kWheelKeys; ++k) {
        const int learned = m_nCurSystem.at(wheelByte(k));
        if (learned == 255 || check_KeyType_AD2(k, false) != ladder2)
            continue;
        const int d = qAbs(learned - int(value));
        if (d <= bestDistance) { // a later key wins a tie
            bestDistance = d;
            best = k;
        }
    }
    return best >= 0 && bestDistance <= 1 ? best : -1;
}

void MainWindow::Wheel_Control(unsigned char value, bool ladder2)
{
    const int best = wheelKeyFor(value, ladder2);
    if (best < 0) {
        // Once a press: what a technician compares with the learned values
        // when a wheel key does nothing.
        if (!m_wheelStray)
            qCInfo(lcApp).noquote() << QStringLiteral("steering-wheel reading %1 on line %2 is no learned key")
                                           .arg(value)
                                           .arg(ladder2 ? 2 : 1);
        m_wheelStray = true;
        return;
    }
    if (m_standby || (m_wireThread && m_wireThread->powerOff())) {
        // Wakeup_machine: the key only wakes the unit.
        SetMacPowerOff(false, true);
        return;
    }
    if (m_wheelBusy)
        return;
    m_wheelBusy = true;
    m_wheelBusyTimer->start(300);
    g_TempData.wireKeyTime = QDateTime::currentMSecsSinceEpoch();

    m_wheelRepeat = best == m_wheelLastKey ? m_wheelRepeat + 1 : 1;
    m_wheelLastKey = best;
    m_wheelErrorTimer->start(2000);
    if (m_wheelRepeat >= kStuckRepeats) {
        qCInfo(lcApp).noquote() << QStringLiteral("steering-wheel key %1 stuck: its learned value %2 is cleared")
                                       .arg(best)
                                       .arg(m_nCurSystem.at(wheelByte(best)));
        m_nCurSystem.set(wheelByte(best), 255);
        m_wheelRepeat = 0;
        m_wheelLastKey = -1;
        showPopup(tr("已清除异常指令"), KindWarning);
        if (m_wheelStudyForm && m_wheelStudyForm->isVisible())
            m_wheelStudyForm->InitWheelTypeWidgets();
        return;
    }
    // Volume keys repeat while held; the others act once per press.
    const bool firstOfPress = m_wheelReleased;
    m_wheelReleased = false;
    if (firstOfPress)
        qCInfo(lcApp).noquote() << QStringLiteral("steering-wheel key %1 pressed: reading %2 on line %3")
                                       .arg(best)
                                       .arg(value)
                                       .arg(ladder2 ? 2 : 1);
    switch (best) {
    case 0:
    case 1:
        if (g_CurMusicPlay.currentScreen == ScreenMain)
            knobChanged(best == 0);
        break;
    case 2:
        if (firstOfPress)
            prevPressClicked(false);
        break;
    case 3:
        if (firstOfPress)
            nextPressClicked(false);
        break;
    case 4:
        if (firstOfPress)
            playPausePressClicked(false);
        break;
    case 5:
        if (firstOfPress)
            mutePressClicked(false);
        break;
    case 6:
        if (firstOfPress)
            srcPressClicked(false);
        break;
    default:
        break;
    }
}

void MainWindow::Slot_CheckKeysErrorTimer()
{
    m_wheelErrorTimer->stop();
    m_wheelRepeat = 0;
    m_wheelLastKey = -1;
}
