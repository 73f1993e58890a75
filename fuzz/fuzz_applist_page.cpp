// libFuzzer target: the page and disk-list builders of the phone app's
// lists, on folder and song names made of any bytes (decoded as the file
// system's UTF-8 would be). Every page is at most 378 bytes, reads back
// as built, and paging visits every song once, in order.
#include "applist.h"

#include <QByteArray>
#include <QList>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Names are the input split at zero bytes; a name starting with 0x01
    // starts a new folder.
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char *>(data), int(size)).split('\0');
    DiskInfo disk;
    disk.diskPath = QStringLiteral("/m/d");
    disk.port = 2;
    disk.diskSizes = qint64(size) * 1000;
    disk.diskName = QString::fromUtf8(parts.value(0));
    AppMuiscList list = AppList::newList(disk);
    for (int i = 1; i < parts.size() && i < 3000; ++i) {
        const QByteArray &raw = parts.at(i);
        const QString text = QString::fromUtf8(raw.startsWith('\x01') ? raw.mid(1) : raw);
        if (raw.startsWith('\x01') || list.dirs.isEmpty()) {
            DirAppList d;
            d.dirPath = disk.diskPath + QLatin1Char('/') + QString(text).replace(QLatin1Char('/'), QLatin1Char('_'));
            list.dirs.append(d);
            if (raw.startsWith('\x01'))
                continue;
        }
        Dirfile f;
        f.name = text.isEmpty() ? QStringLiteral("x") : text;
        f.path = list.dirs.last().dirPath + QStringLiteral("/f.flac");
        f.type = QStringLiteral("flac");
        list.dirs.last().files.append(f);
    }
    for (int i = list.dirs.size() - 1; i >= 0; --i) {
        if (list.dirs.at(i).files.isEmpty())
            list.dirs.removeAt(i);
    }
    AppList::finishList(&list);
    int start = 0;
    int expected = 0;
    while (start < list.allSongs) {
        QByteArray p;
        const int len = AppList::musicListPage(list, start, &p);
        check(len > 3 && len <= AppList::PageMax && len == p.size());
        check(!p.endsWith("\n\r") && !p.endsWith("\r\n"));
        const AppList::DecodedPage d = AppList::decodePage(p);
        check(d.ok);
        for (const AppList::PageFolder &f : d.folders) {
            check(!f.songs.isEmpty());
            for (const AppList::PageSong &s : f.songs)
                check(s.index == expected++);
        }
        check(d.next == expected && d.next > start);
        start = d.next;
    }
    check(expected == list.allSongs);
    QByteArray payload;
    QList<AppMuiscList> disks;
    for (int i = 0; i < 6; ++i)
        disks.append(list);
    const int n = AppList::diskListPayload(disks, &payload);
    check(n > 0 && n <= AppList::FrameMax);
    bool ok = false;
    check(AppList::decodeDiskList(payload, &ok).size() == 6 && ok);
    return 0;
}
