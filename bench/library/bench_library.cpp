// Library query times on a generated library of 50,000 songs over three
// volumes (a quarter with Chinese names): category lists, first row and all
// rows of every song list, loading the largest volume into the play list,
// and restoring a selection list.
//
//   bench_library [SONGS] [RUNS]

#include "database.h"
#include "disklist.h"
#include "exeshellfordb.h"
#include "globals.h"
#include "platform.h"
#include "sqltext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

namespace {

const char *const kHan = "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可也你对能而子那得";

QString randomName(QRandomGenerator &rng, bool chinese)
{
    QString s;
    const int words = 1 + rng.bounded(4);
    const QString han = QString::fromUtf8(kHan);
    for (int w = 0; w < words; ++w) {
        if (w)
            s += QLatin1Char(' ');
        const int len = 2 + rng.bounded(6);
        for (int i = 0; i < len; ++i)
            s += chinese ? han.at(rng.bounded(han.size())) : QChar('a' + rng.bounded(26));
    }
    return s;
}

void generate(int songs, const QList<DiskInfo> &disks)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(MusicDataBaseName), &db);
    sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN;", nullptr, nullptr, nullptr);
    QRandomGenerator rng(1234);
    // Volume sizes 50%, 30%, 20%.
    const int counts[3] = {songs / 2, songs * 3 / 10, songs - songs / 2 - songs * 3 / 10};
    QStringList artists, albums;
    for (int i = 0; i < 400; ++i)
        artists << randomName(rng, i % 4 == 0);
    for (int i = 0; i < 2500; ++i)
        albums << randomName(rng, i % 4 == 0);
    const char *exts[] = {"mp3", "flac", "dsf", "wav", "ape", "m4a"};
    for (int v = 0; v < disks.size(); ++v) {
        const DiskInfo &d = disks.at(v);
        const QByteArray disk = QStringLiteral("insert into pre_diskList values('STICK%1','ext4','%2','1','%3',%4,2);")
                                    .arg(v)
                                    .arg(d.diskSizes)
                                    .arg(sqliteEscape(d.diskPath))
                                    .arg(d.musicTableID)
                                    .toUtf8();
        sqlite3_exec(db, disk.constData(), nullptr, nullptr, nullptr);
        sqlite3_stmt *st = nullptr;
        const QByteArray sql = "insert into " + get_MusicTableName(&d).toLatin1() + " values(?,?,?,?,?,?,?,?,?,?,?,?)";
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        for (int i = 0; i < counts[v]; ++i) {
            const QString title = randomName(rng, i % 4 == 0);
            const QString artist = artists.at(rng.bounded(artists.size()));
            const QString album = albums.at(rng.bounded(albums.size()));
            const char *ext = exts[rng.bounded(6)];
            const QString path = QStringLiteral("Folder%1/%2.%3").arg(i / 50).arg(title).arg(QLatin1String(ext));
            const QByteArray f[] = {sqliteEscape(title).toUtf8(),
                                    DataBase::GetFirstLetterResu(title).toUtf8(),
                                    QByteArray(ext),
                                    sqliteEscape(path).toUtf8(),
                                    QByteArray::number(1000000 + rng.bounded(90000000)),
                                    sqliteEscape(artist).toUtf8(),
                                    DataBase::GetFirstLetterResu(artist).toUtf8(),
                                    sqliteEscape(album).toUtf8(),
                                    DataBase::GetFirstLetterResu(album).toUtf8()};
            sqlite3_bind_int(st, 1, 1 + i / 50);
            for (int k = 0; k < 9; ++k)
                sqlite3_bind_text(st, 2 + k, f[k].constData(), f[k].size(), SQLITE_TRANSIENT);
            // Modification days at midnight, as the scanner stores them.
            sqlite3_bind_int64(st, 11,
                               ConversionTime(QDateTime::fromSecsSinceEpoch(1500000000 + rng.bounded(200000000))));
            sqlite3_bind_int(st, 12, d.diskID);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    }
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const int songs = argc > 1 ? atoi(argv[1]) : 50000;
    const int runs = argc > 2 ? atoi(argv[2]) : 7;
    QTemporaryDir tmp;
    tmp.setAutoRemove(qEnvironmentVariableIsEmpty("BENCH_KEEP"));
    QDir().mkpath(tmp.path() + QStringLiteral("/run/media/mmcblk1p3"));
    Platform::setSandbox(tmp.path());
    InitPaths();
    InitData();
    ExeShellForDB().CreatNewMusicDB(false);
    if (!tmp.autoRemove())
        std::printf("library file: %s\n", qPrintable(MusicDataBaseName));

    QList<DiskInfo> disks;
    for (int v = 0; v < 3; ++v) {
        DiskInfo d;
        d.diskID = v + 1;
        d.port = v + 1;
        d.musicTableID = v + 1;
        d.arrivalNo = v;
        d.diskSizes = 1000000000LL * (v + 1);
        d.diskPath = USBPath_Prefix + QStringLiteral("usb-storage_%1/sda%1").arg(v + 1);
        disks << d;
    }
    QElapsedTimer gen;
    gen.start();
    generate(songs, disks);
    std::printf("library: %d songs over 3 volumes, generated in %.1f s; median of %d runs\n", songs,
                gen.elapsed() / 1000.0, runs);
    UsingUSBDiskList = disks;
    std::sort(UsingUSBDiskList.begin(), UsingUSBDiskList.end(), compareDiskListData);

    DataBase db;
    db.createConnection();
    QElapsedTimer clock;
    qint64 firstRowNs = -1;
    QObject::connect(
        &db, &DataBase::readDBInfo, &db,
        [&](ListInfo, int) {
            if (firstRowNs < 0)
                firstRowNs = clock.nsecsElapsed();
        },
        Qt::DirectConnection);

    std::printf("%-28s %10s %10s %8s   goal\n", "list", "first ms", "all ms", "rows");
    const char *names[] = {"", "artist", "album", "title", "file type", "date", "size"};
    bool allMet = true;
    auto report = [&](const QString &what, double first, double all, int rows, double goalFirst, double goalAll) {
        const bool met = (goalFirst <= 0 || first <= goalFirst) && (goalAll <= 0 || all <= goalAll);
        allMet = allMet && met;
        std::printf("%-28s %10s %10.1f %8d   %s\n", qPrintable(what),
                    first >= 0 ? qPrintable(QString::number(first, 'f', 1)) : "-", all, rows, met ? "met" : "MISSED");
    };
    QList<TempInfoList> out;
    for (int type : {SearchArtist, SearchAlbum, SearchFileType}) {
        QList<double> all;
        int rows = 0;
        for (int r = 0; r < runs; ++r) {
            clock.start();
            db.setSearchConfig(0, type, &out, QString(), true);
            db.wait();
            all << clock.nsecsElapsed() / 1e6;
            rows = out.size();
        }
        report(QStringLiteral("category %1").arg(QLatin1String(names[type])), -1, median(all), rows, 0, 50);
    }
    for (int type = SearchArtist; type <= SearchSize; ++type) {
        // A keyed song list for artist, album and file type; all songs otherwise.
        QString key;
        if (type == SearchArtist || type == SearchAlbum || type == SearchFileType) {
            db.setSearchConfig(0, type, &out, QString(), true);
            db.wait();
            key = out.value(out.size() / 2).info.title;
        }
        QList<double> firsts, all;
        int rows = 0;
        for (int r = 0; r < runs; ++r) {
            firstRowNs = -1;
            clock.start();
            db.setSearchConfig(1, type, &out, key, false);
            while (firstRowNs < 0 && db.isRunning())
                QThread::usleep(100);
            firsts << firstRowNs / 1e6;
            db.stop();
            db.wait();
            clock.start();
            db.setSearchConfig(1, type, &out, key, true);
            db.wait();
            all << clock.nsecsElapsed() / 1e6;
            rows = out.size();
        }
        report(QStringLiteral("songs by %1%2").arg(QLatin1String(names[type]), key.isEmpty() ? "" : " (one key)"),
               median(firsts), median(all), rows, 50, 500);
    }
    {
        QList<double> all;
        for (int r = 0; r < runs; ++r) {
            mediaObjectInfoList.clear();
            clock.start();
            db.getDiskMusicList(disks.first(), false);
            all << clock.nsecsElapsed() / 1e6;
        }
        report(QStringLiteral("getDiskMusicList (largest)"), -1, median(all), mediaObjectInfoList.size(), 0, 500);
    }
    {
        QList<double> all;
        g_CurMusicPlay.songsearchConfig = QStringLiteral("3");
        for (int r = 0; r < runs; ++r) {
            mediaObjectInfoList.clear();
            clock.start();
            db.initSearchMusicList();
            all << clock.nsecsElapsed() / 1e6;
        }
        report(QStringLiteral("initSearchMusicList (all)"), -1, median(all), mediaObjectInfoList.size(), 0, 500);
    }
    std::printf("goals (category and first row <= 50 ms, full lists <= 500 ms): %s\n", allMet ? "all met" : "missed");
    return 0;
}
