#pragma once
// Scanner: the worker that walks a mounted volume folder by folder and
// enters every playable file into the library. A scan resumes where it
// stopped: every folder row carries a readOver mark, set once all its files
// are in. It paces itself (a sleep after every folder and file) so that
// playback on the same processor keeps priority, and can hand each new song
// to the play list so that a fresh stick plays before its scan ends.
//
// The same class lists single folders for the track browser and for the
// controller's temporary lists, and builds a play list straight from the
// file system; those runs never touch the library.
//
// Threads: every public method is called from the GUI thread (the thread
// the object lives in); the walk runs in the scanner's own thread. Results
// that change process-wide lists (the play lists, the browser's pages, the
// mounted-volume list) are handed to the GUI thread and applied there.

#include "records.h"
#include "runfence.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>
#include <chrono>
#include <mutex>

class DataBase;

class Scanner : public QThread
{
    Q_OBJECT

public:
    // What a run does.
    enum Mode {
        VolumeScan = 0,    // enter a volume into the library
        TmpPrevFolder = 1, // temporary list: the folder before the playing song's
        TmpNextFolder = 2, // temporary list: the folder after the playing song's
        TmpFolder = 3,     // temporary list: the playing song's folder
        ListFolder = 4,    // one folder's rows for the track browser
        InitPlayList = 5,  // the play list straight from the file system
    };
    // ListInfo::type of the rows of a folder listing.
    enum RowType { FolderRow = 0, SongRow = 1 };

    // What the last run did.
    struct Stats {
        int foldersFound = 0;  // folders entered (the root included)
        int foldersRead = 0;   // folders whose files are all in the library
        int filesEntered = 0;  // rows inserted (CUE and image tracks included)
        int sheetsRead = 0;    // CUE sheets parsed and entered
        int sheetsSkipped = 0; // CUE sheets already complete in the library
        int namesSkipped = 0;  // names that are no valid UTF-8 (no path can name them again)
        int refused = 0;       // links and CUE sheets leading outside the volume or to no regular file
    };

    explicit Scanner(QObject *parent = nullptr);
    ~Scanner() override;

    void setDataBase(DataBase *db) { m_db = db; }

    // Starts a scan of one volume (tempMode false) or a listing of the folder
    // disk.diskPath into out and TempMediaObjectList[index] (tempMode true).
    // Ignored while a run is going on.
    void setScanPath(const DiskInfo &disk, bool tempMode, int index, QList<TempInfoList> *out);
    // Rebuilds mediaObjectInfoList from the files of the given folders
    // (each DiskInfo's diskPath), in listing order, paced at the normal
    // interval; ends with scanOverFileManage(unfinished, 0).
    void setInitPlayList(const QList<DiskInfo> &disks);
    // Fills mediaTempPlayList around the playing song (mode TmpFolder,
    // TmpNextFolder or TmpPrevFolder); ends with scanOverFileManage(unfinished, mode).
    void setScanTmpMusicList(int mode);
    // Lists the folder folder.diskPath for page listIndex of the track
    // browser: rows through readDiskInfo (folders first when withFolders; at
    // most rowLimit rows, 0 for all), the songs' items in
    // TempMediaObjectList[listIndex], then scanOverFileManage(unfinished, listIndex).
    void addScanPath(const DiskInfo &folder, int listIndex, bool withFolders, int rowLimit);

    void stop_Scanner();
    // 20 is the normal pace (18 ms, 350 ms during 176.4 kHz or resampled
    // playback); any other value is the interval in ms (0: no pacing).
    void setScannerSpeed(int ms);
    void setStopAppendMusicList(bool stop, bool flag);

    bool isScanning() const { return m_scanning; }
    // The pacing interval in force now, in ms.
    int scanInterval() const;
    Stats stats() const;
    Mode mode() const { return m_mode; }
    // Mount point of the volume being (or last) scanned.
    QString scanPath() const;

    // True for a folder the scanner never enters.
    static bool Check_Dir_PathRule(const QFileInfo *dir);
    // Album and artist tags of a file: FFmpeg's probe, or the APE tag reader
    // for Monkey's Audio files (apeTag true). Missing values stay empty.
    static void get_musicInfo(const QString &path, bool apeTag, QString *artist, QString *album);
    // True when the file can no longer be read (its stick was pulled): a
    // failed read of it says nothing about its contents.
    static bool hasVanished(const QString &path);

signals:
    void musiclistChanged();
    void scanStart();
    void scanOver(bool unfinished, QString path);
    void scanOverFileManage(bool unfinished, int listIndex);
    void readDiskInfo(ListInfo info, int listIndex);
    void updateMusicIndex();

protected:
    void run() override;

private:
    // One track of an SACD image as the library enters it.
    struct ImageTrack {
        QString entry; // image path + "__M__" + track + "__M__" + area
        QString title;
        QString artist;
        QString album;
        qint64 size = 0;
    };
    // stop ends the reading early (it may be null).
    static QList<ImageTrack> imageTracks(const QString &path, const std::atomic<bool> *stop);

    struct FolderContent {
        QList<MediaObjectInfo> songs;
        QList<ListInfo> folderRows;
    };

    // Volume scan (scanner_walk.cpp), scanner thread.
    void runVolumeScan();
    // known: 0 a folder not looked up in the resume list, 1 one found there
    // unread, 2 one found there read. fresh: a folder new to the library,
    // which holds none of its files yet.
    // rowid 0: a new folder whose row is written with its files, under parentRow.
    void List_Dirs_Files(const QString &folder, int known, int rowid, bool fresh, int parentRow, int depth);
    void scanSongsDirList(const QString &folder, const QList<QFileInfo> &subs, int rowid, int depth);
    // Returns the folder's row id (0 when it has none yet).
    int scanSongsFileList(const QList<QFileInfo> &files, const QString &folder, int rowid, int parentRow, bool fresh);
    int writeFolder(const QString &folder, int rowid, int parentRow, bool markRead);
    void openBatch();
    void closeBatch();
    struct Listing {
        QList<QFileInfo> files; // playable
        QList<QFileInfo> dirs;
        QStringList refused; // log lines of playable names that are not entered
    };
    Listing listFolder(const QString &folder);
    void logUndecodableNames(const QString &folder);
    // Why a playable entry is not entered ("" when it is), for the log.
    static QString entryRefusal(const QFileInfo &entry, const QString &root);
    // A skipped entry: a line in the log file and a warning.
    static void report(const QString &line);
    void scanCueSheet(const QFileInfo &sheet, bool fresh);
    void Process_ISOMusicList(const QFileInfo &image, bool fresh);
    void process_scanfile(const AudioInfo &info);
    bool cueTrackExists(const QString &sheetPath, const QString &title);
    QString folderKey(const QString &path) const;
    bool canGoOn() const;

    // Listings without the library (scanner_temp.cpp), scanner thread.
    void runTempList();
    void runListFolder();
    void runInitPlayList();
    // root: the canonical root of the volume the folder is on.
    FolderContent collectFolder(const QString &folder, const QString &root, int diskID, bool withFolders,
                                bool withSongs) const;
    QList<MediaObjectInfo> itemsOfFile(const QFileInfo &file, const QString &root, int diskID) const;
    QString firstFolderWithFiles(const QString &folder, int depth = 0) const;
    QString lastFolderWithFiles(const QString &folder, int depth = 0) const;
    QString folderAfter(const QString &folder, const QString &root) const;
    QString folderBefore(const QString &folder, const QString &root) const;
    QList<QFileInfo> subfolders(const QString &folder) const;
    bool hasSongs(const QString &folder) const;
    static int volumeIndexOf(const QList<DiskInfo> &volumes, const QString &path);

    // Waits one pacing interval, counted from the previous pacing point so
    // that the scanner's own work is part of the interval; ends early on stop.
    void pace();
    void logVolumeScan(bool starting);
    // Runs f in the GUI thread, after everything handed over before it;
    // dropped when another run has started since (its results are stale).
    template <typename F>
    void inGuiThread(F f)
    {
        const int run = m_threadRunId;
        QMetaObject::invokeMethod(
            this,
            [this, run, f = std::move(f)] {
                if (run == m_runId)
                    f();
            },
            Qt::QueuedConnection);
    }
    // The last hand-over of a run: the run counts as over from here on.
    template <typename F>
    void finish(F f)
    {
        m_scanning = false;
        inGuiThread(std::move(f));
    }
    // A run is going on (one whose end was handed over is waited for).
    bool busy();
    void handOver(const QList<MediaObjectInfo> &items);
    void beginRun(Mode mode, QThread::Priority priority);

    DataBase *m_db = nullptr;
    // Guards the set-up of a run and m_volumes; a std::mutex, whose locking
    // ThreadSanitizer sees (QMutex locks inside uninstrumented Qt).
    mutable std::mutex m_lock;

    // Set up by the GUI thread before start() (under m_lock), read by the run.
    Mode m_mode = VolumeScan;
    DiskInfo m_disk;           // the volume (or folder) of the run
    QList<DiskInfo> m_volumes; // volumes still to scan; a snapshot of the mounted volumes for listings
    QList<DiskInfo> m_initFolders;
    QStringList m_initRoots; // the volume of each of m_initFolders
    QString m_listRoot;      // the volume of the folder a ListFolder run lists
    QString m_songFolder;    // the playing song's folder (temporary lists)
    int m_listIndex = 0;
    bool m_withFolders = true;
    int m_rowLimit = 0;
    QList<TempInfoList> *m_out = nullptr; // written in the GUI thread only
    int m_rootRow = 0;
    bool m_rootFresh = false;
    QVector<MediaInfo> m_resume; // folders recorded before, for resuming

    // Scanner thread only.
    QHash<QString, MediaInfo> m_resumeByPath;
    QSet<QString> m_playable;   // suffixes of musicFormatList, lower case
    QList<AudioInfo> m_pending; // rows of the folder being read
    bool m_batchOpen = false;   // a transaction of written folders is open
    std::chrono::steady_clock::time_point m_batchStart;
    DiskInfo m_folder; // the folder being read; diskSizes carries its row id
    QString m_root;    // canonical root of the volume being scanned
    // A file of the folder being read went away while it was read: the
    // folder is not marked read, so the next scan reads it again.
    bool m_folderIncomplete = false;
    QString m_musicTable;
    QString m_dirTable;
    std::chrono::steady_clock::time_point m_lastPace;

    // Cross-thread flags.
    std::atomic<bool> m_stop{false};    // GUI and scanner; also the unfinished result
    std::atomic<bool> m_running{false}; // GUI and scanner
    std::atomic<bool> m_scanning{false};
    std::atomic<int> m_speed{20};
    std::atomic<int> m_foldersFound{0};
    std::atomic<int> m_foldersRead{0};
    std::atomic<int> m_filesEntered{0};
    QElapsedTimer m_scanClock; // scanner thread: the volume scan running
    std::atomic<int> m_sheetsRead{0};
    std::atomic<int> m_sheetsSkipped{0};
    std::atomic<int> m_namesSkipped{0};
    std::atomic<int> m_refused{0};

    RunFence m_fence;      // run() ended, for busy() and the destructor
    int m_runId = 0;       // GUI thread: counts the runs started
    int m_threadRunId = 0; // scanner thread: the run it is doing

    // The play-list hand-over: written by the GUI thread, read by both (the
    // scanner thread hands nothing over while they forbid it).
    std::atomic<bool> m_appendFlag{false}; // the volume feeds the play list
    std::atomic<bool> m_stopAppend{false};
};
