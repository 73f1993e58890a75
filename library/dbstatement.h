#pragma once
// How the library's files (database*.cpp) talk to SQLite. Every value goes
// into a statement as a bound parameter ("?"); only identifiers the code
// itself makes (the pre_diskdirN / pre_diskmusicN table names) and fixed
// numbers are formatted into the text, with sqlf. A statement that fails to
// prepare or to run is logged with SQLite's message and its text.

#include <QByteArray>
#include <QString>
#include <QVariantList>

#include <sqlite3.h>

// sqlite3_mprintf into a QByteArray: "%s" for a table name, "%d" for a number.
QByteArray sqlf(const char *fmt, ...);

// One prepared statement, finalized when it goes out of scope.
class Statement
{
public:
    Statement(sqlite3 *db, const QByteArray &sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // The next parameter, in order: a text (as UTF-8) or a number.
    Statement &bindText(const QString &value);
    Statement &bindText(const QByteArray &value);
    Statement &bindInt(qint64 value);
    // Texts and integers of a list, in order.
    Statement &bindAll(const QVariantList &values);

    bool ok() const { return m_stmt != nullptr; }
    // The next row; false at the end (or on an error, which is logged).
    bool next();
    // Runs a statement that returns no rows; false (logged) on an error.
    bool run();
    // SQLite's message of the last failure.
    QByteArray error() const { return m_error; }

    int integer(int col) const { return sqlite3_column_int(m_stmt, col); }
    qint64 int64(int col) const { return sqlite3_column_int64(m_stmt, col); }
    QString text(int col) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col)));
    }

private:
    void fail(const char *what, int rc);

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    QByteArray m_sql;
    QByteArray m_error;
    int m_param = 0;
};

// Sets a flag for its lifetime: work that pumps events marks itself running.
class ReentryGuard
{
public:
    explicit ReentryGuard(bool &flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~ReentryGuard() { m_flag = false; }
    ReentryGuard(const ReentryGuard &) = delete;
    ReentryGuard &operator=(const ReentryGuard &) = delete;

private:
    bool &m_flag;
};
