#pragma once
// Whether the song now playing is a CUE track: its item path is the sheet's.

#include "globals.h"

#include <QFileInfo>

inline bool isCueItem()
{
    return QFileInfo(g_CurMusicPlay.filePath.get()).suffix().toLower() == QLatin1String("cue");
}
