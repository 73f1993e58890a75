#pragma once
// What the scanner's files and the library share about a volume's rows.

#include "records.h"

#include <QString>

// The dirPath of a volume's root folder row in its pre_diskdirN table (the
// other folders are stored relative to the volume).
inline QString rootFolderKey()
{
    return QStringLiteral("USBBASEROOTPATH");
}

// A volume's table slot: 1..3 for pre_diskdir1..3 and pre_diskmusic1..3.
inline bool validSlot(const DiskInfo &d)
{
    return d.musicTableID >= 1 && d.musicTableID <= 3;
}

// Deeper folders are not entered: a hostile tree must not exhaust the stack.
constexpr int kMaxDepth = 64;
