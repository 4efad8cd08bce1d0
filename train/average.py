"""Averages the weights of the last checkpoints of a run into the one committed.

  /usr/bin/python3 train/average.py OUT.pt CHECKPOINT.pt [CHECKPOINT.pt ...]

Near the end of the cosine schedule the checkpoints a few minutes apart differ mostly by the noise
of the last steps, and their mean scores better than any one of them (train/README.md, "Look-ahead").
The output keeps the last checkpoint's step, hours and optimizer state, so a run resumed from it
goes on from there; it lists the averaged steps. It is in the committed form whatever the inputs
(run/last.pt holds Adam's momentum too): the second moments in bfloat16, no momentum.
"""

import os
import sys

import torch

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import train  # noqa: E402


def average(paths):
    cks = [torch.load(p, map_location="cpu") for p in paths]
    keys = cks[0]["model"].keys()
    if any(ck["model"].keys() != keys or any(ck["model"][k].shape != cks[0]["model"][k].shape for k in keys)
           for ck in cks):
        raise SystemExit("the checkpoints hold different networks")
    out = dict(cks[-1])
    out["model"] = {k: sum(ck["model"][k] for ck in cks) / len(cks) for k in keys}
    out["averaged"] = [ck.get("step", 0) for ck in cks]
    if "optimizer" in out:
        out["optimizer"] = train.committed_optimizer(out["optimizer"])
    return out


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    out = average(sys.argv[2:])
    torch.save(out, sys.argv[1])
    print(f"{sys.argv[1]}: mean of steps {', '.join(str(s) for s in out['averaged'])}")


if __name__ == "__main__":
    main()
