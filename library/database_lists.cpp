// DataBase: the song lists. A volume's songs into the play list, the play
// list of a saved search, and the track browser's category and song lists,
// which the worker thread (run()) reads and hands out row by row.
#include "database.h"

#include "dbstatement.h"
#include "disklist.h"
#include "globals.h"
#include "logging.h"
#include "sqltext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QMutexLocker>

namespace {

QByteArray selectColumns(int type)
{
    switch (type) {
    case SearchArtist:
        return "fileName,fileExt,filePath,diskID,author_ABC";
    case SearchAlbum:
        return "fileName,fileExt,filePath,diskID,album_ABC";
    case SearchDate:
        return "fileName,fileExt,filePath,diskID,createTime";
    case SearchSize:
        return "fileName,fileExt,filePath,diskID,fileSize";
    default:
        return "fileName,fileExt,filePath,diskID,fileName_ABC";
    }
}

QByteArray songOrder(int type)
{
    switch (type) {
    case SearchArtist:
        return " order by author_ABC asc";
    case SearchAlbum:
        return " order by album_ABC asc";
    case SearchDate:
        return " order by createTime desc";
    case SearchSize:
        return " order by fileSize desc";
    default:
        return " order by fileName_ABC asc";
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

// A query over several volumes: its text and the values bound to it, in order.
struct Query {
    QByteArray sql;
    QVariantList values;

    // " where COLUMN = KEY and diskID = ID" of a keyed list on one volume.
    void keyClause(int type, const QString &key, int diskID)
    {
        if (type == SearchAlbum) {
            sql += " where album = ?";
            values << sqliteEscape(key);
        } else if (type == SearchFileType) {
            sql += " where fileExt = ?";
            values << sqliteEscape(key.toLower());
        } else {
            sql += " where author = ?";
            values << sqliteEscape(key);
        }
        sql += " and diskID = ?";
        values << diskID;
    }
    void volumeClause(int diskID)
    {
        sql += " where diskID = ?";
        values << diskID;
    }
    void from(const DiskInfo &disk) { sql += sqlf(" FROM \"%w\"", get_MusicTableName(&disk).toUtf8().constData()); }
};

} // namespace

bool DataBase::getDiskMusicList(const DiskInfo &disk, bool keepUiAlive)
{
    // Slots run while events are pumped below: one of them asking for a
    // volume's songs waits until this load has put its own in place.
    if (m_loadingList) {
        m_pendingLoads.append(PendingLoad{disk, keepUiAlive});
        return true;
    }
    {
        const ReentryGuard guard(m_loadingList);
        loadDiskSongs(disk, keepUiAlive);
    }
    while (!m_pendingLoads.isEmpty()) {
        const PendingLoad next = m_pendingLoads.takeFirst();
        const ReentryGuard guard(m_loadingList);
        loadDiskSongs(next.disk, next.keepUiAlive);
    }
    return true;
}

void DataBase::loadDiskSongs(const DiskInfo &disk, bool keepUiAlive)
{
    const QByteArray sql = sqlf("SELECT fileName,fileExt,filePath FROM \"%w\" where diskID=%d;",
                                get_MusicTableName(&disk).toUtf8().constData(), disk.diskID);
    qCInfo(lcLibrary).noquote() << QString::fromUtf8(sql);
    const bool wasMounted = DiskInfo_Compare(disk);
    if (keepUiAlive)
        QCoreApplication::processEvents();
    // The rows are read into a list of their own and join the play list in
    // one step: the events pumped meanwhile may change the play list (a
    // volume going, another loaded), which the insert position must follow.
    QList<MediaObjectInfo> songs;
    {
        Statement st(m_db, sql);
        const QString root = disk.diskPath + QLatin1Char('/');
        while (st.next()) {
            MediaObjectInfo m;
            m.fileName = sqliteDescape(st.text(0));
            m.fileType = st.text(1);
            m.filePath = root + sqliteDescape(st.text(2));
            m.diskID = disk.diskID;
            songs.append(m);
            if (keepUiAlive)
                QCoreApplication::processEvents();
        }
    }
    // A volume pulled while the rows were read keeps no songs in the list.
    if (keepUiAlive && wasMounted && !DiskInfo_Compare(disk))
        songs.clear();
    const bool any = !songs.isEmpty();
    const int at = GetInsertMuiscListIndex(disk.diskID, false);
    for (int i = 0; i < songs.size(); ++i)
        mediaObjectInfoList.insert(at + i, songs.at(i));
    Update_USBDisk_SongExist(disk, any);
    g_TempData.listLoading = false;
    emit sig_freshIndex();
}

bool DataBase::initSearchMusicList()
{
    const QString config = g_CurMusicPlay.songsearchConfig;
    const int type = config.left(1).toInt();
    const bool keyed = config.contains(QStringLiteral("__M__"));
    const QString key = config.mid(6);
    Query q;
    const QList<DiskInfo> disks = UsingUSBDiskList;
    for (const DiskInfo &disk : disks) {
        if (!q.sql.isEmpty())
            q.sql += " union all ";
        q.sql += "SELECT " + selectColumns(type);
        q.from(disk);
        if (keyed)
            q.keyClause(type, key, disk.diskID);
        else
            q.volumeClause(disk.diskID);
    }
    if (q.sql.isEmpty())
        return false;
    q.sql += songOrder(type);
    Statement st(m_db, q.sql);
    st.bindAll(q.values);
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
    Query q;
    for (const DiskInfo &disk : disks) {
        if (!q.sql.isEmpty())
            q.sql += keyed ? " union all " : " union ";
        QByteArray columns;
        if (category)
            columns = type == SearchArtist ? "author,author_ABC" : type == SearchAlbum ? "album,album_ABC" : "fileExt";
        else
            columns = selectColumns(type);
        q.sql += "SELECT " + columns;
        q.from(disk);
        if (keyed && (type == SearchArtist || type == SearchAlbum || type == SearchFileType))
            q.keyClause(type, key, disk.diskID);
        else
            q.volumeClause(disk.diskID);
    }
    if (category)
        q.sql += type == SearchArtist  ? " GROUP BY author order by author_ABC asc"
                 : type == SearchAlbum ? " GROUP BY album order by album_ABC asc"
                                       : " GROUP BY fileExt order by fileExt asc";
    else
        q.sql += songOrder(type);

    Statement st(m_db, q.sql);
    st.bindAll(q.values);
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
