// 64-bit file offsets also on 32-bit targets (the board is 32-bit ARM).
#define _FILE_OFFSET_BITS 64
#include "sacd_media.h"

#include <sys/types.h>

static_assert(sizeof(off_t) == 8, "sacd_media_t needs 64-bit file offsets");

namespace {
constexpr size_t kBufferBytes = 256 * 1024;
}

sacd_media_t::~sacd_media_t()
{
    close();
}

bool sacd_media_t::open(const char *path)
{
    close();
    if (!path)
        return false;
    m_file = std::fopen(path, "rb");
    if (!m_file)
        return false;
    // Frames and sectors are read a few KiB at a time: large buffered reads
    // keep the system calls few (seeks inside the buffer cost nothing).
    if (!m_buffer)
        m_buffer.reset(new char[kBufferBytes]);
    std::setvbuf(m_file, m_buffer.get(), _IOFBF, kBufferBytes);
    m_path = path;
    return true;
}

void sacd_media_t::close()
{
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_path.clear();
}

uint32_t sacd_media_t::read(void *buf, uint32_t n)
{
    if (!m_file || !buf || n == 0)
        return 0;
    return static_cast<uint32_t>(std::fread(buf, 1, n, m_file));
}

bool sacd_media_t::seek(int64_t offset, int whence)
{
    if (!m_file)
        return false;
    return fseeko(m_file, static_cast<off_t>(offset), whence) == 0;
}

int64_t sacd_media_t::get_position()
{
    if (!m_file)
        return -1;
    return static_cast<int64_t>(ftello(m_file));
}

int64_t sacd_media_t::get_size()
{
    if (!m_file)
        return -1;
    const off_t here = ftello(m_file);
    if (fseeko(m_file, 0, SEEK_END) != 0)
        return -1;
    const off_t size = ftello(m_file);
    fseeko(m_file, here, SEEK_SET);
    return static_cast<int64_t>(size);
}
