#pragma once
// SACD: one face over the three DSD readers (disc images, DSDIFF and DSF
// files). It picks the reader by the file's suffix, selects a track, and
// packs frames into blocks for the DSD ring: two channels of 16-bit
// little-endian words, earliest DSD bit most significant, first channel word
// then second (the sound card's DSD_U16_LE), DSD silence (0x69) after the
// real bytes of a short frame.

#include "sacd_media.h"
#include "sacd_reader.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class SACD
{
public:
    enum class Kind { None, Image, Dsdiff, Dsf };

    SACD();
    ~SACD();
    SACD(const SACD &) = delete;
    SACD &operator=(const SACD &) = delete;

    // Chooses the reader by the last three characters of path (lower case),
    // opens the media and the reader; logs why it failed.
    bool open(const QString &path);
    // Selects track and area and sets up the sizes and the now-playing fields
    // (duration, sampleRateText, position, ...). 0 on success.
    int init(unsigned int track, area_id_e area);
    // Appends the next block (at most blockBytes()) to out. 0 while data
    // comes; non-zero at the end of the data (out may still hold its last
    // bytes). isDst is set when a DST frame came, which also ends the data.
    int decode(QByteArray *out, bool &isDst);

    int getSamplerate() const { return m_samplerate; }
    int getChannels() const { return m_channels; }
    int getFramerate() const { return m_framerate; }
    // Bytes of the track as decode() delivers them (two channels).
    quint64 getDataSize() const { return m_dataSize; }
    // Bytes of one frame of the two output channels.
    int getPackDsdSize() const { return m_packSize; }
    // Bytes of one block: four frames (32768 for DSF files).
    int blockBytes() const { return m_blockBytes; }
    // Blocks of the track (the last one may be short) and the seconds of
    // duration each stands for.
    quint64 blockCount() const { return m_blockCount; }
    double secondsPerUnit() const { return m_secondsPerUnit; }
    bool endOfData() const { return m_eod; }

    Kind kind() const { return m_kind; }
    sacd_reader_t *reader() const { return m_reader.get(); }

    // Two channels of byte-interleaved DSD (channels bytes per sample group)
    // as DSD_U16_LE words: n output bytes for the first n / 2 sample groups;
    // missing groups are 0x69. Mono feeds both outputs.
    static void packInterleaved(const uint8_t *in, uint32_t inBytes, int channels, uint8_t *out, uint32_t outBytes);

private:
    bool readFrame(QByteArray *out, bool &isDst, bool &shortFrame);

    std::unique_ptr<sacd_media_t> m_media;
    std::vector<uint8_t> m_frame; // one frame as the reader delivers it
    int m_frameSize = 0;          // output bytes of one frame
    int m_blockBytes = 0;
    int m_packSize = 0;
    int m_framerate = 75;
    quint64 m_dataSize = 0;
    quint64 m_blockCount = 1;
    double m_secondsPerUnit = 0;
    QByteArray m_carry;         // output bytes beyond the last block
    bool m_interleaved = false; // the reader delivers byte-interleaved frames
    int m_samplerate = 0;
    int m_channels = 0;
    std::unique_ptr<sacd_reader_t> m_reader;
    Kind m_kind = Kind::None;
    bool m_eod = false;
};
