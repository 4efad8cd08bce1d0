#pragma once
// Little-endian integers in byte buffers, the byte order of every field of a
// RIFF file: the one reader and writer the WAV code and the metadata chunks
// share.

#include <cstdint>
#include <vector>

namespace soundfile {

namespace le {

inline uint16_t u16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}
inline int16_t s16(const unsigned char* p) {
    return int16_t(u16(p));
}
inline uint32_t u32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t u64(const unsigned char* p) {
    return uint64_t(u32(p)) | uint64_t(u32(p + 4)) << 32;
}

inline void put16(unsigned char* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void put32(unsigned char* p, uint32_t v) {
    put16(p, uint16_t(v));
    put16(p + 2, uint16_t(v >> 16));
}
inline void put64(unsigned char* p, uint64_t v) {
    put32(p, uint32_t(v));
    put32(p + 4, uint32_t(v >> 32));
}

// The same appended to the end of `out`.
inline void append16(std::vector<uint8_t>& out, uint16_t v) {
    unsigned char b[2];
    put16(b, v);
    out.insert(out.end(), b, b + 2);
}
inline void append32(std::vector<uint8_t>& out, uint32_t v) {
    unsigned char b[4];
    put32(b, v);
    out.insert(out.end(), b, b + 4);
}

} // namespace le

} // namespace soundfile
