#include "processing/ProcessingRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace processing {

int16_t mixChannels(int16_t l, int16_t r, int sign) {
    int32_t v = sign * (int32_t(l) - int32_t(r));
    return int16_t(std::clamp<int32_t>(v, -32768, 32767));
}

int32_t frameCount(int32_t length, uint32_t frameLength, uint32_t frameStep) {
    if (frameStep == 0 || length < 0 || uint32_t(length) < frameLength)
        return 0;
    return int32_t((uint32_t(length) - frameLength) / frameStep);
}

int32_t runLength(int32_t frames, uint32_t frameLength, uint32_t frameStep) {
    if (frames <= 0)
        return 0;
    return int32_t(int64_t(frames) * frameStep + frameLength);
}

uint8_t engineFrame(processing::EngineBlock& block, const RunParameters& p, const FrameControls& c,
                    const int16_t* input, int16_t* output) {
    Veldra_Reset(block.bytes, c.method, p.limitDb, p.noiseRate, p.musicalRate);
    Veldra_Frame(block.bytes, p.selectClearSpeech, input);
    if (c.useEqualizer && c.eqGains && c.eqPointCount > 0)
        Veldra_Equalizer(block.bytes, c.eqPointCount, c.eqGains);
    Veldra_Restore(block.bytes, output);
    return processing::engineVoiceActive(block);
}

void frameStepRule(const RunParameters& p, const FrameControls& c, const int16_t* const in[2],
                   int16_t* const out[2], uint8_t vad[2], processing::EngineBlock* blocks) {
    const uint32_t S0 =
        std::min<uint32_t>(processing::engineFrameStep(blocks[0]), kFrameBufferSamples);
    if (p.channels == 2 && c.autoMix) {
        int16_t mix[kFrameBufferSamples] = {};
        const int sign = c.methodMix ? 1 : -1;
        for (uint32_t j = 0; j < S0; ++j)
            mix[j] = mixChannels(in[0][j], in[1][j], sign);
        uint8_t v = 0;
        if (c.processEnabled) {
            v = engineFrame(blocks[0], p, c, mix, out[0]);
        } else {
            std::copy(mix, mix + S0, out[0]);
        }
        std::copy(out[0], out[0] + S0, out[1]);
        vad[0] = vad[1] = v;
        return;
    }
    for (int ch = 0; ch < std::clamp(p.channels, 1, 2); ++ch) {
        const uint32_t S =
            std::min<uint32_t>(processing::engineFrameStep(blocks[ch]), kFrameBufferSamples);
        if (c.processEnabled) {
            vad[ch] = engineFrame(blocks[ch], p, c, in[ch], out[ch]);
        } else {
            std::copy(in[ch], in[ch] + S, out[ch]);
            vad[ch] = 0;
        }
    }
}

bool framingFits(const processing::EngineBlock& block) {
    const uint32_t L = processing::engineFrameLength(block);
    const uint32_t S = processing::engineFrameStep(block);
    return S > 0 && S <= uint32_t(kFrameBufferSamples) && L >= S;
}

bool restartBlocks(const RunParameters& p, processing::EngineBlock* blocks) {
    const processing::EngineSettings settings = processing::engineSettingsAt(p.sampleRate, p);
    for (int c = 0; c < std::clamp(p.channels, 1, 2); ++c)
        processing::restartEngine(blocks[c], settings);
    return framingFits(blocks[0]);
}

RunResult runProcessing(const RunParameters& p, RunSignal& s, const RunHooks& hooks,
                        processing::EngineBlock* blocks) {
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    };
    RunResult result;
    int32_t changedLength = 0, vadCount = 0;
    *s.changedLength = 0;
    *s.vadCount = 0;

    const int channels = std::clamp(p.channels, 1, 2);
    if (!restartBlocks(p, blocks)) {
        result.elapsedMs = elapsed();
        return result;
    }
    const uint32_t L = processing::engineFrameLength(blocks[0]);
    const uint32_t S = processing::engineFrameStep(blocks[0]);
    const uint32_t D = processing::engineDelay(blocks[0]);
    result.frameCount = frameCount(s.origLength, L, S);
    int32_t target = std::min(runLength(result.frameCount, L, S), s.changedCapacity);
    if (result.frameCount == 0 || target <= 0) {
        result.elapsedMs = elapsed();
        return result;
    }
    // Frames whose output, shifted back by the delay, covers the target length;
    // input beyond the original is silence.
    const int64_t engineFrames = (int64_t(target) + D + S - 1) / S;
    const int32_t segments =
        std::min<int32_t>(int32_t((int64_t(target) + S - 1) / S), s.vadCapacity);

    int16_t in[2][kFrameBufferSamples];
    int16_t out[2][kFrameBufferSamples];
    const int16_t* inPtr[2] = {in[0], in[1]};
    int16_t* outPtr[2] = {out[0], out[1]};

    for (int64_t k = 0; k < engineFrames; ++k) {
        const FrameControls controls = hooks.controls();
        const bool mixed = channels == 2 && controls.autoMix;
        const int sign = controls.methodMix ? 1 : -1;
        const int64_t base = k * S;
        const int64_t dst = base - int64_t(D); // where this frame's output belongs
        uint8_t vad[2] = {0, 0};

        if (controls.processEnabled) {
            for (int c = 0; c < channels; ++c) {
                for (uint32_t j = 0; j < S; ++j) {
                    int64_t pos = base + j;
                    in[c][j] = pos < s.origLength ? s.orig[c][pos] : 0;
                }
            }
            frameStepRule(p, controls, inPtr, outPtr, vad, blocks);
            for (int c = 0; c < channels; ++c)
                for (uint32_t j = 0; j < S; ++j) {
                    int64_t pos = dst + j;
                    if (pos >= 0 && pos < target)
                        s.changed[c][pos] = out[c][j];
                }
        } else {
            // Unprocessed frames pass the original (or the mix) through at the
            // place the engine's output would have taken.
            for (uint32_t j = 0; j < S; ++j) {
                int64_t pos = dst + j;
                if (pos < 0 || pos >= target)
                    continue;
                if (mixed) {
                    int16_t m = mixChannels(s.orig[0][pos], s.orig[1][pos], sign);
                    s.changed[0][pos] = s.changed[1][pos] = m;
                } else {
                    for (int c = 0; c < channels; ++c)
                        s.changed[c][pos] = s.orig[c][pos];
                }
            }
        }

        // The voice decision belongs to the segment holding the centre of
        // the frame's output.
        const int64_t centre = dst + S / 2;
        if (centre >= 0) {
            const int64_t m = centre / S;
            if (m < segments) {
                for (int c = 0; c < channels; ++c)
                    s.vad[c][m] = vad[c];
                vadCount = std::max(vadCount, int32_t(m + 1));
            }
        }
        changedLength = int32_t(std::clamp<int64_t>(dst + S, 0, target));
        *s.changedLength = changedLength;
        *s.vadCount = vadCount;
        ++result.framesProcessed;

        if (hooks.afterFrame && hooks.afterFrame() && k + 1 < engineFrames) {
            result.stopped = true;
            break;
        }
    }

    // Whatever the loop did not reach (a stop) is silence with no voice.
    for (int c = 0; c < channels; ++c) {
        std::fill(s.changed[c] + changedLength, s.changed[c] + target, int16_t(0));
        if (vadCount < segments)
            std::fill(s.vad[c] + vadCount, s.vad[c] + segments, uint8_t(0));
    }
    *s.changedLength = target;
    *s.vadCount = segments;
    result.elapsedMs = elapsed();
    return result;
}

std::string formatElapsedSeconds(int64_t milliseconds) {
    const bool negative = milliseconds < 0;
    uint64_t ms = negative ? uint64_t(-milliseconds) : uint64_t(milliseconds);
    std::string whole = std::to_string(ms / 1000);
    for (int i = int(whole.size()) - 3; i > 0; i -= 3)
        whole.insert(std::size_t(i), ",");
    char frac[8];
    std::snprintf(frac, sizeof frac, ".%03u", unsigned(ms % 1000));
    return (negative ? "-" : "") + whole + frac;
}

} // namespace processing
