#include "backendlog.h"

#include "logging.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/log.h>
}

namespace {

void alsaMessage(const char *file, int line, const char *function, int err, const char *fmt, ...)
{
    Q_UNUSED(file)
    Q_UNUSED(line)
    char text[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    if (err)
        qCWarning(lcPlayback, "ALSA %s: %s: %s", function ? function : "", text, snd_strerror(err));
    else
        qCWarning(lcPlayback, "ALSA %s: %s", function ? function : "", text);
}

void ffmpegMessage(void *avcl, int level, const char *fmt, va_list ap)
{
    if (level > av_log_get_level())
        return;
    char text[1024];
    int printPrefix = 1;
    av_log_format_line2(avcl, level, fmt, ap, text, sizeof text, &printPrefix);
    size_t n = std::strlen(text);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r'))
        text[--n] = '\0';
    if (n == 0)
        return;
    if (level <= AV_LOG_ERROR)
        qCWarning(lcPlayback, "FFmpeg %s", text);
    else
        qCDebug(lcPlayback, "FFmpeg %s", text);
}

} // namespace

void routeBackendLogs()
{
    snd_lib_error_set_handler(alsaMessage);
    av_log_set_callback(ffmpegMessage);
}
