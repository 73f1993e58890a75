// libFuzzer target: the CUE sheet parser and the text-encoding guesses it
// relies on. The one-pass keyword scan is also checked against the regular
// expressions it stands for (on small inputs: those are slow on large ones).
#include "cuefiles.h"
#include "fuzzfile.h"
#include "nregexp.h"
#include "textencoding.h"

#include <string>

namespace {

void checkScanAgainstExpressions(const QString &text)
{
    auto all = [](const char *re, const QString &t) { return NRegExp(QString::fromLatin1(re)).pregMatch(t); };
    const CueSheetText c = scanCueText(text);
    const QStringList title = all("TITLE\\s*\"([^\"]+)\".+", text);
    const QStringList performer = all("PERFORMER\\s*\"([^\"]+)\".+", text);
    const QStringList file = all("FILE\\s*\"([^\"]+)\".+", text);
    const QString part = all("(TRACK.+)", text).value(0);
    const bool same = c.hasTitle == !title.isEmpty() && c.title == title.value(0)
                      && c.hasPerformer == !performer.isEmpty() && c.performer == performer.value(0)
                      && c.hasFile == !file.isEmpty() && c.file == file.value(0)
                      && c.trackTitles == all("TITLE\\s*\"([^\"]+)\"", part)
                      && c.trackPerformers == all("PERFORMER\\s*\"([^\"]+)\"", part)
                      && c.indexTimes == all("INDEX\\s*\\d+\\s*([\\d:]+)\\s*", part)
                      && c.indexNumbers == all("INDEX\\s*(\\d+)\\s*[\\d:]+\\s*", part);
    if (!same)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FuzzFile file;
    if (!file.set(data, size))
        return 0;
    CueFiles cue(QString::fromStdString(file.path()));
    for (const cueData &d : cue.getCueData()) {
        if (d.index < 0 || d.title.isEmpty())
            __builtin_trap();
    }
    cue.getAlbumName();
    cue.getSrcFile();
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QString text = GetCorrectUnicode(bytes);
    if (size <= 16384)
        checkScanAgainstExpressions(text);
    judgeCorrectCodec(bytes.constData(), bytes.size());
    const std::string zeroTerminated(bytes.constData(), bytes.size());
    get_UTF8String(zeroTerminated.c_str());
    return 0;
}
