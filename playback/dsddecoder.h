#pragma once
// DsdDecoder: the thread that plays DSD sources (DSF and DSDIFF files, tracks
// of SACD disc images) natively: it reads frames through the SACD facade,
// packs them as DSD_U16_LE words in fixed blocks into the DSD ring
// (m_MediaBuffer.dsdBuffer), and fills the now-playing fields of
// g_CurMusicPlay. DST-coded sources are reported as not supported.
//
// Items are "path__M__track__M__area"; dsdItemSpec() makes one for a plain
// DSF or DSDIFF path (a CUE track of a DSD file, for instance).

#include "runfence.h"
#include "sacd_reader.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

class QTimer;
class SACD;

// path + "__M__0__M__1" unless path already carries selectors.
QString dsdItemSpec(const QString &path);

class DsdDecoder : public QThread
{
    Q_OBJECT
public:
    explicit DsdDecoder(QObject *parent = nullptr);
    ~DsdDecoder() override;

    // GUI thread. spec: "path__M__track__M__area"; startSeconds >= 0 sets
    // currentPosition. False (nothing started) without selectors or file,
    // or when the file is no regular file (logged).
    bool open(const QString &spec, int startSeconds, bool rebackDir);
    // GUI thread. Ends the run; waits up to 3 s for the thread unless noWait.
    void stop(bool noWait);

public slots:
    void SetNotSupportTimer();

signals:
    void startPlay();
    void startTime();
    void stopTime();
    void playOver();
    void songChanged();
    void sig_rebackDir(bool ok);
    void positionChanged(qint64 position);
    void goDecode();
    void setNotSupportFormat();
    void resetMusicInfo();

protected:
    void run() override;

private:
    void FileNorSupport();
    void skipUnusableFile();
    void decodeLoop(SACD &sacd, bool isImage);
    bool writeBlock(const QByteArray &block);

    QTimer *notSupportTimer = nullptr;  // GUI thread
    std::atomic<bool> running{false};   // set by open, cleared by stop (GUI) and the thread
    std::atomic<bool> tailMode{false};  // decode thread
    std::atomic<bool> rebackDir{false}; // written by open, read and cleared by the thread
    int channels = 0;                   // decode thread
    int samplerate = 0;                 // decode thread
    // Written by open() before the thread starts, read by the thread.
    QString path;
    int trackIndex = 0;
    int areaIndex = 0;
    RunFence m_fence; // run() ended, for open() and the destructor
};
