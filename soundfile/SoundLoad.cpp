#include "soundfile/SoundLoad.h"

#include "soundfile/AudioStream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace soundfile {

bool isOtherAudioFile(const std::string& path) {
    unsigned char h[kFileHeadBytes];
    const std::size_t n = readFileHead(path, h);
    // Anything RIFF-like stays with the WAV decoder, which tells its own
    // reasons for what it cannot read.
    if (n >= 4 &&
        (!std::memcmp(h, "RIFF", 4) || !std::memcmp(h, "RF64", 4) || !std::memcmp(h, "BW64", 4)))
        return false;
    return looksLikeAudio(h, n);
}

bool readSoundSamples(WavHeaderInfo& header, const std::string& fileName, int32_t maxFrames,
                      int32_t& frames, int16_t*& block, std::string& message) {
    if (!isOtherAudioFile(fileName)) {
        if (!readWavSamples(header, fileName, frames, block)) {
            message = kFormatNotSupportedText;
            return false;
        }
        return true;
    }
    std::unique_ptr<AudioReader> reader;
    std::string error;
    // The content looked like a known format but no reader takes it: the same
    // as a WAV whose header cannot be read.
    if (!openAudioReader(fileName, reader, error))
        throw UnknownFormat();
    const AudioInfo& info = reader->info();
    const int channels = info.channels;
    if (channels < 1 || info.sampleRate == 0)
        throw UnknownFormat();
    const int kept = std::min(channels, 2);
    const int64_t limit = int64_t(std::max(maxFrames, 0)) + 1;

    std::vector<int16_t> out;
    if (info.exactFrames && info.frames > 0)
        out.reserve(std::size_t(std::min<int64_t>(info.frames, limit)) * kept);
    constexpr std::size_t kBlock = 4096;
    std::vector<int16_t> in(kBlock * std::size_t(channels));
    int64_t have = 0;
    while (have < limit) {
        std::size_t got = 0;
        const std::size_t want = std::size_t(std::min<int64_t>(int64_t(kBlock), limit - have));
        if (!reader->read(in.data(), want, got, error)) {
            message = error;
            return false;
        }
        if (got == 0)
            break;
        for (std::size_t i = 0; i < got; ++i)
            for (int c = 0; c < kept; ++c)
                out.push_back(in[i * std::size_t(channels) + std::size_t(c)]);
        have += int64_t(got);
    }
    auto* data = new int16_t[std::max<std::size_t>(out.size(), 1)];
    std::copy(out.begin(), out.end(), data);
    delete[] block;
    block = data;
    frames = int32_t(have);
    WavHeaderInfo source;
    source.sampleRate = info.sampleRate;
    derivePcmHeader(source, uint16_t(kept), header);
    header.dataSize = uint32_t(std::min<int64_t>(have * header.blockAlign, 0xFFFFFFFFll));
    return true;
}

const std::vector<std::string>& soundFileNamePatterns() {
    static const std::vector<std::string> patterns{"*.wav", "*.flac", "*.ogg",  "*.oga", "*.opus",
                                                   "*.mp3", "*.aif",  "*.aiff", "*.aifc"};
    return patterns;
}

} // namespace soundfile
