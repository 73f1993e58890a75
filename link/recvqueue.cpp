#include "recvqueue.h"

#include <QMutexLocker>

void RecvQueue::append(const QByteArray &chunk)
{
    QMutexLocker lock(&m_lock);
    m_chunks.append(chunk);
}

bool RecvQueue::takeFirst(QByteArray *chunk)
{
    QMutexLocker lock(&m_lock);
    if (m_chunks.isEmpty())
        return false;
    *chunk = m_chunks.takeFirst();
    return true;
}

void RecvQueue::clear()
{
    QMutexLocker lock(&m_lock);
    m_chunks.clear();
}

int RecvQueue::size() const
{
    QMutexLocker lock(&m_lock);
    return m_chunks.size();
}
