#pragma once
// What the main window exchanges with the configuration window: the window
// state it keeps between activations (and in the settings file), and the
// settings a command reads at the moment of use. Only ConfigLink.cpp knows
// the configuration window's controls.

#include "config/Language.h"
#include "processing/ProcessingRun.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>

namespace app {

struct KeptWindowState {
    int left = 0, top = 0, width = 1280, height = 600;
    int fileListWidth = 165;
    bool useEqualizer = false;
    bool showClearSignal = true;
    bool showFileList = true;
    bool processEnabled = true;
    std::string outputDir;
};

KeptWindowState keptWindowState();
// Hands the state over; the output directory only when `withOutputDir`.
void keepWindowState(const KeptWindowState& k, bool withOutputDir);
void keepShowFileList(bool shown);
bool configSelectClearSpeech();
void keepSelectClearSpeech(bool on);
// Shows the configuration window on the given page.
void showConfiguration(int page);
// The gain method chosen in the configuration window: 0, 1 and 2 by rule,
// 3 the neural one; the engine's default without that window.
uint8_t configMethod();
// The parameters a processing run takes at its start, and those it reads
// again before every frame (the equalizer switch is the main window's).
processing::RunParameters configRunParameters(int32_t sampleRate, int channels);
processing::FrameControls configFrameControls(bool useEqualizer, bool processEnabled);
// The interface language: 0 English, 1 Russian.
int configLanguageIndex();
// While it lives, `apply` gets the language index whenever the configuration
// window applies a language: once when that window is created and has read
// the settings file, then at every choice in its language box, each time
// after the configuration and about windows have been re-labelled.
class LanguageFollower {
  public:
    explicit LanguageFollower(std::function<void(int languageIndex)> apply);
    ~LanguageFollower();
    LanguageFollower(const LanguageFollower&) = delete;
    LanguageFollower& operator=(const LanguageFollower&) = delete;

  private:
    int id_;
};
bool configMethodMix();
void keepProcessEnabled(bool on);
// Recording and full duplex: the configured rate and channel count, and the
// device numbers of the input and output boxes (WAVE_MAPPER, -1, when the
// box's text names no listed device).
uint32_t configRecordRate();
uint32_t configRecordChannels();
uint32_t configInputDevice();
uint32_t configOutputDevice();
// The channel choice of the configuration window.
void enableConfigChannels(bool on);

} // namespace app
