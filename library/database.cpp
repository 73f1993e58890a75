#include "database.h"

#include "disklist.h"
#include "exeshellfordb.h"
#include "globals.h"
#include "logging.h"
#include "pinyintable.h"
#include "scannerdefs.h"
#include "sqltext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QHash>
#include <QMutexLocker>
#include <QSettings>

#include <sqlite3.h>

#include <cmath>
#include <cstdarg>

namespace {

// sqlite3_mprintf into a QByteArray. Quoted texts use %q: texts that went
// through sqliteEscape hold no quote, so the statement is the same, and the
// few unescaped texts (file types, file-system types) cannot break it.
QByteArray sqlf(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    char *s = sqlite3_vmprintf(fmt, ap);
    va_end(ap);
    QByteArray out(s ? s : "");
    sqlite3_free(s);
    return out;
}

QByteArray utf8(const QString &s)
{
    return s.toUtf8();
}
QByteArray latin1(const QString &s)
{
    return s.toLatin1();
}

// One prepared statement, finalized when it goes out of scope.
class Statement
{
public:
    Statement(sqlite3 *db, const QByteArray &sql)
    {
        if (db && sqlite3_prepare_v2(db, sql.constData(), -1, &m_stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool ok() const { return m_stmt != nullptr; }
    bool next() { return m_stmt && sqlite3_step(m_stmt) == SQLITE_ROW; }
    int integer(int col) const { return sqlite3_column_int(m_stmt, col); }
    qint64 int64(int col) const { return sqlite3_column_int64(m_stmt, col); }
    QString text(int col) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col)));
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

// The pinyin initials of U+4E00..U+9FA5, joined once.
const QByteArray &initialsTable()
{
    static const QByteArray table = [] {
        QByteArray t;
        for (int i = 0; i < kPinyinInitialChunkCount; ++i)
            t += kPinyinInitialChunks[i];
        return t;
    }();
    return table;
}

QString selectColumns(int type)
{
    switch (type) {
    case SearchArtist:
        return QStringLiteral("fileName,fileExt,filePath,diskID,author_ABC");
    case SearchAlbum:
        return QStringLiteral("fileName,fileExt,filePath,diskID,album_ABC");
    case SearchDate:
        return QStringLiteral("fileName,fileExt,filePath,diskID,createTime");
    case SearchSize:
        return QStringLiteral("fileName,fileExt,filePath,diskID,fileSize");
    default:
        return QStringLiteral("fileName,fileExt,filePath,diskID,fileName_ABC");
    }
}

QString songOrder(int type)
{
    switch (type) {
    case SearchArtist:
        return QStringLiteral(" order by author_ABC asc");
    case SearchAlbum:
        return QStringLiteral(" order by album_ABC asc");
    case SearchDate:
        return QStringLiteral(" order by createTime desc");
    case SearchSize:
        return QStringLiteral(" order by fileSize desc");
    default:
        return QStringLiteral(" order by fileName_ABC asc");
    }
}

// The mount point of a volume among the given ones ("" when absent).
QString diskPath(const QList<DiskInfo> &disks, int diskID)
{
    for (const DiskInfo &d : disks) {
        if (d.diskID == diskID)
            return d.diskPath;
    }
    return QString();
}

// The where clause of a keyed query on one volume.
QString keyClause(int type, const QString &key, int diskID)
{
    const QString id = QString::number(diskID);
    if (type == SearchAlbum)
        return QStringLiteral(" where album = '") + sqliteEscape(key) + QStringLiteral("' and diskID = ") + id;
    if (type == SearchFileType)
        return QStringLiteral(" where fileExt = '") + sqliteEscape(key.toLower()) + QStringLiteral("' and diskID = ")
               + id;
    return QStringLiteral(" where author = '") + sqliteEscape(key) + QStringLiteral("' and diskID = ") + id;
}

} // namespace

DataBase::DataBase(QObject *parent)
    : QThread(parent)
{
    initialsTable();
    m_rebuildGuard = new QTimer(this);
    m_rebuildGuard->setSingleShot(true);
    m_rebuildGuard->setInterval(6000);
    connect(m_rebuildGuard, &QTimer::timeout, this, [this] { m_rebuilding = false; });
}

DataBase::~DataBase()
{
    stop();
    wait();
    m_fence.joined();
    closeConnection();
}

bool DataBase::createConnection()
{
    if (!QFile::exists(MusicDataBaseName))
        CreateDataBase(true);
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(MusicDataBaseName).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_SHAREDCACHE, nullptr);
    if (rc == SQLITE_OK) {
        m_db = db;
        m_connected = true;
        ensureIndexes();
        return true;
    }
    sqlite3_close_v2(db);
    qCWarning(lcLibrary) << "Connect fail!";
    closeConnection();
    RebuildDataBase();
    return false;
}

// The sorted song lists (by title, date, size) read each volume in key order
// through these indexes and merge them, so the first row comes without
// sorting the whole library. They lead with the sort column, not diskID, so
// the planner keeps plain scans for the category and keyed lists. Created
// on every open: files written before they existed gain them in place.
void DataBase::ensureIndexes()
{
    static const char *const columns[][2] = {{"abc", "fileName_ABC"}, {"time", "createTime"}, {"size", "fileSize"}};
    for (int n = 1; n <= 3; ++n) {
        for (const auto &c : columns)
            exec(sqlf("CREATE INDEX IF NOT EXISTS pre_diskmusic%d_%s ON pre_diskmusic%d(%s);", n, c[0], n, c[1]));
    }
}

bool DataBase::closeConnection()
{
    sqlite3 *db = m_db.exchange(nullptr);
    if (db)
        sqlite3_close_v2(db);
    m_connected = false;
    return true;
}

void DataBase::CreateDataBase(bool restartApp)
{
    g_CurMusicPlay.dbRebuilding = true;
    if (m_connected)
        closeConnection();
    ExeShellForDB shell;
    shell.CreatNewMusicDB(restartApp);
    qCDebug(lcLibrary) << "~CreateDataBase";
    QTimer::singleShot(1000, this, [] { g_CurMusicPlay.dbRebuilding = false; });
}

void DataBase::RebuildDataBase()
{
    if (m_rebuilding)
        return;
    qCDebug(lcLibrary) << "~~~~~~~~~~RebuildDataBase~~~~~~~~~~~~~~~~";
    m_rebuilding = true;
    // The guard timer lives in this object's thread; start it there.
    QMetaObject::invokeMethod(m_rebuildGuard, qOverload<>(&QTimer::start), Qt::AutoConnection);
    g_CurMusicPlay.dbRebuilding = true;
    if (isRunning() && QThread::currentThread() != this) {
        stop();
        wait();
        m_fence.joined();
    }
    if (m_connected)
        closeConnection();
    ExeShellForDB shell;
    shell.RebuilMuiscDB();
    QTimer::singleShot(1000, this, [this] {
        g_CurMusicPlay.dbRebuilding = false;
        if (!m_connected)
            createConnection();
    });
    m_searchAllowed = false;
    if (createConnection()) {
        initConfig();
        emit rebuilDBOver();
    }
}

bool DataBase::initConfig()
{
    Statement st(m_db, "SELECT * FROM pre_config;");
    if (!st.ok()) {
        qCWarning(lcLibrary) << "sql error!";
        return false;
    }
    while (st.next()) {
        const QString name = st.text(0);
        const QString value = sqliteDescape(st.text(1));
        const int number = value.toInt(nullptr, 10);
        if (name == QLatin1String("curDirPath"))
            g_CurMusicPlay.curDirPath = value;
        else if (name == QLatin1String("playMode"))
            g_CurMusicPlay.playMode = number;
        else if (name == QLatin1String("curDiskID"))
            g_CurMusicPlay.curDiskID = number;
        else if (name == QLatin1String("musiclistType"))
            g_CurMusicPlay.musiclistType = number;
        else if (name == QLatin1String("songsearchConfig"))
            g_CurMusicPlay.songsearchConfig = value;
        else if (name == QLatin1String("languageID")) {
            LanguageID = number;
            g_TempData.languageID = number;
        } else if (name == QLatin1String("isSubPage"))
            g_CurMusicPlay.isSubPage = number != 0;
        else if (name == QLatin1String("Wheelad1"))
            g_TempData.wheelAd1 = number;
        else if (name == QLatin1String("Wheelad2")) {
            g_TempData.wheelAd2 = number;
            g_TempData.wheelValuesLoaded = true;
        } else if (name == QLatin1String("delayUint"))
            Cur_Delay_Uint = number;
        else if (name == QLatin1String("dbVersion"))
            g_CurMusicPlay.dbVersion = value;
    }
    return true;
}

void DataBase::stop()
{
    m_searchRequested = false;
    m_searchAllowed = false;
    requestInterruption();
}

bool DataBase::exec(const QByteArray &sql, QByteArray *error)
{
    sqlite3 *db = m_db;
    if (!db) {
        if (error)
            *error = "not connected";
        return false;
    }
    char *msg = nullptr;
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &msg);
    if (rc != SQLITE_OK && error)
        *error = msg ? QByteArray(msg) : QByteArray(sqlite3_errstr(rc));
    sqlite3_free(msg);
    return rc == SQLITE_OK;
}

QString DataBase::musicTable(int musicTableID) const
{
    return QStringLiteral("pre_diskmusic") + QString::number(musicTableID);
}
QString DataBase::dirTable(int musicTableID) const
{
    return QStringLiteral("pre_diskdir") + QString::number(musicTableID);
}

// ---------------------------------------------------------------- settings

void DataBase::update_Config(const QString &name, const QString &value)
{
    exec(sqlf("update pre_config set value='%q' where name = '%q'", utf8(sqliteEscape(value)).constData(),
              utf8(name).constData()));
}

void DataBase::update_CurMuiscInfo(const QString &info)
{
    g_CurMusicPlay.selectMuiscInfo = info;
    update_Config(QStringLiteral("selectMuiscInfo"), info);
}

void DataBase::update_CurWheelDefVal()
{
    update_Config(QStringLiteral("Wheelad1"), QString::number(g_TempData.wheelAd1));
    update_Config(QStringLiteral("Wheelad2"), QString::number(g_TempData.wheelAd2));
}

void DataBase::update_CurrentTime(int seconds)
{
    update_Config(QStringLiteral("curMusicTime"), QString::number(seconds));
}
void DataBase::update_DelayUint(int unit)
{
    update_Config(QStringLiteral("delayUint"), QString::number(unit));
}
void DataBase::update_PlayingDiskID(int diskID)
{
    update_Config(QStringLiteral("curDiskID"), QString::number(diskID));
}
void DataBase::update_CurDirPath(const QString &path)
{
    update_Config(QStringLiteral("curDirPath"), path);
}

void DataBase::update_Submodel()
{
    update_Config(QStringLiteral("isSubPage"), g_CurMusicPlay.isSubPage ? QStringLiteral("1") : QStringLiteral("0"));
}

void DataBase::update_MusicListTypeAndPath(const QString &text, int type)
{
    if (type == ListDirectory) {
        g_CurMusicPlay.curDirPath = text;
        update_Config(QStringLiteral("curDirPath"), text);
    } else if (type == ListSearch) {
        g_CurMusicPlay.songsearchConfig = text;
        update_Config(QStringLiteral("songsearchConfig"), text);
    }
    update_Config(QStringLiteral("musiclistType"), QString::number(type));
    g_CurMusicPlay.musiclistType = type;
}

// ---------------------------------------------------------------- volumes

int DataBase::Is_DiskExist(const DiskInfo &disk, const QByteArray &fsType, int &rowid, int &musicTableID,
                           int &contentChanged)
{
    rowid = 0;
    musicTableID = 0;
    contentChanged = 0;
    int status = -1;
    QString storedPath;
    QString storedAvail;
    {
        Statement st(m_db, sqlf("SELECT rowid,status,musicTableID,diskPath,diskAvailSize FROM pre_diskList where "
                                "fileSystemType='%q' and diskSizes='%q';",
                                fsType.constData(), QByteArray::number(disk.diskSizes).constData()));
        while (st.next()) {
            rowid = st.integer(0);
            status = st.integer(1);
            musicTableID = st.integer(2);
            storedPath = sqliteDescape(st.text(3));
            storedAvail = st.text(4);
        }
    }
    if (status < 0 && rowid == 0)
        return -1;
    const QString avail = QString::number(disk.diskAvailSize);
    if (storedAvail == avail) {
        if (storedPath != disk.diskPath) {
            // The same volume, unchanged, under another mount point.
            update_DiskNewPath(disk, fsType);
            if (g_CurMusicPlay.musiclistType == ListDirectory && g_CurMusicPlay.curDiskID == rowid) {
                const QString saved = g_CurMusicPlay.curDirPath;
                QString rebuilt;
                if (saved.split(QLatin1Char('/')).size() == storedPath.split(QLatin1Char('/')).size())
                    rebuilt = disk.diskPath;
                else
                    rebuilt = disk.diskPath + QLatin1Char('/') + get_Omitpath(saved);
                g_CurMusicPlay.curDirPath = rebuilt;
                update_Config(QStringLiteral("curDirPath"), rebuilt);
            }
        }
        return status;
    }
    // The contents changed since the last scan: forget the volume's rows.
    contentChanged = 1;
    clean_AllData(musicTableID, rowid);
    const QStringList record = QString(g_CurMusicPlay.selectMuiscInfo).split(QStringLiteral("__RS__"));
    if (record.size() == 4 && record.at(1).toInt() == rowid) {
        // The saved song may be gone: no resume into changed contents.
        g_CurMusicPlay.currentPosition = 0;
        g_CurMusicPlay.selectMuiscInfo = QString();
        QSettings settings(SettingFileName, QSettings::IniFormat);
        settings.setIniCodec("utf-8");
        settings.setValue(QStringLiteral("SETTING/m_currentTime"), 0);
        settings.setValue(QStringLiteral("SETTING/m_SelectPlayMuiscInfo"), QString());
        update_Config(QStringLiteral("selectMuiscInfo"), QString());
        update_Config(QStringLiteral("curMusicTime"), QStringLiteral("0"));
    }
    update_DiskInfo(disk, rowid, QStringLiteral("diskAvailSize"));
    return 0;
}

bool DataBase::insert_DiskList(const DiskInfo &disk, const QByteArray &fsType, const QString &name, int *newRowid)
{
    if (disk.diskSizes < 10 || disk.diskAvailSize < 0)
        return false;
    int slot = disk.port;
    if (slot < 1 || slot > 3)
        slot = (disk.musicTableID >= 1 && disk.musicTableID <= 3) ? disk.musicTableID : 1;
    sqlite3 *db = m_db;
    if (!db)
        return false;
    // The insert and the read of its rowid must not interleave with another
    // thread's insert on the shared connection.
    sqlite3_mutex_enter(sqlite3_db_mutex(db));
    const bool ok = exec(sqlf(
        "insert into pre_diskList values('%q','%q','%q','%q','%q',%d,%d);", utf8(sqliteEscape(name)).constData(),
        fsType.constData(), QByteArray::number(disk.diskSizes).constData(),
        QByteArray::number(disk.diskAvailSize).constData(), utf8(sqliteEscape(disk.diskPath)).constData(), slot, 0));
    const int rowid = ok ? static_cast<int>(sqlite3_last_insert_rowid(db)) : 0;
    sqlite3_mutex_leave(sqlite3_db_mutex(db));
    if (newRowid)
        *newRowid = rowid;
    return ok;
}

void DataBase::update_DiskInfo(const DiskInfo &disk, int value, const QString &column)
{
    if (column == QLatin1String("status")) {
        exec(sqlf("update pre_diskList set %s=%d where rowid=%d;", latin1(column).constData(), value, disk.diskID));
        return;
    }
    exec(sqlf("update pre_diskList set %s='%q',status=0 where rowid=%d;", latin1(column).constData(),
              QByteArray::number(disk.diskAvailSize).constData(), value));
}

void DataBase::update_DiskNewPath(const DiskInfo &disk, const QByteArray &fsType)
{
    exec(sqlf("update pre_diskList set diskPath='%q' where fileSystemType='%q' and diskSizes='%q';",
              utf8(sqliteEscape(disk.diskPath)).constData(), fsType.constData(),
              QByteArray::number(disk.diskSizes).constData()));
}

int DataBase::get_DiskState(const DiskInfo &disk)
{
    return Reback_SingleResu(sqlf("SELECT status FROM pre_diskList where rowid=%d;", disk.diskID).constData());
}

bool DataBase::del_DiskInfo(int rowid)
{
    QByteArray error;
    if (!exec(sqlf("delete from pre_diskList where rowid = %d;", rowid), &error)) {
        RebuildDataBase();
        return false;
    }
    return true;
}

bool DataBase::Check_DiskInfo()
{
    struct Row {
        int rowid, table, status;
    };
    QList<Row> rows;
    {
        Statement st(m_db, "SELECT rowid,musicTableID,status FROM pre_diskList;");
        while (st.next())
            rows.append(Row{st.integer(0), st.integer(1), st.integer(2)});
    }
    for (Row &r : rows) {
        DiskInfo d;
        d.diskID = r.rowid;
        if (DiskInfo_Compare(d))
            continue;
        if (r.status == 0 || r.status == 2) {
            r.status = r.status == 0 ? 1 : 3;
            update_DiskInfo(d, r.status, QStringLiteral("status"));
        }
    }
    if (rows.size() >= 7) {
        for (const Row &r : rows) {
            if (r.status != 1 && r.status != 3)
                continue;
            QCoreApplication::processEvents();
            if (del_DiskInfo(r.rowid))
                clean_AllData(r.table, r.rowid);
            break;
        }
    }
    return true;
}

QVector<DiskInfo> DataBase::read_DiskList(QList<int> *statuses)
{
    QVector<DiskInfo> out;
    Statement st(m_db, "SELECT rowid,diskName,fileSystemType,diskSizes,diskAvailSize,diskPath,musicTableID,status "
                       "FROM pre_diskList;");
    while (st.next()) {
        DiskInfo d;
        d.diskID = st.integer(0);
        d.diskName = sqliteDescape(st.text(1));
        d.fileSystemType = st.text(2);
        d.diskSizes = st.text(3).toLongLong();
        d.diskAvailSize = st.text(4).toLongLong();
        d.diskPath = sqliteDescape(st.text(5));
        d.musicTableID = st.integer(6);
        d.port = get_USBID(d.diskPath.section(QLatin1Char('/'), 0, -2));
        out.append(d);
        if (statuses)
            statuses->append(st.integer(7));
    }
    return out;
}

int DataBase::get_Last_Rowid()
{
    sqlite3 *db = m_db;
    return db ? static_cast<int>(sqlite3_last_insert_rowid(db)) : 0;
}

// ---------------------------------------------------------------- folders

int DataBase::insert_Dir(const QString &table, int fid, const QString &dirPath, int diskID)
{
    const QString stored = dirPath == rootFolderKey() ? dirPath : get_Omitpath(dirPath);
    sqlite3 *db = m_db;
    QByteArray error;
    int rowid = 0;
    bool ok = false;
    if (db) {
        sqlite3_mutex_enter(sqlite3_db_mutex(db));
        ok = exec(sqlf("insert into %s values(%d,'%q',%d,%d)", latin1(table).constData(), fid,
                       utf8(sqliteEscape(stored)).constData(), diskID, 0),
                  &error);
        if (ok)
            rowid = static_cast<int>(sqlite3_last_insert_rowid(db));
        sqlite3_mutex_leave(sqlite3_db_mutex(db));
    } else {
        error = "not connected";
    }
    if (!ok) {
        RebuildDataBase();
        qCWarning(lcLibrary) << "insert_Dir error:" << error;
    }
    return rowid;
}

void DataBase::update_ReadFileOver(const DiskInfo *folder)
{
    exec(sqlf("update %s set readOver=1 where rowid=%d;", latin1(get_DirTableName(folder)).constData(),
              static_cast<int>(folder->diskSizes)));
}

int DataBase::get_DirIsReadOver(const DiskInfo *folder)
{
    return Reback_SingleResu(sqlf("SELECT readOver FROM %s where rowid=%d;",
                                  latin1(get_DirTableName(folder)).constData(), static_cast<int>(folder->diskSizes))
                                 .constData());
}

void DataBase::Get_DBDirList_Path(QVector<MediaInfo> *out, const DiskInfo *disk)
{
    Statement st(m_db, sqlf("SELECT rowid,readOver,dirPath FROM %s where diskID=%d;",
                            latin1(get_DirTableName(disk)).constData(), disk->diskID));
    while (st.next()) {
        MediaInfo m;
        m.rowid = st.integer(0);
        m.readOver = st.integer(1);
        m.diskID = disk->diskID;
        m.filePath = sqliteDescape(st.text(2));
        out->append(m);
    }
}

int DataBase::get_max_rowid(const QString &table)
{
    return Reback_SingleResu(sqlf("SELECT MAX(rowid) FROM %s;", latin1(table).constData()).constData());
}

int DataBase::get_DirPid(const QString &table, int rowid)
{
    return Reback_SingleResu(sqlf("SELECT * FROM %s where rowid=%d;", latin1(table).constData(), rowid).constData());
}

// ---------------------------------------------------------------- files

bool DataBase::insert_Music(const QString &table, const AudioInfo *info, const DiskInfo *folder)
{
    const QString artist = info->artist;
    const QString album = info->album;
    QByteArray error;
    const bool ok =
        exec(sqlf("insert into %s values(%d,'%q','%q','%q','%q','%q','%q','%q','%q','%q',%d,%d)",
                  latin1(table).constData(), static_cast<int>(folder->diskSizes),
                  utf8(sqliteEscape(info->title)).constData(), utf8(GetFirstLetterResu(info->title)).constData(),
                  utf8(info->fileExt).constData(), utf8(sqliteEscape(get_Omitpath(info->filePath))).constData(),
                  QByteArray::number(info->fileSize).constData(),
                  artist.isEmpty() ? "" : utf8(sqliteEscape(artist)).constData(),
                  artist.isEmpty() ? "" : utf8(GetFirstLetterResu(artist)).constData(),
                  album.isEmpty() ? "" : utf8(sqliteEscape(album)).constData(),
                  album.isEmpty() ? "" : utf8(GetFirstLetterResu(album)).constData(),
                  static_cast<int>(info->createTime), folder->diskID),
             &error);
    if (!ok)
        qCWarning(lcLibrary) << "insert_Music error:" << error;
    return ok;
}

int DataBase::Is_DataExist(const QString &table, const QString &column, const QString &value, int diskID)
{
    const QString v = value == rootFolderKey() ? value : get_Omitpath(value);
    return Reback_SingleResu(sqlf("SELECT rowid FROM %s where %s='%q' and diskID=%d;", latin1(table).constData(),
                                  latin1(column).constData(), utf8(sqliteEscape(v)).constData(), diskID)
                                 .constData());
}

int DataBase::count_SongData(const QString &path, const DiskInfo *disk)
{
    return Reback_SingleResu(sqlf("SELECT count(rowid) FROM %s where filePath='%q' and diskID=%d;",
                                  latin1(get_MusicTableName(disk)).constData(),
                                  utf8(sqliteEscape(get_Omitpath(path))).constData(), disk->diskID)
                                 .constData());
}

int DataBase::Count_SongsFromDiskID(const DiskInfo &disk)
{
    return Reback_SingleResu(
        sqlf("SELECT count(rowid) FROM %s where diskID=%d;", latin1(get_MusicTableName(&disk)).constData(), disk.diskID)
            .constData());
}

int DataBase::search_SongRowID(const QFileInfo *info, int musicTableID, int diskID)
{
    return Reback_SingleResu(sqlf("SELECT rowid FROM %s where fileExt='%q' and fileSize='%q' and createTime=%d and "
                                  "diskID=%d;",
                                  latin1(musicTable(musicTableID)).constData(), utf8(info->suffix()).constData(),
                                  QByteArray::number(info->size()).constData(),
                                  static_cast<int>(ConversionTime(info->lastModified())), diskID)
                                 .constData());
}

qint64 DataBase::get_FileSize(const QString &path, int musicTableID, int diskID, int &rowid)
{
    rowid = 0;
    qint64 size = 0;
    Statement st(m_db, sqlf("SELECT rowid,fileSize FROM %s where filePath='%q' and diskID=%d;",
                            latin1(musicTable(musicTableID)).constData(),
                            utf8(sqliteEscape(get_Omitpath(path))).constData(), diskID));
    while (st.next()) {
        rowid = st.integer(0);
        size = st.int64(1);
    }
    return size;
}

void DataBase::update_MusicInfo(const QFileInfo *info, int rowid, int diskID)
{
    DiskInfo d;
    d.musicTableID = get_TableIDFromPath(info->absoluteFilePath());
    const QString title = info->completeBaseName();
    exec(sqlf("update %s set fileName='%q',fileName_ABC='%q',filePath='%q' where rowid=%d",
              latin1(get_MusicTableName(&d)).constData(), utf8(sqliteEscape(title)).constData(),
              utf8(GetFirstLetterResu(title)).constData(),
              utf8(sqliteEscape(get_Omitpath(info->absoluteFilePath()))).constData(), rowid));
    Q_UNUSED(diskID);
}

void DataBase::update_MusicInfo(const MediaInfo &rec, const QString &album, const QString &artist)
{
    // Unknown artists and albums read "未知" and sort under "wz".
    auto field = [](const QString &text, QString *key) {
        const QString simple = text.simplified();
        if (simple.isEmpty()) {
            *key = QStringLiteral("wz");
            return sqliteEscape(QCoreApplication::translate("DataBase", "未知"));
        }
        *key = GetFirstLetterResu(simple);
        if (key->isEmpty())
            *key = QStringLiteral("wz");
        return sqliteEscape(simple);
    };
    QString artistKey;
    QString albumKey;
    const QString a = field(artist, &artistKey);
    const QString b = field(album, &albumKey);
    DiskInfo d;
    d.musicTableID = rec.musicTableID > 0 ? rec.musicTableID : get_TableIDFromPath(rec.filePath);
    exec(sqlf("update %s set author='%q',author_ABC='%q',album='%q',album_ABC='%q' where rowid=%d and diskID=%d",
              latin1(get_MusicTableName(&d)).constData(), utf8(a).constData(), utf8(artistKey).constData(),
              utf8(b).constData(), utf8(albumKey).constData(), rec.rowid, rec.diskID));
}

void DataBase::readNoablumSonglist(QList<MediaInfo> *out, const QList<DiskInfo> &volumes)
{
    for (const DiskInfo &disk : volumes) {
        Statement st(m_db, sqlf("SELECT rowid,diskID,filePath,fileExt FROM %s where author='' and diskID=%d;",
                                latin1(get_MusicTableName(&disk)).constData(), disk.diskID));
        while (st.next()) {
            MediaInfo m;
            m.rowid = st.integer(0);
            m.diskID = st.integer(1);
            m.filePath = disk.diskPath + QLatin1Char('/') + sqliteDescape(st.text(2));
            m.fileExt = st.text(3);
            m.musicTableID = disk.musicTableID;
            out->append(m);
        }
    }
}

void DataBase::del_music(int diskID, const QString &path)
{
    DiskInfo d;
    d.musicTableID = 0;
    for (const DiskInfo &u : qAsConst(UsingUSBDiskList)) {
        if (u.diskID == diskID)
            d = u;
    }
    if (d.musicTableID < 1)
        d.musicTableID = get_TableIDFromPath(path);
    // The disk id is part of the match: volumes first seen on the same port
    // share a table, and one volume's file must not take another's with it.
    exec(sqlf("delete from %s where filePath='%q' and diskID=%d", latin1(get_MusicTableName(&d)).constData(),
              utf8(sqliteEscape(get_Omitpath(path))).constData(), diskID));
}

bool DataBase::del_TableData(const QString &table, int diskID)
{
    if (table == QLatin1String("pre_config"))
        return false;
    return exec(sqlf("delete from %s where diskID = %d;", latin1(table).constData(), diskID));
}

void DataBase::clean_AllData(int musicTableID, int diskID)
{
    del_TableData(dirTable(musicTableID), diskID);
    del_TableData(musicTable(musicTableID), diskID);
}

bool DataBase::beginTransaction()
{
    return exec("BEGIN;");
}

bool DataBase::commitTransaction()
{
    return exec("COMMIT;");
}

int DataBase::Reback_SingleResu(const char *sql)
{
    Statement st(m_db, QByteArray(sql));
    int value = 0;
    while (st.next())
        value = st.integer(0);
    return value;
}

// ---------------------------------------------------------------- lists

bool DataBase::getDiskMusicList(const DiskInfo &disk, bool keepUiAlive)
{
    const QByteArray sql = sqlf("SELECT fileName,fileExt,filePath FROM %s where diskID=%d;",
                                latin1(get_MusicTableName(&disk)).constData(), disk.diskID);
    qCInfo(lcLibrary).noquote() << QString::fromUtf8(sql);
    int at = GetInsertMuiscListIndex(disk.diskID, false);
    if (keepUiAlive)
        QCoreApplication::processEvents();
    bool any = false;
    {
        Statement st(m_db, sql);
        const QString root = disk.diskPath + QLatin1Char('/');
        while (st.next()) {
            MediaObjectInfo m;
            m.fileName = sqliteDescape(st.text(0));
            m.fileType = st.text(1);
            m.filePath = root + sqliteDescape(st.text(2));
            m.diskID = disk.diskID;
            mediaObjectInfoList.insert(at++, m);
            any = true;
            if (keepUiAlive)
                QCoreApplication::processEvents();
        }
    }
    Update_USBDisk_SongExist(disk, any);
    g_TempData.listLoading = false;
    emit sig_freshIndex();
    return true;
}

bool DataBase::initSearchMusicList()
{
    const QString config = g_CurMusicPlay.songsearchConfig;
    const int type = config.left(1).toInt();
    const bool keyed = config.contains(QStringLiteral("__M__"));
    const QString key = config.mid(6);
    QString sql;
    const QList<DiskInfo> disks = UsingUSBDiskList;
    for (const DiskInfo &disk : disks) {
        if (!sql.isEmpty())
            sql += QStringLiteral("union all ");
        sql += QStringLiteral("SELECT ") + selectColumns(type) + QStringLiteral(" FROM ") + get_MusicTableName(&disk);
        sql += keyed ? keyClause(type, key, disk.diskID)
                     : QStringLiteral(" where diskID = ") + QString::number(disk.diskID);
        sql += QLatin1Char(' ');
    }
    if (sql.isEmpty())
        return false;
    sql += songOrder(type);
    if (type == SearchTitle || type == SearchFileType)
        sql += QLatin1Char(';');
    Statement st(m_db, utf8(sql));
    while (st.next()) {
        MediaObjectInfo m;
        m.fileName = sqliteDescape(st.text(0));
        m.fileType = st.text(1);
        m.filePath = get_DiskPathFromRowID(st.integer(3)) + QLatin1Char('/') + sqliteDescape(st.text(2));
        m.diskID = st.integer(3);
        mediaObjectInfoList.append(m);
    }
    emit sig_freshIndex();
    return true;
}

void DataBase::setSearchConfig(int listIndex, int type, QList<TempInfoList> *out, const QString &key, bool deliverAll)
{
    stop();
    // A running query ends at its next row; the new one starts afresh.
    wait();
    m_fence.joined();
    {
        std::lock_guard<std::mutex> lock(m_searchLock);
        m_listIndex = listIndex;
        m_searchType = type;
        m_searchKey = key;
        m_searchRequested = true;
        m_searchAllowed = true;
        m_deliverAll = deliverAll;
        m_out = out;
        m_searchDisks = UsingUSBDiskList;
        QMutexLocker results(&m_resultLock);
        if (m_out)
            m_out->clear();
    }
    start();
}

bool DataBase::waitForSearch(unsigned long ms)
{
    if (!wait(ms))
        return false;
    m_fence.joined();
    return true;
}

void DataBase::run()
{
    const RunFence::Scope ended(m_fence);
    while (m_searchRequested && !isInterruptionRequested()) {
        std::lock_guard<std::mutex> lock(m_searchLock);
        const int listIndex = m_listIndex;
        const int type = m_searchType;
        const QString key = m_searchKey;
        m_lastQueryEmpty = !searchVolumes(m_searchDisks, listIndex, type, key);
        m_searchRequested = false;
    }
    if (m_deliverAll)
        emit readDBOver();
    if (m_lastQueryEmpty)
        emit sig_NoneData();
    qCDebug(lcLibrary) << "====DataBase run over======" << (m_searchRequested ? "true" : "false")
                       << (m_searchAllowed ? "true" : "false");
}

bool DataBase::getMusicSearchList(int listIndex, int type, const QString &key)
{
    return searchVolumes(UsingUSBDiskList, listIndex, type, key);
}

bool DataBase::searchVolumes(const QList<DiskInfo> &disks, int listIndex, int type, const QString &key)
{
    if (disks.isEmpty())
        return false;
    const bool keyed = !key.isEmpty();
    const bool category = !keyed && (type == SearchArtist || type == SearchAlbum || type == SearchFileType);
    QString sql;
    for (const DiskInfo &disk : disks) {
        if (!sql.isEmpty())
            sql += keyed ? QStringLiteral("union all ") : QStringLiteral("union ");
        QString columns;
        if (category)
            columns = type == SearchArtist  ? QStringLiteral("author,author_ABC")
                      : type == SearchAlbum ? QStringLiteral("album,album_ABC")
                                            : QStringLiteral("fileExt");
        else
            columns = selectColumns(type);
        sql += QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM ") + get_MusicTableName(&disk);
        sql += keyed && (type == SearchArtist || type == SearchAlbum || type == SearchFileType)
                   ? keyClause(type, key, disk.diskID)
                   : QStringLiteral("  where diskID = ") + QString::number(disk.diskID);
        sql += QLatin1Char(' ');
    }
    if (category)
        sql += type == SearchArtist  ? QStringLiteral(" GROUP BY author order by author_ABC asc")
               : type == SearchAlbum ? QStringLiteral(" GROUP BY album order by album_ABC asc")
                                     : QStringLiteral(" GROUP BY fileExt order by fileExt asc");
    else
        sql += songOrder(type);

    Statement st(m_db, utf8(sql));
    // The page's previous items are freed after the rows are out, not before
    // the first one (a long list takes milliseconds to free).
    QList<MediaObjectInfo> previous;
    if (!category) {
        QMutexLocker results(&m_resultLock);
        while (TempMediaObjectList.size() <= listIndex)
            TempMediaObjectList.append(PageListStruct());
        previous.swap(TempMediaObjectList[listIndex].mediaList);
    }
    int row = 0;
    QHash<qint64, QString> dates; // many songs share a day; formatting local times is slow
    while (!isInterruptionRequested() || QThread::currentThread() != this) {
        if (!st.next())
            break;
        ListInfo info;
        info.type = type;
        if (category) {
            QString name = sqliteDescape(st.text(0)).trimmed();
            if (name.isEmpty())
                continue;
            if (type == SearchFileType)
                name = name.toUpper();
            info.title = name;
        } else {
            MediaObjectInfo m;
            m.fileName = sqliteDescape(st.text(0));
            m.fileType = st.text(1);
            m.diskID = st.integer(3);
            m.filePath = diskPath(disks, m.diskID) + QLatin1Char('/') + sqliteDescape(st.text(2));
            info.title = m.fileName;
            info.id = m.diskID;
            info.value = m.fileType;
            if (type == SearchDate) {
                const qint64 t = st.int64(4);
                auto it = dates.find(t);
                if (it == dates.end())
                    it = dates.insert(t, QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("yyyy/MM/dd")));
                info.rightText = it.value();
            } else if (type == SearchSize)
                info.rightText = bytesToSize(st.int64(4));
            QMutexLocker results(&m_resultLock);
            TempMediaObjectList[listIndex].mediaList.append(m);
        }
        if (!m_deliverAll && row < 10) {
            emit readDBInfo(info, listIndex);
            QThread::msleep(50);
        } else {
            QMutexLocker results(&m_resultLock);
            if (m_out)
                m_out->append(TempInfoList{info, listIndex});
        }
        ++row;
    }
    return row > 0;
}

// ---------------------------------------------------------------- text

QString DataBase::bytesToSize(qint64 bytes)
{
    if (bytes <= 0)
        return QStringLiteral("0 B");
    static const char *const units[] = {"B", "K", "M", "G", "T", "P", "E", "Z", "Y"};
    int i = static_cast<int>(std::floor(std::log(static_cast<double>(bytes)) / std::log(1024.0)));
    i = std::clamp(i, 0, 8);
    const double value = static_cast<double>(bytes) / std::pow(1024.0, i);
    return QString::number(value, 'f', i == 3 ? 1 : 0) + QLatin1String(units[i]);
}

QString DataBase::zhToJP(const QString &text)
{
    const QByteArray &table = initialsTable();
    QString out;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9'))
            out += c;
        else if (u >= 'a' && u <= 'z')
            out += QChar(u - 'a' + 'A');
        else if (u >= 0x4E00 && u <= 0x9FA5 && u - 0x4E00 < table.size())
            out += QLatin1Char(table.at(u - 0x4E00));
    }
    return out;
}

QString DataBase::GetFirstLetterResu(const QString &text)
{
    return zhToJP(text).toLower();
}
