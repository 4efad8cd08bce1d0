#pragma once
// The arithmetic of the play commands: which frames a press hands to the
// device, which frame is being heard, and where the play marker stands in a
// pane. UI-free.

#include <cstdint>
#include <vector>

namespace audio {

struct PlayRange {
    int32_t first = 0;  // first frame played
    int32_t frames = 0; // frames per pass; 0: nothing to play
};

// With a selection its frames, both ends included; otherwise from the cursor
// (selectionStart) to the end. Out-of-range or reversed selections are
// brought inside the signal, so the device is never handed frames beyond
// `length`.
PlayRange playRange(int32_t length, int32_t selectionStart, int32_t selectionEnd,
                    bool hasSelection);

// Index within the played range of the frame being heard, from the device
// position (frames over every pass), the pass now playing (1 for the first)
// and the frames per pass. Kept inside 0 ... framesPerPass - 1.
int32_t heardFrame(uint32_t devicePosition, int32_t pass, int32_t framesPerPass);

// Pixel column of `sample` in a pane `width` pixels wide showing
// viewLength samples from viewStart: width x (sample - viewStart) / viewLength,
// truncated toward zero; -1 for no view. Far-away samples give -1 or width.
int markerColumn(int width, int64_t sample, int32_t viewStart, int32_t viewLength);

// What a play command hands the device: interleaved frames from the signal's
// first frame on, and how many channels they have.
struct PlaySource {
    const int16_t* frames = nullptr;
    uint32_t channels = 1;
};
// The source of a play command over a signal of `length` samples in the two
// channel arrays `planes`: one channel (`channel` 0 or 1) is its own array;
// the whole signal (`channel` -1), its `signalChannels` channels (taken as 1
// or 2) joined frame by frame, is a copy in `joined`, resized to hold it, so
// that an edit while it plays does not reach the device.
PlaySource playSource(const int16_t* const planes[2], int32_t length, uint32_t signalChannels,
                      int channel, std::vector<int16_t>& joined);

} // namespace audio
