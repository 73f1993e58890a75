#pragma once
// A file in memory for the fuzz targets: the readers open paths, so each
// input is written to a memfd and opened through /proc/self/fd.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzFile
{
public:
    FuzzFile()
        : m_fd(memfd_create("vdx-fuzz", 0))
    {}
    ~FuzzFile()
    {
        if (m_fd >= 0)
            close(m_fd);
    }

    // Replaces the content with size bytes at offset (a hole before them).
    bool set(const uint8_t *data, size_t size, off_t offset = 0)
    {
        if (m_fd < 0 || ftruncate(m_fd, 0) != 0)
            return false;
        size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(m_fd, data + done, size - done, offset + off_t(done));
            if (n <= 0)
                return false;
            done += size_t(n);
        }
        return ftruncate(m_fd, offset + off_t(size)) == 0;
    }

    bool append(const uint8_t *data, size_t size)
    {
        const off_t end = lseek(m_fd, 0, SEEK_END);
        return end >= 0 && pwrite(m_fd, data, size, end) == ssize_t(size);
    }

    std::string path(const char *suffix = "") const { return "/proc/self/fd/" + std::to_string(m_fd) + suffix; }

private:
    int m_fd;
};
