"""The speech estimator: 98 features in (band level, flatness and periodicity, the frame's
periodicity and pitch), per band a speech gain, a speech presence and a noise share out, plus a
frame voice decision.

  x  = [f(t), f(t + 1)]                     the frame's features and the next frame's (look-ahead)
  h0 = tanh(W0 x + b0)                      196 -> H
  h1 = GRU(h0)                              H -> H
  h2 = GRU(h1)                              H -> H
  y  = sigmoid(W3 [h1, h2] + b3)            2H -> 97: gain[32], presence[32], noise[32], vad

H is 96 (HIDDEN); the network was trained 48 wide (HIDDEN_FIRST) up to step 21,000 and 64 wide up
to step 45,000 (train.WIDEN_AT), each time widened without changing its outputs (widen.py); it
took the 64 band level and flatness features only up to train.PERIODICITY_AT, and only the frame's
own features, without the next frame's, up to train.LOOKAHEAD_AT. The look-ahead costs the engine
one hop of delay: it decides a frame's gains when the next frame has arrived.

From train.POINTS_AT on, a head refines the gains at the 32 points below 1 kHz (features.py),
where a band spans several harmonics of a voice and its one gain keeps the noise between them:

  c     = W_c [h1, h2] + b_c                          192 -> 32, one context value per point
  u_p   = [r_p(t), r_p(t + 1), m_p, c_p, logit(g(f_p)) / 4, k_p]   6 channels along the 32 points
  v     = tanh(conv5(u))                              6 -> 32 channels, 5 taps (zero beyond the ends)
  d     = conv3(v)                                    32 -> 1 channel, 3 taps
  gain_p = sigmoid(logit(g(f_p)) + d_p)

g(f_p) is the band gains interpolated at the point with the band triangles, the logit clamped at
POINT_LOGIT_EPS; conv3 starts at zero, so the head starts out giving the band gains. k_p is the
comb of the frame's period at the point (features.point_comb): where the harmonics of the voice
that sets the period lie, also where noise hides them. The head took it from train.COMB_AT on
(5 channels before, the comb's weights entering at zero). Its first convolution had 16 channels
(POINT_HIDDEN_FIRST) up to train.POINT_WIDEN_AT, where it grew to 32 (widen.widen_points).

The GRU is PyTorch's (reset gate applied after the recurrent product); engine/NeuralNet.cpp
computes the same equations.
"""

import torch
from torch import nn

import features as F
from features import NB, NFEAT, NFEAT_BANDS, NPOINT

HIDDEN = 96
HIDDEN_FIRST = 48  # the width a new training starts with, up to train.WIDEN_AT
NOUT = 3 * NB + 1
POINT_CHANNELS = 6
POINT_CHANNELS_FIRST = 5  # before the comb
POINT_HIDDEN = 32
POINT_HIDDEN_FIRST = 16  # up to train.POINT_WIDEN_AT
POINT_TAPS = (5, 3)
POINT_LOGIT_EPS = 1e-4


def with_next(x):
    """[B, T, F] -> [B, T, 2F]: each frame's features followed by the next frame's; the last frame,
    which has no next one here, repeats its own."""
    nxt = torch.cat([x[:, 1:], x[:, -1:]], dim=1)
    return torch.cat([x, nxt], dim=-1)


def logit(g):
    g = g.clamp(POINT_LOGIT_EPS, 1.0 - POINT_LOGIT_EPS)
    return torch.log(g) - torch.log1p(-g)


class PointHead(nn.Module):
    def __init__(self, hidden=HIDDEN, channels=POINT_CHANNELS, point_hidden=POINT_HIDDEN):
        super().__init__()
        self.channels = channels
        self.ctx = nn.Linear(2 * hidden, NPOINT)
        self.conv1 = nn.Conv1d(channels, point_hidden, POINT_TAPS[0], padding=POINT_TAPS[0] // 2)
        self.conv2 = nn.Conv1d(point_hidden, 1, POINT_TAPS[1], padding=POINT_TAPS[1] // 2)
        nn.init.zeros_(self.conv2.weight)
        nn.init.zeros_(self.conv2.bias)
        self.register_buffer("at", torch.from_numpy(F.point_band_weights()), persistent=False)

    def forward(self, h, band_gain, pf, frame):
        """h: [B, T, 2H] the two layers' states, band_gain: [B, T, NB], pf: [B, T, NFEAT_POINTS]
        the point features, frame: [B, T, NFEAT] the frame's own features. Returns the gains
        [B, T, NPOINT]."""
        r, m = pf[..., :NPOINT], pf[..., NPOINT:]
        r_next = torch.cat([r[:, 1:], r[:, -1:]], dim=1)
        z = logit(band_gain @ self.at.t())
        channels = [r, r_next, m, self.ctx(h), z / 4.0]
        if self.channels > POINT_CHANNELS_FIRST:
            channels.append(F.point_comb(frame))
        u = torch.stack(channels, dim=-2)  # [B, T, channels, NPOINT]
        b, t = u.shape[:2]
        v = torch.tanh(self.conv1(u.reshape(b * t, self.channels, NPOINT)))
        d = self.conv2(v).reshape(b, t, NPOINT)
        return torch.sigmoid(z + d)


class Estimator(nn.Module):
    def __init__(self, hidden=HIDDEN, nfeat=NFEAT, lookahead=True, points=False, point_channels=POINT_CHANNELS,
                 point_hidden=POINT_HIDDEN):
        super().__init__()
        self.nfeat = nfeat  # features per frame
        self.lookahead = lookahead
        self.fc_in = nn.Linear(2 * nfeat if lookahead else nfeat, hidden)
        self.gru1 = nn.GRU(hidden, hidden, batch_first=True)
        self.gru2 = nn.GRU(hidden, hidden, batch_first=True)
        self.fc_out = nn.Linear(2 * hidden, NOUT)
        self.points = PointHead(hidden, point_channels, point_hidden) if points else None

    def forward(self, x, state=None):
        """x: [B, T, NFEAT] (+ NFEAT_POINTS with points). Returns outputs [B, T, NOUT], with points
        followed by the point gains [B, T, NPOINT], and the final (h1, h2)."""
        s1, s2 = (None, None) if state is None else state
        pf = x[..., NFEAT:NFEAT + F.NFEAT_POINTS]
        x = x[..., :self.nfeat]
        frame = x
        if self.lookahead:
            x = with_next(x)
        h0 = torch.tanh(self.fc_in(x))
        h1, s1 = self.gru1(h0, s1)
        h2, s2 = self.gru2(h1, s2)
        h = torch.cat([h1, h2], dim=-1)
        y = torch.sigmoid(self.fc_out(h))
        if self.points is not None:
            y = torch.cat([y, self.points(h, y[..., :NB], pf, frame)], dim=-1)
        return y, (s1, s2)


def split(y):
    return y[..., :NB], y[..., NB:2 * NB], y[..., 2 * NB:3 * NB], y[..., 3 * NB]


def parameter_count(model):
    return sum(p.numel() for p in model.parameters())


def width(state):
    """The number of units of the network a state dict belongs to."""
    return state["fc_in.weight"].shape[0]


def looks_ahead(state):
    """Whether the network a state dict belongs to also takes the next frame's features."""
    return state["fc_in.weight"].shape[1] == 2 * NFEAT


def inputs(state):
    """The number of features per frame the network a state dict belongs to takes."""
    n = state["fc_in.weight"].shape[1]
    return n // 2 if looks_ahead(state) else n


def has_points(state):
    """Whether the network a state dict belongs to has the head for the points below 1 kHz."""
    return "points.ctx.weight" in state


def point_channels(state):
    """The number of channels the head for the points takes (5 before the comb, 6 with it)."""
    return state["points.conv1.weight"].shape[1] if has_points(state) else POINT_CHANNELS


def point_hidden(state):
    """The number of channels of the first convolution of the head for the points."""
    return state["points.conv1.weight"].shape[0] if has_points(state) else POINT_HIDDEN


def from_state(state):
    """An estimator shaped for a state dict, with its weights."""
    model = Estimator(width(state), inputs(state), looks_ahead(state), has_points(state), point_channels(state),
                      point_hidden(state))
    model.load_state_dict(state)
    return model


def macs_per_frame(hidden=HIDDEN, nfeat=NFEAT, lookahead=True, points=False, point_channels=POINT_CHANNELS,
                   point_hidden=POINT_HIDDEN):
    gru = 3 * (hidden * hidden + hidden * hidden)
    macs = (2 * nfeat if lookahead else nfeat) * hidden + 2 * gru + 2 * hidden * NOUT
    if points:
        macs += 2 * hidden * NPOINT + NPOINT * point_hidden * (point_channels * POINT_TAPS[0] + POINT_TAPS[1])
    return macs


def macs_of(state):
    """macs_per_frame of the network a state dict belongs to."""
    return macs_per_frame(width(state), inputs(state), looks_ahead(state), has_points(state), point_channels(state),
                          point_hidden(state))
