#!/usr/bin/env bash
# Fetches real tracker modules from Debian game packages for the corpus tests.
#
#   scripts/fetch-modules.sh [DIR]     default DIR: $MODULE_CORPUS or ~/.cache/module-corpus
#
# Downloads each package with `apt-get download` (no install; run `apt-get update` once on a new
# machine), unpacks it, and copies every module into DIR/{xm,mod,s3m,it}/ named
# <package>__<file>, choosing the folder by the file's magic bytes, never by its extension.
# Idempotent: packages already unpacked are not fetched again. Prints the count per format.
set -euo pipefail
DIR=${1:-${MODULE_CORPUS:-$HOME/.cache/module-corpus}}
PKGS=(heroes-sound-tracks pekka-kana-2-data tecnoballz-data rockdodger gl-117-data pachi-data biniax2-data)
mkdir -p "$DIR/debs" "$DIR/extract"
sandbox=(); [ "$(id -u)" = 0 ] && sandbox=(-o APT::Sandbox::User=root)
for p in "${PKGS[@]}"; do
  [ -f "$DIR/extract/$p/.done" ] && continue
  ls "$DIR/debs/${p}"_*.deb >/dev/null 2>&1 || (cd "$DIR/debs" && apt-get download -q "${sandbox[@]}" "$p" >/dev/null)
  rm -rf "$DIR/extract/$p"; mkdir -p "$DIR/extract/$p"
  dpkg-deb -x "$(ls "$DIR/debs/${p}"_*.deb | head -n1)" "$DIR/extract/$p"
  touch "$DIR/extract/$p/.done"
done
python3 - "$DIR" <<'PY'
import os, sys, shutil, hashlib
d = sys.argv[1]
for f in ("xm", "mod", "s3m", "it"):
    shutil.rmtree(os.path.join(d, f), ignore_errors=True); os.makedirs(os.path.join(d, f))
def kind(b):
    if b[:17] == b"Extended Module: ": return "xm"
    if b[44:48] == b"SCRM": return "s3m"
    if b[:4] == b"IMPM": return "it"
    t = b[1080:1084]
    if t in (b"M.K.", b"M!K!", b"FLT4", b"OCTA") or t[1:] == b"CHN" or t[2:] == b"CH" or t[:3] == b"TDZ":
        return "mod"
    return None
seen, counts = set(), {}
ex = os.path.join(d, "extract")
for pkg in sorted(os.listdir(ex)):
    for root, _, files in os.walk(os.path.join(ex, pkg)):
        for name in sorted(files):
            p = os.path.join(root, name)
            if os.path.islink(p) or os.path.getsize(p) < 1084 and not name.lower().endswith((".xm", ".s3m", ".it")):
                continue
            b = open(p, "rb").read()
            k = kind(b)
            h = hashlib.sha1(b).hexdigest()
            if not k or h in seen:
                continue
            seen.add(h)
            shutil.copyfile(p, os.path.join(d, k, f"{pkg}__{name}"))
            counts[k] = counts.get(k, 0) + 1
print(" ".join(f"{k}:{counts.get(k, 0)}" for k in ("xm", "mod", "s3m", "it")), "in", d)
PY
