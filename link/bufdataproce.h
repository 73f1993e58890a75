#pragma once
// BufDataProce: builds outgoing MCU frames from the header placed in
// SendFrameData and the shared settings images, and packs the now-playing
// payload. Owned by the MCU protocol; its frame builders run on whichever
// thread holds the protocol's queue lock (they use SendFrameData).

#include <QByteArray>
#include <QObject>

#include <atomic>

class QTimer;

class BufDataProce : public QObject
{
    Q_OBJECT

public:
    explicit BufDataProce(QObject *parent = nullptr);

    // The frame whose header bytes 4..13 stand in SendFrameData, with its
    // payload filled by group, checksum and end tag: bytes 0 .. L+15. The
    // fill flag and count serve the firmware upgrade frames. Empty when the
    // length field exceeds 400.
    QByteArray ProcessingPackets(bool fill = false, int count = 0);

    // Writes the now-playing payload into SendFrameData from byte 14 and
    // returns its length.
    int PacketMediaInfoData();

    // Track switching: the now-playing packet reports state 2 from
    // setTrackSwitching until ms have passed or clearTrackSwitching runs.
    // Callable from any thread.
    void setTrackSwitching(int ms);
    void clearTrackSwitching();
    bool trackSwitching() const { return m_switching.load(std::memory_order_relaxed); }

    // Track information switched off: title, artist, album and format line
    // of the now-playing packet become a single space.
    void setMusicInfoOff(bool off) { m_infoOff.store(off, std::memory_order_relaxed); }
    bool musicInfoOff() const { return m_infoOff.load(std::memory_order_relaxed); }

    // The phone-app list position of the playing song.
    void setPlayingIndex(int folder, int index);
    int appFolder() const { return m_appFolder.load(std::memory_order_relaxed); }
    int appIndex() const { return m_appIndex.load(std::memory_order_relaxed); }

    // The change scanner: compares the live images with the copies last
    // sent and asks for at most one frame (through the signals below),
    // updating the sent copy for exactly what it asks for. With nothing
    // changed: block 121 when the music-info flag is set, else a status
    // poll. Runs on the MCU worker with the protocol's queue lock held;
    // the signals must be connected directly.
    void ComparedToSendData();

    // Set by the 500 ms music-info tick: the scanner sends block 121 once.
    void setMusicInfoFlag(bool on) { m_musicInfo.store(on, std::memory_order_relaxed); }
    bool musicInfoFlag() const { return m_musicInfo.load(std::memory_order_relaxed); }
    // Set by the cascade lamp timer and by cascade detection: the scanner
    // asks the cascaded unit for its version and status once.
    void setCascadeLamp(bool on) { m_casLamp.store(on, std::memory_order_relaxed); }
    bool cascadeLamp() const { return m_casLamp.load(std::memory_order_relaxed); }
    // The cascaded unit's settings are compared and sent.
    void setCascadeActive(bool on) { m_casActive.store(on, std::memory_order_relaxed); }
    bool cascadeActive() const { return m_casActive.load(std::memory_order_relaxed); }
    // Output channels of a model-3 cascaded unit that are subwoofers (bit
    // per channel 0..15); their levels are compared.
    void setCascadeSubChannels(quint16 mask) { m_casSubs.store(mask, std::memory_order_relaxed); }
    quint16 cascadeSubChannels() const { return m_casSubs.load(std::memory_order_relaxed); }

    // Preset number of the cascaded unit whose name block 0 sends for target 10.
    void setCascadePreset(int p) { m_casPreset.store(p, std::memory_order_relaxed); }
    int cascadePreset() const { return m_casPreset.load(std::memory_order_relaxed); }

    // Limits of the now-playing texts in UTF-8 bytes.
    static constexpr int TextBudget = 280; // title + artist + album before cutting
    static constexpr int TitleCut = 130;
    static constexpr int ArtistCut = 75;
    static constexpr int AlbumCut = 75;
    // What the 400 payload bytes leave for the format line: times, length
    // bytes, the text budget and the six trailing bytes.
    static constexpr int FormatMax = 400 - (4 + 4 + TextBudget + 6);

signals:
    // Frames the scanner asks for: a system block (n: the payload length
    // of block 121), an output or input slot, a cascaded block or output.
    void sendSYSData(int block, int n);
    void sendOutputData(int channel, int slot);
    void sendMusicData(int channel, int slot);
    void sendCasSYSData(int block);
    void sendCasOutData(int channel);

private:
    bool compareSystem();
    bool compareCascade();
    bool compareInput();
    bool compareOutputs();
    void startSwitchTimer(int ms);
    void fillSystemBlock(int block, int preset, int target, int len);
    void fillUpgradeBlock(int block, bool fill, int count, int len);

    QTimer *m_switchTimer;                // owner's thread
    std::atomic<bool> m_switching{false}; // set on any thread, read by the MCU worker
    std::atomic<bool> m_infoOff{false};
    std::atomic<int> m_appFolder{0};
    std::atomic<int> m_appIndex{0};
    std::atomic<int> m_casPreset{0};
    std::atomic<bool> m_musicInfo{false};
    std::atomic<bool> m_casLamp{false};
    std::atomic<bool> m_casActive{false};
    std::atomic<quint16> m_casSubs{0};
};
