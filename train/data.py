"""On-the-fly noisy speech: every batch is made from the speech and noise pools and the noise
generators below, seeded by (seed, step) so a resumed run sees exactly the batches it would have
seen. Each example is 4 s: speech utterances with pauses (some examples speech-free, some
noise-free), random spectral tilt and band limits, reverberation, one to three noises at
-10..30 dB SNR, a level of -45..-5 dBFS, sometimes clipping, rounded to 16 bits (from
RECIPE2_FROM_BATCH on, the later recipes below); then resampled to the batch's rate, since the
engine runs the same network at every rate.
"""

import csv
import os

import numpy as np
import torch
from scipy import signal
from scipy.io import wavfile

import features as F

HERE = os.path.dirname(os.path.abspath(__file__))
POOL = os.path.join(HERE, ".cache", "pool")
RATE = 16000
SECONDS = 4.0
# Batches from this number on (optimizer step 6,000 at two steps per batch) follow the second
# recipe: more babble, crowds of up to 24 talkers, SNR down to -10 dB more often, longer
# speech-free stretches. Earlier batches are exactly what they were: from the same pool, a run
# from nothing still sees the first recipe's batches up to step 6,000.
RECIPE2_FROM_BATCH = 3000
# From this batch on (optimizer step 21,000) babble is 40 % of the noises: of all the kinds it is
# the one the network tells least well from the talker it should keep. And the talker is drawn
# by kind of speech (SPEECH_KIND_P3) instead of by utterance: espeak-ng made more than half of
# the utterances, and its very regular harmonics taught the network that speech is harmonic, so
# it cut the breathy, noise-like parts of smoother voices and of recorded people.
RECIPE3_FROM_BATCH = 10500
# From this batch on (optimizer step 70,000) reverberant speech is its own target, room and all:
# the cleaner takes the noise away and leaves the talker as recorded (a reference recorded in a
# room carries the room, and taking it away cut the decays of every word). And PLAIN_SHARE of
# the examples are plain: one steady or common noise (white, pink, hum, fan or babble, from the
# generators below) at -5..15 dB SNR and -35..-15 dBFS, without tilt, band limits or clipping,
# the conditions most recordings meet; the other examples keep the third recipe's variety.
RECIPE4_FROM_BATCH = 35000
PLAIN_SHARE = 0.4
# From this batch on (optimizer step 104,000) VOICE_SHIFT_SHARE of the utterances, the talker's
# and the crowd's, are played faster or slower by up to VOICE_SHIFT (pitch and formants move
# together, as from a shorter or longer vocal tract): the gains at the points fit the training
# voices' harmonics better than held-out voices' (validation loss 0.46 against 0.60 at step
# 104,000), and a voice between the pool's voices is a new voice.
RECIPE5_FROM_BATCH = 52000
VOICE_SHIFT_SHARE = 0.5
VOICE_SHIFT = 0.12
PLAIN_KINDS = ["white", "pink", "hum", "fan", "babble"]
SPEECH_KINDS = ["espeak-ng", "synthesised", "recorded"]  # festival and flite are "synthesised"
SPEECH_KIND_P3 = [0.35, 0.30, 0.35]
RATES = [(16000, 0.5), (8000, 0.17), (11025, 0.1), (22050, 0.05), (32000, 0.06), (44100, 0.05),
         (48000, 0.07)]


def load_pool(name, split):
    """The split's recordings (int16), their voices, and their kinds of speech (an index into
    SPEECH_KINDS)."""
    rows = []
    with open(os.path.join(POOL, name)) as fh:
        for r in csv.DictReader(fh):
            if r["split"] == split:
                rows.append(r)
    audio = []
    for r in rows:
        sr, x = wavfile.read(os.path.join(POOL, r["path"]))
        audio.append(x.astype(np.int16))
    return audio, [r["voice"] for r in rows], [speech_kind(r["source"]) for r in rows]


def speech_kind(source):
    if source == "espeak-ng":
        return 0
    return 1 if source in ("festival", "flite") else 2


def db(x):
    return 10.0 ** (x / 20.0)


def active_power(x, frame=320):
    n = len(x) // frame
    if n == 0:
        return 0.0
    e = (x[:n * frame].reshape(n, frame) ** 2).mean(axis=1)
    if e.max() <= 0:
        return 0.0
    act = e[e > e.max() * 1e-3]
    return float(act.mean())


def looped_excerpt(rng, x, n):
    """n samples from a random place in x repeated end to end."""
    x = np.tile(x, int(np.ceil(n / len(x))) + 1)
    off = int(rng.integers(0, len(x) - n))
    return x[off:off + n]


def voice_shift(rng, x):
    """x played at a speed drawn from 1 -+ VOICE_SHIFT (in steps of 1 %), by polyphase
    resampling."""
    up = 100
    down = int(rng.integers(int(round(100 * (1 - VOICE_SHIFT))), int(round(100 * (1 + VOICE_SHIFT))) + 1))
    if down == up:
        return x
    return signal.resample_poly(x, up, down)


def shape_noise(rng, n, slope_db_per_oct):
    """Gaussian noise with a power slope in dB per octave."""
    spectrum = np.fft.rfft(rng.standard_normal(n))
    f = np.arange(len(spectrum), dtype=np.float64)
    f[0] = 1.0
    spectrum *= f ** (slope_db_per_oct / 20.0 / np.log10(2.0))
    y = np.fft.irfft(spectrum, n)
    return y / (np.std(y) + 1e-12)


def random_eq(rng, x, count):
    """A few random peaking and shelving biquads (tilt, colouration)."""
    for _ in range(count):
        f0 = np.exp(rng.uniform(np.log(100), np.log(6000)))
        gain = rng.uniform(-9, 9)
        q = rng.uniform(0.4, 2.0)
        a = 10 ** (gain / 40)
        w0 = 2 * np.pi * f0 / RATE
        alpha = np.sin(w0) / (2 * q)
        kind = rng.integers(3)
        if kind == 0:  # peaking
            b = [1 + alpha * a, -2 * np.cos(w0), 1 - alpha * a]
            aa = [1 + alpha / a, -2 * np.cos(w0), 1 - alpha / a]
        else:  # low or high shelf
            sa = 2 * np.sqrt(a) * alpha
            c = np.cos(w0)
            if kind == 1:
                b = [a * ((a + 1) - (a - 1) * c + sa), 2 * a * ((a - 1) - (a + 1) * c), a * ((a + 1) - (a - 1) * c - sa)]
                aa = [(a + 1) + (a - 1) * c + sa, -2 * ((a - 1) + (a + 1) * c), (a + 1) + (a - 1) * c - sa]
            else:
                b = [a * ((a + 1) + (a - 1) * c + sa), -2 * a * ((a - 1) + (a + 1) * c), a * ((a + 1) + (a - 1) * c - sa)]
                aa = [(a + 1) - (a - 1) * c + sa, 2 * ((a - 1) - (a + 1) * c), (a + 1) - (a - 1) * c - sa]
        x = signal.lfilter(b, aa, x)
    return x


def band_limit(rng, x):
    if rng.random() < 0.3:
        sos = signal.butter(int(rng.integers(4, 9)), rng.uniform(3300, 7600), "low", fs=RATE, output="sos")
        x = signal.sosfilt(sos, x)
    if rng.random() < 0.25:
        sos = signal.butter(int(rng.integers(2, 5)), rng.uniform(60, 350), "high", fs=RATE, output="sos")
        x = signal.sosfilt(sos, x)
    return x


def room(rng):
    """Synthetic room impulse response (exponentially decaying noise after a direct path) and its
    early part (first 40 ms), which was the target up to the fourth recipe."""
    rt60 = rng.uniform(0.15, 0.9)
    n = int(rt60 * RATE)
    t = np.arange(n) / RATE
    h = rng.standard_normal(n) * np.exp(-6.9 * t / rt60) * db(rng.uniform(-20, -6))
    h = signal.sosfilt(signal.butter(2, rng.uniform(2000, 7000), "low", fs=RATE, output="sos"), h)
    h[0] = 1.0
    early = h.copy()
    early[int(0.04 * RATE):] = 0.0
    return h, early


class Maker:
    def __init__(self, split="train", seed=1):
        self.speech, self.voices, kinds = load_pool("speech.csv", split)
        self.babble_speech = self.speech
        self.by_kind = [[i for i, k in enumerate(kinds) if k == want] for want in range(len(SPEECH_KINDS))]
        self.noise, _, _ = load_pool("noise.csv", split)
        self.seed = seed
        self.n = int(SECONDS * RATE)
        self.recipe = 1

    # ---- speech ----
    def utterance(self, rng):
        if self.recipe >= 3 and all(self.by_kind):
            group = self.by_kind[int(rng.choice(len(SPEECH_KINDS), p=SPEECH_KIND_P3))]
            x = self.speech[group[int(rng.integers(len(group)))]].astype(np.float64)
        else:
            x = self.speech[int(rng.integers(len(self.speech)))].astype(np.float64)
        if self.recipe >= 5 and rng.random() < VOICE_SHIFT_SHARE:
            x = voice_shift(rng, x)
        return x * db(rng.uniform(-6, 6)) / (np.sqrt(active_power(x)) + 1e-9)

    def speech_track(self, rng):
        y = np.zeros(self.n)
        pos = int(rng.uniform(-0.5, 0.8) * RATE)
        while pos < self.n:
            u = self.utterance(rng)
            a, b = max(pos, 0), min(pos + len(u), self.n)
            if b > a:
                y[a:b] += u[a - pos:b - pos]
            if self.recipe >= 2 and rng.random() < 0.25:
                pos += len(u) + int(rng.uniform(1.2, 3.0) * RATE)  # a long pause
            else:
                pos += len(u) + int(rng.uniform(0.05, 1.2) * RATE)
        return y

    # ---- noises ----
    def gen_noise(self, rng, kind):
        n = self.n
        t = np.arange(n) / RATE
        if kind == "coloured":
            return shape_noise(rng, n, rng.choice([0.0, -3.0, -6.0, rng.uniform(-9, 3)]))
        if kind == "band":
            lo = np.exp(rng.uniform(np.log(80), np.log(3000)))
            hi = min(lo * np.exp(rng.uniform(0.5, 2.5)), 7900)
            return signal.sosfilt(signal.butter(3, [lo, hi], "band", fs=RATE, output="sos"), rng.standard_normal(n))
        if kind == "modulated":
            x = shape_noise(rng, n, rng.uniform(-8, 0))
            if rng.random() < 0.5:
                env = 1 + rng.uniform(0.3, 0.95) * np.sin(2 * np.pi * rng.uniform(0.3, 12) * t + rng.uniform(0, 6))
            else:  # random smooth envelope
                k = int(rng.integers(4, 40))
                env = np.interp(t, np.linspace(0, SECONDS, k), rng.uniform(0.05, 1.0, k))
            return x * env
        if kind == "hum":
            f0 = rng.choice([50.0, 60.0, rng.uniform(40, 400)]) * rng.uniform(0.99, 1.01)
            y = np.zeros(n)
            for h in range(1, int(rng.integers(2, 20))):
                if f0 * h > 7800:
                    break
                y += rng.uniform(0.05, 1.0) / h ** rng.uniform(0, 1.5) * np.sin(2 * np.pi * f0 * h * t + rng.uniform(0, 6))
            return y + 0.02 * rng.standard_normal(n)
        if kind == "tones":
            y = np.zeros(n)
            for _ in range(int(rng.integers(1, 5))):
                f = np.exp(rng.uniform(np.log(150), np.log(7000)))
                vib = rng.uniform(0, 0.02) * np.sin(2 * np.pi * rng.uniform(0.1, 6) * t)
                y += rng.uniform(0.2, 1.0) * np.sin(2 * np.pi * np.cumsum(f * (1 + vib)) / RATE)
            return y + 0.01 * rng.standard_normal(n)
        if kind == "impulsive":
            y = np.zeros(n)
            count = int(rng.uniform(1, 25) * SECONDS)
            burst_len = int(rng.uniform(0.002, 0.06) * RATE)
            for _ in range(count):
                p = int(rng.integers(0, n - burst_len))
                b = rng.standard_normal(burst_len) * np.exp(-np.arange(burst_len) / (burst_len / 4))
                y[p:p + burst_len] += b * rng.uniform(0.2, 1.0)
            return random_eq(rng, y, 2) + 0.01 * rng.standard_normal(n)
        if kind == "machine":
            rate = rng.uniform(5, 120)
            period = int(RATE / rate)
            pulse = np.zeros(n)
            pulse[::period] = 1.0
            blen = int(rng.integers(20, 400))
            burst = rng.standard_normal(blen) * np.exp(-np.arange(blen) / (blen / 3))
            y = signal.fftconvolve(pulse, burst)[:n]
            y = y / (np.std(y) + 1e-9) + rng.uniform(0.2, 1.5) * shape_noise(rng, n, rng.uniform(-9, -2))
            return random_eq(rng, y, 2)
        if kind == "fan":
            x = shape_noise(rng, n, rng.uniform(-10, -3))
            blade = rng.uniform(8, 60)
            return x * (1 + rng.uniform(0.1, 0.6) * np.sin(2 * np.pi * blade * t))
        if kind == "babble":
            y = np.zeros(n)
            if self.recipe >= 2 and rng.random() < 0.4:
                talkers = int(rng.integers(8, 25))  # a crowd
            else:
                talkers = int(rng.integers(3, 11))
            for _ in range(talkers):
                u = self.babble_speech[int(rng.integers(len(self.babble_speech)))].astype(np.float64)
                if self.recipe >= 5 and rng.random() < VOICE_SHIFT_SHARE:
                    u = voice_shift(rng, u)
                u = u / (np.sqrt(active_power(u)) + 1e-9) * db(rng.uniform(-6, 3))
                y += looped_excerpt(rng, u, n)
            if rng.random() < 0.5:
                h, _ = room(rng)
                y = signal.fftconvolve(y, h)[:n]
            return y
        if kind == "recorded" and self.noise:
            x = self.noise[int(rng.integers(len(self.noise)))].astype(np.float64)
            y = looped_excerpt(rng, x, n)
            return y if np.std(y) > 0 else rng.standard_normal(n)
        return rng.standard_normal(n)

    KINDS = ["coloured", "band", "modulated", "hum", "tones", "impulsive", "machine", "fan", "babble",
             "recorded"]
    KIND_P = [0.16, 0.06, 0.1, 0.07, 0.05, 0.06, 0.08, 0.1, 0.17, 0.15]
    KIND_P2 = [0.14, 0.05, 0.09, 0.06, 0.04, 0.05, 0.07, 0.09, 0.28, 0.13]  # recipe 2: more babble
    KIND_P3 = [0.12, 0.04, 0.08, 0.05, 0.03, 0.04, 0.06, 0.07, 0.40, 0.11]  # recipe 3: babble most

    def kind_p(self):
        return self.KIND_P3 if self.recipe >= 3 else self.KIND_P2 if self.recipe >= 2 else self.KIND_P

    def noise_track(self, rng):
        y = np.zeros(self.n)
        for i in range(int(rng.choice([1, 1, 1, 2, 2, 3]))):
            kind = rng.choice(self.KINDS, p=self.kind_p())
            x = self.gen_noise(rng, kind)
            if rng.random() < 0.4:
                x = random_eq(rng, x, int(rng.integers(1, 3)))
            if rng.random() < 0.2:  # a level that moves
                k = int(rng.integers(2, 6))
                x = x * db(np.interp(np.arange(self.n), np.linspace(0, self.n, k), rng.uniform(-15, 0, k)))
            y += x / (np.sqrt(np.mean(x ** 2)) + 1e-12) * db(0 if i == 0 else rng.uniform(-15, 0))
        return y

    # ---- one example at 16 kHz: (target speech, noisy mixture), 16-bit units ----
    def plain_noise(self, rng, kind):
        """One noise of PLAIN_KINDS (or any of KINDS), self.n samples: white and pink plain, the
        others from gen_noise."""
        if kind == "white":
            return rng.standard_normal(self.n)
        if kind == "pink":
            return shape_noise(rng, self.n, -3.0)
        return self.gen_noise(rng, kind)

    def plain_example(self, rng):
        speech = self.speech_track(rng)
        while active_power(speech) <= 0:
            speech = self.speech_track(rng)
        noise = self.plain_noise(rng, PLAIN_KINDS[int(rng.integers(len(PLAIN_KINDS)))])
        scale = np.sqrt(active_power(speech) / (np.mean(noise ** 2) + 1e-12)) * db(-rng.uniform(-5, 15))
        mix = speech + noise * scale
        g = 32768.0 * db(rng.uniform(-35, -15)) / (np.sqrt(np.mean(mix ** 2)) + 1e-9)
        return speech * g, mix * g

    def example(self, rng):
        if self.recipe >= 4 and rng.random() < PLAIN_SHARE:
            return self.plain_example(rng)
        target = np.zeros(self.n)
        speech = np.zeros(self.n)
        if rng.random() > (0.12 if self.recipe >= 2 else 0.07):  # else speech-free
            s = self.speech_track(rng)
            if rng.random() < 0.7:
                s = random_eq(rng, s, int(rng.integers(1, 4)))
            s = band_limit(rng, s)
            if rng.random() < 0.25:
                h, early = room(rng)
                speech = signal.fftconvolve(s, h)[:self.n]
                target = speech if self.recipe >= 4 else signal.fftconvolve(s, early)[:self.n]
            else:
                speech = target = s
        noise = self.noise_track(rng)
        if rng.random() < 0.15:
            noise = band_limit(rng, noise)
        sp = active_power(speech)
        if sp <= 0:
            scale_n = 1.0
        elif rng.random() < 0.05:
            scale_n = 0.0  # noise-free
        else:
            low = -10 if self.recipe >= 2 else -7
            snr = rng.uniform(low, 17) if rng.random() < 0.7 else rng.uniform(-10, 30)
            scale_n = np.sqrt(sp / (np.mean(noise ** 2) + 1e-12)) * db(-snr)
        mix = speech + noise * scale_n
        if scale_n == 0.0:
            mix = mix + rng.standard_normal(self.n) * 1e-4 * np.sqrt(sp)
        level = rng.uniform(-45, -5)
        g = 32768.0 * db(level) / (np.sqrt(np.mean(mix ** 2)) + 1e-9)
        if rng.random() < 0.05:
            g *= db(rng.uniform(3, 12))  # mild clipping
        return target * g, mix * g

    def batch(self, step, size, rate=None):
        rng = np.random.default_rng([self.seed, step])
        self.recipe = (5 if step >= RECIPE5_FROM_BATCH else 4 if step >= RECIPE4_FROM_BATCH else 3 if step >= RECIPE3_FROM_BATCH
                       else 2 if step >= RECIPE2_FROM_BATCH else 1)
        if rate is None:
            rate = int(rng.choice([r for r, _ in RATES], p=[p for _, p in RATES]))
        targets, mixes = [], []
        for _ in range(size):
            t, m = self.example(rng)
            if rate != RATE:
                g = np.gcd(rate, RATE)
                t = signal.resample_poly(t, rate // g, RATE // g)
                m = signal.resample_poly(m, rate // g, RATE // g)
            m = np.clip(np.round(m), -32768, 32767)
            targets.append(t)
            mixes.append(m)
        return rate, torch.tensor(np.array(targets), dtype=torch.float32), torch.tensor(np.array(mixes), dtype=torch.float32)


def make_inputs(rate, target, mix):
    """Features [B, T, NFEAT + NFEAT_POINTS] and targets for a batch: per band the gain, presence,
    noise share and mask, the frame's voice decision, and per point below 1 kHz the gain, mask
    and whether speech is absent there."""
    p_mix, spectrum_mix = F.power_frames(mix, rate)
    p_target, spectrum_target = F.power_frames(target, rate)
    n = spectrum_mix - spectrum_target
    p_noise = n.real ** 2 + n.imag ** 2
    w = torch.from_numpy(F.band_weights(rate, F.frame_length(rate)))
    feats = F.features_from_power(p_mix, rate, w, points=True)
    s_b = F.band_energy(p_target, rate, w)
    n_b = F.band_energy(p_noise, rate, w)
    tot = s_b + n_b
    mask = (tot > F.EPS).float()
    gain = torch.sqrt(s_b / (tot + 1e-12)).clamp(0, 1)
    share = (n_b / (tot + 1e-12)).clamp(0, 1)
    snr_db = 10 * torch.log10((s_b + 1e-12) / (n_b + F.EPS))
    presence = ((snr_db + 12.0) / 9.0).clamp(0, 1)
    frame_e = s_b.sum(-1)
    peak = frame_e.max(dim=1, keepdim=True).values
    vad = ((frame_e > peak * 1e-3) & (frame_e > 1e-3)).float()
    s_p = F.point_power(p_target, rate)
    n_p = F.point_power(p_noise, rate)
    point_gain = torch.sqrt(s_p / (s_p + n_p + 1e-12)).clamp(0, 1)
    point_mask = (s_p + n_p > F.EPS).float()
    point_absent = (10 * torch.log10((s_p + 1e-12) / (n_p + F.EPS)) <= -12.0).float()
    return feats, gain, presence, share, mask, vad, point_gain, point_mask, point_absent
