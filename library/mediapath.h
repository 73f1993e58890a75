#pragma once
// Path helpers shared by the storage detection, the scanner and the player.

#include <QString>

// The file part of an item path: what stands before the first "__M__"
// (an image track's path carries "__M__track__M__area" after the file).
QString Get_RealFilePath(const QString &path);
// A file name without its last suffix ("a.b.flac" -> "a.b").
QString get_RealMusicName(const QString &name);
// Entries in a folder (files and folders, hidden ones too); 0 when it cannot
// be listed.
int GetRootFilesNumbers(const QString &path);
// A text quoted as one word for "bash -c" (paths in shell commands).
QString shellQuote(const QString &text);
