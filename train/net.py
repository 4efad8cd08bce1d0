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

The GRU is PyTorch's (reset gate applied after the recurrent product); engine/NeuralNet.cpp
computes the same equations.
"""

import torch
from torch import nn

from features import NB, NFEAT, NFEAT_BANDS

HIDDEN = 96
HIDDEN_FIRST = 48  # the width a new training starts with, up to train.WIDEN_AT
NOUT = 3 * NB + 1


def with_next(x):
    """[B, T, F] -> [B, T, 2F]: each frame's features followed by the next frame's; the last frame,
    which has no next one here, repeats its own."""
    nxt = torch.cat([x[:, 1:], x[:, -1:]], dim=1)
    return torch.cat([x, nxt], dim=-1)


class Estimator(nn.Module):
    def __init__(self, hidden=HIDDEN, nfeat=NFEAT, lookahead=True):
        super().__init__()
        self.nfeat = nfeat  # features per frame
        self.lookahead = lookahead
        self.fc_in = nn.Linear(2 * nfeat if lookahead else nfeat, hidden)
        self.gru1 = nn.GRU(hidden, hidden, batch_first=True)
        self.gru2 = nn.GRU(hidden, hidden, batch_first=True)
        self.fc_out = nn.Linear(2 * hidden, NOUT)

    def forward(self, x, state=None):
        """x: [B, T, NFEAT]. Returns outputs [B, T, NOUT] and the final (h1, h2)."""
        s1, s2 = (None, None) if state is None else state
        if self.lookahead:
            x = with_next(x)
        h0 = torch.tanh(self.fc_in(x))
        h1, s1 = self.gru1(h0, s1)
        h2, s2 = self.gru2(h1, s2)
        y = torch.sigmoid(self.fc_out(torch.cat([h1, h2], dim=-1)))
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


def from_state(state):
    """An estimator shaped for a state dict, with its weights."""
    model = Estimator(width(state), inputs(state), looks_ahead(state))
    model.load_state_dict(state)
    return model


def macs_per_frame(hidden=HIDDEN, nfeat=NFEAT, lookahead=True):
    gru = 3 * (hidden * hidden + hidden * hidden)
    return (2 * nfeat if lookahead else nfeat) * hidden + 2 * gru + 2 * hidden * NOUT
