#pragma once
// Where a name on a volume may lead. A stick is outside data: a link or a
// CUE sheet on it may name any path of the board ("/etc/passwd",
// "../../../x"), a FIFO or a device. Whatever is entered, listed or played
// must resolve, after links, to a regular file inside the volume it was
// found on.

#include <QString>

// True when path names (after links) a regular file: no folder, FIFO,
// socket or device, which a decoder could block on or read forever.
bool isRegularFile(const QString &path);

// The canonical form of a volume's root, to give to liesInside; "" when the
// root does not exist.
QString canonicalRoot(const QString &root);

// True when path resolves, after every link, to something below the
// canonical root (the root itself is not below it).
bool liesInside(const QString &path, const QString &canonicalRoot);

// The mount point of the mounted volume (UsingUSBDiskList, GUI thread) that
// holds path; "" when none does.
QString volumeRootOf(const QString &path);

// Why the audio file a CUE sheet names may not be used, for a log line; ""
// when it may. The file must be a regular file inside the volume, and
// neither the sheet itself nor another sheet. A file that does not exist
// passes here: callers tell missing files apart themselves.
QString cueAudioRefusal(const QString &sheetPath, const QString &audioPath, const QString &canonicalRoot);
