// silvane-cli devices, play and record: the sound devices without a window,
// through the same player and recorder records as the window uses. With
// SILVANE_AUDIO=virtual they run on the virtual sound card.

#include "cli/Command.h"

#include "platform/VirtualCard.h"
#include "soundfile/WavFile.h"
#include "soundfile/WavLoad.h"
#include "audio/WaveDevice.h"
#include "platform/WaveMessage.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int runDevices(const std::vector<std::string>& args);
int runPlay(const std::vector<std::string>& args);
int runRecord(const std::vector<std::string>& args);

const cli::Command devicesCommand{"devices", "devices", 50, runDevices};
const cli::Command playCommand{"play", "play FILE.wav [--device N]", 51, runPlay};
const cli::Command recordCommand{
    "record", "record OUT.wav --seconds S [--rate R] [--channels 1|2] [--device N]", 52,
    runRecord};
cli::CommandRegistration devicesReg(devicesCommand);
cli::CommandRegistration playReg(playCommand);
cli::CommandRegistration recordReg(recordCommand);

constexpr uint32_t MaxRecordSamples = 20000000;  // the window's recording capacity

// A window for the device messages that ends the event loop on the first one.
class MessageWaiter : public QObject {
public:
    explicit MessageWaiter(QEventLoop& loop) : loop_(loop) {}
    bool arrived = false;
    bool event(QEvent* e) override {
        if (e->type() != WaveMessage::eventType())
            return QObject::event(e);
        arrived = true;
        loop_.quit();
        return true;
    }

private:
    QEventLoop& loop_;
};

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "silvane-cli";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

std::atomic<bool> interrupted{false};
void onInterrupt(int) { interrupted = true; }

bool parseInt(const std::string& text, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() && *end == '\0' && errno == 0;
}

bool parseDevice(const std::string& text, UINT& device) {
    long n = 0;
    if (!parseInt(text, n) || n < -1 || n > 255)
        return false;
    device = n == -1 ? WAVE_MAPPER : UINT(n);
    return true;
}

// Words for the code an open left in a record.
std::string deviceFailure(uint32_t code, bool output) {
    std::string why;
    switch (code) {
    case WAVE_NO_OUTPUT_DEVICE:
        why = "there is no output device";
        break;
    case WAVE_NO_INPUT_DEVICE:
        why = "there is no input device";
        break;
    case MMSYSERR_BADDEVICEID:
        why = std::string("no such ") + (output ? "output" : "input") + " device";
        break;
    case MMSYSERR_ALLOCATED:
        why = "the device is busy";
        break;
    case WAVERR_BADFORMAT:
        why = "the device does not support this format";
        break;
    default:
        why = "device error " + std::to_string(code);
    }
    const std::string detail = virtualCardError();
    return detail.empty() ? why : why + " (" + detail + ")";
}

int runDevices(const std::vector<std::string>& args) {
    if (!args.empty())
        return cli::usageError(devicesCommand, "takes no arguments");
    WAVEOUTCAPSA outDefault{};
    WAVEINCAPSA inDefault{};
    const bool haveOut = waveOutGetDevCapsA(WAVE_MAPPER, &outDefault, sizeof outDefault) == 0;
    const bool haveIn = waveInGetDevCapsA(WAVE_MAPPER, &inDefault, sizeof inDefault) == 0;

    std::printf("output devices:\n");
    const UINT outs = waveOutGetNumDevs();
    for (UINT i = 0; i < outs; ++i) {
        WAVEOUTCAPSA caps{};
        if (waveOutGetDevCapsA(i, &caps, sizeof caps) != 0)
            continue;
        const bool def = haveOut && std::string(caps.szPname) == outDefault.szPname;
        std::printf("  %u  %s%s\n", i, caps.szPname, def ? "  (default)" : "");
    }
    if (outs == 0)
        std::printf("  none\n");
    std::printf("input devices:\n");
    const UINT ins = waveInGetNumDevs();
    for (UINT i = 0; i < ins; ++i) {
        WAVEINCAPSA caps{};
        if (waveInGetDevCapsA(i, &caps, sizeof caps) != 0)
            continue;
        const bool def = haveIn && std::string(caps.szPname) == inDefault.szPname;
        std::printf("  %u  %s%s\n", i, caps.szPname, def ? "  (default)" : "");
    }
    if (ins == 0)
        std::printf("  none\n");
    return 0;
}

int runPlay(const std::vector<std::string>& args) {
    std::string file;
    UINT device = WAVE_MAPPER;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--device") {
            if (i + 1 >= args.size() || !parseDevice(args[++i], device))
                return cli::usageError(playCommand, "--device takes a device number or -1");
        } else if (file.empty() && !(args[i].size() > 1 && args[i][0] == '-')) {
            file = args[i];
        } else {
            return cli::usageError(playCommand, "unexpected argument " + args[i]);
        }
    }
    if (file.empty())
        return cli::usageError(playCommand, "which file?");

    LoadedWav wav;
    std::string message;
    if (loadWav(file, wav, message) != WavLoadStatus::Ok) {
        std::fprintf(stderr, "silvane-cli play: %s: %s\n", file.c_str(), message.c_str());
        return 1;
    }
    if (wav.frames <= 0) {
        std::fprintf(stderr, "silvane-cli play: %s holds no samples\n", file.c_str());
        return 1;
    }
    application();
    QEventLoop loop;
    MessageWaiter waiter(loop);
    WaveDevice player;
    player.sampleRate = wav.header.sampleRate;
    player.bitsPerSample = 16;
    player.channels = wav.header.channels;
    player.callbackWindow = &waiter;
    if (!player.play(device, uint32_t(wav.frames), wav.samples.get())) {
        std::fprintf(stderr, "silvane-cli play: cannot play: %s\n",
                     deviceFailure(player.lastResult, true).c_str());
        return 1;
    }
    // The done message ends the wait; a device that never returns the
    // buffer is given up after the file's length plus five seconds.
    const double seconds = double(wav.frames) / wav.header.sampleRate;
    QTimer::singleShot(int(seconds * 1000) + 5000, &loop, &QEventLoop::quit);
    std::signal(SIGINT, onInterrupt);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (interrupted)
            loop.quit();
    });
    poll.start(50);
    loop.exec();
    std::signal(SIGINT, SIG_DFL);
    player.closeOutput();
    QCoreApplication::sendPostedEvents();
    if (!waiter.arrived && !interrupted) {
        std::fprintf(stderr, "silvane-cli play: the device did not finish playing\n");
        return 1;
    }
    const std::string error = virtualCardError();
    if (!error.empty()) {
        std::fprintf(stderr, "silvane-cli play: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int runRecord(const std::vector<std::string>& args) {
    std::string file;
    double seconds = -1;
    long rate = 16000, channels = 1;
    UINT device = WAVE_MAPPER;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--seconds") {
            if (!hasValue || !cli::parseDouble(args[++i], seconds) || seconds <= 0)
                return cli::usageError(recordCommand, "--seconds takes a positive number");
        } else if (a == "--rate") {
            if (!hasValue || !parseInt(args[++i], rate) || rate < 1000 || rate > 384000)
                return cli::usageError(recordCommand, "--rate takes a rate in Hz");
        } else if (a == "--channels") {
            if (!hasValue || !parseInt(args[++i], channels) || (channels != 1 && channels != 2))
                return cli::usageError(recordCommand, "--channels takes 1 or 2");
        } else if (a == "--device") {
            if (!hasValue || !parseDevice(args[++i], device))
                return cli::usageError(recordCommand, "--device takes a device number or -1");
        } else if (file.empty() && !(a.size() > 1 && a[0] == '-')) {
            file = a;
        } else {
            return cli::usageError(recordCommand, "unexpected argument " + a);
        }
    }
    if (file.empty())
        return cli::usageError(recordCommand, "where to?");
    if (seconds <= 0)
        return cli::usageError(recordCommand, "--seconds is needed");
    const double frames = std::floor(seconds * double(rate));
    if (frames < 1 || frames * double(channels) > MaxRecordSamples)
        return cli::usageError(recordCommand, "between one frame and " +
                                                  std::to_string(MaxRecordSamples) +
                                                  " samples can be recorded");
    const uint32_t samples = uint32_t(frames) * uint32_t(channels);

    application();
    QEventLoop loop;
    MessageWaiter waiter(loop);
    std::vector<int16_t> buffer(samples);
    WaveDevice recorder;
    recorder.sampleRate = uint32_t(rate);
    recorder.bitsPerSample = 16;
    recorder.channels = uint32_t(channels);
    recorder.callbackWindow = &waiter;
    if (!recorder.record(device, samples, buffer.data())) {
        std::fprintf(stderr, "silvane-cli record: cannot record: %s\n",
                     deviceFailure(recorder.lastResult, false).c_str());
        return 1;
    }
    // The device returns the buffer when it is full; Ctrl+C stops early and
    // keeps what has arrived.
    QTimer::singleShot(int(seconds * 1000) + 5000, &loop, &QEventLoop::quit);
    std::signal(SIGINT, onInterrupt);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (interrupted)
            loop.quit();
    });
    poll.start(50);
    loop.exec();
    std::signal(SIGINT, SIG_DFL);
    recorder.closeInput();
    QCoreApplication::sendPostedEvents();
    const uint32_t bytes = recorder.bytesRecorded();
    if (!waiter.arrived && bytes == 0) {
        std::fprintf(stderr, "silvane-cli record: the device delivered nothing\n");
        return 1;
    }
    const std::size_t recordedFrames = bytes / (2 * std::size_t(channels));
    std::string error;
    if (!writePcmWav(file, uint32_t(rate), uint16_t(channels), buffer.data(), recordedFrames,
                     error)) {
        std::fprintf(stderr, "silvane-cli record: %s: %s\n", file.c_str(), error.c_str());
        return 1;
    }
    if (recordedFrames < std::size_t(frames))
        std::fprintf(stderr, "silvane-cli record: stopped after %zu of %zu frames\n",
                     recordedFrames, std::size_t(frames));
    return 0;
}

}  // namespace
