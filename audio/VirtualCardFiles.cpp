#include "audio/VirtualCardFiles.h"

#include "base/SafeFile.h"
#include "soundfile/WavFile.h"
#include "soundfile/WavLoad.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace audio {

namespace {

// A 16-bit or 8-bit PCM WAV file written through a temporary file; the header
// is written with no data at the start and again with the data's size at the
// end.
class WavFileSink : public platform::VirtualOutputSink {
  public:
    explicit WavFileSink(const WAVEFORMATEX& format) : format_(format) {}

    bool open(const std::string& path, std::string& error) {
        file_ = out_.open(path);
        if (!file_) {
            error = out_.error();
            return false;
        }
        writeHeader();
        return true;
    }

    void write(const char* data, std::size_t bytes) override {
        std::fwrite(data, 1, bytes, file_);
        bytes_ += bytes;
    }

    bool close(std::string& error) override {
        std::fflush(file_);
        if (std::fseek(file_, 0, SEEK_SET) == 0)
            writeHeader();
        if (!out_.commit()) {
            error = out_.error();
            return false;
        }
        return true;
    }

  private:
    void writeHeader() {
        soundfile::WavHeaderInfo h;
        h.fmtSize = 16;
        h.formatTag = WAVE_FORMAT_PCM;
        h.channels = format_.nChannels;
        h.sampleRate = format_.nSamplesPerSec;
        h.avgBytesPerSec = format_.nSamplesPerSec * format_.nBlockAlign;
        h.blockAlign = format_.nBlockAlign;
        h.bitsPerSample = format_.wBitsPerSample;
        h.dataSize = static_cast<uint32_t>(std::min<uint64_t>(bytes_, 0xFFFFFFFFu - 64));
        soundfile::writeWavHeader(h, file_);
    }

    const WAVEFORMATEX format_;
    base::SafeFileWriter out_;
    std::FILE* file_ = nullptr;
    uint64_t bytes_ = 0;
};

} // namespace

platform::VirtualInput virtualInputFile(const std::string& path) {
    return [path](uint32_t, UINT, platform::VirtualInputSamples& out, std::string& error) {
        soundfile::LoadedWav wav;
        std::string message;
        if (!soundfile::loadWav(path, wav, message)) {
            error = "virtual input " + path + ": " + message;
            return false;
        }
        const std::size_t n = std::size_t(wav.frames) * wav.header.channels;
        out.samples.assign(wav.samples.get(), wav.samples.get() + n);
        out.channels = wav.header.channels;
        return true;
    };
}

platform::VirtualSinkOpener virtualOutputFile(const std::string& path) {
    return [path](const WAVEFORMATEX& format,
                  std::string& error) -> std::unique_ptr<platform::VirtualOutputSink> {
        auto sink = std::make_unique<WavFileSink>(format);
        std::string message;
        if (!sink->open(path, message)) {
            error = "virtual output " + path + ": " + message;
            return nullptr;
        }
        return sink;
    };
}

void useVirtualCardFiles() {
    platform::VirtualCardConfig c = platform::defaultVirtualCard();
    const char* in = std::getenv("SILVANE_AUDIO_IN");
    if (in && *in)
        c.input = virtualInputFile(in);
    const char* out = std::getenv("SILVANE_AUDIO_OUT");
    if (out && *out)
        c.outputSink = virtualOutputFile(out);
    platform::setDefaultVirtualCard(std::move(c));
}

} // namespace audio
