#pragma once
// Repair of a damaged library file. The rows that can still be read are
// copied, table by table and with their rowids (the other tables refer to
// them), into a new file built beside the library from the schema script;
// rows on damaged pages are stepped over. Settings rows that cannot be read
// get their defaults. Only when the new file passes SQLite's integrity
// check does it take the library's name; the damaged file stays beside it
// (one generation) for a technician.

#include <QList>
#include <QPair>
#include <QString>

struct sqlite3;

class LibraryRepair
{
public:
    struct Result {
        bool replaced = false;               // the library file is the repaired one now
        QList<QPair<QString, int>> salvaged; // rows copied per table, in table order
        int damagedStretches = 0;            // runs of rows stepped over
        bool sourceReadable = false;         // the damaged file could be opened at all
        QString error;                       // why nothing was replaced
    };

    // Repairs the library file; the schema script is the compiled-in one.
    static Result repair(const QString &file);
    // "ok", or the first problem PRAGMA quick_check reports; an empty text
    // when the check did not finish within timeoutMs.
    static QString quickCheck(sqlite3 *db, int timeoutMs);
    // Where the damaged file is kept, and where its replacement is built.
    static QString damagedCopyPath(const QString &file);
    static QString rebuildPath(const QString &file);
    // One line for the log: rows per table and what became of the file.
    static QString summary(const Result &r, const QString &file);
};
