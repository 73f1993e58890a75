// libFuzzer target: the phone app's list cache file (an INI file on the
// writable partition). Whatever it holds, a list read from it keeps every
// folder and song inside its disk, adds up, and pages cleanly.
#include "applist.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <unistd.h>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A new name each time: QSettings keeps files it has read by name.
    static int n = 0;
    const QString file = QDir::tempPath() + QStringLiteral("/vdx-fuzz-cache-%1-%2.ini").arg(getpid()).arg(n++);
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly))
            return 0;
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    DiskInfo disk;
    disk.diskPath = QStringLiteral("/run/media/usb-storage_1/sda1");
    disk.diskAvailSize = 500;
    disk.diskSizes = 1000;
    disk.port = 1;
    AppMuiscList list;
    const AppList::CacheRead r = AppList::readCache(file, disk, &list);
    QFile::remove(file);
    if (!r.ok)
        return 0;
    int total = 0;
    for (const DirAppList &d : list.dirs) {
        check(d.dirPath == disk.diskPath || d.dirPath.startsWith(disk.diskPath + QLatin1Char('/')));
        check(!d.dirPath.contains(QStringLiteral("/../")) && !d.dirPath.endsWith(QStringLiteral("/..")));
        check(!d.files.isEmpty());
        for (const Dirfile &f : d.files) {
            check(f.path.startsWith(d.dirPath + QLatin1Char('/')));
            check(!f.path.mid(d.dirPath.size() + 1).section(QStringLiteral("__M__"), 0, 0).contains(QLatin1Char('/')));
            check(!f.name.isEmpty());
        }
        total += int(d.files.size());
    }
    check(total == list.allSongs && total <= AppList::MaxSongs);
    int start = 0;
    for (int pages = 0; start < list.allSongs && pages < 50; ++pages) {
        QByteArray p;
        const int len = AppList::musicListPage(list, start, &p);
        check(len > 0 && len <= AppList::PageMax);
        const AppList::DecodedPage d = AppList::decodePage(p);
        check(d.ok && d.next > start && d.next <= list.allSongs);
        start = d.next;
    }
    MediaObjectInfo item;
    if (list.allSongs > 0)
        check(AppList::itemOf(list, list.allSongs - 1, &item));
    return 0;
}
