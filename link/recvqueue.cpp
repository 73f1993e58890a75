#include "recvqueue.h"

RecvQueue::RecvQueue(std::recursive_mutex *lock)
    : m_lock(lock ? lock : &m_ownLock)
{}

void RecvQueue::append(const QByteArray &chunk)
{
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    m_chunks.append(chunk);
}

bool RecvQueue::takeFirst(QByteArray *chunk)
{
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    if (m_chunks.isEmpty())
        return false;
    *chunk = m_chunks.takeFirst();
    return true;
}

void RecvQueue::clear()
{
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    m_chunks.clear();
}

int RecvQueue::size() const
{
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    return m_chunks.size();
}
