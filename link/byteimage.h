#pragma once
// ByteImage<N>: a fixed byte image shared between threads (the DSP settings
// images, the system records). The screens edit single bytes while the
// MCU worker compares and copies them; every byte is a relaxed atomic, so
// those unlocked accesses are data-race free. A byte torn between two
// edits only causes one more frame. Accesses outside the image are ignored
// (reads give 0).

#include <QByteArray>
#include <QtGlobal>

#include <atomic>

// The loops over an image's bytes, out of line and shared by every size.
// Inlined once per size, GCC 12 at -O2 folded the copies of different sizes
// together (identical-code folding) and compiled a 288-byte copy from the
// program image into an endless loop.
namespace ByteImageOps {
bool read(const std::atomic<quint8> *b, int size, int off, quint8 *dst, int len);
bool write(std::atomic<quint8> *b, int size, int off, const quint8 *src, int len);
void fill(std::atomic<quint8> *b, int size, int off, quint8 v, int len);
} // namespace ByteImageOps

template <int N>
class ByteImage
{
    static_assert(std::atomic<quint8>::is_always_lock_free, "byte atomics must be lock-free");

public:
    static constexpr int Size = N;

    class Ref
    {
    public:
        Ref(std::atomic<quint8> *b)
            : m_b(b)
        {}
        operator quint8() const { return m_b ? m_b->load(std::memory_order_relaxed) : 0; }
        Ref &operator=(quint8 v)
        {
            if (m_b)
                m_b->store(v, std::memory_order_relaxed);
            return *this;
        }
        Ref &operator=(const Ref &o) { return *this = static_cast<quint8>(o); }

    private:
        std::atomic<quint8> *m_b;
    };

    constexpr ByteImage() = default;
    ByteImage(const ByteImage &) = delete;
    ByteImage &operator=(const ByteImage &) = delete;

    static bool inRange(int off, int len) { return off >= 0 && len >= 0 && off + len <= N; }

    quint8 at(int i) const { return inRange(i, 1) ? m_b[i].load(std::memory_order_relaxed) : 0; }
    void set(int i, quint8 v)
    {
        if (inRange(i, 1))
            m_b[i].store(v, std::memory_order_relaxed);
    }
    Ref operator[](int i) { return Ref(inRange(i, 1) ? &m_b[i] : nullptr); }
    quint8 operator[](int i) const { return at(i); }

    // Copies len bytes from off into dst; false (dst untouched) when out of range.
    bool read(int off, quint8 *dst, int len) const { return ByteImageOps::read(m_b, N, off, dst, len); }
    QByteArray bytes(int off, int len) const
    {
        if (!inRange(off, len))
            return QByteArray();
        QByteArray out(len, '\0');
        read(off, reinterpret_cast<quint8 *>(out.data()), len);
        return out;
    }
    bool write(int off, const quint8 *src, int len) { return ByteImageOps::write(m_b, N, off, src, len); }
    bool write(int off, const QByteArray &src)
    {
        return write(off, reinterpret_cast<const quint8 *>(src.constData()), src.size());
    }
    void fill(quint8 v, int off = 0, int len = N) { ByteImageOps::fill(m_b, N, off, v, len); }
    template <int M>
    bool copyFrom(const ByteImage<M> &src, int srcOff, int dstOff, int len)
    {
        if (!src.inRange(srcOff, len) || !inRange(dstOff, len))
            return false;
        for (int i = 0; i < len; ++i)
            m_b[dstOff + i].store(src.at(srcOff + i), std::memory_order_relaxed);
        return true;
    }
    void copyAll(const ByteImage &src) { copyFrom(src, 0, 0, N); }

    // 16-bit little-endian value (the DSP's layout).
    quint16 u16(int off) const { return static_cast<quint16>(at(off) | (at(off + 1) << 8)); }
    void setU16(int off, quint16 v)
    {
        set(off, static_cast<quint8>(v & 0xFF));
        set(off + 1, static_cast<quint8>(v >> 8));
    }

private:
    std::atomic<quint8> m_b[N] = {};
};
