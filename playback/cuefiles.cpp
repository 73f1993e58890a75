#include "cuefiles.h"

#include "logging.h"
#include "textencoding.h"

#include <QDebug>
#include <QFile>

#include <algorithm>

namespace {

// A sheet larger than this is no CUE sheet; never read it whole.
constexpr qint64 kMaxSheetBytes = 4 << 20;

// Index times beyond this (about 34 years) are held here, so that sums and
// differences of them never overflow.
constexpr qint64 kMaxIndexSeconds = 1 << 30;

// "mm:ss:ff" as whole seconds; the frames are ignored.
bool indexSeconds(const QString &time, int &seconds)
{
    const QStringList parts = time.split(QLatin1Char(':'));
    if (parts.size() < 2)
        return false;
    // Digits only (the expression allows nothing else): an empty field is
    // 0, one too long for any integer is held at the limit.
    auto field = [](const QString &s) {
        bool ok = false;
        const qint64 v = s.toLongLong(&ok);
        return ok ? std::min(v, kMaxIndexSeconds) : (s.isEmpty() ? 0 : kMaxIndexSeconds);
    };
    seconds = int(std::min(field(parts[0]) * 60 + field(parts[1]), kMaxIndexSeconds));
    return true;
}

// Difference of two clock times within one day, never negative.
int clockDifference(int from, int to)
{
    const int d = to % 86400 - from % 86400;
    return d > 0 ? d : 0;
}

// Whitespace and digits as the sheet grammar knows them (ASCII only).
bool isBlank(QChar c)
{
    const ushort u = c.unicode();
    return u == ' ' || (u >= 9 && u <= 13);
}
bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// Finds the keyword from pos on, with its quoted value: KEY, blanks, a
// quote, one or more other characters, a quote. A keyword not followed so
// is passed over. On success value is set, end is the index after the
// closing quote and pos moves there.
bool nextQuoted(const QString &text, QLatin1String key, int &pos, QString *value, int *end)
{
    const int n = text.size();
    for (;;) {
        const int k = text.indexOf(key, pos);
        if (k < 0)
            return false;
        int i = k + key.size();
        while (i < n && isBlank(text[i]))
            ++i;
        if (i < n && text[i] == QLatin1Char('"')) {
            const int close = text.indexOf(QLatin1Char('"'), i + 1);
            // No closing quote: no later keyword can have one either.
            if (close < 0)
                return false;
            if (close > i + 1) {
                *value = text.mid(i + 1, close - i - 1);
                *end = close + 1;
                pos = close + 1;
                return true;
            }
        }
        pos = k + 1;
    }
}

// The first value of a keyword that has at least one character after it.
bool firstQuoted(const QString &text, QLatin1String key, QString *value)
{
    int pos = 0, end = 0;
    QString found;
    if (!nextQuoted(text, key, pos, &found, &end) || end >= text.size())
        return false;
    *value = found;
    return true;
}

QStringList allQuoted(const QString &text, int from, QLatin1String key)
{
    QStringList out;
    QString value;
    int end = 0;
    while (nextQuoted(text, key, from, &value, &end))
        out << value;
    return out;
}

// "INDEX", blanks, a number, blanks, a time of digits and colons, blanks.
// When no time follows the number, its last digit is the time (a number of
// one digit then does not make an index).
void allIndexes(const QString &text, int pos, QStringList *numbers, QStringList *times)
{
    const QLatin1String key("INDEX");
    const int n = text.size();
    for (;;) {
        const int k = text.indexOf(key, pos);
        if (k < 0)
            return;
        int i = k + key.size();
        while (i < n && isBlank(text[i]))
            ++i;
        int j = i;
        while (j < n && isDigit(text[j]))
            ++j;
        if (j == i) {
            pos = k + 1;
            continue;
        }
        int t = j;
        while (t < n && isBlank(text[t]))
            ++t;
        int e = t;
        while (e < n && (isDigit(text[e]) || text[e] == QLatin1Char(':')))
            ++e;
        if (e > t) {
            *numbers << text.mid(i, j - i);
            *times << text.mid(t, e - t);
        } else if (j - i >= 2) {
            *numbers << text.mid(i, j - i - 1);
            *times << text.mid(j - 1, 1);
            e = j;
        } else {
            pos = k + 1;
            continue;
        }
        while (e < n && isBlank(text[e]))
            ++e;
        pos = e;
    }
}

// At most kMaxText characters, never half a surrogate pair.
QString cut(const QString &text, bool *wasCut)
{
    if (text.size() <= CueFiles::kMaxText)
        return text;
    *wasCut = true;
    int n = CueFiles::kMaxText;
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

struct IndexEntry {
    int number;
    QString time;
};

// The INDEX lines grouped per track: a track begins at an INDEX 00, or at an
// INDEX 01 that does not follow its own INDEX 00; higher numbers belong to
// the track before them.
QList<QList<IndexEntry>> groupIndexes(const QStringList &numbers, const QStringList &times)
{
    QList<QList<IndexEntry>> groups;
    for (int k = 0; k < times.size() && k < numbers.size(); ++k) {
        const int n = numbers[k].toInt();
        const bool joins =
            !groups.isEmpty() && ((n == 1 && groups.last().size() == 1 && groups.last().first().number == 0) || n > 1);
        if (!joins)
            groups.append(QList<IndexEntry>());
        groups.last().append(IndexEntry{n, times[k]});
    }
    return groups;
}

QString startTimeOf(const QList<IndexEntry> &group)
{
    for (const IndexEntry &e : group)
        if (e.number == 1)
            return e.time;
    return group.first().time;
}

} // namespace

CueFiles::CueFiles(const QString &cuePath)
    : m_cueFile(new QFileInfo(cuePath))
{
    readCueFile();
}

CueFiles::~CueFiles() = default;

QFileInfo CueFiles::getSrcFile() const
{
    return m_srcFile ? *m_srcFile : QFileInfo();
}

void CueFiles::freeCueFiles()
{
    m_srcFile.reset();
    m_cueFile.reset();
}

CueSheetText scanCueText(const QString &text)
{
    CueSheetText c;
    c.hasTitle = firstQuoted(text, QLatin1String("TITLE"), &c.title);
    c.hasPerformer = firstQuoted(text, QLatin1String("PERFORMER"), &c.performer);
    c.hasFile = firstQuoted(text, QLatin1String("FILE"), &c.file);
    const int track = text.indexOf(QLatin1String("TRACK"));
    if (track < 0 || track + 5 >= text.size())
        return c;
    c.trackTitles = allQuoted(text, track, QLatin1String("TITLE"));
    c.trackPerformers = allQuoted(text, track, QLatin1String("PERFORMER"));
    allIndexes(text, track, &c.indexNumbers, &c.indexTimes);
    return c;
}

void CueFiles::readCueFile()
{
    const QString sheet = m_cueFile->filePath();
    QFile file(sheet);
    if (file.size() > kMaxSheetBytes || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qCDebug(lcPlayback) << "CueFiles: cannot read" << sheet;
        return;
    }
    // Each line may be UTF-8 or GBK on its own.
    QString text;
    while (!file.atEnd())
        text += GetCorrectUnicode(file.readLine());
    file.close();

    const CueSheetText c = scanCueText(text);
    if (!c.hasTitle || !c.hasPerformer || !c.hasFile)
        return;
    bool cutTexts = false;
    m_albumName = cut(c.title, &cutTexts);
    m_albumPerformer = cut(c.performer, &cutTexts);
    m_srcFile.reset(new QFileInfo(m_cueFile->absolutePath() + QLatin1Char('/') + c.file));

    const QStringList &t = c.trackTitles;
    const QStringList &p = c.trackPerformers;
    const QStringList &times = c.indexTimes;
    const int count = std::min(int(t.size()), kMaxTracks);
    if (t.size() > kMaxTracks)
        m_notes << QStringLiteral("%1 tracks, the first %2 kept").arg(t.size()).arg(kMaxTracks);
    auto record = [&](int i) {
        cueData d;
        d.index = i;
        d.title = cut(t[i], &cutTexts);
        d.performer = cut(p.value(i), &cutTexts);
        return d;
    };
    // Records are made as for the whole sheet (the last one kept runs to
    // the next track's index, not to the end of the file).
    if (times.size() <= t.size()) {
        // One INDEX per track: each track runs to the next one's index.
        for (int i = 0; i < count; ++i) {
            cueData d = record(i);
            int start = 0, next = 0;
            // A track without an INDEX line leaves the sheet invalid.
            if (i >= times.size() || !indexSeconds(times[i], start))
                return;
            if (i < t.size() - 1) {
                if (i + 1 >= times.size() || !indexSeconds(times[i + 1], next))
                    return;
                d.length = next - start > 0 ? next - start : 0;
            }
            d.start = start + 1;
            m_cueData.append(d);
        }
    } else {
        // INDEX 00 / INDEX 01 pairs: a track starts at its INDEX 01 and ends
        // where the next track's first index (its INDEX 00) begins. Grouping
        // per track keeps sheets where only some tracks have INDEX 00 (or
        // where tracks carry further indexes) in range.
        const QList<QList<IndexEntry>> groups = groupIndexes(c.indexNumbers, times);
        for (int i = 0; i < count; ++i) {
            cueData d = record(i);
            int start = 0, next = 0;
            if (i >= groups.size() || !indexSeconds(startTimeOf(groups[i]), start))
                return;
            if (i < t.size() - 1) {
                if (i + 1 >= groups.size() || !indexSeconds(groups[i + 1].first().time, next))
                    return;
                d.length = clockDifference(start, next);
            }
            d.start = start;
            m_cueData.append(d);
        }
    }
    if (cutTexts)
        m_notes << QStringLiteral("texts over %1 characters cut").arg(kMaxText);
    m_isCorrect = true;
}
