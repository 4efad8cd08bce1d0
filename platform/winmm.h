#pragma once
// The wave-audio calls, types and codes the audio commands are written
// against: waveOut* for playback, waveIn* for capture, with the usual
// multimedia semantics. Buffers are described by WAVEHDR records that the
// caller owns; the driver plays or fills them in queue order and returns them
// with WHDR_DONE set (input buffers with dwBytesRecorded). A returned buffer is
// announced to the callback given at open:
//   CALLBACK_WINDOW   a QObject* receives a posted WaveMessage event
//                     (WaveMessage.h) on the thread it lives in; the header
//                     fields are updated on that thread just before posting.
//   CALLBACK_FUNCTION a WaveCallback function is called on the layer's
//                     dispatch thread (or, in test-clock mode, inside
//                     VirtualCard advance()); header fields are updated on that
//                     thread just before the call.
//   CALLBACK_NULL     no message; header fields are updated by the next call
//                     made on the handle (any waveOut*/waveIn* call).
// The audio driver thread never touches a WAVEHDR, never locks and never
// allocates. All calls are safe from any thread; a handle's calls are
// serialised. Calls on a null, closed or wrong-direction handle return
// MMSYSERR_INVALHANDLE and change nothing.
//
// The backend is chosen on first use: SILVANE_AUDIO=virtual selects the
// virtual sound card (VirtualCard.h), anything else the system's sound devices
// through PortAudio.

#include <cstddef>
#include <cstdint>

class QObject;

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using UINT_PTR = uintptr_t;
using DWORD_PTR = uintptr_t;
using MMRESULT = uint32_t;
using MMVERSION = uint32_t;
using LPSTR = char*;
// A callback "window": any QObject. Its event() receives WaveMessage events.
using HWND = QObject*;

// Handles of open wave devices. Output and input handles share one type; a
// call with a handle of the other direction fails with MMSYSERR_INVALHANDLE.
struct HWAVE__;
using HWAVE = HWAVE__*;
using HWAVEOUT = HWAVE;
using HWAVEIN = HWAVE;

// Result codes.
enum : MMRESULT {
    MMSYSERR_NOERROR = 0,
    MMSYSERR_ERROR = 1,
    MMSYSERR_BADDEVICEID = 2,
    MMSYSERR_NOTENABLED = 3,
    MMSYSERR_ALLOCATED = 4,
    MMSYSERR_INVALHANDLE = 5,
    MMSYSERR_NODRIVER = 6,
    MMSYSERR_NOMEM = 7,
    MMSYSERR_NOTSUPPORTED = 8,
    MMSYSERR_INVALFLAG = 10,
    MMSYSERR_INVALPARAM = 11,
    MMSYSERR_HANDLEBUSY = 12,
    // Codes the player and recorder leave in their record when the system has
    // no output device (21) or no input device (22) at all.
    WAVE_NO_OUTPUT_DEVICE = 21,
    WAVE_NO_INPUT_DEVICE = 22,
    WAVERR_BADFORMAT = 32,
    WAVERR_STILLPLAYING = 33,
    WAVERR_UNPREPARED = 34,
    WAVERR_SYNC = 35,
};

constexpr UINT WAVE_MAPPER = static_cast<UINT>(-1); // the system's default device
constexpr std::size_t MAXPNAMELEN = 32;

// Flags of waveOutOpen/waveInOpen.
enum : DWORD {
    WAVE_FORMAT_QUERY = 0x0001, // only check that the format is supported
    WAVE_ALLOWSYNC = 0x0002,
    CALLBACK_TYPEMASK = 0x00070000,
    CALLBACK_NULL = 0x00000000,
    CALLBACK_WINDOW = 0x00010000,
    CALLBACK_FUNCTION = 0x00030000,
};

// WAVEHDR.dwFlags bits.
enum : DWORD {
    WHDR_DONE = 0x01,
    WHDR_PREPARED = 0x02,
    WHDR_BEGINLOOP = 0x04,
    WHDR_ENDLOOP = 0x08,
    WHDR_INQUEUE = 0x10,
};

// Messages delivered to the callback.
enum : UINT {
    MM_WOM_DONE = 957, // an output buffer was played (or returned by a reset)
    MM_WIM_DATA = 960, // an input buffer was filled (or returned by a stop/reset)
    WOM_DONE = MM_WOM_DONE,
    WIM_DATA = MM_WIM_DATA,
};

enum : WORD { WAVE_FORMAT_PCM = 1 };

// MMTIME.wType values.
enum : UINT { TIME_MS = 0x01, TIME_SAMPLES = 0x02, TIME_BYTES = 0x04 };

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is an 18-byte record");

struct WAVEHDR {
    LPSTR lpData;          // the buffer
    DWORD dwBufferLength;  // its length in bytes
    DWORD dwBytesRecorded; // input: bytes the device filled in
    DWORD_PTR dwUser;      // free for the caller
    DWORD dwFlags;         // WHDR_*
    DWORD dwLoops;         // ignored: loops are made by re-queueing
    WAVEHDR* lpNext;       // reserved
    DWORD_PTR reserved;
};

struct MMTIME {
    UINT wType;
    union {
        DWORD ms;
        DWORD sample;
        DWORD cb;
        DWORD ticks;
        struct {
            BYTE hour, min, sec, frame, fps, dummy;
            BYTE pad[2];
        } smpte;
        struct {
            DWORD songptrpos;
        } midi;
    } u;
};
static_assert(sizeof(MMTIME) == 12, "MMTIME is a 12-byte record");

struct WAVEOUTCAPSA {
    WORD wMid;
    WORD wPid;
    MMVERSION vDriverVersion;
    char szPname[MAXPNAMELEN]; // product name, NUL-terminated, unique among the devices
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
    DWORD dwSupport;
};

struct WAVEINCAPSA {
    WORD wMid;
    WORD wPid;
    MMVERSION vDriverVersion;
    char szPname[MAXPNAMELEN];
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
};

// CALLBACK_FUNCTION: dwParam1 is the WAVEHDR* of the returned buffer.
using WaveCallback = void (*)(HWAVE h, UINT msg, DWORD_PTR instance, DWORD_PTR param1,
                              DWORD_PTR param2);

// Output.
UINT waveOutGetNumDevs();
MMRESULT waveOutGetDevCapsA(UINT_PTR deviceId, WAVEOUTCAPSA* caps, UINT capsSize);
MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format,
                     DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* header, UINT headerSize);
MMRESULT waveOutUnprepareHeader(HWAVEOUT h, WAVEHDR* header, UINT headerSize);
MMRESULT waveOutWrite(HWAVEOUT h, WAVEHDR* header, UINT headerSize);
MMRESULT waveOutPause(HWAVEOUT h);
MMRESULT waveOutRestart(HWAVEOUT h);
// Stops playback, returns every queued buffer (each announced with
// MM_WOM_DONE) and sets the position back to 0.
MMRESULT waveOutReset(HWAVEOUT h);
// Frames (TIME_SAMPLES), bytes (TIME_BYTES) or milliseconds (TIME_MS) played
// since the device was opened or last reset; other types are answered in
// TIME_SAMPLES.
MMRESULT waveOutGetPosition(HWAVEOUT h, MMTIME* time, UINT timeSize);
// Fails with WAVERR_STILLPLAYING while buffers are queued.
MMRESULT waveOutClose(HWAVEOUT h);

// Input. An opened input device is stopped; waveInStart starts filling the
// queued buffers, and data arriving with no buffer queued is lost.
UINT waveInGetNumDevs();
MMRESULT waveInGetDevCapsA(UINT_PTR deviceId, WAVEINCAPSA* caps, UINT capsSize);
MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                    DWORD_PTR instance, DWORD flags);
MMRESULT waveInPrepareHeader(HWAVEIN h, WAVEHDR* header, UINT headerSize);
MMRESULT waveInUnprepareHeader(HWAVEIN h, WAVEHDR* header, UINT headerSize);
MMRESULT waveInAddBuffer(HWAVEIN h, WAVEHDR* header, UINT headerSize);
MMRESULT waveInStart(HWAVEIN h);
// Stops capture; the buffer being filled, if it holds any data, is returned.
MMRESULT waveInStop(HWAVEIN h);
// Stops capture and returns every queued buffer, the one being filled with its
// byte count; the position goes back to 0.
MMRESULT waveInReset(HWAVEIN h);
MMRESULT waveInGetPosition(HWAVEIN h, MMTIME* time, UINT timeSize);
MMRESULT waveInClose(HWAVEIN h);

// Delivers, on the calling thread, every completion waiting for it: window
// messages for windows living in this thread and function callbacks. The
// layer does this by itself (a timer in each window's thread, a dispatch
// thread for functions); tests on the virtual card's test clock call it, or
// rely on VirtualCard advance(), which calls it.
void wavePumpMessages();
