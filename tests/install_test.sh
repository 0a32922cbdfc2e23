#!/usr/bin/env bash
# Installs Tallyrun into a temporary folder under a prefix other than the
# configured one and runs the installed programs from there: recording from
# the command line and from a file manager's "Open With", and the window.
# Usage: install_test.sh BUILD_DIR BINDIR LIBEXECDIR DATADIR MANDIR WINDOW_BUILT
set -euo pipefail

build=$1 bindir=$2 libexecdir=$3 datadir=$4 mandir=$5 window_built=$6
app_id=io.github.tallyrun.Tallyrun
prefix=/opt/tallyrun

tmp=$(mktemp -d)
window_pid=
cleanup() {
  [ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null
  chmod -R u+w "$tmp" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

root=$tmp/root
top=$root$prefix
DESTDIR=$root cmake --install "$build" --prefix "$prefix" >/dev/null

# --- Everything where the desktop looks for it, and nothing elsewhere.
for f in "$bindir/tallyrun" \
  "$datadir/applications/$app_id.desktop" \
  "$datadir/applications/$app_id.Record.desktop" \
  "$datadir/icons/hicolor/scalable/apps/tallyrun.svg" \
  "$mandir/man1/tallyrun.1.gz" \
  "$datadir/metainfo/$app_id.metainfo.xml"; do
  [ -f "$top/$f" ] || fail "$prefix/$f was not installed"
done
[ -x "$top/$bindir/tallyrun" ] || fail "$prefix/$bindir/tallyrun is not executable"
outside=$(cd "$root" && find . -mindepth 1 -not -path ".$prefix" -not -path ".$prefix/*" \
  -not -path ./opt)
[ -z "$outside" ] || fail "installed outside the prefix: $outside"
gzip -t "$top/$mandir/man1/tallyrun.1.gz" || fail "the manual page is not valid gzip"

# --- The items to record, readable by anyone.
chmod 755 "$tmp"
item=$tmp/item.txt
folder=$tmp/folder
printf 'x\n' >"$item"
mkdir -m 755 "$folder"
home=$tmp/home
mkdir -m 755 "$home"

# A clean environment: only what a desktop session would hand over.
clean_env=(env -i PATH="$top/$bindir:/usr/bin:/bin" HOME="$home"
  XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data")
for name in ASAN_OPTIONS UBSAN_OPTIONS; do
  if [ -n "${!name:-}" ]; then clean_env+=("$name=${!name}"); fi
done
run() { "${clean_env[@]}" "$@"; }

moment='\d{4}/\d\d/\d\d( \d{1,2}:\d\d:\d\d)?'
# The log holds exactly one bare line for the item, then one for the folder.
expect_log() {
  local log=$1
  [ -f "$log" ] || fail "no log at $log"
  local lines
  lines=$(wc -l <"$log")
  [ "$lines" -eq 2 ] || fail "$log holds $lines lines, not 2: $(cat -A "$log")"
  head -n 1 "$log" | grep -qP "^$moment\t\Q$item\E\t$moment\r\$" ||
    fail "first line of $log is wrong: $(cat -A "$log")"
  tail -n 1 "$log" | grep -qP "^$moment\t\Q$folder/\E\t$moment\r\$" ||
    fail "second line of $log is wrong: $(cat -A "$log")"
}

beside_log=$top/$bindir/Tallyrun.log
xdg_log=$home/data/tallyrun/Tallyrun.log

# --- Recording from the command line. A copy that finds its window program
# under libexec is installed and keeps its log in the user's data folder,
# which a fresh account does not have yet, whoever runs it (root included, who
# could write beside the program). Without the window it is a copy like any.
if [ "$window_built" = 1 ]; then own_log=$xdg_log other_log=$beside_log; else
  own_log=$beside_log other_log=$xdg_log
fi
run tallyrun "$item" "$folder" 2>"$tmp/stderr" ||
  fail "recording ended with status $?: $(cat "$tmp/stderr")"
if [ -s "$tmp/stderr" ]; then fail "recording complained: $(cat "$tmp/stderr")"; fi
expect_log "$own_log"
if [ -e "$other_log" ]; then fail "the log also landed in $other_log"; fi
if [ -e "$top/$bindir/Tallyrun.ini" ] || [ -e "$home/config/tallyrun/Tallyrun.ini" ]; then
  fail "recording wrote a settings file"
fi
rm -f "$own_log"

# --- The same program copied on its own anywhere is not installed: it keeps
# its log beside itself.
unpacked=$tmp/unpacked
mkdir -m 755 "$unpacked"
cp "$top/$bindir/tallyrun" "$unpacked/"
run "$unpacked/tallyrun" "$item" "$folder" 2>"$tmp/stderr" ||
  fail "recording by a lone copy ended with status $?: $(cat "$tmp/stderr")"
expect_log "$unpacked/Tallyrun.log"
if [ -e "$xdg_log" ]; then fail "a lone copy's log landed in the user's data folder"; fi

# --- "Open With" in a GIO file manager (Files, Thunar, Nemo, Caja): offered
# for text, for unknown files and for folders, and records without a window.
apps=$top/$datadir/applications
update-desktop-database "$apps"
for type in text/plain text/x-csrc application/octet-stream inode/directory; do
  handlers=$(run XDG_DATA_DIRS="$top/$datadir:/usr/share" gio mime "$type")
  grep -q "$app_id.Record.desktop" <<<"$handlers" || fail "not offered in Open With for $type"
done
run gio launch "$apps/$app_id.Record.desktop" "$item" "$folder" 2>"$tmp/stderr" ||
  fail "Open With failed: $(cat "$tmp/stderr")"
for _ in $(seq 50); do
  [ "$(wc -l <"$own_log" 2>/dev/null || echo 0)" -ge 2 ] && break
  sleep 0.1
done
expect_log "$own_log"

# --- The window, found under libexec from wherever the prefix is.
window=$top/$libexecdir/tallyrun/tallyrun-window
if [ -x "$window" ]; then
  # The process started here is the one that becomes the window.
  exec "${clean_env[@]}" QT_QPA_PLATFORM=offscreen tallyrun 2>"$tmp/stderr" &
  window_pid=$!
  sleep 2
  kill -0 "$window_pid" 2>/dev/null ||
    fail "the window did not stay open: $(cat "$tmp/stderr")"
  [ "$(readlink "/proc/$window_pid/exe")" = "$window" ] ||
    fail "tallyrun did not hand over to $prefix/$libexecdir/tallyrun/tallyrun-window"
  kill "$window_pid"
  wait "$window_pid" 2>/dev/null || true
  window_pid=
elif [ "$window_built" = 1 ]; then
  fail "the window program was built but not installed in $prefix/$libexecdir/tallyrun"
else
  echo "skipped: the window (not built)"
fi
echo "installed and ran from $root$prefix"
