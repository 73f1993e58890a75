#include "checkdiskclass.h"

#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "listmount.h"
#include "logging.h"
#include "mediapath.h"
#include "scanner.h"

#include <QDebug>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace {

QTimer *makeTimer(QObject *parent, int ms, bool singleShot)
{
    auto *t = new QTimer(parent);
    t->setInterval(ms);
    t->setSingleShot(singleShot);
    return t;
}

bool lies(const QString &path, const QString &mountPoint)
{
    return !mountPoint.isEmpty() && path.startsWith(mountPoint + QLatin1Char('/'));
}

} // namespace

CheckDiskClass::CheckDiskClass(QObject *parent)
    : QObject(parent)
{
    m_playDelayTimer = makeTimer(this, 6000, true);
    m_initPauseTimer = makeTimer(this, 6000, true);
    m_rereadTimer = makeTimer(this, 2000, false);
    m_searchDirTimer = makeTimer(this, 2000, false);
    m_initRetryTimer = makeTimer(this, 9000, true);
    connect(m_playDelayTimer, &QTimer::timeout, this, &CheckDiskClass::onPlayDelay);
    connect(m_initPauseTimer, &QTimer::timeout, this, [this] {
        m_initPauseTimer->stop();
        m_initPaused = false;
    });
    connect(m_rereadTimer, &QTimer::timeout, this, &CheckDiskClass::Slot_RereadMuiscListTimer);
    connect(m_searchDirTimer, &QTimer::timeout, this, &CheckDiskClass::Slot_SearchDirTimer);
    // One retry pending at a time, however often the check is refused.
    connect(m_initRetryTimer, &QTimer::timeout, this, [this] { Slot_InitMusicListCheck(false); });

    m_listMount = new ListMount(this);
    const auto q = Qt::QueuedConnection;
    connect(m_listMount, &ListMount::sig_disk_insert, this, &CheckDiskClass::Slot_CheckForApp, q);
    connect(m_listMount, &ListMount::sig_path_added, this, &CheckDiskClass::storage_mounted, q);
    connect(m_listMount, &ListMount::sig_path_removed, this, &CheckDiskClass::storage_unmounted, q);
    connect(m_listMount, &ListMount::sig_path_join, this, &CheckDiskClass::Slot_JoinDisk_InitDBMuiscList, q);
    connect(
        m_listMount, &ListMount::sig_initmusiclist, this, [this] { Slot_InitMusicListCheck(false); }, q);
    connect(m_listMount, &ListMount::sig_checkDisk, this, &CheckDiskClass::Check_StorageDisk_Exist, q);
    connect(m_listMount, &ListMount::sig_MediaPathChanged, this, &CheckDiskClass::Slot_MediaPathChanged, q);
    connect(m_listMount, &ListMount::sig_MacNotSupport, this, &CheckDiskClass::sig_MacNotSupport, q);
    connect(m_listMount, &ListMount::sig_readingUSB, this, &CheckDiskClass::sig_readingUSB, q);
    connect(m_listMount, &ListMount::sig_limited, this, &CheckDiskClass::usblimited, q);
    // Queued: the timer lives in this thread.
    connect(
        m_listMount, &ListMount::sig_RereadMuiscList, this, [this] { m_rereadTimer->start(2000); }, q);
    m_listMount->start();
}

CheckDiskClass::~CheckDiskClass()
{
    m_listMount->stop();
    if (m_scanner)
        m_scanner->stop_Scanner();
    if (m_initScanner)
        m_initScanner->stop_Scanner();
    m_listMount->wait();
}

void CheckDiskClass::setDataBase(DataBase *db)
{
    m_db = db;
    if (!m_scanner) {
        m_scanner = new Scanner(this);
        connect(m_scanner, &Scanner::scanOver, this, &CheckDiskClass::Slot_ScanDiskOver);
        connect(m_scanner, &Scanner::updateMusicIndex, this, &CheckDiskClass::updateMusicIndex, Qt::QueuedConnection);
        connect(m_scanner, &Scanner::musiclistChanged, this, &CheckDiskClass::onScannerListChanged);
    }
    m_scanner->setDataBase(db);
    if (m_initScanner)
        m_initScanner->setDataBase(db);
    m_listMount->setDataBase(db);
}

bool CheckDiskClass::IS_Scanning() const
{
    return m_scanner && m_scanner->isScanning();
}

bool CheckDiskClass::isInitListBuilding() const
{
    return m_initScanner && m_initScanner->isScanning();
}

void CheckDiskClass::stopMusicScanner()
{
    if (m_scanner)
        m_scanner->stop_Scanner();
}

void CheckDiskClass::StopInitplaylist()
{
    m_searchDirTimer->stop();
    m_searchDirTries = 0;
    if (m_initScanner && m_initScanner->isScanning()) {
        m_initScanner->stop_Scanner();
        g_TempData.listLoading = false;
    }
}

void CheckDiskClass::SetStopAppendMusicList(bool stop)
{
    if (m_scanner)
        m_scanner->setStopAppendMusicList(stop, true);
}

void CheckDiskClass::setDelayPlayMusicTimer()
{
    m_playDelayTimer->start(6000);
}

void CheckDiskClass::setStopPlayMusicTimer()
{
    m_playDelayTimer->stop();
}

void CheckDiskClass::setStopInitMuiscList()
{
    if (!IS_Scanning())
        return;
    m_initPaused = true;
    m_initPauseTimer->start(6000);
}

void CheckDiskClass::setMusicScannerSpeed(int ms)
{
    if (m_scanner)
        m_scanner->setScannerSpeed(ms);
}

bool CheckDiskClass::canInitMusicList() const
{
    return !g_TempData.listLoading && currentSource() == SourceUsb && g_CurMusicPlay.playState != PlayPlaying
           && !upgrading() && !UsingUSBDiskList.isEmpty() && !m_initPaused && playerReady();
}

void CheckDiskClass::Slot_InitMusicListCheck(bool first)
{
    if (canInitMusicList()) {
        m_initRetryTimer->stop();
        emit initMuiscList(first);
    } else {
        m_initRetryTimer->start(9000);
    }
}

void CheckDiskClass::onScannerListChanged()
{
    if (canInitMusicList())
        emit initMuiscList(true);
    emit musiclistChanged();
}

// The delayed start of playback: the last song resumes once the volumes
// had time to appear, unless the user paused or something already plays.
void CheckDiskClass::onPlayDelay()
{
    if (UsingUSBDiskList.isEmpty() || currentSource() != SourceUsb || upgrading()
        || g_CurMusicPlay.playState == PlayPlaying || g_TempData.usbPaused)
        return;
    emit initFistPlay();
}

void CheckDiskClass::Check_StorageDisk_Exist(bool added)
{
    Q_UNUSED(added);
    emit updateUSBICO();
    Slot_InitMusicListCheck(false);
    if (m_scanQueue.isEmpty() && !UsingUSBDiskList.isEmpty()) {
        QTimer::singleShot(3000, this, [this] {
            if (m_scanQueue.isEmpty() && !UsingUSBDiskList.isEmpty())
                emit setScanAblum(true);
        });
    }
    m_shell.Check_rcc_file(false);
}

void CheckDiskClass::storage_mounted(const DiskInfo &disk)
{
    qCDebug(lcLibrary) << "\n[Mounted] --> " + disk.diskPath;
    m_shell.Check_rcc_file(false);
    record_StorageDisk(disk);
    emit diskChanged();
}

bool CheckDiskClass::record_StorageDisk(const DiskInfo &disk)
{
    for (const DiskInfo &q : qAsConst(m_scanQueue)) {
        if (q.diskPath == disk.diskPath)
            return false;
    }
    m_scanQueue.append(disk);
    qCDebug(lcLibrary) << "#### 新增  scan～～～～～～～～～～～～～" << (IS_Scanning() ? "true" : "false");
    if (IS_Scanning()) {
        // The volume waits for the end of the scan running now.
        m_playDelayTimer->start(6000);
        return true;
    }
    Slot_InitMusicListCheck(false);
    QTimer::singleShot(6000, this, &CheckDiskClass::startQueuedScan);
    m_playDelayTimer->start(6000);
    return true;
}

void CheckDiskClass::startQueuedScan()
{
    if (!m_scanner || IS_Scanning() || upgrading() || m_scanQueue.isEmpty())
        return;
    emit sig_StopAblumScan();
    DiskInfo disk = m_scanQueue.first();
    // New songs join the play list when it is the list of every volume's songs.
    disk.appendToList = g_CurMusicPlay.musiclistType == ListAllSongs;
    m_scanner->setScanPath(disk, false, 0, nullptr);
}

void CheckDiskClass::DelayToSetScanPath()
{
    QTimer::singleShot(3500, this, &CheckDiskClass::startQueuedScan);
}

void CheckDiskClass::Clear_ScanList(const QString &path)
{
    m_scanQueue.erase(
        std::remove_if(m_scanQueue.begin(), m_scanQueue.end(), [&](const DiskInfo &d) { return d.diskPath == path; }),
        m_scanQueue.end());
}

void CheckDiskClass::Slot_ScanDiskOver(bool unfinished, const QString &path)
{
    for (const DiskInfo &d : qAsConst(m_scanQueue)) {
        if (d.diskPath == path && m_db) {
            m_db->update_DiskInfo(d, unfinished ? 1 : 2, QStringLiteral("status"));
            break;
        }
    }
    if (!path.isEmpty() && QString(g_CurMusicPlay.filePath).contains(path))
        emit updateMusicIndex();
    Clear_ScanList(path);
    if (m_db)
        m_db->Check_DiskInfo();
    DelayToSetScanPath();
    Slot_InitMusicListCheck(false);
    if (!m_scanQueue.isEmpty())
        return;
    if (!UsingUSBDiskList.isEmpty()) {
        emit setScanAblum(false);
        if (!Check_USBDisk_hasSongs())
            emit noSongs();
    }
    emit musiclistChanged();
    if (g_CurMusicPlay.musiclistType == ListSearch && !unfinished)
        Slot_RereadMuiscListTimer();
}

void CheckDiskClass::storage_unmounted(const DiskInfo &disk)
{
    qCDebug(lcLibrary) << "#### unmounted disk>>> " + disk.diskPath;
    if (m_scanner)
        m_scanner->setStopAppendMusicList(true, false);
    emit sig_PauseDelay();
    if (m_db && m_db->get_DiskState(disk) == 2)
        m_db->update_DiskInfo(disk, 3, QStringLiteral("status"));
    if (IS_Scanning() && m_scanner->mode() == Scanner::VolumeScan && m_scanner->scanPath() == disk.diskPath)
        m_scanner->stop_Scanner();
    Clear_ScanList(disk.diskPath);
    DelayToSetScanPath();
    if (lies(g_CurMusicPlay.filePath, disk.diskPath)) {
        emit stopPlay();
        mediaObjectInfoList.clear();
        if (UsingUSBDiskList.isEmpty()) {
            emit hidePlayerGui();
            emit ini_mediainfo(disk.diskPath);
        } else {
            emit sig_readingUSB();
            m_rereadTimer->start(2000);
        }
    }
    if (UsingUSBDiskList.isEmpty()) {
        mediaObjectInfoList.clear();
        emit hidePlayerGui();
        emit dialoutDisk(disk.diskPath);
    }
}

void CheckDiskClass::Slot_JoinDisk_InitDBMuiscList(const DiskInfo &disk)
{
    if (m_scanner)
        m_scanner->setStopAppendMusicList(true, true);
    qCInfo(lcLibrary).noquote() << QStringLiteral("~~~~~~~~~~~~~~~~33333~~~~~~read data~~~~~~~~~~~~~~~~~~~");
    // Songs the list still holds from the volume's last visit would come twice.
    mediaObjectInfoList.erase(std::remove_if(mediaObjectInfoList.begin(), mediaObjectInfoList.end(),
                                             [&](const MediaObjectInfo &m) { return m.diskID == disk.diskID; }),
                              mediaObjectInfoList.end());
    if (m_db)
        m_db->getDiskMusicList(disk, true);
    g_TempData.diskJoinPending = false;
    SetStopAppendMusicList(false);
}

void CheckDiskClass::Slot_RereadMuiscListTimer()
{
    m_rereadTimer->stop();
    if (m_scanner)
        m_scanner->setStopAppendMusicList(true, false);
    emit sig_ReloadMuiscList();
}

void CheckDiskClass::Slot_MediaPathChanged(const DiskInfo &old)
{
    m_oldMedia = old;
    // The old mount point is gone: a scan of it would end at once, unfinished.
    Clear_ScanList(old.diskPath);
    if (lies(g_CurMusicPlay.filePath, old.diskPath)) {
        QTimer::singleShot(2000, this, [this, old] {
            for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
                if (d.diskPath == old.diskPath || d.diskSizes != old.diskSizes || d.diskAvailSize != old.diskAvailSize)
                    continue;
                const QString path = g_CurMusicPlay.filePath;
                if (!lies(path, old.diskPath))
                    return;
                g_CurMusicPlay.filePath = d.diskPath + path.mid(old.diskPath.size());
                const QString selected = g_CurMusicPlay.selectFilePath;
                if (lies(selected, old.diskPath))
                    g_CurMusicPlay.selectFilePath = d.diskPath + selected.mid(old.diskPath.size());
                emit sig_mediaplay();
                return;
            }
        });
    }
    m_rereadTimer->start(6000);
}

void CheckDiskClass::Slot_CheckForApp(const DiskInfo &disk)
{
    if (m_appList)
        m_appList(disk);
}

void CheckDiskClass::Check_CurSong_DiskExist()
{
    const QString path = g_CurMusicPlay.filePath;
    if (path != m_lastCheckedSong)
        m_lastCheckedSong = path;
    const QString real = Get_RealFilePath(path);
    if (real.isEmpty() || QFileInfo::exists(real))
        return;
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (!lies(real, d.diskPath))
            continue;
        // One missing file on a working stick is no reason to drop the
        // stick: only a volume whose root no longer lists is forced out.
        if (GetRootFilesNumbers(d.diskPath) > 0)
            return;
        const QString mp = shellQuote(d.diskPath);
        executeLinuxCmd(QStringLiteral("umount -vfl ") + mp, 4000);
        if (GetRootFilesNumbers(d.diskPath) == 0)
            executeLinuxCmd(QStringLiteral("rm -r ") + mp, 4000);
        executeLinuxCmd(QStringLiteral("sync"), 4000);
        return;
    }
}

bool CheckDiskClass::DefaultMusicPlayList()
{
    g_CurMusicPlay.playState = PlayStopped;
    g_CurMusicPlay.currentPosition = 0;
    g_CurMusicPlay.duration = 0;
    g_CurMusicPlay.startOffset = 0;
    g_CurMusicPlay.decodedTime = 0;
    g_CurMusicPlay.tailStart = false;
    g_CurMusicPlay.seeking = false;
    g_TempData.resumePending = false;
    g_TempData.listLoading = false;
    g_TempData.diskJoinPending = false;
    if (m_db) {
        m_db->update_Config(QStringLiteral("musiclistType"), QString::number(ListAllSongs));
        m_db->update_Config(QStringLiteral("playMode"), QString::number(ModeListOrder));
    }
    g_CurMusicPlay.musiclistType = ListAllSongs;
    g_CurMusicPlay.playMode = ModeListOrder;
    emit ini_mediainfo(QString());
    emit resetplayMode();
    mediaObjectInfoList.clear();
    return true;
}

void CheckDiskClass::Slot_SearchDirTimer()
{
    m_searchDirTimer->stop();
    initCurMusicListFromPath(false);
}

void CheckDiskClass::initCurMusicListFromPath(bool first)
{
    Q_UNUSED(first);
    const QString dir = g_CurMusicPlay.curDirPath;
    const DiskInfo *volume = nullptr;
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (!dir.isEmpty() && (dir == d.diskPath || lies(dir, d.diskPath))) {
            volume = &d;
            break;
        }
    }
    if (!volume) {
        if (m_searchDirTries < 4) {
            ++m_searchDirTries;
            m_searchDirTimer->start(2000);
            return;
        }
        m_searchDirTries = 0;
        m_searchDirTimer->stop();
        if (UsingUSBDiskList.isEmpty())
            DefaultMusicPlayList();
        else
            m_playDelayTimer->start(6000);
        return;
    }
    m_searchDirTries = 0;
    if (m_scanner)
        m_scanner->setStopAppendMusicList(true, true);
    mediaObjectInfoList.clear();
    m_searchDirTimer->stop();
    if (!m_initScanner) {
        m_initScanner = new Scanner(this);
        m_initScanner->setDataBase(m_db);
        connect(m_initScanner, &Scanner::updateMusicIndex, this, &CheckDiskClass::updateMusicIndex);
        connect(m_initScanner, &Scanner::musiclistChanged, this, &CheckDiskClass::musiclistChanged);
        connect(m_initScanner, &Scanner::scanOverFileManage, this, [this] {
            g_TempData.listLoading = false;
            Slot_InitMusicListCheck(false);
        });
    }
    if (m_initScanner->isRunning()) {
        m_initScanner->stop_Scanner();
        m_initScanner->wait();
    }
    DiskInfo folder = *volume;
    folder.diskPath = dir;
    g_TempData.listLoading = true;
    m_initScanner->setInitPlayList({folder});
}
