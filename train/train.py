"""Trains the engine's speech estimator, resumably.

  /usr/bin/python3 train/train.py [--steps N] [--resume CHECKPOINT]

Every batch is made from (seed, batch number), so a resumed run continues the same data stream. Every
--save-minutes it writes train/run/last.pt (full state, not committed) and train/checkpoint.pt
(weights and Adam's second moments in bfloat16, the one committed); it resumes from run/last.pt, else
from checkpoint.pt, when present. Progress goes to train/log.txt.
Validation: fixed batches from training voices and from held-out voices (first recipe, first loss,
so the figures compare over the whole run), logged side by side; and the same from the data's
latest recipe (whose targets the first recipe's reverberant examples no longer match).
"""

import argparse
import math
import os
import shutil
import sys
import multiprocessing as mp
import queue
import time

import numpy as np
import torch

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import data  # noqa: E402
import features as F  # noqa: E402
import net  # noqa: E402
import widen  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


# From this optimizer step on (where the data's second recipe starts) the loss also leans
# against suppressing speech and toward the floor where there is none: gain errors below the
# target, or in bands without speech, count RECIPE2_UNDER times, and bands whose target gain is
# below FLOOR_BAND add the squared error of the log gains, both clamped at FLOOR_GAIN. The
# squared error of a sigmoid barely moves a gain from 0.2 to 0.05; in the log domain that is
# the same step as from 0.8 to 0.2.
RECIPE2_FROM = 2 * data.RECIPE2_FROM_BATCH
RECIPE2_UNDER = 1.5
FLOOR_GAIN = 0.1
FLOOR_BAND = 0.3
FLOOR_WEIGHT = 1.0
# From RECIPE3_FROM on the floor term holds only in bands without speech, and gain errors below
# the target count RECIPE3_UNDER times: the log floor also pulled low-SNR speech bands down
# (speech level -1.3 dB on the development corpus at step 11,800).
RECIPE3_FROM = 11800
RECIPE3_UNDER = 2.0
# From RECIPE4_FROM on the gain errors are weighted by the band's level in the noisy input,
# compressed (power^ENERGY_POWER) and normalised to a mean of 1 in each example, capped at
# ENERGY_CAP: the loud band-frames carry the speech and the residual noise one hears, while the
# squared gain errors had counted a faint band at the top as much as the first formant.
RECIPE4_FROM = 15000
ENERGY_POWER = 0.3
ENERGY_CAP = 8.0
# At these optimizer steps the network grows to the given number of units (widen.py: the outputs
# stay what they were) and Adam starts afresh. At 21,000 from net.HIDDEN_FIRST (48) to 64: 48
# units had stopped improving on the development corpus, and the engine's speed budget had room
# for 64. At 45,000 to net.HIDDEN (96): 64 units had stopped improving (steps 45,000-53,140 of a
# plain continuation moved nothing), and the engine's own FFT had given the budget back.
WIDEN_AT = {21000: 64, 45000: net.HIDDEN}


def width_due(step):
    """The number of units the network has from this optimizer step on."""
    return max([net.HIDDEN_FIRST] + [w for at, w in WIDEN_AT.items() if step >= at])


# At this optimizer step the network also takes the periodicity features (features.py: which
# voice dominates the frame and in which bands), entering with zero weights so the outputs stay
# what they were; Adam starts afresh. The band level and flatness alone tell a crowd of talkers
# from the one talker to keep least well of all the noises.
PERIODICITY_AT = 30000

# From this optimizer step on the network also takes the next frame's features (net.with_next),
# entering with zero weights; Adam starts afresh. The engine then decides each frame's gains one
# hop later, when the next frame has arrived: speech onsets and the end of a word are seen
# coming, where the frame alone cannot tell a rising talker from a burst of babble.
LOOKAHEAD_AT = 60000

# From this optimizer step on the network also has the head for the 32 points below 1 kHz
# (net.PointHead), starting out at the band gains; Adam starts afresh. Below 1 kHz a band spans
# two to eight harmonics of a voice, and one gain per band leaves the noise between them: with
# ideal gains per point instead of per band there, the development corpus would gain about 1 dB
# (bench/oracle-ceiling). Its loss is the band gains' (recipe 4), at the points, times POINT_WEIGHT.
POINTS_AT = 86000
POINT_WEIGHT = 1.0

# From this optimizer step on the head for the points also takes the comb of the frame's period
# (features.point_comb: +1 on the harmonics of the voice that sets the period, -1 between them),
# entering with zero weights; Adam starts afresh. The head's convolutions see seven points, two
# harmonics of a low voice at most; the comb tells each point where the harmonics lie across the
# whole frame, also where noise has buried them.
COMB_AT = 96000

# At this optimizer step the head's first convolution grows from net.POINT_HIDDEN_FIRST (16) to
# net.POINT_HIDDEN (32) channels (widen.widen_points: the outputs stay what they were); Adam starts
# afresh. Two cool-downs of the whole network (steps 96,000-104,000 and 104,000-111,000) had moved
# the development corpus by hundredths of a dB, and the loss at the points of held-out voices stood
# nearly as far above the training voices' when the head still gave about the band gains (step
# 86,500: 0.670 against 0.571) as it does now (0.602 against 0.466): what holds the points back is
# not how well they generalise but what the head can compute. A wider head costs the engine little;
# the recurrent layers would cost it much more.
POINT_WIDEN_AT = 111000


def energy_weight(feats, mask, level=None):
    """Per band-frame weights from the band level features (ln(E + eps) = 5 f - 2), or from the
    given log levels."""
    if level is None:
        level = 5.0 * feats[..., :net.NB] - 2.0
    w = torch.exp(ENERGY_POWER * (level - level.amax(dim=(1, 2), keepdim=True)))
    mean = (w * mask).sum(dim=(1, 2), keepdim=True) / mask.sum(dim=(1, 2), keepdim=True).clamp(min=1.0)
    return (w / mean.clamp(min=1e-12)).clamp(max=ENERGY_CAP)


def loss_fn(y, gain, presence, share, mask, vad, recipe2=False, recipe3=False, energy=None):
    """Returns the total, its parts, and the first recipe's total (validation compares that one
    across the whole run)."""
    g, p, s, v = net.split(y)
    m = mask
    msum = m.sum().clamp(min=1.0)
    e_sqrt = (g.clamp(min=1e-6).sqrt() - gain.sqrt()) ** 2
    e_lin = (g - gain) ** 2
    l_gain = (e_sqrt * m).sum() / msum
    l_gain4 = (e_lin * m).sum() / msum
    bce = torch.nn.functional.binary_cross_entropy
    l_pres = (bce(p.clamp(1e-6, 1 - 1e-6), presence, reduction="none") * m).sum() / msum
    l_share = ((torch.log(s + 0.003) - torch.log(share + 0.003)).abs() * m).sum() / msum
    l_vad = bce(v.clamp(1e-6, 1 - 1e-6), vad)
    rest = 0.5 * l_pres + 0.2 * l_share + 0.2 * l_vad
    base = 4.0 * l_gain + 2.0 * l_gain4 + rest
    parts = {"gain": l_gain.item(), "pres": l_pres.item(), "share": l_share.item(), "vad": l_vad.item()}
    if not recipe2:
        return base, parts, base
    under = RECIPE3_UNDER if recipe3 else RECIPE2_UNDER
    w = torch.where((g.detach() < gain) | (presence <= 0.0), under, 1.0) * m
    if energy is not None:
        w = w * energy
    floor_m = ((presence <= 0.0) if recipe3 else (gain < FLOOR_BAND)).float() * m
    l_floor = (((torch.log(g.clamp(min=FLOOR_GAIN)) - torch.log(gain.clamp(min=FLOOR_GAIN))) ** 2) * floor_m).sum() / msum
    total = (4.0 * (e_sqrt * w).sum() + 2.0 * (e_lin * w).sum()) / msum + rest + FLOOR_WEIGHT * l_floor
    parts["floor"] = l_floor.item()
    return total, parts, base


def point_loss(g, gain, mask, absent, energy):
    """The recipe-4 gain loss at the points: squared errors of the gains and their square roots,
    those below the target or where speech is absent counting RECIPE3_UNDER times, weighted by the
    point's level, and the log floor where speech is absent."""
    msum = mask.sum().clamp(min=1.0)
    w = torch.where((g.detach() < gain) | (absent > 0), RECIPE3_UNDER, 1.0) * mask * energy
    e_sqrt = (g.clamp(min=1e-6).sqrt() - gain.sqrt()) ** 2
    e_lin = (g - gain) ** 2
    floor = ((torch.log(g.clamp(min=FLOOR_GAIN)) - torch.log(gain.clamp(min=FLOOR_GAIN))) ** 2) * absent * mask
    return (4.0 * (e_sqrt * w).sum() + 2.0 * (e_lin * w).sum() + FLOOR_WEIGHT * floor.sum()) / msum


def point_energy(feats, mask):
    """energy_weight at the points, from the level the point features give: ln(D + eps) =
    2 r + ln(E(f_p) + eps), with E(f_p) the band levels interpolated there."""
    band_level = 5.0 * feats[..., :net.NB] - 2.0
    e_at = torch.exp(band_level) @ torch.from_numpy(F.point_band_weights()).t()
    level = 2.0 * feats[..., F.NFEAT:F.NFEAT + F.NPOINT] + torch.log(e_at)
    return energy_weight(feats, mask, level)


def committed_optimizer(st):
    """Adam's state as the committed checkpoint keeps it: the second moments (the step sizes it
    has learnt) in bfloat16, without the momentum, to stay within the repository's 1 MB."""
    return {"param_groups": st["param_groups"],
            "state": {i: {k: (v.bfloat16() if k == "exp_avg_sq" else v) for k, v in s.items() if k != "exp_avg"}
                      for i, s in st["state"].items()}}


def producer(seed, start, batch, q, stop, parent):
    torch.set_num_threads(1)
    torch.set_flush_denormal(True)
    maker = data.Maker("train", seed)
    step = start
    while not stop.is_set() and os.getppid() == parent:  # ends with the trainer, even if killed
        item = (step,) + data.make_inputs(*maker.batch(step, batch))
        while not stop.is_set() and os.getppid() == parent:
            try:
                q.put(item, timeout=1.0)
                break
            except queue.Full:
                pass
        step += 1


# The latest recipe's validation batches are numbered from here (past every recipe's start).
VAL_LATEST = 40000


def validate(model, sets):
    out = {}
    model.eval()
    with torch.no_grad():
        for name, batches in sets.items():
            tot, n = 0.0, 0
            pts, n_pts = 0.0, 0
            for b in batches:
                y, _ = model(b[0])
                _, _, l = loss_fn(y[..., :net.NOUT], *b[1:6])
                tot += l.item()
                n += 1
                if model.points is not None:
                    pts += point_loss(y[..., net.NOUT:], b[6], b[7], b[8], point_energy(b[0], b[7])).item()
                    n_pts += 1
            out[name] = tot / n
            if n_pts:
                out[name + "-points"] = pts / n_pts
    model.train()
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--steps", type=int, default=6000)
    ap.add_argument("--batch", type=int, default=32)
    ap.add_argument("--lr", type=float, default=2e-3)
    ap.add_argument("--final-lr", type=float, default=None,
                    help="cool down: from step --cool-from the rate falls along a half cosine from "
                         "--lr to this at --steps (instead of the schedule laid out over the whole run)")
    ap.add_argument("--cool-from", type=int, default=None,
                    help="where the cool-down starts (default: the step the run starts at; give it "
                         "when resuming an interrupted cool-down)")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--save-minutes", type=float, default=10.0)
    ap.add_argument("--val-every", type=int, default=500)
    ap.add_argument("--updates-per-batch", type=int, default=2,
                    help="optimizer steps on each generated batch (making batches costs more than "
                         "learning from them on this machine)")
    ap.add_argument("--resume", default=None, help="checkpoint to continue from (default: run/last.pt if present)")
    ap.add_argument("--dir", default=HERE,
                    help="where run/, checkpoint.pt and log.txt live (another directory for a trial run)")
    a = ap.parse_args()
    run = os.path.join(a.dir, "run")

    torch.manual_seed(a.seed)
    np.random.seed(a.seed)
    torch.set_num_threads(1)
    # Denormal floats in the recurrent gradients slowed a step a hundredfold; flush them to zero.
    torch.set_flush_denormal(True)
    os.makedirs(run, exist_ok=True)
    log = open(os.path.join(a.dir, "log.txt"), "a")

    def say(msg):
        line = time.strftime("%Y-%m-%d %H:%M:%S ") + msg
        print(line, flush=True)
        log.write(line + "\n")
        log.flush()

    step, hours = 0, 0.0
    resume = a.resume
    for cand in (os.path.join(run, "last.pt"), os.path.join(a.dir, "checkpoint.pt")):
        if resume is None and os.path.exists(cand):
            resume = cand
    ck = torch.load(resume, map_location="cpu") if resume else None
    if ck:
        step = ck.get("step", 0)
        hours = ck.get("hours", 0.0)
        model = net.from_state(ck["model"])
    else:
        model = net.Estimator(net.HIDDEN_FIRST, net.NFEAT_BANDS, lookahead=False)
    opt = torch.optim.Adam(model.parameters(), lr=a.lr)
    if ck:
        if "optimizer" in ck:
            st = ck["optimizer"]
            for v in st["state"].values():
                # The committed checkpoint keeps only the second moments, in bfloat16; the
                # momentum starts again from zero.
                v["exp_avg_sq"] = v["exp_avg_sq"].float()
                v["exp_avg"] = v["exp_avg"].float() if "exp_avg" in v else torch.zeros_like(v["exp_avg_sq"])
            opt.load_state_dict(st)
        say(f"resumed from {resume} at step {step} ({hours:.2f} h trained), {net.width(ck['model'])} units")
    else:
        say(f"new model: {net.parameter_count(model)} parameters, "
            f"{net.macs_per_frame(net.HIDDEN_FIRST, net.NFEAT_BANDS, lookahead=False)} MACs per frame")

    def grow_when_due():
        """At WIDEN_AT the model is widened, from PERIODICITY_AT it takes the periodicity
        features, from LOOKAHEAD_AT the next frame's (widen.py: the outputs stay what they were);
        whenever it grows, Adam starts afresh."""
        nonlocal model, opt
        state = model.state_dict()
        grown = []
        width = width_due(step)
        if net.width(state) < width:
            state = widen.widen(state, width)
            grown.append(f"widened to {width} units")
        if step >= PERIODICITY_AT and net.inputs(state) < net.NFEAT:
            state = widen.add_inputs(state)
            grown.append(f"periodicity features ({net.NFEAT} features)")
        if step >= LOOKAHEAD_AT and not net.looks_ahead(state):
            state = widen.add_lookahead(state)
            grown.append("the next frame's features")
        if step >= POINTS_AT and not net.has_points(state):
            state = widen.add_points(state)
            grown.append("the points below 1 kHz")
        if step >= COMB_AT and net.point_channels(state) < net.POINT_CHANNELS:
            state = widen.add_comb(state)
            grown.append("the comb at the points")
        if step >= POINT_WIDEN_AT and net.point_hidden(state) < net.POINT_HIDDEN:
            state = widen.widen_points(state)
            grown.append(f"{net.POINT_HIDDEN} channels at the points")
        if not grown:
            return
        model = net.from_state(state)
        opt = torch.optim.Adam(model.parameters(), lr=a.lr)
        say(f"{', '.join(grown)} at step {step}: {net.parameter_count(model)} parameters, "
            f"{net.macs_of(state)} MACs per frame")

    grow_when_due()

    val_train = data.Maker("train", 1000 + a.seed)
    val_held = data.Maker("heldout", 2000 + a.seed)
    val_held.babble_speech, val_held.noise = val_train.speech, val_train.noise  # the same noises; only the talkers differ
    sets = {f"{tag}-{voices}-voices": [data.make_inputs(*maker.batch(first + i, 16, rate=16000)) for i in range(4)]
            for tag, first in (("val", 0), ("val4", VAL_LATEST))
            for voices, maker in (("train", val_train), ("heldout", val_held))}
    say(f"pool: {len(val_train.speech)} training utterances, {len(val_held.speech)} held-out; "
        f"{len(val_train.noise)} recorded noises")

    ctx = mp.get_context("fork")
    q = ctx.Queue(maxsize=4)
    stop = ctx.Event()
    upb = a.updates_per_batch
    step -= step % upb  # saves happen at batch boundaries; this only guards odd checkpoints
    th = ctx.Process(target=producer, args=(a.seed, step // upb, a.batch, q, stop, os.getpid()), daemon=True)
    th.start()

    cool_from = step if a.cool_from is None else a.cool_from

    def lr_at(s):
        if a.final_lr is not None:
            done = min(1.0, max(0, s - cool_from) / max(1, a.steps - cool_from))
            return a.final_lr + (a.lr - a.final_lr) * 0.5 * (1 + math.cos(math.pi * done))
        warm = min(1.0, (s + 1) / 300)
        return a.lr * warm * (0.05 + 0.95 * 0.5 * (1 + math.cos(math.pi * min(s, a.steps) / a.steps)))

    def save():
        ck = {"model": model.state_dict(), "optimizer": opt.state_dict(), "step": step, "hours": hours,
              "seed": a.seed}
        tmp = os.path.join(run, "last.pt.tmp")
        torch.save(ck, tmp)
        os.replace(tmp, os.path.join(run, "last.pt"))
        small = {"model": model.state_dict(), "optimizer": committed_optimizer(opt.state_dict()), "step": step,
                 "hours": hours, "seed": a.seed}
        torch.save(small, os.path.join(run, "checkpoint.pt.tmp"))
        os.replace(os.path.join(run, "checkpoint.pt.tmp"), os.path.join(a.dir, "checkpoint.pt"))
        shutil.copyfile(os.path.join(run, "last.pt"), os.path.join(run, "last-backup.pt"))
        say(f"saved step {step}")

    last_save = time.time()
    t_prev = time.time()
    acc = {}
    n_acc = 0
    item = None
    while step < a.steps:
        if step in WIDEN_AT or step in (PERIODICITY_AT, LOOKAHEAD_AT, POINTS_AT, COMB_AT):
            grow_when_due()
        if step % upb == 0:
            item = q.get()
            assert item[0] == step // upb
        s, feats, gain, pres, share, mask, vad, p_gain, p_mask, p_absent = item
        for grp in opt.param_groups:
            grp["lr"] = lr_at(step)
        y, _ = model(feats)
        loss, parts, _ = loss_fn(y[..., :net.NOUT], gain, pres, share, mask, vad, recipe2=step >= RECIPE2_FROM,
                                  recipe3=step >= RECIPE3_FROM,
                                  energy=energy_weight(feats, mask) if step >= RECIPE4_FROM else None)
        if model.points is not None:
            l_points = point_loss(y[..., net.NOUT:], p_gain, p_mask, p_absent, point_energy(feats, p_mask))
            parts["points"] = l_points.item()
            loss = loss + POINT_WEIGHT * l_points
        opt.zero_grad()
        loss.backward()
        torch.nn.utils.clip_grad_norm_(model.parameters(), 1.0)
        opt.step()
        now = time.time()
        hours += (now - t_prev) / 3600.0
        t_prev = now
        step += 1
        parts["loss"] = loss.item()
        for k, v in parts.items():
            acc[k] = acc.get(k, 0.0) + v
        n_acc += 1
        if step % 50 == 0:
            say(f"step {step} lr {lr_at(step):.2e} " + " ".join(f"{k} {v / n_acc:.4f}" for k, v in acc.items()) +
                f" hours {hours:.3f}")
            acc, n_acc = {}, 0
        if step % a.val_every == 0:
            v = validate(model, sets)
            say(f"validation step {step} " + " ".join(f"{k} {x:.4f}" for k, x in v.items()))
        if now - last_save > a.save_minutes * 60 and step % upb == 0:
            save()
            last_save = now
    save()
    stop.set()
    say("done")


if __name__ == "__main__":
    main()
