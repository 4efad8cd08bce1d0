// Opening a 20,000,000-frame 16-bit stereo file through the main window's Open
// command (dialog answered, read, decode, store, status texts, the four panes
// refreshed) against a plain fread of the same bytes into one buffer.
//
//   build/bench/open_file
//
// Runs the windows on Qt's offscreen platform and the virtual sound card. The
// file (80 MB) and the settings file the configuration window writes at exit
// live in a scratch folder under $TMPDIR that is removed at the end.

#include "app/Upanelsig.h"
#include "config/Configu.h"
#include "config/Uabout.h"
#include "gui/FileDialogs.h"
#include "gui/MessageBox.h"
#include "processing/batchwindows/Uprogress.h"
#include "processing/batchwindows/Usetdirectory.h"
#include "soundfile/WavFile.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFrames = 20000000;

fs::path scratch;
std::string wavPath;
QStringList messages;

void makeFile() {
    std::vector<int16_t> s(kFrames * 2);
    uint32_t lcg = 7;
    for (std::size_t i = 0; i < kFrames; ++i) {
        lcg = lcg * 1664525u + 1013904223u;
        const double v = 9000 * std::sin(double(i) * 0.0071) + double(int32_t(lcg) >> 19);
        s[2 * i] = int16_t(v);
        s[2 * i + 1] = int16_t(-v / 3);
    }
    std::string err;
    if (!soundfile::writePcmWav(wavPath, 16000, 2, s.data(), kFrames, err)) {
        std::fprintf(stderr, "open_file: %s\n", err.c_str());
        std::exit(1);
    }
}

void openThroughWindow() {
    gui::setFileDialogHook(
        [](const gui::FileDialogRequest&) { return QString::fromStdString(wavPath); });
    app::FPanelSignal->tOpenClick();
    QApplication::processEvents(); // the repaints the refresh asked for
    if (app::FPanelSignal->origLength != int32_t(kFrames) || !messages.isEmpty()) {
        std::fprintf(stderr,
                     "open_file: the window did not open the file (length %d, %d messages)\n",
                     int(app::FPanelSignal->origLength), int(messages.size()));
        std::exit(1);
    }
}

// What any program does to get the bytes: a fresh buffer of the file's size
// and one fread into it.
std::size_t plainRead() {
    const std::size_t bytes = fs::file_size(wavPath);
    std::unique_ptr<char[]> buf(new char[bytes]);
    std::FILE* f = std::fopen(wavPath.c_str(), "rb");
    if (!f)
        std::exit(1);
    const std::size_t got = std::fread(buf.get(), 1, bytes, f);
    std::fclose(f);
    benchmark::DoNotOptimize(buf[bytes / 2]);
    return got;
}

void BM_OpenThroughWindow(benchmark::State& state) {
    for (auto _ : state)
        openThroughWindow();
}
BENCHMARK(BM_OpenThroughWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PlainFread(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(plainRead());
}
BENCHMARK(BM_PlainFread)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    qputenv("SILVANE_AUDIO", "virtual");
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = (fs::path(tmp ? tmp : "/tmp") / "silvane-open-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("open_file: mkdtemp");
        return 1;
    }
    scratch = pattern;
    fs::current_path(scratch);
    wavPath = (scratch / "long-stereo.wav").string();
    makeFile();

    QApplication app(argc, argv);
    gui::setMessageBoxHook([](const QString& text, const QString&) { messages << text; });
    new config::TFAbout(nullptr);
    new app::TFPanelSignal(nullptr);
    new config::TFconfAS(nullptr);
    new processing::batchwindows::TFProgress(nullptr);
    new processing::batchwindows::TFSetDirectory(nullptr);
    app::FPanelSignal->resize(1280, 800);
    app::FPanelSignal->show();
    QApplication::processEvents();
    messages.clear(); // start-up notes (no sound device and the like) are not the benchmark's

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // Side by side, alternated, median of five.
    std::vector<double> w, p;
    for (int i = 0; i < 5; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        openThroughWindow();
        auto t1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(plainRead());
        auto t2 = std::chrono::steady_clock::now();
        w.push_back(std::chrono::duration<double>(t1 - t0).count());
        p.push_back(std::chrono::duration<double>(t2 - t1).count());
    }
    std::sort(w.begin(), w.end());
    std::sort(p.begin(), p.end());

    delete processing::batchwindows::FSetDirectory;
    delete processing::batchwindows::FProgress;
    delete config::FconfAS;
    delete app::FPanelSignal;
    delete config::FAbout;
    std::error_code ec;
    fs::current_path(fs::temp_directory_path(), ec);
    fs::remove_all(scratch, ec);

    std::printf(
        "open of a 20,000,000-frame stereo file: window %.3f s, fread %.3f s (median of 5)\n", w[2],
        p[2]);
    std::printf("ratio: window_open/fread = %.2f (target <= 2.5)\n", w[2] / p[2]);
    return 0;
}
