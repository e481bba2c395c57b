#!/usr/bin/python3
"""How close Auto Finish-up comes to a photo's real colours from a few strokes.

Each colour photo is turned gray (R = G = B = its luminance, so the gray has
the photo's L*), strokes are
chosen from the photo itself (k-means on a*b*, the largest connected parts of
each cluster, one short stroke at the point deepest inside each part, painted
with `palette Custom` in the part's median colour), and the program's
`autofinish` result is compared with the photo: mean CIE76 Delta-E and mean
|Delta L*|. The same stroke pixels and colours also feed colourisation by
optimisation (Levin, Lischinski and Weiss 2004), the reference the finish-up
modes are held against.

A Custom stroke is painted merged half and half with the pixel's gray, so it
carries about half the marker's chroma. Two markers are measured: the median
colour itself, and 2 x median - gray, for which the painted stroke carries the
median colour.

    bench/colour_photos.py     (work files and the downloaded photos in
                                $CW_QUALITY_DIR/photos, default /tmp/cw-quality)
"""
import glob
import os
import subprocess
import sys
import time

import cv2
import numpy as np
import scipy.sparse as sp
from scipy.sparse.linalg import spsolve

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cwbatch import (MODES, Batch, Unavailable, fmt, read_codes, read_rgb, srgb_to_lab,  # noqa: E402
                     stroke_points, table, write_gray_bmp)

TESTDATA = os.environ.get("CW_PHOTOS_DIR", "/work/shared/testdata/photos")
# Photographs (not drawings) among Debian's desktop backgrounds.
BACKGROUNDS = ("mate-backgrounds", "usr/share/backgrounds/mate/nature", ["Dune.jpg", "Garden.jpg", "LadyBird.jpg"])
CLUSTERS = 8
MAX_STROKES = 24
YIQ = np.array([[0.299, 0.587, 0.114], [0.596, -0.274, -0.322], [0.211, -0.523, 0.312]])


def photos(work):
    """(name, RGB) for each photo, down-scaled to about 0.3 MP."""
    paths = [os.path.join(TESTDATA, n) for n in ("astronaut.jpg", "coffee.jpg")]
    package, folder, names = BACKGROUNDS
    unpacked = os.path.join(work, "deb")
    if not all(os.path.exists(os.path.join(unpacked, folder, n)) for n in names):
        # Downloaded and unpacked only, never installed.
        subprocess.run(["apt-get", "download", package], cwd=work, check=True, capture_output=True)
        deb = sorted(glob.glob(os.path.join(work, package + "_*.deb")))[-1]
        subprocess.run(["dpkg-deb", "-x", deb, unpacked], check=True)
    paths += [os.path.join(unpacked, folder, n) for n in names]
    for p in paths:
        rgb = read_rgb(p)
        h, w = rgb.shape[:2]
        if h * w > 360_000:
            s = (300_000 / (h * w)) ** 0.5
            rgb = cv2.resize(rgb, (round(w * s), round(h * s)), interpolation=cv2.INTER_AREA)
        yield os.path.splitext(os.path.basename(p))[0], rgb


def luminance_gray(rgb):
    """The gray level whose CIE L* is the photo's: sRGB-encoded relative
    luminance (Rec. 709 primaries, as sRGB has), not the Rec. 601 luma."""
    c = rgb.astype(np.float64) / 255
    y = np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4) @ [0.2126729, 0.7151522, 0.0721750]
    g = np.where(y <= 0.0031308, 12.92 * y, 1.055 * y ** (1 / 2.4) - 0.055)
    return np.clip(np.rint(g * 255), 0, 255).astype(np.uint8)


def choose_strokes(rgb, lab):
    """[(points, median RGB, part mask)] for the largest parts of the a*b* clusters."""
    h, w = lab.shape[:2]
    cv2.setRNGSeed(7)
    ab = lab[..., 1:].reshape(-1, 2).astype(np.float32)
    crit = (cv2.TERM_CRITERIA_EPS + cv2.TERM_CRITERIA_MAX_ITER, 50, 0.1)
    _, cluster, _ = cv2.kmeans(ab, CLUSTERS, None, crit, 3, cv2.KMEANS_PP_CENTERS)
    cluster = cv2.medianBlur(cluster.reshape(h, w).astype(np.uint8), 5)
    parts = []
    for c in range(CLUSTERS):
        k, comp, stats, _ = cv2.connectedComponentsWithStats((cluster == c).astype(np.uint8), connectivity=4)
        parts += [(stats[i, cv2.CC_STAT_AREA], comp == i) for i in range(1, k)]
    parts.sort(key=lambda p: -p[0])
    strokes = []
    for area, mask in parts:
        if area < 0.002 * h * w or len(strokes) == MAX_STROKES:
            break
        pts = stroke_points(mask)
        if pts:
            strokes.append((pts, np.median(rgb[mask], axis=0), mask))
    return strokes


def footprint(shape, pts):
    """About the pixels a 5 x 5 brush paints along pts."""
    m = np.zeros(shape, np.uint8)
    for a, b in zip(pts, pts[1:]):
        cv2.line(m, a, b, 1, 5)
    return m.astype(bool)


def markers(strokes, gray, compensate):
    out = []
    for pts, median, _ in strokes:
        c = np.clip(2 * median - gray[footprint(gray.shape, pts)].mean(), 0, 255) if compensate else median
        out.append("#%02X%02X%02X" % tuple(int(round(v)) for v in c))
    return out


def colourise(batch, name, bmp, strokes, colours, mode_lines):
    """The finished picture, the painted stroke pixels, and the picture as
    painted, before the finish-up."""
    lines = [f"load {bmp}", "tool brush", "set brush-width 2", "set brush-height 2"] + mode_lines
    for (pts, _, _), colour in zip(strokes, colours):
        lines += [f"palette Custom {colour}", "drag " + " ".join(f"{x} {y}" for x, y in pts)]
    codes, before, final = (os.path.join(batch.dir, f"{name}.{s}") for s in ("codes", "before.bmp", "bmp"))
    lines += [f"dump codes {codes}", f"dump colour {before}", "autofinish", f"dump colour {final}"]
    batch.run(lines)
    out = read_rgb(final)
    return out, read_codes(codes, out.shape[:2]) != 0, read_rgb(before)


def marker_targets(painted, strokes):
    """Each stroke pixel in its stroke's colour: the stroke nearest to it."""
    target = np.zeros(painted.shape + (3,))
    ys, xs = np.nonzero(painted)
    centres = np.array([pts[len(pts) // 2] for pts, _, _ in strokes])
    nearest = ((xs[:, None] - centres[:, 0]) ** 2 + (ys[:, None] - centres[:, 1]) ** 2).argmin(1)
    target[ys, xs] = np.array([m for _, m, _ in strokes])[nearest]
    return target


def levin(gray, painted, target):
    """Colourisation by optimisation: Y from the gray, I and Q spread from the
    stroke pixels (their colours in target) by affinities from the 3 x 3
    window's gray variance."""
    h, w = gray.shape
    n = h * w
    y = gray.astype(np.float64) / 255
    yp = np.pad(y, 1, constant_values=np.nan)
    offsets = [(dy, dx) for dy in (-1, 0, 1) for dx in (-1, 0, 1) if dy or dx]
    nb = np.stack([yp[1 + dy:1 + dy + h, 1 + dx:1 + dx + w] for dy, dx in offsets])
    window = np.concatenate([nb, y[None]])
    var = np.nanmean((window - np.nanmean(window, 0)) ** 2, 0)
    d2 = (nb - y) ** 2
    # 2 sigma^2 = 0.6 var, at least enough that the nearest neighbour keeps 1 %.
    two_sigma2 = np.maximum(np.maximum(0.6 * var, np.nanmin(d2, 0) / np.log(100)), 2e-6)
    wts = np.nan_to_num(np.exp(-d2 / two_sigma2))
    wts /= wts.sum(0)
    idx = np.arange(n).reshape(h, w)
    idxp = np.pad(idx, 1, constant_values=-1)
    free = ~painted.ravel()
    rows, cols, vals = [np.arange(n)], [np.arange(n)], [np.ones(n)]
    for k, (dy, dx) in enumerate(offsets):
        j = idxp[1 + dy:1 + dy + h, 1 + dx:1 + dx + w].ravel()
        keep = free & (j >= 0)
        rows.append(np.arange(n)[keep])
        cols.append(j[keep])
        vals.append(-wts[k].ravel()[keep])
    a = sp.csc_matrix((np.concatenate(vals), (np.concatenate(rows), np.concatenate(cols))), shape=(n, n))
    iq = (target.reshape(-1, 3) / 255) @ YIQ[1:].T
    iq[free] = 0
    solved = spsolve(a, iq)
    yiq = np.concatenate([y.reshape(-1, 1), solved], 1)
    return np.clip(np.rint(yiq @ np.linalg.inv(YIQ).T * 255), 0, 255).astype(np.uint8).reshape(h, w, 3)


def scores(result, lab):
    d = srgb_to_lab(result) - lab
    return np.sqrt((d ** 2).sum(-1)).mean(), np.abs(d[..., 0]).mean()


def main():
    work = os.path.join(os.environ.get("CW_QUALITY_DIR", "/tmp/cw-quality"), "photos")
    batch = Batch(work)
    rows, goals = [], []
    for name, rgb in photos(work):
        h, w = rgb.shape[:2]
        lab = srgb_to_lab(rgb)
        gray = luminance_gray(rgb)
        bmp = os.path.join(work, name + "-gray.bmp")
        write_gray_bmp(bmp, gray)
        strokes = choose_strokes(rgb, lab)
        g = scores(cv2.merge([gray, gray, gray]), lab)
        res = {"gray": (g, g)}
        painted = None
        as_painted = [None, None]  # the both-modes run's picture before the finish-up, per marker
        for mode, set_lines in MODES:
            res[mode] = []
            for k, compensate in enumerate((False, True)):
                tag = f"{name}-{mode}-{'comp' if compensate else 'median'}"
                try:
                    out, p, before = colourise(batch, tag, bmp, strokes, markers(strokes, gray, compensate), set_lines)
                    painted = p if painted is None else painted
                    if mode == "both":
                        as_painted[k] = np.where(p[..., None], before, 0)
                    res[mode].append(scores(out, lab))
                except Unavailable:
                    res[mode].append(None)
        t = time.perf_counter()
        opt = levin(gray, painted, marker_targets(painted, strokes))
        solve_s = time.perf_counter() - t
        cv2.imwrite(os.path.join(work, name + "-levin.png"), cv2.cvtColor(opt, cv2.COLOR_RGB2BGR))
        o = scores(opt, lab)
        res["optimisation"] = (o, o)
        # The same optimisation from the picture the finish-up starts from:
        # the stroke pixels in the colours the brush painted.
        res["opt. as painted"] = [None if a is None else scores(levin(gray, painted, a), lab) for a in as_painted]
        print(f"{name}: {w}x{h}, {len(strokes)} strokes, {int(painted.sum())} stroke pixels,"
              f" optimisation solved in {solve_s:.1f} s")
        for mode in ["gray"] + [m for m, _ in MODES] + ["optimisation", "opt. as painted"]:
            cells = [name, mode]
            for r in res[mode]:
                ratio = None if r is None else r[0] / o[0]
                cells += [fmt(None if r is None else r[0], 2), fmt(None if r is None else r[1], 2), fmt(ratio, 2)]
            rows.append(cells)
        both = res["both"]
        goals.append([None if b is None else (b[0] <= 1.1 * o[0], b[1] <= 1.0, b[0] <= 1.1 * a[0])
                      for b, a in zip(both, res["opt. as painted"])])
    print("\nMean CIE76 Delta-E and mean |Delta L*| against the colour photo; ratio: Delta-E / optimisation's")
    print("gray: R = G = B = the photo's luminance, sRGB-encoded (its L* is the photo's, to 8-bit rounding)")
    print("optimisation: from the stroke pixels in the markers' colours, which the brush does not paint")
    print("opt. as painted: from the stroke pixels as the brush painted them (both modes on)")
    print("marker = median: the stroke marker is the part's median colour (painted at about half chroma)")
    print("marker = 2m - gray: the painted stroke carries about the median colour (clipped where saturated)\n")
    table(["photo", "mode", "dE (median)", "|dL*|", "ratio", "dE (2m-gray)", "|dL*|", "ratio"], rows)
    for i, label in enumerate(["median", "2m-gray"]):
        g = [x[i] for x in goals]
        if any(v is None for v in g):
            print(f"\nGoals, marker {label}: n/a (this runner lacks edge-aware finish-up or natural light)")
        else:
            def verdict(k):
                return "met" if all(v[k] for v in g) else "NOT met"
            print(f"\nGoals, marker {label}, both modes on: dE <= 1.1 x optimisation on every photo: {verdict(0)};"
                  f" dE <= 1.1 x optimisation as painted: {verdict(2)}; |dL*| <= 1: {verdict(1)}")


if __name__ == "__main__":
    main()
