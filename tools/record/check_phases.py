#!/usr/bin/env python3
"""Finds where the show's phases begin in a recording and compares them with
the song times of the music's sync marks.

    tools/record/check_phases.py show.mp4 [data/test.xm] [--modtool build/bin/modtool]

The marks come from `modtool sync`; a phase started by a mark at t seconds is
expected on the first frame at or after t (frame n covers [n/60, (n+1)/60)).
The phases are found in the decoded pictures, not in any log of the show:

  tunnel     sync 1: the ripple turns into the tube: the largest change
             between two frames near the mark
  fade-out   sync 3: its first frame draws the tube at the time of the last
             tunnel frame without the flying pictures: the smallest change
  effect 2   128 frames after the fade-out began: the largest change
  spider     sync 5: the picture fades in from brightness 0, so it shows
             from the scene's second frame, when the black background
             lights up; the scene began one frame earlier
  effect 3   32 frames after sync 4 (effect 2's fade): the largest change
  end        the last frame of effect 3, 800 frames after it began

Needs the ffmpeg program. Exit status 0 when every phase is within one
frame of its expected frame and the recording ends where effect 3 does.
"""
import argparse
import math
import subprocess
import sys

RATE = 60
W, H = 320, 240  # decoded at a quarter of the pixels: enough to see phases


def frames(path):
    cmd = ["ffmpeg", "-v", "error", "-i", path, "-map", "0:v", "-vf", f"scale={W}:{H}:flags=area",
           "-f", "rawvideo", "-pix_fmt", "gray", "-"]
    p = subprocess.Popen(cmd, stdout=subprocess.PIPE)
    n = W * H
    while True:
        f = p.stdout.read(n)
        if len(f) < n:
            break
        yield f
    if p.wait() != 0:
        sys.exit(f"check_phases: ffmpeg could not decode {path}")


def measure(path):
    """Per frame: mean absolute change from the previous frame (sampled),
    and the share of black pixels."""
    change, black = [], []
    prev = None
    for f in frames(path):
        sample = f[::5]
        change.append(0.0 if prev is None else sum(abs(a - b) for a, b in zip(sample, prev)) / len(sample))
        black.append(sum(f.count(v) for v in (0, 1, 2)) / len(f))
        prev = sample
    return change, black


def marks(module, modtool):
    out = subprocess.run([modtool, "sync", module], check=True, capture_output=True, text=True).stdout
    result = {}
    for line in out.splitlines():
        ms, _pos, _row, value = (int(v) for v in line.split())
        result.setdefault(value, ms / 1000.0)
    return result


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("recording")
    ap.add_argument("module", nargs="?", default="data/test.xm")
    ap.add_argument("--modtool", default="build/bin/modtool")
    a = ap.parse_args()

    sync = marks(a.module, a.modtool)
    for v in (1, 3, 5, 4):
        if v not in sync:
            sys.exit(f"check_phases: {a.module} has no sync mark {v}")
    first = lambda t: math.ceil(t * RATE - 1e-9)
    expected = {
        "tunnel": first(sync[1]),
        "fade-out": first(sync[3]),
        "effect 2": first(sync[3]) + 128,
        "spider": first(sync[5]),
        "effect 3": first(sync[4]) + 32,
    }
    change, black = measure(a.recording)
    total = len(change)

    def window(e):
        return range(max(1, e - 30), min(total, e + 31))

    found = {}
    for name in ("tunnel", "effect 2", "effect 3"):
        found[name] = max(window(expected[name]), key=lambda i: change[i])
    found["fade-out"] = min(window(expected["fade-out"]), key=lambda i: change[i])
    w = window(expected["spider"])
    # The frame whose black share falls most, relative to the one before.
    lit = max(w, key=lambda i: (black[i - 1] - black[i]) / max(black[i - 1], 1e-6))
    found["spider"] = lit - 1

    ok = True
    print(f"{'phase':10} {'mark s':>8} {'expected':>8} {'found':>6}")
    mark_of = {"tunnel": 1, "fade-out": 3, "effect 2": 3, "spider": 5, "effect 3": 4}
    for name, e in expected.items():
        f = found[name]
        good = f >= 0 and abs(f - e) <= 1
        ok &= good
        print(f"{name:10} {sync[mark_of[name]]:8.3f} {e:8d} {f:6d} {'' if good else '  <-- off'}")
    end = expected["effect 3"] + 800
    print(f"{'frames':10} {'':8} {end:8d} {total:6d} {'' if total == end else '  <-- off'}")
    ok &= total == end
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
