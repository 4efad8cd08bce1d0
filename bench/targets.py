#!/usr/bin/python3
"""Checks cleaning runs against the engine's quality targets, bucket by bucket.

    bench/targets.py OURS.csv [OURS.csv ...] --peers PEER.csv [PEER.csv ...] [--learned [--limit DB]]

Every CSV is a per-file table written by the bench's run-eval.sh. A peer whose
name starts with "rnnoise" counts as the network peer, "noisy" is ignored, and
every other peer is a classical one. For each of our runs it prints the mean
SI-SDR improvement, output STOI and pause attenuation per input SNR and per
noise kind beside the best classical peer in that bucket, then one line per
target:

    ratio: <what> = <x> (target <= <y>)

written so that a value at or below the target meets it (margins are
"best peer minus ours", so zero or less means ours is at least as good).
With --learned it adds the targets of the trained method: mean SI-SDRi at least 8 dB, babble
SI-SDRi at least 3 dB, and pauses down to the limit (--limit, default -18 dB) in every noise
kind (within 0.5 dB).
"""
import argparse
import csv
import math
import os
import statistics
import sys


def load(path):
    with open(path, newline="") as f:
        rows = [r for r in csv.DictReader(f)]
    name = (rows[0].get("name") if rows else "") or os.path.basename(path)[:-4]
    return name, rows


def value(row, key):
    try:
        v = float(row[key])
    except (KeyError, TypeError, ValueError):
        return None
    return v if math.isfinite(v) else None


def mean(rows, key):
    vals = [v for v in (value(r, key) for r in rows) if v is not None]
    return statistics.fmean(vals) if vals else float("nan")


def ok_rows(rows):
    return [r for r in rows if r.get("status") == "ok"]


def in_group(rows, key, g):
    return [r for r in rows if r[key] == g]


def groups(runs, key):
    found = {r[key] for _, rows in runs for r in rows}
    return sorted(found, key=lambda g: (0, float(g), "") if g.lstrip("-").isdigit() else (1, 0.0, g))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("ours", nargs="+")
    ap.add_argument("--peers", nargs="+", required=True)
    ap.add_argument("--learned", action="store_true", help="add the trained method's own targets")
    ap.add_argument("--limit", type=float, default=-18.0, help="the suppression limit of the runs, dB")
    a = ap.parse_args()
    ours = [load(p) for p in a.ours]
    peers = [load(p) for p in a.peers]
    classical = [(n, r) for n, r in peers if not n.startswith("rnnoise") and n != "noisy"]
    network = [(n, r) for n, r in peers if n.startswith("rnnoise")]
    if not classical:
        print("targets: no classical peer given", file=sys.stderr)
        return 2

    metrics = [("SI-SDRi dB", "sisdri", 1.0), ("STOI", "stoi_out", 1.0), ("pause dB", "pause_atten_db", -1.0)]
    everything = ours + peers
    for name, rows in ours:
        good = ok_rows(rows)
        print(f"## {name}: {len(good)}/{len(rows)} files ok")
        lines = []
        for label, key, sense in metrics:
            for bucket_key, bucket_label in (("snr_db", "SNR"), ("noise", "noise")):
                print(f"\n| {label} by {bucket_label} | " + " | ".join(groups(everything, bucket_key)) + " |")
                print("|---|" + "---|" * len(groups(everything, bucket_key)))
                mine, best, best_name = [], [], []
                for g in groups(everything, bucket_key):
                    m = mean(in_group(good, bucket_key, g), key)
                    peer_vals = [(mean(in_group(ok_rows(pr), bucket_key, g), key), pn)
                                 for pn, pr in classical]
                    b, bn = max(peer_vals, key=lambda t: sense * t[0])
                    mine.append(m)
                    best.append(b)
                    best_name.append(bn)
                print(f"| {name} | " + " | ".join("%.3f" % v for v in mine) + " |")
                print("| best classical | " + " | ".join("%.3f (%s)" % (b, n) for b, n in zip(best, best_name)) + " |")
                if key != "pause_atten_db":
                    worst = max(sense * (b - m) for b, m in zip(best, mine))
                    lines.append(f"ratio: {label} margin of best classical peer over {name}, worst {bucket_label} "
                                 f"bucket = {worst:.3f} (target <= 0)")
        pause = mean(good, "pause_atten_db")
        best_pause = min(mean(ok_rows(r), "pause_atten_db") for _, r in classical)
        lines.append(f"ratio: pause dB of {name} minus best classical peer's = {pause - best_pause:.2f} (target <= 0)")
        for nn, nr in network:
            for label, key, sense in metrics[:2]:
                d = sense * (mean(ok_rows(nr), key) - mean(good, key))
                lines.append(f"ratio: {label} margin of {nn} over {name} on the mean = {d:.3f} (target <= 0)")
        if a.learned:
            lines.append(f"ratio: 8 dB minus mean SI-SDRi of {name} = {8.0 - mean(good, 'sisdri'):.2f} (target <= 0)")
            babble = in_group(good, "noise", "babble")
            lines.append(f"ratio: 3 dB minus babble SI-SDRi of {name} = {3.0 - mean(babble, 'sisdri'):.2f} "
                         f"(target <= 0)")
            worst, kind = max((mean(in_group(good, "noise", g), "pause_atten_db"), g)
                              for g in groups(ours, "noise"))
            lines.append(f"ratio: worst noise-kind pause of {name} above the limit ({kind}) = "
                         f"{worst - a.limit:.2f} dB (target <= 0.5)")
        level = mean(good, "speech_level_db")
        lines.append(f"ratio: |speech level change| of {name} dB = {abs(level):.2f} (target <= 1)")
        lines.append(f"ratio: failed files of {name} = {len(rows) - len(good)} (target <= 0)")
        print()
        print("\n".join(lines))
        print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
