#pragma once
// Branch-light float approximations of exp, log and the exponential integral
// E1 used by the per-bin gain rules. Each costs a few multiplies, so the
// per-frame loops over 129..1025 bins stay cheap and vectorisable. Relative
// error is below 1e-5 for exp/log and below 1e-4 for E1, far finer than any
// gain decision needs.

#include <cstdint>
#include <cstring>

namespace veldra {

// e^x for x in about [-87, 87]; values outside are clamped, so the result is
// always a finite normal float (no denormals reach the recursive averages).
inline float fastExp(float x) {
    x = x < -87.0f ? -87.0f : (x > 87.0f ? 87.0f : x);
    const float t = x * 1.44269504f; // x / ln 2
    const float fi = t < 0.0f ? static_cast<float>(static_cast<int32_t>(t) - 1)
                              : static_cast<float>(static_cast<int32_t>(t));
    const float f = t - fi; // in [0, 1)
    // 2^f on [0, 1), degree-6 Taylor series in f*ln2: relative error below 1e-5.
    float p = 1.5403530e-4f;
    p = p * f + 1.3333558e-3f;
    p = p * f + 9.6181291e-3f;
    p = p * f + 5.5504109e-2f;
    p = p * f + 2.4022651e-1f;
    p = p * f + 6.9314718e-1f;
    p = p * f + 1.0f;
    const int32_t e = static_cast<int32_t>(fi) + 127;
    const uint32_t bits = static_cast<uint32_t>(e) << 23;
    float scale;
    std::memcpy(&scale, &bits, sizeof scale);
    return p * scale;
}

// Natural logarithm for x > 0 (x <= 0 is taken as the smallest normal float).
inline float fastLog(float x) {
    x = x < 1.17549435e-38f ? 1.17549435e-38f : x;
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int32_t e = static_cast<int32_t>((bits >> 23) & 0xff) - 127;
    bits = (bits & 0x007fffffu) | 0x3f800000u; // mantissa in [1, 2)
    float m;
    std::memcpy(&m, &bits, sizeof m);
    // ln m = 2 atanh(s), s = (m - 1) / (m + 1) in [0, 1/3].
    const float s = (m - 1.0f) / (m + 1.0f);
    const float s2 = s * s;
    const float series =
        s * (2.0f + s2 * (0.6666667f + s2 * (0.4f + s2 * (0.2857143f + s2 * 0.2222222f))));
    return static_cast<float>(e) * 0.69314718f + series;
}

// Exponential integral E1(v) for v > 0 (Abramowitz and Stegun 5.1.53 below 1,
// the rational form 5.1.56 above). Tiny v is clamped to 1e-7.
inline float expint1(float v) {
    v = v < 1e-7f ? 1e-7f : v;
    if (v <= 1.0f) {
        const float poly =
            -0.57721566f +
            v * (0.99999193f +
                 v * (-0.24991055f + v * (0.05519968f + v * (-0.00976004f + v * 0.00107857f))));
        return poly - fastLog(v);
    }
    if (v > 60.0f)
        return 0.0f;
    const float num = v * v + 2.334733f * v + 0.250621f;
    const float den = v * v + 3.330657f * v + 1.681534f;
    return fastExp(-v) / v * (num / den);
}

} // namespace veldra
