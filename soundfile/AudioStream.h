#pragma once
// Reading and writing sound files block by block, in memory that does not
// grow with the file. Readers deliver interleaved 16-bit frames of the
// source's channels; writers take interleaved 16-bit frames. RIFF/RF64 WAV
// goes through our own reader (the same decoders as the whole-file reader, so
// the samples are the same); FLAC, Ogg Vorbis, Opus, MP3, AIFF, CAF and
// Wave64 go through libsndfile. "-" names standard input or output (WAV only).
// Every failure is reported as `bool f(..., std::string& error)`.

#include "soundfile/Metadata.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace soundfile {

struct AudioInfo {
    uint32_t sampleRate = 0;
    int channels = 0;         // channels of the source (readers deliver all of them)
    int64_t frames = -1;      // -1 when the length is not known before the end
    bool exactFrames = false; // `frames` is exactly what the reader will deliver
    std::string container;    // "WAV", "RF64", "FLAC", "Ogg Vorbis", ...
    std::string encoding;     // "PCM 16-bit", "IMA ADPCM", ...
    AudioMetadata metadata;
};

class AudioReader {
  public:
    virtual ~AudioReader() = default;
    const AudioInfo& info() const { return info_; }
    // Reads up to `maxFrames` interleaved frames; `got` is 0 at the end.
    virtual bool read(int16_t* interleaved, std::size_t maxFrames, std::size_t& got,
                      std::string& error) = 0;
    // After the end: something the user should hear about that is not an
    // error (a pipe that ended before its header said), or empty.
    virtual std::string endNote() const { return {}; }

  protected:
    AudioInfo info_;
};

// Opens `path` ("-": standard input) and recognises the format by content.
bool openAudioReader(const std::string& path, std::unique_ptr<AudioReader>& reader,
                     std::string& error);

// Whether the first bytes of a file look like a format the readers know.
bool looksLikeAudio(const unsigned char* head, std::size_t n);
// Reads the first bytes of a file, enough for looksLikeAudio; returns how
// many it got (0 when the file cannot be opened).
constexpr std::size_t kFileHeadBytes = 16;
std::size_t readFileHead(const std::string& path, unsigned char (&head)[kFileHeadBytes]);
bool fileLooksLikeAudio(const std::string& path);

enum class OutputFormat { Wav, Flac };

// "wav" or "flac" (any case); false for anything else.
bool parseOutputFormat(const std::string& name, OutputFormat& format);
// The format an output name asks for by its extension: ".flac" gives FLAC,
// anything else WAV.
OutputFormat formatForPath(const std::string& path);
const char* extensionOf(OutputFormat f);

struct WriterSettings {
    OutputFormat format = OutputFormat::Wav;
    uint32_t sampleRate = 16000;
    int channels = 1;
    int64_t expectedFrames = -1; // -1: not known; the header is completed at the end
    bool overwrite = false;      // replace an existing file (atomically)
    AudioMetadata metadata;
    // WAV data above this many bytes is written as RF64. Tests lower it.
    uint64_t rf64Threshold = 0xFFFFFFFFull - 48;
};

class AudioWriter {
  public:
    virtual ~AudioWriter() = default;
    virtual bool write(const int16_t* interleaved, std::size_t frames, std::string& error) = 0;
    // Completes the file and puts it under its name. A writer destroyed
    // without finish() leaves nothing behind.
    virtual bool finish(std::string& error) = 0;
};

// Opens a writer for `path` ("-": standard output, WAV only). The file goes
// to a temporary name beside the target and appears only on finish(); an
// existing target is refused unless settings.overwrite.
bool openAudioWriter(const std::string& path, const WriterSettings& settings,
                     std::unique_ptr<AudioWriter>& writer, std::string& error);

// The same on an already open stream (no temporary file, no rename). The
// header is completed at the end when the stream can seek, and says "to the
// end of the stream" when it cannot and the length was not known.
std::unique_ptr<AudioWriter> wavStreamWriter(std::FILE* stream, const WriterSettings& settings);

// Our own WAV reader on an open stream; `seekable` tells whether it can seek.
// The stream stays the caller's.
bool openWavStreamReader(std::FILE* stream, bool seekable, std::unique_ptr<AudioReader>& reader,
                         std::string& error);

} // namespace soundfile
