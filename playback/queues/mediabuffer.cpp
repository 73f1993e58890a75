#include "mediabuffer.h"

#include "logging.h"

#include <QDebug>

#include <algorithm>
#include <cstring>

MediaBufferStruct m_MediaBuffer;
std::atomic<int> m_UsedBufSize{0};
std::atomic<int> m_bufSize{300};

BytequeueBuffer::BytequeueBuffer(quint64 capacity)
    : m_capacity(capacity)
{}

quint64 BytequeueBuffer::Write(const void *data, quint64 len, int frames)
{
    if (len == 0)
        return 0;
    std::lock_guard<std::mutex> lock(m_lock);
    m_isEmpty = false;
    if (m_writeTotal + 2 + len - m_readTotal > m_capacity) {
        m_isFull = true;
        return 0;
    }
    m_isFull = false;
    QByteArray block(static_cast<int>(len + 2), Qt::Uninitialized);
    const quint16 count = static_cast<quint16>(frames & 0xFFFF);
    std::memcpy(block.data(), &count, 2);
    std::memcpy(block.data() + 2, data, len);
    m_blocks.append(block);
    m_writeTotal += len + 2;
    return len;
}

QByteArray BytequeueBuffer::Read()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_isFull = false;
    if (m_isEmpty)
        return QByteArray();
    if (m_blocks.isEmpty()) {
        m_isEmpty = true;
        return QByteArray();
    }
    QByteArray block = m_blocks.takeFirst();
    m_readTotal += static_cast<quint64>(block.size());
    return block;
}

void BytequeueBuffer::Empty()
{
    std::lock_guard<std::mutex> lock(m_lock);
    const int dropped = m_blocks.size();
    m_blocks.clear();
    m_isEmpty = true;
    m_isFull = false;
    m_readTotal = 0;
    m_writeTotal = 0;
    qCDebug(lcPlayback) << "BytequeueBuffer::Empty dropped" << dropped << "blocks";
}

bool BytequeueBuffer::isEmpty() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_isEmpty;
}

bool BytequeueBuffer::isFull() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_isFull;
}

bool BytequeueBuffer::IsReadOver() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_readTotal == m_writeTotal;
}

int BytequeueBuffer::blockCount() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_blocks.size();
}

CCycleBuffer::CCycleBuffer(quint64 size)
    : m_data(new char[size ? size : 1])
    , m_size(size ? size : 1)
{}

quint64 CCycleBuffer::Write(const void *data, quint64 count)
{
    if (count == 0)
        return 0;
    std::lock_guard<std::mutex> lock(m_lock);
    m_isEmpty = false;
    if (m_isFull)
        return 0;
    const quint64 stored = m_writePos >= m_readPos ? m_writePos - m_readPos : m_size - m_readPos + m_writePos;
    const quint64 room = m_size - stored;
    const quint64 n = std::min(count, room);
    const char *src = static_cast<const char *>(data);
    const quint64 first = std::min(n, m_size - m_writePos);
    std::memcpy(m_data.get() + m_writePos, src, first);
    std::memcpy(m_data.get(), src + first, n - first);
    m_writePos = (m_writePos + n) % m_size;
    if (n > 0 && m_writePos == m_readPos)
        m_isFull = true;
    return n;
}

quint64 CCycleBuffer::Read(void *dest, quint64 count)
{
    if (count == 0)
        return 0;
    std::lock_guard<std::mutex> lock(m_lock);
    m_isFull = false;
    if (m_isEmpty)
        return 0;
    // With equal positions and isEmpty clear, the ring is full.
    const quint64 stored = m_writePos > m_readPos ? m_writePos - m_readPos : m_size - m_readPos + m_writePos;
    const quint64 n = std::min(count, stored);
    char *dst = static_cast<char *>(dest);
    const quint64 first = std::min(n, m_size - m_readPos);
    std::memcpy(dst, m_data.get() + m_readPos, first);
    std::memcpy(dst + first, m_data.get(), n - first);
    m_readPos = (m_readPos + n) % m_size;
    if (m_readPos == m_writePos)
        m_isEmpty = true;
    return n;
}

void CCycleBuffer::Empty()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_isEmpty = true;
    m_isFull = false;
    m_readPos = 0;
    m_writePos = 0;
}

bool CCycleBuffer::isEmpty() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_isEmpty;
}

bool CCycleBuffer::isFull() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_isFull;
}

bool CCycleBuffer::IsReadOver() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_readPos == m_writePos;
}

void MediaBufferStruct::setPreRoll(const QList<QByteArray> &blocks)
{
    std::lock_guard<std::mutex> lock(preRollLock);
    preRollList = blocks;
}

QList<QByteArray> MediaBufferStruct::takePreRoll()
{
    std::lock_guard<std::mutex> lock(preRollLock);
    QList<QByteArray> out;
    out.swap(preRollList);
    return out;
}

void MediaBufferStruct::clearPreRoll()
{
    std::lock_guard<std::mutex> lock(preRollLock);
    preRollList.clear();
}

bool Is_DSDFile(const QString &suffix)
{
    const QString s = suffix.toLower();
    return s == QLatin1String("iso") || s == QLatin1String("dsf") || s == QLatin1String("dff")
           || s == QLatin1String("dat");
}
