#pragma once
// The media library: one SQLite file holding the player's settings
// (pre_config), every volume ever seen (pre_diskList) and the folders and
// files of the volumes (pre_diskdir1..3, pre_diskmusic1..3). Also a worker
// thread that runs the track browser's queries and hands rows back through
// signals and an output list.

#include "records.h"
#include "runfence.h"
#include "sqltext.h"

#include <QByteArray>
#include <QFileInfo>
#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <mutex>

struct sqlite3;
class Statement;

class DataBase : public QThread
{
    Q_OBJECT

public:
    explicit DataBase(QObject *parent = nullptr);
    ~DataBase() override;

    // Connection and file. Opening checks the file (PRAGMA quick_check, a
    // few seconds at most) and repairs it when it is damaged.
    bool createConnection();
    // "ok", the first problem found, or "" when the check did not finish
    // within timeoutMs (or there is no connection).
    QString checkFile(int timeoutMs);
    // The library file opened read-only: nothing is created, indexed or
    // repaired. False (with SQLite's reason) when it is no library file.
    bool openReadOnly(QString *why = nullptr);
    bool closeConnection();
    void CreateDataBase(bool restartApp);
    void RebuildDataBase();
    bool initConfig();
    void stop();
    bool isConnected() const { return m_connected; }
    bool isRebuilding() const { return m_rebuilding; }

    // Settings.
    void update_Config(const QString &name, const QString &value);
    void update_CurMuiscInfo(const QString &info);
    void update_CurWheelDefVal();
    void update_CurrentTime(int seconds);
    void update_DelayUint(int unit);
    void update_PlayingDiskID(int diskID);
    void update_CurDirPath(const QString &path);
    void update_Submodel();
    void update_MusicListTypeAndPath(const QString &text, int type);

    // Volumes.
    int Is_DiskExist(const DiskInfo &disk, const QByteArray &fsType, int &rowid, int &musicTableID,
                     int &contentChanged);
    // newRowid (optional) receives the new row's rowid, read atomically with the insert.
    bool insert_DiskList(const DiskInfo &disk, const QByteArray &fsType, const QString &name, int *newRowid = nullptr);
    void update_DiskInfo(const DiskInfo &disk, int value, const QString &column);
    void update_DiskNewPath(const DiskInfo &disk, const QByteArray &fsType);
    int get_DiskState(const DiskInfo &disk);
    bool del_DiskInfo(int rowid);
    bool Check_DiskInfo();
    int get_Last_Rowid();
    // Every recorded volume, in table order (disk id, table slot, name,
    // stored mount point, sizes); statuses, when asked, alongside.
    QVector<DiskInfo> read_DiskList(QList<int> *statuses = nullptr);

    // Folders. insert_Dir returns the new folder's rowid (0 on error).
    int insert_Dir(const QString &table, int fid, const QString &dirPath, int diskID);
    void update_ReadFileOver(const DiskInfo *folder);
    int get_DirIsReadOver(const DiskInfo *folder);
    void Get_DBDirList_Path(QVector<MediaInfo> *out, const DiskInfo *disk);
    int get_max_rowid(const QString &table);
    int get_DirPid(const QString &table, int rowid);

    // Files.
    bool insert_Music(const QString &table, const AudioInfo *info, const DiskInfo *folder);
    int Is_DataExist(const QString &table, const QString &column, const QString &value, int diskID);
    int count_SongData(const QString &path, const DiskInfo *disk);
    int Count_SongsFromDiskID(const DiskInfo &disk);
    int search_SongRowID(const QFileInfo *info, int musicTableID, int diskID);
    qint64 get_FileSize(const QString &path, int musicTableID, int diskID, int &rowid);
    void update_MusicInfo(const QFileInfo *info, int rowid, int diskID);
    void update_MusicInfo(const MediaInfo &rec, const QString &album, const QString &artist);
    // Songs without artist on the given volumes (in their order); each row
    // carries its volume's table slot for update_MusicInfo.
    void readNoablumSonglist(QList<MediaInfo> *out, const QList<DiskInfo> &volumes);
    void del_music(int diskID, const QString &path);
    bool del_TableData(const QString &table, int diskID);
    void clean_AllData(int musicTableID, int diskID);
    int Reback_SingleResu(const char *sql);
    // Several writes as one transaction (the scanner's folder: its files and
    // its readOver mark commit together, and one journal sync serves them
    // all). Statements other threads run on the shared connection meanwhile
    // join it.
    bool beginTransaction();
    bool commitTransaction();

    // Lists. getDiskMusicList puts a volume's songs into the play list at
    // the volume's block; keepUiAlive pumps events while the rows are read
    // (a load asked for meanwhile follows this one).
    bool getDiskMusicList(const DiskInfo &disk, bool keepUiAlive);
    bool initSearchMusicList();
    void setSearchConfig(int listIndex, int type, QList<TempInfoList> *out, const QString &key, bool deliverAll);
    // Waits up to ms for the search worker to end; true when it has. What
    // it wrote (the output list, the song page) is then the caller's.
    bool waitForSearch(unsigned long ms);
    // On the calling thread, over the volumes mounted now.
    bool getMusicSearchList(int listIndex, int type, const QString &key);
    // Held while the worker appends to the output list or a song page; a
    // reader of those lists takes it too.
    QMutex *resultLock() { return &m_resultLock; }

    // The text helpers of sqltext.h, under the names the callers know.
    static QString bytesToSize(qint64 bytes) { return ::bytesToSize(bytes); }
    static QString zhToJP(const QString &text) { return ::zhToJP(text); }
    static QString GetFirstLetterResu(const QString &text) { return ::GetFirstLetterResu(text); }

signals:
    void readDBInfo(ListInfo info, int listIndex);
    void readDBOver();
    void sig_NoneData();
    void rebuilDBOver();
    void sig_freshIndex();

protected:
    void run() override;

private:
    // Runs a statement without values (a failure is logged).
    bool exec(const QByteArray &sql);
    // The integer of the last row a query returns (0 when none).
    static int singleInt(Statement &st);
    void ensureIndexes();
    void loadDiskSongs(const DiskInfo &disk, bool keepUiAlive);
    bool searchVolumes(const QList<DiskInfo> &disks, int listIndex, int type, const QString &key);
    QString musicTable(int musicTableID) const;
    QString dirTable(int musicTableID) const;

    std::atomic<sqlite3 *> m_db{nullptr};
    std::atomic<bool> m_searchRequested{false};
    std::atomic<bool> m_searchAllowed{false}; // the second request flag, cleared by stop()
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_rebuilding{false};
    std::atomic<bool> m_deliverAll{false};
    std::atomic<bool> m_lastQueryEmpty{false};
    std::mutex m_searchLock; // guards the request below and runs the query
    // Stays a QMutex: other subsystems lock it through resultLock().
    QMutex m_resultLock;
    QTimer *m_rebuildGuard = nullptr;     // GUI thread
    int m_listIndex = 0;                  // guarded by m_searchLock
    int m_searchType = 0;                 // guarded by m_searchLock
    QString m_searchKey;                  // guarded by m_searchLock
    QList<TempInfoList> *m_out = nullptr; // guarded by m_searchLock
    // The mounted volumes when the search was asked for: the worker never
    // reads UsingUSBDiskList, which the GUI thread changes at any time.
    QList<DiskInfo> m_searchDisks; // guarded by m_searchLock
    RunFence m_fence;              // run() ended, for the callers of wait()

    // Loads that pump events (GUI thread only): the one running, and those
    // asked for while it ran.
    struct PendingLoad {
        DiskInfo disk;
        bool keepUiAlive = false;
    };
    bool m_loadingList = false;
    QList<PendingLoad> m_pendingLoads;
    bool m_checkingDisks = false; // Check_DiskInfo is running (GUI thread)
};
