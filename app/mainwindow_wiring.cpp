// MainWindow: the connections between the workers, the screens and the
// controller. Workers emit from their own threads; Qt queues those signals
// to the GUI thread, where every slot here runs.
#include "logging.h"
#include "mainwindow.h"

#include "animationpack.h"
#include "audiodecoder.h"
#include "audioplayer.h"
#include "checkdiskclass.h"
#include "custommessage.h"
#include "database.h"
#include "datacommunication.h"
#include "dsddecoder.h"
#include "globals.h"
#include "keypresstimer.h"
#include "loading.h"
#include "mainusbbtform.h"
#include "popupselect.h"
#include "wireserialthread.h"

#include <QTimer>

void MainWindow::slotsInit()
{
    const auto queued = Qt::QueuedConnection;

    // Decoders and output thread.
    connect(
        m_audioPlayer, &AudioPlayer::playOver, this, [this] { playNextMusic(false, false); }, queued);
    connect(
        m_audioDecoder, &AudioDecoder::playOver, this, [this] { playNextMusic(false, false); }, queued);
    connect(
        m_dsdDecoder, &DsdDecoder::playOver, this, [this] { playNextMusic(false, false); }, queued);
    connect(m_audioPlayer, &AudioPlayer::resetMusicInfo, this, &MainWindow::PlayErrorHideUSBGui, queued);
    connect(m_audioDecoder, &AudioDecoder::resetMusicInfo, this, &MainWindow::PlayErrorHideUSBGui, queued);
    connect(m_dsdDecoder, &DsdDecoder::resetMusicInfo, this, &MainWindow::PlayErrorHideUSBGui, queued);
    connect(m_audioDecoder, &AudioDecoder::startPlay, this, &MainWindow::Slot_Start_PlayerThread, queued);
    connect(m_dsdDecoder, &DsdDecoder::startPlay, this, &MainWindow::Slot_Start_PlayerThread, queued);
    connect(m_audioDecoder, &AudioDecoder::songChanged, this, &MainWindow::Slot_InitSongInfo, queued);
    connect(m_dsdDecoder, &DsdDecoder::songChanged, this, &MainWindow::Slot_InitSongInfo, queued);
    auto position = [this](qint64 seconds) {
        if (currentSource() != SourceUsb)
            return;
        // The song plays: whatever was skipped before it counted for nothing.
        m_songPlayed = true;
        resetSkipPass();
        if (m_mainForm)
            m_mainForm->mediaPlayerPositionChanged(seconds);
        const qint64 at = g_CurMusicPlay.currentPosition;
        if (at != 0)
            Ini_Updata_mediaTime(int(at - 1));
        if (messageShowing(KindPaused) && g_CurMusicPlay.playState == PlayPlaying)
            closeMessage();
    };
    connect(m_audioPlayer, &AudioPlayer::positionChanged, this, position, queued);
    connect(m_audioDecoder, &AudioDecoder::positionChanged, this, position, queued);
    connect(
        m_audioPlayer, &AudioPlayer::showbuffing, this,
        [this] {
            if (m_mainForm)
                m_mainForm->SetBuffing();
            QTimer::singleShot(2000, this, [this] { m_checkDisk->Check_CurSong_DiskExist(); });
        },
        queued);
    connect(
        m_audioPlayer, &AudioPlayer::sig_junSong, this,
        [this] {
            if (m_mainForm)
                m_mainForm->TEST();
        },
        queued);
    connect(
        m_audioPlayer, &AudioPlayer::sig_StopCheckPause, this, [this] { suspendPauseCheck(9000); }, queued);
    connect(
        m_audioDecoder, &AudioDecoder::stopPlay, this,
        [this] {
            // An unusable file: a seek into it is over, the skip must follow.
            g_CurMusicPlay.seeking = false;
            StopPlayMusic(true, false);
            suspendPauseCheck(3000);
            QTimer::singleShot(2000, this, [this] { m_checkDisk->Check_CurSong_DiskExist(); });
        },
        queued);
    auto rebackDir = [this](bool ok) {
        if (m_dataComm)
            m_dataComm->SendDirList_Play_Status(ok);
    };
    connect(m_audioDecoder, &AudioDecoder::sig_rebackDir, this, rebackDir, queued);
    connect(m_dsdDecoder, &DsdDecoder::sig_rebackDir, this, rebackDir, queued);

    // The key controller.
    connect(m_wireThread, &WireSerialThread::wireKeyClicked, this, &MainWindow::Slot_wireKeyClicked, queued);
    connect(m_wireThread, &WireSerialThread::poweroffClick, this, &MainWindow::remotePoweroffClicked, queued);
    connect(m_keyTimer, &QTimer::timeout, this, &MainWindow::shortPressTimeout);

    // The MCU protocol.
    connect(m_dataComm, &DataCommunication::readSysDataOver, this, &MainWindow::readSysDataOver, queued);
    connect(m_dataComm, &DataCommunication::reDataOver, this, &MainWindow::readDataOver, queued);
    connect(m_dataComm, &DataCommunication::reLampDataOver, this, &MainWindow::readDSPLampDataOver, queued);
    connect(m_dataComm, &DataCommunication::revBlePlayInfo, m_mainForm, &MainUSBBTForm::revBlePlayInfoOver, queued);
    connect(m_dataComm, &DataCommunication::showProcessBar, this, &MainWindow::showLoading, queued);
    connect(m_dataComm, &DataCommunication::submitPersent, this, &MainWindow::setPersent, queued);
    connect(m_dataComm, &DataCommunication::sig_versionError, this, &MainWindow::Mcu_Version_Error, queued);
    connect(m_dataComm, &DataCommunication::sig_UpgradeReboot, this, &MainWindow::Slot_UpgradeReboot, queued);
    connect(
        m_dataComm, &DataCommunication::sig_Notsupport, this,
        [this] {
            m_popupSelect->hide();
            showPopup(tr("系统不支持"), KindWarning);
        },
        queued);
    connect(
        m_dataComm, &DataCommunication::sig_Nosub_Channel, this,
        [this] {
            m_popupSelect->hide();
            showPopup(tr("无超低通道"), KindWarning);
        },
        queued);
    connect(
        m_dataComm, &DataCommunication::positionChanged, this,
        [this](qint64 seconds) {
            if (currentSource() == SourceBluetooth && m_mainForm)
                m_mainForm->mediaPlayerPositionChanged(seconds);
        },
        queued);
    connect(
        m_dataComm, &DataCommunication::sig_popup, this, [this](const QString &text) { showPopup(text, KindWarning); },
        queued);
    connect(m_dataComm, &DataCommunication::sig_ResumePlay, this, &MainWindow::Resume_PlaybackForDspLinkFailed, queued);

    // The disk checker.
    connect(m_checkDisk, &CheckDiskClass::initMuiscList, this, [this](bool first) { InitMusicList(first); });
    connect(m_checkDisk, &CheckDiskClass::sig_ReloadMuiscList, this, [this] { InitMuiscListForPlay(); });
    connect(m_checkDisk, &CheckDiskClass::stopPlay, this, [this] { StopPlayMusic(); });
    connect(m_checkDisk, &CheckDiskClass::musiclistChanged, m_mainForm, &MainUSBBTForm::Update_SongNumber);
    connect(m_checkDisk, &CheckDiskClass::dialoutDisk, this, &MainWindow::DialOutDisk);
    connect(m_checkDisk, &CheckDiskClass::diskChanged, this, &MainWindow::DiskListChanged);
    connect(m_checkDisk, &CheckDiskClass::fixCurMusicIndex, this, &MainWindow::ChangeCurMusicIndex);
    connect(m_checkDisk, &CheckDiskClass::sig_MacNotSupport, this, &MainWindow::Mac_NotSupport);
    connect(m_checkDisk, &CheckDiskClass::sig_readingUSB, this, &MainWindow::Reading_USB_Gui);
    connect(m_checkDisk, &CheckDiskClass::initFistPlay, this, [this] {
        // Nothing starts on its own while the car is switched off.
        if (!m_standby && systemAwake())
            Process_MediaPlay();
    });
    connect(m_checkDisk, &CheckDiskClass::noSongs, this, [this] { set_USB_NoSongs(false); });
    connect(m_checkDisk, &CheckDiskClass::usblimited, this,
            [this] { showPopup(tr("接入USB不可超过\n6个硬盘/U盘/分区"), KindNone); });
    connect(m_checkDisk, &CheckDiskClass::updateMusicIndex, this, [this] { SearchCurMusicIDInList(false); });
    connect(m_checkDisk, &CheckDiskClass::hidePlayerGui, this, [this] {
        if (currentSource() != SourceUsb || g_CurMusicPlay.currentScreen == ScreenElectricCheck)
            return;
        QTimer::singleShot(300, this, [this] {
            if (!UsingUSBDiskList.isEmpty())
                return;
            if (m_mainForm)
                m_mainForm->hide();
            PleaseInputUSB();
            StopPlayMusic();
        });
    });
    connect(m_checkDisk, &CheckDiskClass::sig_PauseDelay, this, [this] {
        suspendPauseCheck(3000);
        if (messageShowing(KindPaused))
            closeMessage();
    });
    connect(m_checkDisk, &CheckDiskClass::sig_mediaplay, this, [this] {
        if (currentSource() != SourceUsb)
            return;
        StopPlayMusic();
        Process_MediaPlay3(g_CurMusicPlay.currentPosition, false);
    });
    connect(m_checkDisk, &CheckDiskClass::ini_mediainfo, this, [this](const QString &text) {
        // The resume description of the song last chosen; a pulled stick's
        // mount point is no description: the song resumes when it comes back.
        if (!text.isEmpty() && text.split(QStringLiteral("__RS__")).size() != 4) {
            qCInfo(lcApp).noquote() << QStringLiteral("resume description kept (handed \"%1\")").arg(text);
            return;
        }
        Ini_Updata_mediainfo(text, true);
    });
    connect(m_checkDisk, &CheckDiskClass::updateUSBICO, this, &MainWindow::Change_MainMessage_DiskChanged);
    connect(m_checkDisk, &CheckDiskClass::resetplayMode, this, [this] {
        if (currentSource() != SourceUsb || g_CurMusicPlay.currentScreen == ScreenElectricCheck || !m_mainForm)
            return;
        m_mainForm->resetUSBGui(true);
        m_mainForm->Update_PlayBackMode();
    });
    connect(m_checkDisk, &CheckDiskClass::updateAPPSongIndex, this, [this] {
        if (m_dataComm)
            m_dataComm->Get_Dirfile_PlayingIndex();
    });

    // The library.
    connect(m_database, &DataBase::rebuilDBOver, this, &MainWindow::RebuilDataBaseOver, queued);
    connect(
        m_database, &DataBase::sig_freshIndex, this, [this] { SearchCurMusicIDInList(false); }, queued);

    // Screens and widgets.
    connect(m_mainForm, &MainUSBBTForm::openGui, this, &MainWindow::Slot_beopenGui);
    connect(m_animation, &AnimationPack::animationLineOver, this, &MainWindow::Proc_Animation_Over);
    connect(m_loading, &Loading::isFinist, this, [this](int code) {
        if (code == 18)
            showPopup(tr("已存储"), KindWarning);
        else if (code == 19)
            showPopup(tr("成功"), KindWarning);
    });
    connect(m_loading, &Loading::isFailed, this, [this] { showPopup(tr("失败"), KindWarning); });
    connect(m_message, &CustomMessage::sig_pauseClicked, this, [this] {
        if (g_TempData.usbPaused || Is_BLE_Pause())
            playOrPauseCliked();
    });
    connect(m_popupSelect, &PopupSelect::sig_WheelChanged, this, [this] { m_database->update_CurWheelDefVal(); });

    browserSlotsInit();
    setupSlotsInit();
    serviceSlotsInit();
}
