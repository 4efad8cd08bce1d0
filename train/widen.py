"""Widens a checkpoint's network to net.HIDDEN units per layer, to net.NFEAT input features, or to
the next frame's features as well, or adds the head for the points below 1 kHz or widens it, without
changing what it computes.

  /usr/bin/python3 train/widen.py IN.pt OUT.pt

The new units get small random incoming weights and zero outgoing ones (into the other units'
gates and into the output layer), so the widened network's outputs equal the old network's
exactly, and training then gives the new units a use. Adam's moments do not carry over: the
output has none, so train.py starts a fresh optimizer on it.
"""

import os
import sys

import torch

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import net  # noqa: E402

SEED = 7
SCALE = 0.1


def widen(old, h=net.HIDDEN):
    """A state dict of h units computing what `old` computes."""
    h0 = net.width(old)
    if h < h0:
        raise ValueError(f"the network has {h0} units, more than {h}")
    gen = torch.Generator().manual_seed(SEED)

    def rand(*shape):
        return torch.randn(*shape, generator=gen) * SCALE

    new = {}
    w = rand(h, old["fc_in.weight"].shape[1])
    w[:h0] = old["fc_in.weight"]
    new["fc_in.weight"] = w
    b = torch.zeros(h)
    b[:h0] = old["fc_in.bias"]
    new["fc_in.bias"] = b
    for layer in ("gru1", "gru2"):
        for kind in ("ih", "hh"):
            src = old[f"{layer}.weight_{kind}_l0"]  # [3 h0, h0]
            dst = torch.zeros(3 * h, h)
            for g in range(3):  # gates r, z, n
                dst[g * h + h0:(g + 1) * h] = rand(h - h0, h)  # the new units listen to everything
                dst[g * h:g * h + h0, :h0] = src[g * h0:(g + 1) * h0]  # the old units hear only the old
            new[f"{layer}.weight_{kind}_l0"] = dst
            srcb = old[f"{layer}.bias_{kind}_l0"]
            dstb = torch.zeros(3 * h)
            for g in range(3):
                dstb[g * h:g * h + h0] = srcb[g * h0:(g + 1) * h0]
            new[f"{layer}.bias_{kind}_l0"] = dstb
    w = old["fc_out.weight"]  # [out, 2 h0]: h1 then h2
    dst = torch.zeros(w.shape[0], 2 * h)
    dst[:, :h0] = w[:, :h0]
    dst[:, h:h + h0] = w[:, h0:]
    new["fc_out.weight"] = dst
    new["fc_out.bias"] = old["fc_out.bias"].clone()
    return new


def add_inputs(old, nfeat=net.NFEAT):
    """A state dict taking nfeat features that computes what `old` computes from its first ones:
    the new features enter with zero weights, and training gives them a use."""
    w = old["fc_in.weight"]
    if w.shape[1] > nfeat:
        raise ValueError(f"the network takes {w.shape[1]} features, more than {nfeat}")
    new = dict(old)
    grown = torch.zeros(w.shape[0], nfeat)
    grown[:, :w.shape[1]] = w
    new["fc_in.weight"] = grown
    return new


def add_lookahead(old):
    """A state dict that also takes the next frame's features (net.with_next), with zero weights,
    so it computes what `old` computes."""
    w = old["fc_in.weight"]
    if w.shape[1] != net.NFEAT:
        raise ValueError(f"the network takes {w.shape[1]} inputs, not the {net.NFEAT} features of one frame")
    new = dict(old)
    new["fc_in.weight"] = torch.cat([w, torch.zeros_like(w)], dim=1)
    return new


def add_points(old):
    """A state dict with the head for the points below 1 kHz (net.PointHead), whose last layer
    starts at zero, so it computes what `old` computes and gives the band gains at the points."""
    if net.has_points(old):
        raise ValueError("the network already has the points below 1 kHz")
    torch.manual_seed(SEED)
    head = net.PointHead(net.width(old), net.POINT_CHANNELS_FIRST, net.POINT_HIDDEN_FIRST)
    new = dict(old)
    new.update({"points." + k: v for k, v in head.state_dict().items()})
    return new


def add_comb(old):
    """A state dict whose head for the points also takes the comb of the frame's period
    (features.point_comb), with zero weights, so it computes what `old` computes."""
    if not net.has_points(old) or net.point_channels(old) != net.POINT_CHANNELS_FIRST:
        raise ValueError("the network has no head for the points, or its head has the comb already")
    w = old["points.conv1.weight"]  # [hidden, channels, taps]
    new = dict(old)
    new["points.conv1.weight"] = torch.cat([w, torch.zeros_like(w[:, :1])], dim=1)
    return new


def widen_points(old, n=net.POINT_HIDDEN):
    """A state dict whose head for the points has n channels after its first convolution, computing
    what `old` computes: the new channels get small random weights from the head's inputs and zero
    weights into the second convolution."""
    if not net.has_points(old):
        raise ValueError("the network has no head for the points")
    w, b = old["points.conv1.weight"], old["points.conv1.bias"]  # [hidden, channels, taps], [hidden]
    n0 = w.shape[0]
    if n < n0:
        raise ValueError(f"the head for the points has {n0} channels, more than {n}")
    gen = torch.Generator().manual_seed(SEED)
    new = dict(old)
    new["points.conv1.weight"] = torch.cat([w, torch.randn(n - n0, *w.shape[1:], generator=gen) * SCALE])
    new["points.conv1.bias"] = torch.cat([b, torch.zeros(n - n0)])
    w2 = old["points.conv2.weight"]  # [1, hidden, taps]
    new["points.conv2.weight"] = torch.cat([w2, torch.zeros(w2.shape[0], n - n0, w2.shape[2])], dim=1)
    return new


def main():
    src, out = sys.argv[1], sys.argv[2]
    ck = torch.load(src, map_location="cpu")
    model = net.from_state(widen(ck["model"]))
    torch.save({"model": model.state_dict(), "step": ck.get("step", 0), "hours": ck.get("hours", 0.0),
                "seed": ck.get("seed", 1)}, out)
    print(f"widened {src} (step {ck.get('step', 0)}) to {net.HIDDEN} units: {out}")


if __name__ == "__main__":
    main()
