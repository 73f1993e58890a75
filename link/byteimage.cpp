#include "byteimage.h"

namespace ByteImageOps {

static bool inRange(int size, int off, int len)
{
    return off >= 0 && len >= 0 && off <= size - len;
}

bool read(const std::atomic<quint8> *b, int size, int off, quint8 *dst, int len)
{
    if (!inRange(size, off, len))
        return false;
    for (int i = 0; i < len; ++i)
        dst[i] = b[off + i].load(std::memory_order_relaxed);
    return true;
}

bool write(std::atomic<quint8> *b, int size, int off, const quint8 *src, int len)
{
    if (!inRange(size, off, len))
        return false;
    for (int i = 0; i < len; ++i)
        b[off + i].store(src[i], std::memory_order_relaxed);
    return true;
}

void fill(std::atomic<quint8> *b, int size, int off, quint8 v, int len)
{
    if (!inRange(size, off, len))
        return;
    for (int i = 0; i < len; ++i)
        b[off + i].store(v, std::memory_order_relaxed);
}

} // namespace ByteImageOps
