#include "config/Equalizer.h"

#include <cstdio>

namespace config::eq {

namespace {
int plotHeight(int height) {
    return height - kBottom;
}
} // namespace

int indexAt(int x, int width, int count) {
    if (width - kLeft <= 0)
        return -1;
    return int((long long)(x - kLeft) * count / (width - kLeft));
}

double gainAt(int y, int height) {
    int h = plotHeight(height);
    if (h <= 0)
        return 0.0;
    double v = (height - y - kBottom) * kTopGain / h;
    return v < 0.0 ? 0.0 : v;
}

int pointX(int i, int width, int count) {
    if (count < 2)
        return kLeft;
    double step = double(width - kLeft) / (count - 1);
    return int(i * step + kLeft);
}

int pointY(double gain, int height) {
    int h = plotHeight(height);
    return int(height - h * gain / kTopGain - kBottom);
}

int unityY(int height) {
    int h = plotHeight(height);
    return int(h - h / kTopGain);
}

std::string cursorLabel(int index, double gain, int count) {
    double x = count > 1 ? index * 0.5 / (count - 1) : 0.0;
    char buf[96];
    std::snprintf(buf, sizeof buf, "X: %.2f; Y: %.2f", x, gain);
    return buf;
}

std::string scaleText(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

void flatten(float* gains, int& count) {
    count = kPointCount;
    for (int i = 0; i < kCapacity; ++i)
        gains[i] = 1.0f;
}

} // namespace config::eq
