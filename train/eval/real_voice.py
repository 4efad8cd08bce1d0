"""Builds a small corpus on the one real voice training never hears (the French telephone prompts
of asterisk-core-sounds-fr-g722, held out by make_pool.py), in the layout bench/quality reads.

  /usr/bin/python3 train/eval/real_voice.py OUTDIR
  CORPUS=OUTDIR METHODS="3 2" PEERS="rnnoise sox-noisered" bench/quality /tmp/real-out

Each file: 0.5 s of lead, one to three prompts with 0.2-0.8 s gaps, 0.4 s of tail; white, pink,
fan, hum, babble and recorded noise at -5, 0, 5, 10 and 15 dB SNR over active speech (the bench's
own rule), two files each, mixed to -26 dBFS. The noises come from the training's generators;
babble is drawn from the held-out synthetic voices only (never the target's), and the recorded
noises from the held-out package. Needs the pool (train/setup-deps, then make_pool.py).
"""

import csv
import os
import sys

import numpy as np
from scipy.io import wavfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import data  # noqa: E402

sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "shared", "bench"))
import metrics  # noqa: E402

KINDS = ["white", "pink", "fan", "hum", "babble", "recorded"]
SNRS = [-5, 0, 5, 10, 15]
PER_CELL = 2
LEVEL_DBFS = -26.0
REAL_HELD_OUT = "asterisk-core-sounds-fr-g722"


def main():
    out = sys.argv[1]
    for sub in ("clean", "noisy"):
        os.makedirs(os.path.join(out, sub), exist_ok=True)
    rng = np.random.default_rng(7)
    maker = data.Maker("heldout", 7)
    maker.recipe = 4
    with open(os.path.join(data.POOL, "speech.csv")) as fh:
        held = [r for r in csv.DictReader(fh) if r["split"] == "heldout"]
    assert len(held) == len(maker.speech)
    prompts = [x for x, r in zip(maker.speech, held) if r["source"] == REAL_HELD_OUT]
    maker.babble_speech = [x for x, r in zip(maker.speech, held) if r["source"] != REAL_HELD_OUT]
    if not prompts:
        sys.exit(f"no {REAL_HELD_OUT} prompts in the pool; run train/setup-deps and make_pool.py")
    rate = data.RATE
    rows = []
    for kind in KINDS:
        for snr in SNRS:
            for _ in range(PER_CELL):
                parts = [np.zeros(int(0.5 * rate))]
                for _ in range(int(rng.integers(1, 4))):
                    parts += [prompts[int(rng.integers(len(prompts)))].astype(np.float64),
                              np.zeros(int(rng.uniform(0.2, 0.8) * rate))]
                parts.append(np.zeros(int(0.4 * rate)))
                clean = np.concatenate(parts) / 32768.0
                maker.n = len(clean)
                noise = maker.plain_noise(rng, kind)
                mix = clean + metrics.snr_gain(clean, noise, rate, snr) * noise
                scale = min(10 ** (LEVEL_DBFS / 20) / np.sqrt(np.mean(mix ** 2)), 0.99 / np.max(np.abs(mix)))
                name = f"real-{len(rows):03d}"
                for sub, x in (("clean", clean), ("noisy", mix)):
                    wavfile.write(os.path.join(out, sub, name + ".wav"), rate,
                                  np.round(x * scale * 32767).astype(np.int16))
                rows.append([name, f"clean/{name}.wav", f"noisy/{name}.wav", kind, snr, rate, REAL_HELD_OUT,
                             "fr", f"{maker.n / rate:.3f}"])
    with open(os.path.join(out, "manifest.csv"), "w", newline="") as fh:
        w = csv.writer(fh)
        w.writerow(["id", "clean", "noisy", "noise", "snr_db", "rate", "source", "lang", "seconds"])
        w.writerows(rows)
    print(f"{len(rows)} files in {out}")


if __name__ == "__main__":
    main()
