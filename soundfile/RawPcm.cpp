#include "soundfile/RawPcm.h"

#include "soundfile/LittleEndian.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace soundfile {

bool isRawPcmPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot != std::string::npos && name.compare(dot + 1, std::string::npos, "pcm") == 0;
}

bool readRawPcm(const std::string& path, int32_t maxFrames, WavHeaderInfo& header, int32_t& frames,
                int16_t*& block, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "Cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::fseek(f, 0, SEEK_END);
    const long bytes = std::max(0L, std::ftell(f));
    std::fseek(f, 0, SEEK_SET);
    const int32_t want = int32_t(std::min<long>(bytes / 2, long(std::max(maxFrames, 0))));
    auto* data = new int16_t[std::size_t(std::max(want, 1))];
    int32_t n = 0;
    unsigned char b[2];
    while (n < want && std::fread(b, 1, 2, f) == 2)
        data[n++] = le::s16(b);
    std::fclose(f);
    delete[] block;
    block = data;
    frames = n;
    header = WavHeaderInfo{16, WavPcm, 1, RawPcmRate, RawPcmRate * 2, 2, 16, uint32_t(n) * 2};
    return true;
}

} // namespace soundfile
