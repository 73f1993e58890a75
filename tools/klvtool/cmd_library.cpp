// Library tools: sort keys, escaping, size texts, and read-only views of a
// library file through the same statements the player runs.
#include "klvtool.h"

#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "sqltext.h"

#include <QFileInfo>

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

// What a volume's status number means (pre_diskList.status).
QString volumeState(int status)
{
    switch (status) {
    case 0:
        return QStringLiteral("new, being scanned");
    case 1:
        return QStringLiteral("scan unfinished");
    case 2:
        return QStringLiteral("scanned");
    case 3:
        return QStringLiteral("scanned, not mounted");
    default:
        return QStringLiteral("unknown");
    }
}

const char *const kDbUsage = "usage: klvtool db FILE config|volumes|folders VOLUME|songs VOLUME|category TYPE|"
                             "search TYPE NAME  (klvtool help db)";

int runDb(const QStringList &argsIn)
{
    QStringList args = argsIn;
    if (args.size() < 2) {
        klvtool::err(QString::fromLatin1(kDbUsage));
        return 2;
    }
    const QString file = args.takeFirst();
    const QString view = args.takeFirst();
    if (!QFileInfo(file).isFile()) {
        klvtool::err(QStringLiteral("klvtool db: no library file ") + file);
        return 1;
    }
    MusicDataBaseName = file;
    DataBase db;
    QString why;
    if (!db.openReadOnly(&why)) {
        klvtool::err(QStringLiteral("klvtool db: %1 is not a library file (%2)").arg(file, why));
        return 1;
    }
    // A view never repairs the file; it says when the file is damaged.
    const QString check = db.checkFile(10000);
    if (!check.isEmpty() && check != QLatin1String("ok"))
        klvtool::err(QStringLiteral("klvtool db: the library file is damaged: ") + check);
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
        klvtool::err(
            QStringLiteral("klvtool db: no volume %1 in %2 (\"klvtool db FILE volumes\" lists them)").arg(id, file));
        return false;
    };
    auto searchType = [&](const QString &text, int *type) {
        bool ok = false;
        *type = text.toInt(&ok);
        if (ok && *type >= SearchArtist && *type <= SearchSize)
            return true;
        klvtool::err(QStringLiteral("klvtool db: TYPE is 1 artist, 2 album, 3 title, 4 file type, 5 date or 6 size"));
        return false;
    };
    auto run = [&](int type, const QString &key, bool namesOnly) {
        QList<TempInfoList> out;
        db.setSearchConfig(0, type, &out, key, true);
        db.wait();
        QMutexLocker lock(db.resultLock());
        for (int i = 0; i < out.size(); ++i) {
            const ListInfo &r = out.at(i).info;
            if (namesOnly) {
                klvtool::out(r.title);
            } else {
                const MediaObjectInfo m = TempMediaObjectList.value(0).mediaList.value(i);
                klvtool::out(row({r.title, r.rightText, m.filePath}));
            }
        }
        return out.size();
    };

    if (view == QLatin1String("config") && args.isEmpty()) {
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
    if (view == QLatin1String("volumes") && args.isEmpty()) {
        klvtool::out(row({"id", "slot", "status", "state", "type", "total", "free", "songs", "name", "path"}));
        for (int i = 0; i < disks.size(); ++i) {
            const DiskInfo &d = disks.at(i);
            klvtool::out(row({QString::number(d.diskID), QString::number(d.musicTableID),
                              QString::number(statuses.at(i)), volumeState(statuses.at(i)), d.fileSystemType,
                              QString::number(d.diskSizes), QString::number(d.diskAvailSize),
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
    if (view == QLatin1String("category") && args.size() == 1) {
        int type = 0;
        if (!searchType(args.first(), &type))
            return 2;
        const bool names = type == SearchArtist || type == SearchAlbum || type == SearchFileType;
        run(type, QString(), names);
        return 0;
    }
    if (view == QLatin1String("search") && args.size() == 2) {
        int type = 0;
        if (!searchType(args.first(), &type))
            return 2;
        if (type != SearchArtist && type != SearchAlbum && type != SearchFileType) {
            klvtool::err(QStringLiteral("klvtool db: search takes TYPE 1 artist, 2 album or 4 file type; "
                                        "\"category %1\" lists every song in that order")
                             .arg(type));
            return 2;
        }
        if (run(type, args.at(1), false) == 0) {
            klvtool::err(QStringLiteral("klvtool db: no songs with %1 \"%2\" (the whole name, as \"category %3\" "
                                        "lists it; a file type in any case)")
                             .arg(type == SearchArtist  ? QStringLiteral("the artist")
                                  : type == SearchAlbum ? QStringLiteral("the album")
                                                        : QStringLiteral("the file type"),
                                  args.at(1))
                             .arg(type));
        }
        return 0;
    }
    klvtool::err(QStringLiteral("klvtool db: no view \"%1\": the views are config, volumes, folders VOLUME, "
                                "songs VOLUME, category TYPE and search TYPE NAME (klvtool help db)")
                     .arg(QStringList(argsIn.mid(1)).join(QLatin1Char(' '))));
    return 2;
}

} // namespace

KLVTOOL_COMMAND("pinyin", "pinyin TEXT", "the sort key of TEXT (pinyin initials, letters, digits)", "", runPinyin);
KLVTOOL_COMMAND("escape", "escape TEXT", "TEXT as the library stores it", "", runEscape);
KLVTOOL_COMMAND("descape", "descape TEXT", "a stored text made plain", "", runDescape);
KLVTOOL_COMMAND("size", "size BYTES", "the size text of the song lists (\"1.5G\")", "", runSize);
KLVTOOL_COMMAND("db", "db FILE VIEW [ARGS]", "read-only views of a library file (QXMusicDB.db)",
                "The library file is opened read-only: nothing is created, indexed or repaired.\n"
                "Every recorded volume counts as mounted at its stored mount point. Views:\n"
                "  config             the player's settings (pre_config)\n"
                "  volumes            every volume ever seen: id, table slot, status and its meaning\n"
                "                     (0 new, being scanned; 1 scan unfinished, resumed when it comes back;\n"
                "                     2 scanned; 3 scanned, not mounted), file-system type, total and free\n"
                "                     bytes, songs, label, mount point\n"
                "  folders VOLUME     the volume's folders: row, read to the end (1), path\n"
                "  songs VOLUME       the volume's songs as the play list takes them: title, type, path\n"
                "  category TYPE      TYPE 1 artists, 2 albums, 4 file types: the names the browser lists;\n"
                "                     3 titles, 5 dates, 6 sizes: every song in that order (title, date or\n"
                "                     size, path)\n"
                "  search TYPE NAME   the songs of one artist (1), album (2) or file type (4): NAME is the\n"
                "                     whole name as \"category TYPE\" lists it (a file type in any case)\n"
                "VOLUME is an id of the volumes view.",
                runDb);
