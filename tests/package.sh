#!/usr/bin/env bash
# The Debian package that `cpack -G DEB` makes of a built tree: its name, its
# files, lintian's verdict, its dependencies, its man pages and completion, and
# both programs run from the unpacked package, the panel against the simulator.
# Usage: tests/package.sh BUILD_DIR PACKAGE_VERSION
set -euo pipefail
build=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; exit 1; }
deb="$work/laserpanel_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "FAIL: no $(basename "$deb"); made: $(ls "$work")" >&2; exit 1; }

expected="./usr/bin/laserctl
./usr/bin/laserpanel
./usr/share/applications/laserpanel.desktop
./usr/share/bash-completion/completions/laserctl
./usr/share/doc/laserpanel/changelog.gz
./usr/share/doc/laserpanel/copyright
./usr/share/icons/hicolor/scalable/apps/laserpanel.svg
./usr/share/man/man1/laserctl.1.gz
./usr/share/man/man1/laserpanel.1.gz"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sort)
[ "$files" = "$expected" ] || fail "files: $(diff <(echo "$expected") <(echo "$files") | grep '^[<>]' | tr '\n' ' ')"

# Debian's checks where lintian is installed; and, with executables only, no
# maintainer scripts (an ldconfig trigger is for shared libraries).
if command -v lintian >/dev/null; then
  errors=$(lintian "$deb" 2>/dev/null | grep '^E:' || true)
  [ -z "$errors" ] || fail "lintian: $errors"
fi
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -vxE '\./|\./(control|md5sums)' || true)
[ -z "$scripts" ] || fail "maintainer scripts: $scripts"

# shlibdeps' libraries and the CJK font, which no library names.
depends=$(dpkg-deb -f "$deb" Depends)
for p in libc6 libqt5core5a libqt5widgets5 libqt5serialport5 libqwt-qt5-6 fonts-wqy-microhei; do
  grep -qE "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends has no $p: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
help=$("$root/usr/bin/laserctl" --help) || fail "laserctl --help: exit $?"
grep -q '^Usage:' <<<"$help" || fail "laserctl --help printed: $help"
# Every option laserctl has is in its man page; both pages format cleanly.
page=$(zcat "$root/usr/share/man/man1/laserctl.1.gz" | sed 's/\\-/-/g')
for opt in $(grep -oE -- '--[a-z][-a-z]*' <<<"$help" | sort -u); do
  grep -qF -- "$opt" <<<"$page" || fail "laserctl(1) does not name $opt"
done
if command -v groff >/dev/null; then
  for man in "$root"/usr/share/man/man1/*.gz; do
    warnings=$(zcat "$man" | groff -man -ww -z 2>&1) || true
    [ -z "$warnings" ] || fail "$(basename "$man"): $warnings"
  done
fi
bash -n "$root/usr/share/bash-completion/completions/laserctl" || fail "completion: syntax"
bash -c "source '$root/usr/share/bash-completion/completions/laserctl' && complete -p laserctl" >/dev/null \
  || fail "completion: laserctl not registered"
# The panel from the package, as an operator uses it on a display of its own
# (Xvfb, keys by xdotool): it opens the simulator's port, serves a script's
# hello on its socket, and Ctrl+T shows the trend.
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait; rm -rf "$work"' EXIT
# Waits up to 20 s for a command to succeed.
until_ok() { timeout 20 bash -c "until $1; do sleep 0.05; done"; }
home=$(mktemp -d -p "$work")
"$build/laser-sim/laser-sim" --link "$home/port" >"$home/sim.log" 2>&1 & pids+=($!)
Xvfb -displayfd 3 -screen 0 800x700x24 3>"$home/display" 2>/dev/null & pids+=($!)
until_ok "grep -q '^link: ' '$home/sim.log' && [ -s '$home/display' ]" || { echo "FAIL: laser-sim or Xvfb (scripts/deps.sh) did not start" >&2; exit 1; }
export DISPLAY=:$(cat "$home/display") XDG_CONFIG_HOME="$home" XDG_DATA_HOME="$home" XDG_RUNTIME_DIR="$home"
QT_QPA_PLATFORM=xcb "$root/usr/bin/laserpanel" 2>"$home/panel.log" & panel=$!; pids+=($panel)
win=$(timeout 20 xdotool search --sync --onlyvisible --pid $panel | head -1) \
  || { echo "FAIL: no laserpanel window: $(cat "$home/panel.log")" >&2; exit 1; }
# The port field has the focus at start, Open is next in the tab order, and
# Escape closes the port list if it opened.
xdotool windowfocus --sync "$win" key ctrl+a type "$home/port"
xdotool key Escape Tab space
hello="'$root/usr/bin/laserctl' panels 2>/dev/null | grep -qF '$home/port  process $panel '"
until_ok "$hello" || fail "no hello from the panel after Open: $(cat "$home/panel.log")"
xdotool key ctrl+t
timeout 20 xdotool search --all --sync --onlyvisible --pid $panel --name '^Trend$' >/dev/null || fail "Ctrl+T showed no trend"

[ $status -eq 0 ] && echo "$(basename "$deb"): $(wc -l <<<"$files") files, Depends: $depends"
exit $status
