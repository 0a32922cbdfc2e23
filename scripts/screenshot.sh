#!/usr/bin/env bash
# Shows one of Tallyrun's windows on a virtual X display, with a sample log,
# and saves a PNG of it. Usage: scripts/screenshot.sh [main|chooser|about|find|menu] [out.png]
set -euo pipefail
cd "$(dirname "$0")/.."
window=${1:-main}
out=$(realpath -m "${2:-build/screenshot-$window.png}")
case "$window" in main | chooser | about | find | menu) ;; *)
  echo "usage: $0 [main|chooser|about|find|menu] [out.png]" >&2
  exit 2
  ;;
esac

scripts/setup.sh test
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target tallyrun tallyrun-window >/dev/null

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The program, its settings and its log live together in the work folder.
cp build/app/tallyrun build/app/tallyrun-window "$work/"
sample="$work/サンプル"
mkdir -p "$sample/写真" "$sample/議事録"
printf 'x' >"$sample/報告書.txt"
printf 'x' >"$sample/見積書 2024.xlsx"
printf 'x' >"$sample/議事録/第3回.md"
touch -d '2024-04-01 09:15:00' "$sample/報告書.txt" "$sample/写真"
log="$work/Tallyrun.log"
{
  printf '"2024/04/01 9:20:11\t%s\t2024/04/01 9:15:00"\r\n' "$sample/報告書.txt"
  printf '2024/04/02 13:05:42\t%s/\t2024/04/01 9:15:00\r\n' "$sample/写真"
  printf '"2024/04/03\t%s/\t"\r\n' "$sample/削除済み.txt"
} >"$log"
env -u QT_QPA_PLATFORM "$work/tallyrun" "$sample/見積書 2024.xlsx" "$sample/議事録/第3回.md"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

# Shown in Noto Sans CJK, the Japanese face most desktops ship: the others
# are hidden from the program as if they were not installed.
cat >"$work/fonts.conf" <<'EOF'
<?xml version="1.0"?>
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <selectfont><rejectfont>
    <glob>*/ipafont-*</glob><glob>*/fonts-japanese-*</glob><glob>*/vlgothic/*</glob>
  </rejectfont></selectfont>
</fontconfig>
EOF

# Started in the work folder, where the chooser opens.
env -C "$work" -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY FONTCONFIG_FILE="$work/fonts.conf" \
  "$work/tallyrun" &
app_pid=$!
wid=$(timeout 20 xdotool search --sync --name 'ファイルログ作成ツール' | head -n1)
sleep 1

# Buttons are clicked at their centres, from their places in twips; the
# dialog that opens is taken alone, found by its title.
click_twips() {
  xdotool mousemove --window "$wid" $(($1 / 15)) $(($2 / 15)) click 1
  sleep 1.5
}
dialog() {
  import -window "$(timeout 20 xdotool search --sync --name "$1" | head -n1)" "$out"
}
case "$window" in
  main) import -window "$wid" "$out" ;;
  chooser)
    click_twips $((6300 + 60 + 675 / 2)) $((240 + 60 + 375 / 2))
    dialog 'トレースログファイル選択'
    ;;
  about)
    click_twips $((5400 + 60 + 555 / 2)) $((4740 + 120 + 375 / 2))
    dialog 'バージョン情報'
    ;;
  # The find box and the list's menu beside the window: the screen, cut to them.
  find)
    click_twips $((120 + 1500)) $((1140 + 150))
    xdotool key --window "$wid" ctrl+f
    timeout 20 xdotool search --sync --name '^検索$' >/dev/null
    sleep 1
    import -window root "$out"
    mogrify -trim +repage "$out"
    ;;
  menu)
    click_twips $((120 + 1500)) $((1140 + 150 + 240))
    xdotool mousemove --window "$wid" $(((120 + 1500) / 15)) $(((1140 + 150 + 240) / 15)) click 3
    sleep 1
    import -window root "$out"
    mogrify -trim +repage "$out"
    ;;
esac
echo "$out"
