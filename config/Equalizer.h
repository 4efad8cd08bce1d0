#pragma once
// The geometry of the equalizer drawing area: mouse positions to curve points
// and curve points to pixels. W and H are the box's client size; the plot
// starts 15 pixels from the left and ends 10 pixels above the bottom, and
// shows gains 0.0 ... 1.5. Every real-to-pixel conversion truncates toward
// zero. Plain C++; the configuration window paints and handles the mouse.

#include <string>

namespace config::eq {

constexpr int kPointCount = 100; // points of the curve
constexpr int kCapacity = 101;   // size of the gain array
constexpr double kTopGain = 1.5; // gain at the top of the box
constexpr int kLeft = 15;        // x of the gain axis
constexpr int kBottom = 10;      // pixels below the frequency axis

// Point index under x, or -1 when the box has no plot width. May be out of
// range; the caller stores only indexes in 0 ... count - 1.
int indexAt(int x, int width, int count);
// Gain under y; never below 0.0, no upper bound.
double gainAt(int y, int height);
// Pixel position of point i with the given gain.
int pointX(int i, int width, int count);
int pointY(double gain, int height);
// y of the dashed unity-gain line.
int unityY(int height);
// The cursor text: "X: 0.25; Y: 1.00" — X as a fraction of the sampling rate.
std::string cursorLabel(int index, double gain, int count);
// The scale numbers in their shortest decimal form ("1.5", "1", "0").
std::string scaleText(double v);

// A flat curve: count = kPointCount, every gain 1.0.
void flatten(float* gains, int& count);

} // namespace config::eq
