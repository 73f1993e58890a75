// DataBase: the volumes ever seen (pre_diskList) and the folders of each
// (pre_diskdirN).
#include "database.h"

#include "dbstatement.h"
#include "disklist.h"
#include "globals.h"
#include "logging.h"
#include "scannerdefs.h"
#include "sqltext.h"

#include <QCoreApplication>
#include <QSettings>

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
        Statement st(m_db, "SELECT rowid,status,musicTableID,diskPath,diskAvailSize FROM pre_diskList where "
                           "fileSystemType=? and diskSizes=?;");
        st.bindText(fsType).bindText(QByteArray::number(disk.diskSizes));
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
        slot = validSlot(disk) ? disk.musicTableID : 1;
    sqlite3 *db = m_db;
    if (!db)
        return false;
    // The insert and the read of its rowid must not interleave with another
    // thread's insert on the shared connection.
    sqlite3_mutex_enter(sqlite3_db_mutex(db));
    Statement st(db, "insert into pre_diskList values(?,?,?,?,?,?,?);");
    st.bindText(sqliteEscape(name))
        .bindText(fsType)
        .bindText(QByteArray::number(disk.diskSizes))
        .bindText(QByteArray::number(disk.diskAvailSize))
        .bindText(sqliteEscape(disk.diskPath))
        .bindInt(slot)
        .bindInt(0);
    const bool ok = st.run();
    const int rowid = ok ? static_cast<int>(sqlite3_last_insert_rowid(db)) : 0;
    sqlite3_mutex_leave(sqlite3_db_mutex(db));
    if (newRowid)
        *newRowid = rowid;
    return ok;
}

void DataBase::update_DiskInfo(const DiskInfo &disk, int value, const QString &column)
{
    if (column == QLatin1String("status")) {
        Statement(m_db, "update pre_diskList set status=? where rowid=?;").bindInt(value).bindInt(disk.diskID).run();
        return;
    }
    // value: the rowid of the volume whose column takes disk's free space.
    Statement(m_db, sqlf("update pre_diskList set \"%w\"=?,status=0 where rowid=?;", column.toUtf8().constData()))
        .bindText(QByteArray::number(disk.diskAvailSize))
        .bindInt(value)
        .run();
}

void DataBase::update_DiskNewPath(const DiskInfo &disk, const QByteArray &fsType)
{
    Statement(m_db, "update pre_diskList set diskPath=? where fileSystemType=? and diskSizes=?;")
        .bindText(sqliteEscape(disk.diskPath))
        .bindText(fsType)
        .bindText(QByteArray::number(disk.diskSizes))
        .run();
}

int DataBase::get_DiskState(const DiskInfo &disk)
{
    Statement st(m_db, "SELECT status FROM pre_diskList where rowid=?;");
    st.bindInt(disk.diskID);
    return singleInt(st);
}

bool DataBase::del_DiskInfo(int rowid)
{
    if (!Statement(m_db, "delete from pre_diskList where rowid=?;").bindInt(rowid).run()) {
        RebuildDataBase();
        return false;
    }
    return true;
}

bool DataBase::Check_DiskInfo()
{
    // The events pumped below must not start a second check of the same rows.
    if (m_checkingDisks)
        return true;
    const ReentryGuard guard(m_checkingDisks);
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
    QByteArray error = "not connected";
    int rowid = 0;
    bool ok = false;
    if (db) {
        sqlite3_mutex_enter(sqlite3_db_mutex(db));
        Statement st(db, sqlf("insert into \"%w\" values(?,?,?,?);", table.toUtf8().constData()));
        ok = st.bindInt(fid).bindText(sqliteEscape(stored)).bindInt(diskID).bindInt(0).run();
        if (ok)
            rowid = static_cast<int>(sqlite3_last_insert_rowid(db));
        error = st.error();
        sqlite3_mutex_leave(sqlite3_db_mutex(db));
    }
    if (!ok) {
        RebuildDataBase();
        qCWarning(lcLibrary) << "insert_Dir error:" << error;
    }
    return rowid;
}

void DataBase::update_ReadFileOver(const DiskInfo *folder)
{
    Statement(m_db, sqlf("update \"%w\" set readOver=1 where rowid=?;", get_DirTableName(folder).toUtf8().constData()))
        .bindInt(folder->diskSizes)
        .run();
}

int DataBase::get_DirIsReadOver(const DiskInfo *folder)
{
    Statement st(m_db,
                 sqlf("SELECT readOver FROM \"%w\" where rowid=?;", get_DirTableName(folder).toUtf8().constData()));
    st.bindInt(folder->diskSizes);
    return singleInt(st);
}

void DataBase::Get_DBDirList_Path(QVector<MediaInfo> *out, const DiskInfo *disk)
{
    Statement st(m_db, sqlf("SELECT rowid,readOver,dirPath FROM \"%w\" where diskID=?;",
                            get_DirTableName(disk).toUtf8().constData()));
    st.bindInt(disk->diskID);
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
    Statement st(m_db, sqlf("SELECT MAX(rowid) FROM \"%w\";", table.toUtf8().constData()));
    return singleInt(st);
}

int DataBase::get_DirPid(const QString &table, int rowid)
{
    Statement st(m_db, sqlf("SELECT * FROM \"%w\" where rowid=?;", table.toUtf8().constData()));
    st.bindInt(rowid);
    return singleInt(st);
}
