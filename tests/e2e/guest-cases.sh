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
nodes_in_dev() {  # every hidraw node of sysfs has its /dev entry
  local n
  for n in /sys/class/hidraw/*; do
    [ -e "$n" ] || continue
    [ -e "/dev/${n##*/}" ] || return 1
  done
}
wait_nodes() {  # wait until N hidraw nodes exist (N=0: all gone), up to 20 s
  for _ in $(seq 200); do
    [ "$(hidraw_count)" -eq "$1" ] && nodes_in_dev && return 0
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
# plug_ports NODES ARGS...: one virtual mouse per controller (ARGS as for the virtual
# mouse: --ports N SCENARIO, or a scenario per port); its standard input is a FIFO on
# fd 9, so that port_cmd can pull single mice out and put them back.
plug_ports() {
  local nodes=$1
  shift
  rm -f "$work/vm.ctl"
  mkfifo "$work/vm.ctl"
  "$vm" "$@" <"$work/vm.ctl" >"$work/vm.log" 2>&1 &
  vm_pid=$!
  exec 9>"$work/vm.ctl"
  wait_nodes "$nodes" && sleep 0.3 && return 0
  echo "  virtual mice '$*': $(hidraw_count) hidraw nodes instead of $nodes"
  sed 's/^/  | /' "$work/vm.log"
  return 1
}
port_cmd() {  # port_cmd plug|unplug PORT NODES: then wait until NODES hidraw nodes exist
  echo "$1 $2" >&9
  wait_nodes "$3" && sleep 0.3 && return 0
  echo "  $1 $2: $(hidraw_count) hidraw nodes instead of $3"
  return 1
}
unplug() {
  [ -n "$vm_pid" ] && kill -TERM "$vm_pid" 2>/dev/null && wait "$vm_pid" 2>/dev/null
  vm_pid=
  exec 9>&-
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

# 7. Two mice at once, each on its own controller: two hidraw nodes on two USB buses,
# each mouse written and verified on its own while the other is pulled out.
LC_ALL=C awk 'BEGIN { srand(9); for (i = 0; i < 2048; i++) printf "%c", int(rand() * 256) }' >"$work/image2.bin"
chmod 644 "$work/image2.bin"
problems=
if plug_ports 2 --ports 2 "ic=1,dump=$work/two-dump"; then
  run two-list "$bw" list
  [ "$(grep -c '/dev/hidraw[0-9]*  3A5C:0C37 .*feature 8  opened' "$work/two-list.out")" -eq 2 ] &&
    [ "$(grep -o '/dev/hidraw[0-9]*' "$work/two-list.out" | sort -u | wc -l)" -eq 2 ] ||
    { problems+=" list"; show two-list; }
  buses=$(for n in /sys/class/hidraw/*; do readlink -f "$n/device"; done |
    grep -o '/usb[0-9]*/' | sort -u | wc -l)
  [ "$buses" -eq 2 ] || problems+=" the nodes share a USB bus"
  port_cmd unplug 2 1 || problems+=" port 2 not unplugged"
  run two-write-1 "$bw" write --ic 1 "$work/image.bin"
  [ $rc -eq 0 ] || { problems+=" write mouse 1 (exit $rc)"; show two-write-1; }
  run two-verify-1 "$bw" verify --ic 1 "$work/image.bin"
  [ $rc -eq 0 ] || { problems+=" verify mouse 1 (exit $rc)"; show two-verify-1; }
  port_cmd plug 2 2 && port_cmd unplug 1 1 || problems+=" ports 2/1 not swapped"
  run two-write-2 "$bw" write --ic 1 "$work/image2.bin"
  [ $rc -eq 0 ] || { problems+=" write mouse 2 (exit $rc)"; show two-write-2; }
  run two-verify-2 "$bw" verify --ic 1 "$work/image2.bin"
  [ $rc -eq 0 ] || { problems+=" verify mouse 2 (exit $rc)"; show two-verify-2; }
  # Mouse 2 never got the first image: the verify must see the other mouse's memory.
  run two-verify-other "$bw" verify --ic 1 "$work/image.bin"
  [ $rc -ne 0 ] && [ $rc -lt 124 ] || { problems+=" mouse 2 verified as mouse 1 (exit $rc)"; show two-verify-other; }
  port_cmd plug 1 2 || problems+=" port 1 not plugged back"
else
  problems=" mice did not appear"
fi
unplug
cmp -s "$work/two-dump.1" "$work/image.bin" || problems+=" mouse 1 does not hold its image"
cmp -s "$work/two-dump.2" "$work/image2.bin" || problems+=" mouse 2 does not hold its image"
report two-mice "$problems"

# 7b. Presence events: a mouse plugged in while a station waits on the udev monitor of
# hidraw is seen at once, without a poll period. Prints the time from the event to the
# mouse's first transfer.
presence=$build/bench/bench_presence
if [ -x "$presence" ]; then
  problems=
  if plug_ports 2 --ports 2 "ic=0"; then
    port_cmd unplug 2 1 || problems+=" port 2 not unplugged"
    "$presence" --hidraw 1 30 >"$work/presence.out" 2>&1 &
    presence_pid=$!
    sleep 1
    echo "plug 2" >&9
    wait "$presence_pid"
    rc=$?
    [ $rc -eq 0 ] && grep -q 'transfer=8$' "$work/presence.out" ||
      { problems+=" no event or no transfer (exit $rc)"; show presence; }
    sed -n 's/^presence=hidraw /E2E: presence /p' "$work/presence.out"
  else
    problems=" mice did not appear"
  fi
  unplug
  report presence-events "$problems"
else
  echo "NOT RUN presence-events: no bench_presence in this build"
fi

# 8. Gang mode: PORTS virtual mice of SCENARIO (one 8-byte interface each, ic 0 or 1)
# written in parallel by `binwright run --gang ARGS... IMAGE`; each port's mouse must
# end up holding the image and the output must name every slot.
# Usage: gang_case NAME PORTS SCENARIO ARGS...  (PORTS at most E2E_UDCS)
gang_case() {
  local name=$1 ports=$2 scenario=$3 problems= p
  shift 3
  if ! "$bw" run --help 2>/dev/null | grep -q -- '--gang'; then
    echo "NOT RUN $name: this binwright has no 'run --gang'"
    return
  fi
  if plug_ports "$ports" --ports "$ports" "$scenario,dump=$work/$name-dump"; then
    run "$name" "$bw" run --gang "$@" "$work/image.bin"
    [ $rc -eq 0 ] || { problems+=" run --gang (exit $rc)"; show "$name"; }
    for p in $(seq "$ports"); do
      grep -Eq "^slot $p .*Write Pass" "$work/$name.out" || problems+=" no pass for slot $p"
    done
  else
    problems=" mice did not appear"
  fi
  unplug
  for p in $(seq "$ports"); do
    cmp -s "$work/$name-dump.$p" "$work/image.bin" || problems+=" port $p not written"
  done
  report "$name" "$problems"
}
gang_case gang-two-ic0 2 "ic=0" --count 2

# 9. A hidraw node the user may not open: a clear message naming the node.
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
