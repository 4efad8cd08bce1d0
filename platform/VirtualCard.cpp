#include "platform/VirtualCard.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

namespace platform {

using platform::DeviceStream;
using platform::Direction;
using platform::WaveStream;

namespace {

constexpr std::size_t ChunkFrames = 4096;                     // frames per render/capture call
constexpr auto RealTimePeriod = std::chrono::milliseconds(5); // tick of the real-time card
constexpr double ToneHz = 440.0;
constexpr double TwoPi = 6.283185307179586;
constexpr double ToneAmplitude = 8225.0; // -12 dBFS
constexpr int NoiseAmplitude = 567;      // uniform, RMS -40 dBFS

class VirtualBackend;
std::mutex gCardMutex;
VirtualBackend* gCard = nullptr; // the installed card, for advance() and the tap

// The samples an input stream delivers.
class InputSource {
  public:
    void useSamples(VirtualInputSamples s) {
        channels_ = std::max<UINT>(1, s.channels);
        samples_ = std::move(s.samples);
        useSamples_ = true;
    }

    void fill(int16_t* out, std::size_t frames, UINT channels, uint32_t rate) {
        for (std::size_t i = 0; i < frames; ++i, out += channels) {
            if (useSamples_)
                sampleFrame(out, channels);
            else
                toneFrame(out, channels, rate);
        }
    }

  private:
    void sampleFrame(int16_t* out, UINT channels) {
        const std::size_t total = samples_.size() / channels_;
        if (total == 0) {
            std::fill(out, out + channels, 0);
            return;
        }
        const int16_t* f = samples_.data() + pos_ * channels_;
        if (channels_ == channels) {
            std::copy(f, f + channels, out);
        } else if (channels == 1) {
            long sum = 0;
            for (UINT c = 0; c < channels_; ++c)
                sum += f[c];
            out[0] = static_cast<int16_t>(sum / long(channels_));
        } else {
            for (UINT c = 0; c < channels; ++c)
                out[c] = f[std::min(c, channels_ - 1)];
        }
        pos_ = (pos_ + 1) % total;
    }

    void toneFrame(int16_t* out, UINT channels, uint32_t rate) {
        const double s = ToneAmplitude * std::sin(phase_);
        phase_ += TwoPi * ToneHz / rate;
        if (phase_ > TwoPi)
            phase_ -= TwoPi;
        for (UINT c = 0; c < channels; ++c) {
            rng_ ^= rng_ << 13;
            rng_ ^= rng_ >> 17;
            rng_ ^= rng_ << 5;
            const int noise = int(rng_ % (2 * NoiseAmplitude + 1)) - NoiseAmplitude;
            out[c] = static_cast<int16_t>(std::lround(s) + noise);
        }
    }

    bool useSamples_ = false;
    std::vector<int16_t> samples_;
    UINT channels_ = 1;
    std::size_t pos_ = 0;
    double phase_ = 0.0;
    uint32_t rng_ = 0x9E3779B9u;
};

class VirtualStream;

class VirtualBackend : public platform::WaveBackend {
  public:
    explicit VirtualBackend(const VirtualCardConfig& c) : config_(c) {
        if (!config_.inputSamples.empty()) {
            input_ = [this](uint32_t, UINT, VirtualInputSamples& out, std::string&) {
                out.samples = config_.inputSamples;
                out.channels = config_.inputChannels;
                return true;
            };
        } else {
            input_ = config_.input;
        }
        {
            std::lock_guard<std::mutex> lock(gCardMutex);
            gCard = this;
        }
        if (!config_.testClock)
            ticker_ = std::thread([this] { tick(); });
    }

    ~VirtualBackend() override {
        {
            std::lock_guard<std::mutex> lock(streamsMutex_);
            quit_ = true;
        }
        if (ticker_.joinable())
            ticker_.join();
        std::lock_guard<std::mutex> lock(gCardMutex);
        if (gCard == this)
            gCard = nullptr;
    }

    UINT deviceCount(Direction d) override {
        return d == Direction::Output ? std::min<UINT>(config_.outputs, 1)
                                      : std::min<UINT>(config_.inputs, 1);
    }
    std::string deviceName(Direction d, UINT) override {
        return d == Direction::Output ? "Silvane virtual output" : "Silvane virtual input";
    }
    UINT defaultDevice(Direction) override { return 0; }
    MMRESULT supports(Direction, UINT, const WAVEFORMATEX&) override { return MMSYSERR_NOERROR; }
    MMRESULT open(Direction d, UINT index, const WAVEFORMATEX& format, WaveStream& stream,
                  std::unique_ptr<DeviceStream>& device) override;
    bool deliversItself() const override { return config_.testClock; }

    void add(VirtualStream* s) {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        streams_.push_back(s);
    }
    void remove(VirtualStream* s) {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        streams_.erase(std::remove(streams_.begin(), streams_.end(), s), streams_.end());
    }
    void advance(uint64_t microseconds);

    void recordPlayed(const char* data, std::size_t bytes, const WAVEFORMATEX& f,
                      uint64_t underrun) {
        std::lock_guard<std::mutex> lock(tapMutex_);
        played_.underrunFrames += underrun;
        played_.channels = f.nChannels;
        if (!config_.keepPlayed || bytes == 0)
            return;
        if (f.wBitsPerSample == 16) {
            const auto* s = reinterpret_cast<const int16_t*>(data);
            played_.samples.insert(played_.samples.end(), s, s + bytes / 2);
        } else {
            for (std::size_t i = 0; i < bytes; ++i)
                played_.samples.push_back(
                    static_cast<int16_t>((int(uint8_t(data[i])) - 128) * 256));
        }
    }
    VirtualPlayed played() {
        std::lock_guard<std::mutex> lock(tapMutex_);
        return played_;
    }
    void setError(const std::string& e) {
        std::lock_guard<std::mutex> lock(tapMutex_);
        error_ = e;
    }
    std::string error() {
        std::lock_guard<std::mutex> lock(tapMutex_);
        return error_;
    }

    const VirtualCardConfig& config() const { return config_; }

  private:
    void tick();

    const VirtualCardConfig config_;
    VirtualInput input_;      // the samples in memory or the configured callback
    std::mutex streamsMutex_; // held while streams are being run
    std::vector<VirtualStream*> streams_;
    bool quit_ = false;
    std::thread ticker_;
    std::mutex tapMutex_;
    VirtualPlayed played_;
    std::string error_;
};

class VirtualStream : public DeviceStream {
  public:
    VirtualStream(VirtualBackend& card, Direction d, const WAVEFORMATEX& f, WaveStream& s)
        : card_(card), direction_(d), format_(f), stream_(s), chunk_(ChunkFrames * f.nBlockAlign),
          samples_(ChunkFrames * f.nChannels), start_(std::chrono::steady_clock::now()) {}

    ~VirtualStream() override { stop(); }

    InputSource& source() { return source_; }
    void setSink(std::unique_ptr<VirtualOutputSink> sink) { sink_ = std::move(sink); }

    // Runs the stream up to `frames` frames since it was opened.
    void runTo(uint64_t frames) {
        while (framesDone_ < frames) {
            const std::size_t n =
                std::size_t(std::min<uint64_t>(frames - framesDone_, ChunkFrames));
            if (direction_ == Direction::Output)
                renderChunk(n);
            else
                captureChunk(n);
            framesDone_ += n;
        }
    }
    void runRealTime(std::chrono::steady_clock::time_point now) {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(now - start_).count();
        runTo(uint64_t(us) * format_.nSamplesPerSec / 1000000u);
    }
    void runTestClock(uint64_t microseconds) {
        elapsedUs_ += microseconds;
        runTo(elapsedUs_ * format_.nSamplesPerSec / 1000000u);
    }

    void stop() override {
        if (stopped_)
            return;
        stopped_ = true;
        card_.remove(this);
        if (sink_) {
            std::string error;
            if (!sink_->close(error))
                card_.setError(error);
            sink_.reset();
        }
    }

  private:
    void renderChunk(std::size_t n) {
        bool starved = false;
        const std::size_t played = stream_.render(chunk_.data(), n, &starved);
        const std::size_t bytes = played * format_.nBlockAlign;
        card_.recordPlayed(chunk_.data(), bytes, format_, starved ? n - played : 0);
        if (sink_ && bytes)
            sink_->write(chunk_.data(), bytes);
    }

    void captureChunk(std::size_t n) {
        // The source stands still until capture starts, so a recording
        // begins with the source's first sample.
        if (!stream_.running())
            return;
        source_.fill(samples_.data(), n, format_.nChannels, format_.nSamplesPerSec);
        if (format_.wBitsPerSample == 16) {
            stream_.capture(samples_.data(), n);
            return;
        }
        for (std::size_t i = 0; i < n * format_.nChannels; ++i)
            chunk_[i] = static_cast<char>((samples_[i] >> 8) + 128);
        stream_.capture(chunk_.data(), n);
    }

    VirtualBackend& card_;
    const Direction direction_;
    const WAVEFORMATEX format_;
    WaveStream& stream_;
    std::vector<char> chunk_;
    std::vector<int16_t> samples_;
    InputSource source_;
    const std::chrono::steady_clock::time_point start_;
    uint64_t elapsedUs_ = 0;
    uint64_t framesDone_ = 0;
    bool stopped_ = false;
    std::unique_ptr<VirtualOutputSink> sink_;
};

MMRESULT VirtualBackend::open(Direction d, UINT, const WAVEFORMATEX& format, WaveStream& stream,
                              std::unique_ptr<DeviceStream>& device) {
    auto s = std::make_unique<VirtualStream>(*this, d, format, stream);
    std::string error;
    if (d == Direction::Input && input_) {
        VirtualInputSamples samples;
        if (!input_(format.nSamplesPerSec, format.nChannels, samples, error)) {
            setError(error);
            return MMSYSERR_ERROR;
        }
        s->source().useSamples(std::move(samples));
    } else if (d == Direction::Output && config_.outputSink) {
        std::unique_ptr<VirtualOutputSink> sink = config_.outputSink(format, error);
        if (!sink) {
            setError(error);
            return MMSYSERR_ERROR;
        }
        s->setSink(std::move(sink));
    }
    add(s.get());
    device = std::move(s);
    return MMSYSERR_NOERROR;
}

void VirtualBackend::tick() {
    auto next = std::chrono::steady_clock::now();
    for (;;) {
        next += RealTimePeriod;
        std::this_thread::sleep_until(next);
        std::lock_guard<std::mutex> lock(streamsMutex_);
        if (quit_)
            return;
        const auto now = std::chrono::steady_clock::now();
        for (VirtualStream* s : streams_)
            s->runRealTime(now);
    }
}

void VirtualBackend::advance(uint64_t microseconds) {
    if (!config_.testClock)
        return;
    std::lock_guard<std::mutex> lock(streamsMutex_);
    for (VirtualStream* s : streams_)
        s->runTestClock(microseconds);
}

} // namespace

namespace {

struct DefaultCard {
    std::mutex mutex;
    VirtualCardConfig config;
};

DefaultCard& defaultCard() {
    static DefaultCard d;
    return d;
}

} // namespace

void setDefaultVirtualCard(VirtualCardConfig config) {
    DefaultCard& d = defaultCard();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.config = std::move(config);
}

VirtualCardConfig defaultVirtualCard() {
    DefaultCard& d = defaultCard();
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.config;
}

std::unique_ptr<platform::WaveBackend> makeVirtualBackend(const VirtualCardConfig& config) {
    return std::make_unique<VirtualBackend>(config);
}

bool installVirtualCard(const VirtualCardConfig& config) {
    return platform::installBackend(makeVirtualBackend(config));
}

void virtualCardAdvance(uint64_t microseconds) {
    {
        std::lock_guard<std::mutex> lock(gCardMutex);
        if (gCard)
            gCard->advance(microseconds);
    }
    wavePumpMessages();
}

VirtualPlayed virtualCardPlayed() {
    std::lock_guard<std::mutex> lock(gCardMutex);
    return gCard ? gCard->played() : VirtualPlayed{};
}

std::string virtualCardError() {
    std::lock_guard<std::mutex> lock(gCardMutex);
    return gCard ? gCard->error() : std::string();
}

} // namespace platform
