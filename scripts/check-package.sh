#!/usr/bin/env bash
# Installs build/trasovnik_*.deb into a clean Debian 12 made with
# debootstrap and checks it as a rider uses it: apt installs it with its
# dependencies; the menu entry's command starts it, as a rider and as root,
# with the data in ~/.local/share/trasovnik; the file manager's way of
# opening a GPX file (gio open) starts it on that file; apt-get remove
# leaves no file of the package and the rider's rides as they were.
# Needs root and the package mirror; takes a few minutes.
#   bash scripts/check-package.sh
# CLEAN_BASE=<folder of a fresh debootstrap> starts from a copy of it.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "check-package.sh must run as root (chroot)"; exit 1; }
deb=$(ls build/trasovnik_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "no build/trasovnik_*.deb: run scripts/package.sh first"; exit 1; }
bash scripts/install-deps.sh debootstrap

root=$(mktemp -d /tmp/trasovnik-clean.XXXXXX)
# The system's root folder: every user passes through it (mktemp made it
# for root alone).
chmod 755 "$root"
# SCREENS=<folder> keeps a picture of the screen at each start there.
cleanup() {
  if [ -n "${SCREENS:-}" ]; then mkdir -p "$SCREENS" && cp "$root"/tmp/check/*.xwd "$SCREENS"/ 2>/dev/null || true; fi
  for m in sys dev/pts dev proc; do umount -l "$root/$m" 2>/dev/null || true; done
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT
if [ -n "${CLEAN_BASE:-}" ]; then
  cp -a "$CLEAN_BASE/." "$root/"
else
  mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  debootstrap --variant=minbase bookworm "$root" "${mirror:-http://deb.debian.org/debian}"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
# This machine's mirrors, in place of debootstrap's own list.
if ls /etc/apt/sources.list.d/*.sources >/dev/null 2>&1; then
  cp /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/"
  rm -f "$root/etc/apt/sources.list"
fi
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mount --bind /sys "$root/sys"
mkdir -p "$root/tmp/check"
chmod 1777 "$root/tmp/check"
cp "$deb" "$root/tmp/check/"
cp tests/fuzz/corpus/gpxfile/gpx11-two-tracks "$root/tmp/check/vylet.gpx"
cp tests/fuzz/corpus/fitfile/activity-plain "$root/tmp/check/jizda.fit"

chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 /bin/bash -s <<'INSIDE'
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
step() { echo; echo "== $*"; }
fail() { echo "FAILED: $*"; exit 1; }

step "apt-get install ./trasovnik_*.deb"
apt-get update -qq
apt-get install -y -qq /tmp/check/trasovnik_*.deb >/tmp/check/install.log
dpkg -s trasovnik | grep -E '^(Status|Version):'
dpkg -L trasovnik >/tmp/check/files
# Tools of this check only: a display, the desktop's way of opening files,
# a look at the windows.
apt-get install -y -qq xvfb xauth x11-utils x11-apps libglib2.0-bin procps man-db >/dev/null
useradd -m rider
cp /tmp/check/vylet.gpx /tmp/check/jizda.fit /home/rider/
chown rider: /home/rider/*

# The menu entry's command, without its file list.
cmd=$(sed -n 's/^Exec=//p' /usr/share/applications/trasovnik.desktop | sed 's/ %F//')
[ "$cmd" = trasovnik ] || fail "Exec of the menu entry is '$cmd'"

# Starts the menu entry's command (and more words) on a display, waits,
# prints the titles of the windows it shows, ends it with SIGTERM and
# prints its exit status.
cat >/tmp/check/session.sh <<'EOF'
#!/bin/sh
export LANG=C.UTF-8
"$@" &
pid=$!
sleep 8
xwininfo -root -tree | sed -n 's/^ *0x[0-9a-f]* "\([^"]*\)".*/\1/p' | grep -v '^$' | sort | uniq -c
xwd -root -silent >"/tmp/check/screen-$(id -un)-$(date +%s).xwd"
kill -TERM $pid
wait $pid && echo "exit status 0" || echo "exit status $?"
EOF
chmod +x /tmp/check/session.sh

step "rider: first start from the menu entry's command"
su - rider -c "xvfb-run -a /tmp/check/session.sh $cmd" | tee /tmp/check/first.txt
grep -q "exit status 0" /tmp/check/first.txt || fail "the program did not end with 0"
test -f /home/rider/.local/share/trasovnik/default.tvl || fail "no ride log in ~/.local/share/trasovnik"
ls -la /home/rider/.local/share/trasovnik
test "$(grep -c 'Trasovník' /tmp/check/first.txt)" -ge 1 || fail "no window"

step "rider: second start (the box naming the folder is not shown again)"
su - rider -c "xvfb-run -a /tmp/check/session.sh $cmd" | tee /tmp/check/second.txt
grep -q "exit status 0" /tmp/check/second.txt || fail "the program did not end with 0"
first=$(sed -n 's/^ *\([0-9]*\) Trasovník.*/\1/p' /tmp/check/first.txt | head -1)
second=$(sed -n 's/^ *\([0-9]*\) Trasovník.*/\1/p' /tmp/check/second.txt | head -1)
[ "$first" -gt "$second" ] || fail "the first start showed no more windows than the second ($first, $second)"

step "rider: the toolkit's plugins the window needs are there (display, SVG icons)"
su - rider -c "QT_DEBUG_PLUGINS=1 xvfb-run -a timeout -s TERM 6 $cmd" >/tmp/check/plugins.txt 2>&1 || true
for p in platforms/libqxcb.so iconengines/libqsvgicon.so imageformats/libqsvg.so; do
  grep -q "$p\" loaded library" /tmp/check/plugins.txt || fail "the plugin $p was not loaded"
  echo "loaded: $p"
done

step "root: the menu entry's command keeps the data out of /usr/bin"
xvfb-run -a /tmp/check/session.sh $cmd | tee /tmp/check/root.txt
grep -q "exit status 0" /tmp/check/root.txt || fail "the program did not end with 0 for root"
test -f /root/.local/share/trasovnik/default.tvl || fail "no ride log in /root/.local/share/trasovnik"
ls -a /usr/bin | grep -E '^(default.*\.tv[lb]|trasy\.ini|store\.ini|temp\.html|zalohy|\.trasovnik\.lock)$' \
  && fail "data files in /usr/bin"

step "man trasovnik"
# Whole output first: a pipe into head or grep -q could end man early
# with SIGPIPE, which pipefail would take for a failure.
MANWIDTH=80 man trasovnik >/tmp/check/man.txt 2>&1 || true
head -4 /tmp/check/man.txt
grep -q "kniha jízd na kole" /tmp/check/man.txt || fail "man trasovnik shows no page"

step "the desktop's file types"
for f in vylet.gpx jizda.fit; do
  su - rider -c "gio info -a standard::content-type $f" | grep content-type
done
su - rider -c "gio info -a standard::content-type jizda.fit" >/tmp/check/fit-type.txt
grep -q application/vnd.ant.fit /tmp/check/fit-type.txt || fail "FIT type unknown"
gio mime application/gpx+xml | tee /tmp/check/gpxapps.txt
grep -q trasovnik.desktop /tmp/check/gpxapps.txt || fail "no program for GPX"

step "rider: a GPX file opened by its type (gio open)"
# gio open starts the program and ends: look for the program itself.
cat >/tmp/check/open.sh <<'EOF'
#!/bin/sh
export LANG=C.UTF-8
gio open vylet.gpx
sleep 8
ps -o args= -C trasovnik
xwd -root -silent >"/tmp/check/screen-open.xwd"
xwininfo -root -tree | sed -n 's/^ *0x[0-9a-f]* "\([^"]*\)".*/\1/p' | sort -u
pkill -TERM -x trasovnik
sleep 3
EOF
chmod +x /tmp/check/open.sh
su - rider -c "xvfb-run -a /tmp/check/open.sh" | tee /tmp/check/open.txt
grep -q "trasovnik /home/rider/vylet.gpx" /tmp/check/open.txt || fail "gio open did not start trasovnik on the file"
grep -q "Import jízd" /tmp/check/open.txt || fail "the import window did not open"
sum_open=$(cd /home/rider/.local/share/trasovnik && sha256sum default.tvl)

step "apt-get remove trasovnik"
apt-get remove -y -qq trasovnik >/dev/null
dpkg -s trasovnik 2>/dev/null | grep '^Status' || echo "trasovnik: not installed"
left=0
while read -r f; do
  if [ -f "$f" ] || [ -L "$f" ]; then echo "left behind: $f"; left=1; fi
done </tmp/check/files
for d in /usr/lib/*/trasovnik /usr/share/trasovnik /usr/share/doc/trasovnik; do
  [ -e "$d" ] && { echo "left behind: $d"; left=1; }
done
grep -rl 'vnd.ant.fit\|vnd.garmin.tcx' /usr/share/mime 2>/dev/null && left=1
grep -l trasovnik /usr/share/applications/mimeinfo.cache 2>/dev/null && left=1
[ $left -eq 0 ] || fail "files of the package are left"
echo "no file of the package is left; the desktop's databases no longer name it"
sum_after=$(cd /home/rider/.local/share/trasovnik && sha256sum default.tvl)
[ "$sum_open" = "$sum_after" ] || fail "the rider's ride log changed"
ls -la /home/rider/.local/share/trasovnik
echo "the rider's data are as they were: $sum_after"
echo; echo "ALL CHECKS PASSED"
INSIDE
