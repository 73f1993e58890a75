#include "audiodecoder.h"

#include "cueitem.h"
#include "globals.h"
#include "logging.h"
#include "mediabuffer.h"
#include "pcmformat.h"
#include "resampler.h"
#include "textencoding.h"
#include "volumepath.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTimer>

#include <cmath>
#include <cstring>

namespace {

constexpr int kNotSupportMs = 2000;
constexpr int kCheckDecodeMs = 11000;
constexpr int kBlockBudget = 31457280; // bytes of blocks the block limit aims at

// Formats the direct path can hand to the card (as 16 or 32 bit); the rest
// (U8, FLT, DBL, their planar forms, S64) go through the converter.
bool directFormat(AVSampleFormat fmt)
{
    switch (fmt) {
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S16P:
    case AV_SAMPLE_FMT_S32P:
    case AV_SAMPLE_FMT_FLTP:
        return true;
    default:
        return false;
    }
}

} // namespace

// Per-track state of the decode procedure (decode thread only).
struct AudioDecoder::Track {
    KLVMedia::Resampler resampler;
    AVRational timeBase{1, 1};
    int sourceRate = 0;
    int cardRate = 0;   // rate of the queued samples
    int frameBytes = 4; // bytes of one queued two-channel frame
    int paceLimit = 5;
    int watchdogPeriod = 20;
    int receiveCount = 0;
    bool countBytes = false;
    bool preRollWanted = false;
    bool started = false;
    bool firstPtsTaken = false;
    bool haveFirstSecond = false;
    qint64 firstSecond = 0;
    QByteArray silence;
    qint64 byteCount = 0;
    bool byteCountStarted = false;
    qint64 nextTs = AV_NOPTS_VALUE; // estimate for frames without a timestamp
    bool cue = false;
};

AudioDecoder::AudioDecoder(QObject *parent)
    : QThread(parent)
{
    plainFormats << QStringLiteral("mp3") << QStringLiteral("aac") << QStringLiteral("m4a") << QStringLiteral("wma");
    notSupportTimer = new QTimer(this);
    notSupportTimer->setInterval(kNotSupportMs);
    checkDecodeTimer = new QTimer(this);
    checkDecodeTimer->setInterval(kCheckDecodeMs);
    connect(notSupportTimer, &QTimer::timeout, this, &AudioDecoder::skipUnusableFile);
    connect(this, &AudioDecoder::setNotSupportFormat, this, &AudioDecoder::SetNotSupportTimer);
    connect(checkDecodeTimer, &QTimer::timeout, this, &AudioDecoder::decodeStalled);
    connect(this, &AudioDecoder::sig_CheckDecode, this, &AudioDecoder::Set_CheckDecodeTimer, Qt::QueuedConnection);
    connect(
        this, &AudioDecoder::sig_StopCheckDecode, this, [this] { checkDecodeTimer->stop(); }, Qt::QueuedConnection);
}

AudioDecoder::~AudioDecoder()
{
    running = false;
    quit();
    wait();
    m_fence.joined();
}

bool AudioDecoder::Is_BIT32_Data(AVSampleFormat fmt)
{
    return fmt == AV_SAMPLE_FMT_S32 || fmt == AV_SAMPLE_FMT_S32P;
}

bool AudioDecoder::open(const QString &filePath, int startSeconds, bool reback)
{
    stop(false);
    if (!QFile::exists(filePath)) {
        emit playOver();
        return false;
    }
    if (!isRegularFile(filePath)) {
        qCInfo(lcPlayback).noquote() << QStringLiteral("not a regular file, not played: ") + filePath;
        emit playOver();
        return false;
    }
    if (isRunning()) {
        // A run that outlived the wait (a read stuck on a dying stick) still
        // reads path and running: they stay as they are, so that run ends
        // when it wakes instead of going on with the next track's name.
        stop(false);
        if (isRunning())
            emit playOver();
        else
            return open(filePath, startSeconds, false);
    } else {
        m_fence.joined();
        path = filePath;
        rebackDir = reback;
        running = true;
        if (startSeconds >= 0)
            g_CurMusicPlay.currentPosition = startSeconds;
        g_TempData.dsdNotSupported = false;
        start(QThread::TimeCriticalPriority);
    }
    // The DSD ring exists only while DSD plays; wait until the output thread
    // has let go of it before freeing it.
    if (m_MediaBuffer.dsdBuffer.load()) {
        for (int i = 0; i < 300 && m_MediaBuffer.dsdReaders.load() > 0; ++i)
            QThread::msleep(10);
        CCycleBuffer *ring = m_MediaBuffer.dsdBuffer.exchange(nullptr);
        if (m_MediaBuffer.dsdReaders.load() == 0)
            delete ring;
        else
            qCWarning(lcPlayback) << "AudioDecoder: DSD ring still read, left allocated";
    }
    return true;
}

void AudioDecoder::stop(bool noWait)
{
    notSupportTimer->stop();
    checkDecodeTimer->stop();
    running = false;
    m_UsedBufSize = 0;
    m_bufSize = 1000;
    quit();
    if (!noWait && !isFinished() && QThread::currentThread() != this)
        wait(7000);
}

void AudioDecoder::suspend()
{
    emit sig_StopCheckDecode();
}

void AudioDecoder::SetNotSupportTimer()
{
    if (!notSupportTimer->isActive())
        notSupportTimer->start(kNotSupportMs);
}

void AudioDecoder::Set_CheckDecodeTimer()
{
    if (running && !g_CurMusicPlay.seeking)
        checkDecodeTimer->start(kCheckDecodeMs);
}

void AudioDecoder::skipUnusableFile()
{
    notSupportTimer->stop();
    if (g_CurMusicPlay.playState != PlayPlaying) {
        g_TempData.dsdNotSupported = false;
        if (!g_CurMusicPlay.seeking)
            emit playOver();
    }
}

void AudioDecoder::decodeStalled()
{
    const int state = g_CurMusicPlay.playState;
    qCInfo(lcPlayback).noquote() << QStringLiteral("~~~~~~~~~~~~~~~~~decode~~~~~~~~~~~~~~~~~~~~~~~ %1").arg(state);
    checkDecodeTimer->stop();
    if (state == 2)
        stop(false);
    else if (state != 3)
        emit playOver();
}

void AudioDecoder::run()
{
    const RunFence::Scope ended(m_fence);
    QObject context;
    QTimer::singleShot(20, &context, [this] {
        artistTaken = false;
        albumTaken = false;
        if (g_CurMusicPlay.fileType.get() == QLatin1String("mp3")) {
            g_CurMusicPlay.artist = tr("未知");
            g_CurMusicPlay.album = tr("未知");
        }
        klv_decoding();
        quit();
    });
    exec();
}

void AudioDecoder::FileNorSupport(int code)
{
    if (!QFile::exists(path)) {
        emit playOver();
        return;
    }
    if (code == -3)
        g_CurMusicPlay.title = tr("该曲不可播放");
    else if (code == -2)
        g_CurMusicPlay.title = tr("受保护文件");
    else
        g_CurMusicPlay.title = tr("文件格式不支持");
    g_CurMusicPlay.artist = QString();
    g_CurMusicPlay.album = QString();
    g_CurMusicPlay.albumPicture = QImage();
    running = false;
    g_TempData.dsdNotSupported = true;
    emit songChanged();
    emit stopPlay();
}

void AudioDecoder::closeInput()
{
    m_codec.reset();
    m_format.reset();
    m_stream = nullptr;
    m_decoder = nullptr;
    m_streamIndex = -1;
}

bool AudioDecoder::openStream()
{
    m_format = KLVMedia::openInput(QFile::encodeName(path).constData());
    if (!m_format) {
        qCWarning(lcPlayback).noquote() << QStringLiteral("could not open source");
        return false;
    }
    AVFormatContext *fmt = m_format.get();
    if (avformat_find_stream_info(fmt, nullptr) < 0) {
        qCWarning(lcPlayback).noquote() << QStringLiteral("avformat_find_stream_info error!!!");
        return false;
    }
    m_streamIndex = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (m_streamIndex < 0) {
        qCWarning(lcPlayback).noquote() << QStringLiteral("Has Error: line = %1").arg(__LINE__);
        return false;
    }
    m_stream = fmt->streams[m_streamIndex];
    if (!m_stream) {
        qCWarning(lcPlayback).noquote() << QStringLiteral("Has Error: line = %1").arg(__LINE__);
        return false;
    }
    m_decoder = avcodec_find_decoder(m_stream->codecpar->codec_id);
    if (!m_decoder) {
        qCWarning(lcPlayback).noquote() << QStringLiteral("Has Error: line = %1").arg(__LINE__);
        return false;
    }
    m_codec.reset(avcodec_alloc_context3(m_decoder));
    if (!m_codec) {
        qCWarning(lcPlayback).noquote() << QStringLiteral("Has Error: line = %1").arg(__LINE__);
        return false;
    }
    avcodec_parameters_to_context(m_codec.get(), m_stream->codecpar);
    m_codec->pkt_timebase = m_stream->time_base;
    if (avcodec_open2(m_codec.get(), m_decoder, nullptr) < 0)
        qCWarning(lcPlayback).noquote() << QStringLiteral("avcodec_open2 failed");
    return true;
}

void AudioDecoder::describeStream()
{
    const AVCodecContext *cc = m_codec.get();
    const int rate = cc->sample_rate;
    g_CurMusicPlay.albumPicture = QImage();
    g_CurMusicPlay.sampleRateText = QString::number(rate / 1000.0, 'f', 1) + QStringLiteral("kHz");
    const QString type = g_CurMusicPlay.fileType;
    g_CurMusicPlay.detailText = plainFormats.contains(type) ? QString() : get_samplerRate(cc->sample_fmt);
    g_TempData.inputSampleRate = rate;

    if (g_CurMusicPlay.isSubPage) {
        const AVFormatContext *fmt = m_format.get();
        for (unsigned i = 0; i < fmt->nb_streams; ++i) {
            const AVStream *s = fmt->streams[i];
            if ((s->disposition & AV_DISPOSITION_ATTACHED_PIC) && s->attached_pic.size > 0)
                g_CurMusicPlay.albumPicture = QImage::fromData(s->attached_pic.data, s->attached_pic.size);
        }
    }
}

bool AudioDecoder::readTagsAndDuration()
{
    if (isCueItem()) {
        // The sheet gave the track's texts, start and duration.
        g_CurMusicPlay.noDuration = false;
        return true;
    }
    if (g_CurMusicPlay.fileType.get() != QLatin1String("mp3")) {
        g_CurMusicPlay.artist = tr("未知");
        g_CurMusicPlay.album = tr("未知");
    }
    const AVDictionaryEntry *e = nullptr;
    while ((e = av_dict_get(m_format->metadata, "", e, AV_DICT_IGNORE_SUFFIX))) {
        const QString key = QString::fromUtf8(e->key).toLower();
        if (key == QLatin1String("artist") && !artistTaken) {
            g_CurMusicPlay.artist = get_UTF8String(e->value);
            artistTaken = true;
        } else if (key == QLatin1String("album") && !albumTaken) {
            g_CurMusicPlay.album = get_UTF8String(e->value);
            albumTaken = true;
        } else if (key == QLatin1String("asf_protection_type")
                   && QString::fromUtf8(e->value).toLower() == QLatin1String("drm")) {
            return false;
        }
    }
    if (!g_CurMusicPlay.seeking && !g_TempData.resumePending) {
        g_CurMusicPlay.startOffset = 0;
        g_CurMusicPlay.currentPosition = 0;
    }
    qint64 seconds = 0;
    if (m_stream->duration != AV_NOPTS_VALUE && m_stream->duration > 0)
        seconds = av_rescale_q_rnd(m_stream->duration, m_stream->time_base, AVRational{1, 1}, AV_ROUND_ZERO);
    g_CurMusicPlay.noDuration = seconds < 1;
    g_CurMusicPlay.duration = seconds < 1 ? 0 : seconds;
    return true;
}

void AudioDecoder::placeStart()
{
    const qint64 start = g_CurMusicPlay.startOffset;
    const qint64 duration = g_CurMusicPlay.duration;
    if (g_CurMusicPlay.currentPosition > start + duration)
        g_CurMusicPlay.currentPosition = start;
    if (g_CurMusicPlay.tailStart) {
        tailMode = true;
        g_CurMusicPlay.currentPosition = std::max(start, start + duration - 8);
        g_CurMusicPlay.tailStart = false;
    }
}

void AudioDecoder::chooseOutputFormat()
{
    const AVCodecContext *cc = m_codec.get();
    const int rate = cc->sample_rate;
    g_CurMusicPlay.is48kFamily = rate != 176400 && rate % 48 == 0;
    // Frames go straight to the queue at card rates with at most two channels
    // in a format the direct path knows; everything else is converted.
    m_convert = !(rate >= 44100 && rate <= 192000 && directFormat(cc->sample_fmt) && cc->ch_layout.nb_channels >= 1
                  && cc->ch_layout.nb_channels < 3);
    // The card is configured with the width of what is queued: the
    // converter's output format when converting.
    const AVSampleFormat queued = m_convert ? KLVMedia::Resampler::outputFormatFor(cc->sample_fmt) : cc->sample_fmt;
    g_TempData.bitsPerSample = get_bits_presample(queued);
    const AVSampleFormat packed = av_get_packed_sample_fmt(cc->sample_fmt);
    g_CurMusicPlay.isHiRes =
        packed == AV_SAMPLE_FMT_S32 || packed == AV_SAMPLE_FMT_FLT || packed == AV_SAMPLE_FMT_DBL || rate >= 88200;
}

// The file opened for decoding: the stream and its decoder, the now-playing
// fields (rate, format, picture, tags, duration), the start position and the
// queued format. -1: unusable, -2: protected by DRM.
int AudioDecoder::init_open_input()
{
    if (!openStream())
        return -1;
    describeStream();
    if (!readTagsAndDuration())
        return -2;
    placeStart();
    chooseOutputFormat();
    if (QFileInfo(path).size() < 100)
        g_TempData.dsdNotSupported = true;
    emit songChanged();
    return g_TempData.dsdNotSupported ? -1 : 0;
}

void AudioDecoder::seekToStart()
{
    const qint64 start = g_CurMusicPlay.startOffset;
    const qint64 d = g_CurMusicPlay.currentPosition - start;
    qint64 target = 0;
    bool seek = false;
    if (d < 0 || d > g_CurMusicPlay.duration) {
        g_CurMusicPlay.currentPosition = start;
        seek = start != 0;
        target = start;
    } else {
        target = g_CurMusicPlay.currentPosition;
        seek = target != 0;
    }
    if (!seek)
        return;
    const int64_t ts = av_rescale_q(target, AVRational{1, 1}, m_stream->time_base);
    if (av_seek_frame(m_format.get(), m_streamIndex, ts, AVSEEK_FLAG_BACKWARD) < 0)
        qCDebug(lcPlayback) << "AudioDecoder: seek to" << target << "s failed";
    else
        avcodec_flush_buffers(m_codec.get());
}

int AudioDecoder::write_snd_Frame(const AVFrame *frame)
{
    return writeStereoBlock(frame, m_scratch);
}

bool AudioDecoder::queueBlock(Track &t, const uint8_t *data, int bytes, int frames)
{
    BytequeueBuffer *queue = m_MediaBuffer.pcmBuffer.load();
    if (!queue) {
        running = false;
        return false;
    }
    while (queue->Write(data, quint64(bytes), frames) == 0) {
        if (!running)
            return false;
        QThread::msleep(100);
    }
    {
        std::lock_guard<std::mutex> lock(firstBlockLock);
        if (!firstBlockDone) {
            firstBlockDone = true;
            m_MediaBuffer.blockBytes = bytes;
            m_bufSize = kBlockBudget / bytes - 20;
            m_MediaBuffer.blockFrames = frames;
            const int code = !m_convert ? 0 : (t.frameBytes == 8 ? 3 : 2);
            m_MediaBuffer.outFormatCode = code;
            qCDebug(lcPlayback) << "AudioDecoder: first block" << bytes << "bytes," << frames << "frames, limit"
                                << m_bufSize.load() << "blocks, format code" << code;
            if (t.preRollWanted)
                t.silence = QByteArray(bytes, '\0');
        }
    }
    ++m_UsedBufSize;
    return true;
}

AudioDecoder::Step AudioDecoder::deliver(Track &t, const AVFrame *frame)
{
    const uint8_t *data = nullptr;
    int bytes = 0;
    int frames = 0;
    if (m_convert) {
        if (t.resampler.convert(const_cast<const unsigned char **>(frame->extended_data), frame->nb_samples) != 0) {
            qCWarning(lcPlayback).noquote() << QStringLiteral("resampler convert error !");
            running = false;
            return Step::Leave;
        }
        unsigned char *out = nullptr;
        t.resampler.get_converted(out, bytes);
        data = out;
        frames = bytes / t.frameBytes;
    } else {
        bytes = write_snd_Frame(frame);
        data = m_scratch.data();
        frames = frame->nb_samples;
    }
    if (bytes <= 0)
        return Step::Go;
    if (!queueBlock(t, data, bytes, frames))
        return Step::Leave;

    // Position of the end of this frame, whole seconds from the file's start.
    qint64 ts = frame->best_effort_timestamp;
    const qint64 dur = frame->pkt_duration > 0
                           ? frame->pkt_duration
                           : av_rescale_q(frame->nb_samples, AVRational{1, t.sourceRate}, t.timeBase);
    if (ts == AV_NOPTS_VALUE)
        ts = t.nextTs == AV_NOPTS_VALUE ? 0 : t.nextTs;
    t.nextTs = ts + dur;
    qint64 p = 0;
    if (t.countBytes) {
        if (!t.byteCountStarted) {
            t.byteCountStarted = true;
            t.byteCount = g_CurMusicPlay.currentPosition * t.frameBytes * qint64(t.cardRate);
        }
        t.byteCount += bytes;
        p = t.byteCount / t.frameBytes / t.cardRate;
    } else {
        p = qint64(double(ts + dur) * av_q2d(t.timeBase));
    }
    if (p > 0 && !t.firstPtsTaken) {
        t.firstPtsTaken = true;
        m_MediaBuffer.firstPts = ts;
        m_MediaBuffer.firstDuration = dur;
        m_MediaBuffer.secondsPerUnit = av_q2d(t.timeBase);
    }
    if (p < 0 || g_CurMusicPlay.seeking)
        return Step::Go;
    const qint64 start = g_CurMusicPlay.startOffset;
    const qint64 r = p - start;
    if (r < 0)
        return Step::Go;
    g_CurMusicPlay.decodedTime = r;

    const qint64 duration = g_CurMusicPlay.duration;
    if (t.cue && r >= duration) {
        running = false;
        if (!t.started)
            emit playOver();
        return Step::Leave;
    }

    const qint64 ahead = start + r - g_CurMusicPlay.currentPosition;
    if (!t.started) {
        const qint64 threshold = start + duration - g_CurMusicPlay.currentPosition < 4 ? 0 : 3;
        if (ahead >= threshold) {
            t.started = true;
            if (!tailMode)
                emit startPlay();
        }
    }
    if (t.preRollWanted) {
        if (!t.haveFirstSecond) {
            t.haveFirstSecond = true;
            t.firstSecond = r;
        }
        if (r == t.firstSecond && !t.silence.isEmpty()) {
            std::lock_guard<std::mutex> lock(m_MediaBuffer.preRollLock);
            m_MediaBuffer.preRollList.append(t.silence);
        }
    }
    BytequeueBuffer *queue = m_MediaBuffer.pcmBuffer.load();
    if (ahead >= t.paceLimit || (queue && queue->isFull()))
        QThread::msleep(10);
    return Step::Go;
}

AudioDecoder::Step AudioDecoder::receiveFrames(Track &t)
{
    KLVMedia::FramePtr frame(av_frame_alloc());
    while (running) {
        if (++t.receiveCount > t.watchdogPeriod) {
            emit sig_CheckDecode();
            t.receiveCount = 1;
        }
        if (avcodec_receive_frame(m_codec.get(), frame.get()) < 0)
            return Step::Go;
        const Step s = deliver(t, frame.get());
        av_frame_unref(frame.get());
        if (s == Step::Leave)
            return s;
    }
    return Step::Leave;
}

void AudioDecoder::klv_decoding()
{
    const int opened = init_open_input();
    if (opened < 0) {
        closeInput();
        if (rebackDir.exchange(false))
            emit sig_rebackDir(false);
        emit sig_StopCheckDecode();
        FileNorSupport(opened);
        emit setNotSupportFormat();
        return;
    }
    if (rebackDir.exchange(false))
        emit sig_rebackDir(true);

    KLVMedia::PacketPtr packet(av_packet_alloc());
    Track t;
    const AVCodecContext *cc = m_codec.get();
    t.timeBase = m_stream->time_base;
    t.sourceRate = cc->sample_rate > 0 ? cc->sample_rate : 44100;
    g_CurMusicPlay.isResample = m_convert;
    if (m_convert) {
        if (t.resampler.init_once(cc) < 0) {
            running = false;
            qCWarning(lcPlayback).noquote() << QStringLiteral("resampler init error !");
        }
        t.cardRate = t.resampler.outputRate();
        t.frameBytes = 2 * av_get_bytes_per_sample(t.resampler.outputFormat());
    } else {
        t.cardRate = t.sourceRate;
        t.frameBytes = Is_BIT32_Data(cc->sample_fmt) ? 8 : 4;
    }
    if (t.cardRate <= 0)
        t.cardRate = 44100;
    t.cue = isCueItem();

    seekToStart();

    firstBlockDone = false;
    if (BytequeueBuffer *queue = m_MediaBuffer.pcmBuffer.load())
        queue->Empty();
    m_MediaBuffer.clearPreRoll();
    m_MediaBuffer.firstPts = 0;
    m_MediaBuffer.firstDuration = 0;
    m_MediaBuffer.secondsPerUnit = av_q2d(t.timeBase);
    g_CurMusicPlay.decodeOver = false;
    t.paceLimit = (t.sourceRate > 100000 || m_convert) ? 10 : 5;
    t.watchdogPeriod = g_CurMusicPlay.fileType.get() == QLatin1String("wav") ? 70 : 20;
    t.countBytes = g_CurMusicPlay.fileType.get() == QLatin1String("ape") || g_CurMusicPlay.noDuration;
    t.preRollWanted = t.sourceRate > 100000 || m_convert;

    while (running) {
        BytequeueBuffer *queue = m_MediaBuffer.pcmBuffer.load();
        while (m_UsedBufSize >= m_bufSize || (queue && queue->isFull())
               || (!m_convert && m_MediaBuffer.secondsAhead > 8)) {
            QThread::msleep(10);
            emit sig_StopCheckDecode();
            if (!running)
                break;
        }
        if (!running)
            break;

        const int got = av_read_frame(m_format.get(), packet.get());
        if (got == AVERROR_EOF) {
            // End of input: drain the decoder and the converter so that the
            // whole track reaches the queue, then let the output thread play
            // it out (decodeOver tells it nothing more comes).
            if (avcodec_send_packet(m_codec.get(), nullptr) >= 0 && receiveFrames(t) == Step::Leave)
                break;
            if (m_convert && running && t.resampler.flush() == 0) {
                unsigned char *tail = nullptr;
                int bytes = 0;
                t.resampler.get_converted(tail, bytes);
                if (bytes > 0)
                    queueBlock(t, tail, bytes, bytes / t.frameBytes);
            }
            if (running && !t.started) {
                t.started = true;
                if (!tailMode)
                    emit startPlay();
            }
            break;
        }
        if (got < 0) {
            // A failed read that is not the end (a slow or vanishing stick):
            // try again shortly; the watchdog handles a lasting stall.
            QThread::msleep(10);
            continue;
        }
        if (packet->stream_index != m_streamIndex || avcodec_send_packet(m_codec.get(), packet.get()) < 0) {
            av_packet_unref(packet.get());
            continue;
        }
        const Step s = receiveFrames(t);
        av_packet_unref(packet.get());
        if (s == Step::Leave)
            break;
    }

    emit sig_StopCheckDecode();
    tailMode = false;
    g_CurMusicPlay.decodeOver = true;
    qCDebug(lcPlayback) << "pcm decoder over~~~~~~~~~";
    t.resampler.close_Resampler();
    packet.reset();
    closeInput();
    if (g_TempData.dsdNotSupported)
        emit setNotSupportFormat();
}
