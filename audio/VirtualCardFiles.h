#pragma once
// The virtual sound card's files: an input that delivers a WAV file's samples,
// read afresh at every opening of the input device, and a sink that writes what
// an output stream played to a WAV file. The file appears, complete, when the
// stream closes, and the next stream's replaces it. Both programs give them to
// the card SILVANE_AUDIO=virtual selects, from SILVANE_AUDIO_IN and
// SILVANE_AUDIO_OUT.

#include "platform/VirtualCard.h"

#include <string>

namespace audio {

// Fails an open with "virtual input PATH: why" when the file cannot be read.
platform::VirtualInput virtualInputFile(const std::string& path);

// Fails an open with "virtual output PATH: why" when the file cannot be
// created; a file that cannot be completed when the stream closes is left as
// it was, and the card's error tells why.
platform::VirtualSinkOpener virtualOutputFile(const std::string& path);

// The card SILVANE_AUDIO=virtual selects reads SILVANE_AUDIO_IN and writes
// SILVANE_AUDIO_OUT, those that are set and not empty. Called by both programs at start-up.
void useVirtualCardFiles();

} // namespace audio
