#pragma once
// Moving interleaved frames into per-channel arrays of fixed capacity and back.

#include <cstdint>

namespace processing {

// Fixed capacities of the signal store, per channel.
constexpr int32_t MaxOrigSamples = 20000000;
constexpr int32_t MaxChangedSamples = 40000000;
constexpr int32_t MaxVadFrames = 300000;

// Stores `frames` interleaved frames of `channels` channels into dst[0] and
// dst[1] (capacity samples each) and returns the stored length: at most
// `capacity` frames; the first two channels of a wider signal are kept; a
// mono signal zeroes dst[1] over the stored length.
int32_t splitChannels(const int16_t* interleaved, int32_t frames, int channels,
                      int16_t* const dst[2], int32_t capacity);

// The opposite: `length` samples of the first `channels` (1 or 2) arrays into
// one interleaved block.
void joinChannels(const int16_t* const src[2], int32_t length, int channels, int16_t* interleaved);

} // namespace processing
