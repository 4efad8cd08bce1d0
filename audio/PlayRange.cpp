#include "audio/PlayRange.h"

#include "processing/ChannelLayout.h"

#include <algorithm>

namespace audio {

PlayRange playRange(int32_t length, int32_t selectionStart, int32_t selectionEnd,
                    bool hasSelection) {
    if (length <= 0)
        return {};
    const int32_t first = std::clamp(selectionStart, 0, length - 1);
    if (!hasSelection)
        return {first, length - first};
    const int32_t last = std::clamp(selectionEnd, first, length - 1);
    return {first, last - first + 1};
}

int32_t heardFrame(uint32_t devicePosition, int32_t pass, int32_t framesPerPass) {
    if (framesPerPass <= 0)
        return 0;
    const int64_t pos = int64_t(devicePosition) - int64_t(std::max(pass, 1) - 1) * framesPerPass;
    return int32_t(std::clamp<int64_t>(pos, 0, framesPerPass - 1));
}

int markerColumn(int width, int64_t sample, int32_t viewStart, int32_t viewLength) {
    if (viewLength <= 0 || width <= 0)
        return -1;
    const double x = double(width) * double(sample - viewStart) / double(viewLength);
    if (x < 0)
        return x <= -1.0 ? -1 : 0;
    if (x >= width)
        return width;
    return int(x);
}

PlaySource playSource(const int16_t* const planes[2], int32_t length, uint32_t signalChannels,
                      int channel, std::vector<int16_t>& joined) {
    if (channel == 0 || channel == 1)
        return {planes[channel], 1};
    const uint32_t channels = std::clamp<uint32_t>(signalChannels, 1, 2);
    joined.resize(channels * std::size_t(std::max(length, 0)));
    processing::joinChannels(planes, std::max(length, 0), int(channels), joined.data());
    return {joined.data(), channels};
}

} // namespace audio
