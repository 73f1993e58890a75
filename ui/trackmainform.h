#pragma once
// The track browser (screen 2) in the content area (480 x 285): the first
// page (USB 1 to 3, Search), a port's partitions, a disk's folders and
// songs, and the search by artist, album, song, format, date or size. The
// knob moves the current row and opens it, the back key goes up a level.
// Choosing a song makes the play list and asks the controller to play it.
//
// Rows come from the library's query worker (the first ten one by one, the
// rest through a buffer) and from a folder listing of the scanner; a page
// shows its rows a chunk at a time as the knob comes near its end, so a
// list of 50,000 songs costs no more to open than one of fifty. Pages left
// with the back key are kept for a while: opening the same place again
// shows them without reading anything.
//
// GUI thread only. The row buffer is filled by the query worker under the
// library's result lock, which the form takes to read it.

#include "records.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class AnimationPack;
class CustomMessage;
class DataBase;
class ListViewWidget;
class Loading;
class QLabel;
class QTimer;
class ScanAblumArtist;
class Scanner;

class TrackMainForm : public QWidget
{
    Q_OBJECT

public:
    enum PageKind {
        FirstPage,     // USB 1..3, Search
        PartitionPage, // the volumes of one port
        DirPage,       // a disk's folder: its subfolders, then its songs
        SearchMenu,    // artists, albums, songs, format, date, size
        SearchLevel,   // a category (artists, albums, formats) or a song list
    };
    // Row kinds of the pages' own rows (ListInfo::type before display).
    enum RowKind { FolderRow = 0, SongRow = 1, CategoryRow = 2, MenuRow = 3 };

    static constexpr int NoPage = 10000;  // no page is being filled
    static constexpr int RereadMs = 3000; // a search level waiting for the library
    static constexpr int AlbumScanMs = 2500;
    static constexpr int ChunkRows = 40;  // rows added to a page at a time
    static constexpr int ChunkAhead = 10; // ... when the current row comes this near its last
    static constexpr int CachedPages = 6; // pages kept for re-entry
    static constexpr int LoadingDelayMs = 200;
    static constexpr int Width = 480;
    static constexpr int Height = 285;

    TrackMainForm(DataBase *db, Loading *loading, CustomMessage *popup, QWidget *parent = nullptr);
    ~TrackMainForm() override;

    // Whether a volume scan is running (the controller's disk checker);
    // a search level with no rows waits for it.
    void setScanningQuery(std::function<bool()> query) { m_scanning = std::move(query); }

    // Methods the controller calls.
    void RefreshSearchUI();
    void Update_DiskNameList();
    // Drops the pages kept for re-entry; with toFirst also goes back to
    // the first page at once.
    void ClearTempDiskListData(bool toFirst);
    // A disk went away: its pages (and every search page, whose rows may
    // hold its songs) are dropped; a page of it being shown goes back to
    // the first page.
    void Check_DialOut_Disk(const QString &path);
    bool hasChildPage() const;
    // Follows the mounted volumes: pages of volumes gone are dropped
    // (Check_DialOut_Disk), the first page is refreshed.
    void syncDisks();
    bool Get_Opacity_Type() const { return m_opacityType; }
    void setOpactyType(bool fade) { m_opacityType = fade; }
    // Back one level (sliding when animate); true when the first page is
    // shown, that is no level is left.
    bool Prev_Gui_Action(bool animate = true, bool updateTitle = true);
    void click_Current_Row();
    // The current row moves by steps (down the list when next).
    void change_Current_Row(bool next, int steps = 1);

    // What tests and tools look at.
    ListViewWidget *currentList() const;
    PageKind currentKind() const;
    int pageDepth() const { return int(m_stack.size()); }
    QString currentTitle() const;
    // Rows of the current page, shown or still waiting to be shown.
    int currentRowCount() const;
    QString currentRowText(int row) const;
    bool isFilling() const { return m_fillingId != NoPage; }
    bool isReady() const;
    // The page's own message ("没有文件", "加载中..."), "" when none.
    QString statusText() const;
    // Library queries and folder listings started so far.
    int readsStarted() const { return m_reads; }
    ScanAblumArtist *albumScan() const { return m_albumScan; }
    // Moves to the row with this text (for tools); false when none.
    bool selectRowByText(const QString &text);
    void setAnimated(bool on) { m_animated = on; }

public slots:
    void Slot_readDiskInfo(const ListInfo &info, int listIndex);
    void Slot_readDBOver();
    void Slot_ReadDataOver(bool scanOver, int curdirID);
    void Del_AnimatFinish_Widget(bool updateTitle);
    void Slot_FreeListWidget(int widgetid);
    void Slot_RereadDBdataTimer();
    void Slot_ScanAblumInfo(bool mSleep);
    void Stop_ScanAblumThread();
    void Slot_NoneDBData();

signals:
    void playIndexMusic(int index);
    void setWindowTitle(QString title);
    void setWindowTitleHide();
    void playmodeChanged();
    void musiclistChanged();
    void playsingleSong(MediaObjectInfo item);
    void stopinitlist();
    void initMuiscList();
    void setMusicScanSpeed(int m);
    void ini_mediainfo(QString description);

protected:
    void changeEvent(QEvent *event) override;

private:
    struct Page {
        int id = 0;
        PageKind kind = FirstPage;
        QString title;
        DiskInfo disk;        // directory pages; partition pages: the port in disk.port
        QString path;         // directory pages: the folder
        int searchType = 0;   // search levels: 1..6
        QString searchKey;    // search levels: "" for a category or a plain song list
        QList<ListInfo> rows; // every row read, in order
        int shown = 0;        // rows moved into the view
        int folders = 0;      // directory pages: folder rows before the songs
        bool complete = false;
        bool noData = false; // the last query read no row
        ListViewWidget *view = nullptr;
    };

    // Pages (trackmainform.cpp).
    Page *current() const { return m_stack.isEmpty() ? nullptr : m_stack.last(); }
    Page *newPage(PageKind kind, const QString &title);
    Page *takeCached(PageKind kind, const QString &path, int searchType, const QString &key);
    Page *pageById(int id) const;
    void pushPage(Page *page, bool reused = false);
    void showPageNow(Page *page, bool updateTitle = true);
    void deletePage(Page *page);
    void keepPage(Page *page);
    void buildFirstPage();
    void buildSearchMenu(Page *page);
    void dropPagesWhere(const std::function<bool(const Page *)> &pred);
    void HistoryBack_UpdateWindowTitle();
    void updateStatus();
    ListInfo displayRow(const Page *page, const ListInfo &row) const;
    void topUp(Page *page);

    // Levels.
    void Enter_DiskList(int port);
    void New_DiskList(const DiskInfo &disk, const QString &title, bool root);
    void Enter_ChildDiskList(const Page *parent, int row);
    void Init_SongSearchList();
    void New_SearchList(int row);

    // Filling (trackmainform_fill.cpp).
    void startListing(Page *page);
    void startQuery(Page *page);
    void LoadBufListDataToWidget(Page *page);
    void finishFilling(Page *page, bool complete);
    void Check_Page_ExistData(Page *page);
    void cancelFilling();
    bool albumLevelShown() const;
    void startAlbumScan(bool late);
    void tryPendingAlbumScan();

    // Playing.
    QList<MediaObjectInfo> pageItems(const Page *page) const;
    void playFromDirectory(const Page *page, int song);
    void playFromSearch(const Page *page, int row);
    void Set_CurMusicList(bool directory, const QString &text, const QList<MediaObjectInfo> &items);
    void Search_SelectMusic(const MediaObjectInfo &item);
    static void markChosen(const MediaObjectInfo &item);
    static QString searchConfig(int type, const QString &key);

    DataBase *m_db;
    Loading *m_loading;
    CustomMessage *m_popup;
    Scanner *m_listScanner;
    ScanAblumArtist *m_albumScan = nullptr;
    AnimationPack *m_animation;
    QLabel *m_status;
    QTimer *m_rereadTimer;
    QTimer *m_albumTimer;
    QTimer *m_loadingTimer; // shows "加载中..." when a page takes a moment

    QList<Page *> m_stack;     // the first page, then each level shown
    QList<Page *> m_cached;    // pages left with the back key, oldest first
    Page *m_leaving = nullptr; // sliding out after back
    // Rows from the query worker or the listing waiting for their page
    // (guarded by the library's result lock).
    QList<TempInfoList> m_bufList;
    int m_fillingId = NoPage;
    QString m_reselect; // the row to return to once a page read again is in
    int m_reads = 0;
    bool m_searchShown = false;
    bool m_albumScanPending = false; // the disk checker asked for a pass
    bool m_albumScanLate = false;
    bool m_opacityType = false;
    bool m_animated = true;
    std::function<bool()> m_scanning;
    QStringList m_knownDisks; // mount points at the last syncDisks
};
