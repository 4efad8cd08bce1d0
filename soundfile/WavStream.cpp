// Our own WAV reader and writer, block by block. The reader decodes with the
// same conversions and block decoders as the whole-file reader; on a file it
// finds the data chunk with the whole-file header reader itself, so what that
// reader reads comes out sample for sample the same. RF64 files and streams
// that cannot seek (a pipe) are read by walking the chunks.

#include "base/SafeFile.h"
#include "soundfile/AudioStream.h"
#include "soundfile/LittleEndian.h"
#include "soundfile/WavFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include <unistd.h>

extern "C" {
#include <gsm.h>
}

namespace soundfile {

namespace {

constexpr uint64_t kToEnd = std::numeric_limits<uint64_t>::max();

// Data sizes written by programs that could not know the length (writing to a
// pipe): 0, the largest 32-bit value, and the 2 GiB - 4096 that some write. The
// data then go to the end of the stream, and may well pass 2 or 4 GiB.
bool sizeFromAPipe(uint32_t size) {
    return size == 0 || size == 0xFFFFFFFFu || size == 0x7FFFF000u;
}

// Sequential reading that skips by seeking when it can and by reading when not.
struct Input {
    std::FILE* f = nullptr;
    bool seekable = false;
    uint64_t pos = 0;

    bool read(void* dst, std::size_t n) {
        std::size_t got = std::fread(dst, 1, n, f);
        pos += got;
        return got == n;
    }
    bool skip(uint64_t n) {
        if (seekable) {
            if (n > uint64_t(std::numeric_limits<long>::max()) ||
                std::fseek(f, long(n), SEEK_CUR) != 0)
                return false;
            pos += n;
            return true;
        }
        unsigned char buf[4096];
        while (n > 0) {
            std::size_t want = std::size_t(std::min<uint64_t>(n, sizeof buf));
            if (!read(buf, want))
                return false;
            n -= want;
        }
        return true;
    }
};

// The fields of a "fmt " body, as the whole-file header reader takes them
// (an extensible chunk records the encoding its sub-format names).
bool parseFmt(const std::vector<unsigned char>& b, WavHeaderInfo& h) {
    if (b.size() < 16)
        return false;
    h.fmtSize = uint32_t(b.size());
    h.formatTag = le::u16(&b[0]);
    h.channels = le::u16(&b[2]);
    h.sampleRate = le::u32(&b[4]);
    h.avgBytesPerSec = le::u32(&b[8]);
    h.blockAlign = le::u16(&b[12]);
    h.bitsPerSample = le::u16(&b[14]);
    if (h.formatTag == WavExtensible && b.size() >= 16 + 24)
        h.formatTag = le::u16(&b[16 + 8]);
    return true;
}

void takeMetadataChunk(const char* id, const std::vector<unsigned char>& body,
                       AudioMetadata& meta) {
    if (!std::memcmp(id, "LIST", 4))
        parseInfoList(body.data(), body.size(), meta);
    else if (!std::memcmp(id, "bext", 4) && meta.bext.empty())
        meta.bext.assign(body.begin(), body.end());
}

struct Located {
    WavHeaderInfo header;
    uint64_t dataBytes = 0; // kToEnd: read to the end of the stream
    bool rf64 = false;
};

// Walks the chunks from the current position (just after the 12-byte form
// header) to the data chunk, taking the format, the 64-bit sizes of RF64 and
// metadata on the way.
bool walkToData(Input& in, bool rf64, Located& out, AudioMetadata& meta, std::string& error) {
    bool haveFmt = false;
    uint64_t ds64Data = 0;
    for (;;) {
        unsigned char ch[8];
        if (!in.read(ch, 8)) {
            error = haveFmt ? "no data chunk" : "no format chunk";
            return false;
        }
        const char* id = reinterpret_cast<const char*>(ch);
        const uint32_t size = le::u32(ch + 4);
        if (!std::memcmp(id, "data", 4)) {
            if (!haveFmt) {
                error = "data before the format chunk";
                return false;
            }
            uint64_t bytes = size;
            if (rf64 && size == 0xFFFFFFFFu)
                bytes = ds64Data ? ds64Data : kToEnd;
            else if (sizeFromAPipe(size))
                bytes = kToEnd;
            out.dataBytes = bytes;
            out.rf64 = rf64;
            return true;
        }
        const bool small = !std::memcmp(id, "fmt ", 4) || !std::memcmp(id, "ds64", 4) ||
                           ((!std::memcmp(id, "LIST", 4) || !std::memcmp(id, "bext", 4)) &&
                            size <= kMaxMetadataChunk);
        if (small) {
            if (size > kMaxMetadataChunk) {
                error = "chunk too large";
                return false;
            }
            std::vector<unsigned char> body(size);
            if (!in.read(body.data(), size)) {
                error = "truncated chunk";
                return false;
            }
            if (!std::memcmp(id, "fmt ", 4)) {
                if (!parseFmt(body, out.header)) {
                    error = "format chunk too short";
                    return false;
                }
                haveFmt = true;
            } else if (!std::memcmp(id, "ds64", 4)) {
                if (size >= 24)
                    ds64Data = le::u64(&body[8]);
            } else {
                takeMetadataChunk(id, body, meta);
            }
        } else if (!in.skip(size)) {
            error = "truncated chunk";
            return false;
        }
        if ((size & 1) && !in.skip(1)) {
            error = "truncated chunk";
            return false;
        }
    }
}

// Metadata of a seekable RIFF/RF64 file anywhere in it, before or after the
// data; stops quietly at anything malformed.
void scanMetadata(std::FILE* f, AudioMetadata& meta) {
    long here = std::ftell(f);
    if (here < 0 || std::fseek(f, 0, SEEK_END) != 0)
        return;
    const long end = std::ftell(f);
    unsigned char form[12];
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(form, 1, 12, f) == 12) {
        const bool rf64 = !std::memcmp(form, "RF64", 4) || !std::memcmp(form, "BW64", 4);
        uint64_t ds64Data = 0;
        long pos = 12;
        unsigned char ch[8];
        while (pos + 8 <= end && std::fseek(f, pos, SEEK_SET) == 0 &&
               std::fread(ch, 1, 8, f) == 8) {
            const char* id = reinterpret_cast<const char*>(ch);
            uint64_t size = le::u32(ch + 4);
            if (!std::memcmp(id, "data", 4)) {
                if (rf64 && size == 0xFFFFFFFFu)
                    size = ds64Data;
                if (size == 0 || size == 0xFFFFFFFFu)
                    break; // to the end: nothing follows
            }
            if (uint64_t(end - pos - 8) < size)
                break;
            const bool wanted = !std::memcmp(id, "LIST", 4) || !std::memcmp(id, "bext", 4) ||
                                !std::memcmp(id, "ds64", 4);
            if (wanted && size <= kMaxMetadataChunk) {
                std::vector<unsigned char> body(std::size_t(size), 0);
                if (std::fread(body.data(), 1, body.size(), f) != body.size())
                    break;
                if (!std::memcmp(id, "ds64", 4)) {
                    if (size >= 24)
                        ds64Data = le::u64(&body[8]);
                } else {
                    takeMetadataChunk(id, body, meta);
                }
            }
            pos += long(8 + size + (size & 1));
        }
    }
    std::clearerr(f);
    std::fseek(f, here, SEEK_SET);
}

const char* encodingName(const WavHeaderInfo& h) {
    switch (h.formatTag) {
    case WavPcm:
        return h.bitsPerSample <= 8    ? "PCM 8-bit"
               : h.bitsPerSample <= 16 ? "PCM 16-bit"
               : h.bitsPerSample <= 24 ? "PCM 24-bit"
                                       : "PCM 32-bit";
    case WavMsAdpcm:
        return "Microsoft ADPCM";
    case WavFloat:
        return "IEEE float";
    case WavALaw:
        return "A-law";
    case WavMuLaw:
        return "mu-law";
    case WavImaAdpcm:
        return "IMA ADPCM";
    case WavGsm610:
        return "GSM 6.10";
    default:
        return "unknown";
    }
}

class WavReader : public AudioReader {
  public:
    WavReader(std::FILE* f, bool seekable) {
        in_.f = f;
        in_.seekable = seekable;
    }
    ~WavReader() override {
        if (gsm_)
            gsm_destroy(gsm_);
    }

    bool open(std::string& error) {
        unsigned char form[12];
        if (!in_.read(form, 12) || std::memcmp(form + 8, "WAVE", 4) != 0) {
            error = kUnknownFormatText;
            return false;
        }
        const bool riff = !std::memcmp(form, "RIFF", 4);
        const bool rf64 = !std::memcmp(form, "RF64", 4) || !std::memcmp(form, "BW64", 4);
        if (!riff && !rf64) {
            error = kUnknownFormatText;
            return false;
        }
        Located loc;
        if (riff && in_.seekable) {
            // The window's header reader, so the data found is the data it finds.
            std::fseek(in_.f, 0, SEEK_SET);
            if (!readWavHeader(loc.header, in_.f, error))
                return false;
            long at = std::ftell(in_.f);
            in_.pos = at < 0 ? 0 : uint64_t(at);
            const uint32_t d = loc.header.dataSize;
            loc.dataBytes = sizeFromAPipe(d) ? kToEnd : d;
            scanMetadata(in_.f, info_.metadata);
        } else {
            std::string why;
            if (!walkToData(in_, rf64, loc, info_.metadata, why)) {
                error = std::string(kUnknownFormatText) + " (" + why + ")";
                return false;
            }
        }
        header_ = loc.header;
        if (in_.seekable) {
            // What the file holds, as the whole-file reader takes it.
            long here = std::ftell(in_.f);
            std::fseek(in_.f, 0, SEEK_END);
            long end = std::ftell(in_.f);
            std::fseek(in_.f, here, SEEK_SET);
            const uint64_t left = (here >= 0 && end > here) ? uint64_t(end - here) : 0;
            remaining_ = std::min(loc.dataBytes, left);
            // The window reads a short file as far as it goes; a copy made for
            // an archive must not come out shorter without a word.
            if (loc.dataBytes != kToEnd &&
                loc.dataBytes - remaining_ >= std::max<uint64_t>(header_.blockAlign, 2)) {
                error = "truncated: the data chunk declares " + std::to_string(loc.dataBytes) +
                        " bytes, the file holds " + std::to_string(remaining_);
                return false;
            }
        } else {
            remaining_ = loc.dataBytes;
        }
        if (!setUpDecoder()) {
            error = kFormatNotSupportedText;
            return false;
        }
        info_.sampleRate = header_.sampleRate;
        info_.channels = header_.channels;
        info_.container = loc.rf64 ? "RF64" : "WAV";
        info_.encoding = encodingName(header_);
        if (remaining_ != kToEnd) {
            info_.frames = framesIn(remaining_);
            info_.exactFrames = in_.seekable;
        }
        return true;
    }

    bool read(int16_t* out, std::size_t maxFrames, std::size_t& got, std::string& error) override {
        got = 0;
        const std::size_t C = header_.channels;
        while (got < maxFrames) {
            if (pendingPos_ < pending_.size()) {
                std::size_t n = std::min((pending_.size() - pendingPos_) / C, maxFrames - got);
                std::copy_n(pending_.data() + pendingPos_, n * C, out + got * C);
                pendingPos_ += n * C;
                got += n;
                continue;
            }
            if (!decodeMore(std::max<std::size_t>(maxFrames - got, 1)))
                break;
        }
        if (std::ferror(in_.f)) {
            error = "read error";
            return false;
        }
        // A program writing to a pipe puts an estimate in the header (sox for
        // MP3, say); the stream's end is the end. Only a file shorter than its
        // header is refused, at the start.
        return true;
    }

    std::string endNote() const override {
        if (missing_ == 0)
            return {};
        return "the stream ended " + std::to_string(missing_) +
               " bytes before its header said; all it held is cleaned";
    }

  private:
    int64_t framesIn(uint64_t bytes) const {
        const uint64_t B = header_.blockAlign;
        switch (header_.formatTag) {
        case WavMsAdpcm:
            return int64_t((bytes + B - 1) / B * uint64_t(S_));
        case WavImaAdpcm:
            return int64_t(bytes / B * uint64_t(S_));
        case WavGsm610:
            return int64_t(bytes / 65 * 320);
        default:
            return int64_t(bytes / B);
        }
    }

    bool setUpDecoder() {
        const unsigned C = header_.channels, B = header_.blockAlign;
        if (C == 0 || B == 0)
            return false;
        switch (header_.formatTag) {
        case WavPcm: {
            const unsigned width = B / C;
            return width >= 1 && width <= 4;
        }
        case WavFloat: {
            const unsigned width = B / C;
            return B == width * C && (width == 4 || width == 8);
        }
        case WavALaw:
        case WavMuLaw:
            for (int i = 0; i < 256; ++i)
                g711_[i] = header_.formatTag == WavALaw ? aLawToSample(uint8_t(i))
                                                        : muLawToSample(uint8_t(i));
            return B == C;
        case WavMsAdpcm:
            S_ = msAdpcmSamplesPerBlock(header_.blockAlign, header_.channels);
            return S_ > 0;
        case WavImaAdpcm:
            S_ = imaAdpcmSamplesPerBlock(header_.blockAlign, header_.channels);
            return header_.bitsPerSample == 4 && S_ > 0;
        case WavGsm610: {
            if (C != 1)
                return false;
            gsm_ = gsm_create();
            int one = 1;
            if (gsm_)
                gsm_option(gsm_, GSM_OPT_WAV49, &one);
            return gsm_ != nullptr;
        }
        default:
            return false;
        }
    }

    // Reads up to n bytes of the data chunk.
    std::size_t take(unsigned char* dst, std::size_t n) {
        if (remaining_ != kToEnd)
            n = std::size_t(std::min<uint64_t>(n, remaining_));
        std::size_t got = std::fread(dst, 1, n, in_.f);
        if (remaining_ != kToEnd) {
            if (got < n)
                missing_ = remaining_ - got;
            remaining_ -= got;
        }
        return got;
    }

    // Decodes the next piece of the data chunk into pending_; false at the end.
    bool decodeMore(std::size_t wantFrames) {
        pending_.clear();
        pendingPos_ = 0;
        if (remaining_ == 0)
            return false;
        const unsigned C = header_.channels, B = header_.blockAlign;
        switch (header_.formatTag) {
        case WavPcm:
        case WavFloat:
        case WavALaw:
        case WavMuLaw: {
            const std::size_t frames =
                std::min<std::size_t>(wantFrames, std::max<std::size_t>(1, 65536 / B));
            raw_.resize(frames * B);
            const std::size_t got =
                take(raw_.data(), raw_.size()) / B; // a partial last frame is dropped
            if (got == 0) {
                remaining_ = 0;
                return false;
            }
            pending_.resize(got * C);
            convertFrames(got);
            return true;
        }
        case WavMsAdpcm: {
            raw_.resize(B);
            std::size_t got = take(raw_.data(), B);
            if (got == 0) {
                remaining_ = 0;
                return false;
            }
            std::fill(raw_.begin() + got, raw_.end(), 0); // a short last block, zero-padded
            pending_.resize(std::size_t(S_) * C);
            decodeMsAdpcmBlockInto(raw_.data(), header_.blockAlign, header_.channels,
                                   pending_.data(), scratchA_, scratchB_);
            return true;
        }
        case WavImaAdpcm: {
            raw_.resize(B);
            if (take(raw_.data(), B) != B) { // a trailing partial block is dropped
                remaining_ = 0;
                return false;
            }
            pending_.resize(std::size_t(S_) * C);
            decodeImaBlockInto(raw_.data(), header_.blockAlign, header_.channels, pending_.data(),
                               scratchA_, scratch32_);
            return true;
        }
        case WavGsm610: {
            raw_.resize(65);
            if (take(raw_.data(), 65) != 65) {
                remaining_ = 0;
                return false;
            }
            pending_.resize(320);
            gsm_decode(gsm_, raw_.data(), pending_.data());
            gsm_decode(gsm_, raw_.data() + 33, pending_.data() + 160);
            return true;
        }
        default:
            return false;
        }
    }

    void convertFrames(std::size_t frames) {
        const unsigned C = header_.channels, B = header_.blockAlign, width = B / C;
        int16_t* dst = pending_.data();
        for (std::size_t i = 0; i < frames; ++i) {
            const unsigned char* fr = raw_.data() + i * B;
            for (unsigned c = 0; c < C; ++c) {
                const unsigned char* p = fr + c * width;
                int16_t s = 0;
                switch (header_.formatTag) {
                case WavPcm:
                    s = pcmToSample(p, width);
                    break;
                case WavFloat:
                    s = floatBytesToSample(p, width);
                    break;
                default:
                    s = g711_[p[0]];
                    break;
                }
                dst[i * C + c] = s;
            }
        }
    }

    Input in_;
    WavHeaderInfo header_;
    uint64_t remaining_ = 0;
    uint64_t missing_ = 0; // bytes of the data chunk the stream did not deliver
    int32_t S_ = 0;
    int16_t g711_[256] = {};
    gsm gsm_ = nullptr;
    std::vector<unsigned char> raw_;
    std::vector<int16_t> pending_;
    std::size_t pendingPos_ = 0;
    std::vector<int> scratchA_, scratchB_;
    std::vector<int32_t> scratch32_;
};

// ---------------------------------------------------------------------------
// Writer

class WavWriter : public AudioWriter {
  public:
    // `file` null: write to `stream` as it is (standard output).
    WavWriter(std::unique_ptr<base::SafeFileWriter> file, std::FILE* stream,
              const WriterSettings& settings)
        : file_(std::move(file)), f_(file_ ? file_->stream() : stream), settings_(settings) {
        seekable_ = std::ftell(f_) >= 0 && std::fseek(f_, 0, SEEK_CUR) == 0;
        trailer_ = infoListChunk(settings_.metadata);
        auto bext = bextChunk(settings_.metadata);
        trailer_.insert(trailer_.end(), bext.begin(), bext.end());
        if (!seekable_ && settings_.expectedFrames < 0)
            trailer_.clear(); // a reader would take it for samples
        const uint64_t expected =
            settings_.expectedFrames < 0 ? 0 : uint64_t(settings_.expectedFrames) * frameBytes();
        rf64_ = expected + trailer_.size() > settings_.rf64Threshold;
        writeHeader(settings_.expectedFrames < 0 ? -1 : int64_t(expected));
    }

    bool write(const int16_t* interleaved, std::size_t frames, std::string& error) override {
        if (frames == 0)
            return true;
        // Little-endian on disk; this machine is little-endian as well.
        if (std::fwrite(interleaved, frameBytes(), frames, f_) != frames) {
            error = "cannot write " + where() + ": write error";
            return false;
        }
        frames_ += frames;
        return true;
    }

    bool finish(std::string& error) override {
        const uint64_t bytes = frames_ * frameBytes();
        const bool sizesRight =
            settings_.expectedFrames >= 0 && uint64_t(settings_.expectedFrames) == frames_;
        if (!trailer_.empty() &&
            std::fwrite(trailer_.data(), 1, trailer_.size(), f_) != trailer_.size()) {
            error = "cannot write " + where() + ": write error";
            return false;
        }
        if (!sizesRight) {
            if (!seekable_) {
                if (settings_.expectedFrames >= 0) {
                    error = where() + ": the source ended early; the header announced more frames";
                    return false;
                }
            } else {
                if (!rf64_ && bytes + trailer_.size() > settings_.rf64Threshold &&
                    !becomeRf64(error))
                    return false;
                if (std::fseek(f_, 0, SEEK_SET) != 0) {
                    error = "cannot write " + where() + ": cannot seek";
                    return false;
                }
                writeHeader(int64_t(bytes));
                std::fseek(f_, 0, SEEK_END);
            }
        }
        if (file_) {
            if (!file_->commit(settings_.overwrite)) {
                error = file_->error();
                return false;
            }
            return true;
        }
        if (std::fflush(f_) != 0 || std::ferror(f_)) {
            error = "cannot write " + where() + ": write error";
            return false;
        }
        return true;
    }

  private:
    uint64_t frameBytes() const { return uint64_t(settings_.channels) * 2; }
    std::string where() const { return file_ ? "the output" : "standard output"; }
    std::size_t headerBytes() const { return rf64_ ? 80 : 56; }

    // dataBytes < 0: not known, the sizes say "to the end".
    void writeHeader(int64_t dataBytes) {
        WavHeaderInfo h, src;
        src.sampleRate = settings_.sampleRate;
        derivePcmHeader(src, uint16_t(settings_.channels), h);
        const uint64_t data = dataBytes < 0 ? 0 : uint64_t(dataBytes);
        const uint64_t riff = 4 + 8 + 16 + (rf64_ ? 8 + 28 : 12) + 8 + data + trailer_.size();
        if (!rf64_) {
            // The layout the window writes, with the RIFF size counting what
            // follows the data as well.
            h.dataSize = dataBytes < 0 ? 0xFFFFFFFFu : uint32_t(data);
            unsigned char b[64] = {};
            if (std::FILE* mem = fmemopen(b, sizeof b, "wb")) {
                writeWavHeader(h, mem);
                std::fclose(mem);
            }
            le::put32(b + 4, dataBytes < 0 ? 0xFFFFFFFFu : uint32_t(riff));
            std::fwrite(b, 1, 56, f_);
            return;
        }
        unsigned char b[80] = {};
        std::memcpy(b, "RF64", 4);
        le::put32(b + 4, 0xFFFFFFFFu);
        std::memcpy(b + 8, "WAVEds64", 8);
        le::put32(b + 16, 28);
        le::put64(b + 20, dataBytes < 0 ? 0 : riff);
        le::put64(b + 28, data);
        le::put64(b + 36, data / frameBytes());
        le::put32(b + 44, 0); // no table
        std::memcpy(b + 48, "fmt ", 4);
        le::put32(b + 52, 16);
        le::put16(b + 56, WavPcm);
        le::put16(b + 58, h.channels);
        le::put32(b + 60, h.sampleRate);
        le::put32(b + 64, h.avgBytesPerSec);
        le::put16(b + 68, h.blockAlign);
        le::put16(b + 70, 16);
        std::memcpy(b + 72, "data", 4);
        le::put32(b + 76, 0xFFFFFFFFu);
        std::fwrite(b, 1, 80, f_);
    }

    // The data outgrew the RIFF header: move everything after it back by the
    // difference so the RF64 header fits (only when the length was not known).
    bool becomeRf64(std::string& error) {
        std::fflush(f_);
        const int fd = fileno(f_);
        std::fseek(f_, 0, SEEK_END);
        const long endL = std::ftell(f_);
        if (endL < 0)
            return false;
        const uint64_t end = uint64_t(endL), shift = 80 - 56;
        std::vector<unsigned char> buf(1 << 20);
        uint64_t pos = end;
        while (pos > 56) {
            const uint64_t n = std::min<uint64_t>(buf.size(), pos - 56);
            pos -= n;
            if (::pread(fd, buf.data(), n, off_t(pos)) != ssize_t(n) ||
                ::pwrite(fd, buf.data(), n, off_t(pos + shift)) != ssize_t(n)) {
                error = "cannot write " + where() + ": cannot rewrite as RF64";
                return false;
            }
        }
        rf64_ = true;
        return true;
    }

    std::unique_ptr<base::SafeFileWriter> file_;
    std::FILE* f_;
    WriterSettings settings_;
    bool seekable_ = false;
    bool rf64_ = false;
    uint64_t frames_ = 0;
    std::vector<unsigned char> trailer_;
};

} // namespace

bool openWavStreamReader(std::FILE* stream, bool seekable, std::unique_ptr<AudioReader>& reader,
                         std::string& error) {
    auto r = std::make_unique<WavReader>(stream, seekable);
    if (!r->open(error))
        return false;
    reader = std::move(r);
    return true;
}

std::unique_ptr<AudioWriter> wavStreamWriter(std::FILE* stream, const WriterSettings& settings) {
    return std::make_unique<WavWriter>(nullptr, stream, settings);
}

std::unique_ptr<AudioWriter> makeWavFileWriter(std::unique_ptr<base::SafeFileWriter> file,
                                               const WriterSettings& settings) {
    return std::make_unique<WavWriter>(std::move(file), nullptr, settings);
}

} // namespace soundfile
