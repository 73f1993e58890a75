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

int runPlay(const QStringList &argsIn)
{
    QStringList args = argsIn;
    const QString startText = klvtool::takeOption(args, QStringLiteral("--start"), QStringLiteral("0"));
    const QString capture = klvtool::takeOption(args, QStringLiteral("--capture"));
    const QString cueTitle = klvtool::takeOption(args, QStringLiteral("--title"));
    bool ok = false;
    const int start = startText.toInt(&ok);
    if (args.size() != 1 || !ok || start < 0) {
        klvtool::err(QStringLiteral("usage: klvtool play FILE [--start SECONDS] [--capture PATH] [--title TRACK]"));
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
    QObject::connect(
        &decoder, &AudioDecoder::startPlay, &player, [&] { player.play(); }, Qt::QueuedConnection);
    QObject::connect(&decoder, &AudioDecoder::songChanged, ctx, [&] {
        klvtool::out(QStringLiteral("track %1 | %2 | %3 | %4 %5 | %6 s")
                         .arg(g_CurMusicPlay.title.get(), g_CurMusicPlay.artist.get(), g_CurMusicPlay.album.get(),
                              g_CurMusicPlay.sampleRateText.get(), g_CurMusicPlay.detailText.get())
                         .arg(g_CurMusicPlay.duration.get()));
    });
    QObject::connect(&decoder, &AudioDecoder::stopPlay, ctx, [&] {
        failed = true;
        klvtool::err(QStringLiteral("klvtool play: ") + g_CurMusicPlay.title.get());
    });
    QObject::connect(&decoder, &AudioDecoder::playOver, ctx, [&] { finish(failed ? 1 : 0); });
    QObject::connect(
        &dsdDecoder, &DsdDecoder::startPlay, &player, [&] { player.play(); }, Qt::QueuedConnection);
    QObject::connect(&dsdDecoder, &DsdDecoder::songChanged, ctx, [&] {
        if (g_TempData.dsdNotSupported) {
            failed = true;
            klvtool::err(QStringLiteral("klvtool play: ") + g_CurMusicPlay.title.get());
            return;
        }
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
            klvtool::err(QStringLiteral("klvtool play: playback failed"));
        else
            klvtool::out(QStringLiteral("end"));
        finish(played ? 0 : 1);
    });

    const int position = int(g_CurMusicPlay.currentPosition.get());
    QString spec = selector < 0 ? dsdItemSpec(audioPath) : path + item.mid(selector);
    if (selector < 0
        && (info.suffix().toLower() == QLatin1String("iso") || info.suffix().toLower() == QLatin1String("dat")))
        spec = path + QStringLiteral("__M__0__M__0"); // the first track of whichever area the image has
    if (dsd ? !dsdDecoder.open(spec, position, false) : !decoder.open(audioPath, position, false))
        return 1;
    const int code = QCoreApplication::exec();
    player.stop(true);
    player.wait();
    decoder.stop(false);
    dsdDecoder.stop(false);
    return code;
}

} // namespace

KLVTOOL_COMMAND("play",
                "play FILE [--start SECONDS] [--capture PATH] [--title TRACK]  play one file, DSD item or CUE track on "
                "the sound card",
                runPlay);
