#pragma once
// Cleaning a signal of any length block by block, with the frame rule and the
// engine calls of the processing run, in memory that does not depend on the
// length. The output is aligned sample for sample with the input and exactly
// as long: the engine's delay is taken out and its tail flushed with silence.
// For a signal the processing run can hold, every sample the run yields is
// the same here; the stream also yields the last partial frame.

#include "processing/ProcessingRun.h"

#include <cstddef>
#include <vector>

namespace processing {

class StreamCleaner {
  public:
    // Re-creates the blocks of the channels used (p.channels, 1 or 2) with p's
    // settings. The controls hold for the whole stream.
    StreamCleaner(const RunParameters& p, const FrameControls& c, processing::EngineBlock* blocks);

    // False when the engine's framing cannot be used (nothing is cleaned then).
    bool usable() const { return usable_; }

    // Takes `frames` interleaved frames of `srcChannels` channels (the first
    // p.channels are used) and appends the cleaned frames that are complete,
    // interleaved with p.channels channels, to `out`.
    void push(const int16_t* interleaved, std::size_t frames, int srcChannels,
              std::vector<int16_t>& out);

    // End of the input: appends the rest, so that everything appended equals
    // the number of frames pushed.
    void finish(std::vector<int16_t>& out);

    uint64_t framesIn() const { return framesIn_; }
    uint64_t framesOut() const { return framesOut_; }

  private:
    void runFrame(std::vector<int16_t>& out, uint64_t limit);

    RunParameters p_;
    FrameControls c_;
    processing::EngineBlock* blocks_;
    int channels_ = 1;
    uint32_t S_ = 0;
    uint32_t D_ = 0;
    bool usable_ = false;
    int16_t in_[2][kFrameBufferSamples] = {};
    int16_t res_[2][kFrameBufferSamples] = {};
    uint32_t fill_ = 0;
    uint64_t frame_ = 0;
    uint64_t framesIn_ = 0;
    uint64_t framesOut_ = 0;
};

} // namespace processing
