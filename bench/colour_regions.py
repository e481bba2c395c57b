#!/usr/bin/python3
"""How well Auto Finish-up keeps to the regions a user meant.

Makes gray pictures with a known region map (tone steps of 20 to 120 between
neighbours, Gaussian noise of sigma 4 to 10, fine textures and soft gradients
inside regions, thin bands, regions that meet only at a corner), puts one short
brush stroke with a palette of its own well inside each region, runs
`autofinish` and reads PixelCodes back. The figure is the share of pixels whose
code is their own region's stroke code, for the designed finish-up (rays) and
for the edge-aware one.

    bench/colour_regions.py            (work files in $CW_QUALITY_DIR/regions,
                                        default /tmp/cw-quality/regions)
"""
import os
import sys

import cv2
import numpy as np

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cwbatch import Batch, Unavailable, fmt, read_codes, stroke_points, table, write_gray_bmp  # noqa: E402

# Network palettes, one code each (the code PixelCodes holds).
PALETTES = [
    (1, "Skin: Fair"), (2, "Greens: Forest"), (3, "Greens: Spring"), (4, "Greens: Winter"),
    (5, "Greens: Summer"), (6, "Sky: Blue"), (7, "Sky: Sun-rise [Sunset]"), (8, "Sky: Cloudy [Gray]"),
    (9, "Water: Sea [Green]"), (10, "Water: Sea [Blue]"), (11, "Earth: Dark"), (12, "Skin: Pale"),
    (13, "Fire: Bright"), (17, "Make-up: Greens"), (19, "Objects: Citrine [Yellow]"),
    (20, "Objects: Grape [Amethyst]"), (21, "Objects: Blue [Qartz]"), (22, "Objects: Mandarine [Fire]"),
    (23, "Water: Aqua [Blue]"), (24, "Water: Ocean [Blue]"), (25, "Water: Harbour [Green]"),
    (27, "Skin: Dark"), (28, "Fire: Forest"),
]


def relabel(labels, min_size=150):
    """Connected parts of a label map, each its own region; parts under
    min_size pixels go to the nearest larger part."""
    out = np.zeros(labels.shape, np.int32)
    n = 0
    for v in np.unique(labels):
        k, comp = cv2.connectedComponents((labels == v).astype(np.uint8), connectivity=4)
        for c in range(1, k):
            part = comp == c
            if part.sum() >= min_size:
                n += 1
                out[part] = n
    if (out == 0).any():  # the small parts: nearest region by distance
        _, idx = cv2.distanceTransformWithLabels((out == 0).astype(np.uint8), cv2.DIST_L2, 5,
                                                 labelType=cv2.DIST_LABEL_PIXEL)
        ys, xs = np.nonzero(out)
        seed_label = np.zeros(idx.max() + 1, np.int32)
        seed_label[idx[ys, xs]] = out[ys, xs]
        out = seed_label[idx]
    return out


def adjacency(labels):
    """Pairs of regions that touch, along an edge or at a corner."""
    pairs = set()
    for a, b in [(labels[:, :-1], labels[:, 1:]), (labels[:-1, :], labels[1:, :]),
                 (labels[:-1, :-1], labels[1:, 1:]), (labels[:-1, 1:], labels[1:, :-1])]:
        d = a != b
        pairs |= {(int(min(x, y)), int(max(x, y))) for x, y in zip(a[d], b[d])}
    return pairs


def tones(labels, rng):
    """A tone per region, every touching region 20 to 120 away; and the
    regions each touches."""
    n = labels.max()
    neighbours = {r: set() for r in range(1, n + 1)}
    for a, b in adjacency(labels):
        neighbours[a].add(b)
        neighbours[b].add(a)
    for _ in range(1000):
        tone = {}
        for r in rng.permutation(np.arange(1, n + 1)):
            ok = [t for t in range(30, 226, 2)
                  if all(20 <= abs(t - tone[m]) <= 120 for m in neighbours[r] if m in tone)]
            if not ok:
                break
            tone[r] = int(rng.choice(ok))
        if len(tone) == n:
            return tone, neighbours
    raise SystemExit("no tones fit this region map")


def render(labels, rng):
    """The gray picture: tones, noise, textures and gradients per region."""
    n = labels.max()
    tone, neighbours = tones(labels, rng)
    h, w = labels.shape
    yy, xx = np.mgrid[0:h, 0:w].astype(np.float64)
    img = np.zeros((h, w))
    for r in range(1, n + 1):
        m = labels == r
        step = min(abs(tone[r] - tone[o]) for o in neighbours[r]) if neighbours[r] else 60
        v = np.full(m.sum(), float(tone[r]))
        v += rng.normal(0, rng.uniform(4, 10), m.sum())
        if rng.random() < 0.5:  # a soft gradient across the region
            ang = rng.uniform(0, np.pi)
            t = np.cos(ang) * xx[m] + np.sin(ang) * yy[m]
            span = max(np.ptp(t), 1.0)
            v += (t - t.mean()) / span * min(16, step / 2)
        if rng.random() < 0.5:  # a fine texture: a weave of period 3..6 px
            p = rng.uniform(3, 6)
            v += np.sin(2 * np.pi * xx[m] / p) * np.sin(2 * np.pi * yy[m] / p) * min(8, step / 3)
        img[m] = v
    return np.clip(np.rint(img), 0, 255).astype(np.uint8)


def mosaic(rng, w=640, h=440):
    """Polygonal regions around jittered seeds, crossed by two thin bands."""
    gy, gx = np.mgrid[0:3, 0:4]
    seeds = np.stack([(gx.ravel() + 0.5) * w / 4, (gy.ravel() + 0.5) * h / 3], 1) + rng.uniform(-50, 50, (12, 2))
    yy, xx = np.mgrid[0:h, 0:w]
    d = (xx[..., None] - seeds[:, 0]) ** 2 + (yy[..., None] - seeds[:, 1]) ** 2
    labels = d.argmin(-1).astype(np.int32) + 1
    cv2.line(labels, (40, 120), (600, 170), 100, 6)
    cv2.line(labels, (260, 20), (330, 420), 101, 7)
    return relabel(labels)


def corners(rng, w=480, h=320):
    """A 4 x 3 board: each square meets its diagonal neighbours at a corner only."""
    yy, xx = np.mgrid[0:h, 0:w]
    return (yy * 3 // h) * 4 + (xx * 4 // w) + 1


def bands(rng, w=512, h=384):
    """Thin bands, 5 to 8 px wide, on one background, and two blocks."""
    labels = np.ones((h, w), np.int32)
    r = 2
    for i, bw in enumerate([5, 6, 7, 8]):
        y = 40 + i * 40
        labels[y:y + bw, 20:230] = r
        r += 1
    for i, bw in enumerate([8, 5, 7, 6]):
        x = 290 + i * 50
        labels[20:200, x:x + bw] = r
        r += 1
    cv2.line(labels, (30, 230), (230, 360), r, 6)
    labels[240:350, 280:390] = r + 1
    labels[240:350, 390:490] = r + 2
    return relabel(labels, min_size=100)


def blobs(rng, w=800, h=560):
    """Organic regions: a smooth random field cut at four levels."""
    f = cv2.GaussianBlur(rng.normal(0, 1, (h, w)), (0, 0), 55)
    levels = np.digitize(f, np.quantile(f, [0.2, 0.4, 0.6, 0.8]))
    labels = relabel(levels, min_size=600)
    return labels


def assign_palettes(labels):
    """A palette index per region: distinct while there are enough, never one
    that a touching region has."""
    used = np.zeros(len(PALETTES), int)
    taken = {}
    pairs = adjacency(labels)
    for r in range(1, labels.max() + 1):
        near = {taken.get(b if a == r else a) for a, b in pairs if r in (a, b)}
        i = min((i for i in range(len(PALETTES)) if i not in near), key=lambda i: used[i])
        taken[r] = i
        used[i] += 1
    return taken


def measure(batch, name, bmp, labels, mode_lines):
    h, w = labels.shape
    n = labels.max()
    codes = assign_palettes(labels)
    lines = [f"load {bmp}", "tool brush", "set brush-width 2", "set brush-height 2"] + mode_lines
    for r in range(1, n + 1):
        code, caption = PALETTES[codes[r]]
        codes[r] = code
        pts = stroke_points(labels == r)
        lines += [f'palette "{caption}"', "drag " + " ".join(f"{x} {y}" for x, y in pts)]
    strokes, final = (os.path.join(batch.dir, f"{name}-{s}.raw") for s in ("strokes", "final"))
    lines += [f"dump codes {strokes}", "autofinish", f"dump codes {final}"]
    batch.run(lines)
    want = np.zeros(n + 1, np.int8)
    for r, c in codes.items():
        want[r] = c
    before, after = read_codes(strokes, (h, w)), read_codes(final, (h, w))
    spill = int(((before != 0) & (before != want[labels])).sum())
    good = after == want[labels]
    per_region = [good[labels == r].mean() for r in range(1, n + 1)]
    return good.mean(), min(per_region), (after == 0).mean(), spill


def main():
    work = os.path.join(os.environ.get("CW_QUALITY_DIR", "/tmp/cw-quality"), "regions")
    batch = Batch(work)
    rng = np.random.default_rng(2026)
    pictures = [("mosaic", mosaic(rng)), ("corners", corners(rng)), ("bands", bands(rng)), ("blobs", blobs(rng))]
    modes = [("rays", []), ("edge-aware", ["set finish-mode edge-aware"])]
    rows, goal = [], []
    for name, labels in pictures:
        bmp = os.path.join(work, name + ".bmp")
        write_gray_bmp(bmp, render(labels, rng))
        cv2.imwrite(os.path.join(work, name + "-regions.png"), labels.astype(np.uint16))
        for mode, set_lines in modes:
            h, w = labels.shape
            try:
                share, worst, unc, spill = measure(batch, f"{name}-{mode}", bmp, labels, set_lines)
            except Unavailable:
                share = worst = unc = spill = None
            rows.append([name, f"{w}x{h}", str(labels.max()), mode, fmt(share, 4), fmt(worst, 4),
                         fmt(unc, 4), "n/a" if spill is None else str(spill)])
            if mode == "edge-aware":
                goal.append(share)
    print("Auto Finish-up: share of pixels coded as their own region's stroke")
    print("(worst region: the lowest share within one region; uncoloured: code 0 after autofinish;")
    print(" spill: stroke pixels outside their region before autofinish)\n")
    table(["picture", "size", "regions", "finish-mode", "share", "worst region", "uncoloured", "spill"], rows)
    if any(s is None for s in goal):
        print("\nGoal (edge-aware share >= 0.97 on every picture): n/a, this runner has no edge-aware finish-up")
    else:
        print(f"\nGoal (edge-aware share >= 0.97 on every picture): {'met' if min(goal) >= 0.97 else 'NOT met'}"
              f" (lowest {min(goal):.4f})")


if __name__ == "__main__":
    main()
