#!/usr/bin/env bash
# Runs binwright.exe as the Windows bundle ships it (unzipped from
# binwright-<version>-windows-x64.zip) under Wine, headless, in a private prefix on a
# Chinese system (code page 936): simulated write and verify round trips, Chinese file names
# for the image, save target, log, config and ledger, a ledger round trip, Ctrl-Break during
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
for f in binwright.exe README-windows.txt LICENSE.txt; do
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


# The code page this prefix runs on: 936 under LANG=zh_CN.UTF-8 (setup.sh makes the locale).
acp=$("$wine" reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null |
  tr -d '\r' | awk '$1 == "ACP" {print $3}')
echo "wine-smoke: ANSI code page $acp"

# Chinese names for the image, the save target, the log folder and file, the config and
# the ledger; the ledger's commands on the rows the runs left.
mkdir -p "$work/工厂"
cp "$work/image.bin" "$work/镜像.bin"
out=$(run --simulate=dump=写入.bin write 镜像.bin --log 工厂/日志.csv --ledger 账本.db --json 2>&1) ||
  fail "write 镜像.bin: $out"
cmp -s "$work/镜像.bin" "$work/写入.bin" || fail "write 镜像.bin: the mouse's memory differs"
echo "$out" | grep -q '"镜像.bin"' || fail "write 镜像.bin --json does not name the image in UTF-8: $out"
out=$(run --simulate=memory=镜像.bin save 保存 --log 工厂/日志.csv 2>&1) || fail "save 保存: $out"
cmp -s "$work/镜像.bin" "$work/保存.bin" || fail "save 保存: the file differs from the memory"
ls "$work" | grep -q '\.tmp$' && fail "save left a temporary file: $(ls "$work")"
printf 'image = 镜像.bin\nlog = 工厂/日志.csv\nledger = 账本.db\nwrite-id = true\ncount = 2\n' >"$work/配置.conf"
out=$(run --simulate=mice=2 run --config 配置.conf --interval-ms 1 2>&1) || fail "run --config 配置.conf: $out"
echo "$out" | grep -q "total 2 passed 2 failed 0" || fail "run --config 配置.conf said: $out"
[ "$(wc -l <"$work/工厂/日志.csv")" -eq 5 ] || fail "工厂/日志.csv: $(cat "$work/工厂/日志.csv")"
for command in "summary" "check" "report --html 报告.html" "export --csv 导出.csv" "summary --json"; do
  # shellcheck disable=SC2086
  out=$(run ledger $command --ledger 账本.db 2>&1) || fail "ledger $command: $out"
done
[ -s "$work/报告.html" ] && [ -s "$work/导出.csv" ] || fail "ledger report/export wrote nothing"
# The write and the config's two mice, under the header.
[ "$(wc -l <"$work/导出.csv")" -eq 4 ] || fail "导出.csv: $(cat "$work/导出.csv")"
# The rows name the image in UTF-8 (the export's log columns do not carry its name).
LC_ALL=C grep -aq '镜像\.bin' "$work"/账本.db* || fail "the ledger's rows do not name 镜像.bin"
echo "wine-smoke: write, save, --log, --config, --ledger and every ledger command with Chinese names: ok"

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
for f in binwright.exe README-windows.txt LICENSE.txt; do
  echo "$files" | grep -q "$f" || fail "the MSI does not hold $f"
done
# (Whole tables first: grep -q would end the pipe early.)
shortcuts=$(msiinfo export "$msi" Shortcut) properties=$(msiinfo export "$msi" Property)
echo "$shortcuts" | grep -q "Binwright command line" || fail "the MSI has no Start-menu entry"
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
