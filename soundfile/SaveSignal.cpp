#include "soundfile/SaveSignal.h"

#include <algorithm>
#include <vector>

namespace soundfile {

bool saveSignal(const std::string& path, const PlanarSignal& s, int32_t first, int32_t count,
                const WavHeaderInfo& source, WavHeaderInfo& header, std::string& error) {
    const uint16_t channels = uint16_t(std::clamp<uint32_t>(s.channels, 1, 2));
    const std::size_t from = std::size_t(std::max(first, 0));
    const std::size_t frames = std::size_t(std::max(count, 0));
    WavHeaderInfo src = source;
    src.sampleRate = s.sampleRate;
    derivePcmHeader(src, channels, header);
    header.dataSize = uint32_t(frames * channels * 2);
    return writePcmWavChannels(path, s.sampleRate, s.planes, channels, from, frames, error);
}

bool saveChannel(const std::string& path, const int16_t* samples, uint32_t sampleRate,
                 uint32_t bitsPerSample, int32_t first, int32_t count, std::string& error) {
    first = std::max(first, 0);
    count = std::max(count, 0);
    if (bitsPerSample == 16)
        return writeMonoWav(sampleRate, 16, 1, path, uint32_t(count) * 2, samples + first, error);
    if (bitsPerSample == 8) {
        std::vector<uint8_t> bytes(static_cast<std::size_t>(count));
        for (int32_t i = 0; i < count; ++i)
            bytes[std::size_t(i)] = uint8_t(samples[first + i]);
        return writeMonoWav(sampleRate, 8, 1, path, uint32_t(count), bytes.data(), error);
    }
    error = "Signals of " + std::to_string(bitsPerSample) + " bits per sample cannot be saved.";
    return false;
}

} // namespace soundfile
