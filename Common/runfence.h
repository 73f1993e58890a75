#pragma once
// RunFence: the end of a QThread's run() as a hand-over that
// ThreadSanitizer can see. QThread::wait() and isRunning() already order
// everything run() did before the caller's next step, but they do it inside
// Qt's own mutex, which an uninstrumented Qt hides from the tool; without
// this, every field run() touched would be reported against the owner that
// reuses or frees it after the thread ended.
//
// run() holds a RunFence::Scope from its first line to its last. Whoever
// has seen the thread end (wait() returned true, isRunning() false) calls
// joined() before touching what run() used. A release store paired with an
// acquire load: plain C++, and nearly free.

#include <atomic>

class RunFence
{
public:
    class Scope
    {
    public:
        explicit Scope(RunFence &fence)
            : m_fence(fence)
        {}
        ~Scope() { m_fence.m_runs.fetch_add(1, std::memory_order_release); }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        RunFence &m_fence;
    };

    // After the thread was seen to have ended.
    void joined() const { m_runs.load(std::memory_order_acquire); }

private:
    std::atomic<unsigned> m_runs{0};
};
