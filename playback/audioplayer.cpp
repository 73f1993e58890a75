#include "audioplayer.h"

#include "audioplay.h"
#include "cueitem.h"
#include "globals.h"
#include "gpioctrl.h"
#include "logging.h"
#include "mediabuffer.h"
#include "platform.h"

#include <QDebug>
#include <QFileInfo>
#include <QMetaObject>
#include <QTimer>

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kBufEmptyMs = 5000;
constexpr int kCurTimeMs = 12000;

void decrementUsed()
{
    int v = m_UsedBufSize.load();
    while (v > 0 && !m_UsedBufSize.compare_exchange_weak(v, v - 1)) {
    }
}

} // namespace

// State of one run of the output thread (output thread only).
struct AudioPlayer::Session {
    std::unique_ptr<AudioPlay> audio;
    Mode mode = Mode::Bytes;
    bool dsd = false;
    bool cue = false;
    int rate = 44100;
    int bits = 16;
    int frameBytes = 4; // bytes of one two-channel frame (PCM)
    BytequeueBuffer *queue = nullptr;
    CCycleBuffer *ring = nullptr;
    std::vector<unsigned char> dsdBlock;
    int blockFrames = 0;
    bool hadData = false;
    bool ended = false; // the end of the track was found
    qint64 lastReported = -1;
};

AudioPlayer::AudioPlayer(QObject *parent)
    : QThread(parent)
{
    bufEmptyTimer = new QTimer(this);
    bufEmptyTimer->setInterval(kBufEmptyMs);
    muteTimer = new QTimer(this);
    curTimeCaleTimer = new QTimer(this);
    curTimeCaleTimer->setInterval(kCurTimeMs);
    m_currentSource = [] { return SourceUsb; };

    connect(this, &AudioPlayer::startBufEmptyTimer, this, &AudioPlayer::startBufEmptyTime, Qt::QueuedConnection);
    connect(this, &AudioPlayer::stopBufEmptyTimer, this, &AudioPlayer::stopBufEmptyTime, Qt::QueuedConnection);
    connect(bufEmptyTimer, &QTimer::timeout, this, &AudioPlayer::BufDataEmptyTimerOver);
    connect(curTimeCaleTimer, &QTimer::timeout, this, &AudioPlayer::CurTimeCaleTimerOver);
    connect(this, &AudioPlayer::caleCurTimeStart, this, [this] {
        curTimeCaleTimer->start(kCurTimeMs);
        bufEmptyTimer->stop();
    });
    connect(this, &AudioPlayer::caleCurTimeStop, this, [this] { curTimeCaleTimer->stop(); });
    connect(muteTimer, &QTimer::timeout, this, &AudioPlayer::Slot_OpenGPIOMute, Qt::QueuedConnection);
    connect(this, &AudioPlayer::switchGPIOMute, this, [this](int ms) {
        if (!muteTimer->isActive())
            muteTimer->start(ms);
    });
    connect(this, &AudioPlayer::stopGIPOMute, this, [this] { muteTimer->stop(); });
}

AudioPlayer::~AudioPlayer()
{
    running = false;
    draining = false;
    wait();
    m_fence.joined();
}

void AudioPlayer::setGpioLines(GpioCtrl *playMode, GpioCtrl *clock, GpioCtrl *mute)
{
    std::lock_guard<std::mutex> lock(m_gpioLock);
    playModeGpio = playMode;
    clockGpio = clock;
    muteGpio = mute;
}

void AudioPlayer::setSourceQuery(std::function<int()> currentSource)
{
    if (currentSource)
        m_currentSource = std::move(currentSource);
}

void AudioPlayer::setDeviceNames(const QString &pcmDevice, const QString &dsdDevice)
{
    m_pcmDevice = pcmDevice;
    m_dsdDevice = dsdDevice;
}

// ---------------------------------------------------------------- lines

bool AudioPlayer::lineValue(GpioCtrl *line, int &value)
{
    if (!line || !line->isExported())
        return false;
    value = line->get_value();
    return value >= 0;
}

void AudioPlayer::setLine(GpioCtrl *line, int value)
{
    if (line && line->isExported())
        line->set_value(unsigned(value));
}

void AudioPlayer::setMute(int value)
{
    std::lock_guard<std::mutex> lock(m_gpioLock);
    setLine(muteGpio, value);
}

void AudioPlayer::CloseGPIOMute()
{
    std::lock_guard<std::mutex> lock(m_gpioLock);
    int v = 0;
    if (lineValue(muteGpio, v) && v == 0) {
        setLine(muteGpio, 1);
        qCInfo(lcPlayback).noquote() << QStringLiteral("player close mute!!!!");
    }
}

void AudioPlayer::Slot_OpenGPIOMute()
{
    emit stopGIPOMute();
    {
        std::lock_guard<std::mutex> lock(m_gpioLock);
        int v = 0;
        // Stays muted while a skip holds the output back.
        if (lineValue(muteGpio, v) && v == 1)
            setLine(muteGpio, g_TempData.skipInProgress ? 1 : 0);
    }
    std::lock_guard<std::mutex> lock(m_MediaBuffer.preRollLock);
    if (!m_MediaBuffer.preRollList.isEmpty()) {
        m_MediaBuffer.preRollList.clear();
        preRollDone = true;
    }
}

void AudioPlayer::SwitchGPIOPlayMode(bool dsd)
{
    std::lock_guard<std::mutex> lock(m_gpioLock);
    int v = 0;
    if (lineValue(playModeGpio, v) && v != (dsd ? 1 : 0))
        setLine(playModeGpio, dsd ? 1 : 0);
}

// ---------------------------------------------------------------- control

void AudioPlayer::play()
{
    for (;;) {
        emit caleCurTimeStop();
        muteTimer->stop();
        if (g_TempData.dsdNotSupported)
            return;
        g_TempData.resumePending = false;
        if (!isRunning()) {
            m_fence.joined();
            break;
        }
        stop(false);
        wait(3000);
        if (Get_buf_isempty() || m_UsedBufSize == 0)
            return;
    }
    running = true;
    // A stop by the user ends that run only; this new run reports its end.
    stoppedByUser = false;
    g_TempData.skipInProgress = false;
    start(QThread::TimeCriticalPriority);
}

void AudioPlayer::stop(bool byUser)
{
    stoppedByUser = byUser;
    if (!g_CurMusicPlay.seeking)
        g_CurMusicPlay.playState = PlayStopped;
    running = false;
    if (bufEmptyTimer->isActive())
        bufEmptyTimer->stop();
    if (muteTimer->isActive())
        muteTimer->stop();
    CloseGPIOMute();
    emit caleCurTimeStop();
}

void AudioPlayer::suspend()
{
    CloseGPIOMute();
    emit stopGIPOMute();
    CloseGPIOMute();
    g_CurMusicPlay.playState = PlayPaused;
    if (Is_DSDFile(g_CurMusicPlay.fileType))
        SwitchGPIOPlayMode(false);
    emit caleCurTimeStop();
}

void AudioPlayer::resume()
{
    if (!Get_buf_isempty() && !isRunning() && g_CurMusicPlay.playState == PlayStopped) {
        play();
    } else if (isRunning()) {
        CloseGPIOMute();
        emit switchGPIOMute(600);
        if (Is_DSDFile(g_CurMusicPlay.fileType))
            SwitchGPIOPlayMode(true);
        running = true;
        g_CurMusicPlay.playState = PlayPlaying;
    } else {
        g_CurMusicPlay.playState = PlayStopped;
    }
    qCInfo(lcPlayback).noquote() << QStringLiteral("AudioPlayer 继续播放~~~~~~~~~ %1 %2")
                                        .arg(m_UsedBufSize.load())
                                        .arg(g_CurMusicPlay.playState);
}

void AudioPlayer::startBufEmptyTime()
{
    if (!bufEmptyTimer->isActive())
        bufEmptyTimer->start(kBufEmptyMs);
}

void AudioPlayer::stopBufEmptyTime()
{
    bufEmptyTimer->stop();
}

void AudioPlayer::BufDataEmptyTimerOver()
{
    bufEmptyTimer->stop();
    running = false;
}

void AudioPlayer::CurTimeCaleTimerOver()
{
    curTimeCaleTimer->stop();
    if (g_TempData.skipInProgress)
        return;
    if (g_CurMusicPlay.playState != PlayPaused)
        emit playOver();
    qCWarning(lcPlayback).noquote() << QStringLiteral("播放线程－歌曲错误－跳下一曲\n");
}

// ---------------------------------------------------------------- thread

bool AudioPlayer::preRollEmpty() const
{
    std::lock_guard<std::mutex> lock(m_MediaBuffer.preRollLock);
    return m_MediaBuffer.preRollList.isEmpty();
}

void AudioPlayer::playPreRoll(Session &s)
{
    while (!preRollDone && running) {
        QByteArray block;
        {
            std::lock_guard<std::mutex> lock(m_MediaBuffer.preRollLock);
            if (!m_MediaBuffer.preRollList.isEmpty())
                block = m_MediaBuffer.preRollList.takeFirst();
        }
        if (block.isEmpty()) {
            preRollDone = true;
            break;
        }
        s.audio->play(reinterpret_cast<unsigned char *>(block.data()), m_MediaBuffer.blockFrames);
    }
}

bool AudioPlayer::trackOver(const Session &s) const
{
    const bool empty = s.dsd ? (!s.ring || s.ring->isEmpty()) : (!s.queue || s.queue->isEmpty());
    const bool readOver = s.dsd ? (!s.ring || s.ring->IsReadOver()) : (!s.queue || s.queue->IsReadOver());
    const bool playedOut = empty && readOver && g_CurMusicPlay.decodeOver;
    if (g_CurMusicPlay.noDuration)
        return playedOut;
    // A CUE track (and a DSD item, whose positions come from its block
    // count) ends at its duration: the file goes on past the track. An
    // ordinary file ends when everything decoded has been played; its
    // duration is truncated to whole seconds.
    if (s.cue || s.dsd) {
        const qint64 rel = g_CurMusicPlay.currentPosition - g_CurMusicPlay.startOffset;
        return rel >= g_CurMusicPlay.duration || playedOut;
    }
    return playedOut;
}

void AudioPlayer::endOfTrack(Session &s)
{
    s.ended = true;
    if (s.dsd) {
        qCDebug(lcPlayback) << "~~~~~~~~~~Check_PlayOver~~~~~~~~~";
        CloseGPIOMute();
        running = false;
    } else if (s.rate <= 150000) {
        running = false;
    } else {
        // Above 150 kHz the card is given time before the stream is closed.
        // A precise timer: Qt makes timers of 2 s and more coarse, and those
        // may fire up to 5 % early.
        draining = true;
        const int ms = s.bits == 32 ? 1200 : 2100;
        QMetaObject::invokeMethod(
            this, [this, ms] { QTimer::singleShot(ms, Qt::PreciseTimer, this, [this] { draining = false; }); },
            Qt::QueuedConnection);
    }
    const qint64 duration = g_CurMusicPlay.duration;
    if (!g_CurMusicPlay.noDuration && s.lastReported != duration) {
        s.lastReported = duration;
        emit positionChanged(duration);
    }
}

void AudioPlayer::rebuffer()
{
    // Wait for the decoder to get ahead again: at most 2 s, less once it is
    // 2 s ahead of the card or has finished.
    for (int i = 0; i < 200 && running; ++i) {
        QThread::msleep(10);
        const qint64 ahead = g_CurMusicPlay.decodedTime + g_CurMusicPlay.startOffset - g_CurMusicPlay.currentPosition;
        if (ahead >= 2 || g_CurMusicPlay.decodeOver || g_CurMusicPlay.playState != PlayPlaying)
            break;
    }
}

void AudioPlayer::underrun(Session &s)
{
    if (g_CurMusicPlay.noDuration)
        return;
    const bool readOver = s.dsd ? (!s.ring || s.ring->IsReadOver()) : (!s.queue || s.queue->IsReadOver());
    if (g_CurMusicPlay.decodeOver && readOver)
        return; // simply the end: the next pass ends the track
    if (g_CurMusicPlay.decodedTime >= g_CurMusicPlay.duration - 2 || g_CurMusicPlay.decodeOver) {
        if (g_CurMusicPlay.playState != PlayPaused)
            emit startBufEmptyTimer();
    } else {
        emit showbuffing();
        rebuffer();
    }
}

void AudioPlayer::updatePosition(Session &s, int units)
{
    if (g_CurMusicPlay.noDuration) {
        emit caleCurTimeStart();
        return;
    }
    const qint64 start = g_CurMusicPlay.startOffset;
    qint64 rel = 0;
    switch (s.mode) {
    case Mode::Bytes:
        playedCount += qint64(units) * s.frameBytes;
        rel = playedCount / s.frameBytes / s.rate;
        break;
    case Mode::TimeBase:
        playedCount += m_MediaBuffer.firstDuration;
        rel = qint64(double(playedCount + m_MediaBuffer.firstDuration) * m_MediaBuffer.secondsPerUnit) - start;
        break;
    case Mode::Dsd:
        playedCount += 1;
        rel = qint64(double(playedCount) * m_MediaBuffer.secondsPerUnit - double(start));
        break;
    }
    const qint64 duration = g_CurMusicPlay.duration;
    if (start + rel != g_CurMusicPlay.currentPosition && rel <= duration && g_CurMusicPlay.playState != PlayStopped
        && !g_CurMusicPlay.seeking) {
        g_CurMusicPlay.currentPosition = start + rel;
        emit caleCurTimeStart();
        m_MediaBuffer.secondsAhead = int(g_CurMusicPlay.decodedTime + start - g_CurMusicPlay.currentPosition);
        s.lastReported = rel;
        emit positionChanged(rel);
        if (rel == duration - 3)
            emit sig_StopCheckPause();
    }
}

bool AudioPlayer::playOneBlock(Session &s)
{
    if (s.dsd) {
        const quint64 want = quint64(s.dsdBlock.size());
        const quint64 got = s.ring ? s.ring->Read(s.dsdBlock.data(), want) : 0;
        if (got < want)
            underrun(s);
        if (got == 0) {
            QThread::msleep(5);
            return false;
        }
        // A short read leaves the previous block's bytes behind it: those
        // must not play again, DSD silence (0x69) takes their place.
        if (got < want)
            std::memset(s.dsdBlock.data() + got, 0x69, want - got);
        s.audio->play(s.dsdBlock.data(), s.blockFrames);
        decrementUsed();
        updatePosition(s, 1);
        return true;
    }
    QByteArray block = s.queue ? s.queue->Read() : QByteArray();
    if (block.size() <= 2) {
        if (s.hadData)
            underrun(s);
        s.hadData = false;
        QThread::msleep(5);
        return false;
    }
    s.hadData = true;
    quint16 frames = 0;
    std::memcpy(&frames, block.constData(), 2);
    s.audio->play(reinterpret_cast<unsigned char *>(block.data()) + 2, frames);
    decrementUsed();
    updatePosition(s, frames);
    return true;
}

void AudioPlayer::selectClockFamily()
{
    const bool family48 = g_CurMusicPlay.is48kFamily;
    bool switched = false;
    {
        std::lock_guard<std::mutex> lock(m_gpioLock);
        int v = 0;
        if (lineValue(clockGpio, v) && v != (family48 ? 1 : 0)) {
            setLine(clockGpio, family48 ? 1 : 0);
            switched = true;
        }
    }
    if (switched)
        QThread::msleep(200); // let the clock settle before the card starts
}

bool AudioPlayer::openCard(Session &s)
{
    QString device;
    Audio_type type = AUDIO_PCM;
    bool longLatency = false;
    if (s.dsd) {
        s.bits = g_CurMusicPlay.outputBits;
        g_TempData.bitsPerSample = s.bits;
        s.rate = g_TempData.inputSampleRate;
        longLatency = s.rate > 88200;
        device = m_dsdDevice.isEmpty() ? Platform::dsdDevice() : m_dsdDevice;
        type = AUDIO_DSD;
    } else {
        const int source = g_TempData.inputSampleRate;
        s.rate = source > 192000 ? int(g_CurMusicPlay.outputSampleRate) : source;
        if (s.rate < 44100)
            s.rate = 44100;
        longLatency = source > 100000;
        device = m_pcmDevice.isEmpty() ? Platform::pcmDevice() : m_pcmDevice;
        s.bits = g_TempData.bitsPerSample;
    }
    s.frameBytes = s.bits / 4 > 0 ? s.bits / 4 : 4;

    s.audio = std::make_unique<AudioPlay>(device.toLocal8Bit().constData());
    if (!s.audio->open()) {
        qCWarning(lcPlayback, "open audio device failed");
        s.audio.reset();
        return false;
    }

    preRollDone = preRollEmpty();
    if (!g_TempData.skipInProgress && preRollDone) {
        if (s.rate <= 150000)
            emit switchGPIOMute(s.bits == 16 ? 20 : 10);
        else
            Slot_OpenGPIOMute();
    } else {
        emit switchGPIOMute(1100);
    }

    if (!s.audio->configure(type, 2, unsigned(s.rate), unsigned(s.bits), longLatency)) {
        qCWarning(lcPlayback, "configure audio device failed");
        running = false;
    }
    return true;
}

void AudioPlayer::startCounting(Session &s)
{
    const QString type = g_CurMusicPlay.fileType;
    if (s.dsd) {
        s.mode = Mode::Dsd;
        ++m_MediaBuffer.dsdReaders;
        s.ring = m_MediaBuffer.dsdBuffer.load();
        const double spu = m_MediaBuffer.secondsPerUnit;
        playedCount = spu > 0 ? qint64(double(g_CurMusicPlay.currentPosition) / spu) : 0;
        s.dsdBlock.assign(size_t(std::max(0, m_MediaBuffer.blockBytes.load())), 0x69);
        s.blockFrames = m_MediaBuffer.blockFrames;
    } else {
        s.queue = m_MediaBuffer.pcmBuffer.load();
        if (s.bits == 32
            && (type == QLatin1String("wav") || type == QLatin1String("aiff") || type == QLatin1String("aif"))
            && !g_CurMusicPlay.isResample) {
            s.mode = Mode::TimeBase;
            playedCount = m_MediaBuffer.firstPts;
        } else {
            s.mode = Mode::Bytes;
            if (g_CurMusicPlay.currentPosition < g_CurMusicPlay.startOffset)
                g_CurMusicPlay.currentPosition = g_CurMusicPlay.startOffset.get();
            playedCount = (g_CurMusicPlay.currentPosition - g_CurMusicPlay.startOffset) * s.frameBytes * s.rate;
        }
    }
}

void AudioPlayer::playLoop(Session &s)
{
    while (running && !g_TempData.skipInProgress) {
        if (g_CurMusicPlay.playState == PlayStopped || g_CurMusicPlay.seeking) {
            running = false;
            break;
        }
        if (s.ended) {
            // Draining above 150 kHz: wait for the timer, then close.
            if (draining) {
                QThread::msleep(50);
                continue;
            }
            running = false;
            break;
        }
        if (g_CurMusicPlay.playState == PlayPaused) {
            QThread::msleep(50);
            emit caleCurTimeStop();
            continue;
        }
        playPreRoll(s);
        if (trackOver(s)) {
            endOfTrack(s);
            continue;
        }
        playOneBlock(s);
    }
}

void AudioPlayer::closeCard(Session &s)
{
    emit caleCurTimeStop();
    emit stopGIPOMute();
    if (s.dsd) {
        SwitchGPIOPlayMode(false);
        s.dsdBlock.clear();
        s.ring = nullptr;
        --m_MediaBuffer.dsdReaders;
    }
    m_MediaBuffer.secondsAhead = 0;
    s.audio.reset(); // drains: everything written is played before this returns
    // Mute only once the card has played the whole track out.
    if (s.ended && !s.dsd)
        CloseGPIOMute();
    draining = false;
}

// One track on the card: the clock family and the path lines, the card
// opened for the format, the position counting set up, blocks played until
// the track ends or playback stops, the card drained and closed.
void AudioPlayer::run()
{
    const RunFence::Scope ended(m_fence);
    emit caleCurTimeStart();
    if (g_TempData.skipInProgress) {
        running = false;
        return;
    }
    selectClockFamily();
    Session s;
    s.dsd = Is_DSDFile(g_CurMusicPlay.fileType);
    s.cue = isCueItem();
    SwitchGPIOPlayMode(s.dsd);
    isDSD = s.dsd;
    if (!openCard(s)) {
        running = false;
        emit playOver();
        return;
    }
    m_MediaBuffer.secondsAhead = 0;
    if (g_CurMusicPlay.playState == PlayStopped)
        g_CurMusicPlay.playState = PlayPlaying;
    startCounting(s);
    preRollDone = preRollEmpty();
    if (preRollDone && !g_TempData.skipInProgress)
        Slot_OpenGPIOMute();
    else
        emit switchGPIOMute(1100);
    if (m_currentSource() != SourceUsb)
        g_CurMusicPlay.playState = PlayPaused;

    playLoop(s);
    closeCard(s);
    qCDebug(lcPlayback) << "AudioPlayer over: duration" << g_CurMusicPlay.duration.get() << "position"
                        << g_CurMusicPlay.currentPosition.get();
    if (!stoppedByUser && g_CurMusicPlay.playState == PlayPlaying && !g_CurMusicPlay.seeking) {
        g_CurMusicPlay.playState = PlayStopped;
        if (!g_TempData.skipInProgress && !g_CurMusicPlay.tailStart)
            emit playOver();
    }
}
