#include "processing/StreamClean.h"

#include <algorithm>
#include <limits>

namespace processing {

StreamCleaner::StreamCleaner(const RunParameters& p, const FrameControls& c,
                             processing::EngineBlock* blocks)
    : p_(p), c_(c), blocks_(blocks), channels_(std::clamp(p.channels, 1, 2)) {
    p_.channels = channels_;
    usable_ = restartBlocks(p_, blocks_);
    S_ = processing::engineFrameStep(blocks_[0]);
    // Unprocessed frames are copied where they stand, so they have no delay.
    D_ = c_.processEnabled ? processing::engineDelay(blocks_[0]) : 0;
}

void StreamCleaner::runFrame(std::vector<int16_t>& out, uint64_t limit) {
    const int16_t* inPtr[2] = {in_[0], in_[1]};
    int16_t* outPtr[2] = {res_[0], res_[1]};
    uint8_t vad[2] = {0, 0};
    frameStepRule(p_, c_, inPtr, outPtr, vad, blocks_);
    // Sample j of this frame's output belongs at frame_ * S + j - D.
    const int64_t base = int64_t(frame_ * S_) - int64_t(D_);
    for (uint32_t j = 0; j < S_; ++j) {
        const int64_t pos = base + j;
        if (pos < 0 || uint64_t(pos) >= limit)
            continue;
        for (int ch = 0; ch < channels_; ++ch)
            out.push_back(res_[ch][j]);
        ++framesOut_;
    }
    ++frame_;
    fill_ = 0;
}

void StreamCleaner::push(const int16_t* interleaved, std::size_t frames, int srcChannels,
                         std::vector<int16_t>& out) {
    if (!usable_)
        return;
    const int second = srcChannels >= 2 ? 1 : 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const int16_t* fr = interleaved + i * std::size_t(srcChannels);
        in_[0][fill_] = fr[0];
        in_[1][fill_] = fr[second];
        if (++fill_ == S_)
            runFrame(out, std::numeric_limits<uint64_t>::max());
    }
    framesIn_ += frames;
}

void StreamCleaner::finish(std::vector<int16_t>& out) {
    if (!usable_)
        return;
    // Input beyond the end is silence, as in the processing run.
    while (framesOut_ < framesIn_) {
        for (int ch = 0; ch < 2; ++ch)
            std::fill(in_[ch] + fill_, in_[ch] + S_, int16_t(0));
        runFrame(out, framesIn_);
    }
}

} // namespace processing
