#pragma once
// The sample arithmetic of full-duplex recording, UI-free: the two FIFOs
// between capture, engine and output, the 30-second window of the original
// and changed signals that scrolls while the stream runs, and the live engine
// step that cleans the front of the input FIFO hop by hop.

#include "processing/ProcessingRun.h"

#include <cstdint>
#include <functional>

namespace audio {

constexpr int32_t FifoCapacity = 2880000; // samples per FIFO: 30 s of 48 kHz stereo
constexpr int32_t DuplexWindowSeconds = 30;

// Appends `count` interleaved samples of `channels` channels. When they do not
// fit, the oldest whole frames are dropped first (and, should the new block
// alone be larger than the FIFO, its own oldest frames). Returns the number
// of samples dropped.
int32_t fifoAppend(int16_t* fifo, int32_t& fill, int32_t capacity, const int16_t* src,
                   int32_t count, int channels);
// Removes `count` samples from the front and moves the rest down.
void fifoConsume(int16_t* fifo, int32_t& fill, int32_t count);

// A signal as two channel arrays with one length.
struct ChannelPair {
    int16_t* ch[2] = {nullptr, nullptr};
    int32_t* length = nullptr;
    int32_t capacity = 0;
};

// Appends `frames` interleaved frames of `channels` channels at the signal's
// end (a mono block zeroes the Right channel alongside); stops at the
// capacity. Returns the frames stored.
int32_t appendFrames(ChannelPair& s, const int16_t* interleaved, int32_t frames, int channels);
// Removes the first `frames` frames of both channels.
void dropFrontFrames(ChannelPair& s, int32_t frames);

// After one capture buffer of `frames` frames was appended to the original:
// when the original is longer than `windowFrames` the first `frames` frames
// go, the changed signal loses its first `changedStep` frames when it is
// longer than that, and a selection lying wholly at or past `frames` moves
// left with the signal.
void scrollCaptureWindow(ChannelPair& orig, ChannelPair& changed, int32_t frames,
                         int32_t windowFrames, int32_t changedStep, int32_t& selectionStart,
                         int32_t& selectionEnd);

// What the live step reads again before every block.
struct LiveControls {
    processing::RunParameters params; // channels is set by the step
    processing::FrameControls frame;
};

struct LiveStreams {
    int16_t* inFifo = nullptr;
    int32_t* inFill = nullptr;
    int inChannels = 1;
    int16_t* outFifo = nullptr;
    int32_t* outFill = nullptr;
    int32_t outCapacity = FifoCapacity;
    int outChannels = 1;
};

// While the input FIFO holds a whole engine frame (inChannels x frameLength
// samples) of block 0: cleans the next frameStep frames through
// frameStepRule, appends them to the output FIFO in the output's channel
// count (a mono result is given to both channels, a stereo one gives its
// Left to a mono output) and removes them from the input. Returns the blocks
// cleaned; nothing happens while the engine is not initialised.
int32_t liveStep(LiveStreams& io, const std::function<LiveControls()>& controls,
                 processing::EngineBlock* blocks = processing::engineStates);

} // namespace audio
