// Library tools: sort keys, escaping, size texts, and read-only views of a
// library file through the same statements the player runs.
#include "klvtool.h"

#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "sqltext.h"

#include <QFile>

namespace {

int runPinyin(const QStringList &args)
{
    if (args.isEmpty())
        return klvtool::err(QStringLiteral("usage: klvtool pinyin TEXT")), 2;
    klvtool::out(DataBase::GetFirstLetterResu(args.join(QLatin1Char(' '))));
    return 0;
}

int runEscape(const QStringList &args)
{
    klvtool::out(sqliteEscape(args.join(QLatin1Char(' '))));
    return 0;
}

int runDescape(const QStringList &args)
{
    klvtool::out(sqliteDescape(args.join(QLatin1Char(' '))));
    return 0;
}

int runSize(const QStringList &args)
{
    bool ok = false;
    const qint64 bytes = args.value(0).toLongLong(&ok);
    if (!ok)
        return klvtool::err(QStringLiteral("usage: klvtool size BYTES")), 2;
    klvtool::out(DataBase::bytesToSize(bytes));
    return 0;
}

QString row(const QStringList &fields)
{
    return fields.join(QLatin1Char('\t'));
}

int runDb(const QStringList &argsIn)
{
    QStringList args = argsIn;
    if (args.size() < 2) {
        klvtool::err(QStringLiteral("usage: klvtool db FILE config|volumes|folders VOLUME|songs VOLUME|"
                                    "category TYPE|search TYPE KEY"));
        return 2;
    }
    const QString file = args.takeFirst();
    const QString view = args.takeFirst();
    if (!QFile::exists(file)) {
        klvtool::err(QStringLiteral("klvtool: no library file ") + file);
        return 1;
    }
    MusicDataBaseName = file;
    DataBase db;
    if (!db.createConnection()) {
        klvtool::err(QStringLiteral("klvtool: cannot open ") + file);
        return 1;
    }
    // Every recorded volume counts as mounted at its stored mount point.
    QList<int> statuses;
    const QVector<DiskInfo> disks = db.read_DiskList(&statuses);
    UsingUSBDiskList = QList<DiskInfo>(disks.begin(), disks.end());
    std::stable_sort(UsingUSBDiskList.begin(), UsingUSBDiskList.end(), compareDiskListData);
    auto volume = [&](const QString &id, DiskInfo *out) {
        for (const DiskInfo &d : disks) {
            if (QString::number(d.diskID) == id) {
                *out = d;
                return true;
            }
        }
        klvtool::err(QStringLiteral("klvtool: no volume ") + id);
        return false;
    };

    if (view == QLatin1String("config")) {
        if (!db.initConfig())
            return 1;
        klvtool::out(row({"curDirPath", g_CurMusicPlay.curDirPath}));
        klvtool::out(row({"playMode", QString::number(g_CurMusicPlay.playMode)}));
        klvtool::out(row({"curDiskID", QString::number(g_CurMusicPlay.curDiskID)}));
        klvtool::out(row({"musiclistType", QString::number(g_CurMusicPlay.musiclistType)}));
        klvtool::out(row({"songsearchConfig", g_CurMusicPlay.songsearchConfig}));
        klvtool::out(row({"languageID", QString::number(LanguageID)}));
        klvtool::out(row({"isSubPage", g_CurMusicPlay.isSubPage ? "1" : "0"}));
        klvtool::out(row({"Wheelad1", QString::number(g_TempData.wheelAd1)}));
        klvtool::out(row({"Wheelad2", QString::number(g_TempData.wheelAd2)}));
        klvtool::out(row({"delayUint", QString::number(Cur_Delay_Uint)}));
        klvtool::out(row({"dbVersion", g_CurMusicPlay.dbVersion}));
        return 0;
    }
    if (view == QLatin1String("volumes")) {
        klvtool::out(row({"id", "slot", "status", "type", "total", "free", "songs", "name", "path"}));
        for (int i = 0; i < disks.size(); ++i) {
            const DiskInfo &d = disks.at(i);
            klvtool::out(
                row({QString::number(d.diskID), QString::number(d.musicTableID), QString::number(statuses.at(i)),
                     d.fileSystemType, QString::number(d.diskSizes), QString::number(d.diskAvailSize),
                     QString::number(db.Count_SongsFromDiskID(d)), d.diskName, d.diskPath}));
        }
        return 0;
    }
    if (view == QLatin1String("folders") && args.size() == 1) {
        DiskInfo d;
        if (!volume(args.first(), &d))
            return 1;
        QVector<MediaInfo> folders;
        db.Get_DBDirList_Path(&folders, &d);
        for (const MediaInfo &m : folders)
            klvtool::out(row({QString::number(m.rowid), QString::number(m.readOver), m.filePath}));
        return 0;
    }
    if (view == QLatin1String("songs") && args.size() == 1) {
        DiskInfo d;
        if (!volume(args.first(), &d))
            return 1;
        mediaObjectInfoList.clear();
        db.getDiskMusicList(d, false);
        for (const MediaObjectInfo &m : mediaObjectInfoList)
            klvtool::out(row({m.fileName, m.fileType, m.filePath}));
        return 0;
    }
    if ((view == QLatin1String("category") && args.size() == 1)
        || (view == QLatin1String("search") && args.size() == 2)) {
        bool ok = false;
        const int type = args.first().toInt(&ok);
        if (!ok || type < SearchArtist || type > SearchSize)
            return klvtool::err(
                       QStringLiteral("klvtool: TYPE is 1 artist, 2 album, 3 title, 4 file type, 5 date, 6 size")),
                   2;
        QList<TempInfoList> out;
        db.setSearchConfig(0, type, &out, args.value(1), true);
        db.wait();
        QMutexLocker lock(db.resultLock());
        for (int i = 0; i < out.size(); ++i) {
            const ListInfo &r = out.at(i).info;
            if (view == QLatin1String("category")) {
                klvtool::out(r.title);
            } else {
                const MediaObjectInfo m = TempMediaObjectList.value(0).mediaList.value(i);
                klvtool::out(row({r.title, r.rightText, m.filePath}));
            }
        }
        return 0;
    }
    klvtool::err(QStringLiteral("klvtool db: unknown view ") + view);
    return 2;
}

} // namespace

KLVTOOL_COMMAND("pinyin", "pinyin TEXT                 the sort key of TEXT", runPinyin);
KLVTOOL_COMMAND("escape", "escape TEXT                 TEXT as the library stores it", runEscape);
KLVTOOL_COMMAND("descape", "descape TEXT                a stored text made plain", runDescape);
KLVTOOL_COMMAND("size", "size BYTES                  the size text of the lists", runSize);
KLVTOOL_COMMAND("db",
                "db FILE config|volumes|folders VOLUME|songs VOLUME|category TYPE|search TYPE KEY\n"
                "                              read-only views of a library file",
                runDb);
