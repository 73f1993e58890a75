// A bare loop over the audio files of a folder tree: avformat_open_input
// (with the scanner's probe options), avformat_find_stream_info, the best
// audio stream and a walk over the metadata. Prints the files probed.
#include "ffmpegptr.h"

extern "C" {
#include <libavutil/log.h>
}

#include <QDirIterator>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_scan_probe DIR\n");
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);
    const QStringList patterns{"*.mp3", "*.wav", "*.dsf",  "*.dff",  "*.flac", "*.ape",
                               "*.m4a", "*.wma", "*.alac", "*.aiff", "*.aif",  "*.aac"};
    QDirIterator it(QString::fromLocal8Bit(argv[1]), patterns, QDir::Files, QDirIterator::Subdirectories);
    long files = 0;
    long entries = 0;
    while (it.hasNext()) {
        const QByteArray path = QFile::encodeName(it.next());
        const KLVMedia::FormatPtr fmt = KLVMedia::openInput(path.constData());
        if (!fmt)
            continue;
        if (avformat_find_stream_info(fmt.get(), nullptr) >= 0)
            av_find_best_stream(fmt.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        const AVDictionaryEntry *e = nullptr;
        while ((e = av_dict_get(fmt->metadata, "", e, AV_DICT_IGNORE_SUFFIX)))
            ++entries;
        ++files;
    }
    std::printf("%ld files, %ld tags\n", files, entries);
    return 0;
}
