#include "soundfile/WavFile.h"

#include "base/SafeFile.h"
#include "soundfile/LittleEndian.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

extern "C" {
#include <gsm.h>
}

namespace soundfile {

WavHeaderInfo sourceHeader;
WavHeaderInfo pcmHeader;

const char* const kUnknownFormatText = "Unknown format";
const char* const kFormatNotSupportedText = "Current input format data not support. ... ";

namespace {

// ---------------------------------------------------------------------------
// Little-endian field access

bool readBytes(std::FILE* f, void* dst, std::size_t n) {
    return std::fread(dst, 1, n, f) == n;
}

bool readU32(std::FILE* f, uint32_t& v) {
    unsigned char b[4];
    if (!readBytes(f, b, 4))
        return false;
    v = le::u32(b);
    return true;
}

bool readU16(std::FILE* f, uint16_t& v) {
    unsigned char b[2];
    if (!readBytes(f, b, 2))
        return false;
    v = le::u16(b);
    return true;
}

bool skipBytes(std::FILE* f, uint32_t n) {
    return n == 0 || std::fseek(f, long(n), SEEK_CUR) == 0;
}

inline int16_t clip16(int32_t v) {
    return int16_t(std::clamp<int32_t>(v, -32768, 32767));
}

// Bytes between the stream's position and its end, or 0 when that cannot be told.
uint64_t bytesLeft(std::FILE* f) {
    long here = std::ftell(f);
    if (here < 0)
        return 0;
    if (std::fseek(f, 0, SEEK_END) != 0)
        return 0;
    long end = std::ftell(f);
    std::fseek(f, here, SEEK_SET);
    return end > here ? uint64_t(end - here) : 0;
}

// Reads up to n bytes, returns how many arrived.
std::size_t readUpTo(std::FILE* f, void* dst, std::size_t n) {
    return std::fread(dst, 1, n, f);
}

// The block holds channels x frames samples; frames is kept within int32 and
// the product within what the address space can hold.
int32_t cappedFrames(uint64_t frames, uint16_t channels) {
    uint64_t limit = uint64_t(std::numeric_limits<int32_t>::max()) / channels;
    return int32_t(std::min(frames, limit));
}

// ---------------------------------------------------------------------------
// Decoders. Each receives the stream at the first data byte, the number of
// data bytes actually present, and returns the new block with its frame count.

struct Decoded {
    std::unique_ptr<int16_t[]> block;
    int32_t frames = 0;
};

std::unique_ptr<int16_t[]> allocate(uint64_t samples) {
    // Left uninitialised on purpose: every decoder writes each sample or
    // zero-fills what the file does not provide.
    return std::unique_ptr<int16_t[]>(new int16_t[std::max<uint64_t>(samples, 1)]);
}

bool decodePcm(const WavHeaderInfo& h, std::FILE* f, uint64_t bytes, Decoded& out) {
    const unsigned C = h.channels, B = h.blockAlign;
    const unsigned width = B / C;
    if (width < 1 || width > 4)
        return false;
    const int32_t F = cappedFrames(bytes / B, h.channels);
    const uint64_t n = uint64_t(F) * C;
    out.block = allocate(n);
    out.frames = F;
    int16_t* dst = out.block.get();
    if (width == 2 && B == 2 * C) {
        std::size_t got = readUpTo(f, dst, n * 2) / 2;
        std::fill(dst + got, dst + n, int16_t(0));
        return true;
    }
    // Other widths: stream through a buffer of whole frames.
    const std::size_t chunkFrames = std::max<std::size_t>(1, (std::size_t(1) << 18) / B);
    std::vector<unsigned char> buf(std::size_t(B) * chunkFrames);
    uint64_t frame = 0;
    while (frame < uint64_t(F)) {
        std::size_t want = std::size_t(std::min<uint64_t>(chunkFrames, F - frame));
        std::size_t got = readUpTo(f, buf.data(), want * B) / B;
        for (std::size_t i = 0; i < got; ++i) {
            const unsigned char* fr = buf.data() + i * B;
            for (unsigned c = 0; c < C; ++c) {
                dst[(frame + i) * C + c] = pcmToSample(fr + c * width, width);
            }
        }
        frame += got;
        if (got < want)
            break;
    }
    std::fill(dst + frame * C, dst + n, int16_t(0));
    return true;
}

bool decodeFloat(const WavHeaderInfo& h, std::FILE* f, uint64_t bytes, Decoded& out) {
    const unsigned C = h.channels, B = h.blockAlign;
    const unsigned width = B / C;
    if (B != width * C || (width != 4 && width != 8))
        return false;
    const int32_t F = cappedFrames(bytes / B, h.channels);
    const uint64_t n = uint64_t(F) * C;
    out.block = allocate(n);
    out.frames = F;
    int16_t* dst = out.block.get();
    constexpr std::size_t chunk = 16384;
    std::vector<unsigned char> buf(chunk * width);
    uint64_t done = 0;
    while (done < n) {
        std::size_t want = std::size_t(std::min<uint64_t>(chunk, n - done));
        std::size_t got = readUpTo(f, buf.data(), want * width) / width;
        for (std::size_t i = 0; i < got; ++i)
            dst[done + i] = floatBytesToSample(buf.data() + i * width, width);
        done += got;
        if (got < want)
            break;
    }
    std::fill(dst + done, dst + n, int16_t(0));
    return true;
}

bool decodeG711(const WavHeaderInfo& h, std::FILE* f, uint64_t bytes, Decoded& out,
                int16_t (*expand)(uint8_t)) {
    const unsigned C = h.channels, B = h.blockAlign;
    if (B != C)
        return false; // one byte per sample, nothing else is G.711
    const int32_t F = cappedFrames(bytes / B, h.channels);
    const uint64_t n = uint64_t(F) * C;
    int16_t table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = expand(uint8_t(i));
    out.block = allocate(n);
    out.frames = F;
    int16_t* dst = out.block.get();
    constexpr std::size_t chunk = 65536;
    std::vector<unsigned char> buf(chunk);
    uint64_t done = 0;
    while (done < n) {
        std::size_t want = std::size_t(std::min<uint64_t>(chunk, n - done));
        std::size_t got = readUpTo(f, buf.data(), want);
        for (std::size_t i = 0; i < got; ++i)
            dst[done + i] = table[buf[i]];
        done += got;
        if (got < want)
            break;
    }
    std::fill(dst + done, dst + n, int16_t(0));
    return true;
}

const int msAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                              768, 614, 512, 409, 307, 230, 230, 230};
const int msCoef1[7] = {256, 512, 0, 192, 240, 460, 392};
constexpr int kMaxMsDelta = std::numeric_limits<int>::max() / 768;
const int msCoef2[7] = {0, -256, 0, 64, 0, -208, -232};

// Decodes one Microsoft ADPCM block of B bytes into S interleaved frames.
void decodeMsAdpcmBlock(const unsigned char* in, unsigned B, unsigned C, int32_t S, int16_t* out,
                        std::vector<int>& pred, std::vector<int>& delta) {
    for (unsigned c = 0; c < C; ++c) {
        unsigned p = in[c];
        pred[c] = p <= 6 ? int(p) : 0; // an index beyond the table selects the first pair
        delta[c] = le::s16(in + C + 2 * c);
        out[C + c] = le::s16(in + 3 * C + 2 * c); // sample 1 is frame 1
        out[c] = le::s16(in + 5 * C + 2 * c);     // sample 2 is frame 0
    }
    const unsigned char* codes = in + 7 * C;
    const uint64_t total = uint64_t(S) * C;
    const uint64_t available = uint64_t(B - 7 * C) * 2;
    for (uint64_t k = 2 * C; k < total; ++k) {
        uint64_t idx = k - 2 * C;
        if (idx >= available) {
            out[k] = 0;
            continue;
        }
        unsigned char byte = codes[idx / 2];
        int n = (idx % 2 == 0) ? byte >> 4 : byte & 0x0F;
        unsigned c = unsigned(k % C);
        int d = delta[c];
        // The delta only grows on hostile data; it is held where the products
        // below stay inside int.
        int nd = int((int64_t(msAdaptation[n]) * d) >> 8);
        delta[c] = std::clamp(nd, 16, kMaxMsDelta);
        int signedCode = n >= 8 ? n - 16 : n;
        int prediction = (out[k - C] * msCoef1[pred[c]] + out[k - 2 * C] * msCoef2[pred[c]]) >> 8;
        out[k] = clip16(prediction + signedCode * d);
    }
}

bool decodeMsAdpcm(const WavHeaderInfo& h, std::FILE* f, uint64_t bytes, Decoded& out) {
    const unsigned C = h.channels, B = h.blockAlign;
    const int32_t S = msAdpcmSamplesPerBlock(h.blockAlign, h.channels);
    if (S <= 0)
        return false;
    const uint64_t N = (bytes + B - 1) / B;
    const int32_t F = cappedFrames(N * uint64_t(S), h.channels);
    const uint64_t blocks = uint64_t(F) / S; // whole blocks that fit the frame cap
    out.block = allocate(uint64_t(F) * C);
    out.frames = F;
    std::vector<unsigned char> buf(B);
    std::vector<int> pred(C), delta(C);
    int16_t* dst = out.block.get();
    uint64_t i = 0;
    for (; i < blocks; ++i) {
        std::size_t got = readUpTo(f, buf.data(), B);
        if (got == 0)
            break;
        // A short last block fills only the front of the block buffer.
        std::fill(buf.begin() + got, buf.end(), 0);
        decodeMsAdpcmBlock(buf.data(), B, C, S, dst + i * S * C, pred, delta);
    }
    std::fill(dst + i * S * C, dst + uint64_t(F) * C, int16_t(0));
    return true;
}

const int imaIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
const int imaStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Decodes one IMA ADPCM block of B bytes into S interleaved frames.
void decodeImaBlock(const unsigned char* in, unsigned B, unsigned C, int32_t S, int16_t* out,
                    std::vector<int>& index, std::vector<int32_t>& frameOf) {
    for (unsigned c = 0; c < C; ++c) {
        out[c] = le::s16(in + 4 * c);
        index[c] = std::clamp<int>(in[4 * c + 2], 0, 88);
    }
    // Codes: groups of 4 bytes per channel, each byte two codes (low nibble
    // first) for successive frames of that channel; a group covers 8 frames.
    std::fill(frameOf.begin(), frameOf.end(), 1);
    const unsigned char* p = in + 4 * C;
    const unsigned char* end = in + B;
    while (p + 4 * C <= end) {
        for (unsigned c = 0; c < C; ++c) {
            for (int b = 0; b < 4; ++b, ++p) {
                for (int half = 0; half < 2; ++half) {
                    int n = half == 0 ? (*p & 0x0F) : (*p >> 4);
                    int32_t fr = frameOf[c]++;
                    if (fr >= S)
                        continue;
                    int s = imaStepTable[index[c]];
                    int diff = s >> 3;
                    if (n & 1)
                        diff += s >> 2;
                    if (n & 2)
                        diff += s >> 1;
                    if (n & 4)
                        diff += s;
                    if (n & 8)
                        diff = -diff;
                    out[uint64_t(fr) * C + c] = clip16(out[uint64_t(fr - 1) * C + c] + diff);
                    index[c] = std::clamp(index[c] + imaIndexTable[n], 0, 88);
                }
            }
        }
    }
    // Frames no code reached (a block whose data is not whole groups) repeat
    // the last decoded value of their channel.
    for (unsigned c = 0; c < C; ++c)
        for (int32_t fr = frameOf[c]; fr < S; ++fr)
            out[uint64_t(fr) * C + c] = out[uint64_t(fr - 1) * C + c];
}

bool decodeIma(const WavHeaderInfo& h, std::FILE* f, uint64_t bytes, Decoded& out) {
    if (h.bitsPerSample != 4)
        return false;
    const unsigned C = h.channels, B = h.blockAlign;
    const int32_t S = imaAdpcmSamplesPerBlock(h.blockAlign, h.channels);
    if (S <= 0)
        return false;
    const uint64_t N = bytes / B; // a trailing partial block is dropped
    const int32_t F = cappedFrames(N * uint64_t(S), h.channels);
    const uint64_t blocks = uint64_t(F) / S;
    out.block = allocate(uint64_t(F) * C);
    out.frames = F;
    std::vector<unsigned char> buf(B);
    std::vector<int> index(C);
    std::vector<int32_t> frameOf(C);
    int16_t* dst = out.block.get();
    uint64_t i = 0;
    for (; i < blocks; ++i) {
        if (readUpTo(f, buf.data(), B) != B)
            break;
        decodeImaBlock(buf.data(), B, C, S, dst + i * S * C, index, frameOf);
    }
    std::fill(dst + i * S * C, dst + uint64_t(F) * C, int16_t(0));
    return true;
}

bool decodeGsm(const WavHeaderInfo& h, std::FILE* f, uint64_t bytes, Decoded& out) {
    if (h.channels != 1)
        return false; // GSM 6.10 data is mono
    constexpr unsigned blockBytes = 65, blockFrames = 320;
    const uint64_t N = bytes / blockBytes;
    const int32_t F = cappedFrames(N * blockFrames, 1);
    const uint64_t blocks = uint64_t(F) / blockFrames;
    gsm decoder = gsm_create();
    if (!decoder)
        return false;
    int one = 1;
    gsm_option(decoder, GSM_OPT_WAV49, &one);
    out.block = allocate(uint64_t(F));
    out.frames = F;
    int16_t* dst = out.block.get();
    unsigned char buf[blockBytes];
    uint64_t i = 0;
    for (; i < blocks; ++i) {
        if (readUpTo(f, buf, blockBytes) != blockBytes)
            break;
        gsm_decode(decoder, buf, dst + i * blockFrames);
        gsm_decode(decoder, buf + 33, dst + i * blockFrames + 160);
    }
    gsm_destroy(decoder);
    std::fill(dst + i * blockFrames, dst + F, int16_t(0));
    return true;
}

bool sameId(const char* a, const char* b) {
    return std::memcmp(a, b, 4) == 0;
}

} // namespace

// ---------------------------------------------------------------------------

void decodeMsAdpcmBlockInto(const unsigned char* in, uint16_t blockAlign, uint16_t channels,
                            int16_t* out, std::vector<int>& pred, std::vector<int>& delta) {
    pred.resize(channels);
    delta.resize(channels);
    decodeMsAdpcmBlock(in, blockAlign, channels, msAdpcmSamplesPerBlock(blockAlign, channels), out,
                       pred, delta);
}

void decodeImaBlockInto(const unsigned char* in, uint16_t blockAlign, uint16_t channels,
                        int16_t* out, std::vector<int>& index, std::vector<int32_t>& frameOf) {
    index.resize(channels);
    frameOf.resize(channels);
    decodeImaBlock(in, blockAlign, channels, imaAdpcmSamplesPerBlock(blockAlign, channels), out,
                   index, frameOf);
}

int16_t pcm8ToSample(uint8_t b) {
    return int16_t((int(b) - 128) * 256);
}

int16_t floatToSample(float x) {
    if (x >= -1.0f && x <= 1.0f)
        return int16_t(std::lrint(32767.0 * double(x)));
    if (std::isnan(x))
        return 0;
    if (std::isinf(x))
        return x > 0 ? 32767 : -32767;
    // Nearest integer to 32767 x (ties to even), keeping only its low 16 bits:
    // values beyond full scale wrap around. The product is exact in double and
    // fmod is exact, so the wrap is computed without any out-of-range cast.
    double r = std::nearbyint(32767.0 * double(x));
    double m = std::fmod(r, 65536.0);
    int32_t low = int32_t(m) & 0xFFFF;
    return int16_t(uint16_t(low));
}

int16_t aLawToSample(uint8_t code) {
    int a = code ^ 0x55;
    int t = (a & 0x0F) << 4;
    int seg = (a & 0x70) >> 4;
    switch (seg) {
    case 0:
        t += 8;
        break;
    case 1:
        t += 0x108;
        break;
    default:
        t += 0x108;
        t <<= seg - 1;
        break;
    }
    return int16_t((a & 0x80) ? t : -t);
}

int16_t muLawToSample(uint8_t code) {
    int u = ~code & 0xFF;
    int t = ((u & 0x0F) << 3) + 0x84;
    t <<= (u & 0x70) >> 4;
    return int16_t((u & 0x80) ? (0x84 - t) : (t - 0x84));
}

int32_t msAdpcmSamplesPerBlock(uint16_t blockAlign, uint16_t channels) {
    if (channels == 0 || blockAlign < 7u * channels)
        return 0;
    return int32_t((blockAlign - 7 * channels) * 2 / channels + 2);
}

int32_t imaAdpcmSamplesPerBlock(uint16_t blockAlign, uint16_t channels) {
    if (channels == 0 || blockAlign < 4u * channels)
        return 0;
    return int32_t((blockAlign - 4 * channels) * 2 / channels + 1);
}

namespace {

// The header walk of readWavHeader; false for anything that is not a usable
// RIFF WAVE header.
bool walkHeader(WavHeaderInfo& header, std::FILE* file) {
    char id[4];
    uint32_t size = 0;
    if (!file || !readBytes(file, id, 4) || !sameId(id, "RIFF"))
        return false;
    if (!readU32(file, size))
        return false;
    if (!readBytes(file, id, 4) || !sameId(id, "WAVE"))
        return false;
    if (!readBytes(file, id, 4))
        return false;
    if (sameId(id, "LIST")) {
        if (!readU32(file, size) || !skipBytes(file, size) || !readBytes(file, id, 4))
            return false;
        // Chunks of odd size carry a pad byte that some writers honour.
        if (!sameId(id, "fmt ") && (size & 1)) {
            std::memmove(id, id + 1, 3);
            if (!readBytes(file, id + 3, 1))
                return false;
        }
    }
    if (!sameId(id, "fmt "))
        return false;

    WavHeaderInfo h;
    if (!readU32(file, h.fmtSize) || !readU16(file, h.formatTag) || !readU16(file, h.channels) ||
        !readU32(file, h.sampleRate) || !readU32(file, h.avgBytesPerSec) ||
        !readU16(file, h.blockAlign) || !readU16(file, h.bitsPerSample))
        return false;
    // A format chunk shorter than its fixed fields would have made us read the
    // next chunk as format data.
    if (h.fmtSize < 16)
        return false;
    uint32_t extension = h.fmtSize - 16;
    if (h.formatTag == WavExtensible && extension >= 24) {
        // The extensible layout names the real encoding in the first two bytes
        // of its sub-format identifier; the header then records that encoding.
        unsigned char ext[24];
        if (!readBytes(file, ext, 24))
            return false;
        h.formatTag = le::u16(ext + 8);
        extension -= 24;
    }
    if (extension > 0 && !skipBytes(file, extension))
        return false;

    // Search for "data" byte by byte, skipping "fact" chunks whole.
    char win[4];
    int have = 0;
    bool found = false;
    for (;;) {
        int ch = std::fgetc(file);
        if (ch == EOF)
            break;
        if (have < 4) {
            win[have++] = char(ch);
        } else {
            std::memmove(win, win + 1, 3);
            win[3] = char(ch);
        }
        if (have < 4)
            continue;
        if (sameId(win, "data")) {
            found = true;
            break;
        }
        if (sameId(win, "fact")) {
            if (!readU32(file, size) || !skipBytes(file, size))
                break;
            have = 0;
        }
    }
    if (!found || !readU32(file, h.dataSize))
        return false;
    header = h;
    return true;
}

enum class StreamRead { Decoded, NoHeader, NotDecoded };

StreamRead decodeStream(WavHeaderInfo& header, std::FILE* file, int32_t& frames, int16_t*& block) {
    frames = 0;
    if (!walkHeader(header, file))
        return StreamRead::NoHeader;
    if (header.channels == 0 || header.blockAlign == 0)
        return StreamRead::NotDecoded;
    const uint64_t bytes = std::min<uint64_t>(header.dataSize, bytesLeft(file));
    Decoded out;
    bool ok = false;
    switch (header.formatTag) {
    case WavPcm:
        ok = decodePcm(header, file, bytes, out);
        break;
    case WavFloat:
        ok = decodeFloat(header, file, bytes, out);
        break;
    case WavALaw:
        ok = decodeG711(header, file, bytes, out, aLawToSample);
        break;
    case WavMuLaw:
        ok = decodeG711(header, file, bytes, out, muLawToSample);
        break;
    case WavMsAdpcm:
        ok = decodeMsAdpcm(header, file, bytes, out);
        break;
    case WavImaAdpcm:
        ok = decodeIma(header, file, bytes, out);
        break;
    case WavGsm610:
        ok = decodeGsm(header, file, bytes, out);
        break;
    default:
        ok = false;
        break;
    }
    if (!ok)
        return StreamRead::NotDecoded;
    delete[] block;
    block = out.block.release();
    frames = out.frames;
    return StreamRead::Decoded;
}

} // namespace

bool readWavHeader(WavHeaderInfo& header, std::FILE* file, std::string& error) {
    if (walkHeader(header, file))
        return true;
    error = kUnknownFormatText;
    return false;
}

bool readWavStream(WavHeaderInfo& header, std::FILE* file, int32_t& frames, int16_t*& block,
                   std::string& error) {
    switch (decodeStream(header, file, frames, block)) {
    case StreamRead::Decoded:
        return true;
    case StreamRead::NoHeader:
        error = kUnknownFormatText;
        break;
    case StreamRead::NotDecoded:
        error = kFormatNotSupportedText;
        break;
    }
    return false;
}

bool readWavSamples(WavHeaderInfo& header, const std::string& fileName, int32_t& frames,
                    int16_t*& block) {
    frames = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"),
                                                         std::fclose);
    if (!file)
        return false;
    const StreamRead r = decodeStream(header, file.get(), frames, block);
    if (r == StreamRead::NoHeader)
        throw UnknownFormat();
    return r == StreamRead::Decoded;
}

void derivePcmHeader(const WavHeaderInfo& source, uint16_t channels, WavHeaderInfo& target) {
    target.fmtSize = 16;
    target.formatTag = WavPcm;
    target.channels = channels;
    target.sampleRate = source.sampleRate;
    target.blockAlign = uint16_t(2 * channels);
    target.bitsPerSample = 16;
    target.avgBytesPerSec = uint32_t(target.blockAlign) * source.sampleRate;
}

namespace {

void putU32(std::FILE* f, uint32_t v) {
    unsigned char b[4];
    le::put32(b, v);
    std::fwrite(b, 1, 4, f);
}

void putU16(std::FILE* f, uint16_t v) {
    unsigned char b[2];
    le::put16(b, v);
    std::fwrite(b, 1, 2, f);
}

void putId(std::FILE* f, const char* id) {
    std::fwrite(id, 1, 4, f);
}

} // namespace

bool writeMonoWav(uint32_t sampleRate, uint32_t bitsPerSample, uint32_t channels,
                  const std::string& fileName, uint32_t dataBytes, const void* data,
                  std::string& error) {
    base::SafeFileWriter out;
    std::FILE* f = out.open(fileName);
    if (!f) {
        error = out.error();
        return false;
    }
    putId(f, "RIFF");
    putU32(f, dataBytes + 38);
    putId(f, "WAVE");
    putId(f, "fmt ");
    putU32(f, 18);
    putU16(f, WavPcm);
    putU16(f, uint16_t(channels));
    putU32(f, sampleRate);
    putU32(f, (sampleRate * bitsPerSample * channels) >> 3);
    putU16(f, uint16_t((bitsPerSample * channels) >> 3));
    putU16(f, uint16_t(bitsPerSample));
    putU16(f, 0);
    putId(f, "data");
    putU32(f, dataBytes);
    if (dataBytes)
        std::fwrite(data, 1, dataBytes, f);
    if (out.commit())
        return true;
    error = out.error();
    return false;
}

void writeWavHeader(const WavHeaderInfo& h, std::FILE* stream) {
    if (!stream)
        return;
    putId(stream, "RIFF");
    putU32(stream, h.fmtSize + h.dataSize + 32);
    std::fwrite("WAVEfmt ", 1, 8, stream);
    putU32(stream, h.fmtSize);
    putU16(stream, h.formatTag);
    putU16(stream, h.channels);
    putU32(stream, h.sampleRate);
    putU32(stream, h.avgBytesPerSec);
    putU16(stream, h.blockAlign);
    putU16(stream, h.bitsPerSample);
    for (uint32_t i = 16; i < h.fmtSize; ++i)
        std::fputc(0, stream);
    putId(stream, "fact");
    putU32(stream, 4);
    for (int i = 0; i < 4; ++i)
        std::fputc(0, stream);
    putId(stream, "data");
    putU32(stream, h.dataSize);
}

namespace {

// Opens the temporary file of a whole-signal save and writes its header.
std::FILE* startPcmFile(base::SafeFileWriter& out, const std::string& fileName, uint32_t sampleRate,
                        uint16_t channels, std::size_t frames, std::string& error) {
    const uint64_t bytes = uint64_t(frames) * channels * 2;
    if (channels == 0 || bytes > 0xFFFFFFFFull - 48) {
        error = "cannot write " + fileName + ": signal too long for a WAV file";
        return nullptr;
    }
    WavHeaderInfo h;
    WavHeaderInfo src;
    src.sampleRate = sampleRate;
    derivePcmHeader(src, channels, h);
    h.dataSize = uint32_t(bytes);
    std::FILE* f = out.open(fileName);
    if (!f) {
        error = out.error();
        return nullptr;
    }
    writeWavHeader(h, f);
    return f;
}

bool finishPcmFile(base::SafeFileWriter& out, std::string& error) {
    if (out.commit())
        return true;
    error = out.error();
    return false;
}

} // namespace

bool writePcmWav(const std::string& fileName, uint32_t sampleRate, uint16_t channels,
                 const int16_t* interleaved, std::size_t frames, std::string& error) {
    base::SafeFileWriter out;
    std::FILE* f = startPcmFile(out, fileName, sampleRate, channels, frames, error);
    if (!f)
        return false;
    if (frames)
        std::fwrite(interleaved, sizeof(int16_t), frames * channels, f);
    return finishPcmFile(out, error);
}

bool writePcmWavChannels(const std::string& fileName, uint32_t sampleRate,
                         const int16_t* const* channels, uint16_t channelCount, std::size_t first,
                         std::size_t count, std::string& error) {
    base::SafeFileWriter out;
    std::FILE* f = startPcmFile(out, fileName, sampleRate, channelCount, count, error);
    if (!f)
        return false;
    // Interleave through a small buffer rather than a copy of the signal.
    constexpr std::size_t chunk = 8192;
    std::vector<int16_t> buf(chunk * channelCount);
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(chunk, count - done);
        for (std::size_t i = 0; i < n; ++i)
            for (uint16_t c = 0; c < channelCount; ++c)
                buf[i * channelCount + c] = channels[c][first + done + i];
        std::fwrite(buf.data(), sizeof(int16_t), n * channelCount, f);
        done += n;
    }
    return finishPcmFile(out, error);
}

} // namespace soundfile
