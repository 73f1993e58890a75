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

private:
    void startSwitchTimer(int ms);
    void fillSystemBlock(int block, int preset, int target, int len);
    void fillUpgradeBlock(int block, bool fill, int count, int len);

    QTimer *m_switchTimer;                // owner's thread
    std::atomic<bool> m_switching{false}; // set on any thread, read by the MCU worker
    std::atomic<bool> m_infoOff{false};
    std::atomic<int> m_appFolder{0};
    std::atomic<int> m_appIndex{0};
    std::atomic<int> m_casPreset{0};
};
