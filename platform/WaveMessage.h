#pragma once
// The event a callback window (a QObject given with CALLBACK_WINDOW) receives
// when a wave device returns a buffer. It is posted to the window on the
// window's own thread, so the window's event() handles it like any other
// event; the header's dwFlags and dwBytesRecorded are already updated.

#include "platform/winmm.h"

#include <QEvent>

namespace platform {

class WaveMessage : public QEvent {
  public:
    WaveMessage(UINT message, HWAVE device, WAVEHDR* header)
        : QEvent(eventType()), message_(message), device_(device), header_(header) {}

    // The one event type used for every wave message.
    static QEvent::Type eventType();

    UINT message() const { return message_; } // MM_WOM_DONE or MM_WIM_DATA
    HWAVE device() const { return device_; }
    WAVEHDR* header() const { return header_; }

  private:
    UINT message_;
    HWAVE device_;
    WAVEHDR* header_;
};

} // namespace platform
