#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a maintainer's
# set-up and night take from there: the systemd user units (accepted by
# systemd-analyze verify where it is installed), the three examples, the
# suite's own manual pages, a NAME line that "man -k Parlux" finds in every
# page, and Gridhub's AppStream metainfo (appstreamcli validate where it is
# installed).
set -euo pipefail
source "$(dirname "$0")/ScratchInstall.sh" "$1"

# --- the units
units="$prefix/lib/systemd/user"
service="$units/parlux-nightly.service"
timer="$units/parlux-nightly.timer"
if [ -f "$service" ] && [ -f "$timer" ]; then
  # The night: it waits for the programs it starts, and the dated list follows.
  [ "$(grep '^ExecStart=' "$service")" = "ExecStart=$prefix/bin/Gridhub --wait FULL_AUTO
ExecStart=$prefix/bin/Rostermark" ] || fail "$service does not run Gridhub --wait FULL_AUTO, then Rostermark, from $prefix/bin"
  grep -qx 'Type=oneshot' "$service" || fail "$service is not Type=oneshot"
  grep -qx 'Environment=PARLUX_DATA=%h/Parlux' "$service" || fail "$service sets no PARLUX_DATA"
  for line in 'Persistent=true' 'WantedBy=timers.target'; do
    grep -qx "$line" "$timer" || fail "$timer lacks $line"
  done
  grep -q '^RandomizedDelaySec=' "$timer" || fail "$timer has no randomized delay"
  grep -q '^OnCalendar=' "$timer" || fail "$timer names no time"
  if command -v systemd-analyze > /dev/null; then
    # Verified with the manual pages left out: their look-up needs man-db's
    # index, which a scratch prefix has not.
    said=$(cd "$units" && systemd-analyze verify --man=no parlux-nightly.service parlux-nightly.timer 2>&1) ||
      fail "systemd-analyze verify: $said"
    [ -z "$said" ] || fail "systemd-analyze verify: $said"
  fi
else
  fail "no $service or no $timer"
fi

# --- the examples: a set-up from an empty home
examples="$prefix/share/doc/parlux/examples"
for name in Pingers.lst PingersBad.lst Parlux.conf; do
  [ -f "$examples/$name" ] || fail "no example $name"
done
if [ -f "$examples/Pingers.lst" ]; then
  # Comments only, one commented record of each type.
  grep -qv '^#' "$examples/Pingers.lst" && fail "$examples/Pingers.lst holds a line that is not a comment"
  for type in PGP-1 MIX-1 PGP-2 MIX-2 K-RSA K-DSS K-TY2 K-MIX; do
    [ "$(grep -c "^# \"$type\",\"[a-z]*\",\"http://" "$examples/Pingers.lst")" = 1 ] ||
      fail "$examples/Pingers.lst has no one commented record of $type"
  done
fi
[ -f "$examples/PingersBad.lst" ] && [ -s "$examples/PingersBad.lst" ] && fail "$examples/PingersBad.lst is not empty"
if [ -f "$examples/Parlux.conf" ]; then
  grep -v '^#' "$examples/Parlux.conf" | grep -q . && fail "$examples/Parlux.conf sets a key"
  # Every key of the one list, commented out with its built-in value.
  keys=$(sed -n 's/^PARLUX_CONF_KEY("\([a-z0-9_]*\)", *[A-Za-z]*, *"\([^"]*\)".*/\1 = \2/p' \
    "$(dirname "$0")/../../common/core/SiteConfigKeys.def")
  [ -n "$keys" ] || fail "no key read from SiteConfigKeys.def"
  while read -r line; do
    grep -qxF "# $line" "$examples/Parlux.conf" || fail "$examples/Parlux.conf does not show $line"
  done <<< "$keys"
fi

# --- the manual pages: the suite's own, and a NAME line man -k finds
for page in man5/Parlux.conf.5.gz man7/parlux.7.gz; do
  file="$prefix/share/man/$page"
  if [ -f "$file" ]; then
    rendered=$(gzip -dc "$file" | LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l - 2>&1 > /dev/null || true)
    [ -z "$rendered" ] || fail "$file: $rendered"
  else
    fail "no $file"
  fi
done
parlux7=$(gzip -dc "$prefix/share/man/man7/parlux.7.gz" 2> /dev/null | LC_ALL=C.UTF-8 MANWIDTH=200 man -l - 2> /dev/null |
  tr -s ' \n' ' ' || true)
for part in Gridhub Pulsegrid Flaggrid Lockgrid Rosterbase Rostermark Fetchprobe Sandtest PARLUX_DATA Pingers.lst \
  PingersBad.lst "systemctl --user enable --now parlux-nightly.timer" "loginctl enable-linger" crontab \
  "Gridhub --wait FULL_AUTO" /Parlux/ "~/.config/parlux" "~/.local/state/parlux"; do
  [[ $parlux7 == *"$part"* ]] || fail "parlux(7) says nothing of $part"
done
if command -v lexgrog > /dev/null; then
  for file in "$prefix"/share/man/man*/*.gz; do
    # What mandb files the page under, as "man -k" searches it.
    whatis=$(lexgrog "$file" 2> /dev/null || true)
    whatis=${whatis#"$file": }
    [[ ${whatis,,} == *parlux* ]] || fail "$file: \"man -k Parlux\" does not find $whatis"
  done
fi

# --- Gridhub in software centres
metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml 2> /dev/null | head -1)
if [ -n "$metainfo" ]; then
  grep -q '<launchable type="desktop-id">parlux-gridhub.desktop</launchable>' "$metainfo" ||
    fail "$metainfo launches no parlux-gridhub.desktop"
  [ -f "$prefix/share/applications/parlux-gridhub.desktop" ] || fail "$metainfo names a menu entry not installed"
  if command -v appstreamcli > /dev/null; then
    said=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli validate: $said"
  fi
else
  fail "no metainfo in $prefix/share/metainfo"
fi

[ $failures -eq 0 ] && echo "night files: all checks passed"
exit $failures
