#pragma once
// Loading a whole WAV file with the reason of a failure told apart: a file
// that cannot be opened, one whose structure cannot be read, and one whose
// format is not decoded. Used by the command line and the batch.

#include "soundfile/WavFile.h"

#include <memory>
#include <string>

enum class WavLoadStatus { Ok, CannotOpen, UnknownFormat, NotSupported };

// Text shown when the reader refuses a format.
extern const char* const kFormatNotSupportedText;

struct LoadedWav {
    WavHeaderInfo header;
    int32_t frames = 0;
    std::unique_ptr<int16_t[]> samples;  // header.channels x frames, interleaved
};

// Reads `fileName` into `out`. On failure `message` holds a one-line reason
// ("Unknown format", the not-supported text, or why the file cannot be opened)
// and `out` is unchanged.
WavLoadStatus loadWav(const std::string& fileName, LoadedWav& out, std::string& message);
