#pragma once
// AudioDecoder: the thread that turns one PCM-format file into blocks of
// two-channel interleaved samples in the PCM block queue (m_MediaBuffer), and
// fills the now-playing fields of g_CurMusicPlay. One object lives as long as
// the program; open() starts a track, stop() ends it.

#include "ffmpegptr.h"
#include "runfence.h"

#include <QStringList>
#include <QThread>

#include <atomic>
#include <mutex>
#include <vector>

class QTimer;

namespace KLVMedia {
class Resampler;
}

class AudioDecoder : public QThread
{
    Q_OBJECT
public:
    explicit AudioDecoder(QObject *parent = nullptr);
    ~AudioDecoder() override;

    // GUI thread. Starts decoding path from startSeconds (< 0: keep
    // currentPosition). False when the file does not exist or is no regular
    // file (a FIFO or a device would block or never end; logged): playOver()
    // follows, as for a missing file.
    bool open(const QString &path, int startSeconds, bool rebackDir);
    // GUI thread. Ends the track; waits up to 7 s for the thread unless noWait.
    void stop(bool noWait = false);
    // GUI thread. Pausing only disarms the watchdog.
    void suspend();

    static bool Is_BIT32_Data(AVSampleFormat fmt);

public slots:
    void SetNotSupportTimer();
    void Set_CheckDecodeTimer();

signals:
    void startPlay();
    void stopPlay();
    void playOver();
    void setNotSupportFormat();
    void sig_CheckDecode();
    void sig_StopCheckDecode();
    void songChanged();
    void positionChanged(qint64 position);
    void resetMusicInfo();
    void sig_rebackDir(bool ok);

protected:
    void run() override;

private:
    struct Track;
    enum class Step { Go, Leave };

    void klv_decoding();
    int init_open_input();
    // The steps of init_open_input().
    bool openStream();
    void describeStream();
    bool readTagsAndDuration(); // false: the file is protected by DRM
    void placeStart();
    void chooseOutputFormat();
    void FileNorSupport(int code);
    void skipUnusableFile();
    void decodeStalled();
    void seekToStart();
    Step receiveFrames(Track &t);
    Step deliver(Track &t, const AVFrame *frame);
    bool queueBlock(Track &t, const uint8_t *data, int bytes, int frames);
    int write_snd_Frame(const AVFrame *frame);
    void closeInput();

    std::atomic<bool> running{false};  // set by open (GUI), cleared by stop (GUI) and the thread
    bool firstBlockDone = false;       // decode thread, under firstBlockLock
    std::atomic<bool> tailMode{false}; // decode thread
    bool artistTaken = false;          // decode thread
    bool albumTaken = false;           // decode thread
    QStringList plainFormats;
    std::mutex firstBlockLock;
    QString path; // written by open before the thread starts
    std::atomic<bool> rebackDir{false};
    QTimer *notSupportTimer = nullptr;  // GUI thread
    QTimer *checkDecodeTimer = nullptr; // GUI thread

    // Decode thread only: the open input and decoder of the current track.
    KLVMedia::FormatPtr m_format;
    KLVMedia::CodecPtr m_codec;
    const AVCodec *m_decoder = nullptr;
    AVStream *m_stream = nullptr;
    int m_streamIndex = -1;
    bool m_convert = false;         // frames go through the converter
    std::vector<uint8_t> m_scratch; // interleaved block of the direct path
    RunFence m_fence;               // run() ended, for open() and the destructor
};
