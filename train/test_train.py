"""Checks of the training code that a wrong result would otherwise only show hours later:

  /usr/bin/python3 -m unittest discover -s train -p 'test_*.py'

Every growth of the network must leave what it computes unchanged (training then gives the new
weights a use), the data must come back the same for the same batch number (a resumed run goes on
with the stream it left), and a shifted voice must move its harmonics by the factor drawn. The
data tests need the pool (train/make_pool.py) and are skipped without it.
"""

import os
import sys
import unittest

import numpy as np
import torch

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import average  # noqa: E402
import data  # noqa: E402
import features as F  # noqa: E402
import net  # noqa: E402
import widen  # noqa: E402


def random_inputs(frames=12, seed=0):
    """Features shaped like the engine's: band levels around 0, periodicity in range, points."""
    g = torch.Generator().manual_seed(seed)
    x = torch.randn(2, frames, net.NFEAT + F.NFEAT_POINTS, generator=g) * 0.5
    x[..., 3 * net.NB] = torch.rand(2, frames, generator=g)  # periodicity rho in [0, 1)
    x[..., 3 * net.NB + 1] = torch.rand(2, frames, generator=g)  # pitch feature in [0, 1)
    return x


def outputs(state, x):
    model = net.from_state(state).eval()
    with torch.no_grad():
        return model(x)[0]


def shuffled(state, seed=1):
    """The state with every tensor drawn afresh, so zero outgoing weights of a fresh layer do not
    hide a growth that would change the outputs."""
    g = torch.Generator().manual_seed(seed)
    return {k: torch.randn(v.shape, generator=g) * 0.3 for k, v in state.items()}


class Growth(unittest.TestCase):
    def test_each_growth_keeps_the_outputs(self):
        x = random_inputs()
        first = shuffled(net.Estimator(net.HIDDEN_FIRST, net.NFEAT_BANDS, lookahead=False).state_dict())
        # periodicity features: the old network reads the first NFEAT_BANDS features only
        grown = widen.add_inputs(first)
        before = outputs(first, x[..., :net.NFEAT_BANDS])
        self.assertTrue(torch.equal(before, outputs(grown, x[..., :net.NFEAT])))
        wide = widen.widen(grown)
        self.assertEqual(net.width(wide), net.HIDDEN)
        torch.testing.assert_close(outputs(wide, x[..., :net.NFEAT]), before, rtol=0, atol=1e-6)
        ahead = widen.add_lookahead(shuffled(wide, 2))
        base = outputs(shuffled(wide, 2), x[..., :net.NFEAT])
        torch.testing.assert_close(outputs(ahead, x[..., :net.NFEAT]), base, rtol=0, atol=1e-6)
        with_points = widen.add_points(ahead)
        y = outputs(with_points, x)
        torch.testing.assert_close(y[..., :net.NOUT], base, rtol=0, atol=1e-6)
        # the head starts out at the band gains, interpolated to the points
        at = torch.from_numpy(F.point_band_weights())
        z = net.logit(base[..., :net.NB] @ at.t())
        torch.testing.assert_close(y[..., net.NOUT:], torch.sigmoid(z), rtol=0, atol=1e-6)
        # the comb: a head with trained weights keeps its outputs when the channel joins
        trained = dict(with_points)
        trained.update({k: v for k, v in shuffled(with_points, 3).items() if k.startswith("points.")})
        self.assertEqual(net.point_channels(trained), net.POINT_CHANNELS_FIRST)
        combed = widen.add_comb(trained)
        self.assertEqual(net.point_channels(combed), net.POINT_CHANNELS)
        torch.testing.assert_close(outputs(combed, x), outputs(trained, x), rtol=0, atol=1e-6)
        with self.assertRaises(ValueError):
            widen.add_comb(combed)
        # a wider head: a trained head keeps its outputs when its channels grow
        self.assertEqual(net.point_hidden(combed), net.POINT_HIDDEN_FIRST)
        wider = widen.widen_points(combed)
        self.assertEqual(net.point_hidden(wider), net.POINT_HIDDEN)
        self.assertFalse(torch.equal(wider["points.conv1.weight"][net.POINT_HIDDEN_FIRST:],
                                     torch.zeros_like(wider["points.conv1.weight"][net.POINT_HIDDEN_FIRST:])))
        torch.testing.assert_close(outputs(wider, x), outputs(combed, x), rtol=0, atol=1e-6)
        with self.assertRaises(ValueError):
            widen.widen_points(wider, net.POINT_HIDDEN_FIRST)

    def test_averaging_is_the_mean_and_refuses_different_networks(self):
        import tempfile

        a = shuffled(net.Estimator(net.HIDDEN, points=True).state_dict(), 4)
        b = shuffled(a, 5)
        with tempfile.TemporaryDirectory() as d:
            pa, pb, pc = (os.path.join(d, n) for n in ("a.pt", "b.pt", "c.pt"))
            torch.save({"model": a, "step": 10}, pa)
            torch.save({"model": b, "step": 20}, pb)
            out = average.average([pa, pb])
            self.assertEqual(out["step"], 20)
            self.assertEqual(out["averaged"], [10, 20])
            for k in a:
                torch.testing.assert_close(out["model"][k], (a[k] + b[k]) / 2)
            torch.save({"model": shuffled(net.Estimator(net.HIDDEN_FIRST).state_dict()), "step": 30}, pc)
            with self.assertRaises(SystemExit):
                average.average([pa, pc])


class Comb(unittest.TestCase):
    def test_peaks_on_the_harmonics_and_vanishes_without_a_period(self):
        feats = torch.zeros(3, net.NFEAT)
        # f0 = 62.5 * 2^(2.68 p) = 125 Hz: p = 1 / 2.68
        feats[:, 3 * net.NB + 1] = 1.0 / F.PITCH_OCTAVES
        feats[:, 3 * net.NB] = torch.tensor([0.8, 0.0, -0.5])
        comb = F.point_comb(feats)
        hz = np.array(F.point_hz())
        on = np.isclose(hz % 125.0, 0.0)
        half = np.isclose(hz % 125.0, 62.5)
        self.assertTrue(on.any() and half.any())
        torch.testing.assert_close(comb[0, on], torch.full((int(on.sum()),), 0.8))
        torch.testing.assert_close(comb[0, half], torch.full((int(half.sum()),), -0.8))
        self.assertTrue(torch.equal(comb[1:], torch.zeros(2, F.NPOINT)))


def peak_hz(x, rate=data.RATE):
    magnitude = np.abs(np.fft.rfft(x * np.hanning(len(x))))
    return np.argmax(magnitude) * rate / len(x)


class VoiceShift(unittest.TestCase):
    def test_moves_the_pitch_by_the_factor_drawn(self):
        t = np.arange(data.RATE) / data.RATE
        tone = np.sin(2 * np.pi * 200.0 * t)
        seen = set()
        for seed in range(40):
            y = data.voice_shift(np.random.default_rng(seed), tone)
            speed = len(tone) / len(y)  # the factor drawn, from how much shorter it came out
            self.assertLessEqual(abs(speed - 1.0), data.VOICE_SHIFT + 1e-3)
            self.assertAlmostEqual(peak_hz(y), 200.0 * speed, delta=2.0)
            seen.add(round(speed, 2))
        self.assertGreater(len(seen), 15)


POOL_READY = os.path.exists(os.path.join(data.POOL, "speech.csv"))


@unittest.skipUnless(POOL_READY, "no pool: run train/make_pool.py")
class Stream(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.maker = data.Maker()

    def test_a_batch_is_the_same_whenever_it_is_made(self):
        for step in (data.RECIPE5_FROM_BATCH - 1, data.RECIPE5_FROM_BATCH + 7):
            rate, t1, m1 = self.maker.batch(step, 4)
            self.maker.batch(step + 1, 4)  # another batch between: no state carries over
            rate2, t2, m2 = data.Maker().batch(step, 4)
            self.assertEqual(rate, rate2)
            self.assertTrue(torch.equal(t1, t2) and torch.equal(m1, m2))

    def test_batches_before_the_voice_shift_are_what_they_were(self):
        step = data.RECIPE5_FROM_BATCH - 1
        _, t, m = self.maker.batch(step, 4)
        old = data.RECIPE5_FROM_BATCH
        try:
            data.RECIPE5_FROM_BATCH = 10 ** 9
            _, t0, m0 = data.Maker().batch(step, 4)
            _, t1, _ = data.Maker().batch(old + 3, 4)
        finally:
            data.RECIPE5_FROM_BATCH = old
        self.assertTrue(torch.equal(t, t0) and torch.equal(m, m0))
        # and from there on the stream is a new one
        _, t2, _ = self.maker.batch(old + 3, 4)
        self.assertFalse(torch.equal(t1, t2))


if __name__ == "__main__":
    unittest.main()
