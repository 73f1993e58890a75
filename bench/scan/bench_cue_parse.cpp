// CUE sheet parsing time: each sheet given is parsed by CueFiles RUNS times;
// prints, per sheet, its size, tracks kept and the best parse time in ms
// per MB of sheet.
#include "cuefiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_cue_parse RUNS SHEET...\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    for (int a = 2; a < argc; ++a) {
        const QString path = QString::fromLocal8Bit(argv[a]);
        const double mb = QFileInfo(path).size() / 1e6;
        qint64 best = -1;
        int tracks = 0;
        bool valid = false;
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer t;
            t.start();
            CueFiles cue(path);
            const qint64 ns = t.nsecsElapsed();
            tracks = cue.getCueData().size();
            valid = cue.Is_Correct_CUE();
            if (best < 0 || ns < best)
                best = ns;
        }
        std::printf("%s %.3f MB %d tracks %s %.3f ms/MB\n", argv[a], mb, tracks, valid ? "valid" : "invalid",
                    best / 1e6 / mb);
    }
    return 0;
}
