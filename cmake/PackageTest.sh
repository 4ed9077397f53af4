#!/usr/bin/env bash
# The Debian package end to end, never on the machine itself: made with cpack from the build
# BUILD, checked by lintian, installed with dpkg into a scratch root, its `vandrel --demo`
# started (the installed msde-sim must answer through the demo's own data source), then
# removed, leaving nothing behind.   bash PackageTest.sh BUILD
# Exit 77 (a skipped test) when lintian is missing: `bash scripts/deps.sh --test` installs it.
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vandrel-package.XXXXXX")
tool=""
cleanup() {
  [ -n "$tool" ] && kill "$tool" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

command -v lintian >/dev/null || { echo "lintian nie jest zainstalowany (bash scripts/deps.sh --test): pomijam"; exit 77; }

(cd "$scratch" && cpack -G DEB -B "$scratch/out" --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$scratch"/out/vandrel_*.deb)

# What the tool needs at run time is declared, under names this machine knows and has.
depends=$(dpkg-deb -f "$deb" Depends)
[[ ", $depends," == *", xdg-utils,"* ]] || fail "xdg-utils missing from Depends: $depends"
for package in ${depends//,/ }; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    fail "Depends names $package, which is not installed here"
done

# lintian leaves its ELF cache (mldbm-elf-*) in its temporary directory: the scratch one.
mkdir -p "$scratch/tmp"
TMPDIR="$scratch/tmp" lintian --fail-on error "$deb" || fail "lintian reports errors"

# dpkg with its own database in the scratch root; the dependencies are this machine's.
root="$scratch/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg_root() { dpkg --root="$root" --log=/dev/null --force-not-root "$@" >/dev/null 2>&1; }
dpkg_root --force-depends -i "$deb" || fail "dpkg -i failed"
for f in usr/bin/vandrel usr/bin/msde-sim usr/bin/vandrel-backup usr/bin/vandrel-health usr/share/vandrel/demo/demo.json \
         usr/share/doc/vandrel/copyright usr/share/doc/vandrel/changelog.gz; do
  [ -e "$root/$f" ] || fail "the package does not install $f"
done
grep -qx 'Exec=vandrel --demo' "$root/usr/share/applications/vandrel.desktop" || fail "no demo action in the menu entry"

# The installed demo: a scratch home and demo directory, the window offscreen.
demo="$scratch/demo"
mkdir -p "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
mkfifo "$scratch/greeting"
HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" VANDREL_DEMO_DIR="$demo" QT_QPA_PLATFORM=offscreen \
  "$root/usr/bin/vandrel" --demo > "$scratch/greeting" 2> "$scratch/vandrel.log" &
tool=$!
exec 3< "$scratch/greeting"
read -r -t 60 -u 3 first || fail "vandrel --demo said nothing: $(cat "$scratch/vandrel.log")"
[[ $first == "msde-sim słucha na 127.0.0.1:"* ]] || fail "unexpected start: $first"

# The list of children ends without a line end.
sim=$(< "/proc/$tool/task/$tool/children")
sim=${sim%% *}
[ "$(readlink "/proc/$sim/exe")" = "$root/usr/bin/msde-sim" ] || fail "the demo server is not the installed msde-sim"
tr '\0' ' ' < "/proc/$sim/cmdline" | grep -qF -- "--data $root/usr/share/vandrel/demo/demo.json" ||
  fail "the demo server does not use the installed demo site"
# isql keeps its history in $HOME (.isql_history), even in batch mode.
answer=$(echo "select @@servername" | HOME="$scratch" ODBCSYSINI="$demo" ODBCINI="$demo/user-odbc.ini" isql -b "Vandrel demo" sa "" 2>&1 || true)
[[ $answer == *SKLEP-SERWER* ]] || fail "the demo data source does not reach the server: $answer"

# The server ends with the tool.
kill "$tool"
wait "$tool" || true
tool=""
timeout 30 tail --pid="$sim" -f /dev/null || fail "msde-sim outlived the tool"

dpkg_root --purge vandrel || fail "dpkg --purge failed"
left=$(cd "$root" && find . -mindepth 1 -not -path './var' -not -path './var/lib' -not -path './var/lib/dpkg*')
[ -z "$left" ] || fail "removing the package left: $left"
echo "package: lintian clean, installed, demo started, removed"
