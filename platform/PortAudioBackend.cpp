// The system's sound devices through PortAudio. Every device with output
// channels is an output device, every one with input channels an input
// device, numbered in PortAudio's order (stable for the process's life).

#include "platform/WaveDriver.h"

#include <portaudio.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#if __has_include(<alsa/error.h>)
#include <alsa/error.h>
#define SILVANE_HAVE_ALSA 1
#endif

namespace platform {
namespace {

bool debugWanted() {
    const char* v = std::getenv("SILVANE_AUDIO_DEBUG");
    return v && std::strcmp(v, "1") == 0;
}

#ifdef SILVANE_HAVE_ALSA
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
#endif

// Runs `f` with file descriptor 2 pointed at /dev/null, so that the sound
// libraries' probing messages (ALSA configuration, JACK server not running)
// stay out of the user's terminal.
template <typename F> auto withQuietStderr(F f) {
    std::fflush(stderr);
    const int saved = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    if (saved >= 0 && null >= 0)
        dup2(null, 2);
    auto result = f();
    std::fflush(stderr);
    if (saved >= 0) {
        dup2(saved, 2);
        close(saved);
    }
    if (null >= 0)
        close(null);
    return result;
}

MMRESULT fromPaError(PaError e) {
    switch (e) {
    case paNoError:
        return MMSYSERR_NOERROR;
    case paInvalidSampleRate:
    case paInvalidChannelCount:
    case paSampleFormatNotSupported:
        return WAVERR_BADFORMAT;
    case paDeviceUnavailable:
        return MMSYSERR_ALLOCATED;
    case paInsufficientMemory:
        return MMSYSERR_NOMEM;
    case paInvalidDevice:
        return MMSYSERR_BADDEVICEID;
    default:
        return MMSYSERR_ERROR;
    }
}

int outputCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                   PaStreamCallbackFlags, void* user) {
    static_cast<WaveStream*>(user)->render(output, frames);
    return paContinue;
}

int inputCallback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags, void* user) {
    if (input)
        static_cast<WaveStream*>(user)->capture(input, frames);
    return paContinue;
}

class PortAudioStream : public DeviceStream {
  public:
    explicit PortAudioStream(PaStream* s) : stream_(s) {}
    ~PortAudioStream() override { stop(); }
    void stop() override {
        if (!stream_)
            return;
        Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
        stream_ = nullptr;
    }

  private:
    PaStream* stream_;
};

class PortAudioBackend : public WaveBackend {
  public:
    PortAudioBackend() {
        const bool quiet = !debugWanted();
#ifdef SILVANE_HAVE_ALSA
        if (quiet)
            snd_lib_error_set_handler(quietAlsa);
#endif
        const PaError e = quiet ? withQuietStderr([] { return Pa_Initialize(); }) : Pa_Initialize();
        initialised_ = e == paNoError;
        if (!initialised_)
            return;
        const PaDeviceIndex n = Pa_GetDeviceCount();
        for (PaDeviceIndex i = 0; i < n; ++i) {
            const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
            if (!info)
                continue;
            if (info->maxOutputChannels > 0)
                outputs_.push_back(i);
            if (info->maxInputChannels > 0)
                inputs_.push_back(i);
        }
    }

    ~PortAudioBackend() override {
        if (initialised_)
            Pa_Terminate();
    }

    UINT deviceCount(Direction d) override {
        return UINT(list(d).size());
    }

    std::string deviceName(Direction d, UINT index) override {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(list(d).at(index));
        return info && info->name ? info->name : "";
    }

    UINT defaultDevice(Direction d) override {
        const PaDeviceIndex def =
            d == Direction::Output ? Pa_GetDefaultOutputDevice() : Pa_GetDefaultInputDevice();
        const auto& l = list(d);
        for (std::size_t i = 0; i < l.size(); ++i)
            if (l[i] == def)
                return UINT(i);
        return 0;
    }

    MMRESULT supports(Direction d, UINT index, const WAVEFORMATEX& f) override {
        PaStreamParameters p = parameters(d, index, f);
        const PaError e = d == Direction::Output
                              ? Pa_IsFormatSupported(nullptr, &p, f.nSamplesPerSec)
                              : Pa_IsFormatSupported(&p, nullptr, f.nSamplesPerSec);
        return e == paFormatIsSupported ? MMSYSERR_NOERROR : fromPaError(e);
    }

    MMRESULT open(Direction d, UINT index, const WAVEFORMATEX& f, WaveStream& stream,
                  std::unique_ptr<DeviceStream>& device) override {
        PaStreamParameters p = parameters(d, index, f);
        PaStream* s = nullptr;
        const bool out = d == Direction::Output;
        PaError e = Pa_OpenStream(&s, out ? nullptr : &p, out ? &p : nullptr, f.nSamplesPerSec,
                                  paFramesPerBufferUnspecified, paClipOff,
                                  out ? outputCallback : inputCallback, &stream);
        if (e != paNoError)
            return fromPaError(e);
        e = Pa_StartStream(s);
        if (e != paNoError) {
            Pa_CloseStream(s);
            return fromPaError(e);
        }
        device = std::make_unique<PortAudioStream>(s);
        return MMSYSERR_NOERROR;
    }

  private:
    const std::vector<PaDeviceIndex>& list(Direction d) const {
        return d == Direction::Output ? outputs_ : inputs_;
    }

    PaStreamParameters parameters(Direction d, UINT index, const WAVEFORMATEX& f) const {
        PaStreamParameters p{};
        p.device = list(d).at(index);
        p.channelCount = f.nChannels;
        p.sampleFormat = f.wBitsPerSample == 8 ? paUInt8 : paInt16;
        const PaDeviceInfo* info = Pa_GetDeviceInfo(p.device);
        p.suggestedLatency = !info                    ? 0.1
                             : d == Direction::Output ? info->defaultHighOutputLatency
                                                      : info->defaultHighInputLatency;
        return p;
    }

    bool initialised_ = false;
    std::vector<PaDeviceIndex> outputs_;
    std::vector<PaDeviceIndex> inputs_;
};

} // namespace

std::unique_ptr<WaveBackend> makePortAudioBackend() {
    return std::make_unique<PortAudioBackend>();
}

} // namespace platform
