#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop and a
# Debian user find there: every built program in bin/ with its manual page, a
# valid menu entry for each window program whose program and icon are
# installed, an icon for every one, and the package's copyright and changelog.
# The programs and what to expect of each come from the suite's list, as the
# build wrote it to programs (one line each:
# name|menu entry yes/no|categories|works on the data folder yes/no|manual section).
set -euo pipefail
build=$1
programs=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# A file compressed as Debian keeps it: gzip, maximum compression, no name
# or time stamp inside.
debian_gzip() {
  local file=$1
  gzip -t "$file" 2> /dev/null || { fail "$file is not gzip"; return; }
  [ "$(od -An -tx1 -j3 -N1 "$file" | tr -d ' ')" = 00 ] || fail "$file carries its name"
  [ "$(od -An -tx1 -j4 -N4 "$file" | tr -d ' ')" = 00000000 ] || fail "$file carries a time stamp"
  cmp -s "$file" <(gzip -dc "$file" | gzip -9n) || fail "$file is not compressed with gzip -9n"
}

[ "$(wc -l < "$programs")" -gt 0 ] || fail "$programs names no program"
while IFS='|' read -r -u 3 program menu categories data section; do
  lower=${program,,}
  [ -f "$prefix/share/icons/hicolor/scalable/apps/parlux-$lower.svg" ] || fail "no icon for $program"
  built=no
  [ -x "$build/bin/$program" ] && built=yes
  if [ $built = yes ]; then
    [ -x "$prefix/bin/$program" ] || fail "$program not installed in bin/"
    page="$prefix/share/man/man$section/$program.$section.gz"
    if [ -f "$page" ]; then
      debian_gzip "$page"
      # It renders without a warning and says what the programs say of themselves.
      rendered=$(gzip -dc "$page" | LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l - 2>&1 > /dev/null || true)
      [ -z "$rendered" ] || fail "$page: $rendered"
      text=$(gzip -dc "$page" | LC_ALL=C.UTF-8 MANWIDTH=200 man -l - 2> /dev/null | tr -s ' \n' ' ')
      for part in NAME SYNOPSIS DESCRIPTION OPTIONS FILES "EXIT STATUS" "--help" "--version"; do
        [[ $text == *"$part"* ]] || fail "$page says nothing of $part"
      done
      if [ "$data" = yes ]; then
        for part in Parlux.conf PARLUX_DATA; do [[ $text == *"$part"* ]] || fail "$page says nothing of $part"; done
      fi
    else
      fail "no manual page for $program"
    fi
  fi
  entry="$prefix/share/applications/parlux-$lower.desktop"
  if [ "$menu" = yes ] && [ $built = yes ]; then
    [ -f "$entry" ] || { fail "no menu entry for $program"; continue; }
    desktop-file-validate "$entry" || fail "$entry does not validate"
    grep -qx "Exec=$program" "$entry" || fail "$entry does not start $program"
    grep -qx "Icon=parlux-$lower" "$entry" || fail "$entry names another icon"
    # The window's class, so that docks group the windows with their entry.
    grep -qx "StartupWMClass=$program" "$entry" || fail "$entry names no window class $program"
    grep -qx "Categories=${categories// /;};" "$entry" || fail "$entry is not under $categories"
  elif [ -e "$entry" ]; then
    fail "$entry for a program without a window or not built"
  fi
done 3< "$programs"

doc="$prefix/share/doc/parlux"
[ -f "$doc/copyright" ] || fail "no $doc/copyright"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright" ||
  fail "$doc/copyright is not in the machine-readable format"
if [ -f "$doc/changelog.gz" ]; then
  debian_gzip "$doc/changelog.gz"
  head -1 <(gzip -dc "$doc/changelog.gz") | grep -qE '^parlux \([0-9.]+\) [a-z]+; urgency=' ||
    fail "$doc/changelog.gz does not start with a Debian changelog entry"
else
  fail "no $doc/changelog.gz"
fi
[ $failures -eq 0 ] && echo "install tree: all checks passed"
exit $failures
