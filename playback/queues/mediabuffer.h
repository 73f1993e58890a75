#pragma once
// The queues between the decoders and the output thread: the PCM block
// queue (BytequeueBuffer), the DSD byte ring (CCycleBuffer), and the record
// that holds both (m_MediaBuffer). One writer thread (the active decoder) and
// one reader thread (the output thread) use each queue; every operation takes
// the queue's mutex (std::mutex: pthread underneath, so ThreadSanitizer sees
// every hand-over).

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class BytequeueBuffer
{
public:
    explicit BytequeueBuffer(quint64 capacity);

    // Queues [frames (16 bit, host order)][len bytes]. 0 when len is 0 or
    // the block does not fit the byte budget.
    quint64 Write(const void *data, quint64 len, int frames);
    // The oldest block with its 2-byte header, or an empty array.
    QByteArray Read();
    void Empty();

    bool isEmpty() const;
    bool isFull() const;
    bool IsReadOver() const;
    int blockCount() const;
    quint64 capacity() const { return m_capacity; }

private:
    mutable std::mutex m_lock;
    QList<QByteArray> m_blocks; // guarded by m_lock
    bool m_isEmpty = true;      // guarded by m_lock
    bool m_isFull = false;      // guarded by m_lock
    const quint64 m_capacity;
    quint64 m_readTotal = 0;  // guarded by m_lock
    quint64 m_writeTotal = 0; // guarded by m_lock
};

class CCycleBuffer
{
public:
    explicit CCycleBuffer(quint64 size);

    quint64 Write(const void *data, quint64 count);
    quint64 Read(void *dest, quint64 count);
    void Empty();

    bool isEmpty() const;
    bool isFull() const;
    bool IsReadOver() const;
    quint64 size() const { return m_size; }

private:
    mutable std::mutex m_lock;
    bool m_isEmpty = true; // guarded by m_lock
    bool m_isFull = false; // guarded by m_lock
    std::unique_ptr<char[]> m_data;
    const quint64 m_size;
    quint64 m_readPos = 0;  // guarded by m_lock
    quint64 m_writePos = 0; // guarded by m_lock
};

struct MediaBufferStruct {
    // DSD ring: made by the DSD decoder, deleted by the PCM decoder's open.
    std::atomic<CCycleBuffer *> dsdBuffer{nullptr};
    // Output threads reading dsdBuffer now; the ring is freed only at 0.
    std::atomic<int> dsdReaders{0};
    // PCM queue: made once by the main window, lives as long as the program.
    std::atomic<BytequeueBuffer *> pcmBuffer{nullptr};

    // Silence blocks played before the first real block. Filled by the
    // decoder before it signals startPlay(), drained by the output thread;
    // every access takes preRollLock.
    std::mutex preRollLock;
    QList<QByteArray> preRollList;

    std::atomic<int> blockBytes{0};
    std::atomic<int> blockFrames{0};
    std::atomic<double> secondsPerUnit{0.0};
    std::atomic<int> secondsAhead{0};
    std::atomic<qint64> firstPts{0};
    std::atomic<qint64> firstDuration{0};
    std::atomic<int> outFormatCode{0}; // 0 direct, 2 converted 16 bit, 3 converted 32 bit

    void setPreRoll(const QList<QByteArray> &blocks);
    QList<QByteArray> takePreRoll();
    void clearPreRoll();
};

extern MediaBufferStruct m_MediaBuffer;
// Blocks queued and not yet played.
extern std::atomic<int> m_UsedBufSize;
// Block limit: decoders wait while m_UsedBufSize >= m_bufSize.
extern std::atomic<int> m_bufSize;

// "iso", "dsf", "dff" or "dat", any case.
bool Is_DSDFile(const QString &suffix);
// isEmpty of the queue that the current item's type plays from (defined
// with the now-playing record, in app/core/globals.cpp).
bool Get_buf_isempty();
