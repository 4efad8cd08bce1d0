#include "audio/DuplexSession.h"

#include <algorithm>
#include <cstring>

namespace audio {

namespace {

constexpr UINT HeaderSize = sizeof(WAVEHDR);

void clearBuffers(base::ZeroPages<int16_t>& buffers, int32_t count, int32_t samples) {
    for (int32_t b = 0; b < count; ++b)
        std::memset(buffers.data(std::size_t(b)), 0, std::size_t(samples) * 2);
}

// Half the duration of one buffer of `samples` samples in `d`'s format.
int intervalOf(int32_t samples, const WaveDevice& d) {
    const uint32_t perSecond = std::max<uint32_t>(1, d.channels * 2 * d.sampleRate);
    return int(std::max<uint32_t>(1, uint32_t(samples) * 1000u / perSecond));
}

} // namespace

DuplexSession::DuplexSession() {
    output.sampleRate = 8000;
    output.bitsPerSample = 16;
    output.channels = 1;
}

DuplexSession::~DuplexSession() {
    closeCapture();
    closeOutput();
}

bool DuplexSession::openCapture(WaveDevice& recorder, UINT device, HWND window) {
    const BufferPlan plan = bufferPlan(recorder.sampleRate, recorder.channels);
    inBufferCount_ = plan.count;
    inBufferSamples_ = plan.samples;
    inBufferIndex_ = 0;
    clearBuffers(inBuffers_, plan.count, plan.samples);
    inputFifoFill_ = 0;
    outputFifoFill_ = 0;
    captureIntervalMs_ = intervalOf(plan.samples, recorder);
    recorder.fillFormat(inFormat_);
    if (!recorder.openInputStream(in_, device, window, inFormat_)) {
        in_ = nullptr;
        return false;
    }
    for (int32_t b = 0; b < plan.count; ++b) {
        recorder.initHeader(uint32_t(plan.samples), inBuffers_.data(std::size_t(b)), inHeaders_[b]);
        recorder.queueInput(in_, inHeaders_[b]);
    }
    return true;
}

bool DuplexSession::openOutput(UINT device, HWND window) {
    const BufferPlan plan = bufferPlan(output.sampleRate, output.channels);
    outBufferCount_ = plan.count;
    outBufferSamples_ = plan.samples;
    outBufferIndex_ = 0;
    clearBuffers(outBuffers_, plan.count, plan.samples);
    outputIntervalMs_ = intervalOf(plan.samples, output);
    output.fillFormat(outFormat_);
    if (!output.openOutputStream(out_, device, window, outFormat_)) {
        out_ = nullptr;
        return false;
    }
    for (int32_t b = 0; b < plan.count; ++b) {
        output.initHeader(uint32_t(plan.samples), outBuffers_.data(std::size_t(b)), outHeaders_[b]);
        output.queueOutput(out_, outHeaders_[b]);
    }
    return true;
}

bool DuplexSession::startCapture() {
    return in_ && waveInStart(in_) == MMSYSERR_NOERROR;
}

void DuplexSession::closeCapture() {
    if (!in_)
        return;
    waveInReset(in_);
    for (int32_t b = 0; b < inBufferCount_; ++b)
        waveInUnprepareHeader(in_, &inHeaders_[b], HeaderSize);
    waveInClose(in_);
    in_ = nullptr;
}

void DuplexSession::closeOutput() {
    if (!out_)
        return;
    waveOutReset(out_);
    for (int32_t b = 0; b < outBufferCount_; ++b)
        waveOutUnprepareHeader(out_, &outHeaders_[b], HeaderSize);
    waveOutClose(out_);
    out_ = nullptr;
}

int32_t DuplexSession::takeCaptured(WaveDevice& recorder, ChannelPair& orig, ChannelPair& changed,
                                    uint32_t changedChannels, int32_t& selectionStart,
                                    int32_t& selectionEnd) {
    if (!in_ || inBufferCount_ <= 0)
        return 0;
    const int32_t C = int32_t(std::max<uint32_t>(recorder.channels, 1));
    const int32_t n = inBufferSamples_ / C;
    const int32_t changedStep = outBufferSamples_ / int32_t(std::max<uint32_t>(changedChannels, 1));
    int32_t taken = 0;
    for (int32_t round = 0; round < inBufferCount_; ++round) {
        WAVEHDR& h = inHeaders_[inBufferIndex_];
        if (h.dwBytesRecorded != uint32_t(inBufferSamples_) * 2)
            break;
        int16_t* buffer = inBuffers_.data(std::size_t(inBufferIndex_));
        appendFrames(orig, buffer, n, C);
        fifoAppend(inputFifo_.data(0), inputFifoFill_, FifoCapacity, buffer, inBufferSamples_, C);
        recorder.releaseInput(in_, h);
        recorder.initHeader(uint32_t(inBufferSamples_), buffer, h);
        recorder.queueInput(in_, h);
        scrollCaptureWindow(orig, changed, n, int32_t(recorder.sampleRate) * DuplexWindowSeconds,
                            changedStep, selectionStart, selectionEnd);
        inBufferIndex_ = (inBufferIndex_ + 1) % inBufferCount_;
        ++taken;
    }
    return taken;
}

int32_t DuplexSession::clean(const std::function<LiveControls()>& controls, uint32_t inChannels,
                             processing::EngineBlock* blocks) {
    LiveStreams io{inputFifo_.data(0),
                   &inputFifoFill_,
                   int(std::clamp<uint32_t>(inChannels, 1, 2)),
                   outputFifo_.data(0),
                   &outputFifoFill_,
                   FifoCapacity,
                   int(std::clamp<uint32_t>(output.channels, 1, 2))};
    return liveStep(io, controls, blocks);
}

bool DuplexSession::play(ChannelPair& changed) {
    if (!out_ || outBufferCount_ <= 0)
        return false;
    const int32_t C = int32_t(std::max<uint32_t>(output.channels, 1));
    const int32_t k = outBufferSamples_ / C;
    bool played = false;
    for (int32_t round = 0; round < outBufferCount_ && outputFifoFill_ >= outBufferSamples_;
         ++round) {
        WAVEHDR& h = outHeaders_[outBufferIndex_];
        // A buffer still with the device waits for its turn to come back.
        if ((h.dwFlags & WHDR_INQUEUE) && !(h.dwFlags & WHDR_DONE))
            break;
        int16_t* buffer = outBuffers_.data(std::size_t(outBufferIndex_));
        std::memcpy(buffer, outputFifo_.data(0), std::size_t(outBufferSamples_) * 2);
        fifoConsume(outputFifo_.data(0), outputFifoFill_, outBufferSamples_);
        output.queueOutput(out_, h);
        appendFrames(changed, buffer, k, C);
        if (*changed.length > int32_t(output.sampleRate) * DuplexWindowSeconds)
            dropFrontFrames(changed, k);
        outBufferIndex_ = (outBufferIndex_ + 1) % outBufferCount_;
        played = true;
    }
    return played;
}

} // namespace audio
