#pragma once
// AudioPlayer: the output thread. Takes PCM blocks or DSD bytes from
// m_MediaBuffer and writes them to the sound card, keeps the playing
// position, drives the mute, DSD/PCM path and clock-family lines, and detects
// the end of a track and stalls.
//
// Set-up by the owner (GUI thread, before the first play()):
//   setGpioLines(line 13, line 5, line 12)  exported, direction "out"
//   setSourceQuery(fn)                      current source; SourceUsb is this player
// The device names come from the platform layer unless setDeviceNames()
// overrides them.

#include "runfence.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <mutex>

class GpioCtrl;
class QTimer;

class AudioPlayer : public QThread
{
    Q_OBJECT
public:
    explicit AudioPlayer(QObject *parent = nullptr);
    ~AudioPlayer() override;

    // playMode: 1 DSD path, 0 PCM; clock: 1 48 kHz family, 0 44.1 kHz family;
    // mute: 1 muted, 0 sound. Any may be null (hardware without the line).
    void setGpioLines(GpioCtrl *playMode, GpioCtrl *clock, GpioCtrl *mute);
    void setSourceQuery(std::function<int()> currentSource);
    void setDeviceNames(const QString &pcmDevice, const QString &dsdDevice);

    // GUI thread.
    void play();
    void stop(bool byUser);
    void suspend();
    void resume();
    void CloseGPIOMute();
    // Any thread: writes the mute line under the lock the output thread uses.
    void setMute(int value);
    void SwitchGPIOPlayMode(bool dsd);

public slots:
    void Slot_OpenGPIOMute();
    void startBufEmptyTime();
    void stopBufEmptyTime();
    void BufDataEmptyTimerOver();
    void CurTimeCaleTimerOver();

signals:
    void playOver();
    void positionChanged(qint64 position);
    void startTime();
    void stopTime();
    void sig_CheckDecode();
    void startBufEmptyTimer();
    void stopBufEmptyTimer();
    void showbuffing();
    void switchGPIOMute(int ms);
    void stopGIPOMute();
    void caleCurTimeStart();
    void caleCurTimeStop();
    void resetMusicInfo();
    void sig_StopCheckPause();
    void sig_junSong();

protected:
    void run() override;

private:
    struct Session;
    enum class Mode { TimeBase, Bytes, Dsd };

    // The steps of run().
    void selectClockFamily();
    bool openCard(Session &s); // false: the card does not open
    void startCounting(Session &s);
    void playLoop(Session &s);
    void closeCard(Session &s);

    bool lineValue(GpioCtrl *line, int &value);
    void setLine(GpioCtrl *line, int value);
    bool preRollEmpty() const;
    void playPreRoll(Session &s);
    bool trackOver(const Session &s) const;
    void endOfTrack(Session &s);
    bool playOneBlock(Session &s);
    void underrun(Session &s);
    void updatePosition(Session &s, int frames);
    void rebuffer();

    std::atomic<bool> stoppedByUser{false}; // GUI writes, output thread reads
    QTimer *bufEmptyTimer = nullptr;        // GUI thread
    QTimer *muteTimer = nullptr;            // GUI thread
    QTimer *curTimeCaleTimer = nullptr;     // GUI thread
    std::atomic<bool> running{false};       // both threads
    std::atomic<bool> draining{false};      // output thread sets, a GUI-thread timer clears
    std::atomic<bool> preRollDone{true};    // both threads
    std::atomic<bool> isDSD{false};         // output thread
    std::mutex m_gpioLock;                  // every access to the three lines
    GpioCtrl *playModeGpio = nullptr;       // set before the first play()
    GpioCtrl *clockGpio = nullptr;
    GpioCtrl *muteGpio = nullptr;
    qint64 playedCount = 0;               // output thread
    std::function<int()> m_currentSource; // set before the first play()
    QString m_pcmDevice;                  // empty: the platform's names
    QString m_dsdDevice;
    RunFence m_fence; // run() ended, for play() and the destructor
};
