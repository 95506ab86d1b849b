#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
# As root it runs apt-get itself; otherwise it prints the one line to run.
set -euo pipefail
PKGS=(cmake ninja-build g++ clang libclang-rt-dev pkg-config libgtest-dev libgmock-dev
      libbenchmark-dev libsdl2-dev libasound2-dev libpng-dev libfreetype-dev fonts-dejavu-core)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" = 0 ]; then
  echo "deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >/dev/null
  apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "deps: missing packages; run:"
  echo "  sudo apt-get install -y ${missing[*]}"
  exit 1
fi
