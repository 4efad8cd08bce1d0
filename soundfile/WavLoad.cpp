#include "soundfile/WavLoad.h"

#include <cerrno>
#include <cstring>

namespace soundfile {

bool loadWav(const std::string& fileName, LoadedWav& out, std::string& error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(fileName.c_str(), "rb"),
                                                      std::fclose);
    if (!f) {
        error = "cannot open " + fileName + ": " + std::strerror(errno);
        return false;
    }
    WavHeaderInfo header;
    int32_t frames = 0;
    int16_t* block = nullptr;
    if (!readWavStream(header, f.get(), frames, block, error))
        return false;
    out.header = header;
    out.frames = frames;
    out.samples.reset(block);
    return true;
}

} // namespace soundfile
