// Header reading and sample decoding over arbitrary bytes.

#include "WavFile.h"

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    WavHeaderInfo h;
    int32_t frames = 0;
    int16_t* block = nullptr;
    try {
        if (readWavStream(h, f, frames, block)) {
            // Touch every decoded sample so uninitialised or out-of-bounds
            // data would be seen by the sanitizers.
            volatile uint32_t sum = 0;
            for (int64_t i = 0; i < int64_t(frames) * h.channels; ++i) sum = sum + uint16_t(block[i]);
        }
    } catch (const UnknownFormat&) {
    }
    delete[] block;
    std::fclose(f);
    return 0;
}
