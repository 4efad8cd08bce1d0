#pragma once
// The engine's transforms: real input of N points (a power of two, kMinLength to kMaxLength),
//   forward  X[k] = sum_n x[n] e^(-2 pi i k n / N),   k = 0 ... N/2,
//   inverse  x[n] = sum_k X[k] e^(+2 pi i k n / N),   n = 0 ... N - 1 (unnormalised: inverse of
//            forward gives N x; the bins above N/2 are the conjugates of those below, and the
//            imaginary parts of bins 0 and N/2 are taken as 0).
// Both go through one complex transform of N/2 points, in split real and imaginary arrays so that
// every stage vectorises. A plan is only a table of twiddle factors in memory the caller provides:
// nothing is allocated, and a plan holds no pointers, so the memory may be moved or copied.

#include <cstddef>

namespace veldra {
namespace fft {

constexpr int kMinLength = 16;
constexpr int kMaxLength = 2048;

// A bin, laid out as two floats (real, imaginary).
struct Complex {
    float r;
    float i;
};

// Bytes a plan for `length` points takes: a 32-byte header, the twiddles of the stages (N/2
// complex) and of the real transform's halves (N/2 + 1 complex, padded to eight).
constexpr std::size_t planBytes(int length) {
    return 32u + 4u * (2u * static_cast<std::size_t>(length / 2) +
                       2u * ((static_cast<std::size_t>(length / 2) + 8u) & ~std::size_t{7}));
}

// Writes the plan for `length` points into `memory` (planBytes(length) bytes, aligned for floats).
// False, writing nothing, when the length is not a power of two within the range.
bool makePlan(int length, void* memory);

// `in` N samples, `out` N/2 + 1 bins. `in` and `out` may not overlap.
void forward(const void* plan, const float* in, Complex* out);
// `in` N/2 + 1 bins, `out` N samples. `in` and `out` may not overlap.
void inverse(const void* plan, const Complex* in, float* out);

} // namespace fft
} // namespace veldra
