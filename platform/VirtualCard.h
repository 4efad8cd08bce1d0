#pragma once
// The virtual sound card: a wave backend with one output and one input device
// that needs no hardware. The output consumes samples at the stream's rate and
// can write what it played to a WAV file; the input delivers a WAV file's
// samples (looped), samples given in memory, or a generated tone with noise.
//
// It runs in real time on a thread of its own, or on a test clock: then time
// only passes in virtualCardAdvance(), which also delivers the completions, so
// a test drives playback and capture deterministically and as fast as it likes.
//
// Selected for the whole process by SILVANE_AUDIO=virtual (fromEnvironment
// reads SILVANE_AUDIO_IN and SILVANE_AUDIO_OUT), or installed by a test.

#include "platform/WaveDriver.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct VirtualCardConfig {
    bool testClock = false;
    UINT outputs = 1;  // 0 or 1 devices of each kind
    UINT inputs = 1;
    // Input source, first one given wins: samples in memory (interleaved,
    // `inputChannels` channels), a WAV file, else 440 Hz at -12 dBFS plus white
    // noise at -40 dBFS. A source with another channel count than the stream is
    // adapted (mono copied to both channels, stereo averaged); rates are not
    // converted.
    std::vector<int16_t> inputSamples;
    UINT inputChannels = 1;
    std::string inputFile;
    // When set, each output stream writes what it played (the frames taken
    // from buffers, not the silence between them) to this WAV file; the file
    // appears when the stream is closed and is replaced by the next stream.
    std::string outputFile;
    // Keep what the output played in memory for virtualCardPlayed().
    bool keepPlayed = false;

    // SILVANE_AUDIO_IN, SILVANE_AUDIO_OUT; real time.
    static VirtualCardConfig fromEnvironment();
};

std::unique_ptr<wave::WaveBackend> makeVirtualBackend(const VirtualCardConfig& config);

// Installs a virtual card as the process's wave backend; false while a device
// is open.
bool installVirtualCard(const VirtualCardConfig& config);

// Test clock: lets `microseconds` pass for every open virtual device, then
// delivers the completions on the calling thread (wavePumpMessages). Does
// nothing for a real-time card.
void virtualCardAdvance(uint64_t microseconds);

// What the virtual output has played since the card was installed, all
// output streams one after another.
struct VirtualPlayed {
    std::vector<int16_t> samples;  // interleaved, as the streams' format
    UINT channels = 0;             // of the last stream
    uint64_t underrunFrames = 0;   // frames of silence while running with no buffer queued
};
VirtualPlayed virtualCardPlayed();

// Last failure met by the card (an input file that could not be read); empty
// when none.
std::string virtualCardError();
