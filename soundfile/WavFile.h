#pragma once
// WAV reading and writing: header reader, decoders of seven formats into
// interleaved 16-bit samples, the derived 16-bit PCM header, and the two
// written layouts. No UI code here.

#include "soundfile/LittleEndian.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace soundfile {

#pragma pack(push, 1)
struct WavHeaderInfo {
    uint32_t fmtSize = 0;   // size of the "fmt " chunk's body as stored
    uint16_t formatTag = 0; // 1 PCM, 2 MS ADPCM, 3 float, 6 A-law, 7 mu-law, 17 IMA, 49 GSM
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0; // bytes per frame, or per compressed block
    uint16_t bitsPerSample = 0;
    uint32_t dataSize = 0; // size of the "data" chunk's body as stored
};
#pragma pack(pop)
static_assert(sizeof(WavHeaderInfo) == 24, "WavHeaderInfo is a packed 24-byte record");

// Header of the file (or recording) read last, and the 16-bit PCM header derived from it.
extern WavHeaderInfo sourceHeader;
extern WavHeaderInfo pcmHeader;

enum WavFormatTag : uint16_t {
    WavPcm = 1,
    WavMsAdpcm = 2,
    WavFloat = 3,
    WavALaw = 6,
    WavMuLaw = 7,
    WavImaAdpcm = 17,
    WavGsm610 = 49,
    WavExtensible = 0xFFFE, // read as the encoding its sub-format names
};

// The reasons the readers give: a file that is not a usable RIFF WAVE file,
// and one whose header is read but whose encoding is not decoded.
extern const char* const kUnknownFormatText; // "Unknown format"
extern const char* const kFormatNotSupportedText;

// Raised by readWavSamples when the file is not a usable RIFF WAVE file, for
// the window's open commands to show; what() is kUnknownFormatText.
class UnknownFormat : public std::runtime_error {
  public:
    UnknownFormat() : std::runtime_error(kUnknownFormatText) {}
};

// Reads the header from `file` positioned at its start and leaves the file at
// the first byte of the data chunk's body. An extensible format chunk is recorded
// with the format tag of its sub-format. False with kUnknownFormatText in
// `error` when the file is not a usable RIFF WAVE file; `header` is then unchanged.
bool readWavHeader(WavHeaderInfo& header, std::FILE* file, std::string& error);

// Opens `fileName`, refreshes `header` from it and decodes the whole data chunk
// into a new interleaved block (channels x frames int16, allocated with new[]).
// On success frees the caller's previous `block`, stores the new block and the
// frame count and returns true. Returns false with frames = 0 (block untouched)
// for an unsupported format or a file that cannot be opened. Throws
// UnknownFormat when the header cannot be read.
//
// A data chunk that claims more bytes than the file holds is decoded as far as
// the file goes; the frame count follows the bytes actually present, and any
// part of the block that no byte fills (the tail of a short compressed block)
// is silence.
bool readWavSamples(WavHeaderInfo& header, const std::string& fileName, int32_t& frames,
                    int16_t*& block);

// The same from an already open stream positioned at the start of the file
// (the stream is left open), without an exception: false with frames = 0 and
// kUnknownFormatText or kFormatNotSupportedText in `error`.
bool readWavStream(WavHeaderInfo& header, std::FILE* file, int32_t& frames, int16_t*& block,
                   std::string& error);

// Frames per compressed block for the block-coded formats, 0 when the block
// geometry is unusable. Exposed for the callers that size buffers and for tests.
int32_t msAdpcmSamplesPerBlock(uint16_t blockAlign, uint16_t channels);
int32_t imaAdpcmSamplesPerBlock(uint16_t blockAlign, uint16_t channels);

// One compressed block (blockAlign bytes, a short last block zero-padded by
// the caller) into its interleaved frames, exactly as the whole-file reader
// decodes it; the vectors are scratch space. Used by the streaming reader.
void decodeMsAdpcmBlockInto(const unsigned char* in, uint16_t blockAlign, uint16_t channels,
                            int16_t* out, std::vector<int>& pred, std::vector<int>& delta);
void decodeImaBlockInto(const unsigned char* in, uint16_t blockAlign, uint16_t channels,
                        int16_t* out, std::vector<int>& index, std::vector<int32_t>& frameOf);

// Single-sample conversions of the simple formats.
int16_t pcm8ToSample(uint8_t b);
int16_t floatToSample(float x);
int16_t aLawToSample(uint8_t code);
int16_t muLawToSample(uint8_t code);

// One little-endian integer PCM sample of `width` bytes (1 to 4, 8-bit
// unsigned); samples wider than 16 bits keep their 16 most significant bits.
inline int16_t pcmToSample(const unsigned char* p, unsigned width) {
    if (width == 1)
        return pcm8ToSample(p[0]);
    return le::s16(p + width - 2);
}

// One IEEE float sample of `width` bytes (4 or 8).
inline int16_t floatBytesToSample(const unsigned char* p, unsigned width) {
    if (width == 4) {
        float x;
        std::memcpy(&x, p, 4);
        return floatToSample(x);
    }
    double x;
    std::memcpy(&x, p, 8);
    return floatToSample(float(x));
}

// Fills `target` as the 16-bit PCM header of a signal with the source's rate and
// `channels` channels. dataSize is left for the caller.
void derivePcmHeader(const WavHeaderInfo& source, uint16_t channels, WavHeaderInfo& target);

// Writes a one-channel-layout file (18-byte format chunk, no "fact"). Returns
// false with the reason in `error` when the file cannot be created or
// written; then no file is left under `fileName` (an existing one stays as
// it was).
bool writeMonoWav(uint32_t sampleRate, uint32_t bitsPerSample, uint32_t channels,
                  const std::string& fileName, uint32_t dataBytes, const void* data,
                  std::string& error);

// Writes the stream-file header layout (format chunk of h.fmtSize bytes, "fact", "data").
// A null stream is ignored.
void writeWavHeader(const WavHeaderInfo& h, std::FILE* stream);

// Writes `frames` interleaved 16-bit frames of `channels` channels as a whole
// signal file (header writer layout with its "fact" chunk). The file appears
// under `fileName` only when it was written completely; on failure `error`
// says why and returns false.
bool writePcmWav(const std::string& fileName, uint32_t sampleRate, uint16_t channels,
                 const int16_t* interleaved, std::size_t frames, std::string& error);

// The same from planar channel arrays: frames first ... first + count - 1 of
// channels[0 .. channelCount - 1], interleaved as they are written.
bool writePcmWavChannels(const std::string& fileName, uint32_t sampleRate,
                         const int16_t* const* channels, uint16_t channelCount, std::size_t first,
                         std::size_t count, std::string& error);

} // namespace soundfile
