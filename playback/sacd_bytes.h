#pragma once
// Fixed-width numbers from byte buffers, both byte orders.

#include <cstdint>
#include <cstring>

namespace sacd_bytes {

inline uint16_t be16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline uint32_t be32(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
inline uint64_t be64(const uint8_t *p)
{
    return uint64_t(be32(p)) << 32 | be32(p + 4);
}
inline uint16_t le16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[1] << 8 | p[0]);
}
inline uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[0]);
}
inline uint64_t le64(const uint8_t *p)
{
    return uint64_t(le32(p + 4)) << 32 | le32(p);
}
inline bool is_id(const uint8_t *p, const char *id)
{
    return std::memcmp(p, id, 4) == 0;
}

} // namespace sacd_bytes
