"""Builds the speech and recorded-noise pools in train/.cache/pool (16 kHz, 16-bit mono WAV),
once: text-to-speech from espeak-ng, festival and flite, plus recordings unpacked from Debian
packages by train/setup-deps. Writes pool/speech.csv and pool/noise.csv (path, source, voice,
split, seconds); split "heldout" marks the voices kept out of training (train/SOURCES.md).

  /usr/bin/python3 train/make_pool.py [--jobs 2]
"""

import argparse
import csv
import glob
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import zlib
from concurrent.futures import ThreadPoolExecutor

import numpy as np
from scipy.io import wavfile

HERE = os.path.dirname(os.path.abspath(__file__))
CACHE = os.path.join(HERE, ".cache")
POOL = os.path.join(CACHE, "pool")
PKG = os.path.join(CACHE, "pkg")
RATE = 16000

# Voices of our own kept out of training, to measure how the model does on voices it never heard.
HELDOUT_ESPEAK_LANGS = {"es", "pl", "pt", "sv"}
HELDOUT_ESPEAK_VARIANTS = {"klatt4", "m6", "f5", "Andrea", "steph"}
HELDOUT_FESTIVAL = {"hy_fi_mv_diphone", "czech_dita"}
HELDOUT_FLITE = {"rms"}
HELDOUT_PACKAGES = {"asterisk-core-sounds-fr-g722", "ufoai-sound"}


def sentences(rng):
    text = ""
    for f in sorted(glob.glob("/usr/share/common-licenses/*")):
        if os.path.isfile(f):
            with open(f, errors="ignore") as fh:
                text += fh.read() + "\n"
    text = re.sub(r"[^A-Za-z0-9,.;:?!' \n-]", " ", text)
    parts = re.split(r"[.;:?!]\s+|\n\s*\n", text)
    out = []
    for p in parts:
        words = p.split()
        if len(words) < 3:
            continue
        start = rng.randrange(0, max(1, len(words) - 18))
        out.append(" ".join(words[start:start + rng.randint(4, 18)]))
    for _ in range(len(out) // 10):
        out.append(" ".join(str(rng.randint(0, 999)) for _ in range(rng.randint(2, 6))))
    rng.shuffle(out)
    return out


def to_pool(src, dst, rate=RATE):
    """Any audio file -> 16 kHz mono 16-bit WAV; returns seconds or 0 when unusable. sox starts
    much faster than ffmpeg; ffmpeg takes what sox cannot read (G.722)."""
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    if src.endswith(".g722"):
        cmd = ["ffmpeg", "-v", "quiet", "-y", "-f", "g722", "-i", src, "-ac", "1", "-ar", str(rate),
               "-sample_fmt", "s16", dst]
    else:
        cmd = ["sox", "-q", src, "-r", str(rate), "-c", "1", "-b", "16", "-e", "signed-integer", dst]
    r = subprocess.run(cmd, stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if r.returncode != 0 or not os.path.exists(dst):
        return 0.0
    sr, x = wavfile.read(dst)
    if len(x) < rate // 4 or np.abs(x).max() < 200:
        os.remove(dst)
        return 0.0
    return len(x) / sr


def espeak_jobs(rng, texts, count):
    langs = []
    for line in subprocess.run(["espeak-ng", "--voices"], capture_output=True, text=True).stdout.splitlines()[1:]:
        f = line.split()
        if len(f) >= 2:
            langs.append(f[1])
    variants = [""]
    for line in subprocess.run(["espeak-ng", "--voices=variant"], capture_output=True, text=True).stdout.splitlines()[1:]:
        f = line.split()
        if len(f) >= 5:
            variants.append(f[4].split("/")[-1])
    jobs = []
    for i in range(count):
        lang = rng.choice(langs)
        var = rng.choice(variants)
        held = lang in HELDOUT_ESPEAK_LANGS or var in HELDOUT_ESPEAK_VARIANTS
        voice = lang + ("+" + var if var else "")
        dst = os.path.join(POOL, "speech", "espeak", f"{i:05d}.wav")
        cmd = ["espeak-ng", "-v", voice, "-s", str(rng.randint(120, 210)), "-p", str(rng.randint(25, 75)),
               "-w", None, rng.choice(texts)]
        jobs.append(("espeak-ng", voice, "heldout" if held else "train", cmd, dst))
    return jobs


def pooled(dst, source, voice, split, make):
    """The pool row of dst: read when a run before made it, else made by make() (seconds, 0 when
    unusable); None when unusable."""
    if os.path.exists(dst):
        sr, x = wavfile.read(dst)
        return (dst, source, voice, split, len(x) / sr)
    secs = make()
    return (dst, source, voice, split, secs) if secs > 0 else None


def run_tts(job):
    source, voice, split, cmd, dst = job

    def synthesise():
        with tempfile.NamedTemporaryFile(suffix=".wav") as tmp:
            c = [tmp.name if a is None else a for a in cmd]
            r = subprocess.run(c, capture_output=True, stdin=subprocess.DEVNULL, timeout=120)
            return to_pool(tmp.name, dst) if r.returncode == 0 else 0.0

    return pooled(dst, source, voice, split, synthesise)


def festival_voice(voice, texts, count, rng):
    """One festival session per voice synthesises all its sentences."""
    out = []
    d = os.path.join(POOL, "speech", "festival", voice)
    os.makedirs(d, exist_ok=True)
    split = "heldout" if voice in HELDOUT_FESTIVAL else "train"
    done = sorted(glob.glob(os.path.join(d, "*.wav")))
    if done:  # made before (a voice that fails to load leaves nothing and is tried again)
        return [(f, "festival", voice, split, len(wavfile.read(f)[1]) / RATE) for f in done]
    with tempfile.TemporaryDirectory() as tmpd:
        scm = os.path.join(tmpd, "s.scm")
        raws = []
        with open(scm, "w") as fh:
            fh.write(f"(voice_{voice})\n")
            for i in range(count):
                t = rng.choice(texts).replace('"', "")
                raw = os.path.join(tmpd, f"{i}.wav")
                raws.append((raw, os.path.join(d, f"{i:04d}.wav")))
                fh.write(f'(set! u (Utterance Text "{t}"))(utt.synth u)(utt.save.wave u "{raw}" \'riff)\n')
        subprocess.run(["festival", "-b", scm], capture_output=True, stdin=subprocess.DEVNULL, timeout=3600)
        for raw, dst in raws:
            if os.path.exists(raw):
                secs = to_pool(raw, dst)
                if secs > 0:
                    out.append((dst, "festival", voice, split, secs))
    return out


def package_files(pkg, patterns):
    root = os.path.join(PKG, pkg)
    files = []
    for p in patterns:
        files += glob.glob(os.path.join(root, "**", p), recursive=True)
    return sorted(set(files))


SPEECH_PACKAGES = {
    "asterisk-core-sounds-en-g722": ["*.g722"],
    "asterisk-core-sounds-es-g722": ["*.g722"],
    "asterisk-core-sounds-it-g722": ["*.g722"],
    "asterisk-core-sounds-fr-g722": ["*.g722"],
    "fillets-ng-data-cs": ["*.ogg"],
    "klettres-data": ["*.ogg"],
    "gcin-voice": ["*.ogg"],
}
NOISE_PACKAGES = {
    "ufoai-sound": ["*.ogg", "*.wav"],
    "openclonk-data": ["*.ogg", "*.wav"],
    "bucklespring-data": ["*.wav"],
    "searchandrescue-data": ["*.wav"],
}


def convert_job(args):
    src, dst, source, voice, split = args
    return pooled(dst, source, voice, split, lambda: to_pool(src, dst))


def package_jobs(packages, kind, per_package, skip=()):
    """Conversion jobs for up to per_package files of each package (a fixed sample), leaving out
    files whose path holds any of the words in skip."""
    jobs = []
    for pkg, pats in packages.items():
        split = "heldout" if pkg in HELDOUT_PACKAGES else "train"
        files = [f for f in package_files(pkg, pats) if not any(w in f.lower() for w in skip)]
        files = sorted(random.Random(7).sample(files, min(len(files), per_package)))
        for i, f in enumerate(files):
            jobs.append((f, os.path.join(POOL, kind, pkg, f"{i:05d}.wav"), pkg, pkg, split))
    return jobs


def unpack_archives():
    """Noise packages that keep their sounds in archives: ufoai-sound's 0snd.pk3 is a zip;
    openclonk-data's Sound.ocg is gzip with its first two bytes changed, holding RIFF and Ogg
    streams back to back. Members go to PKG/<package>/unpacked."""
    import gzip
    import zipfile
    for pk3 in glob.glob(os.path.join(PKG, "ufoai-sound", "**", "*.pk3"), recursive=True):
        out = os.path.join(PKG, "ufoai-sound", "unpacked")
        if os.path.isdir(out):
            continue
        with zipfile.ZipFile(pk3) as z:
            for m in z.namelist():
                if m.lower().endswith((".ogg", ".wav")):
                    z.extract(m, out)
    for ocg in glob.glob(os.path.join(PKG, "openclonk-data", "**", "Sound.ocg"), recursive=True):
        out = os.path.join(PKG, "openclonk-data", "unpacked")
        if os.path.isdir(out):
            continue
        b = bytearray(open(ocg, "rb").read())
        b[0], b[1] = 0x1F, 0x8B
        raw = gzip.decompress(bytes(b))
        os.makedirs(out)
        n, pos = 0, 0
        while True:
            r = raw.find(b"RIFF", pos)
            if r < 0:
                break
            size = int.from_bytes(raw[r + 4:r + 8], "little")
            if raw[r + 8:r + 12] == b"WAVE" and r + 8 + size <= len(raw):
                open(os.path.join(out, f"{n:04d}.wav"), "wb").write(raw[r:r + 8 + size])
                n += 1
                pos = r + 8 + size
            else:
                pos = r + 4
        starts = []
        pos = raw.find(b"OggS")
        while pos >= 0:
            if raw[pos + 5] & 2:  # beginning of a stream
                starts.append(pos)
            pos = raw.find(b"OggS", pos + 4)
        for i, s0 in enumerate(starts):
            end = starts[i + 1] if i + 1 < len(starts) else len(raw)
            # a stream's pages run up to the first page of the next stream (or the end)
            open(os.path.join(out, f"{n:04d}.ogg"), "wb").write(raw[s0:end])
            n += 1


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--espeak", type=int, default=3000)
    ap.add_argument("--festival", type=int, default=100)
    ap.add_argument("--flite", type=int, default=150)
    ap.add_argument("--per-package", type=int, default=150, help="recorded files per package")
    a = ap.parse_args()
    rng = random.Random(1234)
    texts = sentences(rng)
    os.makedirs(POOL, exist_ok=True)
    speech, noise = [], []

    jobs = espeak_jobs(rng, texts, a.espeak)
    for v in ["kal", "kal16", "awb", "rms", "slt"] if shutil.which("flite") else []:
        for i in range(a.flite):
            dst = os.path.join(POOL, "speech", "flite", v, f"{i:04d}.wav")
            jobs.append(("flite", v, "heldout" if v in HELDOUT_FLITE else "train",
                         ["flite", "-voice", v, "-t", rng.choice(texts), "-o", None], dst))
    with ThreadPoolExecutor(a.jobs) as ex:
        speech += [r for r in ex.map(run_tts, jobs) if r]
    print("tts done", len(speech), file=sys.stderr, flush=True)

    conv = package_jobs(SPEECH_PACKAGES, "speech", a.per_package)
    with ThreadPoolExecutor(a.jobs) as ex:
        speech += [r for r in ex.map(convert_job, conv) if r]
    print("recorded speech done", len(speech), file=sys.stderr, flush=True)

    fvoices = []
    for d in sorted(glob.glob("/usr/share/festival/voices/*/*/")):
        name = os.path.basename(d.rstrip("/"))
        if name in ("suopuhe.common",) or "kd" in name or name.startswith("msu_ru"):
            continue
        fvoices.append(name)
    with ThreadPoolExecutor(a.jobs) as ex:
        for res in ex.map(lambda v: festival_voice(v, texts, a.festival, random.Random(zlib.crc32(v.encode()))), fvoices):
            speech += res
    print("festival done", len(speech), file=sys.stderr, flush=True)

    unpack_archives()
    conv = package_jobs(NOISE_PACKAGES, "noise", a.per_package,
                        skip=("radio", "tv", "voice", "speech", "talk", "music"))
    with ThreadPoolExecutor(a.jobs) as ex:
        noise += [r for r in ex.map(convert_job, conv) if r]

    for name, rows in (("speech.csv", speech), ("noise.csv", noise)):
        with open(os.path.join(POOL, name), "w", newline="") as fh:
            w = csv.writer(fh)
            w.writerow(["path", "source", "voice", "split", "seconds"])
            for r in rows:
                w.writerow([os.path.relpath(r[0], POOL), r[1], r[2], r[3], f"{r[4]:.3f}"])
    tot = lambda rows, s: sum(r[4] for r in rows if r[3] == s) / 3600
    print(f"speech train {tot(speech, 'train'):.2f} h heldout {tot(speech, 'heldout'):.2f} h; "
          f"noise train {tot(noise, 'train'):.2f} h heldout {tot(noise, 'heldout'):.2f} h")


if __name__ == "__main__":
    main()
