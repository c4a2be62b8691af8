#!/usr/bin/env bash
# Installs what is missing, builds, and starts the player. With no arguments it plays the
# built-in demo disc with the demo library; any arguments are passed to the player instead.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# Only what a start needs: the player, and the demo library that qvlib writes.
TARGETS="qvplayer demo_library" "$here/scripts/setup.sh" "$here/build"
if [ $# -eq 0 ]; then
  audio=null
  if command -v pactl >/dev/null 2>&1 && pactl info >/dev/null 2>&1; then
    audio=system
  fi
  set -- --drive demo --library "$here/build/demo/demo.dbd" --audio "$audio"
fi
exec "$here/build/bin/qvplayer" "$@"
