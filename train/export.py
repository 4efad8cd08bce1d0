"""Writes the committed checkpoint's weights for the engine, and the golden vectors the engine's
test compares its inference with.

  /usr/bin/python3 train/export.py [--checkpoint train/checkpoint.pt]

Outputs engine/NeuralWeights.bin (the weights in half precision), engine/NeuralWeights.cpp (views
into it, the band edges and the window table) and tests/engine/data/neural-golden.bin. All are
reproducible from the checkpoint: each float is written as the shortest decimal that reads back as
exactly that float, and the golden signal is a fixed function of a seed (the golden file byte for
byte only with the BLAS train/train-all selects).

The engine runs the network with the weights rounded to half precision, so the golden outputs are
the network's with the same rounded weights.

neural-golden.bin (little endian): "VNG2", then per case: int32 rate, int32 frames, int32
samples, int16 input[samples], float32 features[frames][162], float32 outputs[frames][129]; the
file ends with int32 0. The features are the training framework's, computed from the input the
way the engine frames it (the 98 of the bands and the frame, then the 64 of the points below
1 kHz); the outputs are the network's for those features (97 for the bands and the frame, then
the 32 point gains), each frame's from its own features and the next frame's (the last frame
repeats its own).
"""

import argparse
import os
import struct
import sys

import numpy as np
import torch

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import features as F  # noqa: E402
import net  # noqa: E402


def c_array(name, values, per_line=8):
    vals = [_float_literal(v) for v in np.asarray(values, dtype=np.float32).ravel()]
    lines = []
    for i in range(0, len(vals), per_line):
        lines.append("    " + ",".join(vals[i:i + per_line]) + ",")  # no spaces: the file stays small
    return f"const float {name}[{len(vals)}] = {{\n" + "\n".join(lines) + "\n};\n"


def _float_literal(v):
    """Shortest decimal that reads back as exactly this float32."""
    v = np.float32(v)
    a = np.format_float_positional(v, unique=True, trim="0")
    b = np.format_float_scientific(v, unique=True, trim="0")
    t = a if len(a) <= len(b) else b
    assert np.float32(float(t)) == v
    return t + "f"


def to_half(a):
    """Rounds to IEEE binary16, the weights' stored precision. Values a half can only hold as a
    subnormal become zero: the engine's portable conversion takes every half to be normal."""
    h = np.asarray(a, dtype=np.float32).astype("<f2")
    if not np.all(np.isfinite(h)):
        raise SystemExit("a weight is out of half precision's range")
    h[np.abs(h) < np.float16(2.0 ** -14)] = 0
    return h


def round_to_stored(model):
    """Replaces every parameter by the value the engine stores."""
    with torch.no_grad():
        for p in model.parameters():
            p.copy_(torch.from_numpy(to_half(p.detach().numpy()).astype(np.float32)))


def weight_parts(model):
    """The matrices and biases in the order NeuralWeights.bin holds them (matrices transposed)."""
    sd = {k: v.detach().cpu().numpy() for k, v in model.state_dict().items()}
    parts = [("kInputT", sd["fc_in.weight"].T), ("kInputBias", sd["fc_in.bias"])]
    for i in (1, 2):
        p = f"gru{i}."
        parts += [(f"kGru{i}InputT", sd[p + "weight_ih_l0"].T), (f"kGru{i}InputBias", sd[p + "bias_ih_l0"]),
                  (f"kGru{i}RecurrentT", sd[p + "weight_hh_l0"].T),
                  (f"kGru{i}RecurrentBias", sd[p + "bias_hh_l0"])]
    pad = (net.NOUT + 15) // 16 * 16 - net.NOUT  # whole blocks of 16 outputs for the inference
    parts += [("kOutputT", np.pad(sd["fc_out.weight"].T, ((0, 0), (0, pad)))),
              ("kOutputBias", np.pad(sd["fc_out.bias"], (0, pad))),
              ("kPointContextT", sd["points.ctx.weight"].T), ("kPointContextBias", sd["points.ctx.bias"]),
              # the convolutions tap-major: [out][channel][tap] -> rows tap * channels + channel
              ("kPointConv1T", sd["points.conv1.weight"].transpose(0, 2, 1).reshape(sd["points.conv1.weight"].shape[0], -1).T),
              ("kPointConv1Bias", sd["points.conv1.bias"]),
              ("kPointConv2", sd["points.conv2.weight"].transpose(0, 2, 1).reshape(-1)),
              ("kPointConv2Bias", sd["points.conv2.bias"])]
    return [(name, np.ascontiguousarray(to_half(a))) for name, a in parts]


def weights_bin(parts):
    return b"".join(a.tobytes() for _, a in parts)


def weights_cpp(parts, source):
    """The C++ side: the band edges and window table as literals, the weights as views of
    NeuralWeights.bin, which the assembler places in read-only data (about a third of the size
    of decimal literals, so a wider network stays within the repository's weight budget)."""
    out = ["// Written by train/export.py from " + source + "; do not edit.\n",
           '#include "engine/NeuralWeights.h"\n',
           "// NeuralWeights.bin: little-endian IEEE binary16, in the order of the views below.\n"
           "static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, \"the weights are little-endian\");\n"
           "asm(\".pushsection .rodata\\n.balign 64\\nveldra_neural_weights:\\n.incbin \\\"\" "
           "VELDRA_NEURAL_WEIGHTS_BIN \"\\\"\\nveldra_neural_weights_end:\\n.popsection\");\n"
           'extern "C" __attribute__((visibility("hidden"))) const veldra::neural::Half veldra_neural_weights[];\n'
           'extern "C" __attribute__((visibility("hidden"))) const veldra::neural::Half veldra_neural_weights_end[];\n',
           "namespace veldra {\nnamespace neural {\n"]
    hidden = dict(parts)["kPointConv1Bias"].size
    out.append(f"static_assert(kPointHidden == {hidden}, \"the head for the points has {hidden} channels\");\n")
    out.append(c_array("kBandHz", F.BAND_HZ))
    out.append(c_array("kWindowCorrelationInverse",
                       np.concatenate([F.window_inverse_table(n) for n in F.FRAME_LENGTHS])))
    offset = 0
    views = {}
    for name, a in parts:
        views[name] = f"veldra_neural_weights + {offset}"
        offset += a.size
    for name in ("kInputT", "kInputBias", "kOutputT", "kOutputBias", "kPointContextT", "kPointContextBias",
                 "kPointConv1T", "kPointConv1Bias", "kPointConv2", "kPointConv2Bias"):
        out.append(f"const Half* const {name} = {views[name]};\n")
    for i in (1, 2):
        out.append(f"const GruWeights kGru{i} = {{{views[f'kGru{i}InputT']}, {views[f'kGru{i}InputBias']},\n"
                   f"                            {views[f'kGru{i}RecurrentT']}, {views[f'kGru{i}RecurrentBias']}}};\n")
    out.append(f"const int kWeightCount = {offset};\n")
    out.append("int embeddedWeightCount() {\n"
               "    return static_cast<int>(veldra_neural_weights_end - veldra_neural_weights);\n}\n")
    out.append("}  // namespace neural\n}  // namespace veldra\n")
    return "\n".join(out)


def golden_signal(rate, seconds, seed):
    """Deterministic speech-like test input: a gliding harmonic tone in syllables plus noise."""
    rng = np.random.default_rng(seed)
    n = int(rate * seconds)
    t = np.arange(n) / rate
    f0 = 140 + 40 * np.sin(2 * np.pi * 0.7 * t)
    phase = 2 * np.pi * np.cumsum(f0) / rate
    voiced = sum(np.sin(h * phase) / h for h in range(1, 25) if h * 180 < rate / 2)
    env = np.clip(np.sin(2 * np.pi * 2.5 * t), 0, None) ** 2
    x = 3000 * voiced * env + 400 * rng.standard_normal(n)
    return np.clip(np.round(x), -32768, 32767).astype(np.int16)


def golden(model):
    blob = bytearray(b"VNG2")
    for rate in (8000, 11025, 16000, 48000):
        x = golden_signal(rate, 0.6, rate)
        p, _ = F.power_frames(torch.tensor(x, dtype=torch.float32)[None], rate)
        feats = F.features_from_power(p, rate, points=True)
        with torch.no_grad():
            y, _ = model(feats)
        frames = feats.shape[1]
        blob += struct.pack("<iii", rate, frames, len(x))
        blob += x.astype("<i2").tobytes()
        blob += feats[0].numpy().astype("<f4").tobytes()
        blob += y[0].numpy().astype("<f4").tobytes()
    blob += struct.pack("<i", 0)
    return bytes(blob)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--checkpoint", default=os.path.join(HERE, "checkpoint.pt"))
    ap.add_argument("--weights", default=os.path.join(ROOT, "engine", "NeuralWeights.cpp"),
                    help="the C++ file; the weights go beside it, with .bin for .cpp")
    ap.add_argument("--golden", default=os.path.join(ROOT, "tests", "engine", "data", "neural-golden.bin"),
                    help="where the golden vectors go; '' writes none")
    a = ap.parse_args()
    ck = torch.load(a.checkpoint, map_location="cpu")
    nfeat = net.inputs(ck["model"])
    if not net.looks_ahead(ck["model"]):
        raise SystemExit(f"{a.checkpoint} does not take the next frame's features; the engine gives them")
    if net.width(ck["model"]) != net.HIDDEN:
        raise SystemExit(f"{a.checkpoint} has {net.width(ck['model'])} units; the engine is built for {net.HIDDEN}")
    if nfeat != net.NFEAT:
        raise SystemExit(f"{a.checkpoint} takes {nfeat} features; the engine computes {net.NFEAT}")
    if not net.has_points(ck["model"]):
        raise SystemExit(f"{a.checkpoint} has no head for the points below 1 kHz; the engine uses it")
    if net.point_channels(ck["model"]) != net.POINT_CHANNELS:
        raise SystemExit(f"{a.checkpoint}'s head for the points takes no comb; the engine gives it")
    if net.point_hidden(ck["model"]) != net.POINT_HIDDEN:
        raise SystemExit(f"{a.checkpoint}'s head for the points has {net.point_hidden(ck['model'])} channels; "
                         f"the engine is built for {net.POINT_HIDDEN}")
    model = net.from_state(ck["model"])
    round_to_stored(model)
    model.eval()
    src = f"train/checkpoint.pt (step {ck.get('step', 0)}, {ck.get('hours', 0.0):.2f} h of training)"
    if ck.get("averaged"):
        src = src[:-1] + f"; the mean of steps {', '.join(str(s) for s in ck['averaged'])})"
    parts = weight_parts(model)
    with open(a.weights, "w") as fh:
        fh.write(weights_cpp(parts, src))
    with open(os.path.splitext(a.weights)[0] + ".bin", "wb") as fh:
        fh.write(weights_bin(parts))
    if a.golden:
        os.makedirs(os.path.dirname(a.golden), exist_ok=True)
        with open(a.golden, "wb") as fh:
            fh.write(golden(model))
    print(f"exported {src}: {net.parameter_count(model)} parameters")


if __name__ == "__main__":
    main()
