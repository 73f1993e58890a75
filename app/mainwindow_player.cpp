// MainWindow: the decoders, the output thread and the PCM queue; starting,
// stopping and pausing a song.
#include "logging.h"
#include "mainwindow.h"

#include "audiodecoder.h"
#include "audioplayer.h"
#include "bufdataproce.h"
#include "checkdiskclass.h"
#include "cueresolve.h"
#include "custommessage.h"
#include "datacommunication.h"
#include "dsddecoder.h"
#include "globals.h"
#include "linkglobals.h"
#include "mainusbbtform.h"
#include "mediabuffer.h"
#include "mediapath.h"

#include <QFileInfo>
#include <QTimer>

void MainWindow::mediaPlayerInit()
{
    m_dsdDecoder = new DsdDecoder(this);
    m_audioDecoder = new AudioDecoder(this);
    m_audioPlayer = new AudioPlayer(this);
    m_audioPlayer->setGpioLines(m_pathGpio, m_clockGpio, m_muteGpio);
    m_audioPlayer->setSourceQuery([] { return currentSource(); });
    if (!m_MediaBuffer.pcmBuffer.load())
        m_MediaBuffer.pcmBuffer = new BytequeueBuffer(5302880);
}

void MainWindow::Slot_Start_PlayerThread()
{
    // The decoder has opened the song at its position: a seek is applied.
    g_CurMusicPlay.seeking = false;
    // Paused while the song was being opened (a seek committed after the
    // pause key): it stays paused, its blocks waiting for the play key.
    if (g_TempData.usbPaused) {
        g_CurMusicPlay.playState = PlayPaused;
        return;
    }
    // play() ends a run still going before it starts the new one.
    m_audioPlayer->play();
}

bool MainWindow::decoderRunning() const
{
    return m_audioDecoder->isRunning() || m_dsdDecoder->isRunning();
}

void MainWindow::stopDecoders(bool nowait)
{
    if (m_dsdDecoder->isRunning())
        m_dsdDecoder->stop(nowait);
    if (m_audioDecoder->isRunning())
        m_audioDecoder->stop(nowait);
}

bool MainWindow::StopPlayMusic(bool mMute, bool nowait)
{
    g_TempData.checkPauseStopped = true;
    m_pauseSuspendTimer->start(6000);
    if (mMute)
        playMute(1);
    stopDecoders(nowait);
    // What the output still holds is not played either: a pulled stick or a
    // switched-off car stops the song now, not a buffer later.
    if (m_audioPlayer->isRunning()) {
        m_audioPlayer->stop(true);
        if (!nowait)
            m_audioPlayer->wait(3000);
    }
    return true;
}

// Opens the current item at position (seconds in the file) with the decoder
// its suffix asks for.
void MainWindow::Process_MediaPlay3(qint64 position, bool flag)
{
    if (m_bUpMCUFlag)
        return;
    if (m_mainForm)
        m_mainForm->mediaPlayerPositionChanged(position - g_CurMusicPlay.startOffset);
    // The output of the song being left ends here: its run must not play the
    // new song's blocks with the old stream's format.
    if (m_audioPlayer->isRunning()) {
        m_audioPlayer->stop(true);
        m_audioPlayer->wait(3000);
    }
    // A file being opened is stopped, unless the user paused: the new output
    // run then waits for the play key.
    if (!g_TempData.usbPaused)
        g_CurMusicPlay.playState = PlayStopped;
    const QString path = g_CurMusicPlay.filePath;
    const QString file = Get_RealFilePath(path);
    const QString suffix = QFileInfo(file).suffix().toLower();
    QString item = path;
    if (suffix == QLatin1String("cue")) {
        // The sheet's track: the audio file, the track's start and length.
        g_CurMusicPlay.currentPosition = position;
        const QString audio = resolveCueItem(file, g_CurMusicPlay.title);
        if (audio.isEmpty() || !QFileInfo::exists(audio)) {
            qCInfo(lcApp).noquote() << QStringLiteral("no audio file for the CUE track %1").arg(path);
            QTimer::singleShot(0, this, [this] { playNextMusic(false, false); });
            return;
        }
        item = audio;
        position = g_CurMusicPlay.currentPosition;
        g_CurMusicPlay.fileType = QFileInfo(audio).suffix().toLower();
    }
    bool opened;
    if (Is_DSDFile(QFileInfo(Get_RealFilePath(item)).suffix())) {
        opened = m_dsdDecoder->open(dsdItemSpec(item), int(position), flag);
        // The DSD decoder reports nothing when it refuses a file.
        if (!opened)
            QTimer::singleShot(0, this, [this] { playNextMusic(false, false); });
    } else {
        // The PCM decoder reports a missing file itself (playOver).
        opened = m_audioDecoder->open(item, int(position), flag);
    }
    if (!opened)
        qCInfo(lcApp).noquote() << QStringLiteral("cannot open %1").arg(item);

    if (m_dataComm)
        m_dataComm->Get_Dirfile_PlayingIndex();
    m_pauseCheckTimer->start(8000);
    QTimer::singleShot(4000, this, [this] {
        if (m_mainForm)
            m_mainForm->Update_SongNumber();
    });
    Check_Show_MainGui(false);
    m_mainCheckTimer->start(4500);
    if (m_message) {
        m_message->defaultSetting();
        m_message->hide();
    }
}

void MainWindow::Slot_InitSongInfo()
{
    // The decoder has opened the song at the position asked for: a seek is
    // applied (the decoder drops what it decodes while seeking is set).
    g_CurMusicPlay.seeking = false;
    if (m_mainForm && currentSource() == SourceUsb) {
        m_mainForm->mediaPlayerInfoChanged();
        // The song's screen as soon as the song is known.
        Check_Show_MainGui(false);
    }
}

// ------------------------------------------------------------ pause

bool MainWindow::Is_USBPlay_Pause()
{
    return m_audioPlayer->isRunning() && currentSource() == SourceUsb && g_CurMusicPlay.playState != PlayPlaying
           && !g_CurMusicPlay.noDuration;
}

bool MainWindow::Is_BLE_Pause()
{
    return currentSource() == SourceBluetooth && g_TempData.bleRequestedState == 2;
}

void MainWindow::playOrPauseCliked()
{
    g_TempData.transportCommand = 1;
    if (currentSource() == SourceBluetooth) {
        const bool pause = g_TempData.bleRequestedState != 2;
        g_TempData.bleRequestedState = pause ? 2 : 1;
        if (pause)
            showMessage(QString(), KindPaused);
        else
            closeMessage();
        m_bleStateTimer->start(7000);
        return;
    }
    if (currentSource() != SourceUsb)
        return;
    m_pausePending = true;
    QTimer::singleShot(2000, this, [this] { m_pausePending = false; });
    // A song being skipped to or sought counts as playing: the key pauses it.
    if (g_TempData.skipInProgress || g_CurMusicPlay.seeking)
        g_CurMusicPlay.playState = PlayPlaying;
    playMute(1);
    const int state = g_CurMusicPlay.playState;
    if (state == PlayPlaying) {
        Pause_USB_Player(true);
        return;
    }
    if (!m_audioPlayer->isRunning() && !decoderRunning() && Get_buf_isempty()) {
        // Nothing open (stopped after a power-off or a pulled stick): the
        // current song starts again where it stopped.
        g_TempData.usbPaused = false;
        closeMessage();
        PlayFor_LampAndOpen();
        return;
    }
    if (!Get_buf_isempty())
        closeMessage();
    QTimer::singleShot(300, this, [this] {
        // A song opened while paused has its blocks queued but no output
        // run yet: resume() starts one for a stopped song.
        if (!m_audioPlayer->isRunning() && g_CurMusicPlay.playState == PlayPaused)
            g_CurMusicPlay.playState = PlayStopped;
        g_TempData.usbPaused = false;
        m_audioPlayer->resume();
    });
}

void MainWindow::Pause_USB_Player(bool showPicture)
{
    if (m_dataComm)
        m_dataComm->clearTrackSwitching();
    if (showPicture)
        showMessage(QString(), KindPaused);
    m_audioPlayer->suspend();
    m_audioDecoder->suspend();
    g_TempData.usbPaused = true;
}

void MainWindow::Check_Muisc_IsPause()
{
    m_pauseCheckTimer->stop();
    if (!g_TempData.usbPaused || g_CurMusicPlay.currentScreen != ScreenMain || !m_mainForm || !m_mainForm->isVisible())
        return;
    if (g_TempData.resumePending || g_TempData.checkPauseStopped || messageShowing(KindPaused))
        return;
    showMessage(QString(), KindPaused);
}

// After power-up or a source change back to this player: the paused song
// goes on, else the current song starts again where it stopped.
void MainWindow::PlayFor_LampAndOpen()
{
    if (currentSource() != SourceUsb || UsingUSBDiskList.isEmpty() || m_bUpMCUFlag)
        return;
    if (g_TempData.usbPaused) {
        // Paused by the user: it stays paused.
        Check_Muisc_IsPause();
        return;
    }
    if (g_CurMusicPlay.playState == PlayPlaying)
        return;
    if (m_audioPlayer->isRunning()) {
        closeMessage();
        m_audioPlayer->resume();
        return;
    }
    if (decoderRunning()) {
        // A song opened while the output was held has its blocks waiting;
        // one still opening starts the output itself (startPlay).
        if (!Get_buf_isempty()) {
            g_CurMusicPlay.playState = PlayStopped;
            m_audioPlayer->play();
        }
        return;
    }
    if (QString(g_CurMusicPlay.filePath).isEmpty() || songCount() == 0) {
        InitMusicList(false, true);
        return;
    }
    Process_MediaPlay3(g_CurMusicPlay.currentPosition, false);
}
