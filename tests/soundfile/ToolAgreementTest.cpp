// Every accepted encoding, produced by independent encoders (sox, ffmpeg) from
// our own test signal, must decode to exactly the samples an independent
// decoder gives.

#include "soundfile/WavFile.h"
#include "tests/soundfile/TestFiles.h"

#include <gtest/gtest.h>

using namespace testfiles;

namespace {

struct Case {
    const char* name;
    int channels;
    int rate;
    const char* encode;    // {src} -> {enc}
    const char* reference; // {enc} -> {ref} as raw signed 16-bit little-endian
    uint16_t expectedTag;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const char* kSoxRef = "sox -D {enc} -t raw -e signed-integer -b 16 -L {ref}";
const char* kFfRef = "ffmpeg -v error -y -i {enc} -f s16le {ref}";

std::string expand(std::string cmd, const std::string& src, const std::string& enc,
                   const std::string& ref) {
    auto put = [&](const std::string& key, const std::string& val) {
        for (std::size_t p; (p = cmd.find(key)) != std::string::npos;)
            cmd.replace(p, key.size(), val);
    };
    put("{src}", src);
    put("{enc}", enc);
    put("{ref}", ref);
    return cmd;
}

class ToolAgreement : public ::testing::TestWithParam<Case> {};

TEST_P(ToolAgreement, DecodesAsTheReferenceDecoder) {
    const Case& c = GetParam();
    const std::string base = scratch(std::string("agree-") + c.name);
    const std::string src = base + "-src.wav", enc = base + "-enc.wav", ref = base + "-ref.raw";
    // Below half scale, so that the float rule (x 32767) and the tools'
    // (x 32768) agree exactly.
    auto signal = testSignal(c.rate * 2 + 123, c.channels, c.rate, 15000);
    std::string err;
    ASSERT_TRUE(soundfile::writePcmWav(src, uint32_t(c.rate), uint16_t(c.channels), signal.data(),
                                       signal.size() / c.channels, err))
        << err;
    ASSERT_EQ(run(expand(c.encode, src, enc, ref)), 0) << expand(c.encode, src, enc, ref);
    ASSERT_EQ(run(expand(c.reference, src, enc, ref)), 0) << expand(c.reference, src, enc, ref);

    soundfile::WavHeaderInfo h;
    int32_t frames = -1;
    int16_t* block = nullptr;
    ASSERT_TRUE(soundfile::readWavSamples(h, enc, frames, block));
    std::unique_ptr<int16_t[]> owned(block);
    EXPECT_EQ(h.formatTag, c.expectedTag);
    EXPECT_EQ(h.channels, c.channels);
    EXPECT_EQ(int(h.sampleRate), c.rate);

    auto refBytes = readBytes(ref);
    ASSERT_EQ(refBytes.size() % (2 * c.channels), 0u);
    std::vector<int16_t> expected(refBytes.size() / 2);
    std::memcpy(expected.data(), refBytes.data(), refBytes.size());
    ASSERT_EQ(std::size_t(frames) * c.channels, expected.size());
    std::size_t firstDiff = expected.size();
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (block[i] != expected[i]) {
            firstDiff = i;
            break;
        }
    EXPECT_EQ(firstDiff, expected.size())
        << "first differing sample " << firstDiff << ": ours " << block[firstDiff] << ", reference "
        << expected[firstDiff];
}

const Case kCases[] = {
    {"sox-pcm16-stereo", 2, 16000, "sox {src} -e signed-integer -b 16 {enc}", kSoxRef, 1},
    {"sox-u8-mono", 1, 8000, "sox {src} -e unsigned-integer -b 8 {enc}", kSoxRef, 1},
    {"sox-u8-stereo", 2, 11025, "sox {src} -e unsigned-integer -b 8 {enc}", kSoxRef, 1},
    {"sox-float-mono", 1, 16000, "sox {src} -e floating-point -b 32 {enc}", kSoxRef, 3},
    {"sox-float-stereo", 2, 22050, "sox {src} -e floating-point -b 32 {enc}", kSoxRef, 3},
    {"sox-alaw-stereo", 2, 8000, "sox {src} -e a-law {enc}", kSoxRef, 6},
    {"sox-ulaw-mono", 1, 8000, "sox {src} -e u-law {enc}", kSoxRef, 7},
    {"sox-msadpcm-mono", 1, 8000, "sox {src} -e ms-adpcm {enc}", kSoxRef, 2},
    {"sox-msadpcm-stereo", 2, 16000, "sox {src} -e ms-adpcm {enc}", kSoxRef, 2},
    {"sox-ima-mono", 1, 8000, "sox {src} -e ima-adpcm {enc}", kSoxRef, 17},
    {"sox-ima-stereo", 2, 16000, "sox {src} -e ima-adpcm {enc}", kSoxRef, 17},
    {"sox-gsm-mono", 1, 8000, "sox {src} -e gsm-full-rate {enc}", kSoxRef, 49},
    {"ffmpeg-u8-stereo", 2, 8000, "ffmpeg -v error -y -i {src} -c:a pcm_u8 {enc}", kFfRef, 1},
    {"ffmpeg-alaw-mono", 1, 8000, "ffmpeg -v error -y -i {src} -c:a pcm_alaw {enc}", kFfRef, 6},
    {"ffmpeg-ulaw-stereo", 2, 8000, "ffmpeg -v error -y -i {src} -c:a pcm_mulaw {enc}", kFfRef, 7},
    {"ffmpeg-float-stereo", 2, 16000, "ffmpeg -v error -y -i {src} -c:a pcm_f32le {enc}", kFfRef,
     3},
    {"ffmpeg-s24-stereo", 2, 16000, "ffmpeg -v error -y -i {src} -c:a pcm_s24le {enc}", kFfRef, 1},
    {"ffmpeg-msadpcm-stereo", 2, 8000, "ffmpeg -v error -y -i {src} -c:a adpcm_ms {enc}", kFfRef,
     2},
    {"ffmpeg-msadpcm-mono", 1, 16000, "ffmpeg -v error -y -i {src} -c:a adpcm_ms {enc}", kFfRef, 2},
    // ffmpeg's IMA decoder computes the step exactly rather than by the
    // shift-and-add rule of the format, so its own files are checked against sox.
    {"ffmpeg-ima-stereo", 2, 8000, "ffmpeg -v error -y -i {src} -c:a adpcm_ima_wav {enc}", kSoxRef,
     17},
    {"ffmpeg-gsm-mono", 1, 8000, "ffmpeg -v error -y -i {src} -c:a libgsm_ms {enc}", kFfRef, 49},
};

INSTANTIATE_TEST_SUITE_P(Formats, ToolAgreement, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string n = info.param.name;
    for (char& ch : n)
        if (ch == '-')
            ch = '_';
    return n;
});

} // namespace
