#!/usr/bin/env bash
# Builds Tallyrun.exe and the Windows tests with the MinGW-w64 cross toolchain
# and runs the tests under Wine: a fresh temporary prefix (booted once), a
# Japanese locale (code page 932, Japanese date forms), no Wine diagnostics.
# Usage: scripts/test-windows.sh [--bench] [build folder, default build-windows] [gtest options]
# With --bench, the Windows benchmark runs after the tests, in the same prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=0
if [ "${1:-}" = "--bench" ]; then
  bench=1
  shift
fi
scripts/setup.sh test
build=${1:-build-windows}
shift || true
# Anything after the build folder goes to the test programs (--gtest_filter=...).
gtest_args=("$@")

# The toolchain is taken once, when the build folder is made.
toolchain=()
[ -f "$build/CMakeCache.txt" ] ||
  toolchain=(-G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake)
cmake -S . -B "$build" "${toolchain[@]}" -DTALLYRUN_WERROR=ON -DTALLYRUN_BUILD_BENCH=ON >/dev/null
targets=(tallyrun ui_main_test ui_dialogs_test win32_platform_test win32_app_test win32_ui_test
  installer portable_zip)
[ $bench -eq 0 ] || targets+=(win32_baseline_record win32_bench_record_one_item win32_window_bench)
cmake --build "$build" --target "${targets[@]}"

# A GUI program (no console window flashes) that needs no DLL beside it.
headers=$(x86_64-w64-mingw32-objdump -p "$build/bin/Tallyrun.exe")
grep -q 'Subsystem.*Windows GUI' <<<"$headers" || { echo "Tallyrun.exe: not a GUI program"; exit 1; }
# Its manifest: per-monitor DPI awareness and the version 6 common controls.
grep -q 'PerMonitorV2' < <(strings "$build/bin/Tallyrun.exe") || { echo "Tallyrun.exe: no manifest"; exit 1; }
extra=$(grep 'DLL Name' <<<"$headers" |
  grep -viE 'KERNEL32|msvcrt|USER32|GDI32' || true)
[ -z "$extra" ] || { echo "Tallyrun.exe needs DLLs beside it: $extra"; exit 1; }
# The windowing DLLs are loaded when first called (ui/win32/*.def): a start
# that only records must not load them.
early=$(grep 'DLL Name' <<<"$headers" | grep -iE 'USER32|GDI32' || true)
[ -z "$early" ] || { echo "Tallyrun.exe loads at every start: $early (add the call to its .def)"; exit 1; }

stage=$(mktemp -d /tmp/tallyrun-windows.XXXXXX)
as_user=()
mounted=""
cleanup() {
  [ -z "$mounted" ] || umount "$mounted"
  "${as_user[@]}" env -i PATH=/usr/bin:/bin WINEPREFIX="$stage/home/prefix" wineserver -k 2>/dev/null || true
  chmod -R u+w "$stage" 2>/dev/null || true
  rm -rf "$stage"
}
trap cleanup EXIT
chmod 755 "$stage"
cp "$build"/bin/*.exe "$stage/"
# A copy in a folder its user cannot write, as under Program Files.
mkdir "$stage/closed"
cp "$build/bin/Tallyrun.exe" "$stage/closed/"
chmod 555 "$stage/closed"
mkdir "$stage/home"

wine_env=(env -i PATH=/usr/bin:/bin HOME="$stage/home" WINEPREFIX="$stage/home/prefix"
  WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8)
# Root writes anywhere, so read-only files and folders would not refuse
# anything: as root, Wine runs as the unprivileged user nobody instead. Root
# can also give the tests a small file system to fill (Wine's drive Z: is /).
if [ "$(id -u)" -eq 0 ]; then
  chown 65534:65534 "$stage/home"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  mkdir "$stage/full"
  if mount -t tmpfs -o size=64k,mode=0777 tmpfs "$stage/full" 2>/dev/null; then
    mounted="$stage/full"
    wine_env+=(TALLYRUN_FULL_DISK="Z:${stage//\//\\}\\full")
  fi
fi

# The windows are shown on a virtual display of their own.
display=""
for n in $(seq 90 140); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true; cleanup' EXIT
wine_env+=(DISPLAY="$display")

"${as_user[@]}" "${wine_env[@]}" wineboot -i >/dev/null 2>&1
"${as_user[@]}" "${wine_env[@]}" wineserver -w
# A drive that is never ready: m: stands for a folder that does not exist.
ln -sfn "$stage/no-such-folder" "$stage/home/prefix/dosdevices/m:"
failed=0
for test in ui_main_test ui_dialogs_test win32_platform_test win32_app_test win32_ui_test; do
  echo "== $test (Wine)"
  (cd "$stage" && "${as_user[@]}" "${wine_env[@]}" wine "$test.exe" --gtest_brief=1 "${gtest_args[@]}") || failed=1
done
# Tallyrun.exe's resources, read on this side: the icon at every size the
# shell asks for (the installer shows it too), the version Explorer shows,
# and long paths declared in the manifest.
echo "== resources"
resources_failed=0
for exe in "$build/bin/Tallyrun.exe" "$build"/bin/Tallyrun-*-setup.exe; do
  wrestool -x -t14 "$exe" >"$stage/icon.ico"
  sizes=$(icotool -l "$stage/icon.ico" | sed -n 's/.*--width=\([0-9]*\) --height=\1 .*/\1/p' | sort -n | xargs)
  [ "$sizes" = "16 20 24 32 40 48 64 256" ] ||
    { echo "$(basename "$exe"): icon sizes '$sizes'"; resources_failed=1; }
done
# Each string of the version resource on a line of its own, its value one
# or two lines after its name.
version=$(wrestool -x --raw -t16 "$build/bin/Tallyrun.exe" | iconv -c -f UTF-16LE -t UTF-8 | tr '\000-\037' '\n')
version_line=$(sed -n 's/^set(TALLYRUN_VERSION_LINE "Ver \([0-9.]*\) .*/\1/p' CMakeLists.txt)
for field in "ProductName=Tallyrun" "FileDescription=ファイルログ作成ツール" "FileVersion=$version_line" \
  "ProductVersion=$version_line" "LegalCopyright=$(grep -m1 '^Copyright' LICENSE)" \
  "OriginalFilename=Tallyrun.exe"; do
  grep -xF -A2 "${field%%=*}" <<<"$version" | tail -n +2 | grep -qxF "${field#*=}" ||
    { echo "version resource: no $field"; resources_failed=1; }
done
wrestool -x --raw -t24 "$build/bin/Tallyrun.exe" | grep -q '<longPathAware[^>]*>true</longPathAware>' ||
  { echo "the manifest does not declare long paths"; resources_failed=1; }
if [ $resources_failed -eq 0 ]; then echo "icon, version and manifest: PASS"; else echo "resources: FAIL"; failed=1; fi

# The installer and its uninstaller, silently, as a user and an administrator
# would run them, one case after the other in the same prefix.
echo "== installer (Wine)"
wine_run() { (cd "$stage" && "${as_user[@]}" "${wine_env[@]}" "$@"); }
prefix="$stage/home/prefix"
profile="$prefix/drive_c/users/$([ "$(id -u)" -eq 0 ] && echo nobody || id -un)"
user_start="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tallyrun.lnk"
send_to="$profile/AppData/Roaming/Microsoft/Windows/SendTo/Tallyrun.lnk"
user_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallyrun'
machine_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallyrun'
cp "$build"/bin/Tallyrun-*-setup.exe "$stage/setup.exe"
install_failed=0
fail() { echo "installer, $what: $*"; install_failed=1; }
# Runs a Windows program, then waits for every process it started (an
# uninstaller goes on as a copy of itself), unless Tallyrun is left running.
run_windows() {
  local status=0
  wine_run wine "$@" || status=$?
  [ -n "${running:-}" ] || wine_run wineserver -w
  return $status
}
# A value of a programs-list entry (reg prints in the ANSI code page).
entry() {
  wine_run wine reg query "$1" /v "$2" 2>/dev/null | iconv -f CP932 -t UTF-8 |
    sed -n "s/^ *$2 *REG_SZ *//p" | tr -d '\r'
}
# A Windows path as the Linux file it is.
unix_path() {
  local p=${1//\\//}
  case $p in [Cc]:/*) echo "$prefix/drive_c/${p:3}" ;; [Zz]:/*) echo "${p:2}" ;; esac
}
# The uninstaller the programs list would run.
uninstaller() { local u; u=$(entry "$1" UninstallString); echo "${u//\"/}"; }
# Uninstalls what the entry names; then nothing of it may be left.
uninstall() {
  local folder program f
  folder=$(entry "$1" InstallLocation)
  program=$(uninstaller "$1")
  [ -n "$program" ] || { fail "no programs-list entry $1"; return; }
  run_windows "$program" /S || fail "the uninstaller failed"
  for f in "$(unix_path "$folder")/Tallyrun.exe" "$(unix_path "$program")" "$send_to" "$user_start" \
    "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tallyrun.lnk"; do
    [ ! -e "$f" ] || fail "left behind: $f"
  done
  [ -z "$(entry "$1" InstallLocation)" ] || fail "programs-list entry left"
}
# Everything an installation in folder $1, listed under $2, has made; $3 is
# its Start menu shortcut.
expect_installed() {
  local f
  [ "$(entry "$2" InstallLocation)" = "$1" ] || fail "the entry names '$(entry "$2" InstallLocation)'"
  for f in "$(unix_path "$1")/Tallyrun.exe" "$(unix_path "$(uninstaller "$2")")" "$send_to" "$3"; do
    [ -f "$f" ] || fail "not installed: $f"
  done
}
what="for one user"
touch "$stage/before-install"
sleep 1
run_windows setup.exe /S || fail "setup /S failed"
expect_installed 'C:\users\'"${profile##*/}"'\AppData\Local\Programs\Tallyrun' "$user_key" "$user_start"
changed=$(find "$prefix/drive_c" -newer "$stage/before-install" ! -path "$profile" ! -path "$profile/*")
[ -z "$changed" ] || fail "changed outside the profile: $changed"
! grep -qi tallyrun "$prefix/system.reg" || fail "wrote to the machine's registry"
echo kept >"$(unix_path "$(entry "$user_key" InstallLocation)")/Tallyrun.log"
uninstall "$user_key"
[ -f "$profile/AppData/Local/Programs/Tallyrun/Tallyrun.log" ] || fail "the user's log was removed"

what="for everyone"
run_windows setup.exe /S /AllUsers || fail "setup /S /AllUsers failed"
expect_installed 'C:\Program Files\Tallyrun' "$machine_key" \
  "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tallyrun.lnk"
uninstall "$machine_key"

what="a folder that cannot be written"
mkdir "$stage/locked"
chmod 555 "$stage/locked"
! run_windows setup.exe /S "/D=Z:${stage//\//\\}\\locked" || fail "reported success"
[ -z "$(ls -A "$stage/locked")" ] || fail "wrote into it"
for f in "$send_to" "$user_start"; do [ ! -e "$f" ] || fail "made $f"; done
[ -z "$(entry "$user_key" InstallLocation)" ] || fail "made a programs-list entry"

what="Tallyrun running"
run_windows setup.exe /S || fail "setup /S failed"
folder=$(entry "$user_key" InstallLocation)
wine_run wine "$folder\\Tallyrun.exe" &
running=$!
DISPLAY=$display timeout 30 xdotool search --sync --name 'ファイルログ作成ツール' >/dev/null || fail "Tallyrun's window never opened"
! run_windows setup.exe /S || fail "the upgrade reported success"
# In place (_?=), so that its exit status is seen.
! run_windows "$(uninstaller "$user_key")" /S "_?=$folder" || fail "the uninstall reported success"
expect_installed "$folder" "$user_key" "$user_start"
wine_run wineserver -k || true
wait $running || true
running=""
uninstall "$user_key"

what="an upgrade without /D="
folder='C:\Apps\テスト ツール\Tally run'
# cmd passes the line on as it stands: NSIS takes /D= only unquoted.
run_windows cmd /c "setup.exe /S /D=$folder" || fail "the first install failed"
run_windows setup.exe /S || fail "the upgrade failed"
expect_installed "$folder" "$user_key" "$user_start"
[ ! -e "$profile/AppData/Local/Programs/Tallyrun/Tallyrun.exe" ] || fail "installed a second copy"

what="moved into a folder holding another program"
echo other >"$stage/other.exe"
wine_run mkdir "$prefix/drive_c/Tools"
wine_run cp "$stage/other.exe" "$prefix/drive_c/Tools/uninstall.exe"
run_windows setup.exe /S '/D=C:\Tools' || fail "setup failed"
[ ! -e "$(unix_path "$folder")" ] || fail "the earlier copy stayed"
uninstall "$user_key"
[ "$(cat "$prefix/drive_c/Tools/uninstall.exe" 2>/dev/null)" = other ] || fail "another program's uninstall.exe changed"

[ "$(unzip -Z1 "$build"/bin/Tallyrun-*-portable.zip)" = "Tallyrun.exe" ] ||
  { echo "the portable zip holds more than Tallyrun.exe"; install_failed=1; }
if [ $install_failed -eq 0 ]; then echo "installer, uninstaller and portable zip: PASS"; else echo "installer: FAIL"; failed=1; fi

if [ $bench -eq 1 ]; then
  echo "== win32_bench_record_one_item (Wine)"
  (cd "$stage" && "${as_user[@]}" "${wine_env[@]}" wine win32_bench_record_one_item.exe) || failed=1
  # The Win32 window against the Linux window on the same machine, in the
  # same run: logs of 1,000,000 and of 10,000,000 records until the list is
  # shown, at most twice the Linux window's time. Then the Win32 window
  # following the log while Tallyrun.exe records, on its own, and its memory
  # with the larger log open.
  echo "== win32_window_bench (Wine) against the Linux window"
  windows_lines=$(cd "$stage" && "${as_user[@]}" "${wine_env[@]}" \
    TALLYRUN_BENCH_CALLS="${TALLYRUN_BENCH_CALLS:-}" wine win32_window_bench.exe) || failed=1
  echo "$windows_lines"
  ratio_limit=2.0
  linux_bench=${TALLYRUN_LINUX_WINDOW_BENCH:-build/bench/window_bench}
  if [ -x "$linux_bench" ]; then
    linux_lines=$(QT_QPA_PLATFORM=offscreen "$linux_bench" | grep 'until shown' || true)
    echo "$linux_lines"
    # The window's time on the line about a log of that many records.
    window_seconds() { sed -n "s/^open a log of $2 records.*until shown.* window \([0-9.]*\) s.*/\1/p" <<<"$1"; }
    for records in 1000000 10000000; do
      awk -v n="$records" -v w="$(window_seconds "$windows_lines" "$records")" \
          -v l="$(window_seconds "$linux_lines" "$records")" -v limit="$ratio_limit" \
          'BEGIN { if (w == "" || l == "" || l <= 0) { printf "%d records: no figure to compare: FAIL\n", n; exit 1 }
                   r = w / l; printf "%d records, Win32 window / Linux window: %.2f (limit %.1f): %s\n", n, r, limit, r <= limit ? "PASS" : "FAIL"
                   exit !(r <= limit) }' ||
        failed=1
    done
  else
    echo "no Linux window benchmark at $linux_bench (build one: cmake --build build --target window_bench)"
    failed=1
  fi
  # The limit is the benchmark's own, printed beside the figure.
  memory_line=$(grep 'times the file' <<<"$windows_lines" || true)
  awk -v r="$(sed -n 's/.*: \([0-9.]*\) times the file (limit \([0-9.]*\)).*/\1/p' <<<"$memory_line")" \
      -v limit="$(sed -n 's/.*times the file (limit \([0-9.]*\)).*/\1/p' <<<"$memory_line")" \
      'BEGIN { if (r == "" || limit == "") { print "peak private memory: no figure: FAIL"; exit 1 }
               printf "peak private memory / file: %.3f (limit %.2f): %s\n", r, limit, r <= limit + 0 ? "PASS" : "FAIL"
               exit !(r <= limit + 0) }' ||
    failed=1
fi
exit $failed
