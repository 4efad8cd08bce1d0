#pragma once
// The virtual sound card: a wave backend with one output and one input device
// that needs no hardware. The output consumes samples at the stream's rate and
// can hand what it played to a sink; the input delivers samples given in
// memory or by an input callback (looped), or a generated tone with noise.
// The card knows no files: the programs give it the file-backed input and sink
// of audio/VirtualCardFiles.
//
// It runs in real time on a thread of its own, or on a test clock: then time
// only passes in virtualCardAdvance(), which also delivers the completions, so
// a test drives playback and capture deterministically and as fast as it likes.
//
// Selected for the whole process by SILVANE_AUDIO=virtual (made from the
// configuration setDefaultVirtualCard() gave), or installed by a test.

#include "platform/WaveDriver.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// What an input stream delivers: interleaved samples of `channels` channels,
// played from the first one and looped.
struct VirtualInputSamples {
    std::vector<int16_t> samples;
    UINT channels = 1;
};

// The card's recorded input, asked at every opening of an input device with the
// stream's rate and channel count: fills `out`, or returns false with why it
// cannot; the open then fails and virtualCardError() holds the reason.
using VirtualInput =
    std::function<bool(uint32_t rate, UINT channels, VirtualInputSamples& out, std::string& error)>;

// Where one output stream's played frames go: the frames it took from buffers
// (not the silence between them), as the stream's format, on the card's thread.
class VirtualOutputSink {
  public:
    virtual ~VirtualOutputSink() = default;
    virtual void write(const char* data, std::size_t bytes) = 0;
    // The stream has closed; false with the reason when what it played could
    // not be kept (virtualCardError() then holds it).
    virtual bool close(std::string& error) = 0;
};

// Asked at every opening of an output device with the stream's format: the
// stream's sink, or nullptr with why there can be none; the open then fails
// and virtualCardError() holds the reason.
using VirtualSinkOpener = std::function<std::unique_ptr<VirtualOutputSink>(
    const WAVEFORMATEX& format, std::string& error)>;

struct VirtualCardConfig {
    bool testClock = false;
    UINT outputs = 1; // 0 or 1 devices of each kind
    UINT inputs = 1;
    // Input source, first one given wins: samples in memory (interleaved,
    // `inputChannels` channels), the input callback, else 440 Hz at -12 dBFS
    // plus white noise at -40 dBFS. A source with another channel count than
    // the stream is adapted (mono copied to both channels, stereo averaged);
    // rates are not converted.
    std::vector<int16_t> inputSamples;
    UINT inputChannels = 1;
    VirtualInput input;
    // When set, each output stream hands what it played to a sink of its own.
    VirtualSinkOpener outputSink;
    // Keep what the output played in memory for virtualCardPlayed().
    bool keepPlayed = false;
};

// The configuration of the card SILVANE_AUDIO=virtual selects when the wave
// layer is first used (real time unless it says otherwise). A program sets it
// at start-up, before it opens a device; unset, the card's output plays into
// nothing and its input is the tone.
void setDefaultVirtualCard(VirtualCardConfig config);
VirtualCardConfig defaultVirtualCard();

std::unique_ptr<platform::WaveBackend> makeVirtualBackend(const VirtualCardConfig& config);

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
    std::vector<int16_t> samples; // interleaved, as the streams' format
    UINT channels = 0;            // of the last stream
    uint64_t underrunFrames = 0;  // frames of silence while running with no buffer queued
};
VirtualPlayed virtualCardPlayed();

// Last failure met by the card (an input or a sink that failed); empty when
// none.
std::string virtualCardError();

} // namespace platform
