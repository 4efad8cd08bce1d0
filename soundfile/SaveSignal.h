#pragma once
// Saving a signal held as two channel arrays (the main window's original or
// changed signal) as a whole-signal 16-bit PCM file: the window's save
// commands and the automatic batch take this one road.

#include "soundfile/WavFile.h"

#include <cstdint>
#include <string>

namespace soundfile {

// A signal as the store holds it: planes[c][i] is sample i of channel c.
struct PlanarSignal {
    const int16_t* planes[2] = {nullptr, nullptr};
    uint32_t sampleRate = 0;
    uint32_t channels = 1; // taken as 1 or 2
};

// Writes frames first ... first + count - 1 of `s` (negative values count as
// 0). `header` becomes the 16-bit PCM header of the file: derived from
// `source` (the header of the file read last) with the signal's rate and
// channel count and the data size written, set even when the write fails.
// The file appears under `path` only when complete; false with the writer's
// reason in `error` otherwise.
bool saveSignal(const std::string& path, const PlanarSignal& s, int32_t first, int32_t count,
                const WavHeaderInfo& source, WavHeaderInfo& header, std::string& error);

// Writes one channel, frames first ... first + count - 1 of `samples`, in
// the one-channel layout at `bitsPerSample` 16 or 8 (8-bit files take each
// sample's low byte, as the recorder stored it). False with the reason in
// `error` for another sample size or a failed write.
bool saveChannel(const std::string& path, const int16_t* samples, uint32_t sampleRate,
                 uint32_t bitsPerSample, int32_t first, int32_t count, std::string& error);

} // namespace soundfile
