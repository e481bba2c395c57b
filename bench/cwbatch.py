"""What the colour benchmarks share: running chromawell-batch scripts, the
finish-up modes to compare, 24-bit bitmaps and CIE L*a*b*.

The runner is $CW_BATCH (default: build/chromawell-batch in this tree). It is
copied into the work folder once per benchmark run, so a rebuild in the
meantime does not change the program under measurement half-way.
"""
import os
import re
import shutil
import subprocess
import time

import cv2
import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Label, then the `set` lines that select the mode (none: the designed settings).
MODES = [
    ("designed", []),
    ("edge-aware", ["set finish-mode edge-aware"]),
    ("natural-light", ["set natural-light on"]),
    ("both", ["set finish-mode edge-aware", "set natural-light on"]),
]


class Unavailable(Exception):
    """A `set` line this build of the runner does not know."""


class Batch:
    def __init__(self, workdir):
        os.makedirs(workdir, exist_ok=True)
        self.dir = workdir
        src = os.environ.get("CW_BATCH", os.path.join(ROOT, "build", "chromawell-batch"))
        if not os.access(src, os.X_OK):
            raise SystemExit(f"no chromawell-batch at {src} (set CW_BATCH)")
        self.exe = os.path.join(workdir, "chromawell-batch")
        shutil.copy2(src, self.exe)
        stamp = time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(os.path.getmtime(src)))
        print(f"runner: {src}, built {stamp}\n")
        self.count = 0

    def run(self, lines):
        """Runs a script; returns its `time LABEL` figures in ms.  A `set`
        line the runner rejects raises Unavailable, any other failure exits."""
        self.count += 1
        path = os.path.join(self.dir, f"script-{self.count}.txt")
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")
        p = subprocess.run([self.exe, path], capture_output=True, text=True)
        if p.returncode != 0:
            m = re.match(r"line (\d+): ", p.stderr.strip().splitlines()[-1] if p.stderr.strip() else "")
            if p.returncode == 2 and m and lines[int(m.group(1)) - 1].startswith("set "):
                raise Unavailable(lines[int(m.group(1)) - 1])
            raise SystemExit(f"{path}: status {p.returncode}\n{p.stderr}")
        return {w[1]: float(w[2]) for w in (l.split() for l in p.stdout.splitlines())
                if len(w) == 3 and w[0] == "time"}

    def offers(self, set_lines):
        """Whether this runner takes the given `set` lines."""
        try:
            self.run(set_lines)
            return True
        except Unavailable:
            return False


def write_gray_bmp(path, gray):
    """A gray picture as the 24-bit bitmap `load` reads."""
    cv2.imwrite(path, cv2.merge([gray, gray, gray]))


def read_rgb(path):
    return cv2.cvtColor(cv2.imread(path, cv2.IMREAD_COLOR), cv2.COLOR_BGR2RGB)


def read_codes(path, shape):
    return np.fromfile(path, dtype=np.int8).reshape(shape)


def srgb_to_lab(rgb):
    """8-bit sRGB (H x W x 3) to CIE L*a*b*, D65 white."""
    c = rgb.astype(np.float64) / 255.0
    c = np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)
    m = np.array([[0.4124564, 0.3575761, 0.1804375],
                  [0.2126729, 0.7151522, 0.0721750],
                  [0.0193339, 0.1191920, 0.9503041]])
    xyz = c @ m.T / np.array([0.95047, 1.0, 1.08883])
    f = np.where(xyz > (6 / 29) ** 3, np.cbrt(xyz), xyz / (3 * (6 / 29) ** 2) + 4 / 29)
    return np.stack([116 * f[..., 1] - 16, 500 * (f[..., 0] - f[..., 1]),
                     200 * (f[..., 1] - f[..., 2])], axis=-1)


def stroke_points(mask):
    """A short stroke at the point deepest inside mask, along the first of four
    directions that keeps the 5 x 5 brush inside; a dab where none does, and
    None where even a dab would not fit."""
    dist = cv2.distanceTransform(np.pad(mask, 1).astype(np.uint8), cv2.DIST_L2, 5)[1:-1, 1:-1]
    if dist.max() < 3:
        return None
    # Among the points nearly as deep as the deepest, the one nearest the
    # region's middle: a thin band gets its stroke half-way along, not at an end.
    ys, xs = np.nonzero(dist >= min(dist.max(), max(3.0, 0.9 * dist.max())))
    my, mx = np.median(np.nonzero(mask), axis=1)
    i = ((ys - my) ** 2 + (xs - mx) ** 2).argmin()
    y, x = ys[i], xs[i]
    for dx, dy in [(1, 0), (0, 1), (1, 1), (1, -1)]:
        pts = [(x + k * 3 * dx, y + k * 3 * dy) for k in (-1, 0, 1)]
        if all(0 <= px < mask.shape[1] and 0 <= py < mask.shape[0] and dist[py, px] >= 3 for px, py in pts):
            return pts
    return [(x, y), (x, y)]


def fmt(v, digits=3):
    return "n/a" if v is None else f"{v:.{digits}f}"


def table(header, rows):
    """Prints rows (lists of strings) under header, columns padded."""
    widths = [max(len(str(r[i])) for r in [header] + rows) for i in range(len(header))]
    for r in [header] + rows:
        print("  ".join(str(c).rjust(w) if i else str(c).ljust(w) for i, (c, w) in enumerate(zip(r, widths))))
