#include "cuefiles.h"

#include "logging.h"
#include "nregexp.h"
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

void CueFiles::readCueFile()
{
    QFile file(m_cueFile->filePath());
    if (file.size() > kMaxSheetBytes || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qCDebug(lcPlayback) << "CueFiles: cannot read" << m_cueFile->filePath();
        return;
    }
    // Each line may be UTF-8 or GBK on its own.
    QString text;
    while (!file.atEnd())
        text += GetCorrectUnicode(file.readLine());
    file.close();

    const QStringList titles = NRegExp(QStringLiteral("TITLE\\s*\"([^\"]+)\".+")).pregMatch(text);
    const QStringList performers = NRegExp(QStringLiteral("PERFORMER\\s*\"([^\"]+)\".+")).pregMatch(text);
    const QStringList files = NRegExp(QStringLiteral("FILE\\s*\"([^\"]+)\".+")).pregMatch(text);
    if (titles.isEmpty() || performers.isEmpty() || files.isEmpty())
        return;
    m_albumName = titles.first();
    m_albumPerformer = performers.first();
    m_srcFile.reset(new QFileInfo(m_cueFile->absolutePath() + QLatin1Char('/') + files.first()));

    const QString trackText = NRegExp(QStringLiteral("(TRACK.+)")).pregMatch(text).value(0);
    const QStringList t = NRegExp(QStringLiteral("TITLE\\s*\"([^\"]+)\"")).pregMatch(trackText);
    const QStringList p = NRegExp(QStringLiteral("PERFORMER\\s*\"([^\"]+)\"")).pregMatch(trackText);
    const QStringList times = NRegExp(QStringLiteral("INDEX\\s*\\d+\\s*([\\d:]+)\\s*")).pregMatch(trackText);
    const QStringList numbers = NRegExp(QStringLiteral("INDEX\\s*(\\d+)\\s*[\\d:]+\\s*")).pregMatch(trackText);

    if (times.size() <= t.size()) {
        // One INDEX per track: each track runs to the next one's index.
        for (int i = 0; i < t.size(); ++i) {
            cueData d;
            d.index = i;
            d.title = t[i];
            d.performer = p.value(i);
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
        const QList<QList<IndexEntry>> groups = groupIndexes(numbers, times);
        for (int i = 0; i < t.size(); ++i) {
            cueData d;
            d.index = i;
            d.title = t[i];
            d.performer = p.value(i);
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
    m_isCorrect = true;
}
