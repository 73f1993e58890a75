// DataBase: the connection, its indexes, making and repairing the file, and
// the few helpers the other database_*.cpp files share. Settings, volumes
// and folders, file rows and the lists live in files of their own.
#include "database.h"

#include "dbstatement.h"
#include "exeshellfordb.h"
#include "globals.h"
#include "libraryrepair.h"
#include "logging.h"
#include "sqltext.h"

#include <QFile>
#include <QTimer>

namespace {

// The start-up check of the library file reads every page; on a very large
// library it is cut off here rather than hold up the start.
constexpr int kOpenCheckMs = 3000;

} // namespace

DataBase::DataBase(QObject *parent)
    : QThread(parent)
{
    GetFirstLetterResu(QString()); // the initials table is joined here, not on the first key
    m_rebuildGuard = new QTimer(this);
    m_rebuildGuard->setSingleShot(true);
    m_rebuildGuard->setInterval(6000);
    connect(m_rebuildGuard, &QTimer::timeout, this, [this] { m_rebuilding = false; });
}

DataBase::~DataBase()
{
    stop();
    wait();
    m_fence.joined();
    closeConnection();
}

bool DataBase::createConnection()
{
    if (!QFile::exists(MusicDataBaseName))
        CreateDataBase(true);
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(MusicDataBaseName).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_SHAREDCACHE, nullptr);
    if (rc == SQLITE_OK) {
        m_db = db;
        m_connected = true;
        // Damage made while the player was off is found here, before the
        // first write runs into it; a repair's own reopen needs no check.
        if (!m_rebuilding) {
            const QString check = checkFile(kOpenCheckMs);
            if (check.isEmpty()) {
                qCWarning(lcLibrary).noquote()
                    << QStringLiteral("library check gave no answer within %1 ms").arg(kOpenCheckMs);
            } else if (check != QLatin1String("ok")) {
                qCWarning(lcLibrary).noquote() << QStringLiteral("library file damaged: ") + check;
                closeConnection();
                RebuildDataBase();
                return m_connected;
            }
        }
        ensureIndexes();
        return true;
    }
    sqlite3_close_v2(db);
    qCWarning(lcLibrary) << "Connect fail!";
    closeConnection();
    RebuildDataBase();
    return false;
}

QString DataBase::checkFile(int timeoutMs)
{
    return LibraryRepair::quickCheck(m_db, timeoutMs);
}

bool DataBase::openReadOnly(QString *why)
{
    closeConnection();
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(MusicDataBaseName).constData(), &db,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        if (why)
            *why = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        return false;
    }
    m_db = db;
    // A library has these tables; anything else (another SQLite file, or no
    // database at all) is refused with SQLite's reason.
    for (const char *sql : {"SELECT count(*) FROM pre_config;", "SELECT count(*) FROM pre_diskList;"}) {
        Statement st(db, sql);
        if (!st.next()) {
            if (why)
                *why = QString::fromUtf8(st.error());
            closeConnection();
            return false;
        }
    }
    m_connected = true;
    return true;
}

// The sorted song lists (by title, date, size) read each volume in key order
// through these indexes and merge them, so the first row comes without
// sorting the whole library. They lead with the sort column, not diskID, so
// the planner keeps plain scans for the category and keyed lists. Created
// on every open: files written before they existed gain them in place.
void DataBase::ensureIndexes()
{
    // The artist and album levels read a volume's names and keys only.
    static const char *const columns[][2] = {{"abc", "fileName_ABC"},
                                             {"time", "createTime"},
                                             {"size", "fileSize"},
                                             {"author", "diskID,author,author_ABC"},
                                             {"album", "diskID,album,album_ABC"}};
    for (int n = 1; n <= 3; ++n) {
        for (const auto &c : columns)
            exec(sqlf("CREATE INDEX IF NOT EXISTS pre_diskmusic%d_%s ON pre_diskmusic%d(%s);", n, c[0], n, c[1]));
    }
}

bool DataBase::closeConnection()
{
    sqlite3 *db = m_db.exchange(nullptr);
    if (db)
        sqlite3_close_v2(db);
    m_connected = false;
    return true;
}

void DataBase::CreateDataBase(bool restartApp)
{
    g_CurMusicPlay.dbRebuilding = true;
    if (m_connected)
        closeConnection();
    ExeShellForDB shell;
    shell.CreatNewMusicDB(restartApp);
    qCDebug(lcLibrary) << "~CreateDataBase";
    QTimer::singleShot(1000, this, [] { g_CurMusicPlay.dbRebuilding = false; });
}

void DataBase::RebuildDataBase()
{
    if (m_rebuilding)
        return;
    qCDebug(lcLibrary) << "~~~~~~~~~~RebuildDataBase~~~~~~~~~~~~~~~~";
    m_rebuilding = true;
    // The guard timer lives in this object's thread; start it there.
    QMetaObject::invokeMethod(m_rebuildGuard, qOverload<>(&QTimer::start), Qt::AutoConnection);
    g_CurMusicPlay.dbRebuilding = true;
    if (isRunning() && QThread::currentThread() != this) {
        stop();
        wait();
        m_fence.joined();
    }
    if (m_connected)
        closeConnection();
    ExeShellForDB shell;
    shell.RebuilMuiscDB();
    QTimer::singleShot(1000, this, [this] {
        g_CurMusicPlay.dbRebuilding = false;
        if (!m_connected)
            createConnection();
    });
    m_searchAllowed = false;
    if (createConnection()) {
        initConfig();
        emit rebuilDBOver();
    }
}

void DataBase::stop()
{
    m_searchRequested = false;
    m_searchAllowed = false;
    requestInterruption();
}

bool DataBase::exec(const QByteArray &sql)
{
    return Statement(m_db, sql).run();
}

bool DataBase::beginTransaction()
{
    return exec("BEGIN;");
}

bool DataBase::commitTransaction()
{
    return exec("COMMIT;");
}

int DataBase::Reback_SingleResu(const char *sql)
{
    Statement st(m_db, QByteArray(sql));
    return singleInt(st);
}

int DataBase::singleInt(Statement &st)
{
    int value = 0;
    while (st.next())
        value = st.integer(0);
    return value;
}

QString DataBase::musicTable(int musicTableID) const
{
    return QStringLiteral("pre_diskmusic") + QString::number(musicTableID);
}
QString DataBase::dirTable(int musicTableID) const
{
    return QStringLiteral("pre_diskdir") + QString::number(musicTableID);
}
