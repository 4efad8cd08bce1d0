#include "audio/DuplexFlow.h"

#include "processing/ChannelLayout.h"

#include <algorithm>
#include <cstring>

namespace audio {

int32_t fifoAppend(int16_t* fifo, int32_t& fill, int32_t capacity, const int16_t* src,
                   int32_t count, int channels) {
    if (count <= 0)
        return 0;
    const int32_t frame = std::max(channels, 1);
    int32_t dropped = 0;
    if (count > capacity) {
        // Only the newest whole frames of the block fit.
        const int32_t keep = capacity - capacity % frame;
        dropped = fill + (count - keep);
        src += count - keep;
        count = keep;
        fill = 0;
    }
    const int32_t excess = fill + count - capacity;
    if (excess > 0) {
        const int32_t drop = std::min(fill, (excess + frame - 1) / frame * frame);
        fifoConsume(fifo, fill, drop);
        dropped += drop;
    }
    std::memcpy(fifo + fill, src, std::size_t(count) * sizeof(int16_t));
    fill += count;
    return dropped;
}

void fifoConsume(int16_t* fifo, int32_t& fill, int32_t count) {
    count = std::clamp(count, 0, fill);
    std::memmove(fifo, fifo + count, std::size_t(fill - count) * sizeof(int16_t));
    fill -= count;
}

int32_t appendFrames(ChannelPair& s, const int16_t* interleaved, int32_t frames, int channels) {
    const int32_t at = *s.length;
    if (frames <= 0 || at >= s.capacity)
        return 0;
    int16_t* const dst[2] = {s.ch[0] + at, s.ch[1] + at};
    const int32_t stored =
        processing::splitChannels(interleaved, frames, channels, dst, s.capacity - at);
    *s.length += stored;
    return stored;
}

void dropFrontFrames(ChannelPair& s, int32_t frames) {
    frames = std::clamp(frames, 0, *s.length);
    const std::size_t rest = std::size_t(*s.length - frames) * sizeof(int16_t);
    for (int16_t* c : s.ch)
        std::memmove(c, c + frames, rest);
    *s.length -= frames;
}

void scrollCaptureWindow(ChannelPair& orig, ChannelPair& changed, int32_t frames,
                         int32_t windowFrames, int32_t changedStep, int32_t& selectionStart,
                         int32_t& selectionEnd) {
    if (*orig.length <= windowFrames)
        return;
    dropFrontFrames(orig, frames);
    if (changedStep > 0 && *changed.length > changedStep)
        dropFrontFrames(changed, changedStep);
    if (selectionStart >= frames && selectionEnd >= frames) {
        selectionStart -= frames;
        selectionEnd -= frames;
    }
}

int32_t liveStep(LiveStreams& io, const std::function<LiveControls()>& controls,
                 processing::EngineBlock* blocks) {
    const int cin = std::clamp(io.inChannels, 1, 2);
    const int cout = std::clamp(io.outChannels, 1, 2);
    if (!processing::framingFits(blocks[0]))
        return 0;
    const uint32_t F = processing::engineFrameLength(blocks[0]);
    const uint32_t H = processing::engineFrameStep(blocks[0]);
    // The Right block steps with its own frameStep; both are created at one rate.
    if (cin == 2 && processing::engineFrameStep(blocks[1]) != H)
        return 0;

    int16_t inBuf[2][processing::kFrameBufferSamples];
    int16_t outBuf[2][processing::kFrameBufferSamples];
    int16_t block[2 * processing::kFrameBufferSamples];
    const int16_t* const in[2] = {inBuf[0], inBuf[1]};
    int16_t* const out[2] = {outBuf[0], outBuf[1]};
    int32_t steps = 0;
    // The FIFO is moved down once for all the hops taken here: a backlog
    // costs one move, not one per hop.
    int32_t read = 0;
    while (*io.inFill - read >= int64_t(cin) * F) {
        LiveControls c = controls();
        c.params.channels = cin;
        const int16_t* front = io.inFifo + read;
        for (uint32_t j = 0; j < H; ++j)
            for (int ch = 0; ch < cin; ++ch)
                inBuf[ch][j] = front[j * cin + ch];
        uint8_t vad[2] = {0, 0};
        processing::frameStepRule(c.params, c.frame, in, out, vad, blocks);
        for (uint32_t j = 0; j < H; ++j)
            for (int ch = 0; ch < cout; ++ch)
                block[j * cout + ch] = outBuf[std::min(ch, cin - 1)][j];
        fifoAppend(io.outFifo, *io.outFill, io.outCapacity, block, int32_t(H) * cout, cout);
        read += int32_t(H) * cin;
        ++steps;
    }
    fifoConsume(io.inFifo, *io.inFill, read);
    return steps;
}

} // namespace audio
