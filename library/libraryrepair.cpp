#include "libraryrepair.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char kSchemaScript[] = ":/qss/DataBase/default.sql";

// Tables the program cannot run without.
const char *const kNeededTables[] = {"pre_config",   "pre_diskList",   "pre_diskdir1",   "pre_diskdir2",
                                     "pre_diskdir3", "pre_diskmusic1", "pre_diskmusic2", "pre_diskmusic3"};

class Connection
{
public:
    Connection() = default;
    ~Connection() { close(); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool open(const QByteArray &name, int flags)
    {
        close();
        if (sqlite3_open_v2(name.constData(), &m_db, flags, nullptr) == SQLITE_OK)
            return true;
        close();
        return false;
    }
    void close()
    {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    sqlite3 *get() const { return m_db; }
    bool exec(const char *sql) const { return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

private:
    sqlite3 *m_db = nullptr;
};

class Statement
{
public:
    Statement(sqlite3 *db, const QByteArray &sql)
    {
        if (!db || sqlite3_prepare_v2(db, sql.constData(), -1, &m_stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool ok() const { return m_stmt != nullptr; }
    sqlite3_stmt *get() const { return m_stmt; }
    int step() const { return sqlite3_step(m_stmt); }
    void reset() const { sqlite3_reset(m_stmt); }
    QString text(int col) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col)));
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

QByteArray quoted(const QString &name)
{
    QString n = name;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + n.toUtf8() + '"';
}

struct Table {
    QString name;
    QStringList columns;
};

QList<Table> tablesOf(sqlite3 *db)
{
    QList<Table> out;
    Statement names(db,
                    "SELECT name FROM sqlite_schema WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY rowid;");
    while (names.ok() && names.step() == SQLITE_ROW) {
        Table t{names.text(0), {}};
        Statement info(db, "PRAGMA table_info(" + quoted(t.name) + ");");
        while (info.ok() && info.step() == SQLITE_ROW)
            t.columns << info.text(1);
        out << t;
    }
    return out;
}

bool fsyncPath(const QString &path, bool directory)
{
    const int fd = ::open(QFile::encodeName(path).constData(), directory ? O_RDONLY | O_DIRECTORY : O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void removeWithJournal(const QString &path)
{
    for (const char *suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

// Copies the rows of one table that can be read from src into dst, rowids
// kept. A row on a damaged page fails the read: the copy then looks for
// the first rowid from which reading works again (doubling the step, then
// halving it back), so that only the rows of the damaged pages are lost.
int copyTable(sqlite3 *src, sqlite3 *dst, const Table &table, int *stretches)
{
    QByteArray cols;
    QByteArray params = "?1";
    for (int i = 0; i < table.columns.size(); ++i) {
        cols += ',' + quoted(table.columns[i]);
        params += ",?" + QByteArray::number(i + 2);
    }
    // ">=": a seek for the first rowid of the page after a damaged one
    // lands on that page, not on the damaged one.
    const Statement read(src,
                         "SELECT rowid" + cols + " FROM " + quoted(table.name) + " WHERE rowid >= ?1 ORDER BY rowid;");
    const Statement write(dst, "INSERT INTO " + quoted(table.name) + "(rowid" + cols + ") VALUES(" + params + ");");
    if (!read.ok() || !write.ok())
        return 0;
    const int n = table.columns.size() + 1;
    // True when the rows from `from` on can be read (or there are none). A
    // damaged page can also give rows out of order: those count as damage.
    auto readable = [&](sqlite3_int64 from) {
        read.reset();
        sqlite3_bind_int64(read.get(), 1, from);
        const int rc = read.step();
        return rc == SQLITE_DONE || (rc == SQLITE_ROW && sqlite3_column_int64(read.get(), 0) >= from);
    };
    int copied = 0;
    sqlite3_int64 next = LLONG_MIN;
    for (;;) {
        read.reset();
        sqlite3_bind_int64(read.get(), 1, next);
        int rc;
        while ((rc = read.step()) == SQLITE_ROW) {
            const sqlite3_int64 rowid = sqlite3_column_int64(read.get(), 0);
            if (rowid < next) {
                rc = SQLITE_CORRUPT;
                break;
            }
            for (int i = 0; i < n; ++i)
                sqlite3_bind_value(write.get(), i + 1, sqlite3_column_value(read.get(), i));
            // A row the schema refuses (a NULL where none may be) stays out.
            if (write.step() == SQLITE_DONE)
                ++copied;
            write.reset();
            if (rowid == LLONG_MAX)
                return copied;
            next = rowid + 1;
        }
        if (rc == SQLITE_DONE)
            break;
        ++*stretches;
        // Reading from `next` fails. Offsets above it, in unsigned
        // arithmetic: rowids span the whole 64-bit range.
        const sqlite3_uint64 room = sqlite3_uint64(LLONG_MAX) - sqlite3_uint64(next);
        auto at = [next](sqlite3_uint64 offset) { return sqlite3_int64(sqlite3_uint64(next) + offset); };
        if (room == 0)
            return copied;
        sqlite3_uint64 lo = 0; // known to fail (0: `next` itself)
        sqlite3_uint64 hi = 1;
        while (!readable(at(hi))) {
            if (hi == room)
                return copied; // nothing readable up to the largest rowid
            lo = hi;
            hi = hi > room / 2 ? room : hi * 2;
        }
        while (hi - lo > 1) {
            const sqlite3_uint64 mid = lo + (hi - lo) / 2;
            (readable(at(mid)) ? hi : lo) = mid;
        }
        next = at(hi);
    }
    return copied;
}

} // namespace

QString LibraryRepair::damagedCopyPath(const QString &file)
{
    return file + QStringLiteral(".damaged");
}

QString LibraryRepair::rebuildPath(const QString &file)
{
    return file + QStringLiteral(".rebuild");
}

QString LibraryRepair::quickCheck(sqlite3 *db, int timeoutMs)
{
    if (!db)
        return QString();
    struct Limit {
        QElapsedTimer clock;
        int ms = 0;
        bool hit = false;
    } limit;
    limit.clock.start();
    limit.ms = timeoutMs;
    sqlite3_progress_handler(
        db, 1000,
        [](void *p) {
            auto *l = static_cast<Limit *>(p);
            l->hit = l->clock.elapsed() > l->ms;
            return l->hit ? 1 : 0;
        },
        &limit);
    QString result;
    sqlite3_stmt *st = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1);", -1, &st, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
        result = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    else if ((rc & 0xFF) == SQLITE_CORRUPT || (rc & 0xFF) == SQLITE_NOTADB)
        result = QString::fromUtf8(sqlite3_errmsg(db));
    // Anything else (busy, interrupted at the time limit, out of memory)
    // says nothing about the file.
    sqlite3_finalize(st);
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    return limit.hit ? QString() : result;
}

LibraryRepair::Result LibraryRepair::repair(const QString &file)
{
    Result r;
    const QString fresh = rebuildPath(file);
    removeWithJournal(fresh);

    // The new file, from the schema script; its settings rows are the
    // defaults for those the damaged file no longer holds.
    QFile script(QString::fromLatin1(kSchemaScript));
    if (!script.open(QIODevice::ReadOnly)) {
        r.error = QStringLiteral("no schema script");
        return r;
    }
    Connection dst;
    if (!dst.open(QFile::encodeName(fresh), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
        || !dst.exec(script.readAll().constData())) {
        r.error = QStringLiteral("cannot build ") + fresh;
        dst.close();
        removeWithJournal(fresh);
        return r;
    }
    QList<QPair<QString, QString>> defaults;
    {
        Statement st(dst.get(), "SELECT name,value FROM pre_config ORDER BY rowid;");
        while (st.ok() && st.step() == SQLITE_ROW)
            defaults << qMakePair(st.text(0), st.text(1));
    }

    // The damaged file, read only. A hot journal cannot be played back
    // read-only: then the file is read as it stands.
    Connection src;
    const QByteArray name = QFile::encodeName(file);
    r.sourceReadable =
        src.open(name, SQLITE_OPEN_READONLY)
        && sqlite3_exec(src.get(), "SELECT count(*) FROM sqlite_schema;", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!r.sourceReadable) {
        char *uri = sqlite3_mprintf("file:%s?immutable=1", name.toPercentEncoding("/").constData());
        r.sourceReadable =
            src.open(QByteArray(uri), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI)
            && sqlite3_exec(src.get(), "SELECT count(*) FROM sqlite_schema;", nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_free(uri);
    }

    bool written = dst.exec("BEGIN;") && dst.exec("DELETE FROM pre_config;");
    for (const Table &t : tablesOf(dst.get())) {
        const int rows = r.sourceReadable && written ? copyTable(src.get(), dst.get(), t, &r.damagedStretches) : 0;
        r.salvaged << qMakePair(t.name, rows);
    }
    src.close();
    {
        Statement has(dst.get(), "SELECT count(*) FROM pre_config WHERE name=?1;");
        Statement add(dst.get(), "INSERT INTO pre_config VALUES(?1,?2);");
        for (const auto &d : qAsConst(defaults)) {
            const QByteArray key = d.first.toUtf8();
            const QByteArray value = d.second.toUtf8();
            sqlite3_bind_text(has.get(), 1, key.constData(), -1, SQLITE_TRANSIENT);
            const bool present = has.step() == SQLITE_ROW && sqlite3_column_int(has.get(), 0) > 0;
            has.reset();
            if (present)
                continue;
            sqlite3_bind_text(add.get(), 1, key.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(add.get(), 2, value.constData(), -1, SQLITE_TRANSIENT);
            written = written && add.step() == SQLITE_DONE;
            add.reset();
        }
    }
    written = written && dst.exec("COMMIT;");

    // The new file must be sound and hold every table the program needs.
    bool sound = false;
    if (written) {
        Statement check(dst.get(), "PRAGMA integrity_check;");
        sound = check.ok() && check.step() == SQLITE_ROW && check.text(0) == QLatin1String("ok");
        const QList<Table> tables = tablesOf(dst.get());
        for (const char *needed : kNeededTables) {
            sound = sound && std::any_of(tables.begin(), tables.end(), [&](const Table &t) {
                        return t.name == QLatin1String(needed);
                    });
        }
    }
    dst.close();
    if (!sound || !fsyncPath(fresh, false)) {
        r.error = QStringLiteral("the rebuilt file did not pass its check");
        removeWithJournal(fresh);
        return r;
    }

    // Keep the damaged file (one generation), then put the new one in its
    // place in one step. A journal left by the damaged file goes with it:
    // played back into the new file it would damage that too.
    const QString damaged = damagedCopyPath(file);
    removeWithJournal(damaged);
    if (::link(name.constData(), QFile::encodeName(damaged).constData()) != 0)
        QFile::copy(file, damaged);
    for (const char *suffix : {"-journal", "-wal"}) {
        if (QFile::exists(file + QLatin1String(suffix)))
            QFile::rename(file + QLatin1String(suffix), damaged + QLatin1String(suffix));
    }
    QFile::remove(file + QStringLiteral("-shm"));
    if (std::rename(QFile::encodeName(fresh).constData(), name.constData()) != 0) {
        r.error = QStringLiteral("cannot replace ") + file;
        removeWithJournal(fresh);
        return r;
    }
    fsyncPath(QFileInfo(file).absolutePath(), true);
    r.replaced = true;
    return r;
}

QString LibraryRepair::summary(const Result &r, const QString &file)
{
    QStringList rows;
    for (const auto &t : r.salvaged)
        rows << QStringLiteral("%1 %2").arg(t.first).arg(t.second);
    QString line = QStringLiteral("library repair of %1: ").arg(file);
    if (!r.replaced)
        return line + QStringLiteral("failed (%1), the file is left as it is").arg(r.error);
    if (!r.sourceReadable)
        line += QStringLiteral("nothing could be read, a new library with the default settings; ");
    line += QStringLiteral("rows salvaged: ") + rows.join(QStringLiteral(", "));
    line += QStringLiteral("; %1 damaged stretches stepped over; the damaged file is kept as %2")
                .arg(r.damagedStretches)
                .arg(damagedCopyPath(file));
    return line;
}
