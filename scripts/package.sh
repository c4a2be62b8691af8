#!/usr/bin/env bash
# Builds the Debian package from a scratch copy of the tree, checks it with lintian,
# installs it on this machine, tries the installed programs and removes the package again.
# Meant for throw-away machines such as CI's (it installs and removes system packages).
# The package files are kept in build-deb/. SONARCH_PACKAGE_TESTS=1 runs the test suite
# inside the package build as well.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
package=sonarch-cd-player
out=$here/build-deb
started=$SECONDS
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
say() { printf 'package.sh: %s\n' "$*"; }
fail() { say "FAILED: $*" >&2; exit 1; }

profiles=nocheck
[ "${SONARCH_PACKAGE_TESTS:-0}" = 1 ] && profiles=""

# The packaging tools, then the build-dependencies debian/control names.
tools=(dpkg-dev debhelper lintian)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
updated=0
if ((${#missing[@]})); then
  $sudo apt-get update -qq && updated=1
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if ! dpkg-checkbuilddeps ${profiles:+-P"$profiles"} "$here/debian/control" 2>/dev/null; then
  depends=$(sed -n '/^Build-Depends:/,/^[^ ]/{/^ /p}' "$here/debian/control" | tr -d '\n')
  [ "$updated" = 1 ] || $sudo apt-get update -qq
  $sudo apt-get satisfy -y -qq --no-install-recommends ${profiles:+-P "$profiles"} "$depends"
fi
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
  fail "$package is installed on this machine already; remove it first"
fi

work=$(mktemp -d)
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then
    $sudo apt-get purge -y -qq "$package" >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

version=$(cd "$here" && dpkg-parsechangelog -S Version)
source=$work/$package-$version
mkdir -p "$source"
tar -C "$here" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$source" -xf -
say "building $package $version"
(cd "$source" && DEB_BUILD_OPTIONS="${profiles} ${DEB_BUILD_OPTIONS:-}" \
  dpkg-buildpackage -us -uc -b -j"$(nproc)" ${profiles:+-P"$profiles"}) \
  >"$work/build.log" 2>&1 || { tail -n 60 "$work/build.log" >&2; fail "dpkg-buildpackage"; }
rm -rf "$out" && mkdir -p "$out"
cp "$work"/*.deb "$work"/*.changes "$work"/*.buildinfo "$work/build.log" "$out"/
deb=$out/${package}_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"

say "lintian"
lintian --fail-on error --display-info "$out"/*.changes | tee "$out/lintian.txt" ||
  fail "lintian found errors"

say "installing $deb"
installed=1
$sudo apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
dpkg-query -L "$package" >"$work/files"

[ "$(command -v qvplayer)" = /usr/bin/qvplayer ] || fail "qvplayer is not /usr/bin/qvplayer"
[ "$(qvplayer --version)" = "qvplayer $version" ] || fail "qvplayer --version"
[ "$(qvlibrary --version)" = "qvlibrary $version" ] || fail "qvlibrary --version"
key=$(qvlib key --drive demo) || fail "qvlib key --drive demo"
rows=$(qvlib show /usr/share/qvplayer/demo/demo.dbd --key "$key" | tail -n +2 | wc -l)
[ "$rows" = 12 ] || fail "the installed demo library holds $rows tracks of the demo disc"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate /usr/share/applications/org.example.sonarch.qvplayer.desktop
  desktop-file-validate /usr/share/applications/org.example.sonarch.qvlibrary.desktop
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net /usr/share/metainfo/org.example.sonarch.qvplayer.metainfo.xml
fi

# The installed player on the demo disc, with a fresh user's folders: it takes its own copy
# of the installed demo library (users cannot write the installed one) and keeps its
# settings in the user's config folder, never beside itself, even as root.
mkdir -m 700 "$work/runtime"
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
  XDG_DATA_HOME="$work/data" \
  qvplayer --drive demo --audio null --screenshot "$work/shot.png" || fail "the screenshot run"
[ -s "$work/shot.png" ] || fail "no screenshot"
cp "$work/shot.png" "$out/installed-player.png"
library=$(head -n 1 "$work/config/qvplayer/player.dat" | tr -d '\r')
[ "$library" = "$work/data/qvplayer/demo.dbd" ] || fail "the player used '$library'"
cmp -s "$library" /usr/share/qvplayer/demo/demo.dbd || fail "the demo library's copy differs"
[ ! -e /usr/bin/player.dat ] || fail "the installed player wrote /usr/bin/player.dat"

# The installed (Release) qvmci on damaged and hostile disc images under valgrind, by the
# test of the sanitizer build (scripts/test.sh), which valgrind cannot run itself.
tests=$here/build-check/bin/tools_tests
if [ -x "$tests" ] && command -v valgrind >/dev/null; then
  say "the installed qvmci on hostile disc images under valgrind"
  SONARCH_QVMCI=/usr/bin/qvmci "$tests" --gtest_filter='QvmciUnderValgrind.*' \
    >"$out/qvmci-valgrind.txt" 2>&1 || { tail -n 40 "$out/qvmci-valgrind.txt" >&2;
    fail "qvmci under valgrind"; }
else
  say "skipping qvmci under valgrind (needs valgrind and scripts/test.sh's build first)"
fi

say "removing $package"
$sudo apt-get purge -y -qq "$package" >/dev/null
installed=0
while read -r path; do
  if [ -f "$path" ] || [ -L "$path" ]; then fail "$path is left after removal"; fi
done <"$work/files"
[ ! -e /usr/share/qvplayer ] || fail "/usr/share/qvplayer is left after removal"
say "passed in $((SECONDS - started)) s; the package is in $out"
