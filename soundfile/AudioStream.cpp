// Choosing a reader by content and a writer by the requested format; the
// libsndfile reader and FLAC writer.

#include "soundfile/AudioStream.h"
#include "base/SafeFile.h"
#include "base/Text.h"
#include "soundfile/WavFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace soundfile {

std::unique_ptr<AudioWriter> makeWavFileWriter(std::unique_ptr<base::SafeFileWriter> file,
                                               const WriterSettings& settings);

namespace {

// Tags libsndfile reads from and writes to FLAC and Ogg, with the INFO id
// that carries the same meaning in a WAV file.
const struct {
    int sfType;
    const char* infoId;
} kTagMap[] = {
    {SF_STR_TITLE, "INAM"}, {SF_STR_ARTIST, "IART"},    {SF_STR_COMMENT, "ICMT"},
    {SF_STR_DATE, "ICRD"},  {SF_STR_COPYRIGHT, "ICOP"}, {SF_STR_SOFTWARE, "ISFT"},
    {SF_STR_ALBUM, "IPRD"}, {SF_STR_GENRE, "IGNR"},     {SF_STR_TRACKNUMBER, "ITRK"},
};

bool isWavForm(const unsigned char* h, std::size_t n) {
    return n >= 12 && std::memcmp(h + 8, "WAVE", 4) == 0 &&
           (!std::memcmp(h, "RIFF", 4) || !std::memcmp(h, "RF64", 4) || !std::memcmp(h, "BW64", 4));
}

const char* containerName(int format) {
    switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_FLAC:
        return "FLAC";
    case SF_FORMAT_OGG:
        return (format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS ? "Ogg Opus" : "Ogg Vorbis";
    case SF_FORMAT_MPEG:
        return "MP3";
    case SF_FORMAT_AIFF:
        return "AIFF";
    case SF_FORMAT_CAF:
        return "CAF";
    case SF_FORMAT_W64:
        return "Wave64";
    case SF_FORMAT_RF64:
        return "RF64";
    case SF_FORMAT_WAV:
        return "WAV";
    default:
        return "other";
    }
}

bool lossySubtype(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_VORBIS:
    case SF_FORMAT_OPUS:
    case SF_FORMAT_MPEG_LAYER_I:
    case SF_FORMAT_MPEG_LAYER_II:
    case SF_FORMAT_MPEG_LAYER_III:
        return true;
    default:
        return false;
    }
}

// Codecs whose samples are floating point: read as float and rounded to 16
// bits with saturation (a lossy decoder's overshoot must not wrap around).
bool floatSubtype(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
        return true;
    default:
        return lossySubtype(format);
    }
}

std::string subtypeName(int format) {
    SF_FORMAT_INFO fi{};
    fi.format = format & SF_FORMAT_SUBMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &fi, sizeof fi) == 0 && fi.name)
        return fi.name;
    return "unknown";
}

class SndfileReader : public AudioReader {
  public:
    ~SndfileReader() override {
        if (sf_)
            sf_close(sf_);
    }

    bool open(const std::string& path, std::string& error) {
        SF_INFO si{};
        sf_ = sf_open(path.c_str(), SFM_READ, &si);
        if (!sf_) {
            error = fileLooksLikeAudio(path) ? std::string("cannot decode: ") + sf_strerror(nullptr)
                                             : kUnknownFormatText;
            return false;
        }
        if (si.channels <= 0 || si.samplerate <= 0) {
            error = kUnknownFormatText;
            return false;
        }
        format_ = si.format;
        info_.sampleRate = uint32_t(si.samplerate);
        info_.channels = si.channels;
        info_.container = containerName(si.format);
        info_.encoding = subtypeName(si.format);
        const bool lengthKnown = si.frames >= 0 && si.frames != SF_COUNT_MAX;
        if (!lengthKnown && (si.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG) {
            // A whole Ogg file ends on a page that gives its length.
            error = "damaged or truncated: the stream's end cannot be found";
            return false;
        }
        info_.frames = lengthKnown ? si.frames : -1;
        info_.exactFrames = lengthKnown && !lossySubtype(si.format);
        for (const auto& t : kTagMap)
            if (const char* v = sf_get_string(sf_, t.sfType); v && *v)
                info_.metadata.info.emplace_back(t.infoId, v);
        return true;
    }

    bool read(int16_t* out, std::size_t maxFrames, std::size_t& got, std::string& error) override {
        got = 0;
        if (maxFrames == 0)
            return true;
        sf_count_t n;
        if (floatSubtype(format_)) {
            buf_.resize(maxFrames * std::size_t(info_.channels));
            n = sf_readf_float(sf_, buf_.data(), sf_count_t(maxFrames));
            for (std::size_t i = 0; i < std::size_t(std::max<sf_count_t>(n, 0)) * info_.channels;
                 ++i) {
                const float x = buf_[i];
                const long v =
                    std::isnan(x) ? 0 : std::lrint(std::clamp(x, -2.0f, 2.0f) * 32767.0f);
                out[i] = int16_t(std::clamp<long>(v, -32768, 32767));
            }
        } else {
            n = sf_readf_short(sf_, out, sf_count_t(maxFrames));
        }
        if (n < 0 || sf_error(sf_) != SF_ERR_NO_ERROR) {
            error = std::string("damaged data: ") + sf_strerror(sf_);
            return false;
        }
        got = std::size_t(n);
        delivered_ += n;
        // Decoders stop quietly at a damaged or missing part; the length the
        // container announced tells. An MP3 length may be an estimate (no
        // frame count in the file), so only a clear shortfall counts there.
        const bool mp3 = (format_ & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
        const int64_t expected = mp3 ? info_.frames - info_.frames / 100 : info_.frames;
        if (got == 0 && info_.frames > 0 && delivered_ < expected) {
            error = "damaged or truncated: " + std::to_string(delivered_) + " of " +
                    std::to_string(info_.frames) + " frames decodable";
            return false;
        }
        return true;
    }

  private:
    SNDFILE* sf_ = nullptr;
    int format_ = 0;
    int64_t delivered_ = 0;
    std::vector<float> buf_;
};

// Owns the FILE* of a WAV file read through our own reader.
class OwnedFileReader : public AudioReader {
  public:
    OwnedFileReader(std::FILE* f, std::unique_ptr<AudioReader> inner)
        : f_(f), inner_(std::move(inner)) {
        info_ = inner_->info();
    }
    ~OwnedFileReader() override {
        inner_.reset();
        std::fclose(f_);
    }
    bool read(int16_t* out, std::size_t maxFrames, std::size_t& got, std::string& error) override {
        return inner_->read(out, maxFrames, got, error);
    }
    std::string endNote() const override { return inner_->endNote(); }

  private:
    std::FILE* f_;
    std::unique_ptr<AudioReader> inner_;
};

class FlacWriter : public AudioWriter {
  public:
    FlacWriter(std::unique_ptr<base::SafeFileWriter> file, const WriterSettings& settings)
        : file_(std::move(file)), settings_(settings) {}
    ~FlacWriter() override {
        if (sf_)
            sf_close(sf_);
    }

    bool open(std::string& error) {
        SF_INFO si{};
        si.samplerate = int(settings_.sampleRate);
        si.channels = settings_.channels;
        si.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        sf_ = sf_open_fd(fileno(file_->stream()), SFM_WRITE, &si, SF_FALSE);
        if (!sf_) {
            error = std::string("cannot write FLAC: ") + sf_strerror(nullptr);
            return false;
        }
        for (const auto& [id, value] : settings_.metadata.info)
            for (const auto& t : kTagMap)
                if (id == t.infoId)
                    sf_set_string(sf_, t.sfType, value.c_str());
        return true;
    }

    bool write(const int16_t* interleaved, std::size_t frames, std::string& error) override {
        if (sf_writef_short(sf_, interleaved, sf_count_t(frames)) != sf_count_t(frames)) {
            error = std::string("cannot write FLAC: ") + sf_strerror(sf_);
            return false;
        }
        return true;
    }

    bool finish(std::string& error) override {
        const int rc = sf_close(sf_);
        sf_ = nullptr;
        if (rc != 0) {
            error = "cannot write FLAC: " + std::string(sf_error_number(rc));
            return false;
        }
        if (!file_->commit(settings_.overwrite)) {
            error = file_->error();
            return false;
        }
        return true;
    }

  private:
    std::unique_ptr<base::SafeFileWriter> file_;
    WriterSettings settings_;
    SNDFILE* sf_ = nullptr;
};

} // namespace

bool looksLikeAudio(const unsigned char* h, std::size_t n) {
    auto is = [&](const char* magic, std::size_t at = 0) {
        const std::size_t len = std::strlen(magic);
        return n >= at + len && std::memcmp(h + at, magic, len) == 0;
    };
    if (isWavForm(h, n))
        return true;
    if (is("fLaC") || is("OggS") || is("caff") || is("ID3"))
        return true;
    if (is("FORM") && (is("AIFF", 8) || is("AIFC", 8)))
        return true;
    if (is("riff") && n >= 16 && h[4] == 0x2E && h[5] == 0x91 && h[6] == 0xCF)
        return true; // Wave64
    // An MPEG audio frame: 11 sync bits, a layer, a valid bit rate and rate.
    if (n >= 4 && h[0] == 0xFF && (h[1] & 0xE0) == 0xE0 && (h[1] & 0x06) != 0 &&
        (h[2] & 0xF0) != 0xF0 && (h[2] & 0x0C) != 0x0C)
        return true;
    return false;
}

std::size_t readFileHead(const std::string& path, unsigned char (&head)[kFileHeadBytes]) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return 0;
    const std::size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return n;
}

bool fileLooksLikeAudio(const std::string& path) {
    unsigned char h[kFileHeadBytes];
    return looksLikeAudio(h, readFileHead(path, h));
}

bool openAudioReader(const std::string& path, std::unique_ptr<AudioReader>& reader,
                     std::string& error) {
    if (path == "-") {
        if (!openWavStreamReader(stdin, false, reader, error)) {
            error = "standard input: " + error + " (a WAV stream is expected)";
            return false;
        }
        return true;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        error = "cannot open " + path + ": is a directory";
        return false;
    }
    unsigned char head[12];
    const std::size_t n = std::fread(head, 1, sizeof head, f);
    if (isWavForm(head, n)) {
        std::rewind(f);
        std::unique_ptr<AudioReader> r;
        const bool seekable = S_ISREG(st.st_mode);
        if (!openWavStreamReader(f, seekable, r, error)) {
            std::fclose(f);
            // An encoding our reader does not decode may still be one
            // libsndfile knows (G.721, 24-bit float, ...).
            std::string other;
            auto s = std::make_unique<SndfileReader>();
            if (seekable && error == kFormatNotSupportedText && s->open(path, other)) {
                reader = std::move(s);
                return true;
            }
            error = path + ": " + error;
            return false;
        }
        reader = std::make_unique<OwnedFileReader>(f, std::move(r));
        return true;
    }
    std::fclose(f);
    auto r = std::make_unique<SndfileReader>();
    if (!r->open(path, error)) {
        error = path + ": " + error;
        return false;
    }
    reader = std::move(r);
    return true;
}

bool parseOutputFormat(const std::string& name, OutputFormat& format) {
    const std::string n = base::lowerAscii(name);
    if (n == "wav")
        format = OutputFormat::Wav;
    else if (n == "flac")
        format = OutputFormat::Flac;
    else
        return false;
    return true;
}

OutputFormat formatForPath(const std::string& path) {
    const auto dot = path.rfind('.');
    OutputFormat f = OutputFormat::Wav;
    if (dot != std::string::npos && path.find('/', dot) == std::string::npos)
        parseOutputFormat(path.substr(dot + 1), f);
    return f;
}

const char* extensionOf(OutputFormat f) {
    return f == OutputFormat::Flac ? ".flac" : ".wav";
}

bool openAudioWriter(const std::string& path, const WriterSettings& settings,
                     std::unique_ptr<AudioWriter>& writer, std::string& error) {
    if (settings.channels < 1 || settings.channels > 2 || settings.sampleRate == 0) {
        error = "cannot write " + path + ": unsupported channel count or rate";
        return false;
    }
    if (path == "-") {
        if (settings.format != OutputFormat::Wav) {
            error = "standard output takes WAV only";
            return false;
        }
        writer = wavStreamWriter(stdout, settings);
        return true;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error = path + " is a directory; name the output file";
        return false;
    }
    if (!settings.overwrite && ::access(path.c_str(), F_OK) == 0) {
        error = path + " exists (use -y to replace it)";
        return false;
    }
    auto file = std::make_unique<base::SafeFileWriter>();
    if (!file->open(path)) {
        error = file->error();
        return false;
    }
    if (settings.format == OutputFormat::Flac) {
        auto w = std::make_unique<FlacWriter>(std::move(file), settings);
        if (!w->open(error))
            return false;
        writer = std::move(w);
        return true;
    }
    writer = makeWavFileWriter(std::move(file), settings);
    return true;
}

} // namespace soundfile
