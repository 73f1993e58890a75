#pragma once
// Resolving a CUE track for playback: the audio file to decode and the track
// fields of g_CurMusicPlay (title, album, artist, duration, startOffset and
// the position). The main window's getCueFilepath() is this function.

#include <QString>

#include <functional>

// What the player needs to know of an audio file (a CUE sheet's, a DSD file's).
struct AudioFileInfo {
    QString artist;
    QString album;
    double durationSeconds = -1; // -1: unknown
};

using AudioFileProbe = std::function<AudioFileInfo(const QString &path)>;

// Tags through FFmpeg (probesize 4096, max_delay 5000000, the "album" and
// "artist" entries); the length of DSF and DSDIFF files from the DSD readers,
// of other files from FFmpeg. Only regular files are opened.
AudioFileInfo probeAudioFile(const QString &path);

// sheetPath: the item's path (the sheet); title: the track title. Returns the
// audio file's path, or an empty text when the item is no (valid) CUE sheet
// or its audio file may not be played (outside the sheet's volume, not a
// regular file, a sheet; logged).
// The track fields are set only when the file exists and a track of that
// title is found.
QString resolveCueItem(const QString &sheetPath, const QString &title, const AudioFileProbe &probe = probeAudioFile);
