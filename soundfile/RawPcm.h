#pragma once
// Raw ".pcm" files: 16-bit little-endian mono samples with no header, taken
// as 16000 Hz. They open as an original signal beside the WAV files.

#include "soundfile/WavFile.h"

#include <cstdint>
#include <string>

namespace soundfile {

constexpr uint32_t RawPcmRate = 16000; // Hz

// True for a path whose extension is exactly "pcm".
bool isRawPcmPath(const std::string& path);

// Reads at most `maxFrames` samples of `path` (an odd last byte is ignored)
// into a new block allocated with new[]. On success frees the caller's
// previous `block`, stores the new one and its frame count, and sets `header`
// to the 16-bit mono 16000 Hz header of what was read. False with the reason
// in `error` ("Cannot open <path>: ...") when the file cannot be opened;
// then nothing changes.
bool readRawPcm(const std::string& path, int32_t maxFrames, WavHeaderInfo& header, int32_t& frames,
                int16_t*& block, std::string& error);

} // namespace soundfile
