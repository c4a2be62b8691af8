#!/usr/bin/env bash
# Installs the Debian packages the player needs (quick when they are all present),
# then configures and builds. Usage: scripts/setup.sh [build-dir] [extra cmake args...]
# TARGETS="a b" builds only those targets (and what they need) instead of everything.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true

packages=(cmake g++ pkg-config qt6-base-dev libpulse-dev libcdio-dev libcdio-paranoia-dev
          libdiscid-dev libsqlite3-dev mdbtools-dev mdbtools
          googletest libgmock-dev libbenchmark-dev pulseaudio-utils
          xdg-utils desktop-file-utils appstream dbus playerctl valgrind
          libxcb1-dev xvfb openbox trayer xdotool x11-utils x11-apps qt6-wayland)
# The fuzzers (scripts/fuzz.sh) are built with clang and its libFuzzer runtime.
if [[ " $* " == *" -DSONARCH_FUZZ=ON "* ]]; then
  packages+=(clang libclang-rt-dev)
fi
# The sound output test starts a private PulseAudio server. Where PipeWire serves sound,
# installing PulseAudio would replace it, so that test skips there instead.
if ! dpkg-query -W -f='${Status}' pipewire-pulse 2>/dev/null | grep -q 'install ok installed'; then
  packages+=(pulseaudio)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Builds made before the programs moved to bin/ hold files where folders now go.
for old in tools/qvmci tools/qvlib tools/skin_painter; do
  [ -f "$build/$old" ] && rm -f "$build/$old"
done
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
targets=()
for t in ${TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
