#!/usr/bin/env python3
"""Compares modtool's renders with two reference module players.

Each module of the folders given is rendered with `modtool render` and with
openmpt123 (and with xmp, when installed, to see how far the two references
agree with each other). The renders are compared by the correlation of their
loudness envelopes: the RMS level of every 50 ms of the first 90 s, the mean
of both channels. Songs here start one row's worth of ticks late, so the best
correlation over a lag of up to +-1 s (in 10 ms steps) is taken.

Reference players (used only to listen to the same files):
    apt-get install -y openmpt123 xmp

Usage:
    tools/compare/compare_peers.py [--modtool build/bin/modtool] [--work /tmp/cmp]
                                   [--keep] FOLDER...

One line per file: modtool against openmpt123, the lag (ms) found, and xmp
against openmpt123; then the median per format (file extension). Files whose
correlation with openmpt123 is under 0.9 while the two references agree above
0.97 are listed at the end. Renders go to the work folder (a temporary folder
by default) and are deleted unless --keep is given.
"""

import argparse
import array
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import warnings
import wave

RATE = 44100
BLOCK = RATE // 100  # 10 ms: the lag's resolution
PER_WINDOW = 5  # blocks per 50 ms window
SECONDS = 90
MAX_LAG = 100  # blocks, 1 s
EXTENSIONS = (".mod", ".s3m", ".xm", ".it")

try:
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        import audioop  # C speed where the interpreter still has it
except ImportError:
    audioop = None


def energies(pcm):
    """Mean square of each 10 ms block of interleaved 16-bit stereo PCM bytes
    (1 s more than compared, so that a lag still finds 90 s)."""
    frame_bytes = 4
    step = BLOCK * frame_bytes
    limit = min(len(pcm), (SECONDS + 1) * RATE * frame_bytes)
    blocks = []
    for start in range(0, limit - step + 1, step):
        chunk = pcm[start:start + step]
        if audioop is not None:
            blocks.append(float(audioop.rms(chunk, 2)) ** 2)
        else:
            samples = array.array("h")
            samples.frombytes(chunk)
            if sys.byteorder != "little":
                samples.byteswap()
            blocks.append(sum(s * s for s in samples) / len(samples))
    return blocks


def envelope(blocks, offset=0, scale=1.0):
    """RMS of each 50 ms window of the first 90 s, starting `offset` blocks in;
    with a scale other than 1 the windows are spread over scale * 90 s."""
    count = SECONDS * 100 // PER_WINDOW
    env = []
    for k in range(count):
        start = offset + int(round(k * PER_WINDOW * scale))
        if start < 0 or start + PER_WINDOW > len(blocks):
            break
        env.append(math.sqrt(sum(blocks[start:start + PER_WINDOW]) / PER_WINDOW))
    return env


def correlation(a, b):
    n = min(len(a), len(b))
    if n < 4:
        return float("nan")
    a, b = a[:n], b[:n]
    ma, mb = sum(a) / n, sum(b) / n
    sab = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    saa = sum((x - ma) ** 2 for x in a)
    sbb = sum((y - mb) ** 2 for y in b)
    if saa == 0 or sbb == 0:
        # Two silent renders agree; silence against sound does not.
        return 1.0 if saa == sbb else 0.0
    return sab / math.sqrt(saa * sbb)


def best_correlation(ours, ref):
    """Best correlation of the 50 ms envelopes of two block lists over lags of
    -MAX_LAG..MAX_LAG blocks (ours later for a positive lag); (r, lag)."""
    best = (float("-inf"), 0)
    for lag in range(-MAX_LAG, MAX_LAG + 1):
        a = envelope(ours, max(lag, 0))
        b = envelope(ref, max(-lag, 0))
        r = correlation(a, b)
        if not math.isnan(r) and r > best[0]:
            best = (r, lag)
    return best if best[0] != float("-inf") else (float("nan"), 0)


def best_stretched(ours, ref, stretch, lag0):
    """Best correlation when ours may also run up to `stretch` (a fraction)
    slower or faster than the reference, around the lag found unstretched."""
    best = (float("-inf"), lag0, 1.0)
    steps = int(round(stretch / 0.0001))
    for i in range(-steps, steps + 1):
        scale = 1.0 + i * 0.0001
        for lag in range(lag0 - 15, lag0 + 16):
            a = envelope(ours, max(lag, 0), scale)
            b = envelope(ref, max(-lag, 0))
            r = correlation(a, b)
            if not math.isnan(r) and r > best[0]:
                best = (r, lag, scale)
    return best


def read_wave(path):
    with wave.open(path, "rb") as w:
        if w.getnchannels() != 2 or w.getsampwidth() != 2 or w.getframerate() != RATE:
            raise RuntimeError(f"{path}: not 16-bit stereo at {RATE} Hz")
        return w.readframes((SECONDS + 1) * RATE)


def run(cmd, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False,
                          **kw)


def render_modtool(modtool, module, out):
    p = run([modtool, "render", module, "-o", out, "--rate", str(RATE)])
    if p.returncode != 0:
        raise RuntimeError(p.stderr.decode(errors="replace").strip())
    return read_wave(out)


def render_openmpt(module):
    p = run(["openmpt123", "--batch", "--quiet", "--stdout", "--no-float", "--samplerate", str(RATE),
             "--channels", "2", "--end-time", str(SECONDS + 1), "--repeat", "0", module])
    if p.returncode != 0 or not p.stdout:
        raise RuntimeError("openmpt123 failed: " + p.stderr.decode(errors="replace").strip())
    return p.stdout


def render_xmp(module):
    p = run(["xmp", "--quiet", "--norc", "--nocmd", "-f", str(RATE), "-t", str(SECONDS + 1),
             "-o", "-", module])
    if p.returncode != 0 or not p.stdout:
        raise RuntimeError("xmp failed")
    return p.stdout


def modules_in(folders):
    found = []
    for folder in folders:
        for name in sorted(os.listdir(folder)):
            if name.lower().endswith(EXTENSIONS):
                found.append(os.path.join(folder, name))
    return found


def fmt(r):
    return "  n/a" if r is None or math.isnan(r) else f"{r:6.3f}"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("folders", nargs="+")
    ap.add_argument("--modtool", default="build/bin/modtool")
    ap.add_argument("--work", default=None, help="folder for the renders")
    ap.add_argument("--keep", action="store_true", help="keep the renders")
    ap.add_argument("--stretch", type=float, default=0.0,
                    help="also allow ours to run up to this many percent slower or faster "
                         "(the references drop the fraction of a frame from every tick, so "
                         "their renders run fast by up to one frame a tick: BPM / 1102.5 %% "
                         "at 44100 Hz, 0.14 %% at 149 BPM)")
    args = ap.parse_args()

    if shutil.which("openmpt123") is None:
        sys.exit("compare_peers: openmpt123 is missing (apt-get install -y openmpt123)")
    have_xmp = shutil.which("xmp") is not None
    work = args.work or tempfile.mkdtemp(prefix="compare_peers_")
    os.makedirs(work, exist_ok=True)

    by_format = {}
    suspects = []
    print(f"{'file':60s} {'ours':>6s} {'lag':>6s} {'xmp':>6s}")
    for module in modules_in(args.folders):
        name = os.path.basename(module)
        ext = os.path.splitext(name)[1].lower().lstrip(".")
        out = os.path.join(work, name + ".wav")
        try:
            ref = energies(render_openmpt(module))
            ours = energies(render_modtool(args.modtool, module, out))
        except RuntimeError as e:
            print(f"{name:60s} error: {e}")
            continue
        finally:
            if not args.keep and os.path.exists(out):
                os.remove(out)
        r, lag = best_correlation(ours, ref)
        if args.stretch > 0:
            r, lag, _ = best_stretched(ours, ref, args.stretch / 100, lag)
        peer = None
        if have_xmp:
            try:
                peer, _ = best_correlation(energies(render_xmp(module)), ref)
            except RuntimeError:
                peer = None
        print(f"{name:60s} {fmt(r)} {lag * 10:6d} {fmt(peer)}", flush=True)
        entry = by_format.setdefault(ext, {"ours": [], "peers": []})
        if not math.isnan(r):
            entry["ours"].append(r)
        if peer is not None and not math.isnan(peer):
            entry["peers"].append(peer)
        if r < 0.9 and (peer is None or peer > 0.97):
            suspects.append((name, r, peer))

    print()
    print(f"{'format':8s} {'files':>5s} {'median ours':>12s} {'median xmp':>11s}")
    for ext in sorted(by_format):
        e = by_format[ext]
        ours = statistics.median(e["ours"]) if e["ours"] else float("nan")
        peers = statistics.median(e["peers"]) if e["peers"] else None
        print(f"{ext:8s} {len(e['ours']):5d} {fmt(ours):>12s} {fmt(peers):>11s}")
    if suspects:
        print("\nunder 0.9 where the references agree above 0.97 (or xmp is missing):")
        for name, r, peer in suspects:
            print(f"  {name}: {fmt(r)} (xmp {fmt(peer)})")
    if not args.keep and args.work is None:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
