#pragma once
// RecvQueue: chunks read from the MCU port (GUI thread) waiting for the MCU
// worker. Every operation takes the lock: its own, or the one its owner
// keeps for all of its queues.

#include <QByteArray>
#include <QList>
#include <mutex>

class RecvQueue
{
public:
    // lock, if given, must outlive the queue.
    explicit RecvQueue(std::recursive_mutex *lock = nullptr);

    void append(const QByteArray &chunk);
    // Removes the first chunk into *chunk; false when empty.
    bool takeFirst(QByteArray *chunk);
    void clear();
    int size() const;

private:
    std::recursive_mutex m_ownLock;
    std::recursive_mutex *m_lock;
    QList<QByteArray> m_chunks;
};
