#pragma once
// The whole player in a sandbox, driven only through the car's interfaces:
// generated sticks inserted and pulled with "vdx usb", the key controller's
// script, the MCU simulator's control file, kill -9. What the player does is
// read back from the MCU transcript (the now-playing packet of block 121),
// the settings file, its log and screenshots of its window.
//
// Sticks need loop mounts: tests using them skip when not root.

#include "testsandbox.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One now-playing packet as the MCU received it.
struct NowPlaying {
    double time = 0; // seconds since the simulator started
    QString title;
    QString artist;
    QString format;
    int total = 0;   // seconds
    int elapsed = 0; // seconds
    int state = 0;   // 1 stopped, 2 playing (or switching), 3 paused
    int playMode = 0;
    bool hires = false;
    bool valid() const { return time > 0; }
};

// A song to generate: a tone of `seconds` in `format` ("flac", "mp3", "wav",
// "dsf"), written to `path` inside the stick (folders are created).
struct SongSpec {
    SongSpec(const QString &path, int seconds, const QString &title = QString(), const QString &artist = QString())
        : path(path)
        , seconds(seconds)
        , title(title)
        , artist(artist)
    {}
    QString path;
    int seconds = 20;
    QString title;  // tag; empty: none
    QString artist; // tag
    int sampleRate = 44100;
    QString sampleFormat; // ffmpeg sample format, e.g. "s32" for 24/32-bit; empty: default
};

class PlayerRig
{
public:
    explicit PlayerRig(const QStringList &createOptions = {"--mcu", "sim", "--keys", "sim", "--card", "paced"});
    ~PlayerRig();

    static bool isRoot();
    bool isValid() const { return m_sb.isValid(); }
    TestSandbox &sandbox() { return m_sb; }
    QString dir() const { return m_sb.dir(); }

    // Builds a stick image from the songs (and extra raw files: path -> bytes).
    QString makeStick(const QString &name, const QList<SongSpec> &songs,
                      const QList<QPair<QString, QByteArray>> &rawFiles = {});
    // partition: the folder under the port's mount folder ("" the default, sda1).
    bool insert(const QString &image, int port = 1, const QString &partition = QString());
    bool remove(int port = 1, const QString &partition = QString());

    // The library is made first, so that the first start does not restart;
    // it holds the language given (0 Chinese, the source texts).
    bool start(int languageId = 0);
    bool stop() { return m_sb.stop(); }
    int playerPid() const { return m_sb.playerPid(); }
    // kill -9 of the player; the supervisor starts it again.
    bool killPlayer();

    // Key controller script and MCU control lines.
    void keys(const QString &line);
    void mcu(const QString &line);
    // Steps through the screens: a knob turn or a key tap ("tap 4" the knob
    // press), each followed by a wait that lets it act (past the short-press
    // wait and the back key's debounce).
    void knob(int steps);
    void press(const QString &key = QStringLiteral("tap 4"));
    // Long knob presses on the main screen until the log says that the setup
    // screen opened with this title; false when it did not within timeoutMs.
    bool openSetup(const QString &title, int timeoutMs = 90000);

    // Every now-playing packet so far, oldest first.
    QList<NowPlaying> packets();
    NowPlaying latest();
    // Waits (events processed) until a packet after `since` satisfies pred.
    NowPlaying waitFor(const std::function<bool(const NowPlaying &)> &pred, int timeoutMs, double since = 0);
    // The first packet of a song other than `title` that plays.
    NowPlaying waitForOtherSong(const QString &title, int timeoutMs, double since = 0);
    NowPlaying waitForPlaying(const QString &title, int timeoutMs, double since = 0);
    // Frames of the transcript (JSON objects) matching pred, after `since`.
    QList<QJsonObject> frames(const std::function<bool(const QJsonObject &)> &pred, double since = 0);
    // The time of the transcript's last record (0 before any): a `since`
    // for what comes after this moment.
    double lastFrameTime();

    QString setting(const QString &key) const;
    QString log() const;
    // Asks the player for a screenshot; the PNG's path once written, "" on time-out.
    QString shot(const QString &name, int timeoutMs = 10000);

    // A readable account for a failing check.
    QString diagnostics();

private:
    void readTranscript();

    TestSandbox m_sb;
    QList<QJsonObject> m_frames;
    QList<NowPlaying> m_packets;
    qint64 m_transcriptRead = 0;
    QStringList m_images;
};
