#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings are errors), and runs every test.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build-check
BUILD_TYPE=Debug "$here/scripts/setup.sh" "$build" -DSONARCH_SANITIZE=ON -DSONARCH_WERROR=ON -DSONARCH_BENCH=OFF
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j"$(nproc)"
