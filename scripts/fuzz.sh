#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (AddressSanitizer and UndefinedBehaviorSanitizer
# on) in build-fuzz and runs each for a bounded time, starting from its seeds in tests/fuzz/.
# A crash, a broken property or a sanitizer report fails, and the input is kept in
# build-fuzz/crashes. Usage: scripts/fuzz.sh [seconds per fuzzer, default 30] [fuzzer...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build-fuzz
seconds=${1:-30}
shift || true
fuzzers=("$@")
if ((${#fuzzers[@]} == 0)); then
  fuzzers=(command virtual_disc settings cue_sheet toc_file nrg_image time_text track_sheet
           jet_library)
fi

BUILD_TYPE=RelWithDebInfo "$here/scripts/setup.sh" "$build" \
  -DCMAKE_CXX_COMPILER=clang++ -DSONARCH_FUZZ=ON -DSONARCH_SANITIZE=OFF -DSONARCH_WERROR=ON

mkdir -p "$build/crashes"
failed=0
for name in "${fuzzers[@]}"; do
  seeds=$here/tests/fuzz/$name
  # New inputs go to a corpus of the build's own; the seeds in the tree are only read.
  corpus=$build/corpus/$name
  log=$build/$name.log
  mkdir -p "$corpus"
  if "$build/bin/${name}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -max_len=8192 -print_final_stats=1 -artifact_prefix="$build/crashes/$name-" \
       "$corpus" "$seeds" >"$log" 2>&1; then
    runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log")
    echo "fuzz: $name ran ${runs:-?} inputs clean in ${seconds} s"
  else
    failed=1
    echo "fuzz: $name FAILED; its log is $log, the input in $build/crashes" >&2
    tail -n 40 "$log" >&2
  fi
done
exit $failed
