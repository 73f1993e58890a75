// klvtool applist: what the phone app sees of a folder tree. The tree is
// walked as the player's list service walks a stick; the folders, the songs
// with their indexes on the disk, and with --page a music list page as the
// MCU sends it, decoded.
#include "klvtool.h"

#include "applist.h"
#include "globals.h"
#include "musiclist_forapp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <ctime>

namespace {

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1.0e6;
}

QString hexOf(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

int runApplist(const QStringList &argsIn)
{
    QStringList args = argsIn;
    const bool quiet = klvtool::takeFlag(args, QStringLiteral("--quiet"));
    const bool disks = klvtool::takeFlag(args, QStringLiteral("--disks"));
    QString page;
    QString start;
    const int at = args.indexOf(QStringLiteral("--page"));
    if (at >= 0) {
        // "--page DISK START": the option takes two words.
        if (at + 2 >= args.size()) {
            klvtool::err(QStringLiteral("applist: --page DISK START"));
            return 2;
        }
        page = args.at(at + 1);
        start = args.at(at + 2);
        args.erase(args.begin() + at, args.begin() + at + 3);
    }
    if (args.isEmpty()) {
        klvtool::err(QStringLiteral("usage: klvtool applist DIR... [--page DISK START] [--disks] [--quiet]"));
        return 2;
    }
    InitData();
    QList<AppMuiscList> lists;
    int port = 1;
    for (const QString &dir : qAsConst(args)) {
        const QFileInfo info(dir);
        if (!info.isDir()) {
            klvtool::err(QStringLiteral("applist: %1 is no folder").arg(dir));
            return 1;
        }
        DiskInfo disk;
        disk.diskPath = info.absoluteFilePath();
        disk.diskName = info.fileName();
        disk.storageId = info.fileName();
        disk.port = port;
        disk.arrivalNo = port;
        disk.diskID = port;
        disk.diskSizes = 1;
        AppMuiscList list;
        QByteArray hash;
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = cpuMs();
        musiclist_forapp::buildList(disk, &list, &hash);
        const double cpu = cpuMs() - cpu0;
        lists.append(list);
        klvtool::out(QStringLiteral("disk %1 %2: %3 folders, %4 songs, hash %5, built in %6 ms (cpu %7 ms)")
                         .arg(lists.size() - 1)
                         .arg(list.diskPath)
                         .arg(list.dirs.size())
                         .arg(list.allSongs)
                         .arg(QString::fromLatin1(hash))
                         .arg(wall.elapsed())
                         .arg(cpu, 0, 'f', 1));
        if (!quiet && page.isEmpty()) {
            int index = 0;
            for (const DirAppList &d : qAsConst(list.dirs)) {
                const QString rel = d.dirPath == list.diskPath ? QString::fromLatin1(AppList::RootName)
                                                               : d.dirPath.mid(list.diskPath.size() + 1);
                klvtool::out(QStringLiteral("  %1 (%2)").arg(rel).arg(d.songs));
                for (const Dirfile &f : d.files)
                    klvtool::out(QStringLiteral("    %1 %2 [%3]").arg(index++, 5).arg(f.name, f.type));
            }
        }
        ++port;
    }
    if (disks) {
        QByteArray payload;
        const int n = AppList::diskListPayload(lists, &payload);
        bool ok = false;
        klvtool::out(QStringLiteral("disk list: %1 bytes").arg(n));
        for (const AppList::DecodedDisk &d : AppList::decodeDiskList(payload, &ok))
            klvtool::out(QStringLiteral("  disk %1 slot %2 state %3 size %4 %5 \"%6\"")
                             .arg(d.index)
                             .arg(d.slot)
                             .arg(d.state)
                             .arg(qint64(d.size))
                             .arg(QString::fromLatin1(d.display), d.name));
        if (!ok)
            klvtool::out(QStringLiteral("  undecodable: %1").arg(hexOf(payload)));
    }
    if (page.isEmpty())
        return 0;
    bool okDisk = false;
    bool okStart = false;
    const int disk = page.toInt(&okDisk);
    const int from = start.toInt(&okStart);
    if (!okDisk || !okStart || disk < 0 || disk >= lists.size()) {
        klvtool::err(QStringLiteral("applist: --page DISK START with DISK 0..%1").arg(lists.size() - 1));
        return 2;
    }
    QByteArray payload;
    const int n = AppList::musicListPage(lists.at(disk), from, &payload);
    if (n < 0) {
        klvtool::out(QStringLiteral("page %1 of disk %2: no such song (file return 103)").arg(from).arg(disk));
        return 1;
    }
    const AppList::DecodedPage d = AppList::decodePage(payload);
    klvtool::out(QStringLiteral("page %1 of disk %2: %3 bytes, next %4, %5 folders")
                     .arg(from)
                     .arg(disk)
                     .arg(n)
                     .arg(d.next)
                     .arg(d.folders.size()));
    for (const AppList::PageFolder &f : d.folders) {
        klvtool::out(QStringLiteral("  %1 (%2)").arg(f.name).arg(f.songs.size()));
        for (const AppList::PageSong &s : f.songs)
            klvtool::out(QStringLiteral("    %1 %2").arg(s.index, 5).arg(s.name));
    }
    if (!d.ok)
        klvtool::out(QStringLiteral("  undecodable (%1): %2").arg(d.error, hexOf(payload)));
    return d.ok ? 0 : 1;
}

} // namespace

KLVTOOL_COMMAND("applist", "applist DIR... [--page DISK START] [--disks] [--quiet]",
                "the phone app's list of folder trees, as the player's list service builds it",
                "Each DIR is walked as a stick (disk 0, 1, ...): its folders and songs with their indexes\n"
                "on the disk (--quiet leaves them out), the content hash and the build time. --disks adds\n"
                "the disk list as the MCU sends it, decoded; --page DISK START the music list page that\n"
                "begins at song START, decoded (folders, songs, the next index). Exit status 0; 1 when a\n"
                "DIR is no folder or START names no song (the player answers 103); 2 on bad arguments.",
                runApplist);
