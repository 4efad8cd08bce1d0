// Header reading and sample decoding over arbitrary bytes: the window's
// whole-file reader, the command line's block-by-block reader on a seekable
// file and on a pipe-like stream, and the format dispatch with libsndfile
// behind it.

#include "soundfile/AudioStream.h"
#include "soundfile/WavFile.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

volatile uint32_t sink;

void drain(soundfile::AudioReader& r) {
    const int C = r.info().channels;
    if (C <= 0 || C > 64)
        return;
    std::vector<int16_t> buf(std::size_t(C) * 257);
    std::string err;
    // Bounded: a header may claim far more than the bytes given.
    for (int i = 0; i < 4096; ++i) {
        std::size_t got = 0;
        if (!r.read(buf.data(), 257, got, err) || got == 0)
            return;
        for (std::size_t k = 0; k < got * std::size_t(C); ++k)
            sink = sink + uint16_t(buf[k]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f)
        return 0;
    soundfile::WavHeaderInfo h;
    int32_t frames = 0;
    int16_t* block = nullptr;
    std::string refused;
    if (soundfile::readWavStream(h, f, frames, block, refused)) {
        // Touch every decoded sample so uninitialised or out-of-bounds
        // data would be seen by the sanitizers.
        volatile uint32_t sum = 0;
        for (int64_t i = 0; i < int64_t(frames) * h.channels; ++i)
            sum = sum + uint16_t(block[i]);
    }
    delete[] block;

    for (bool seekable : {true, false}) {
        std::rewind(f);
        std::unique_ptr<soundfile::AudioReader> r;
        std::string err;
        if (soundfile::openWavStreamReader(f, seekable, r, err))
            drain(*r);
    }
    std::fclose(f);

    // The dispatch by content, as a named file (libsndfile opens by name).
    const int fd = memfd_create("fuzz", 0);
    if (fd < 0)
        return 0;
    if (write(fd, data, size) == ssize_t(size)) {
        std::unique_ptr<soundfile::AudioReader> r;
        std::string err;
        if (soundfile::openAudioReader("/proc/self/fd/" + std::to_string(fd), r, err))
            drain(*r);
    }
    close(fd);
    return 0;
}
