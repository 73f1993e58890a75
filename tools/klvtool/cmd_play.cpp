// klvtool play: one file through the real decoder and output thread, driven
// as the main window drives them: open(), startPlay() starts the output
// thread, the output thread's playOver() ends the track. DSD items
// ("path__M__track__M__area", or a plain DSF, DSDIFF or image path) go
// through the DSD decoder; a CUE track (the sheet and --title) plays its part
// of the file the sheet names.
#include "klvtool.h"

#include "audiodecoder.h"
#include "audioplayer.h"
#include "cueresolve.h"
#include "dsddecoder.h"
#include "globals.h"
#include "gpioctrl.h"
#include "mediabuffer.h"
#include "platform.h"
#include "sacd_disc.h"
#include "sacd_dsdiff.h"
#include "sacd_dsf.h"
#include "sacd_media.h"
#include "volumepath.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdlib>
#include <memory>

namespace {

constexpr quint64 kPcmQueueBytes = 5302880;

std::unique_ptr<GpioCtrl> outputLine(unsigned line, int value)
{
    auto g = std::make_unique<GpioCtrl>(line);
    if (g->set_export() && g->set_direction("out"))
        g->set_value(unsigned(value));
    return g;
}

// Routes both devices through ALSA's file plugin, which writes every byte
// that goes on to the real device into path. Returns the device names.
bool teeDevices(const QString &path, QTemporaryDir &dir, QString &pcm, QString &dsd)
{
    const QString conf = dir.path() + QStringLiteral("/capture.conf");
    QFile f(conf);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream ts(&f);
    const QString devices[2][2] = {{QStringLiteral("klvtool_capture_pcm"), Platform::pcmDevice()},
                                   {QStringLiteral("klvtool_capture_dsd"), Platform::dsdDevice()}};
    for (const auto &d : devices) {
        ts << "pcm." << d[0] << " {\n  type file\n  slave.pcm \"" << d[1] << "\"\n  file \"" << path
           << "\"\n  format \"raw\"\n  perm 0644\n}\n";
    }
    ts.flush();
    f.close();
    QByteArray cfg = qgetenv("ALSA_CONFIG_PATH");
    if (cfg.isEmpty())
        cfg = "/usr/share/alsa/alsa.conf";
    qputenv("ALSA_CONFIG_PATH", cfg + ':' + QFile::encodeName(conf));
    pcm = devices[0][0];
    dsd = devices[1][0];
    return true;
}

QString areaName(int area)
{
    return area == AREA_TWOCH   ? QStringLiteral("the two-channel area")
           : area == AREA_MULCH ? QStringLiteral("the multichannel area")
                                : QStringLiteral("any area");
}

// The "__M__TRACK__M__AREA" part of a DSD item: what is wrong with it, or ""
// when the file has that track in that area.
QString checkSelector(const QString &path, const QString &selector)
{
    const QStringList parts = selector.split(QStringLiteral("__M__"));
    bool trackOk = false, areaOk = false;
    const int track = parts.value(1).toInt(&trackOk);
    const int area = parts.value(2).toInt(&areaOk);
    if (parts.size() != 3 || !parts.first().isEmpty() || !trackOk || !areaOk || track < 0)
        return QStringLiteral("\"%1\" is not a track selector: an item is FILE__M__TRACK__M__AREA, TRACK from 0")
            .arg(selector);
    if (area < AREA_BOTH || area > AREA_MULCH)
        return QStringLiteral("there is no area %1: areas are 1 (two-channel), 2 (multichannel) or 0 (any)").arg(area);
    const QString suffix = QFileInfo(path).suffix().toLower();
    std::unique_ptr<sacd_reader_t> reader;
    if (suffix == QLatin1String("iso") || suffix == QLatin1String("dat"))
        reader = std::make_unique<sacd_disc_t>();
    else if (suffix == QLatin1String("dsf"))
        reader = std::make_unique<sacd_dsf_t>();
    else if (suffix == QLatin1String("dff"))
        reader = std::make_unique<sacd_dsdiff_t>();
    else
        return QStringLiteral("track selectors are for DSF, DSDIFF files and SACD images, not .%1 files").arg(suffix);
    sacd_media_t media;
    if (!media.open(QFile::encodeName(path).constData()) || !reader->open(&media))
        return QStringLiteral("%1 is not a readable DSD file or SACD image").arg(path);
    const uint32_t tracks = reader->get_track_count(area_id_e(area));
    if (tracks == 0)
        return QStringLiteral("%1 has no tracks in %2").arg(path, areaName(area));
    if (uint32_t(track) >= tracks || !reader->set_track(uint32_t(track), area_id_e(area), 0)) {
        const QString which = tracks == 1 ? QStringLiteral("its only track is 0")
                                          : QStringLiteral("its tracks are 0 to %1").arg(tracks - 1);
        return QStringLiteral("%1 has no track %2 in %3 (%4)").arg(path).arg(track).arg(areaName(area), which);
    }
    return QString();
}

// The capture file can be written: it is made empty (ALSA's file plugin
// would report a failure only as errors of its own, and the track would
// play on as if captured).
QString checkCapture(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("cannot write the capture file %1: %2").arg(path, f.errorString());
    f.close();
    QFile::remove(path);
    return QString();
}

int runPlay(const QStringList &argsIn)
{
    QStringList args = argsIn;
    const QString startText = klvtool::takeOption(args, QStringLiteral("--start"), QStringLiteral("0"));
    const QString capture = klvtool::takeOption(args, QStringLiteral("--capture"));
    const QString cueTitle = klvtool::takeOption(args, QStringLiteral("--title"));
    if (args.size() != 1) {
        klvtool::err(QStringLiteral("usage: klvtool play FILE [--start SECONDS] [--capture PATH] [--title TRACK]"));
        return 2;
    }
    bool ok = false;
    const int start = startText.toInt(&ok);
    if (!ok || start < 0) {
        klvtool::err(QStringLiteral("klvtool play: --start takes whole seconds from 0 on, not \"%1\"").arg(startText));
        return 2;
    }
    const QString item = args.first();
    const int selector = item.indexOf(QStringLiteral("__M__"));
    const QFileInfo info(selector < 0 ? item : item.left(selector));
    const QString path = info.absoluteFilePath();
    if (!info.exists()) {
        klvtool::err(QStringLiteral("klvtool play: no file ") + path);
        return 1;
    }
    // Only regular files are played: a FIFO blocks the open, a device never ends.
    if (!isRegularFile(path)) {
        klvtool::err(QStringLiteral("klvtool play: not a regular file (a FIFO, device or folder): ") + path);
        return 1;
    }
    if (selector >= 0) {
        const QString wrong = checkSelector(path, item.mid(selector));
        if (!wrong.isEmpty()) {
            klvtool::err(QStringLiteral("klvtool play: ") + wrong);
            return 2;
        }
    }
    if (!capture.isEmpty()) {
        const QString wrong = checkCapture(QFileInfo(capture).absoluteFilePath());
        if (!wrong.isEmpty()) {
            klvtool::err(QStringLiteral("klvtool play: ") + wrong);
            return 1;
        }
    }

    // The main window's lines: mute (12) starts muted, path (13), clock (5).
    auto mute = outputLine(12, 1);
    auto pathLine = outputLine(13, 0);
    auto clock = outputLine(5, 0);

    QTemporaryDir tmp;
    QString pcmDevice, dsdDevice;
    if (!capture.isEmpty()) {
        QFile::remove(capture);
        if (!tmp.isValid() || !teeDevices(QFileInfo(capture).absoluteFilePath(), tmp, pcmDevice, dsdDevice)) {
            klvtool::err(QStringLiteral("klvtool play: cannot set up the capture"));
            return 1;
        }
    }

    if (!m_MediaBuffer.pcmBuffer.load())
        m_MediaBuffer.pcmBuffer = new BytequeueBuffer(kPcmQueueBytes);

    AudioDecoder decoder;
    DsdDecoder dsdDecoder;
    AudioPlayer player;
    player.setGpioLines(pathLine.get(), clock.get(), mute.get());
    player.setSourceQuery([] { return int(SourceUsb); });
    if (!capture.isEmpty())
        player.setDeviceNames(pcmDevice, dsdDevice);

    g_CurMusicPlay.fileType = info.suffix().toLower();
    g_CurMusicPlay.filePath = path;
    g_CurMusicPlay.title = info.completeBaseName();
    g_CurMusicPlay.playState = PlayStopped;
    g_CurMusicPlay.seeking = false;
    g_CurMusicPlay.tailStart = false;
    g_CurMusicPlay.startOffset = 0;
    g_TempData.resumePending = true; // keep the given start position
    g_CurMusicPlay.currentPosition = start;

    // What the controller does before it opens a decoder.
    QString audioPath = path;
    if (info.suffix().toLower() == QLatin1String("cue")) {
        audioPath = resolveCueItem(path, cueTitle);
        if (audioPath.isEmpty() || !QFileInfo::exists(audioPath) || g_CurMusicPlay.title.get() != cueTitle) {
            klvtool::err(QStringLiteral("klvtool play: no track \"%1\" in %2").arg(cueTitle, path));
            return 1;
        }
        g_CurMusicPlay.fileType = QFileInfo(audioPath).suffix().toLower();
    }
    const bool dsd = Is_DSDFile(QFileInfo(audioPath).suffix());

    const QString unusable =
        QStringLiteral("klvtool play: %1 cannot be played (not a supported audio file, protected or damaged)")
            .arg(selector < 0 ? path : item);
    bool failed = false;
    bool finished = false;
    auto finish = [&](int code) {
        if (finished)
            return;
        finished = true;
        decoder.stop(false);
        dsdDecoder.stop(false);
        player.wait(10000);
        QCoreApplication::exit(code);
    };
    // Everything the threads report is handled on this (the main) thread.
    QObject *ctx = QCoreApplication::instance();
    // A start at or past the end would play nothing: refused once the
    // track's length is known.
    auto startBeyondEnd = [&] {
        const qint64 duration = g_CurMusicPlay.duration;
        if (start == 0 || g_CurMusicPlay.noDuration || start < duration)
            return false;
        klvtool::err(QStringLiteral("klvtool play: --start %1 is beyond the end of the track (%2 s long)")
                         .arg(start)
                         .arg(duration));
        finish(2);
        return true;
    };
    QObject::connect(
        &decoder, &AudioDecoder::startPlay, &player, [&] { player.play(); }, Qt::QueuedConnection);
    QObject::connect(&decoder, &AudioDecoder::songChanged, ctx, [&] {
        if (g_TempData.dsdNotSupported) { // the decoder's mark of an unusable file, PCM ones too
            failed = true;
            klvtool::err(unusable);
            return;
        }
        if (startBeyondEnd())
            return;
        klvtool::out(QStringLiteral("track %1 | %2 | %3 | %4 %5 | %6 s")
                         .arg(g_CurMusicPlay.title.get(), g_CurMusicPlay.artist.get(), g_CurMusicPlay.album.get(),
                              g_CurMusicPlay.sampleRateText.get(), g_CurMusicPlay.detailText.get())
                         .arg(g_CurMusicPlay.duration.get()));
    });
    QObject::connect(&decoder, &AudioDecoder::stopPlay, ctx, [&] {
        if (!failed)
            klvtool::err(unusable);
        failed = true;
    });
    QObject::connect(&decoder, &AudioDecoder::playOver, ctx, [&] { finish(failed ? 1 : 0); });
    QObject::connect(
        &dsdDecoder, &DsdDecoder::startPlay, &player, [&] { player.play(); }, Qt::QueuedConnection);
    QObject::connect(&dsdDecoder, &DsdDecoder::songChanged, ctx, [&] {
        if (g_TempData.dsdNotSupported) {
            failed = true;
            klvtool::err(unusable);
            return;
        }
        if (startBeyondEnd())
            return;
        klvtool::out(QStringLiteral("track %1 | %2 | %3 | %4 | %5 s")
                         .arg(g_CurMusicPlay.title.get(), g_CurMusicPlay.artist.get(), g_CurMusicPlay.album.get(),
                              g_CurMusicPlay.sampleRateText.get())
                         .arg(g_CurMusicPlay.duration.get()));
    });
    // An unusable DSD item is skipped 2 s after the report.
    QObject::connect(&dsdDecoder, &DsdDecoder::playOver, ctx, [&] { finish(1); });
    QObject::connect(&player, &AudioPlayer::positionChanged, ctx, [&](qint64 rel) {
        klvtool::out(QStringLiteral("position %1/%2").arg(rel).arg(g_CurMusicPlay.duration.get()));
    });
    QObject::connect(&player, &AudioPlayer::playOver, ctx, [&] {
        // The output thread also reports a card it could not open; a track
        // played out has its queue read to the end.
        BytequeueBuffer *queue = m_MediaBuffer.pcmBuffer.load();
        const bool played = g_CurMusicPlay.decodeOver && queue && queue->IsReadOver();
        if (!played && !Is_DSDFile(g_CurMusicPlay.fileType))
            klvtool::err(QStringLiteral("klvtool play: the sound card could not be opened or configured "
                                        "(klvtool --verbose play ... shows why)"));
        else
            klvtool::out(QStringLiteral("end"));
        finish(played ? 0 : 1);
    });

    const int position = int(g_CurMusicPlay.currentPosition.get());
    QString spec = selector < 0 ? dsdItemSpec(audioPath) : path + item.mid(selector);
    if (selector < 0
        && (info.suffix().toLower() == QLatin1String("iso") || info.suffix().toLower() == QLatin1String("dat")))
        spec = path + QStringLiteral("__M__0__M__0"); // the first track of whichever area the image has
    if (dsd ? !dsdDecoder.open(spec, position, false) : !decoder.open(audioPath, position, false)) {
        klvtool::err(unusable);
        return 1;
    }
    int code = QCoreApplication::exec();
    player.stop(true);
    player.wait();
    decoder.stop(false);
    dsdDecoder.stop(false);
    if (code == 0 && !capture.isEmpty() && !QFileInfo::exists(capture)) {
        klvtool::err(QStringLiteral("klvtool play: nothing was written to the capture file ") + capture);
        code = 1;
    }
    return code;
}

} // namespace

KLVTOOL_COMMAND("play", "play ITEM [--start SECONDS] [--capture PATH] [--title TRACK]",
                "play one file, DSD item or CUE track through the player's decoder and output thread",
                "ITEM: an audio file; a DSF, DSDIFF file or SACD image (its first track), or one of its\n"
                "tracks as FILE__M__TRACK__M__AREA (TRACK from 0; AREA 1 two-channel, 2 multichannel,\n"
                "0 any); a CUE sheet with --title, the title of one of its tracks.\n"
                "Prints \"track ...\", \"position N/DURATION\" as the card plays and \"end\"; exits 0 at the\n"
                "end of the track, 1 for a file that cannot be played or a card that fails, 2 for\n"
                "arguments it refuses (--start past the end of the track, a selector naming no track).\n"
                "--start: whole seconds into the track. --capture: the bytes sent to the card are also\n"
                "written to PATH. In a sandbox (eval \"$(./vdx sandbox env DIR)\") it plays on the\n"
                "sandbox's virtual card.",
                runPlay);
