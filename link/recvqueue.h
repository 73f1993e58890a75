#pragma once
// RecvQueue: chunks read from the MCU port (GUI thread) waiting for the MCU
// worker. Every operation takes the lock.

#include <QByteArray>
#include <QList>
#include <mutex>

class RecvQueue
{
public:
    void append(const QByteArray &chunk);
    // Removes the first chunk into *chunk; false when empty.
    bool takeFirst(QByteArray *chunk);
    void clear();
    int size() const;

private:
    mutable std::mutex m_lock;
    QList<QByteArray> m_chunks;
};
