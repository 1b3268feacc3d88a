#!/usr/bin/env bash
# Cases run inside the test guest (chroot into the host's read-only /), as root.
# Each prints "PASS name", "FAIL name: why" or "NOT RUN name: why".
# Usage: guest-cases.sh BUILD_DIR
set -u
build=$1
bw=$build/src/binwright
vm=$build/src/binwright-virtual-mouse
work=/tmp/e2e
mkdir -p "$work"
chmod 755 "$work"
export PATH=/usr/sbin:/usr/bin:/sbin:/bin

# A fixed pseudo-random image, the same on every run.
LC_ALL=C awk 'BEGIN { srand(8); for (i = 0; i < 2048; i++) printf "%c", int(rand() * 256) }' >"$work/image.bin"
chmod 644 "$work/image.bin"

vm_pid=
hidraw_count() { ls /sys/class/hidraw 2>/dev/null | wc -l; }
wait_nodes() {  # wait until N hidraw nodes exist (N=0: all gone), up to 20 s
  for _ in $(seq 200); do
    [ "$(hidraw_count)" -eq "$1" ] && [ "$1" -eq 0 -o -e /dev/hidraw0 ] && return 0
    sleep 0.1
  done
  return 1
}
plug() {  # plug SCENARIO NODES
  "$vm" "$1" >"$work/vm.log" 2>&1 &
  vm_pid=$!
  wait_nodes "$2" && sleep 0.3 && return 0
  echo "  virtual mouse '$1': $(hidraw_count) hidraw nodes instead of $2"
  sed 's/^/  | /' "$work/vm.log"
  return 1
}
unplug() {
  [ -n "$vm_pid" ] && kill -TERM "$vm_pid" 2>/dev/null && wait "$vm_pid" 2>/dev/null
  vm_pid=
  wait_nodes 0
}
# run NAME ARGS...: binwright with a time limit; output in $work/NAME.out, exit in $rc
run() {
  local name=$1
  shift
  timeout 120 "$@" >"$work/$name.out" 2>&1
  rc=$?
}
report() {  # report NAME PROBLEMS
  if [ -z "$2" ]; then echo "PASS $1"; else echo "FAIL $1:$2"; fi
}
show() { sed 's/^/  | /' "$work/$1.out"; }

# Same command on the real device and on the simulated line: the same output.
same_as_simulated() {  # same_as_simulated NAME SCENARIO ARGS...
  local name=$1 scenario=$2
  shift 2
  run "$name" "$bw" "$@"
  local real_rc=$rc
  run "$name.sim" "$bw" --simulate="$scenario" "$@"
  if [ "$real_rc" -ne "$rc" ] || ! diff -q "$work/$name.out" "$work/$name.sim.out" >/dev/null; then
    echo "  $name: exit $real_rc, simulated $rc"
    show "$name"
    return 1
  fi
}

operations_case() {  # operations_case NAME IC SCENARIO NODES
  local name=$1 ic=$2 scenario=$3 nodes=$4 problems=
  plug "$scenario" "$nodes" || { report "$name" " mouse did not appear"; unplug; return; }
  run "$name-list" "$bw" list
  local features
  features=$(grep -c 'feature 8  opened' "$work/$name-list.out")
  [ "$features" -ge 1 ] || { problems+=" no 8-byte interface listed"; show "$name-list"; }
  run "$name-write" "$bw" write --ic "$ic" "$work/image.bin"
  [ $rc -eq 0 ] && grep -q 'Write Pass' "$work/$name-write.out" ||
    { problems+=" write (exit $rc)"; show "$name-write"; }
  run "$name-verify" "$bw" verify --ic "$ic" "$work/image.bin"
  [ $rc -eq 0 ] || { problems+=" verify (exit $rc)"; show "$name-verify"; }
  rm -f "$work/$name-saved.bin"
  run "$name-save" "$bw" save --ic "$ic" "$work/$name-saved"
  [ $rc -eq 0 ] && cmp -s "$work/$name-saved.bin" "$work/image.bin" ||
    { problems+=" save (exit $rc, file differs from the image)"; show "$name-save"; }
  same_as_simulated "$name-factory" "ic=$ic,memory=$work/image.bin" read-factory --ic "$ic" ||
    problems+=" read-factory differs from the simulated mouse"
  unplug
  report "$name" "$problems"
}

echo "E2E: kernel $(uname -r)"

# 1. The first IC type: release 0x0104 and feature length 8 as the hidraw backend sees them.
problems=
if plug "ic=0" 1; then
  run list "$bw" list
  grep -q '/dev/hidraw0  3A5C:0C21  release 0x0104  feature 8  opened' "$work/list.out" ||
    { problems=" list"; show list; }
else
  problems=" mouse did not appear"
fi
unplug
report list-ic0 "$problems"

# 2. Write, verify, save, read-factory on the first and second IC types.
operations_case ops-ic0 0 "ic=0" 1
operations_case ops-ic1 1 "ic=1" 1

# 3. Reports 0x40 and 0x41 on two interfaces.
operations_case split-ic1 1 "ic=1,split=1" 2

# 4. A pointer interface beside the 8-byte one: only the 8-byte one is used.
problems=
if plug "ic=0,pointer=1" 2; then
  run pointer-list "$bw" list
  grep -q 'feature 0 ' "$work/pointer-list.out" && grep -q 'feature 8 ' "$work/pointer-list.out" ||
    { problems+=" list"; show pointer-list; }
  run pointer-write "$bw" write "$work/image.bin"
  [ $rc -eq 0 ] || { problems+=" write (exit $rc)"; show pointer-write; }
  run pointer-verify "$bw" verify "$work/image.bin"
  [ $rc -eq 0 ] || { problems+=" verify (exit $rc)"; show pointer-verify; }
else
  problems=" mouse did not appear"
fi
unplug
report pointer-ic0 "$problems"

# 5. Unplugged in the middle of a write: Write Fail, no hang, no crash.
problems=
if plug "ic=0,fail-after=300" 1; then
  run unplug-write "$bw" write "$work/image.bin"
  if [ $rc -eq 124 ]; then problems=" hung"
  elif [ $rc -ge 128 ]; then problems=" crashed (exit $rc)"
  elif [ $rc -eq 0 ] || ! grep -q 'Write Fail' "$work/unplug-write.out"; then problems=" no Write Fail (exit $rc)"
  fi
  [ -n "$problems" ] && show unplug-write
  grep -q 'unplugged after' "$work/vm.log" || problems+=" the mouse was never unplugged"
else
  problems=" mouse did not appear"
fi
unplug
report unplug-mid-write "$problems"

# 6. Two plug cycles of the gadget: each written mouse is pulled out and a fresh one
# plugged in; first with single writes, then with the automatic mode.
problems=
if plug "ic=0,mice=2,dump=$work/cycle-dump" 1; then
  for n in 1 2; do
    run "cycle-write-$n" "$bw" write "$work/image.bin"
    [ $rc -eq 0 ] || { problems+=" write $n (exit $rc)"; show "cycle-write-$n"; }
    # Pulled out once quiet, then plugged in again.
    for _ in $(seq 100); do grep -q "mouse $n written" "$work/vm.log" && break; sleep 0.1; done
    if [ $n -eq 1 ]; then
      for _ in $(seq 100); do grep -q "mouse 2 plugged" "$work/vm.log" && break; sleep 0.1; done
      wait_nodes 1 && sleep 0.3 || problems+=" no second plug-in"
    fi
    cmp -s "$work/cycle-dump.$n" "$work/image.bin" || problems+=" mouse $n not written"
  done
else
  problems=" mouse did not appear"
fi
unplug
report replug-two-mice "$problems"

if "$bw" run --help 2>/dev/null | grep -q -- '--count'; then
  problems=
  if plug "ic=0,mice=2,dump=$work/run-dump" 1; then
    run run-count "$bw" run --count 2 "$work/image.bin"
    [ $rc -eq 0 ] || { problems+=" run (exit $rc)"; show run-count; }
    # The last mouse is dumped when the line pulls it out, once it is quiet.
    for _ in $(seq 100); do grep -q "mouse 2 written" "$work/vm.log" && break; sleep 0.1; done
    for n in 1 2; do
      cmp -s "$work/run-dump.$n" "$work/image.bin" || problems+=" mouse $n not written"
    done
  else
    problems=" mouse did not appear"
  fi
  unplug
  report run-two-mice "$problems"
else
  echo "NOT RUN run-two-mice: this binwright has no 'run' command"
fi

# 7. A hidraw node the user may not open: a clear message naming the node.
problems=
if plug "ic=0" 1; then
  chmod 600 /dev/hidraw0
  run noperm setpriv --reuid=65534 --regid=65534 --clear-groups "$bw" write "$work/image.bin"
  [ $rc -ne 0 ] && [ $rc -lt 124 ] || problems+=" exit $rc"
  grep -qi 'permission denied on /dev/hidraw0' "$work/noperm.out" || problems+=" no message naming the node"
  [ -n "$problems" ] && show noperm
else
  problems=" mouse did not appear"
fi
unplug
report no-permission "$problems"

# 8. Short replies through the kernel: every 50th GET_REPORT answers with the report ID
# only. The hidraw backend sees the byte count, so a short reply is never taken for data:
# a write of the first IC type may fail, but when it passes the mouse holds the image; a
# save of the second IC type fails instead of keeping stale bytes.
problems=
if plug "ic=0,short-reply=50,dump=$work/short-dump" 1; then
  run short-write "$bw" write "$work/image.bin"
  write_rc=$rc
  [ $rc -eq 0 ] || [ $rc -eq 1 ] || { problems+=" write (exit $rc)"; show short-write; }
else
  problems=" mouse did not appear"
fi
unplug
if [ "${write_rc:-1}" -eq 0 ] && ! cmp -s "$work/short-dump" "$work/image.bin"; then
  problems+=" Write Pass, but the mouse does not hold the image"
fi
if plug "ic=1,short-reply=50,memory=$work/image.bin" 1; then
  rm -f "$work/short-saved.bin"
  run short-save "$bw" save --ic 1 "$work/short-saved"
  [ $rc -eq 1 ] && grep -q 'Save Fail' "$work/short-save.out" && [ ! -e "$work/short-saved.bin" ] ||
    { problems+=" save of IC type 1 (exit $rc)"; show short-save; }
else
  problems+=" IC type 1 mouse did not appear"
fi
unplug
report short-replies "$problems"

# 9. A service stops `run` with SIGTERM: the mouse in progress is finished and logged,
# the totals are printed, exit 143.
problems=
if "$bw" run --help 2>/dev/null | grep -q SIGTERM; then
  if plug "ic=0,mice=2,dump=$work/term-dump" 1; then
    rm -f "$work/term.csv"
    "$bw" run "$work/image.bin" --log "$work/term.csv" >"$work/term.out" 2>&1 &
    run_pid=$!
    ( sleep 60; kill -KILL "$run_pid" 2>/dev/null ) &
    watchdog=$!
    # The first tick finds the mouse at once; its write takes several seconds, so three
    # seconds in it is under way.
    sleep 3
    kill -TERM "$run_pid"
    wait "$run_pid"
    rc=$?
    kill "$watchdog" 2>/dev/null
    [ $rc -eq 143 ] || { problems+=" exit $rc"; show term; }
    grep -q '^total 1 passed 1 failed 0$' "$work/term.out" || { problems+=" totals"; show term; }
    [ "$(grep -c 'Write Pass' "$work/term.csv")" -eq 1 ] || problems+=" log"
  else
    problems=" mouse did not appear"
  fi
  unplug
  report sigterm-run "$problems"
else
  echo "NOT RUN sigterm-run: this binwright does not know SIGTERM"
fi
