#!/usr/bin/env bash
# The Debian package that `cpack -G DEB` makes of a built tree: its name, its
# files, its dependencies, its man pages and completion, and both programs run
# from the unpacked package.
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
./usr/share/icons/hicolor/scalable/apps/laserpanel.svg
./usr/share/man/man1/laserctl.1.gz
./usr/share/man/man1/laserpanel.1.gz"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sort)
[ "$files" = "$expected" ] || fail "files: $(diff <(echo "$expected") <(echo "$files") | grep '^[<>]' | tr '\n' ' ')"

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
# The panel starts from the package (embedded catalogue and icon included).
settings=$(mktemp -d -p "$work")
started=$(cd "$settings" && QT_QPA_PLATFORM=offscreen LASERPANEL_EXIT_AT_START=1 XDG_CONFIG_HOME="$settings" \
          XDG_RUNTIME_DIR="$settings" timeout 30 "$root/usr/bin/laserpanel" 2>/dev/null) || fail "laserpanel: exit $?"
[[ $started =~ ^[0-9]+$ ]] || fail "laserpanel did not reach its event loop: $started"

[ $status -eq 0 ] && echo "$(basename "$deb"): $(wc -l <<<"$files") files, Depends: $depends"
exit $status
