#pragma once
// Loading a whole sound file of any format the readers know into one block
// of interleaved 16-bit frames, as the window and the batch hold it. WAV
// goes through the whole-file WAV decoder exactly as before (bit-exact, every
// encoding it knows); FLAC, Ogg Vorbis, Opus, MP3 and AIFF go through the
// stream reader the command line uses, recognised by content.

#include "soundfile/WavFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace soundfile {

// Whether the file at `path` is something other than WAV that the stream
// readers recognise by its first bytes.
bool isOtherAudioFile(const std::string& path);

// Reads `fileName` into a new block allocated with new[]. On success frees the
// caller's previous `block`, stores the new one and its frame count, and sets
// `header` to what the block holds. WAV: as readWavSamples. Other formats: at
// most `maxFrames` + 1 frames are kept (one beyond tells the file is longer
// than the caller holds), at most the first two channels, and `header` is
// 16-bit PCM at the source's rate. False with the reason in `message` when the
// encoding cannot be decoded; throws UnknownFormat when no reader knows the
// file. Nothing changes on failure.
bool readSoundSamples(WavHeaderInfo& header, const std::string& fileName, int32_t maxFrames,
                      int32_t& frames, int16_t*& block, std::string& message);

// Name patterns of the files the window's list and the batch offer.
const std::vector<std::string>& soundFileNamePatterns();

} // namespace soundfile
