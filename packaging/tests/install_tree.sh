#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop finds
# there: every built program in bin/, a valid menu entry for each window
# program whose program and icon are installed, and an icon for every one.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

windowed=(Gridhub Pulsegrid Flaggrid Lockgrid Rostermark Fetchprobe Sandtest)
for program in Gridhub Pulsegrid Flaggrid Lockgrid Rosterbase Rostermark Fetchprobe Sandtest; do
  lower=${program,,}
  [ -f "$prefix/share/icons/hicolor/scalable/apps/parlux-$lower.svg" ] || fail "no icon for $program"
  built=no
  [ -x "$build/bin/$program" ] && built=yes
  if [ $built = yes ]; then
    [ -x "$prefix/bin/$program" ] || fail "$program not installed in bin/"
  fi
  entry="$prefix/share/applications/parlux-$lower.desktop"
  if [[ " ${windowed[*]} " == *" $program "* && $built = yes ]]; then
    [ -f "$entry" ] || { fail "no menu entry for $program"; continue; }
    desktop-file-validate "$entry" || fail "$entry does not validate"
    grep -qx "Exec=$program" "$entry" || fail "$entry does not start $program"
    grep -qx "Icon=parlux-$lower" "$entry" || fail "$entry names another icon"
  elif [ -e "$entry" ]; then
    fail "$entry for a program without a window or not built"
  fi
done
[ $failures -eq 0 ] && echo "install tree: all checks passed"
exit $failures
