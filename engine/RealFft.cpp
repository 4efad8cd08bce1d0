// Real transforms through a complex transform of M = N/2 points (see RealFft.h).
//
// The complex transform is Stockham's autosort form of decimation in frequency, radix 2: a stage
// of half-length l and stride m (l m = M/2) reads one array and writes the other,
//   b[k + 2jm]     = a[k + jm] + a[k + jm + lm]
//   b[k + 2jm + m] = w_j (a[k + jm] - a[k + jm + lm]),   w_j = e^(-2 pi i j / 2l),
// for j < l and k < m, starting at l = M/2, m = 1, and the output comes out in order. Stages with
// a stride of 8 or more run along k; the first three, with strides 1, 2 and 4, along j with the
// stride known to the compiler; both vectorise. Real and imaginary parts are kept apart.
//
// The real forward transform packs x into z[n] = x[2n] + i x[2n+1], transforms it to Z, and
// separates the two halves:
//   X[k] = (Z[k] + conj Z[M-k]) / 2 - i W^k (Z[k] - conj Z[M-k]) / 2,   W = e^(-2 pi i / N),
// and the inverse builds Z[k] = (X[k] + conj X[M-k]) + i W^-k (X[k] - conj X[M-k]) and inverts
// it, with the inverse complex transform as the forward one of the parts exchanged
// (ifft(a + ib) = swap(fft(b + ia))).

#include "engine/RealFft.h"

#include <cmath>
#include <cstdint>

#include "engine/Clones.h"

namespace veldra {
namespace fft {

namespace {

constexpr int kMaxHalf = kMaxLength / 2;

struct Header {
    int32_t length;
    int32_t pad[7]; // the tables start 32 bytes in
};

constexpr int roundUp8(int n) {
    return (n + 7) & ~7;
}
static_assert(planBytes(kMaxLength) ==
                  sizeof(Header) + 4 * (kMaxLength + 2 * roundUp8(kMaxHalf + 1)),
              "planBytes must count the tables makePlan writes");

// The tables of a plan for N points, M = N/2:
//   stageRe/Im[l - 1 + j] = e^(-2 pi i j / 2l) for l = 1, 2, 4 ... M/2 and j < l (M - 1 entries)
//   postRe/Im[k] = W^k for k = 0 ... M
struct Tables {
    const float* stageRe;
    const float* stageIm;
    const float* postRe;
    const float* postIm;
    int half;
};

Tables tablesOf(const void* plan) {
    const Header* h = static_cast<const Header*>(plan);
    const int m = h->length / 2;
    const float* base = reinterpret_cast<const float*>(h + 1);
    const int post = roundUp8(m + 1);
    return Tables{base, base + m, base + 2 * m, base + 2 * m + post, m};
}

bool isPowerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

// One stage with a stride known at compile time (1, 2 or 4), running along j.
template <int Stride>
__attribute__((always_inline)) inline void
narrowStage(int l, const float* __restrict wr, const float* __restrict wi,
            const float* __restrict ar, const float* __restrict ai, float* __restrict br,
            float* __restrict bi) {
    const int lm = l * Stride;
    for (int k = 0; k < Stride; ++k) {
        for (int j = 0; j < l; ++j) {
            const float c0r = ar[k + j * Stride], c0i = ai[k + j * Stride];
            const float c1r = ar[k + j * Stride + lm], c1i = ai[k + j * Stride + lm];
            const float dr = c0r - c1r, di = c0i - c1i;
            br[k + 2 * j * Stride] = c0r + c1r;
            bi[k + 2 * j * Stride] = c0i + c1i;
            br[k + 2 * j * Stride + Stride] = dr * wr[j] - di * wi[j];
            bi[k + 2 * j * Stride + Stride] = dr * wi[j] + di * wr[j];
        }
    }
}

// One stage with a stride of 8 or more, running along k.
__attribute__((always_inline)) inline void wideStage(int l, int m, const float* __restrict wr,
                                                     const float* __restrict wi,
                                                     const float* __restrict ar,
                                                     const float* __restrict ai,
                                                     float* __restrict br, float* __restrict bi) {
    const int lm = l * m;
    for (int j = 0; j < l; ++j) {
        const float w0 = wr[j], w1 = wi[j];
        const float* a0r = ar + j * m;
        const float* a0i = ai + j * m;
        float* b0r = br + 2 * j * m;
        float* b0i = bi + 2 * j * m;
        for (int k = 0; k < m; ++k) {
            const float c0r = a0r[k], c0i = a0i[k];
            const float c1r = a0r[k + lm], c1i = a0i[k + lm];
            const float dr = c0r - c1r, di = c0i - c1i;
            b0r[k] = c0r + c1r;
            b0i[k] = c0i + c1i;
            b0r[k + m] = dr * w0 - di * w1;
            b0i[k + m] = dr * w1 + di * w0;
        }
    }
}

// The complex transform of (re, im), M points, in place; (wre, wim) is scratch of M points.
VELDRA_CLONES void complexForward(const float* stageRe, const float* stageIm, int half, float* re,
                                  float* im, float* wre, float* wim) {
    float *ar = re, *ai = im, *br = wre, *bi = wim;
    for (int l = half / 2, m = 1; l >= 1; l /= 2, m *= 2) {
        const float* wr = stageRe + (l - 1);
        const float* wi = stageIm + (l - 1);
        if (m == 1)
            narrowStage<1>(l, wr, wi, ar, ai, br, bi);
        else if (m == 2)
            narrowStage<2>(l, wr, wi, ar, ai, br, bi);
        else if (m == 4)
            narrowStage<4>(l, wr, wi, ar, ai, br, bi);
        else
            wideStage(l, m, wr, wi, ar, ai, br, bi);
        float* t = ar;
        ar = br;
        br = t;
        t = ai;
        ai = bi;
        bi = t;
    }
    if (ar != re) {
        for (int n = 0; n < half; ++n) {
            re[n] = ar[n];
            im[n] = ai[n];
        }
    }
}

} // namespace

bool makePlan(int length, void* memory) {
    if (!isPowerOfTwo(length) || length < kMinLength || length > kMaxLength || memory == nullptr)
        return false;
    Header* h = static_cast<Header*>(memory);
    *h = Header{};
    h->length = length;
    const int m = length / 2;
    float* base = reinterpret_cast<float*>(h + 1);
    float* stageRe = base;
    float* stageIm = base + m;
    float* postRe = base + 2 * m;
    float* postIm = postRe + roundUp8(m + 1);
    for (int l = 1; l < m; l *= 2) {
        for (int j = 0; j < l; ++j) {
            const double a = -M_PI * j / l;
            stageRe[l - 1 + j] = static_cast<float>(std::cos(a));
            stageIm[l - 1 + j] = static_cast<float>(std::sin(a));
        }
    }
    stageRe[m - 1] = stageIm[m - 1] = 0.0f; // unused
    for (int k = 0; k < roundUp8(m + 1); ++k) {
        const double a = -2.0 * M_PI * k / length;
        postRe[k] = k <= m ? static_cast<float>(std::cos(a)) : 0.0f;
        postIm[k] = k <= m ? static_cast<float>(std::sin(a)) : 0.0f;
    }
    return true;
}

VELDRA_CLONES void forward(const void* plan, const float* in, Complex* out) {
    const Tables t = tablesOf(plan);
    const int m = t.half;
    alignas(32) float zr[kMaxHalf], zi[kMaxHalf], sr[kMaxHalf], si[kMaxHalf];
    for (int n = 0; n < m; ++n) {
        zr[n] = in[2 * n];
        zi[n] = in[2 * n + 1];
    }
    complexForward(t.stageRe, t.stageIm, m, zr, zi, sr, si);
    out[0] = Complex{zr[0] + zi[0], 0.0f};
    out[m] = Complex{zr[0] - zi[0], 0.0f};
    for (int k = 1; k < m; ++k) {
        const float ar = zr[k], ai = zi[k];
        const float br = zr[m - k], bi = -zi[m - k]; // conj Z[M-k]
        const float er = 0.5f * (ar + br), ei = 0.5f * (ai + bi);
        const float odr = 0.5f * (ai - bi), odi = -0.5f * (ar - br); // -i (A - B) / 2
        const float wr = t.postRe[k], wi = t.postIm[k];
        out[k] = Complex{er + wr * odr - wi * odi, ei + wr * odi + wi * odr};
    }
}

VELDRA_CLONES void inverse(const void* plan, const Complex* in, float* out) {
    const Tables t = tablesOf(plan);
    const int m = t.half;
    // Z with its parts exchanged, so the forward transform inverts it.
    alignas(32) float zr[kMaxHalf], zi[kMaxHalf], sr[kMaxHalf], si[kMaxHalf];
    // The bins in split form first (in the scratch), so the loop below reads both ends
    // vectorised.
    for (int k = 0; k < m; ++k) {
        sr[k] = in[k].r;
        si[k] = in[k].i;
    }
    zi[0] = in[0].r + in[m].r;
    zr[0] = in[0].r - in[m].r;
    for (int k = 1; k < m; ++k) {
        const float ar = sr[k], ai = si[k];
        const float br = sr[m - k], bi = -si[m - k]; // conj X[M-k]
        const float sr0 = ar + br, si0 = ai + bi;
        const float dr = ar - br, di = ai - bi;
        const float wr = t.postRe[k], wi = -t.postIm[k]; // W^-k
        // i W^-k (dr + i di) = i (wr dr - wi di) - (wr di + wi dr)
        zi[k] = sr0 - (wr * di + wi * dr);
        zr[k] = si0 + (wr * dr - wi * di);
    }
    complexForward(t.stageRe, t.stageIm, m, zr, zi, sr, si);
    for (int n = 0; n < m; ++n) {
        out[2 * n] = zi[n];
        out[2 * n + 1] = zr[n];
    }
}

} // namespace fft
} // namespace veldra
