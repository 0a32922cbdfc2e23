#!/usr/bin/env bash
# The files handed to the desktop pass the freedesktop.org validators without
# a remark, and name each other correctly.
# Usage: desktop_files_test.sh DESKTOP_SOURCE_DIR MANUAL_PAGE
set -euo pipefail

dir=$1 manual=$2
app_id=io.github.tallyrun.Tallyrun

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

for entry in "$dir/$app_id.desktop" "$dir/$app_id.Record.desktop"; do
  remarks=$(desktop-file-validate "$entry" 2>&1) || fail "$remarks"
  [ -z "$remarks" ] || fail "$remarks"
  # The icon theme finds the icon by this name.
  grep -qx "Icon=tallyrun" "$entry" || fail "$entry does not use the tallyrun icon"
  [ -f "$dir/tallyrun.svg" ] || fail "no tallyrun.svg beside $entry"
done

remarks=$(appstreamcli validate --no-net "$dir/$app_id.metainfo.xml" 2>&1) || fail "$remarks"
launchable=$(grep -o '<launchable type="desktop-id">[^<]*' "$dir/$app_id.metainfo.xml" | cut -d'>' -f2)
[ -f "$dir/$launchable" ] || fail "the metainfo launches $launchable, which does not exist"

# man prints what groff finds questionable on stderr.
remarks=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$manual" 2>&1 >/dev/null) ||
  fail "man cannot show $manual: $remarks"
[ -z "$remarks" ] || fail "$remarks"
echo "desktop entries, metainfo and manual page are valid"
