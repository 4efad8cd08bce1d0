#include "processing/ChannelLayout.h"

#include <algorithm>
#include <cstddef>

namespace processing {

int32_t splitChannels(const int16_t* interleaved, int32_t frames, int channels,
                      int16_t* const dst[2], int32_t capacity) {
    if (channels <= 0 || frames <= 0 || capacity <= 0)
        return 0;
    const int32_t n = std::min(frames, capacity);
    const std::size_t stride = std::size_t(channels);
    if (channels == 1) {
        std::copy(interleaved, interleaved + n, dst[0]);
        std::fill(dst[1], dst[1] + n, int16_t(0));
        return n;
    }
    for (int32_t i = 0; i < n; ++i) {
        dst[0][i] = interleaved[i * stride];
        dst[1][i] = interleaved[i * stride + 1];
    }
    return n;
}

void joinChannels(const int16_t* const src[2], int32_t length, int channels, int16_t* interleaved) {
    if (channels == 1) {
        std::copy(src[0], src[0] + std::max(length, 0), interleaved);
        return;
    }
    for (int32_t i = 0; i < length; ++i) {
        interleaved[2 * i] = src[0][i];
        interleaved[2 * i + 1] = src[1][i];
    }
}

} // namespace processing
