#pragma once
// WAV reading and writing: header reader, decoders of seven formats into
// interleaved 16-bit samples, the derived 16-bit PCM header, and the two
// written layouts. No UI code here.

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#pragma pack(push, 1)
struct WavHeaderInfo {
    uint32_t fmtSize = 0;        // size of the "fmt " chunk's body as stored
    uint16_t formatTag = 0;      // 1 PCM, 2 MS ADPCM, 3 float, 6 A-law, 7 mu-law, 17 IMA, 49 GSM
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;     // bytes per frame, or per compressed block
    uint16_t bitsPerSample = 0;
    uint32_t dataSize = 0;       // size of the "data" chunk's body as stored
};
#pragma pack(pop)
static_assert(sizeof(WavHeaderInfo) == 24, "WavHeaderInfo is a packed 24-byte record");

// Header of the file (or recording) read last, and the 16-bit PCM header derived from it.
extern WavHeaderInfo sourceHeader;
extern WavHeaderInfo pcmHeader;

// Raised by readWavHeader when the file is not a usable RIFF WAVE file; what() is "Unknown format".
class UnknownFormat : public std::runtime_error {
public:
    UnknownFormat() : std::runtime_error("Unknown format") {}
};

// Reads the header from `file` positioned at its start and leaves the file at
// the first byte of the data chunk's body. Throws UnknownFormat.
void readWavHeader(WavHeaderInfo& header, std::FILE* file);

// Opens `fileName`, refreshes `header` from it and decodes the whole data chunk
// into a new interleaved block (channels x frames int16, allocated with new[]).
// On success frees the caller's previous `block`, stores the new block and the
// frame count and returns true. Returns false with frames = 0 (block untouched)
// for an unsupported format or a file that cannot be opened. Throws
// UnknownFormat when the header cannot be read.
bool readWavSamples(WavHeaderInfo& header, const std::string& fileName, int32_t& frames,
                    int16_t*& block);

// Fills `target` as the 16-bit PCM header of a signal with the source's rate and
// `channels` channels. dataSize is left for the caller.
void derivePcmHeader(const WavHeaderInfo& source, uint16_t channels, WavHeaderInfo& target);

// Writes a one-channel-layout file (18-byte format chunk, no "fact"). Returns
// false when the file cannot be created or written.
bool writeMonoWav(uint32_t sampleRate, uint32_t bitsPerSample, uint32_t channels,
                  const std::string& fileName, uint32_t dataBytes, const void* data);

// Writes the stream-file header layout (format chunk of h.fmtSize bytes, "fact", "data").
void writeWavHeader(const WavHeaderInfo& h, std::FILE* stream);
