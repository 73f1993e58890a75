#pragma once
// The CUE keyword scan checked against the regular expressions it stands
// for (slow on large texts: for small inputs only). Shared by the fuzz
// target and the regression test of the inputs it found.
#include "cuefiles.h"
#include "nregexp.h"

inline bool cueScanMatchesExpressions(const QString &text)
{
    auto all = [](const char *re, const QString &t) { return NRegExp(QString::fromLatin1(re)).pregMatch(t); };
    const CueSheetText c = scanCueText(text);
    const QStringList title = all("TITLE\\s*\"([^\"]+)\".+", text);
    const QStringList performer = all("PERFORMER\\s*\"([^\"]+)\".+", text);
    const QStringList file = all("FILE\\s*\"([^\"]+)\".+", text);
    const QString part = all("(TRACK.+)", text).value(0);
    return c.hasTitle == !title.isEmpty() && c.title == title.value(0) && c.hasPerformer == !performer.isEmpty()
           && c.performer == performer.value(0) && c.hasFile == !file.isEmpty() && c.file == file.value(0)
           && c.trackTitles == all("TITLE\\s*\"([^\"]+)\"", part)
           && c.trackPerformers == all("PERFORMER\\s*\"([^\"]+)\"", part)
           && c.indexTimes == all("INDEX\\s*\\d+\\s*([\\d:]+)\\s*", part)
           && c.indexNumbers == all("INDEX\\s*(\\d+)\\s*[\\d:]+\\s*", part);
}
