#include "soundfile/WavLoad.h"

#include <cerrno>
#include <cstring>

const char* const kFormatNotSupportedText = "Current input format data not support. ... ";

WavLoadStatus loadWav(const std::string& fileName, LoadedWav& out, std::string& message) {
    std::FILE* f = std::fopen(fileName.c_str(), "rb");
    if (!f) {
        message = "cannot open " + fileName + ": " + std::strerror(errno);
        return WavLoadStatus::CannotOpen;
    }
    WavHeaderInfo header;
    int32_t frames = 0;
    int16_t* block = nullptr;
    bool ok = false;
    try {
        ok = readWavStream(header, f, frames, block);
    } catch (const UnknownFormat& e) {
        std::fclose(f);
        message = e.what();
        return WavLoadStatus::UnknownFormat;
    }
    std::fclose(f);
    if (!ok) {
        message = kFormatNotSupportedText;
        return WavLoadStatus::NotSupported;
    }
    out.header = header;
    out.frames = frames;
    out.samples.reset(block);
    return WavLoadStatus::Ok;
}
