"""The network's input features and the engine's analysis, exactly as veldra computes them.

Frame geometry (as the engine): N = power of two nearest to 32 ms at the rate, hop H = N / 2,
window w[n] = sin(pi n / N) (the square root of a periodic Hann window). Frame t covers input
samples [(t - 1) H, (t + 1) H); samples before the stream are zero. P_k = |FFT_k|^2 of the
windowed frame, k = 0 .. N/2, bin k at f_k = k fs / N Hz.

Bands: 32 triangles over the points BAND_HZ (0 .. 8000 Hz, about one ERB apart, at least
62.5 Hz): bin f between points b and b + 1 has weight (p[b+1] - f) / (p[b+1] - p[b]) in band b
and the rest in band b + 1; bins above 8000 Hz belong to no band. The same weights interpolate the
network's band outputs back to the bins.

Per band b, with D_k = P_k / (N fs) (a power density independent of the frame geometry),
W_b = sum_k w_bk, EPS = 1e-5 (about the density of 16-bit quantisation noise):
  E_b = sum_k w_bk D_k / W_b            (0 when W_b = 0: the band lies above the Nyquist rate)
  A_b = sum_k w_bk ln(D_k + EPS) / W_b  (ln EPS when W_b = 0)
  feature[b]      = (ln(E_b + EPS) + 2) / 5                   (band level)
  feature[32 + b] = max(A_b - ln(E_b + EPS), -5) / 2 + 0.3    (log spectral flatness: harmonic
                                                               structure inside the band)

Periodicity: which one voice, if any, dominates the frame, and in which bands. The frame's
autocorrelation R(T) = (1/N) sum over all N bins of D_k cos(2 pi k T / N) (an inverse real FFT of D)
is normalised by the analysis window's own, v(u) = (1 - u) cos(pi u) + sin(pi u) / pi at u = T / N,
and searched over the lags of 62.5 .. 400 Hz (T from round(fs / 400) to min(round(fs / 62.5), N / 2)):
  rho(T) = R(T) / ((R(0) + EPS) v(T / N)),   T* = the first lag of the largest rho(T) - 6 T / fs
                                        (a longer lag costs a little, so the period of a clean
                                         voice wins over its multiples, which correlate as well)
  feature[64 + b] = sum_k w_bk D_k cos(2 pi k T* / N) / (sum_k w_bk D_k + W_b EPS)
                                        (how much of band b repeats with the period T*: near 1 for
                                         the harmonics of the voice that set T*, 0 above Nyquist)
  feature[96] = min(max(rho(T*), -1), 1)                    (how periodic the frame is)
  feature[97] = log2(fs / T* / 62.5) / 2.68                 (the period, as a pitch from 0 to 1)
Points below 1 kHz: NPOINT frequencies f_p = (p + 1) POINT_HZ (31.25 .. 1000 Hz), where the band
gains are too coarse to follow the harmonics of a voice. D(f_p) is the density interpolated
linearly between the two bins around f_p (exactly one bin at 8 and 16 kHz); E(f) is the band
level interpolated at f with the band triangles (sum_b w_b(f) E_b). Per point:
  feature[98 + p] = r_p = (ln(D(f_p) + EPS) - ln(E(f_p) + EPS)) / 2   (a peak or a valley against
                                                                      the band around it)
  feature[130 + p] = m_p(t) = POINT_SMOOTHING m_p(t - 1) + (1 - POINT_SMOOTHING) r_p(t), m_p = 0
                     before the stream                             (where the peaks stay: a hum)
The head for the points also takes, computed from features 96 and 97 (no feature of its own):
  c_p = max(feature[96], 0) cos(2 pi f_p / f0),  f0 = 62.5 2^(2.68 feature[97]) = fs / T*
                                        (+1 on a harmonic of the period T*, -1 halfway between two,
                                         as much as the frame is periodic)
"""

import math

import numpy as np

# PyTorch is imported by the functions that work on tensors only: the framing and band weights
# serve bench/oracle-ceiling too, on machines that have numpy but not the training's packages.

BAND_HZ = [0.0, 62.5, 125.0, 187.5, 250.0, 312.5, 375.0, 437.5, 500.0, 593.75, 687.5, 781.25,
           906.25, 1031.25, 1187.5, 1343.75, 1500.0, 1687.5, 1906.25, 2156.25, 2406.25, 2718.75,
           3031.25, 3406.25, 3812.5, 4250.0, 4750.0, 5312.5, 5906.25, 6593.75, 7281.25, 8000.0]
NB = len(BAND_HZ)
NFEAT = 3 * NB + 2
NFEAT_BANDS = 2 * NB  # the features before periodicity (the network was first trained on these)
PITCH_LO_HZ = 62.5
PITCH_HI_HZ = 400.0
PITCH_OCTAVES = 2.68
PITCH_LAG_COST = 6.0  # per second of lag
EPS = 1e-5
POINT_HZ = 31.25
NPOINT = 32
POINT_SMOOTHING = 0.95
NFEAT_POINTS = 2 * NPOINT  # the point features, after the NFEAT others


def frame_length(rate):
    n = 256
    target = 0.032 * rate
    while n < 2048 and target > n * 1.41421356:
        n *= 2
    return n


def band_weights_at(f):
    """The band triangles' weights [NB] at the frequency f (0 .. 8000 Hz): the bin of a band
    weighting, or a point below 1 kHz."""
    w = np.zeros(NB, dtype=np.float64)
    b = 0
    while b + 1 < NB and BAND_HZ[b + 1] < f:
        b += 1
    a = (BAND_HZ[b + 1] - f) / (BAND_HZ[b + 1] - BAND_HZ[b])
    w[b] += a
    w[b + 1] += 1.0 - a
    return w


def band_weights(rate, n):
    """float32 [NB, n/2 + 1] triangle weights."""
    bins = n // 2 + 1
    w = np.zeros((NB, bins), dtype=np.float64)
    for k in range(bins):
        f = k * rate / n
        if f <= BAND_HZ[-1]:
            w[:, k] = band_weights_at(f)
    return w.astype(np.float32)


def window(n):
    i = np.arange(n, dtype=np.float64)
    return np.sin(np.pi * i / n).astype(np.float32)


def power_frames(x, rate):
    """x: float tensor [B, T] in 16-bit sample units. Returns P [B, frames, N/2+1] (float32) and
    the complex spectrum, frames = T // H (a trailing partial hop is dropped)."""
    import torch

    n = frame_length(rate)
    h = n // 2
    frames = x.shape[-1] // h
    x = x[..., :frames * h]
    x = torch.nn.functional.pad(x, (h, 0))
    seg = x.unfold(-1, n, h)  # [B, frames, n]
    spectrum = torch.fft.rfft(seg * torch.from_numpy(window(n)), dim=-1)
    return spectrum.real ** 2 + spectrum.imag ** 2, spectrum


def lag_range(rate, n):
    """The lags searched for the period, first and last included."""
    return int(round(rate / PITCH_HI_HZ)), min(int(round(rate / PITCH_LO_HZ)), n // 2)


def window_correlation(u):
    """The analysis window's autocorrelation at lag u = T / N, relative to lag 0."""
    return (1.0 - u) * np.cos(np.pi * u) + np.sin(np.pi * u) / np.pi


FRAME_LENGTHS = (256, 512, 1024, 2048)


def window_inverse_table(n):
    """float32 1 / v(T / N) for T = 0 .. N / 2; the engine has these for every frame length, one
    after the other (export.py writes them)."""
    lags = np.arange(n // 2 + 1)
    return (1.0 / window_correlation(lags / n)).astype(np.float32)


def _band_weighting(rate, weights):
    """The frame length, the band weights (computed when None), which bands hold any bin, and
    1 / W_b for those (0 for the others)."""
    import torch

    n = frame_length(rate)
    if weights is None:
        weights = torch.from_numpy(band_weights(rate, n))
    wsum = weights.sum(dim=1)
    has = wsum > 0
    inv = torch.where(has, 1.0 / torch.where(has, wsum, torch.ones_like(wsum)), torch.zeros_like(wsum))
    return n, weights, has, inv


def features_from_power(p, rate, weights=None, points=False):
    """p: [..., bins] float32 power ([B, T, bins] with points). Returns [..., NFEAT] float32, with
    points [..., NFEAT + NFEAT_POINTS]."""
    import torch

    n, weights, has, inv = _band_weighting(rate, weights)
    d = p / float(n * rate)
    e = (d @ weights.t()) * inv
    a = (torch.log(d + EPS) @ weights.t()) * inv
    a = torch.where(has, a, torch.full_like(a, math.log(EPS)))
    le = torch.log(e + EPS)
    f1 = (le + 2.0) / 5.0
    f2 = torch.clamp(a - le, min=-5.0) / 2.0 + 0.3
    f3, rho, pitch = _periodicity(d, rate, n, weights)
    out = [f1, f2, f3, rho[..., None], pitch[..., None]]
    if points:
        out.append(point_features(p, rate, e))
    return torch.cat(out, dim=-1)


def _periodicity(d, rate, n, weights):
    """Per band correlation at the frame's period, the frame's periodicity, its pitch feature."""
    import torch

    r = torch.fft.irfft(d, n=n, dim=-1)
    lo, hi = lag_range(rate, n)
    lags = np.arange(lo, hi + 1)
    inv_v = torch.from_numpy(window_inverse_table(n)[lags])
    rho = r[..., lo:hi + 1] / (r[..., :1] + EPS) * inv_v
    cost = torch.from_numpy((PITCH_LAG_COST * lags / rate).astype(np.float32))
    idx = (rho - cost).argmax(dim=-1, keepdim=True)  # the first of equal maxima
    best = rho.gather(-1, idx)[..., 0]
    lag = (idx[..., 0] + lo).to(torch.float64)
    k = torch.arange(n // 2 + 1, dtype=torch.float64)
    cosk = torch.cos(2.0 * math.pi * k * lag[..., None] / n).to(d.dtype)
    wsum = weights.sum(dim=1)
    num = (d * cosk) @ weights.t()
    den = d @ weights.t() + wsum * EPS
    corr = torch.where(wsum > 0, num / den, torch.zeros_like(num))
    pitch = (torch.log2(rate / lag / PITCH_LO_HZ) / PITCH_OCTAVES).to(d.dtype)
    return corr, best.clamp(-1.0, 1.0), pitch


def band_energy(p, rate, weights=None):
    """Weighted band means of the density D = P / (N fs): [..., NB]."""
    n, weights, _, inv = _band_weighting(rate, weights)
    return (p / float(n * rate)) @ weights.t() * inv


def point_hz():
    return [(p + 1) * POINT_HZ for p in range(NPOINT)]


def _interpolation(f, rate, n):
    """The bin below the frequency f and the weight of the bin above it."""
    x = f * n / rate
    k = int(math.floor(x))
    return k, x - k


def point_weights(rate, n):
    """float32 [NPOINT, n/2 + 1]: each point's density as a linear interpolation of the bins."""
    w = np.zeros((NPOINT, n // 2 + 1), dtype=np.float64)
    for p, f in enumerate(point_hz()):
        k, a = _interpolation(f, rate, n)
        w[p, k] += 1.0 - a
        if a > 0:
            w[p, k + 1] += a
    return w.astype(np.float32)


def point_band_weights():
    """float32 [NPOINT, NB]: the band triangles at each point (the band levels and the band gains
    interpolated there)."""
    return np.stack([band_weights_at(f) for f in point_hz()]).astype(np.float32)


def point_power(p, rate):
    """[..., bins] power -> [..., NPOINT] density D(f_p)."""
    import torch

    n = frame_length(rate)
    return (p / float(n * rate)) @ torch.from_numpy(point_weights(rate, n)).t()


def point_comb(feats):
    """[..., NFEAT or more] features -> [..., NPOINT]: c_p, the comb of the frame's period at the
    points (see above)."""
    import torch

    rho = feats[..., 3 * NB].clamp(min=0.0)
    f0 = PITCH_LO_HZ * torch.exp2(PITCH_OCTAVES * feats[..., 3 * NB + 1])
    hz = torch.tensor(point_hz(), dtype=feats.dtype)
    return rho[..., None] * torch.cos((2.0 * math.pi) * hz / f0[..., None])


def point_features(p, rate, band_e):
    """p: [B, T, bins] power, band_e: [B, T, NB] band levels E_b. Returns [B, T, NFEAT_POINTS]:
    r then m (m runs over the frames from 0)."""
    import torch
    from scipy.signal import lfilter

    e_at = band_e @ torch.from_numpy(point_band_weights()).t()
    r = (torch.log(point_power(p, rate) + EPS) - torch.log(e_at + EPS)) / 2.0
    a = POINT_SMOOTHING
    m = lfilter([1.0 - a], [1.0, -a], r.double().numpy(), axis=1)
    return torch.cat([r, torch.from_numpy(m).to(r.dtype)], dim=-1)
