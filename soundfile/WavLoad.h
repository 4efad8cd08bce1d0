#pragma once
// Loading a whole WAV file into memory, for the command line's convert and
// play and the virtual sound card's input.

#include "soundfile/WavFile.h"

#include <memory>
#include <string>

namespace soundfile {

struct LoadedWav {
    WavHeaderInfo header;
    int32_t frames = 0;
    std::unique_ptr<int16_t[]> samples; // header.channels x frames, interleaved
};

// Reads `fileName` into `out`. False with a one-line reason in `error` (why
// the file cannot be opened, kUnknownFormatText or kFormatNotSupportedText);
// `out` is then unchanged.
bool loadWav(const std::string& fileName, LoadedWav& out, std::string& error);

} // namespace soundfile
