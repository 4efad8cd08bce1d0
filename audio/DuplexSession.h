#pragma once
// Full-duplex recording as one object: a capture stream and an output stream
// open at once, their buffers and headers, the two FIFOs between capture,
// engine and output, and the rotation indices. Every captured buffer is
// appended to the original signal and to the input FIFO; the engine cleans
// the FIFO hop by hop into the output FIFO; output buffers, refilled in
// rotation, play it back and are appended to the changed signal. Both
// signals keep their last DuplexWindowSeconds.
//
// UI-free. Everything runs on the thread the callback window lives in (the
// UI thread); the devices fill and drain the buffers from the driver's
// thread, and a buffer is touched here only once its header says the device
// gave it back. The buffers and FIFOs are zero pages: untouched capacity
// costs no memory.

#include "audio/DuplexFlow.h"
#include "audio/WaveDevice.h"
#include "base/ZeroPages.h"

#include <cstdint>
#include <functional>

namespace audio {

class DuplexSession {
  public:
    DuplexSession();
    ~DuplexSession();
    DuplexSession(const DuplexSession&) = delete;
    DuplexSession& operator=(const DuplexSession&) = delete;

    // The output device record (the duplexDevice of the main window); its
    // format is the output stream's.
    WaveDevice output;

    // Opens the capture stream on `device` in `recorder`'s format, with
    // bufferPlan's buffers cleared and all queued, and empties both FIFOs.
    // False when the device cannot be opened (recorder.lastResult says why);
    // the stream is then closed.
    bool openCapture(WaveDevice& recorder, UINT device, HWND window);
    // Opens the output stream on `device` in output's format; its silent
    // buffers start playing at once and make the playback delay.
    bool openOutput(UINT device, HWND window);
    // Starts the capture stream.
    bool startCapture();
    // Reset, unprepare every header, close. Harmless when closed.
    void closeCapture();
    void closeOutput();

    // Takes every capture buffer that came back full, in rotation (late or
    // merged ticks lose nothing): appends it to `orig` and the input FIFO,
    // queues it again, and scrolls the signals' window (the changed signal
    // moves by one output buffer of `changedChannels` channels). Returns the
    // buffers taken.
    int32_t takeCaptured(WaveDevice& recorder, ChannelPair& orig, ChannelPair& changed,
                         uint32_t changedChannels, int32_t& selectionStart, int32_t& selectionEnd);
    // Cleans what the input FIFO holds, hop by hop, into the output FIFO
    // (see liveStep); `inChannels` is the capture's channel count. Returns
    // the hops taken.
    int32_t clean(const std::function<LiveControls()>& controls, uint32_t inChannels,
                  processing::EngineBlock* blocks = processing::engineStates);
    // Refills every output buffer that is back from the device, in rotation,
    // while the output FIFO holds a whole buffer; appends each to `changed`,
    // which keeps its last DuplexWindowSeconds. Returns whether any was played.
    bool play(ChannelPair& changed);

    // Half the duration of one buffer of each stream, in milliseconds: how
    // often the streams want attention. Valid after the open.
    int captureIntervalMs() const { return captureIntervalMs_; }
    int outputIntervalMs() const { return outputIntervalMs_; }

    bool captureOpen() const { return in_ != nullptr; }
    bool outputOpen() const { return out_ != nullptr; }
    int32_t inBufferCount() const { return inBufferCount_; }
    int32_t inBufferSamples() const { return inBufferSamples_; }
    int32_t outBufferCount() const { return outBufferCount_; }
    int32_t outBufferSamples() const { return outBufferSamples_; }
    int32_t inputFifoFill() const { return inputFifoFill_; }
    int32_t outputFifoFill() const { return outputFifoFill_; }

  private:
    HWAVEIN in_ = nullptr;
    HWAVEOUT out_ = nullptr;
    WAVEFORMATEX inFormat_ = {}, outFormat_ = {};
    WAVEHDR inHeaders_[MaxStreamBuffers] = {}, outHeaders_[MaxStreamBuffers] = {};
    int32_t inBufferSamples_ = 0, inBufferCount_ = 0, inBufferIndex_ = 0;
    int32_t outBufferSamples_ = 0, outBufferCount_ = 0, outBufferIndex_ = 0;
    int captureIntervalMs_ = 1, outputIntervalMs_ = 1;
    base::ZeroPages<int16_t> inBuffers_{MaxStreamBuffers, StreamSlotSamples};
    base::ZeroPages<int16_t> outBuffers_{MaxStreamBuffers, StreamSlotSamples};
    base::ZeroPages<int16_t> inputFifo_{1, FifoCapacity}, outputFifo_{1, FifoCapacity};
    int32_t inputFifoFill_ = 0, outputFifoFill_ = 0;
};

} // namespace audio
