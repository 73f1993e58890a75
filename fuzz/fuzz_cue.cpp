// libFuzzer target: the CUE sheet parser and the text-encoding guesses it
// relies on. The one-pass keyword scan is also checked against the regular
// expressions it stands for (on small inputs: those are slow on large ones).
#include "cue_reference.h"
#include "cuefiles.h"
#include "fuzzfile.h"
#include "textencoding.h"

#include <string>

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
    if (size <= 16384 && !cueScanMatchesExpressions(text))
        __builtin_trap();
    judgeCorrectCodec(bytes.constData(), bytes.size());
    const std::string zeroTerminated(bytes.constData(), bytes.size());
    get_UTF8String(zeroTerminated.c_str());
    return 0;
}
