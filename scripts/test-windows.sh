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
  win32_fake_explorer installer portable_zip)
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
# The installer, silently, and its uninstaller: the program, both shortcuts
# and the programs-list entry appear, then go, leaving the user's own files.
echo "== installer (Wine)"
wine_run() { (cd "$stage" && "${as_user[@]}" "${wine_env[@]}" "$@"); }
prefix="$stage/home/prefix"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallyrun'
installed=("$prefix/drive_c/Program Files/Tallyrun/Tallyrun.exe"
  "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tallyrun.lnk"
  "$prefix/drive_c/users/nobody/AppData/Roaming/Microsoft/Windows/SendTo/Tallyrun.lnk")
[ "$(id -u)" -eq 0 ] || installed[2]="$prefix/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/SendTo/Tallyrun.lnk"
cp "$build"/bin/Tallyrun-*-setup.exe "$stage/"
install_failed=0
wine_run wine "$(basename "$build"/bin/Tallyrun-*-setup.exe)" /S && wine_run wineserver -w || install_failed=1
for f in "${installed[@]}"; do [ -f "$f" ] || { echo "not installed: $f"; install_failed=1; }; done
wine_run wine reg query "$uninstall_key" >/dev/null 2>&1 || { echo "no programs-list entry"; install_failed=1; }
echo "kept" >"$prefix/drive_c/Program Files/Tallyrun/Tallyrun.log"
wine_run wine 'C:\Program Files\Tallyrun\uninstall.exe' /S && wine_run wineserver -w || install_failed=1
for f in "${installed[@]}" "$prefix/drive_c/Program Files/Tallyrun/uninstall.exe"; do
  [ ! -e "$f" ] || { echo "left behind: $f"; install_failed=1; }
done
[ -f "$prefix/drive_c/Program Files/Tallyrun/Tallyrun.log" ] || { echo "the user's log was removed"; install_failed=1; }
! wine_run wine reg query "$uninstall_key" >/dev/null 2>&1 || { echo "programs-list entry left"; install_failed=1; }
[ "$(unzip -Z1 "$build"/bin/Tallyrun-*-portable.zip)" = "Tallyrun.exe" ] ||
  { echo "the portable zip holds more than Tallyrun.exe"; install_failed=1; }
[ $install_failed -eq 0 ] && echo "installer, uninstaller and portable zip: PASS" || failed=1

if [ $bench -eq 1 ]; then
  echo "== win32_bench_record_one_item (Wine)"
  (cd "$stage" && "${as_user[@]}" "${wine_env[@]}" wine win32_bench_record_one_item.exe) || failed=1
  # The Win32 window against the Linux window on the same machine, in the
  # same run: a log of 1,000,000 records until the list is shown. Then the
  # Win32 window following the log while Tallyrun.exe records, on its own.
  echo "== win32_window_bench (Wine) against the Linux window"
  windows_lines=$(cd "$stage" && "${as_user[@]}" "${wine_env[@]}" wine win32_window_bench.exe) || failed=1
  echo "$windows_lines"
  windows_line=$(grep 'until shown' <<<"$windows_lines" || true)
  linux_bench=${TALLYRUN_LINUX_WINDOW_BENCH:-build/bench/window_bench}
  if [ -x "$linux_bench" ]; then
    linux_line=$(QT_QPA_PLATFORM=offscreen "$linux_bench" | grep 'until shown' || true)
    echo "$linux_line"
    awk -v w="$(sed -n 's/.*window \([0-9.]*\) s.*/\1/p' <<<"$windows_line")" \
        -v l="$(sed -n 's/.*window \([0-9.]*\) s.*/\1/p' <<<"$linux_line")" \
        'BEGIN { r = w / l; printf "Win32 window / Linux window: %.2f (limit 2.0): %s\n", r, r <= 2 ? "PASS" : "FAIL"; exit !(r <= 2) }' ||
      failed=1
  else
    echo "no Linux window benchmark at $linux_bench (build one: cmake --build build --target window_bench)"
    failed=1
  fi
fi
exit $failed
