// klvtool scan: the player's scanner on one folder, treated as a USB volume,
// into a library file; prints the rows it entered and a summary line.
#include "klvtool.h"

#include "database.h"
#include "disklist.h"
#include "globals.h"
#include "scanner.h"
#include "sqltext.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <sqlite3.h>

extern "C" {
#include <libavutil/log.h>
}

namespace {

// A new library file from the schema script compiled into the program.
bool createLibrary(const QString &file)
{
    QFile script(QStringLiteral(":/qss/DataBase/default.sql"));
    if (!script.open(QIODevice::ReadOnly))
        return false;
    const QByteArray sql = script.readAll();
    sqlite3 *db = nullptr;
    const bool ok =
        sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
            == SQLITE_OK
        && sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close_v2(db);
    return ok;
}

void printRows(const QString &file, const DiskInfo &disk)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return;
    }
    char *sql = sqlite3_mprintf("SELECT fileName,fileExt,filePath,fileSize,author,album,createTime FROM "
                                "pre_diskmusic%d WHERE diskID=%d ORDER BY rowid;",
                                disk.musicTableID, disk.diskID);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
        auto text = [&](int col) {
            return sqliteDescape(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, col))));
        };
        while (sqlite3_step(st) == SQLITE_ROW) {
            const QString day =
                QDateTime::fromSecsSinceEpoch(sqlite3_column_int64(st, 6)).toString(QStringLiteral("yyyy-MM-dd"));
            klvtool::out(QStringList{text(0), text(1), text(2), QString::number(sqlite3_column_int64(st, 3)), text(4),
                                     text(5), day}
                             .join(QLatin1Char('\t')));
        }
    }
    sqlite3_finalize(st);
    sqlite3_free(sql);
    sqlite3_close_v2(db);
}

int runScan(const QStringList &argsIn)
{
    QStringList args = argsIn;
    const QString dbFile = klvtool::takeOption(args, QStringLiteral("--db"), QStringLiteral("klvscan.db"));
    const int interval = klvtool::takeOption(args, QStringLiteral("--interval"), QStringLiteral("20")).toInt();
    const int port = klvtool::takeOption(args, QStringLiteral("--port"), QStringLiteral("1")).toInt();
    const bool quiet = klvtool::takeFlag(args, QStringLiteral("--quiet"));
    if (args.size() != 1 || port < 1 || port > 3 || interval < 0) {
        klvtool::err(
            QStringLiteral("usage: klvtool scan DIR [--db FILE] [--interval MS] [--port 1|2|3] [--quiet] [--verbose]"));
        return 2;
    }
    const QFileInfo dir(args.first());
    if (!dir.isDir()) {
        klvtool::err(QStringLiteral("klvtool: no folder ") + args.first());
        return 1;
    }
    av_log_set_level(AV_LOG_ERROR);

    // The folder appears as the volume usb-storage_PORT/sda1 under a
    // private media prefix, so paths become volume-relative as on the board.
    QTemporaryDir media;
    const QString portDir = media.path() + QStringLiteral("/usb-storage_%1").arg(port);
    const QString mountPoint = portDir + QStringLiteral("/sda1");
    if (!media.isValid() || !QDir().mkpath(portDir) || !QFile::link(dir.canonicalFilePath(), mountPoint)) {
        klvtool::err(QStringLiteral("klvtool: cannot make a media folder"));
        return 1;
    }
    USBPath_Prefix = media.path() + QLatin1Char('/');

    if (!QFile::exists(dbFile) && !createLibrary(dbFile)) {
        klvtool::err(QStringLiteral("klvtool: cannot create ") + dbFile);
        return 1;
    }
    MusicDataBaseName = dbFile;
    DataBase db;
    if (!db.createConnection()) {
        klvtool::err(QStringLiteral("klvtool: cannot open ") + dbFile);
        return 1;
    }

    const QStorageInfo storage(dir.canonicalFilePath());
    DiskInfo disk;
    disk.diskPath = mountPoint;
    disk.diskName = storage.name().isEmpty() ? dir.fileName() : storage.name();
    disk.fileSystemType = QString::fromLatin1(storage.fileSystemType());
    disk.storageId = QStringLiteral("sda1");
    disk.diskSizes = storage.bytesTotal();
    disk.diskAvailSize = storage.bytesAvailable();
    disk.port = port;
    int rowid = 0, slot = 0, changed = 0;
    const int status = db.Is_DiskExist(disk, storage.fileSystemType(), rowid, slot, changed);
    disk.diskID = rowid;
    disk.musicTableID = slot;
    if (status == -1) {
        if (!db.insert_DiskList(disk, storage.fileSystemType(), disk.diskName, &disk.diskID)) {
            klvtool::err(QStringLiteral("klvtool: the library refused the volume"));
            return 1;
        }
        disk.musicTableID = port;
    }
    UsingUSBDiskList = {disk};

    Scanner scanner;
    scanner.setDataBase(&db);
    scanner.setScannerSpeed(interval);
    QEventLoop loop;
    bool unfinished = true;
    QObject::connect(&scanner, &Scanner::scanOver, &loop, [&](bool stopped, const QString &) {
        unfinished = stopped;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    scanner.setScanPath(disk, false, 0, nullptr);
    loop.exec();
    const double seconds = clock.elapsed() / 1000.0;
    scanner.wait();
    db.update_DiskInfo(disk, unfinished ? 1 : 2, QStringLiteral("status"));

    if (!quiet)
        printRows(dbFile, disk);
    const Scanner::Stats s = scanner.stats();
    klvtool::out(QStringLiteral("scan: volume %1, %2 folders found, %3 read, %4 rows entered, %5 CUE sheets read, "
                                "%6 already complete, %7 names not UTF-8, %8 refused, unfinished %9, %10 s")
                     .arg(disk.diskID)
                     .arg(s.foldersFound)
                     .arg(s.foldersRead)
                     .arg(s.filesEntered)
                     .arg(s.sheetsRead)
                     .arg(s.sheetsSkipped)
                     .arg(s.namesSkipped)
                     .arg(s.refused)
                     .arg(unfinished ? QStringLiteral("true") : QStringLiteral("false"))
                     .arg(seconds, 0, 'f', 3));
    return unfinished ? 3 : 0;
}

} // namespace

KLVTOOL_COMMAND("scan", "scan DIR [--db FILE] [--interval MS] [--port 1|2|3] [--quiet]",
                "the player's scanner on a folder, as if it were a USB volume",
                "The folder is scanned as the volume usb-storage_PORT/sda1 (PORT 1 by default) into the\n"
                "library file FILE (default klvscan.db, created when missing; the player's own file can be\n"
                "given). One line per row entered (title, type, path, size, artist, album, day; --quiet\n"
                "leaves them out), then a summary. --interval: the pacing, 20 the player's own (18 ms\n"
                "after every file and folder), 0 none. A folder scanned again into the same file resumes\n"
                "where the last scan stopped. Exit status 0, or 3 when the scan was unfinished.",
                runScan);
