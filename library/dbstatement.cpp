#include "dbstatement.h"

#include "logging.h"

#include <cstdarg>

QByteArray sqlf(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    char *s = sqlite3_vmprintf(fmt, ap);
    va_end(ap);
    QByteArray out(s ? s : "");
    sqlite3_free(s);
    return out;
}

Statement::Statement(sqlite3 *db, const QByteArray &sql)
    : m_db(db)
    , m_sql(sql)
{
    if (!db) {
        m_error = "not connected";
        return;
    }
    const int rc = sqlite3_prepare_v2(db, sql.constData(), -1, &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        fail("prepare", rc);
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::fail(const char *what, int rc)
{
    m_error = m_db ? QByteArray(sqlite3_errmsg(m_db)) : QByteArray(sqlite3_errstr(rc));
    qCWarning(lcLibrary, "SQL %s failed: %s [%s]", what, m_error.constData(), m_sql.constData());
}

Statement &Statement::bindText(const QByteArray &value)
{
    if (m_stmt)
        sqlite3_bind_text(m_stmt, ++m_param, value.constData(), value.size(), SQLITE_TRANSIENT);
    return *this;
}

Statement &Statement::bindText(const QString &value)
{
    return bindText(value.toUtf8());
}

Statement &Statement::bindInt(qint64 value)
{
    if (m_stmt)
        sqlite3_bind_int64(m_stmt, ++m_param, value);
    return *this;
}

Statement &Statement::bindAll(const QVariantList &values)
{
    for (const QVariant &v : values) {
        if (v.userType() == QMetaType::QString)
            bindText(v.toString());
        else
            bindInt(v.toLongLong());
    }
    return *this;
}

bool Statement::next()
{
    if (!m_stmt)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        fail("step", rc);
    return false;
}

bool Statement::run()
{
    if (!m_stmt)
        return false;
    int rc = sqlite3_step(m_stmt);
    while (rc == SQLITE_ROW)
        rc = sqlite3_step(m_stmt);
    if (rc != SQLITE_DONE) {
        fail("step", rc);
        return false;
    }
    return true;
}
