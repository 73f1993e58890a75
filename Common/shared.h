#pragma once
// Shared<T>: a field of a process-wide record that several threads read and
// write without a lock of their own. Small scalar types are std::atomic
// (relaxed ordering: these are flags and counters polled every few ms);
// anything larger (strings, images) is guarded by a private mutex. Either
// way the record stays copyable and reads like a plain value.
// The mutex is a std::mutex (pthread underneath), so ThreadSanitizer sees
// every hand-over, contended or not.

#include <atomic>
#include <mutex>
#include <type_traits>

template <typename T, bool Lockless = std::is_arithmetic_v<T> || std::is_enum_v<T>>
class Shared;

template <typename T>
class Shared<T, true>
{
public:
    Shared(T v = T())
        : m_v(v)
    {}
    Shared(const Shared &o)
        : m_v(o.get())
    {}
    Shared &operator=(const Shared &o)
    {
        set(o.get());
        return *this;
    }
    Shared &operator=(T v)
    {
        set(v);
        return *this;
    }

    T get() const { return m_v.load(std::memory_order_relaxed); }
    void set(T v) { m_v.store(v, std::memory_order_relaxed); }
    operator T() const { return get(); }

    // Read-modify-write helpers for counters; atomic as a whole.
    template <typename U = T, typename = std::enable_if_t<std::is_integral_v<U> && !std::is_same_v<U, bool>>>
    T operator+=(T d)
    {
        return m_v.fetch_add(d, std::memory_order_relaxed) + d;
    }
    template <typename U = T, typename = std::enable_if_t<std::is_integral_v<U> && !std::is_same_v<U, bool>>>
    T operator-=(T d)
    {
        return m_v.fetch_sub(d, std::memory_order_relaxed) - d;
    }
    T exchange(T v) { return m_v.exchange(v, std::memory_order_relaxed); }

private:
    std::atomic<T> m_v;
};

template <typename T>
class Shared<T, false>
{
public:
    Shared(const T &v = T())
        : m_v(v)
    {}
    Shared(const Shared &o)
        : m_v(o.get())
    {}
    Shared &operator=(const Shared &o)
    {
        if (this != &o)
            set(o.get());
        return *this;
    }
    Shared &operator=(const T &v)
    {
        set(v);
        return *this;
    }

    T get() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_v;
    }
    void set(const T &v)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_v = v;
    }
    operator T() const { return get(); }

private:
    mutable std::mutex m_lock;
    T m_v;
};
