// TrackMainForm: filling pages from the library and from folder listings,
// the album/artist pass, and playing what is chosen.
#include "logging.h"
#include "trackmainform.h"

#include "database.h"
#include "globals.h"
#include "listviewwidget.h"
#include "scanablumartist.h"
#include "scanner.h"
#include "sqltext.h"

#include <QLabel>
#include <QMutexLocker>
#include <QTimer>

// ------------------------------------------------------------ filling

void TrackMainForm::startListing(Page *page)
{
    if (m_listScanner->isRunning()) {
        m_listScanner->stop_Scanner();
        m_listScanner->wait();
    }
    m_fillingId = page->id;
    page->complete = false;
    page->noData = false;
    ++m_reads;
    m_loadingTimer->start();
    updateStatus();
    // The volume scan nearly rests while a folder is listed.
    emit setMusicScanSpeed(5000);
    DiskInfo folder = page->disk;
    folder.diskPath = page->path;
    m_listScanner->setScanPath(folder, true, page->id, &m_bufList);
}

void TrackMainForm::startQuery(Page *page)
{
    if (!m_db)
        return;
    m_fillingId = page->id;
    page->complete = false;
    page->noData = false;
    ++m_reads;
    m_loadingTimer->start();
    updateStatus();
    m_db->setSearchConfig(page->id, page->searchType, &m_bufList, page->searchKey, false);
}

void TrackMainForm::cancelFilling()
{
    if (m_fillingId == NoPage)
        return;
    const Page *p = pageById(m_fillingId);
    if (p && p->kind == DirPage) {
        m_listScanner->stop_Scanner();
        emit setMusicScanSpeed(20);
    } else if (m_db) {
        m_db->stop();
    }
    m_fillingId = NoPage;
    m_loadingTimer->stop();
    if (m_db) {
        QMutexLocker lock(m_db->resultLock());
        m_bufList.clear();
    }
}

void TrackMainForm::Slot_readDiskInfo(const ListInfo &info, int listIndex)
{
    if (listIndex != m_fillingId)
        return;
    Page *page = pageById(listIndex);
    if (!page)
        return;
    page->rows.append(info);
    if (page->shown < ChunkRows && page->shown == page->rows.size() - 1) {
        page->view->setListData(displayRow(page, info));
        ++page->shown;
    }
    if (page->rows.size() == 1) {
        m_loadingTimer->stop();
        updateStatus();
    }
}

void TrackMainForm::Slot_readDBOver()
{
    if (m_fillingId == NoPage || !m_db || m_db->isRunning())
        return;
    Page *page = pageById(m_fillingId);
    if (!page || page->kind != SearchLevel)
        return;
    LoadBufListDataToWidget(page);
    finishFilling(page, true);
}

void TrackMainForm::Slot_ReadDataOver(bool scanOver, int curdirID)
{
    emit setMusicScanSpeed(20);
    if (curdirID != m_fillingId)
        return;
    Page *page = pageById(curdirID);
    if (!page || page->kind != DirPage)
        return;
    LoadBufListDataToWidget(page);
    finishFilling(page, scanOver);
}

void TrackMainForm::LoadBufListDataToWidget(Page *page)
{
    QList<ListInfo> rows;
    {
        QMutexLocker lock(m_db ? m_db->resultLock() : nullptr);
        for (const TempInfoList &t : qAsConst(m_bufList)) {
            if (t.secondId == page->id)
                rows.append(t.info);
        }
        m_bufList.clear();
    }
    page->rows += rows;
    if (page->kind == DirPage) {
        page->folders = 0;
        for (const ListInfo &r : qAsConst(page->rows)) {
            if (r.type == Scanner::FolderRow)
                ++page->folders;
        }
    }
    topUp(page);
}

void TrackMainForm::finishFilling(Page *page, bool complete)
{
    page->complete = complete;
    m_fillingId = NoPage;
    m_loadingTimer->stop();
    if (page->rows.isEmpty() && page->noData && page->kind == SearchLevel
        && ((m_scanning && m_scanning()) || (m_albumScan && m_albumScan->isRunning()))) {
        // The library has nothing yet: the scan still enters songs.
        page->complete = false;
        m_rereadTimer->start();
    }
    if (page == current() && !m_reselect.isEmpty())
        selectRowByText(m_reselect);
    m_reselect.clear();
    Check_Page_ExistData(page);
}

void TrackMainForm::Check_Page_ExistData(Page *page)
{
    if (page == current())
        updateStatus();
}

void TrackMainForm::Slot_NoneDBData()
{
    if (Page *page = pageById(m_fillingId))
        page->noData = true;
}

// Reads the level shown again: one the library had nothing for yet, or an
// artist or album level the tag pass has filled in since.
void TrackMainForm::Slot_RereadDBdataTimer()
{
    m_rereadTimer->stop();
    Page *page = current();
    if (!page || page->kind != SearchLevel || isFilling() || !isReady())
        return;
    const QString at = page->view->currentRow() >= 0 ? page->rows.value(page->view->currentRow()).title : QString();
    page->rows.clear();
    page->shown = 0;
    page->view->clear();
    m_reselect = at;
    startQuery(page);
}

// ------------------------------------------------------------ the album/artist pass

bool TrackMainForm::albumLevelShown() const
{
    const Page *p = current();
    return p && p->kind == SearchLevel && p->searchKey.isEmpty()
           && (p->searchType == SearchArtist || p->searchType == SearchAlbum);
}

void TrackMainForm::startAlbumScan(bool late)
{
    if (!m_db)
        return;
    if (!m_albumScan) {
        m_albumScan = new ScanAblumArtist(this);
        m_albumScan->setDataBase(m_db);
        connect(m_albumScan, &ScanAblumArtist::scanOver, this, [this] {
            if (albumLevelShown())
                m_albumTimer->start(0);
            // A request that came while this pass ran (or was stopping).
            QTimer::singleShot(0, this, &TrackMainForm::tryPendingAlbumScan);
        });
    }
    if (m_albumScan->isRunning())
        return;
    m_albumScan->setStartLate(late);
    m_albumScan->start(QThread::LowPriority);
}

void TrackMainForm::tryPendingAlbumScan()
{
    if (!m_albumScanPending || m_searchShown || (m_albumScan && m_albumScan->isRunning()))
        return;
    m_albumScanPending = false;
    startAlbumScan(m_albumScanLate);
}

// A request of the disk checker (after a volume came or its scan ended):
// new songs may lack their tags. It waits for a pass still running (or
// stopping) to end, and while a search page is shown for it to be left,
// so the rows shown do not change under the knob.
void TrackMainForm::Slot_ScanAblumInfo(bool mSleep)
{
    m_albumScanPending = true;
    m_albumScanLate = mSleep;
    tryPendingAlbumScan();
}

void TrackMainForm::Stop_ScanAblumThread()
{
    // A volume scan starts: the pass steps aside; the scan's end asks again.
    m_albumScanPending = false;
    if (m_albumScan && m_albumScan->isRunning())
        m_albumScan->StopScan();
}

// ------------------------------------------------------------ playing

QList<MediaObjectInfo> TrackMainForm::pageItems(const Page *page) const
{
    QMutexLocker lock(m_db ? m_db->resultLock() : nullptr);
    return page->id < TempMediaObjectList.size() ? TempMediaObjectList.at(page->id).mediaList
                                                 : QList<MediaObjectInfo>();
}

QString TrackMainForm::searchConfig(int type, const QString &key)
{
    return key.isEmpty() ? QString::number(type) : QString::number(type) + QStringLiteral("__M__") + key;
}

// The chosen item becomes the one the controller looks for in the lists:
// an index refresh between the choice and the start finds it, not the song
// that played before.
void TrackMainForm::markChosen(const MediaObjectInfo &item)
{
    g_CurMusicPlay.selectFileType = item.fileType;
    g_CurMusicPlay.selectFileName = item.fileName;
    g_CurMusicPlay.selectFilePath = item.filePath;
    g_CurMusicPlay.selectDiskID = item.diskID;
}

void TrackMainForm::playFromDirectory(const Page *page, int song)
{
    const QList<MediaObjectInfo> items = pageItems(page);
    if (song < 0 || song >= items.size())
        return;
    qCInfo(lcUi).noquote() << QStringLiteral("browser: plays \"%1\" (song %2 of \"%3\")")
                                  .arg(items.at(song).fileName)
                                  .arg(song)
                                  .arg(page->title);
    if (g_CurMusicPlay.playMode == ModeShuffleAll) {
        Search_SelectMusic(items.at(song));
        return;
    }
    emit stopinitlist();
    markChosen(items.at(song));
    Set_CurMusicList(true, page->path, items);
    emit playIndexMusic(song);
}

void TrackMainForm::playFromSearch(const Page *page, int row)
{
    const QList<MediaObjectInfo> items = pageItems(page);
    if (row < 0 || row >= items.size())
        return;
    qCInfo(lcUi).noquote() << QStringLiteral("browser: plays \"%1\" (row %2 of \"%3\")")
                                  .arg(items.at(row).fileName)
                                  .arg(row)
                                  .arg(page->title);
    if (g_CurMusicPlay.playMode == ModeShuffleAll) {
        Search_SelectMusic(items.at(row));
        return;
    }
    // A search result has no directory to repeat or shuffle.
    if (g_CurMusicPlay.playMode == ModeRepeatDir || g_CurMusicPlay.playMode == ModeShuffleDir) {
        g_CurMusicPlay.playMode = ModeListOrder;
        if (m_db)
            m_db->update_Config(QStringLiteral("playMode"), QStringLiteral("0"));
        emit playmodeChanged();
    }
    emit stopinitlist();
    markChosen(items.at(row));
    Set_CurMusicList(false, searchConfig(page->searchType, page->searchKey), items);
    emit playIndexMusic(row);
}

void TrackMainForm::Set_CurMusicList(bool directory, const QString &text, const QList<MediaObjectInfo> &items)
{
    mediaTempPlayList.clear();
    mediaObjectInfoList = items;
    if (m_db)
        m_db->update_MusicListTypeAndPath(text, directory ? ListDirectory : ListSearch);
    emit musiclistChanged();
    emit initMuiscList();
}

// Play mode 4 shuffles every song: the list becomes all songs of every
// mounted disk and the chosen one plays within it.
void TrackMainForm::Search_SelectMusic(const MediaObjectInfo &item)
{
    emit stopinitlist();
    markChosen(item);
    mediaTempPlayList.clear();
    mediaObjectInfoList.clear();
    if (m_db) {
        m_db->update_MusicListTypeAndPath(QString(), ListAllSongs);
        const QList<DiskInfo> disks = UsingUSBDiskList;
        for (const DiskInfo &d : disks)
            m_db->getDiskMusicList(d, false);
    }
    qCInfo(lcUi).noquote() << QStringLiteral("~~~~~~~~~~~~~~~~2222~~~~~~read data~~~~~~~~~~~~~~~~~~~");
    const int at = mediaObjectInfoList.indexOf(item);
    emit musiclistChanged();
    if (at >= 0) {
        mediaTempPlayList.clear();
        emit playIndexMusic(at);
    } else {
        emit playsingleSong(item);
    }
    emit ini_mediainfo(
        QStringList{get_Omitpath(item.filePath), QString::number(item.diskID), item.fileType, item.fileName}.join(
            QStringLiteral("__RS__")));
}
