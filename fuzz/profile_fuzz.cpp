// The profile parser and the settings reader over arbitrary bytes: no crash,
// every setting within its range, and the text the profile writes reads back
// to the same text.

#include "config/Settings.h"
#include "platform/profile/Profile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::profile::Profile p;
    p.loadData(reinterpret_cast<const char*>(data), size);

    const config::ScreenSize screen{1280, 800};
    config::Settings s = config::read(p, screen);
    bool ok = s.language >= 0 && s.language < config::kLanguageCount && s.playDevice >= 0 &&
              s.recDevice >= 0 && s.sampleRateIndex >= 0 &&
              s.sampleRateIndex < config::kSampleRateCount && s.channelsIndex >= 0 &&
              s.channelsIndex <= 1 && s.method >= 0 && s.method < config::kMethodCount &&
              s.limitDb >= config::kMinLimitDb && s.limitDb <= config::kMaxLimitDb &&
              s.noiseRate >= config::kMinRate && s.noiseRate <= config::kMaxRate &&
              s.musicalRate >= config::kMinRate && s.musicalRate <= config::kMaxRate &&
              s.winLeft >= 0 && s.winLeft <= screen.width - 10 && s.winTop >= 0 &&
              s.winTop <= screen.height - 10 && s.winWidth >= 0 && s.winWidth <= screen.width &&
              s.winHeight >= 0 && s.winHeight <= screen.height && s.fileListWidth >= 0 &&
              s.fileListWidth <= screen.width / 2;
    if (!ok)
        std::abort();

    // What the profile writes is a fixed point of reading and writing.
    std::string once = p.text();
    platform::profile::Profile q;
    q.loadData(once.data(), once.size());
    if (q.text() != once)
        std::abort();

    // Writing the settings over the hostile file and reading them back is
    // stable (reals are written with 15 digits, so the first round may round
    // them once).
    config::write(q, s);
    config::Settings s2 = config::read(q, screen);
    config::write(q, s2);
    if (config::read(q, screen) != s2)
        std::abort();
    return 0;
}
