#include "dsddecoder.h"

#include "cueresolve.h"
#include "globals.h"
#include "logging.h"
#include "mediabuffer.h"
#include "sacd.h"
#include "volumepath.h"

#include <QFileInfo>
#include <QImage>
#include <QTimer>

#include <cmath>

namespace {

constexpr int kNotSupportMs = 2000;
constexpr quint64 kRingBytes = 31457280;
constexpr int kDsfBlockFrames = 8192;
constexpr int kDsfBufSize = 955;
// Just above DSD256 (11289600 Hz): faster streams are not played.
constexpr int kMaxRate = 11289700;
const QString kSeparator = QStringLiteral("__M__");

bool suffixIs(const QString &path, const char *a, const char *b = nullptr)
{
    const QString s = QFileInfo(path).suffix().toLower();
    return s == QLatin1String(a) || (b && s == QLatin1String(b));
}

} // namespace

QString dsdItemSpec(const QString &path)
{
    return path.contains(kSeparator) ? path : path + QStringLiteral("__M__0__M__1");
}

DsdDecoder::DsdDecoder(QObject *parent)
    : QThread(parent)
{
    notSupportTimer = new QTimer(this);
    notSupportTimer->setInterval(kNotSupportMs);
    connect(notSupportTimer, &QTimer::timeout, this, &DsdDecoder::skipUnusableFile);
    connect(this, &DsdDecoder::setNotSupportFormat, this, &DsdDecoder::SetNotSupportTimer);
}

DsdDecoder::~DsdDecoder()
{
    running = false;
    wait();
    m_fence.joined();
}

bool DsdDecoder::open(const QString &spec, int startSeconds, bool reback)
{
    stop(false);
    // A run that did not end within the wait keeps its thread: no new one.
    if (isRunning() || !spec.contains(kSeparator))
        return false;
    m_fence.joined();
    const QStringList parts = spec.split(kSeparator);
    if (!QFileInfo::exists(parts[0]))
        return false;
    if (!isRegularFile(parts[0])) {
        qCInfo(lcPlayback).noquote() << QStringLiteral("not a regular file, not played: ") + parts[0];
        return false;
    }
    path = parts[0];
    trackIndex = parts.value(1).toInt();
    areaIndex = parts.value(2).toInt();
    rebackDir = reback;
    m_UsedBufSize = 0;
    running = true;
    g_TempData.dsdNotSupported = false;

    const bool cue = suffixIs(g_CurMusicPlay.filePath, "cue");
    if (suffixIs(path, "iso", "dat") || cue) {
        if (!cue) {
            g_CurMusicPlay.startOffset = 0;
            g_CurMusicPlay.currentPosition = 0;
        }
    } else {
        const AudioFileInfo tags = probeAudioFile(path);
        g_CurMusicPlay.artist = tags.artist;
        g_CurMusicPlay.album = tags.album;
        g_CurMusicPlay.startOffset = 0;
        g_CurMusicPlay.currentPosition = 0;
    }
    if (startSeconds >= 0)
        g_CurMusicPlay.currentPosition = startSeconds;

    if (BytequeueBuffer *queue = m_MediaBuffer.pcmBuffer.load())
        queue->Empty();
    if (!m_MediaBuffer.dsdBuffer.load())
        m_MediaBuffer.dsdBuffer = new CCycleBuffer(kRingBytes);
    start(QThread::TimeCriticalPriority);
    return true;
}

void DsdDecoder::stop(bool noWait)
{
    if (notSupportTimer->isActive())
        notSupportTimer->stop();
    running = false;
    m_UsedBufSize = 0;
    if (!noWait && isRunning() && QThread::currentThread() != this)
        wait(3000);
}

void DsdDecoder::SetNotSupportTimer()
{
    notSupportTimer->start(kNotSupportMs);
}

void DsdDecoder::skipUnusableFile()
{
    if (g_CurMusicPlay.playState != PlayPlaying) {
        g_TempData.dsdNotSupported = false;
        if (!g_CurMusicPlay.seeking)
            emit playOver();
    }
    notSupportTimer->stop();
}

void DsdDecoder::FileNorSupport()
{
    g_CurMusicPlay.title = tr("文件格式不支持");
    g_CurMusicPlay.artist = QString();
    g_CurMusicPlay.album = QString();
    g_CurMusicPlay.albumPicture = QImage();
    running = false;
    if (g_CurMusicPlay.playState == PlayPlaying)
        g_CurMusicPlay.playState = PlayStopped;
    g_TempData.dsdNotSupported = true;
    emit sig_rebackDir(false);
}

void DsdDecoder::run()
{
    const RunFence::Scope ended(m_fence);
    auto sacd = std::make_unique<SACD>();
    const bool isImage = suffixIs(path, "iso", "dat");
    bool usable = sacd->open(path);
    if (usable) {
        tailMode = g_CurMusicPlay.tailStart.get();
        usable = sacd->init(unsigned(trackIndex), area_id_e(areaIndex)) == 0;
    }
    if (!usable) {
        sacd.reset();
        FileNorSupport();
        emit songChanged();
        emit setNotSupportFormat();
        g_CurMusicPlay.decodeOver = true;
        return;
    }
    channels = sacd->getChannels();
    samplerate = sacd->getSamplerate();

    if (isImage) {
        TrackDetails details;
        if (sacd->reader()->getTrackDetails(unsigned(trackIndex), area_id_e(areaIndex), &details)) {
            const QString artist = QString::fromStdString(details.strArtist);
            const QString album = QString::fromStdString(details.strAlbum);
            g_CurMusicPlay.artist = artist == QLatin1String("Unknown Artist") ? tr("未知") : artist;
            g_CurMusicPlay.album = album == QLatin1String("Unknown Album") ? tr("未知") : album;
        }
    }
    if (samplerate > kMaxRate || sacd->reader()->is_dst()) {
        FileNorSupport();
        // The title now says why; an image emits nothing else before the loop.
        if (isImage)
            emit songChanged();
    }
    g_CurMusicPlay.isHiRes = true;
    if (!isImage)
        emit songChanged();
    decodeLoop(*sacd, isImage);

    sacd.reset();
    tailMode = false;
    g_CurMusicPlay.decodeOver = true;
    qCInfo(lcPlayback).noquote() << QStringLiteral("delete DSD decoder~~~~~~~~~~~~~~~~~~~~~~~~");
    if (g_TempData.dsdNotSupported)
        emit setNotSupportFormat();
}

bool DsdDecoder::writeBlock(const QByteArray &block)
{
    CCycleBuffer *ring = m_MediaBuffer.dsdBuffer.load();
    if (!ring)
        return false;
    // Whole blocks only: the output thread reads the ring block by block.
    qint64 done = 0;
    while (done < block.size()) {
        done += qint64(ring->Write(block.constData() + done, quint64(block.size() - done)));
        if (done < block.size()) {
            if (!running)
                return false;
            QThread::msleep(10);
        }
    }
    return true;
}

void DsdDecoder::decodeLoop(SACD &sacd, bool isImage)
{
    CCycleBuffer *ring = m_MediaBuffer.dsdBuffer.load();
    if (ring)
        ring->Empty();
    m_MediaBuffer.clearPreRoll();

    const bool dsf = sacd.kind() == SACD::Kind::Dsf;
    int blockBytes = 0;
    if (dsf) {
        blockBytes = sacd.blockBytes();
        m_MediaBuffer.blockBytes = blockBytes;
        m_MediaBuffer.blockFrames = kDsfBlockFrames;
        m_bufSize = kDsfBufSize;
    } else {
        m_MediaBuffer.blockFrames = sacd.getPackDsdSize();
        blockBytes = 4 * sacd.getPackDsdSize();
        m_MediaBuffer.blockBytes = blockBytes;
        m_bufSize = int(kRingBytes / quint64(blockBytes + 2)) - 20;
    }
    // The last, short block counts too: it holds the end of the track, and
    // the output thread ends the track once the block count has played.
    m_MediaBuffer.outFormatCode = 2;
    const double secondsPerUnit = sacd.secondsPerUnit();
    m_MediaBuffer.secondsPerUnit = secondsPerUnit;
    g_CurMusicPlay.decodeOver = false;
    const qint64 startOffset = g_CurMusicPlay.startOffset;
    const qint64 startRel = g_CurMusicPlay.currentPosition - startOffset;
    qint64 blockIndex = secondsPerUnit > 0 ? qint64(double(g_CurMusicPlay.currentPosition) / secondsPerUnit) : 0;
    const QByteArray silence(blockBytes, char(kDsdSilence));

    // About one second of DSD silence is played while the output is still
    // muted: one silence block for every block of the first second.
    if (running) {
        const int preRollBlocks = secondsPerUnit > 0 ? int(std::ceil(1.0 / secondsPerUnit)) : 1;
        QList<QByteArray> preRoll;
        for (int i = 0; i < std::min(preRollBlocks, 400); ++i)
            preRoll.append(silence);
        m_MediaBuffer.setPreRoll(preRoll);
    }

    const int threshold = g_CurMusicPlay.duration - startRel < 6 ? 0 : 5;
    bool started = false;
    bool firstBlock = true;
    int written = 0;
    QByteArray block;
    block.reserve(blockBytes);
    bool ended = false;
    while (!ended) {
        if (!running)
            break;
        ring = m_MediaBuffer.dsdBuffer.load();
        if (!ring)
            break;
        if (m_UsedBufSize >= m_bufSize || ring->isFull()) {
            QThread::msleep(10);
            continue;
        }
        block.truncate(0);
        bool isDst = false;
        ended = sacd.decode(&block, isDst) != 0;
        if (isDst) {
            FileNorSupport();
            emit songChanged();
        } else if (isImage && firstBlock && !block.isEmpty()) {
            emit songChanged();
        }
        if (rebackDir.exchange(false) && !isDst)
            emit sig_rebackDir(true);
        if (block.isEmpty() || isDst) {
            if (!ended)
                QThread::msleep(10);
            continue;
        }
        firstBlock = false;
        // The last block is short: DSD silence fills it, never stale bytes.
        if (block.size() < blockBytes)
            block.append(silence.constData(), blockBytes - block.size());
        if (!writeBlock(block))
            break;
        ++blockIndex;
        ++written;
        g_CurMusicPlay.decodedTime = qint64(double(blockIndex) * secondsPerUnit - double(startOffset));
        ++m_UsedBufSize;
        if (ring->isFull())
            QThread::msleep(10);
        if (!started) {
            const qint64 ahead = g_CurMusicPlay.decodedTime - startRel;
            if (ahead > threshold || threshold == 0) {
                started = true;
                if (!tailMode)
                    emit startPlay();
            }
        }
    }
    // A track shorter than the start threshold still plays.
    if (!started && written > 0 && running && !tailMode)
        emit startPlay();
}
