#!/usr/bin/env bash
# Runs binwright.exe as the Windows bundle ships it (unzipped from
# binwright-<version>-windows-x64.zip) under Wine, headless, in a private prefix on a
# Chinese system (code page 936): simulated write and verify round trips, Chinese file names
# for the image, save target, trace, log, config and ledger, a ledger round trip (again on a
# Western system, code page 1252, with accented and Chinese names), Ctrl-Break during
# `run`, a station service installed, started, stopped and removed, a list through the real
# SetupAPI/HID.dll binding, and the installer's contents, install and uninstall.
# Usage: scripts/wine-smoke.sh [WINDOWS_BUILD_DIR]   (relative or absolute)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-windows}
version=$(sed -n 's/^project(binwright VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip="$(realpath -m "$build_dir")/binwright-$version-windows-x64.zip"
msi="$(realpath -m "$build_dir")/binwright-$version-x64.msi"
[ -f "$zip" ] || { echo "wine-smoke: $zip not built (scripts/build-windows.sh)" >&2; exit 1; }
wine=$(command -v wine || true)
[ -n "$wine" ] || { echo "wine-smoke: wine is not installed" >&2; exit 1; }
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

work=$(mktemp -d)
trap '"$wineserver" -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work/bundle"
for f in binwright.exe binwright-gui.exe README-windows.txt LICENSE.txt; do
  [ -f "$work/bundle/$f" ] || { echo "wine-smoke: FAIL: $f is not in $(basename "$zip")" >&2; exit 1; }
done
exe="$work/bundle/binwright.exe"
# Stripped, with its resources: the manifest (UTF-8 code page) and the version.
objdump=x86_64-w64-mingw32-objdump
if $objdump -h "$exe" | grep -q '\.debug_info'; then echo "wine-smoke: FAIL: binwright.exe is not stripped" >&2; exit 1; fi
grep -aq 'activeCodePage' "$exe" || { echo "wine-smoke: FAIL: binwright.exe has no manifest" >&2; exit 1; }
LC_ALL=C grep -aq "F.i.l.e.V.e.r.s.i.o.n" "$exe" || { echo "wine-smoke: FAIL: binwright.exe has no version resource" >&2; exit 1; }
echo "wine-smoke: binwright.exe $(stat -c %s "$exe") bytes, stripped, manifest and version: ok"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=zh_CN.UTF-8
unset DISPLAY WAYLAND_DISPLAY
echo "wine-smoke: creating the Wine prefix"
"$wine" wineboot -i >/dev/null 2>&1 || true
# Then one server for the whole run: each program would otherwise start it and its services
# anew, and Wine ends the station service below with the last ordinary program.
"$wineserver" -w
"$wineserver" -p

run() { (cd "$work" && "$wine" "$exe" "$@"); }
fail() { echo "wine-smoke: FAIL: $*" >&2; exit 1; }

# An image of 2048 pseudo-random bytes.
head -c 2048 /dev/urandom >"$work/image.bin"

for ic in 0 1; do
  rm -f "$work/out.bin"
  out=$(run --simulate=ic=$ic,dump=out.bin write --ic $ic image.bin) || fail "write ic=$ic: $out"
  echo "$out" | grep -q "Write Pass" || fail "write ic=$ic said: $out"
  cmp -s "$work/image.bin" "$work/out.bin" || fail "write ic=$ic: the mouse's memory differs"
  out=$(run --simulate=ic=$ic,memory=out.bin verify --ic $ic image.bin) || fail "verify ic=$ic: $out"
  echo "$out" | grep -q "Verify Pass" || fail "verify ic=$ic said: $out"
  echo "wine-smoke: write and verify round trip, IC type $ic: ok"
done

# Real binding path: exit 0 and a count line; a failed binding exits 1 with
# "HID services unavailable", a crash with another code.
set +e
out=$(run list 2>&1)
code=$?
set -e
echo "$out" | sed 's/^/  /'
[ $code -eq 0 ] || fail "list exited with $code"
echo "$out" | grep -Eq '^[0-9]+ HID interfaces?' || fail "list printed no interface count"
echo "wine-smoke: list through SetupApi.dll and HID.dll: ok"

# With HID.dll disabled the binding must fail visibly, not look like an empty line.
set +e
out=$(WINEDLLOVERRIDES="$WINEDLLOVERRIDES;hid=d" run list 2>&1)
code=$?
set -e
[ $code -eq 1 ] && echo "$out" | grep -q "HID services unavailable: cannot load HID.dll" ||
  fail "list without HID.dll exited with $code: $out"
echo "wine-smoke: list without HID.dll reports the failed binding: ok"


# The ANSI code page of the prefix the next programs run in.
code_page() {
  "$wine" reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null |
    tr -d '\r' | awk '$1 == "ACP" {print $3}'
}

# Names outside the code page for the image, the save target, the trace, the log folder and
# file, the config and the ledger (in folder DIR of $work); the ledger's commands on the rows
# the runs left. Args: DIR IMAGE SAVE LOG_FOLDER LOG CONFIG LEDGER TRACE (names without
# folders; IMAGE and SAVE without .bin).
names_round_trip() {
  local dir=$1 image=$2 save=$3 logdir=$4 log=$5 config=$6 ledger=$7 trace=$8 out command
  local at="$work/$dir"
  mkdir -p "$at/$logdir"
  cp "$work/image.bin" "$at/$image.bin"
  run1() { (cd "$at" && "$wine" "$exe" "$@"); }
  out=$(run1 --simulate=dump="写入 é.bin" --trace "$trace" write "$image.bin" --log "$logdir/$log" \
    --ledger "$ledger" --json 2>&1) || fail "write $image.bin: $out"
  cmp -s "$at/$image.bin" "$at/写入 é.bin" || fail "write $image.bin: the mouse's memory differs"
  echo "$out" | grep -qF "\"$image.bin\"" || fail "write $image.bin --json does not name the image in UTF-8: $out"
  [ -s "$at/$trace" ] || fail "write --trace $trace wrote no trace"
  out=$(run1 --simulate=memory="$image.bin" save "$save" --log "$logdir/$log" 2>&1) || fail "save $save: $out"
  cmp -s "$at/$image.bin" "$at/$save.bin" || fail "save $save: the file differs from the memory"
  ls "$at" | grep -q '\.tmp$' && fail "save left a temporary file: $(ls "$at")"
  printf 'image = %s.bin\nlog = %s/%s\nledger = %s\nwrite-id = true\ncount = 2\n' \
    "$image" "$logdir" "$log" "$ledger" >"$at/$config"
  out=$(run1 --simulate=mice=2 run --config "$config" --interval-ms 1 2>&1) || fail "run --config $config: $out"
  echo "$out" | grep -q "total 2 passed 2 failed 0" || fail "run --config $config said: $out"
  [ "$(wc -l <"$at/$logdir/$log")" -eq 5 ] || fail "$logdir/$log: $(cat "$at/$logdir/$log")"
  for command in summary check report export "summary --json"; do
    case $command in
      report) set -- report --html "报告 ü.html" ;;
      export) set -- export --csv "导出 ü.csv" ;;
      *) read -ra args <<<"$command" && set -- "${args[@]}" ;;
    esac
    out=$(run1 ledger "$@" --ledger "$ledger" 2>&1) || fail "ledger $command: $out"
  done
  [ -s "$at/报告 ü.html" ] && [ -s "$at/导出 ü.csv" ] || fail "ledger report/export wrote nothing"
  # The write and the config's two mice, under the header.
  [ "$(wc -l <"$at/导出 ü.csv")" -eq 4 ] || fail "导出 ü.csv: $(cat "$at/导出 ü.csv")"
  # The rows name the image in UTF-8 (the export's log columns do not carry its name).
  LC_ALL=C grep -aqF "$image.bin" "$at/$ledger"* || fail "the ledger's rows do not name $image.bin"
}

# A Chinese station (code page 936): Chinese names.
acp=$(code_page)
[ "$acp" = 936 ] || fail "LANG=zh_CN.UTF-8 gave code page $acp"
names_round_trip names-936 镜像 保存 工厂 日志.csv 配置.conf 账本.db 跟踪.txt
echo "wine-smoke: code page $acp: write, save, --trace, --log, --config, --ledger and every ledger command with Chinese names: ok"

cp "$work/image.bin" "$work/镜像.bin"

# Ctrl-Break and closing the console during `run`: the mouse in progress is finished and
# logged, the totals printed, exit 143. console_event.exe delivers the event as Windows'
# console does (Wine's own Ctrl-Break reaches no handler).
console_event="$(realpath -m "$build_dir")/tests/console_event.exe"
[ -f "$console_event" ] || cmake --build "$build_dir" --target console_event >/dev/null
# A simulated write takes about 6 s: the event comes during the first or second mouse.
for event in break close; do
  log="$work/中断 $event.csv"
  out=$(cd "$work" && "$wine" "$console_event" $event 4000 "$exe" --simulate=mice=50 \
    run 镜像.bin --interval-ms 1 --log "$(basename "$log")" 2>&1 | tr -d '\r') || true
  passed=$(echo "$out" | sed -n 's/^total \([1-9][0-9]*\) passed \1 failed 0$/\1/p')
  echo "$out" | grep -q "^exit code 143$" && [ -n "$passed" ] || fail "$event during run: $out"
  [ "$(wc -l <"$log")" -eq $((passed + 1)) ] && tail -n 1 "$log" | grep -q "Write Pass" ||
    fail "$event during run: the mouse in progress was not logged: $(cat "$log")"
done
echo "wine-smoke: Ctrl-Break and closing the console during run finish the mouse, print the totals, exit 143: ok"

# The station service: installed, started by the service manager, writing mice, stopped
# (the SIGTERM rule: the mouse in progress is finished and logged) and removed. Wine's event
# log keeps nothing to read.
# The log and the ledger by relative names: they land beside the config, as every path in a
# config does; the service's name is the station's name in the ledger.
printf 'image = %s\nlog = 服务.csv\nledger = 服务.db\nwrite-id = true\nsimulate = mice=20\ninterval-ms = 1\n' \
  'Z:'"$(echo "$work/镜像.bin" | tr / '\\')" >"$work/服务.conf"
out=$(run service install 一号 --config 服务.conf 2>&1) && fail "a Chinese service name was taken: $out"
out=$(run service install line1 --config 服务.conf 2>&1) || fail "service install: $out"
out=$("$wine" sc start binwright-line1 2>&1) || fail "sc start binwright-line1: $out"
service_log="$work/服务.csv"
lines() { wc -l <"$service_log" 2>/dev/null || echo 0; }
for _ in $(seq 1 90); do
  [ "$(lines)" -ge 3 ] && break
  sleep 1
done
[ "$(lines)" -ge 3 ] || fail "the service wrote no mouse to $service_log in 90 s: $("$wine" sc query binwright-line1 2>&1)"
"$wine" sc stop binwright-line1 >/dev/null 2>&1 || fail "sc stop binwright-line1"
for _ in $(seq 1 30); do
  [[ "$("$wine" sc query binwright-line1 2>/dev/null)" == *STOPPED* ]] && break
  sleep 1
done
state=$("$wine" sc query binwright-line1 2>&1 | tr -d '\r')
echo "$state" | grep -q STOPPED || fail "the service did not stop: $state"
echo "$state" | grep -Eq 'WIN32_EXIT_CODE +: 0 ' || fail "the service's stop was not clean: $state"
tail -n 1 "$service_log" | grep -q "Write Pass" || fail "the service's last mouse: $(tail -n 1 "$service_log")"
out=$(run ledger summary --ledger 服务.db 2>&1) || fail "ledger summary of the service: $out"
echo "$out" | grep -q "^line1 " || fail "the service's rows are not the station line1's: $out"
out=$(run service uninstall line1 2>&1) || fail "service uninstall: $out"
"$wine" sc query binwright-line1 >/dev/null 2>&1 && fail "the service is still registered"
echo "wine-smoke: service install, sc start ($(($(lines) - 1)) mice written), sc stop (the last mouse finished), uninstall: ok"

# The installer: its files and shortcuts, then installed and removed under Wine.
[ -f "$msi" ] || fail "$msi not built"
files=$(msiinfo export "$msi" File)
for f in binwright.exe binwright-gui.exe README-windows.txt LICENSE.txt; do
  echo "$files" | grep -q "$f" || fail "the MSI does not hold $f"
done
# (Whole tables first: grep -q would end the pipe early.)
shortcuts=$(msiinfo export "$msi" Shortcut) properties=$(msiinfo export "$msi" Property)
echo "$shortcuts" | grep -q "Binwright command line" || fail "the MSI has no Start-menu entry"
echo "$shortcuts" | grep -q "binwright-gui.exe" || fail "the MSI has no Start-menu entry for the window"
echo "$properties" | grep -q "^ARPPRODUCTICON" || fail "the MSI has no icon of its own"
"$wine" msiexec /i "$msi" /qn >/dev/null 2>&1 || fail "msiexec /i"
installed="$WINEPREFIX/drive_c/Program Files/Binwright"
[ -f "$installed/binwright.exe" ] && [ -f "$installed/README-windows.txt" ] || fail "nothing in $installed"
cmp -s "$installed/binwright.exe" "$exe" || fail "the installed binwright.exe is not the zip's"
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
[[ "$("$wine" reg query "$uninstall" /s 2>/dev/null)" == *Binwright* ]] || fail "no Binwright in $uninstall"
menu=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'Binwright command line*' | head -n 1)
[ -n "$menu" ] || fail "no Start-menu entry after the install"
[ "$("$wine" "$installed/binwright.exe" --version | tr -d '\r')" = "binwright $version" ] ||
  fail "the installed binwright.exe --version"
"$wine" msiexec /x "$msi" /qn >/dev/null 2>&1 || fail "msiexec /x"
[ ! -e "$installed" ] || fail "msiexec /x left $installed: $(ls "$installed")"
[[ "$("$wine" reg query "$uninstall" /s 2>/dev/null)" == *Binwright* ]] && fail "msiexec /x left Binwright in $uninstall"
[ -z "$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'Binwright*' | head -n 1)" ] ||
  fail "msiexec /x left the Start-menu entries"
echo "wine-smoke: the MSI ($(stat -c %s "$msi") bytes) holds the exe, README-windows.txt and the licence, installs and uninstalls: ok"

# A Western station (code page 1252) in a prefix of its own: names with spaces, accents and
# Chinese characters, which that code page cannot spell.
"$wineserver" -k >/dev/null 2>&1 || true
export WINEPREFIX="$work/prefix-1252" LANG=en_US.UTF-8
"$wine" wineboot -i >/dev/null 2>&1 || true
"$wineserver" -w
"$wineserver" -p
acp=$(code_page)
[ "$acp" = 1252 ] || fail "LANG=en_US.UTF-8 gave code page $acp"
names_round_trip names-1252 "镜像 für Maus" "保存 é" "工厂 Ü" "日志 ä.csv" "配置 ö.conf" \
  "账本 ß.db" "跟踪 à.txt"
echo "wine-smoke: code page $acp: the same with names of spaces, accents and Chinese characters: ok"
