// DataBase: the file rows of the volumes (pre_diskmusicN), written by the
// scanner and the album/artist scan.
#include "database.h"

#include "dbstatement.h"
#include "disklist.h"
#include "globals.h"
#include "logging.h"
#include "scannerdefs.h"
#include "sqltext.h"

#include <QCoreApplication>
#include <QDateTime>

bool DataBase::insert_Music(const QString &table, const AudioInfo *info, const DiskInfo *folder)
{
    const QString artist = info->artist;
    const QString album = info->album;
    Statement st(m_db, sqlf("insert into \"%w\" values(?,?,?,?,?,?,?,?,?,?,?,?);", table.toUtf8().constData()));
    st.bindInt(static_cast<int>(folder->diskSizes))
        .bindText(sqliteEscape(info->title))
        .bindText(GetFirstLetterResu(info->title))
        .bindText(info->fileExt)
        .bindText(sqliteEscape(get_Omitpath(info->filePath)))
        .bindText(QByteArray::number(info->fileSize))
        .bindText(artist.isEmpty() ? QString() : sqliteEscape(artist))
        .bindText(artist.isEmpty() ? QString() : GetFirstLetterResu(artist))
        .bindText(album.isEmpty() ? QString() : sqliteEscape(album))
        .bindText(album.isEmpty() ? QString() : GetFirstLetterResu(album))
        .bindInt(static_cast<int>(info->createTime))
        .bindInt(folder->diskID);
    const bool ok = st.run();
    if (!ok)
        qCWarning(lcLibrary) << "insert_Music error:" << st.error();
    return ok;
}

int DataBase::Is_DataExist(const QString &table, const QString &column, const QString &value, int diskID)
{
    const QString v = value == rootFolderKey() ? value : get_Omitpath(value);
    Statement st(m_db, sqlf("SELECT rowid FROM \"%w\" where \"%w\"=? and diskID=?;", table.toUtf8().constData(),
                            column.toUtf8().constData()));
    st.bindText(sqliteEscape(v)).bindInt(diskID);
    return singleInt(st);
}

int DataBase::count_SongData(const QString &path, const DiskInfo *disk)
{
    Statement st(m_db, sqlf("SELECT count(rowid) FROM \"%w\" where filePath=? and diskID=?;",
                            get_MusicTableName(disk).toUtf8().constData()));
    st.bindText(sqliteEscape(get_Omitpath(path))).bindInt(disk->diskID);
    return singleInt(st);
}

int DataBase::Count_SongsFromDiskID(const DiskInfo &disk)
{
    Statement st(
        m_db, sqlf("SELECT count(rowid) FROM \"%w\" where diskID=?;", get_MusicTableName(&disk).toUtf8().constData()));
    st.bindInt(disk.diskID);
    return singleInt(st);
}

int DataBase::search_SongRowID(const QFileInfo *info, int musicTableID, int diskID)
{
    Statement st(m_db, sqlf("SELECT rowid FROM \"%w\" where fileExt=? and fileSize=? and createTime=? and diskID=?;",
                            musicTable(musicTableID).toUtf8().constData()));
    st.bindText(info->suffix())
        .bindText(QByteArray::number(info->size()))
        .bindInt(static_cast<int>(ConversionTime(info->lastModified())))
        .bindInt(diskID);
    return singleInt(st);
}

qint64 DataBase::get_FileSize(const QString &path, int musicTableID, int diskID, int &rowid)
{
    rowid = 0;
    qint64 size = 0;
    Statement st(m_db, sqlf("SELECT rowid,fileSize FROM \"%w\" where filePath=? and diskID=?;",
                            musicTable(musicTableID).toUtf8().constData()));
    st.bindText(sqliteEscape(get_Omitpath(path))).bindInt(diskID);
    while (st.next()) {
        rowid = st.integer(0);
        size = st.int64(1);
    }
    return size;
}

void DataBase::update_MusicInfo(const QFileInfo *info, int rowid, int diskID)
{
    Q_UNUSED(diskID);
    DiskInfo d;
    d.musicTableID = get_TableIDFromPath(info->absoluteFilePath());
    const QString title = info->completeBaseName();
    Statement(m_db, sqlf("update \"%w\" set fileName=?,fileName_ABC=?,filePath=? where rowid=?;",
                         get_MusicTableName(&d).toUtf8().constData()))
        .bindText(sqliteEscape(title))
        .bindText(GetFirstLetterResu(title))
        .bindText(sqliteEscape(get_Omitpath(info->absoluteFilePath())))
        .bindInt(rowid)
        .run();
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
    Statement(m_db, sqlf("update \"%w\" set author=?,author_ABC=?,album=?,album_ABC=? where rowid=? and diskID=?;",
                         get_MusicTableName(&d).toUtf8().constData()))
        .bindText(a)
        .bindText(artistKey)
        .bindText(b)
        .bindText(albumKey)
        .bindInt(rec.rowid)
        .bindInt(rec.diskID)
        .run();
}

void DataBase::readNoablumSonglist(QList<MediaInfo> *out, const QList<DiskInfo> &volumes)
{
    for (const DiskInfo &disk : volumes) {
        Statement st(m_db, sqlf("SELECT rowid,diskID,filePath,fileExt FROM \"%w\" where author='' and diskID=?;",
                                get_MusicTableName(&disk).toUtf8().constData()));
        st.bindInt(disk.diskID);
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
    Statement(m_db,
              sqlf("delete from \"%w\" where filePath=? and diskID=?;", get_MusicTableName(&d).toUtf8().constData()))
        .bindText(sqliteEscape(get_Omitpath(path)))
        .bindInt(diskID)
        .run();
}

bool DataBase::del_TableData(const QString &table, int diskID)
{
    if (table == QLatin1String("pre_config"))
        return false;
    return Statement(m_db, sqlf("delete from \"%w\" where diskID=?;", table.toUtf8().constData()))
        .bindInt(diskID)
        .run();
}

void DataBase::clean_AllData(int musicTableID, int diskID)
{
    del_TableData(dirTable(musicTableID), diskID);
    del_TableData(musicTable(musicTableID), diskID);
}
