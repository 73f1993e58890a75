#pragma once
// Plain read access to a DSD file or disc image, with 64-bit offsets
// throughout (images and DSD256 files pass 2 GiB easily).

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class sacd_media_t
{
public:
    sacd_media_t() = default;
    ~sacd_media_t();
    sacd_media_t(const sacd_media_t &) = delete;
    sacd_media_t &operator=(const sacd_media_t &) = delete;

    // Opens path for reading; true when a handle was obtained.
    bool open(const char *path);
    void close();
    bool isOpen() const { return m_file != nullptr; }
    const std::string &path() const { return m_path; }

    // Bytes read (0 without a handle or at the end).
    uint32_t read(void *buf, uint32_t n);
    // whence as for fseek (SEEK_SET, SEEK_CUR, SEEK_END); false on failure.
    bool seek(int64_t offset, int whence = SEEK_SET);
    bool skip(int64_t bytes) { return seek(bytes, SEEK_CUR); }
    // Current offset, -1 without a handle.
    int64_t get_position();
    // Size of the file in bytes, -1 without a handle.
    int64_t get_size();

private:
    FILE *m_file = nullptr;
    std::unique_ptr<char[]> m_buffer; // the stream's buffer, kept across opens
    std::string m_path;
};
