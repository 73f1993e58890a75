// MainWindow: the play list. Building it by its type, finding the current
// song in it, the temporary lists of one folder, and files that moved or
// were renamed.
#include "logging.h"
#include "mainwindow.h"

#include "checkdiskclass.h"
#include "custommessage.h"
#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "linkglobals.h"
#include "mainusbbtform.h"
#include "mediabuffer.h"
#include "mediapath.h"
#include "scanner.h"
#include "sqltext.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace {

QString musicDirPath(const QString &path)
{
    return QFileInfo(Get_RealFilePath(path)).absolutePath();
}

// The volume folder a path lies on: the media prefix and its device folders.
QString volumeRootOf(const QString &path)
{
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (path.startsWith(d.diskPath + QLatin1Char('/')))
            return d.diskPath;
    }
    const QString rel = get_Omitpath(path);
    return rel.isEmpty() ? path : path.left(path.size() - rel.size() - 1);
}

// Replaces the item at index of the list in use.
void replaceSong(int index, const MediaObjectInfo &item)
{
    QList<MediaObjectInfo> &list = mediaTempPlayList.isEmpty() ? mediaObjectInfoList : mediaTempPlayList;
    if (index >= 0 && index < list.size())
        list[index] = item;
}

} // namespace

// ------------------------------------------------------------ the list

bool MainWindow::InitMusicList(bool mflag, bool m_Show_Reading)
{
    Q_UNUSED(mflag);
    // A song chosen in the browser is about to start (m_selectBusy): a list
    // check now would start the song that played before it.
    if (!m_usbLinked || UsingUSBDiskList.isEmpty() || m_bUpMCUFlag || m_logo || m_seekTimer->isActive() || m_selectBusy
        || decoderRunning() || currentSource() != SourceUsb || g_CurMusicPlay.playState == PlayPlaying || !systemAwake()
        || m_listLoading || g_TempData.listLoading || g_CurMusicPlay.dbRebuilding)
        return false;
    if (m_mainForm && !m_mainForm->isVisible() && m_popupMessage && !m_popupMessage->isVisible()
        && !mediaObjectInfoList.isEmpty()) {
        PlayErrorHideUSBGui();
        Process_MediaPlay();
        return true;
    }
    qCInfo(lcApp).noquote()
        << QStringLiteral("#############InitMusicList################ %1").arg(g_CurMusicPlay.playState);
    InitMuiscListForPlay(m_Show_Reading);
    return true;
}

void MainWindow::InitMuiscListForPlay(bool m_Show_Reading)
{
    if (g_TempData.diskJoinPending)
        return;
    const bool starting = g_CurMusicPlay.playState != PlayPlaying && !g_TempData.usbPaused;
    const int type = g_CurMusicPlay.musiclistType;
    // A directory list is built by the disk checker in the background; the
    // next call after it has finished goes on with what it built.
    const bool dirListBuilt = type == ListDirectory && m_dirListPending && !mediaObjectInfoList.isEmpty();
    m_dirListPending = false;
    if (!dirListBuilt) {
        mediaObjectInfoList.clear();
        if (m_Show_Reading && starting)
            Reading_USB_Gui();
    }
    if (UsingUSBDiskList.isEmpty()) {
        m_listLoadTimer->stop();
        m_readCount = 0;
        return;
    }
    qCInfo(lcApp).noquote() << QStringLiteral("InitMuiscListForPlay %1 %2").arg(mediaObjectInfoList.size()).arg(type);
    m_listLoading = true;
    if (!dirListBuilt) {
        if (type == ListDirectory) {
            m_dirListPending = true;
            m_checkDisk->initCurMusicListFromPath(false);
            m_listLoading = false;
            return;
        }
        if (type == ListSearch) {
            m_database->initSearchMusicList();
        } else {
            const QList<DiskInfo> disks = UsingUSBDiskList;
            for (const DiskInfo &d : disks)
                m_database->getDiskMusicList(d, true);
        }
    }
    m_listLoading = false;
    if (mediaObjectInfoList.isEmpty()) {
        if (++m_readCount >= 3)
            set_USB_NoSongs(false);
        m_listLoadTimer->start(5000);
        return;
    }
    m_listLoadTimer->stop();
    m_readCount = 0;
    if (starting && currentSource() == SourceUsb && !m_standby)
        Process_MediaPlay();
    SearchCurMusicIDInList(false);
    m_mainCheckTimer->start(9000);
}

void MainWindow::Slot_DelayInitSonglistTimer()
{
    m_listLoadTimer->stop();
    if (UsingUSBDiskList.isEmpty()) {
        m_readCount = 0;
        return;
    }
    if (m_readCount >= 3 && mediaObjectInfoList.isEmpty()) {
        // Three reads found nothing: the default list, and the no-songs message.
        m_readCount = 0;
        m_checkDisk->DefaultMusicPlayList();
        set_USB_NoSongs(false);
        return;
    }
    InitMuiscListForPlay(false);
}

void MainWindow::InitMuiscList_ForSelectMusic()
{
    // The browser made a new list: the chosen song's index in it.
    SearchCurMusicIDInList(false);
    if (m_mainForm)
        m_mainForm->Update_SongNumber();
}

void MainWindow::SearchCurMusicIDInList(bool searchTemp)
{
    const MediaObjectInfo item = g_CurMusicPlay.selectedItem();
    const int at = mediaObjectInfoList.indexOf(item);
    if (at >= 0) {
        g_CurMusicPlay.curIndex = at;
        mediaTempPlayList.clear();
        if (m_mainForm)
            m_mainForm->Update_SongNumber();
        return;
    }
    if (g_CurMusicPlay.musiclistType == ListAllSongs && searchTemp) {
        const int tmp = mediaTempPlayList.indexOf(item);
        if (tmp >= 0)
            g_CurMusicPlay.curIndex = tmp;
        else
            GetTempMuiscList(Scanner::TmpFolder);
        return;
    }
    g_CurMusicPlay.curIndex = 0;
}

void MainWindow::ChangeCurMusicIndex()
{
    SearchCurMusicIDInList(false);
}

// The songs of one folder around the playing song stand in for the play
// list while the whole list is not there yet.
void MainWindow::GetTempMuiscList(int kind)
{
    if (UsingUSBDiskList.isEmpty())
        return;
    if (!m_tmpScanner) {
        m_tmpScanner = new Scanner(this);
        m_tmpScanner->setDataBase(m_database);
        connect(m_tmpScanner, &Scanner::scanOverFileManage, this, [this](bool unfinished, int mode) {
            m_tmpListTimer->stop();
            const int kind = m_tmpListKind;
            m_tmpListKind = 0;
            if (unfinished || mode != kind || mediaTempPlayList.isEmpty())
                return;
            if (kind == Scanner::TmpFolder) {
                const int at = mediaTempPlayList.indexOf(g_CurMusicPlay.selectedItem());
                g_CurMusicPlay.curIndex = qMax(at, 0);
                if (m_mainForm)
                    m_mainForm->Update_SongNumber();
                return;
            }
            g_CurMusicPlay.curIndex = kind == Scanner::TmpNextFolder ? 0 : mediaTempPlayList.size() - 1;
            g_TempData.resumePending = false;
            mediaPlay(g_CurMusicPlay.curIndex);
        });
    }
    if (m_tmpScanner->isRunning()) {
        m_tmpScanner->stop_Scanner();
        m_tmpScanner->wait(3000);
    }
    m_tmpListKind = kind;
    m_tmpScanner->setScanTmpMusicList(kind);
    m_tmpListTimer->start(3000);
}

void MainWindow::Close_GetTmpMuiscLIst()
{
    m_tmpListTimer->stop();
    if (!m_tmpScanner || !m_tmpScanner->isRunning())
        return;
    const int kind = m_tmpListKind;
    m_tmpListKind = 0;
    m_tmpScanner->stop_Scanner();
    // A next or previous that waited for the folder goes on in the list it has.
    if ((kind == Scanner::TmpNextFolder || kind == Scanner::TmpPrevFolder) && songCount() > 0 && !decoderRunning()) {
        g_CurMusicPlay.curIndex = kind == Scanner::TmpNextFolder ? 0 : songCount() - 1;
        mediaPlay(g_CurMusicPlay.curIndex);
    }
}

// ------------------------------------------------------------ moved and renamed files

bool MainWindow::Process_NotexistSongPath(int index, const QString &path)
{
    if (index < 0 || index >= songCount())
        return false;
    if (Process_CheckChangedSongPath(index, path))
        return true;
    MediaObjectInfo item = songAt(index);
    const QString mount = get_DiskPathFromRowID(item.diskID);
    if (mount.isEmpty()) {
        // Its disk is gone: the item leaves the list.
        if (GetRootFilesNumbers(volumeRootOf(Get_RealFilePath(path))) < 2)
            Slot_ResetDiskManage();
        if (g_CurMusicPlay.curIndex > 0)
            g_CurMusicPlay.curIndex = g_CurMusicPlay.curIndex - 1;
        QList<MediaObjectInfo> &list = mediaTempPlayList.isEmpty() ? mediaObjectInfoList : mediaTempPlayList;
        list.removeOne(item);
        if (m_mainForm)
            m_mainForm->Update_SongNumber();
        if (songCount() == 0 || UsingUSBDiskList.isEmpty()) {
            StopPlayMusic(true, false);
            set_USB_NoSongs(false);
        }
        return false;
    }
    // The same volume under another mount point.
    const QString moved = mount + QLatin1Char('/') + get_Omitpath(path);
    if (moved != path && QFileInfo::exists(Get_RealFilePath(moved))) {
        item.filePath = moved;
        replaceSong(index, item);
        mediaPlay(index);
        return true;
    }
    if (Process_CheckChangedSongPath(index, moved))
        return true;
    m_checkDisk->Check_CurSong_DiskExist();
    qCInfo(lcApp).noquote() << QStringLiteral("*****************play song failed*********************");
    if (songCount() > 0) {
        m_songPlayed = false;
        QTimer::singleShot(6000, this, [this] {
            qCInfo(lcApp).noquote() << QStringLiteral("no song~~~~~ palyer: %1").arg(g_CurMusicPlay.playState);
            if (g_CurMusicPlay.playState != PlayPlaying && !decoderRunning() && !UsingUSBDiskList.isEmpty())
                playNextMusic(false, false);
        });
    }
    return false;
}

bool MainWindow::Process_CheckChangedSongPath(int index, const QString &path)
{
    const QString real = Get_RealFilePath(path);
    const QString suffix = QFileInfo(real).suffix().toLower();
    if (suffix == QLatin1String("iso") || suffix == QLatin1String("cue"))
        return false;
    MediaObjectInfo item = songAt(index);
    const QString dir = musicDirPath(real);
    int rowid = 0;
    const qint64 size = m_database->get_FileSize(real, get_TableIDFromPath(dir), item.diskID, rowid);
    if (size <= 0 || !QFileInfo(dir).isDir())
        return false;
    const QFileInfoList files = QDir(dir).entryInfoList(musicFormatList, QDir::Files, QDir::Name);
    for (const QFileInfo &f : files) {
        if (f.size() != size)
            continue;
        item.filePath = f.absoluteFilePath();
        if (Is_DSDFile(f.suffix()))
            item.filePath += QStringLiteral("__M__0__M__1");
        item.fileName = get_RealMusicName(f.fileName());
        item.fileType = f.suffix().toLower();
        m_database->update_MusicInfo(&f, rowid, item.diskID);
        replaceSong(index, item);
        qCInfo(lcApp).noquote() << QStringLiteral("renamed file found again: %1").arg(f.absoluteFilePath());
        mediaPlay(index);
        return true;
    }
    return false;
}
