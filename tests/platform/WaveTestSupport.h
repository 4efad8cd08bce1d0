#pragma once
// Helpers shared by the wave-layer and player/recorder tests: a Qt core
// application for window callbacks, a window that records the wave messages
// it receives, and a fixture that runs on the virtual card's test clock.

#include "platform/VirtualCard.h"
#include "platform/WaveMessage.h"
#include "platform/winmm.h"

#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

inline QCoreApplication& testApp() {
    static int argc = 1;
    static char name[] = "silvane-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

struct ReceivedMessage {
    UINT message;
    HWAVE device;
    WAVEHDR* header;
    DWORD flags;         // header flags when the message was handled
    DWORD bytesRecorded; // and its byte count
};

// A callback window that keeps every wave message it is sent.
class MessageWindow : public QObject {
  public:
    std::vector<ReceivedMessage> received;

    bool event(QEvent* e) override {
        if (e->type() != platform::WaveMessage::eventType())
            return QObject::event(e);
        auto* m = static_cast<platform::WaveMessage*>(e);
        received.push_back({m->message(), m->device(), m->header(), m->header()->dwFlags,
                            m->header()->dwBytesRecorded});
        return true;
    }
    int count(UINT message) const {
        int n = 0;
        for (const auto& r : received)
            n += r.message == message;
        return n;
    }
};

// Lets `ms` milliseconds pass on the test clock in steps of `stepMs` and hands
// the posted messages to their windows after each step.
inline void advanceMs(uint64_t ms, uint64_t stepMs = 5) {
    for (uint64_t done = 0; done < ms;) {
        const uint64_t step = std::min(stepMs, ms - done);
        platform::virtualCardAdvance(step * 1000);
        QCoreApplication::sendPostedEvents();
        done += step;
    }
}

class VirtualCardTest : public ::testing::Test {
  protected:
    void install(platform::VirtualCardConfig c) {
        testApp();
        c.testClock = true;
        ASSERT_TRUE(platform::installVirtualCard(c)) << "a device was left open by an earlier test";
    }
    void SetUp() override {
        platform::VirtualCardConfig c;
        c.keepPlayed = true;
        install(c);
    }
};

inline WAVEFORMATEX pcmFormat(uint32_t rate, uint16_t channels, uint16_t bits = 16) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.nBlockAlign = WORD(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    f.wBitsPerSample = bits;
    return f;
}
