#!/usr/bin/env bash
# Installs what is missing, builds, and starts the player. With no arguments it plays the
# built-in demo disc; any arguments are passed to the player instead.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" "$here/build"
if [ $# -eq 0 ]; then
  set -- --drive demo
fi
exec "$here/build/src/qvplayer" "$@"
