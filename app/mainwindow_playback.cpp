// MainWindow: what plays. Starting a song, resume after power-up, next and
// previous by play mode, the mode key, seeking, and the play requests of the
// browser and the phone app.
#include "logging.h"
#include "mainwindow.h"

#include "checkdiskclass.h"
#include "custommessage.h"
#include "database.h"
#include "datacommunication.h"
#include "disklist.h"
#include "globals.h"
#include "linkglobals.h"
#include "mainusbbtform.h"
#include "mediapath.h"
#include "navform.h"
#include "scanner.h"
#include "sqltext.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>

namespace {

const QString kResumeSeparator = QStringLiteral("__RS__");

QString musicDirPath(const QString &path)
{
    return QFileInfo(Get_RealFilePath(path)).absolutePath();
}

} // namespace

int MainWindow::songCount()
{
    return !mediaTempPlayList.isEmpty() ? mediaTempPlayList.size() : mediaObjectInfoList.size();
}

MediaObjectInfo MainWindow::songAt(int index)
{
    const QList<MediaObjectInfo> &list = mediaTempPlayList.isEmpty() ? mediaObjectInfoList : mediaTempPlayList;
    return index >= 0 && index < list.size() ? list.at(index) : MediaObjectInfo();
}

QString MainWindow::resumeDescription(const MediaObjectInfo &item) const
{
    return QStringList{get_Omitpath(item.filePath), QString::number(item.diskID), item.fileType, item.fileName}.join(
        kResumeSeparator);
}

// ------------------------------------------------------------ starting a song

void MainWindow::mediaPlay(int index)
{
    StopPlayMusic(true, false);
    // Another song chosen while paused plays.
    if (g_TempData.usbPaused) {
        g_TempData.usbPaused = false;
        if (messageShowing(KindPaused))
            closeMessage();
    }
    if (mediaObjectInfoList.isEmpty() && mediaTempPlayList.isEmpty()) {
        if (!UsingUSBDiskList.isEmpty())
            m_checkDisk->Check_StorageDisk_Exist(false);
        return;
    }
    if (UsingUSBDiskList.isEmpty())
        return;
    if (index >= songCount()) {
        // The list shrank under the index: try one lower in a second.
        if (g_CurMusicPlay.curIndex > 0)
            g_CurMusicPlay.curIndex = g_CurMusicPlay.curIndex - 1;
        QTimer::singleShot(1000, this, [this] {
            if (!UsingUSBDiskList.isEmpty() && songCount() > 0 && !decoderRunning())
                mediaPlay(qMin(int(g_CurMusicPlay.curIndex), songCount() - 1));
        });
        return;
    }
    g_CurMusicPlay.curIndex = index;
    const MediaObjectInfo item = songAt(index);
    if (!QFileInfo::exists(Get_RealFilePath(item.filePath))) {
        Process_NotexistSongPath(index, item.filePath);
        return;
    }
    Process_MediaPlay2(item, false);
    if (item.diskID != g_CurMusicPlay.curDiskID) {
        g_CurMusicPlay.curDiskID = item.diskID;
        m_database->update_PlayingDiskID(item.diskID);
    }
    Ini_Updata_mediainfo(resumeDescription(item), true);
    Close_GetTmpMuiscLIst();
}

void MainWindow::Process_MediaPlay2(const MediaObjectInfo &item, bool flag)
{
    m_songSearchTimer->stop();
    m_resumeRetries = 0;
    g_CurMusicPlay.title = item.fileName;
    g_CurMusicPlay.fileType = item.fileType;
    g_CurMusicPlay.filePath = item.filePath;
    g_CurMusicPlay.diskID = item.diskID;
    g_CurMusicPlay.selectFileType = item.fileType;
    g_CurMusicPlay.selectFileName = item.fileName;
    g_CurMusicPlay.selectFilePath = item.filePath;
    g_CurMusicPlay.selectDiskID = item.diskID;
    g_CurMusicPlay.seeking = false;
    const bool keep = g_TempData.resumePending || g_CurMusicPlay.tailStart;
    if (!keep) {
        g_CurMusicPlay.currentPosition = 0;
        g_CurMusicPlay.startOffset = 0;
    }
    m_songPlayed = false;
    Process_MediaPlay3(keep ? qint64(g_CurMusicPlay.currentPosition) : 0, flag);
}

// Resume after power-up: the song of the saved description at the saved second.
void MainWindow::Process_MediaPlay()
{
    const QString info = g_CurMusicPlay.selectMuiscInfo;
    const QStringList parts = info.split(kResumeSeparator);
    auto firstSong = [this] {
        g_TempData.resumePending = false;
        m_resumeRetries = 0;
        mediaPlay(0);
        SearchCurMusicIDInList(false);
    };
    if (info.isEmpty() || parts.size() != 4) {
        firstSong();
        return;
    }
    qCInfo(lcApp).noquote()
        << QStringLiteral("Process_MediaPlay >>>>>>>> %1 | %2 | %3 | %4").arg(parts[0], parts[1], parts[2], parts[3]);
    const QString mount = get_DiskPathFromRowID(parts[1].toInt());
    const QString path = mount + QLatin1Char('/') + parts[0];
    if (mount.isEmpty() || !QFileInfo::exists(Get_RealFilePath(path))) {
        // The stick may still be on its way: four more looks, 2 s apart.
        if (m_resumeRetries > 3) {
            firstSong();
            return;
        }
        ++m_resumeRetries;
        m_songSearchTimer->start(2000);
        m_checkDisk->setStopPlayMusicTimer();
        return;
    }
    g_TempData.resumePending = true;
    Process_MediaPlay2(MediaObjectInfo{parts[2], parts[3], path, parts[1].toInt()}, false);
    SearchCurMusicIDInList(true);
}

void MainWindow::Slot_DelaySearchSongTimer()
{
    m_songSearchTimer->stop();
    if (UsingUSBDiskList.isEmpty() || currentSource() != SourceUsb || m_standby) {
        // The stick went away during the retries: nothing to resume.
        m_resumeRetries = 0;
        return;
    }
    Process_MediaPlay();
}

void MainWindow::setMediaPosition(qint64 position, bool seeking)
{
    Q_UNUSED(seeking);
    const qint64 duration = g_CurMusicPlay.duration;
    if (duration > 0 && position - g_CurMusicPlay.startOffset >= duration - 1) {
        g_CurMusicPlay.seeking = false;
        playNextMusic(false, false);
        return;
    }
    if (!m_pausePending && !g_TempData.usbPaused)
        g_CurMusicPlay.playState = PlayStopped;
    // seeking stays set until the reopened song reaches the output: the
    // decoder keeps the position only while it is set.
    Process_MediaPlay3(position, false);
}

// ------------------------------------------------------------ next and previous

int MainWindow::get_Rand_SongsID(int count)
{
    const int cur = g_CurMusicPlay.curIndex;
    if (count <= 1)
        return cur;
    if (count == 2)
        return cur == 0 ? 1 : 0;
    // Seeded from the time once: a generator seeded anew on each call gives
    // the same pick to two calls within a millisecond.
    static QRandomGenerator rng(quint32(QDateTime::currentMSecsSinceEpoch()));
    int pick = cur;
    while (pick == cur)
        pick = int(rng.bounded(quint32(count)));
    return pick;
}

// A song that ended without ever playing was skipped; a whole pass of them
// means nothing on the list can play: stop instead of going round for ever.
void MainWindow::noteSkip(bool endOfPass)
{
    Q_UNUSED(endOfPass);
    if (m_songPlayed)
        return;
    ++m_skipsThisPass;
    qCInfo(lcApp).noquote() << QStringLiteral("skipped: %1").arg(QString(g_CurMusicPlay.filePath));
}

void MainWindow::resetSkipPass()
{
    m_skipsThisPass = 0;
}

void MainWindow::playNextMusic(bool mpress, bool fastforword)
{
    Q_UNUSED(fastforword);
    m_checkDisk->StopInitplaylist();
    // A song starts once per key press, at its start: a seek commit still
    // pending belongs to the song that is being left.
    m_seekTimer->stop();
    const int count = songCount();
    if (count == 0 || UsingUSBDiskList.isEmpty()) {
        StopPlayMusic(true, false);
        set_USB_NoSongs(false);
        return;
    }
    if (!mpress) {
        noteSkip(false);
        if (m_skipsThisPass >= count) {
            qCInfo(lcApp).noquote() << QStringLiteral("none of the %1 songs of the list could be played").arg(count);
            resetSkipPass();
            StopPlayMusic(true, false);
            g_CurMusicPlay.playState = PlayStopped;
            set_USB_NoSongs(true);
            return;
        }
    } else {
        resetSkipPass();
    }
    const int mode = g_CurMusicPlay.playMode;
    const int cur = g_CurMusicPlay.curIndex;
    if (mode == ModeShuffleDir || mode == ModeShuffleAll) {
        m_prevRandomIndex = cur;
        g_CurMusicPlay.curIndex = get_Rand_SongsID(count);
    } else if (mode == ModeRepeatSong && !mpress && m_songPlayed) {
        // The same song again, from its start. (One that cannot play is
        // skipped like in the other modes.)
        StopPlayMusic(true, false);
        g_CurMusicPlay.currentPosition = g_CurMusicPlay.startOffset;
        g_TempData.resumePending = false;
        m_songPlayed = false;
        Process_MediaPlay3(g_CurMusicPlay.startOffset, false);
        return;
    } else if (cur >= count - 1) {
        if (!mediaTempPlayList.isEmpty()) {
            // The next folder's songs become the list; the first plays when they are in.
            GetTempMuiscList(Scanner::TmpNextFolder);
            return;
        }
        g_CurMusicPlay.curIndex = 0;
    } else {
        g_CurMusicPlay.curIndex = cur + 1;
    }
    g_TempData.resumePending = false;
    if (m_mainForm)
        m_mainForm->mediaPlayerPositionChanged(0);
    mediaPlay(g_CurMusicPlay.curIndex);
}

void MainWindow::playPrevMuisc(bool mpress, bool fastprev)
{
    Q_UNUSED(fastprev);
    m_checkDisk->StopInitplaylist();
    m_seekTimer->stop();
    resetSkipPass();
    const int count = songCount();
    if (count == 0 || UsingUSBDiskList.isEmpty()) {
        StopPlayMusic(true, false);
        set_USB_NoSongs(false);
        return;
    }
    const int mode = g_CurMusicPlay.playMode;
    const int cur = g_CurMusicPlay.curIndex;
    if (mode == ModeShuffleDir || mode == ModeShuffleAll) {
        if (m_prevRandomIndex >= 0 && m_prevRandomIndex < count && m_prevRandomIndex != cur) {
            g_CurMusicPlay.curIndex = m_prevRandomIndex;
            m_prevRandomIndex = -1;
        } else {
            g_CurMusicPlay.curIndex = get_Rand_SongsID(count);
        }
    } else if (cur > 0) {
        g_CurMusicPlay.curIndex = cur - 1;
    } else if (!mediaTempPlayList.isEmpty() || (mpress && m_checkDisk->IS_Scanning())) {
        // While the list is still growing its last song is not known yet:
        // the folder before the playing one is listed instead.
        GetTempMuiscList(Scanner::TmpPrevFolder);
        return;
    } else {
        g_CurMusicPlay.curIndex = count - 1;
    }
    g_TempData.resumePending = false;
    if (m_mainForm)
        m_mainForm->mediaPlayerPositionChanged(0);
    mediaPlay(g_CurMusicPlay.curIndex);
}

// The common start of the user's next and previous keys: Bluetooth asks the
// phone (false: nothing more to do here); USB mutes and tells the MCU a
// track switch is coming (true).
bool MainWindow::beginUserSkip(int bluetoothKey)
{
    if (m_screenChanging)
        return false;
    g_TempData.transportCommand = 1;
    if (currentSource() == SourceBluetooth) {
        requestBluetoothPlayer(bluetoothKey);
        return false;
    }
    if (currentSource() != SourceUsb)
        return false;
    playMute(1);
    if (m_dataComm)
        m_dataComm->setTrackSwitching(3000);
    return true;
}

void MainWindow::playNextMusicStatus()
{
    if (!beginUserSkip(PlayerKeyNext))
        return;
    g_TempData.skipInProgress = true;
    stopDecoders(false);
    QTimer::singleShot(100, this, [this] { playNextMusic(true, false); });
}

void MainWindow::playPrevMusicStatus()
{
    if (!beginUserSkip(PlayerKeyPrevious))
        return;
    if (g_CurMusicPlay.currentPosition - g_CurMusicPlay.startOffset < 2) {
        g_TempData.skipInProgress = true;
        stopDecoders(false);
        QTimer::singleShot(300, this, [this] { playPrevMuisc(true, false); });
    } else {
        QTimer::singleShot(100, this, [this] { setMediaPosition(g_CurMusicPlay.startOffset); });
    }
}

// ------------------------------------------------------------ play modes

void MainWindow::playModeSwitch()
{
    int mode = g_CurMusicPlay.playMode;
    if (g_CurMusicPlay.musiclistType == ListSearch) {
        // A search result has no directory of its own.
        if (mode == ModeRepeatSong)
            mode = ModeShuffleAll;
        else if (mode == ModeShuffleAll)
            mode = ModeListOrder;
        else if (mode == ModeListOrder)
            mode = ModeRepeatSong;
    } else {
        mode = (mode + 1) % 5;
    }
    g_CurMusicPlay.playMode = mode;
    m_database->update_Config(QStringLiteral("playMode"), QString::number(mode));
    if (m_mainForm)
        m_mainForm->Update_PlayBackMode();
    if (g_CurMusicPlay.musiclistType != ListSearch)
        QTimer::singleShot(200, this, &MainWindow::rebuildListForMode);
}

void MainWindow::rebuildListForMode()
{
    const int mode = g_CurMusicPlay.playMode;
    if (mode == ModeRepeatDir || mode == ModeShuffleDir) {
        const QString dir = musicDirPath(g_CurMusicPlay.filePath);
        if (QString(g_CurMusicPlay.filePath).isEmpty()
            || (g_CurMusicPlay.musiclistType == ListDirectory && g_CurMusicPlay.curDirPath.get() == dir))
            return;
        g_CurMusicPlay.curDirPath = dir;
        g_CurMusicPlay.musiclistType = ListDirectory;
        m_database->update_MusicListTypeAndPath(dir, ListDirectory);
        mediaTempPlayList.clear();
        m_checkDisk->initCurMusicListFromPath(true);
        return;
    }
    if (mode == ModeShuffleAll)
        mediaTempPlayList.clear();
    if (mode == ModeListOrder || mode == ModeShuffleAll) {
        if (g_CurMusicPlay.musiclistType == ListAllSongs && !mediaObjectInfoList.isEmpty())
            return;
        g_CurMusicPlay.musiclistType = ListAllSongs;
        m_database->update_MusicListTypeAndPath(QString(), ListAllSongs);
        mediaObjectInfoList.clear();
        const QList<DiskInfo> disks = UsingUSBDiskList;
        for (const DiskInfo &d : disks)
            m_database->getDiskMusicList(d, true);
        SearchCurMusicIDInList(false);
        if (m_mainForm)
            m_mainForm->Update_SongNumber();
    }
}

// ------------------------------------------------------------ seeking

void MainWindow::Song_Fast_Forward()
{
    if (g_CurMusicPlay.noDuration || currentSource() != SourceUsb)
        return;
    const qint64 duration = g_CurMusicPlay.duration;
    const qint64 shown = qBound<qint64>(0, g_CurMusicPlay.currentPosition - g_CurMusicPlay.startOffset, duration);
    const qint64 target = qMin(shown + 8, duration);
    if (m_dataComm)
        m_dataComm->setTrackSwitching(5000);
    g_CurMusicPlay.seeking = true;
    if (messageShowing(KindPaused))
        closeMessage();
    if (target < duration) {
        stopDecoders(false);
        g_CurMusicPlay.currentPosition = g_CurMusicPlay.startOffset + target;
        if (m_mainForm)
            m_mainForm->mediaPlayerPositionChanged(target);
        m_seekTimer->start(900);
        return;
    }
    m_seekTimer->stop();
    g_CurMusicPlay.seeking = false;
    playNextMusic(false, true);
}

void MainWindow::Song_Fast_Rewind()
{
    if (g_CurMusicPlay.noDuration || currentSource() != SourceUsb)
        return;
    const qint64 duration = g_CurMusicPlay.duration;
    const qint64 shown = qBound<qint64>(0, g_CurMusicPlay.currentPosition - g_CurMusicPlay.startOffset, duration);
    const qint64 target = shown - 8;
    if (m_dataComm)
        m_dataComm->setTrackSwitching(5000);
    g_CurMusicPlay.seeking = true;
    if (messageShowing(KindPaused))
        closeMessage();
    if (target > 0) {
        stopDecoders(false);
        g_CurMusicPlay.currentPosition = g_CurMusicPlay.startOffset + target;
        if (m_mainForm)
            m_mainForm->mediaPlayerPositionChanged(target);
        m_seekTimer->start(900);
        return;
    }
    // Back past the start: the previous song's last 8 seconds.
    m_seekTimer->stop();
    g_CurMusicPlay.seeking = false;
    g_CurMusicPlay.tailStart = true;
    g_TempData.skipInProgress = true;
    playPrevMuisc(true, true);
}

// ------------------------------------------------------------ play requests

// What every play request does first: the track-switch notice, what plays
// stopped, the initial list build and Bluetooth let go, MCU indicators held
// off, the player's own source current, the now-playing screen reset.
void MainWindow::takeOverForRequest()
{
    if (m_dataComm)
        m_dataComm->setTrackSwitching(3000);
    StopPlayMusic(true, false);
    m_pauseCheckTimer->stop();
    m_checkDisk->StopInitplaylist();
    if (currentSource() == SourceBluetooth)
        g_TempData.bleRequestedState = 2;
    SetDelayRevLampData(2500);
    switchToUsbSource();
    if (m_mainForm)
        m_mainForm->resetUSBGui(true, true);
}

void MainWindow::playSelectedSong(int index)
{
    if (m_selectBusy)
        return;
    m_selectBusy = true;
    takeOverForRequest();
    leaveForNowPlaying();
    Show_CurrentGuis(true);
    g_TempData.resumePending = false;
    g_TempData.usbPaused = false;
    resetSkipPass();
    if (m_mainForm)
        m_mainForm->mediaPlayerPositionChanged(0);
    g_CurMusicPlay.curIndex = index;
    if (m_mainForm)
        m_mainForm->Update_SongNumber();
    QTimer::singleShot(500, this, [this] {
        m_selectBusy = false;
        mediaPlay(g_CurMusicPlay.curIndex);
    });
}

void MainWindow::PlaySingleSong(const MediaObjectInfo &item, bool toMain, bool flag)
{
    takeOverForRequest();
    if (toMain) {
        leaveForNowPlaying();
        Show_CurrentGuis(true);
    }
    if (m_navForm)
        m_navForm->updateWindowTitle();
    g_TempData.resumePending = false;
    g_TempData.usbPaused = false;
    resetSkipPass();
    Process_MediaPlay2(item, flag);
}

void MainWindow::Slot_Proc_PlayURL(const MediaObjectInfo &item)
{
    if (item.filePath == QLatin1String("NULL"))
        return;
    bool onDisk = false;
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (!d.storageId.isEmpty() && item.filePath.contains(d.storageId)) {
            onDisk = true;
            break;
        }
    }
    if (!onDisk) {
        qCInfo(lcApp).noquote() << QStringLiteral("phone-app song on no mounted disk: %1").arg(item.filePath);
        // The app waits for the play status: it gets the failure.
        if (m_dataComm)
            m_dataComm->SendDirList_Play_Status(false);
        return;
    }
    // The decoder reports the start (or the failure) back to the app.
    PlaySingleSong(item, true, true);
    Ini_Updata_mediainfo(resumeDescription(item), true);
}

void MainWindow::Slot_Rescan_Disk(const DiskInfo &disk)
{
    // The phone app's walk found the stick's content changed while its
    // free space stayed: the library's folders marked as read would hide
    // the new files, so the disk is scanned afresh.
    if (!Check_DiskPath_Exist(disk.diskPath))
        return;
    if (m_checkDisk->IS_Scanning() && m_checkDisk->scanner()->scanPath() == disk.diskPath) {
        // Its scan runs now: the fresh one follows it.
        QTimer::singleShot(2000, this, [this, disk] { Slot_Rescan_Disk(disk); });
        return;
    }
    qCInfo(lcApp).noquote() << QStringLiteral("disk %1 scanned afresh: its content changed").arg(disk.diskPath);
    m_database->clean_AllData(disk.musicTableID, disk.diskID);
    m_database->update_DiskInfo(disk, 0, QStringLiteral("status"));
    m_checkDisk->Clear_ScanList(disk.diskPath);
    m_checkDisk->record_StorageDisk(disk);
}

void MainWindow::Switch_InputSource_PlayMusic(bool start)
{
    if (!start || currentSource() != SourceUsb || UsingUSBDiskList.isEmpty())
        return;
    if (songCount() == 0) {
        InitMusicList(false, true);
        return;
    }
    PlayFor_LampAndOpen();
}
