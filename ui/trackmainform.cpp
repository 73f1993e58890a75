// TrackMainForm: the pages, their history and the keys.
#include "trackmainform.h"
#include "logging.h"

#include "animationpack.h"
#include "custommessage.h"
#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "listviewwidget.h"
#include "scanablumartist.h"
#include "scanner.h"
#include "uiassets.h"

#include <QEvent>
#include <QLabel>
#include <QMutexLocker>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kNoFileKind = 4000;

// The search page's rows: the search type is the row's id.
struct SearchRow {
    const char *title;
    const char *icon;
};
const SearchRow kSearchRows[] = {
    {QT_TRANSLATE_NOOP("TrackMainForm", "艺术家"), "icon_songer"},
    {QT_TRANSLATE_NOOP("TrackMainForm", "专辑"), "icon_ablum"},
    {QT_TRANSLATE_NOOP("TrackMainForm", "歌曲"), "icon_songname"},
    {QT_TRANSLATE_NOOP("TrackMainForm", "文件格式"), "icon_format"},
    {QT_TRANSLATE_NOOP("TrackMainForm", "日期"), "icon_date"},
    {QT_TRANSLATE_NOOP("TrackMainForm", "文件大小"), "icon_filesize"},
};

bool isCategory(int type, const QString &key)
{
    return key.isEmpty() && (type == SearchArtist || type == SearchAlbum || type == SearchFileType);
}

} // namespace

TrackMainForm::TrackMainForm(DataBase *db, Loading *loading, CustomMessage *popup, QWidget *parent)
    : QWidget(parent)
    , m_db(db)
    , m_loading(loading)
    , m_popup(popup)
    , m_listScanner(new Scanner(this))
    , m_animation(new AnimationPack(this))
    , m_status(new QLabel(this))
    , m_rereadTimer(new QTimer(this))
    , m_albumTimer(new QTimer(this))
    , m_loadingTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("trackMainForm"));
    QWidget::setWindowTitle(tr("曲目管理"));
    resize(Width, Height);
    m_status->setObjectName(QStringLiteral("browserStatus"));
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setGeometry(0, 0, Width, Height);
    m_status->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_status->hide();

    m_listScanner->setDataBase(db);
    connect(m_listScanner, &Scanner::scanOverFileManage, this,
            [this](bool unfinished, int index) { Slot_ReadDataOver(!unfinished, index); });
    // The worker's end finishes a page whose rows came ten, then the rest.
    if (m_db)
        connect(m_db, &QThread::finished, this, &TrackMainForm::Slot_readDBOver, Qt::QueuedConnection);
    connect(m_animation, &AnimationPack::animatFinish, this, [this] { Del_AnimatFinish_Widget(true); });
    connect(m_animation, &AnimationPack::freeWidgetID, this, &TrackMainForm::Slot_FreeListWidget);

    m_rereadTimer->setSingleShot(true);
    m_rereadTimer->setInterval(RereadMs);
    connect(m_rereadTimer, &QTimer::timeout, this, &TrackMainForm::Slot_RereadDBdataTimer);
    m_albumTimer->setSingleShot(true);
    m_albumTimer->setInterval(AlbumScanMs);
    connect(m_albumTimer, &QTimer::timeout, this, [this] {
        if (m_albumScan && m_albumScan->isRunning()) {
            if (albumLevelShown())
                m_albumTimer->start();
            return;
        }
        // The pass is over: the artists and albums it found fill the level in.
        if (albumLevelShown() && !isFilling())
            Slot_RereadDBdataTimer();
    });
    m_loadingTimer->setSingleShot(true);
    m_loadingTimer->setInterval(LoadingDelayMs);
    connect(m_loadingTimer, &QTimer::timeout, this, &TrackMainForm::updateStatus);

    buildFirstPage();
}

TrackMainForm::~TrackMainForm()
{
    m_listScanner->stop_Scanner();
    m_listScanner->wait();
    if (m_albumScan) {
        m_albumScan->StopScan();
        m_albumScan->wait();
    }
    if (m_db && m_fillingId != NoPage) {
        m_db->stop();
        m_db->waitForSearch(ULONG_MAX);
    }
    for (Page *p : qAsConst(m_stack))
        delete p;
    for (Page *p : qAsConst(m_cached))
        delete p;
    delete m_leaving;
}

// ------------------------------------------------------------ pages

TrackMainForm::Page *TrackMainForm::newPage(PageKind kind, const QString &title)
{
    auto *p = new Page;
    p->kind = kind;
    p->title = title;
    // The smallest id no live page holds: it is also the page's entry in
    // TempMediaObjectList.
    QList<int> used;
    for (const Page *q : qAsConst(m_stack))
        used.append(q->id);
    for (const Page *q : qAsConst(m_cached))
        used.append(q->id);
    if (m_leaving)
        used.append(m_leaving->id);
    int id = 1;
    while (used.contains(id) || id == m_fillingId)
        ++id;
    p->id = kind == FirstPage ? 0 : id;
    p->view = new ListViewWidget(this);
    p->view->setGeometry(0, 0, Width, Height);
    p->view->hide();
    return p;
}

TrackMainForm::Page *TrackMainForm::takeCached(PageKind kind, const QString &path, int searchType, const QString &key)
{
    for (int i = m_cached.size() - 1; i >= 0; --i) {
        Page *p = m_cached.at(i);
        if (p->kind != kind)
            continue;
        const bool same = kind == DirPage         ? p->path == path
                          : kind == SearchLevel   ? p->searchType == searchType && p->searchKey == key
                          : kind == PartitionPage ? p->disk.port == searchType
                                                  : true;
        if (same)
            return m_cached.takeAt(i);
    }
    return nullptr;
}

TrackMainForm::Page *TrackMainForm::pageById(int id) const
{
    for (Page *p : m_stack) {
        if (p->id == id)
            return p;
    }
    return nullptr;
}

void TrackMainForm::deletePage(Page *page)
{
    if (!page)
        return;
    if (page->id == m_fillingId)
        cancelFilling();
    if (page->id > 0 && m_db) {
        QMutexLocker lock(m_db->resultLock());
        if (page->id < TempMediaObjectList.size())
            TempMediaObjectList[page->id].mediaList.clear();
    }
    page->view->deleteLater();
    delete page;
}

// A page left with the back key stays for re-entry, if it is whole.
void TrackMainForm::keepPage(Page *page)
{
    if (!page->complete || page->kind == FirstPage) {
        deletePage(page);
        return;
    }
    page->view->hide();
    m_cached.append(page);
    while (m_cached.size() > CachedPages)
        deletePage(m_cached.takeFirst());
}

void TrackMainForm::pushPage(Page *page, bool reused)
{
    // What the user opened, for whoever reads the log after a complaint.
    qCInfo(lcUi).noquote()
        << QStringLiteral("browser: \"%1\"%2").arg(page->title, reused ? QStringLiteral(" again") : QString());
    Page *from = current();
    m_stack.append(page);
    m_searchShown = page->kind == SearchMenu || page->kind == SearchLevel;
    topUp(page);
    if (!from || !isVisible() || !m_animated) {
        if (from)
            from->view->hide();
        showPageNow(page);
        return;
    }
    page->view->move(0, 0);
    m_status->hide();
    m_animation->setWidgetMove(from->view, page->view, true, -1);
}

void TrackMainForm::showPageNow(Page *page, bool updateTitle)
{
    for (const Page *p : qAsConst(m_stack)) {
        if (p != page)
            p->view->hide();
    }
    page->view->move(0, 0);
    page->view->show();
    page->view->raise();
    m_searchShown = page->kind == SearchMenu || page->kind == SearchLevel;
    if (updateTitle)
        HistoryBack_UpdateWindowTitle();
    updateStatus();
    tryPendingAlbumScan();
}

void TrackMainForm::Del_AnimatFinish_Widget(bool updateTitle)
{
    Page *p = current();
    if (!p)
        return;
    for (const Page *q : qAsConst(m_stack)) {
        if (q != p)
            q->view->hide();
    }
    p->view->move(0, 0);
    p->view->show();
    if (updateTitle)
        HistoryBack_UpdateWindowTitle();
    updateStatus();
    tryPendingAlbumScan();
}

void TrackMainForm::Slot_FreeListWidget(int widgetid)
{
    if (m_leaving && m_leaving->id == widgetid) {
        Page *p = m_leaving;
        m_leaving = nullptr;
        keepPage(p);
    }
}

void TrackMainForm::HistoryBack_UpdateWindowTitle()
{
    const Page *p = current();
    emit setWindowTitle(!p || p->kind == FirstPage ? tr("类别") : p->title);
    if (m_opacityType) {
        m_opacityType = false;
        emit setWindowTitleHide();
    }
}

bool TrackMainForm::Prev_Gui_Action(bool animate, bool updateTitle)
{
    if (m_stack.size() <= 1)
        return true;
    if (m_animation->isRunning())
        return false;
    Page *leaving = m_stack.takeLast();
    if (leaving->id == m_fillingId)
        cancelFilling();
    Page *back = current();
    m_rereadTimer->stop();
    m_searchShown = back->kind == SearchMenu || back->kind == SearchLevel;
    if (!animate || !isVisible() || !m_animated) {
        leaving->view->hide();
        keepPage(leaving);
        showPageNow(back, updateTitle);
        return false;
    }
    m_leaving = leaving;
    m_status->hide();
    m_animation->setWidgetMove(leaving->view, back->view, false, leaving->id);
    return false;
}

bool TrackMainForm::hasChildPage() const
{
    return m_stack.size() > 1;
}

bool TrackMainForm::isReady() const
{
    return !m_animation->isRunning() && !m_leaving;
}

void TrackMainForm::dropPagesWhere(const std::function<bool(const Page *)> &pred)
{
    m_animation->stopAll();
    int cut = -1;
    for (int i = 1; i < m_stack.size(); ++i) {
        if (pred(m_stack.at(i))) {
            cut = i;
            break;
        }
    }
    if (cut > 0) {
        while (m_stack.size() > cut)
            deletePage(m_stack.takeLast());
        showPageNow(current());
    }
    for (int i = m_cached.size() - 1; i >= 0; --i) {
        if (pred(m_cached.at(i)))
            deletePage(m_cached.takeAt(i));
    }
}

void TrackMainForm::Check_DialOut_Disk(const QString &path)
{
    qCInfo(lcUi).noquote() << QStringLiteral("browser: pages of %1 dropped").arg(path);
    if (m_listScanner->isScanning() && m_listScanner->scanPath().startsWith(path))
        m_listScanner->stop_Scanner();
    dropPagesWhere([&path](const Page *p) {
        if (p->kind == SearchLevel)
            return true;
        if (p->kind == DirPage)
            return p->disk.diskPath == path;
        if (p->kind == PartitionPage)
            return path.contains(QStringLiteral("usb-storage_%1/").arg(p->disk.port));
        return false;
    });
    Update_DiskNameList();
}

void TrackMainForm::syncDisks()
{
    QStringList mounted;
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList))
        mounted.append(d.diskPath);
    const QStringList known = m_knownDisks;
    m_knownDisks = mounted;
    for (const QString &path : known) {
        if (!mounted.contains(path))
            Check_DialOut_Disk(path);
    }
    // A new stick changes what every search finds, and a port's partitions.
    bool added = false;
    for (const QString &path : qAsConst(mounted))
        added = added || !known.contains(path);
    if (added) {
        for (int i = m_cached.size() - 1; i >= 0; --i) {
            const PageKind kind = m_cached.at(i)->kind;
            if (kind == SearchLevel || kind == PartitionPage)
                deletePage(m_cached.takeAt(i));
        }
    }
    Update_DiskNameList();
}

void TrackMainForm::ClearTempDiskListData(bool toFirst)
{
    while (!m_cached.isEmpty())
        deletePage(m_cached.takeFirst());
    if (toFirst)
        dropPagesWhere([](const Page *) { return true; });
}

// The first page: one row per port (the label of a mounted volume at its
// right), then Search.
void TrackMainForm::Update_DiskNameList()
{
    Page *first = m_stack.value(0);
    if (!first)
        return;
    first->rows.clear();
    for (int port = 1; port <= 3; ++port) {
        ListInfo row;
        row.title = QStringLiteral("USB %1").arg(port);
        row.iconPath = UiAssets::icon(QStringLiteral("icon_list_usb%1").arg(port));
        row.id = port;
        row.type = MenuRow;
        int volumes = 0;
        for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
            if (d.port != port)
                continue;
            ++volumes;
            row.rightText = d.diskName.isEmpty() ? d.storageId : d.diskName;
        }
        if (volumes > 1)
            row.rightText = tr("%1个分区").arg(volumes);
        first->rows.append(row);
    }
    ListInfo search;
    search.title = tr("搜索");
    search.iconPath = UiAssets::icon(QStringLiteral("icon_list_serch_device"));
    search.id = 4;
    search.type = MenuRow;
    first->rows.append(search);
    const int cur = qMax(0, first->view->currentRow());
    for (int i = 0; i < first->rows.size(); ++i)
        first->view->updateListData(&first->rows.at(i), i);
    first->shown = int(first->rows.size());
    first->view->setSelectRow(qMin(cur, first->shown - 1));
}

void TrackMainForm::buildFirstPage()
{
    Page *first = newPage(FirstPage, tr("类别"));
    m_stack.append(first);
    Update_DiskNameList();
    first->complete = true;
    first->view->show();
}

void TrackMainForm::buildSearchMenu(Page *page)
{
    page->rows.clear();
    for (int i = 0; i < 6; ++i) {
        ListInfo row;
        row.title = tr(kSearchRows[i].title);
        row.iconPath = UiAssets::icon(QLatin1String(kSearchRows[i].icon));
        row.id = i + 1;
        row.type = MenuRow;
        page->rows.append(row);
    }
    page->view->clear();
    page->shown = 0;
    topUp(page);
    page->complete = true;
}

void TrackMainForm::RefreshSearchUI()
{
    QWidget::setWindowTitle(tr("曲目管理"));
    Update_DiskNameList();
    auto retitle = [this](Page *p) {
        if (p->kind != SearchMenu)
            return;
        const int cur = p->view->currentRow();
        for (int i = 0; i < p->rows.size() && i < 6; ++i) {
            p->rows[i].title = tr(kSearchRows[i].title);
            p->view->refreshRow(i, p->rows.at(i).title);
        }
        p->title = tr("搜索");
        p->view->setSelectRow(qMax(0, cur));
    };
    for (Page *p : qAsConst(m_stack))
        retitle(p);
    for (Page *p : qAsConst(m_cached))
        retitle(p);
    for (Page *p : qAsConst(m_stack)) {
        if (p->kind == SearchLevel && p->searchKey.isEmpty() && p->searchType >= 1 && p->searchType <= 6)
            p->title = tr(kSearchRows[p->searchType - 1].title);
    }
    if (isVisible())
        HistoryBack_UpdateWindowTitle();
    updateStatus();
}

void TrackMainForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        RefreshSearchUI();
    QWidget::changeEvent(event);
}

ListInfo TrackMainForm::displayRow(const Page *page, const ListInfo &row) const
{
    ListInfo d = row;
    switch (page->kind) {
    case FirstPage:
    case SearchMenu:
        d.type = 0;
        break;
    case PartitionPage:
        d.type = 0;
        d.iconPath = UiAssets::icon(QStringLiteral("icon_list_usb%1").arg(qBound(1, page->disk.port, 3)));
        break;
    case DirPage:
        if (row.type == Scanner::FolderRow) {
            d.iconPath = UiAssets::icon(QStringLiteral("icon_folder"));
            d.type = 0;
            d.value.clear();
        } else {
            d.iconPath = UiAssets::icon(QStringLiteral("icon_song"));
            d.type = 5; // a song opens nothing: no chevron
        }
        break;
    case SearchLevel:
        if (isCategory(page->searchType, page->searchKey)) {
            const char *icon = page->searchType == SearchArtist  ? "icon_songer"
                               : page->searchType == SearchAlbum ? "icon_ablum"
                                                                 : "icon_format";
            d.iconPath = UiAssets::icon(QLatin1String(icon));
            d.type = 0;
        } else {
            d.iconPath = UiAssets::icon(QStringLiteral("icon_song"));
            d.type = 5;
        }
        d.value.clear();
        break;
    }
    return d;
}

void TrackMainForm::topUp(Page *page)
{
    if (!page)
        return;
    const int cur = page->view->currentRow();
    int target = qMax(ChunkRows, page->shown);
    if (cur + ChunkAhead >= page->shown)
        target = page->shown + ChunkRows;
    const bool updates = page->view->updatesEnabled();
    page->view->setUpdatesEnabled(false);
    while (page->shown < page->rows.size() && page->shown < target) {
        const ListInfo d = displayRow(page, page->rows.at(page->shown));
        page->view->setListData(d);
        ++page->shown;
    }
    page->view->setUpdatesEnabled(updates);
}

void TrackMainForm::updateStatus()
{
    const Page *p = current();
    QString text;
    if (p && p->kind != FirstPage && p->kind != SearchMenu && p->rows.isEmpty()) {
        const bool waiting = p->noData && ((m_scanning && m_scanning()) || (m_albumScan && m_albumScan->isRunning()));
        if (p->id == m_fillingId) {
            if (!m_loadingTimer->isActive())
                text = tr("加载中...");
        } else if (waiting || m_rereadTimer->isActive()) {
            text = tr("加载中...");
        } else {
            text = tr("没有文件");
        }
    }
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty() && isReady());
    m_status->raise();
}

QString TrackMainForm::statusText() const
{
    return m_status->isVisible() ? m_status->text() : QString();
}

ListViewWidget *TrackMainForm::currentList() const
{
    const Page *p = current();
    return p ? p->view : nullptr;
}

TrackMainForm::PageKind TrackMainForm::currentKind() const
{
    const Page *p = current();
    return p ? p->kind : FirstPage;
}

QString TrackMainForm::currentTitle() const
{
    const Page *p = current();
    return !p || p->kind == FirstPage ? tr("类别") : p->title;
}

int TrackMainForm::currentRowCount() const
{
    const Page *p = current();
    return p ? int(p->rows.size()) : 0;
}

QString TrackMainForm::currentRowText(int row) const
{
    const Page *p = current();
    return p && row >= 0 && row < p->rows.size() ? p->rows.at(row).title : QString();
}

bool TrackMainForm::selectRowByText(const QString &text)
{
    Page *p = current();
    if (!p)
        return false;
    for (int i = 0; i < p->rows.size(); ++i) {
        if (p->rows.at(i).title != text)
            continue;
        while (p->shown <= i) {
            const int before = p->shown;
            p->view->setSelectRow(p->shown - 1);
            topUp(p);
            if (p->shown == before)
                break;
        }
        p->view->setSelectRow(i);
        return true;
    }
    return false;
}

// ------------------------------------------------------------ keys

// Turns count while a page slides in: the knob is never lost.
void TrackMainForm::change_Current_Row(bool next, int steps)
{
    Page *p = current();
    if (!p)
        return;
    for (int i = 0; i < qMax(1, steps); ++i) {
        if (next)
            topUp(p);
        p->view->moveSelectRow(next);
    }
    topUp(p);
}

void TrackMainForm::click_Current_Row()
{
    Page *p = current();
    if (!p || !isReady() || isFilling())
        return;
    const int row = p->view->currentRow();
    if (row < 0 || row >= p->rows.size())
        return;
    p->view->setViewListClicked();
    const ListInfo r = p->rows.at(row);
    switch (p->kind) {
    case FirstPage:
        if (r.id >= 1 && r.id <= 3)
            Enter_DiskList(r.id);
        else if (r.id == 4)
            Init_SongSearchList();
        break;
    case PartitionPage:
        for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
            if (d.diskPath == r.value) {
                New_DiskList(d, r.title, true);
                return;
            }
        }
        Update_DiskNameList();
        break;
    case DirPage:
        if (r.type == Scanner::FolderRow)
            Enter_ChildDiskList(p, row);
        else
            playFromDirectory(p, row - p->folders);
        break;
    case SearchMenu:
        New_SearchList(row);
        break;
    case SearchLevel:
        if (isCategory(p->searchType, p->searchKey))
            New_SearchList(row);
        else
            playFromSearch(p, row);
        break;
    }
}

// ------------------------------------------------------------ levels

void TrackMainForm::Enter_DiskList(int port)
{
    QList<DiskInfo> disks;
    for (const DiskInfo &d : qAsConst(UsingUSBDiskList)) {
        if (d.port == port)
            disks.append(d);
    }
    const QString title = QStringLiteral("USB %1").arg(port);
    if (disks.size() < 2) {
        if (disks.isEmpty() || disks.first().diskPath.isEmpty()) {
            if (m_popup)
                m_popup->setText(tr("没有文件"), kNoFileKind);
            return;
        }
        New_DiskList(disks.first(), title, true);
        return;
    }
    Page *page = takeCached(PartitionPage, QString(), port, QString());
    const bool reused = page != nullptr;
    if (!page) {
        page = newPage(PartitionPage, title);
        page->disk.port = port;
        for (int i = 0; i < disks.size(); ++i) {
            ListInfo row;
            row.title = tr("分区") + QString::number(i + 1);
            row.id = i;
            row.value = disks.at(i).diskPath;
            row.rightText = disks.at(i).diskName;
            page->rows.append(row);
        }
        page->complete = true;
    }
    pushPage(page, reused);
}

void TrackMainForm::New_DiskList(const DiskInfo &disk, const QString &title, bool root)
{
    Q_UNUSED(root);
    if (Page *cached = takeCached(DirPage, disk.diskPath, 0, QString())) {
        pushPage(cached, true);
        return;
    }
    Page *page = newPage(DirPage, title);
    page->disk = disk;
    page->path = disk.diskPath;
    pushPage(page);
    startListing(page);
}

void TrackMainForm::Enter_ChildDiskList(const Page *parent, int row)
{
    const ListInfo r = parent->rows.at(row);
    const QString path = r.value;
    if (Page *cached = takeCached(DirPage, path, 0, QString())) {
        pushPage(cached, true);
        return;
    }
    Page *page = newPage(DirPage, r.title);
    page->disk = parent->disk;
    page->path = path;
    pushPage(page);
    startListing(page);
}

void TrackMainForm::Init_SongSearchList()
{
    if (!Check_USBDisk_hasSongs()) {
        if (m_popup)
            m_popup->setText(tr("没有文件"), kNoFileKind);
        return;
    }
    Page *page = takeCached(SearchMenu, QString(), 0, QString());
    const bool reused = page != nullptr;
    if (!page) {
        page = newPage(SearchMenu, tr("搜索"));
        buildSearchMenu(page);
    }
    pushPage(page, reused);
}

void TrackMainForm::New_SearchList(int row)
{
    const Page *from = current();
    int type = 0;
    QString key;
    QString title;
    if (from->kind == SearchMenu) {
        type = from->rows.at(row).id;
        title = from->rows.at(row).title;
    } else {
        type = from->searchType;
        key = from->rows.at(row).title;
        title = key;
    }
    if (type < SearchArtist || type > SearchSize)
        return;
    Page *page = takeCached(SearchLevel, QString(), type, key);
    const bool albumLevel = key.isEmpty() && (type == SearchArtist || type == SearchAlbum);
    if (page) {
        pushPage(page, true);
    } else {
        page = newPage(SearchLevel, title);
        page->searchType = type;
        page->searchKey = key;
        pushPage(page);
        startQuery(page);
    }
    // The artist and album levels fill in as the tag pass finds them.
    if (albumLevel) {
        startAlbumScan(false);
        if (m_albumScan && m_albumScan->isRunning())
            m_albumTimer->start();
    }
}
