#!/usr/bin/python3
"""How long Auto Finish-up takes on a 24 MP picture, edge-aware against the
designed rays and against OpenCV's watershed from the same seeds; and whether
natural light costs an image-wide Touch-paint click anything.

The picture: 6000 x 4000, 20 large regions with noise, one short brush stroke
per region. The program's times are its own `time LABEL` lines around the one
command (so loading the picture is not counted); cv2.watershed gets the same
gray picture as three channels and the stroke pixels as int32 markers. Each
figure is the median of RUNS runs (default 5, $CW_SPEED_RUNS).

    bench/edge_aware_speed.py      (work files in $CW_QUALITY_DIR/speed)
"""
import os
import statistics
import sys
import time

import cv2
import numpy as np

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cwbatch import Batch, Unavailable, read_codes, table, write_gray_bmp  # noqa: E402
from colour_regions import PALETTES, tones  # noqa: E402

W, H = 6000, 4000
RUNS = int(os.environ.get("CW_SPEED_RUNS", "5"))


def picture(rng):
    """Voronoi cells around a jittered 5 x 4 grid of seeds, tones 20 to 120
    apart between touching cells, noise sigma 6."""
    gy, gx = np.mgrid[0:4, 0:5]
    seeds = np.stack([(gx.ravel() + 0.5) * W / 5, (gy.ravel() + 0.5) * H / 4], 1)
    seeds += rng.uniform(-250, 250, seeds.shape)
    labels = np.zeros((H, W), np.uint8)
    best = np.full((H, W), np.inf, np.float32)
    xx = np.arange(W, dtype=np.float32)[None, :]
    yy = np.arange(H, dtype=np.float32)[:, None]
    for i, (sx, sy) in enumerate(seeds):
        d = (xx - sx) ** 2 + (yy - sy) ** 2
        closer = d < best
        best[closer] = d[closer]
        labels[closer] = i + 1
    del best
    tone, _ = tones(labels[::8, ::8], rng)
    lut = np.array([0] + [tone[r] for r in range(1, len(seeds) + 1)], np.float32)
    gray = lut[labels] + rng.normal(0, 6, (H, W)).astype(np.float32)
    return labels, np.clip(np.rint(gray), 0, 255).astype(np.uint8), seeds.round().astype(int)


def interleaved(batch, label, scripts):
    """The `time LABEL` figures of each script (or the ms a function returns)
    over RUNS rounds, taking turns so that a change in the machine's load hits
    all alike; an empty list for a script whose `set` lines the runner does
    not offer."""
    out = {k: [] for k in scripts}
    for _ in range(RUNS):
        for k, lines in scripts.items():
            if out[k] is not None:
                try:
                    out[k].append(lines() if callable(lines) else batch.run(lines)[label])
                except Unavailable:
                    out[k] = None
    return {k: v or [] for k, v in out.items()}


def median_ms(values):
    return statistics.median(values) if values else None


def main():
    work = os.path.join(os.environ.get("CW_QUALITY_DIR", "/tmp/cw-quality"), "speed")
    batch = Batch(work)
    labels, gray, seeds = picture(np.random.default_rng(24))
    bmp = os.path.join(work, "regions-6000x4000.bmp")
    write_gray_bmp(bmp, gray)
    head = [f"load {bmp}", "tool brush", "set brush-width 2", "set brush-height 2"]
    strokes = []
    for i, (x, y) in enumerate(seeds):
        strokes += [f'palette "{PALETTES[i][1]}"', f"drag {x - 3} {y} {x} {y} {x + 3} {y}"]
    codes_path = os.path.join(work, "strokes.codes")
    batch.run(head + strokes + [f"dump codes {codes_path}"])
    stroke_codes = read_codes(codes_path, (H, W))

    rgb = cv2.merge([gray, gray, gray])
    lut = np.zeros(256, np.int32)  # stroke code -> region number
    for i in range(len(seeds)):
        lut[PALETTES[i][0]] = i + 1
    seeds_img = lut[stroke_codes.astype(np.uint8)]
    markers = seeds_img.copy()

    def watershed():
        markers[...] = seeds_img
        t = time.perf_counter()
        cv2.watershed(rgb, markers)
        return (time.perf_counter() - t) * 1000

    finals = {m: os.path.join(work, f"final-{m}.codes") for m in ("rays", "edge-aware")}
    scripts = {m: head + set_lines + strokes + ["time before", "autofinish", "time autofinish", f"dump codes {finals[m]}"]
               for m, set_lines in (("rays", []), ("edge-aware", ["set finish-mode edge-aware"]))}
    fill = interleaved(batch, "autofinish", dict(scripts, **{"cv2.watershed": watershed}))
    times = {m: median_ms(v) for m, v in fill.items()}
    want = np.array([0] + [PALETTES[i][0] for i in range(len(seeds))], np.int8)
    shares = {m: float((read_codes(finals[m], (H, W)) == want[labels]).mean()) for m in finals if fill[m]}
    shares["cv2.watershed"] = float((markers == labels).mean())  # its -1 boundary pixels count as misses

    tx, ty = seeds[0]
    touch = interleaved(batch, "touch", {
        light: head + set_lines + ["tool touch", "set scope image-wide", 'palette "Sky: Blue"',
                                   "time before", f"tap {tx} {ty}", "time touch"]
        for light, set_lines in (("off", []), ("on", ["set natural-light on"]))})

    print(f"Auto Finish-up on a {W}x{H} gray picture, {len(seeds)} regions, one stroke each; ms\n")
    rows = [[m, " ".join(f"{v:.0f}" for v in fill[m]) or "n/a", "n/a" if times[m] is None else f"{times[m]:.0f}",
             "n/a" if m not in shares else f"{shares[m]:.4f}"] for m in ("rays", "edge-aware", "cv2.watershed")]
    table(["fill", "runs", "median", "share coded as own region"], rows)
    if times["edge-aware"] is not None:
        r = times["edge-aware"] / times["cv2.watershed"]
        print(f"\nedge-aware / cv2.watershed: {r:.3f} (goal <= 0.25: {'met' if r <= 0.25 else 'NOT met'})")
    else:
        print("\nedge-aware / cv2.watershed: n/a (this runner has no edge-aware finish-up)")
    print(f"\nImage-wide Touch-paint click at ({tx}, {ty}), ms per run (median)\n")
    table(["natural-light", "runs", "median"],
          [[k, " ".join(f"{v:.0f}" for v in touch[k]) or "n/a",
            "n/a" if not touch[k] else f"{median_ms(touch[k]):.0f}"] for k in ("off", "on")])
    if touch["off"] and touch["on"]:
        off, on = median_ms(touch["off"]), median_ms(touch["on"])
        spread = max(touch["off"]) - min(touch["off"])
        print(f"\non - off: {on - off:+.0f} ms ({(on - off) / off * 100:+.1f} %; the spread of the off runs:"
              f" {spread:.0f} ms)")


if __name__ == "__main__":
    main()
