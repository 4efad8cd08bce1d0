#pragma once
// A player or recorder record of 16-bit PCM, shared by the audio tests.

#include "audio/WaveDevice.h"

#include <QObject>

#include <cstdint>

namespace audiotest {

// `channels` of 16-bit samples at `rate` Hz; completions go to `window`.
inline audio::WaveDevice pcm16Device(uint32_t rate, uint32_t channels, QObject* window) {
    audio::WaveDevice d;
    d.sampleRate = rate;
    d.bitsPerSample = 16;
    d.channels = channels;
    d.callbackWindow = window;
    return d;
}

} // namespace audiotest
