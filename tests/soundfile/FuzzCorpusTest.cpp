// Replays the fuzzing corpus (interesting inputs found by scripts/fuzz-wav):
// every input is either read or refused, never crashes, and what is read is
// bounded by the bytes present.

#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(FuzzCorpus, EveryInputIsReadOrRefused) {
    int inputs = 0, decoded = 0;
    for (const char* dir : {SILVANE_FUZZ_CORPUS, SILVANE_FUZZ_CORPUS "-seeds"})
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (!entry.is_regular_file())
                continue;
            ++inputs;
            soundfile::WavHeaderInfo h;
            int32_t frames = -1;
            int16_t* block = nullptr;
            try {
                if (soundfile::readWavSamples(h, entry.path().string(), frames, block)) {
                    ++decoded;
                    // Compressed formats expand at most 320 samples per 65 bytes,
                    // plus one short last ADPCM block decoded whole (at most
                    // 2 x 65535 samples).
                    EXPECT_LE(uint64_t(frames) * h.channels, entry.file_size() * 5 + 2 * 65536)
                        << entry.path();
                    int64_t sum = 0;
                    for (int64_t i = 0; i < int64_t(frames) * h.channels; ++i)
                        sum += block[i];
                    (void)sum;
                } else {
                    EXPECT_EQ(frames, 0);
                }
            } catch (const soundfile::UnknownFormat&) {
            }
            delete[] block;
        }
    EXPECT_GT(inputs, 5);
    EXPECT_GT(decoded, 5);
}
