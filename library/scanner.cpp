#include "scanner.h"

#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "logging.h"
#include "mediapath.h"
#include "scannerdefs.h"
#include "volumepath.h"

#include <QDebug>
#include <QFileInfo>

#include <algorithm>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

// The longest single sleep: a stop request is noticed within this time.
constexpr Ms kSleepSlice{25};

} // namespace

Scanner::Scanner(QObject *parent)
    : QThread(parent)
{}

Scanner::~Scanner()
{
    stop_Scanner();
    wait();
    m_fence.joined();
}

void Scanner::beginRun(Mode mode, QThread::Priority priority)
{
    m_scanning = true;
    m_mode = mode;
    ++m_runId;
    m_foldersFound = mode == VolumeScan ? 1 : 0;
    m_foldersRead = 0;
    m_filesEntered = 0;
    m_sheetsRead = 0;
    m_sheetsSkipped = 0;
    m_namesSkipped = 0;
    m_refused = 0;
    start(priority);
}

bool Scanner::busy()
{
    if (!isRunning()) {
        m_fence.joined();
        return false;
    }
    if (m_scanning)
        return true;
    wait(); // only the end of run() is left
    m_fence.joined();
    return false;
}

void Scanner::setScanPath(const DiskInfo &disk, bool tempMode, int index, QList<TempInfoList> *out)
{
    if (busy())
        return;
    const QString listRoot = tempMode ? volumeRootOf(disk.diskPath) : QString();
    std::unique_lock<std::mutex> lock(m_lock);
    m_disk = disk;
    if (tempMode) {
        m_listRoot = listRoot.isEmpty() ? disk.diskPath : listRoot;
        m_listIndex = index;
        m_out = out;
        if (out)
            out->clear();
        m_withFolders = true;
        m_rowLimit = 0;
        m_stop = false;
        m_running = true;
        lock.unlock();
        beginRun(ListFolder, QThread::NormalPriority);
        return;
    }

    m_resume.clear();
    m_rootRow = 0;
    m_rootFresh = false;
    const bool usable = m_db && validSlot(disk) && disk.diskID > 0;
    if (usable) {
        m_db->Get_DBDirList_Path(&m_resume, &m_disk);
        const QString dirTable = get_DirTableName(&m_disk);
        const QString root = rootFolderKey();
        m_rootRow = m_db->Is_DataExist(dirTable, QStringLiteral("dirPath"), root, disk.diskID);
        if (m_rootRow <= 0) {
            m_rootRow = m_db->insert_Dir(dirTable, 0, root, disk.diskID);
            m_rootFresh = true;
        }
    }
    m_volumes = {disk};
    m_appendFlag = disk.appendToList;
    m_stopAppend = false;
    // A volume no longer mounted (or one the library cannot take) ends the
    // scan at once, unfinished.
    if (usable && m_rootRow > 0 && Check_DiskPath_Exist(disk.diskPath)) {
        m_stop = false;
        m_running = true;
    } else {
        m_stop = true;
        m_running = false;
    }
    lock.unlock();
    beginRun(VolumeScan, QThread::LowestPriority);
}

void Scanner::setInitPlayList(const QList<DiskInfo> &disks)
{
    if (busy())
        return;
    QStringList roots;
    for (const DiskInfo &d : disks) {
        const QString root = volumeRootOf(d.diskPath);
        roots << (root.isEmpty() ? d.diskPath : root);
    }
    std::unique_lock<std::mutex> lock(m_lock);
    m_initFolders = disks;
    m_initRoots = roots;
    m_disk = disks.value(0);
    m_speed = 20;
    m_stop = false;
    m_running = true;
    lock.unlock();
    beginRun(InitPlayList, QThread::NormalPriority);
}

void Scanner::setScanTmpMusicList(int mode)
{
    if ((mode != TmpFolder && mode != TmpNextFolder && mode != TmpPrevFolder) || busy())
        return;
    mediaTempPlayList.clear();
    std::unique_lock<std::mutex> lock(m_lock);
    const QString song = Get_RealFilePath(g_CurMusicPlay.filePath);
    m_songFolder = song.isEmpty() ? QString() : QFileInfo(song).absolutePath();
    m_volumes = UsingUSBDiskList;
    m_listIndex = mode;
    m_stop = false;
    m_running = true;
    lock.unlock();
    beginRun(Mode(mode), QThread::NormalPriority);
}

void Scanner::addScanPath(const DiskInfo &folder, int listIndex, bool withFolders, int rowLimit)
{
    if (busy())
        return;
    const QString root = volumeRootOf(folder.diskPath);
    std::unique_lock<std::mutex> lock(m_lock);
    m_disk = folder;
    m_listRoot = root.isEmpty() ? folder.diskPath : root;
    m_listIndex = listIndex;
    m_withFolders = withFolders;
    m_rowLimit = std::max(0, rowLimit);
    m_out = nullptr;
    m_stop = false;
    m_running = true;
    lock.unlock();
    beginRun(ListFolder, QThread::NormalPriority);
}

void Scanner::stop_Scanner()
{
    qCDebug(lcLibrary) << "#####  stop_Scanner~~~~~~~~~~~~~~" << m_listIndex;
    m_stop = true;
    m_running = false;
    std::unique_lock<std::mutex> lock(m_lock);
    m_volumes.clear();
    m_initFolders.clear();
    m_initRoots.clear();
}

int Scanner::scanInterval() const
{
    const int speed = m_speed;
    if (speed != 20)
        return speed;
    return g_TempData.inputSampleRate == 176400 || g_CurMusicPlay.isResample ? 350 : 18;
}

void Scanner::setScannerSpeed(int ms)
{
    m_speed = std::max(0, ms);
    qCDebug(lcLibrary) << "扫描间隔" << ms << scanInterval() << g_TempData.inputSampleRate.get()
                       << g_CurMusicPlay.isResample.get();
}

void Scanner::setStopAppendMusicList(bool stop, bool flag)
{
    m_appendFlag = flag;
    m_stopAppend = stop;
}

Scanner::Stats Scanner::stats() const
{
    Stats s;
    s.foldersFound = m_foldersFound;
    s.foldersRead = m_foldersRead;
    s.filesEntered = m_filesEntered;
    s.sheetsRead = m_sheetsRead;
    s.sheetsSkipped = m_sheetsSkipped;
    s.namesSkipped = m_namesSkipped;
    s.refused = m_refused;
    return s;
}

QString Scanner::scanPath() const
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_disk.diskPath;
}

void Scanner::run()
{
    const RunFence::Scope ended(m_fence);
    m_threadRunId = m_runId; // written before start(), unchanged while this run goes on
    m_lastPace = Clock::now();
    emit scanStart();
    switch (m_mode) {
    case VolumeScan:
        logVolumeScan(true);
        runVolumeScan(); // logs the end itself, before it reports it
        break;
    case ListFolder:
        runListFolder();
        break;
    case InitPlayList:
        runInitPlayList();
        break;
    default:
        runTempList();
        break;
    }
    m_running = false;
    qCDebug(lcLibrary) << "====sacnner over======"
                       << " stop scan:" << (m_stop ? "true" : "false");
}

// A volume's scan in the log: its start (and what an earlier scan already
// read) and its end, with the songs entered and those of the volume.
void Scanner::logVolumeScan(bool starting)
{
    const DiskInfo disk = m_disk;
    if (starting) {
        m_scanClock.start();
        const int read =
            int(std::count_if(m_resume.cbegin(), m_resume.cend(), [](const MediaInfo &m) { return m.readOver != 0; }));
        qCInfo(lcLibrary).noquote() << QStringLiteral("scan of volume %1 (%2) started%3")
                                           .arg(QString::number(disk.diskID), disk.diskPath,
                                                read > 0 ? QStringLiteral(", %1 folders read before").arg(read)
                                                         : QString());
        return;
    }
    const int songs = m_db && validSlot(disk) ? m_db->Count_SongsFromDiskID(disk) : 0;
    qCInfo(lcLibrary).noquote()
        << QStringLiteral("scan of volume %1 (%2) %3: %4 songs entered, %5 on the volume; %6 folders read, %7 s")
               .arg(QString::number(disk.diskID), disk.diskPath,
                    m_stop ? QStringLiteral("stopped unfinished") : QStringLiteral("ended"),
                    QString::number(m_filesEntered.load()), QString::number(songs),
                    QString::number(m_foldersRead.load()), QString::number(m_scanClock.elapsed() / 1000.0, 'f', 1));
}

void Scanner::pace()
{
    if (m_batchOpen && scanInterval() > 0)
        closeBatch();
    const Clock::time_point entered = Clock::now();
    Clock::time_point deadline = entered;
    while (!m_stop) {
        const int interval = scanInterval();
        if (interval <= 0) {
            deadline = Clock::now();
            break;
        }
        // At least a quarter of the interval is always slept, even when the
        // work since the last pacing point took longer than the interval.
        deadline = std::max(m_lastPace + Ms(interval), entered + Ms(interval / 4));
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            break;
        std::this_thread::sleep_for(std::min<Clock::duration>(deadline - now, kSleepSlice));
    }
    m_lastPace = deadline;
}

void Scanner::handOver(const QList<MediaObjectInfo> &items)
{
    if (items.isEmpty() || !m_appendFlag || m_stopAppend || g_CurMusicPlay.musiclistType != ListAllSongs)
        return;
    // The play list belongs to the GUI thread: the songs are inserted there,
    // where the flags are looked at again.
    inGuiThread([this, items] {
        for (const MediaObjectInfo &item : items) {
            if (!m_appendFlag || m_stopAppend || g_CurMusicPlay.musiclistType != ListAllSongs)
                return;
            DiskInfo volume;
            volume.diskID = item.diskID;
            // A song the list already holds came with a reload from the library.
            if (!DiskInfo_Compare(volume) || mediaObjectInfoList.contains(item))
                continue;
            const int at = std::clamp(GetInsertMuiscListIndex(item.diskID, true), 0, int(mediaObjectInfoList.size()));
            mediaObjectInfoList.insert(at, item);
            emit updateMusicIndex();
            emit musiclistChanged();
        }
    });
}
