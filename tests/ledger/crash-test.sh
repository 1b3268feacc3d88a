#!/usr/bin/env bash
# Whole stations on a ledger through what ends them badly. Rows the ledger could not take
# go to a spool in the data folder of each case ($XDG_DATA_HOME in its work folder).
#
#   crash-test.sh BINWRIGHT [SEED] [KILLS]
#     `run` on a simulated line with a SQLite ledger, killed with SIGKILL at random moments
#     and started again each time. Afterwards the ledger is sound, no two mice hold the same
#     number, and every mouse that holds the image and a number has its passing row; such a
#     mouse plugged in again is left alone, not given a second number.
#   crash-test.sh BINWRIGHT lease
#     Two stations under one name on one SQLite ledger: the second start is refused naming
#     the first's host, process and start; once the first is killed, a start takes its name
#     at once and recovery ends what it left.
#   crash-test.sh BINWRIGHT frozen
#     A private PostgreSQL server frozen (SIGSTOP, as in a network partition) just after a
#     mouse's number went `sending`, for `run` and for `run --gang`: SIGTERM ends the station
#     within seconds (the time is printed), the mouse's passing row goes to the spool and its
#     JSON line says exit_code 6; with the server thawed (SIGCONT) the next start hands the
#     row over before recovery, and the ledger is sound.
set -uo pipefail
bin=${1:?usage: crash-test.sh BINWRIGHT [SEED [KILLS] | lease | frozen]}
case_name=kills
case "${2:-}" in lease | frozen) case_name=$2 ;; esac
seed=${2:-14}
kills=${3:-50}
work=$(mktemp -d /tmp/binwright-crash.XXXXXX)
export XDG_DATA_HOME="$work/data"
unset STATE_DIRECTORY
pg_state=""
cleanup() {
  [ -n "$pg_state" ] && "$(dirname "$0")/../support/pg-cluster.sh" stop "$pg_state"
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "crash-test: FAIL: $*" >&2
  tail -n 20 "$work/err.log" >&2 2>/dev/null
  exit 1
}

# Seconds since the epoch, with fractions.
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }

# Waits until the file holds the text, at most $3 seconds (default 20).
await_text() {
  for _ in $(seq 1 $((${3:-20} * 20))); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  return 1
}

# Waits for a process to end, at most $2 seconds; its exit code in $status.
await_exit() {
  for _ in $(seq 1 $(($2 * 20))); do
    if ! kill -0 "$1" 2>/dev/null; then
      wait "$1"
      status=$?
      return 0
    fi
    sleep 0.05
  done
  return 1
}

# An image of one 256-byte block: block 0 a pattern, the rest unwritten memory; the
# record's place is blank as in a real image.
make_image() {
  pattern() { for _ in $(seq "$1"); do printf "\\x$(printf %02x $((RANDOM % 256)))"; done; }
  blank() { head -c "$1" /dev/zero | tr '\0' '\377'; }
  { pattern 160; blank 12; pattern 84; blank 1792; } >"$work/image.bin"
}

lease_case() {
  make_image
  local ledger="$work/ledger.db"
  local station=(--write-id --ledger "$ledger" --station-name lease-test --format 256 --blocks 1
    --sleep 1 --interval-ms 20)
  "$bin" "--simulate=mice=1000,line-dir=$work/line-a" run "$work/image.bin" "${station[@]}" \
    >"$work/a.out" 2>"$work/err.log" &
  local first=$!
  await_text "$work/err.log" "goes on at" || fail "the first station did not start"
  local t0
  t0=$(now)
  "$bin" "--simulate=mice=1,line-dir=$work/line-b" run "$work/image.bin" "${station[@]}" \
    --count 1 >"$work/b.out" 2>"$work/b.err"
  status=$?
  [ "$status" = 2 ] || fail "a second start under the live name ended with $status: $(cat "$work/b.err")"
  grep -q "station lease-test runs already (host $(hostname), process $first, since " "$work/b.err" ||
    fail "the refusal does not say where and since when: $(cat "$work/b.err")"
  ! grep -q "Write" "$work/b.out" || fail "the refused station wrote a mouse"
  echo "crash-test: a second start under a live name refused after $(elapsed "$t0" "$(now)") s"
  kill -KILL "$first"
  wait "$first" 2>/dev/null
  t0=$(now)
  "$bin" "--simulate=mice=1,line-dir=$work/line-c" run "$work/image.bin" "${station[@]}" \
    --count 1 >"$work/c.out" 2>"$work/c.err" || fail "the start after the kill failed: $(cat "$work/c.err")"
  ! grep -q "to see whether it still runs" "$work/c.err" ||
    fail "the start after a crash on this host waited for the lease"
  echo "crash-test: after SIGKILL the name was taken again in $(elapsed "$t0" "$(now)") s (a whole start)"
  "$bin" ledger check --ledger "$ledger" >"$work/check.log" 2>&1 ||
    fail "ledger check: $(cat "$work/check.log")"
  echo "crash-test: lease: refused while live, taken at once after a crash, ledger sound"
}

# Stops or continues every process of the private server.
signal_server() {
  local postmaster
  postmaster=$(head -n 1 "$(cat "$pg_state/home")/data/postmaster.pid")
  kill "-$1" "$postmaster" $(ps -o pid= --ppid "$postmaster")
}

frozen_case() {
  make_image
  pg_state="$work/pg"
  "$(dirname "$0")/../support/pg-cluster.sh" start "$pg_state" 2>/dev/null
  if [ ! -f "$pg_state/url" ]; then
    echo "crash-test: skipped: $(cat "$pg_state/skip" 2>/dev/null || echo 'no PostgreSQL server')"
    exit 77
  fi
  local server psql
  server=$(cat "$pg_state/url")
  psql="$(cat "$pg_state/bin")/psql"
  for mode in run gang; do
    local ledger="${server%/*}/frozen_$mode"
    "$psql" -q "$server" -c "CREATE DATABASE frozen_$mode" || fail "cannot create a database"
    local extra=() sim="mice=1,latency-us=4000"
    [ "$mode" = gang ] && extra=(--gang) && sim="slots=1,$sim"
    local station=("$bin" "--simulate=$sim" run "$work/image.bin" "${extra[@]}" --write-id
      --ledger "$ledger" --station-name "frozen-$mode" --format 256 --blocks 1 --sleep 1
      --interval-ms 20 --json)
    "${station[@]}" --count 1 >"$work/$mode.out" 2>"$work/err.log" &
    local pid=$!
    # Frozen once the number went out to the mouse: its row is the next call.
    local sent=""
    for _ in $(seq 1 400); do
      sent=$("$psql" -tA "$ledger" -c "SELECT number FROM serials WHERE state = 'sending'" 2>/dev/null)
      [ -n "$sent" ] && break
      sleep 0.02
    done
    [ -n "$sent" ] || fail "$mode: the number never went out"
    signal_server STOP
    # The write ends (its read-back, a second) and the station waits for the frozen server
    # to take its row: the result is shown only once the row is recorded or kept.
    sleep 2
    [ ! -s "$work/$mode.out" ] || fail "$mode: a result was shown before its row was kept"
    local t0
    t0=$(now)
    kill -TERM "$pid"
    if ! await_exit "$pid" 30; then
      kill -KILL "$pid"
      signal_server CONT
      fail "$mode: still running 30 s after SIGTERM"
    fi
    local took
    took=$(elapsed "$t0" "$(now)")
    signal_server CONT
    [ "$status" = 143 ] || fail "$mode: exit code $status after SIGTERM"
    grep -q '"result":"Write Pass".*"exit_code":6' "$work/$mode.out" ||
      fail "$mode: the mouse's JSON line does not carry exit_code 6: $(head -n 1 "$work/$mode.out")"
    grep -q "kept in the spool" "$work/err.log" || fail "$mode: the row was not kept in the spool"
    echo "crash-test: $mode: SIGTERM during the frozen server's wait ended the station in $took s"
    # The next start, the server back: the spool's row first, then a new mouse.
    "${station[@]}" --count 1 >"$work/$mode.next" 2>"$work/next.err" ||
      fail "$mode: the next start failed: $(cat "$work/next.err")"
    grep -q "recorded the row the spool kept (write at .*, Write Pass, product number 000001 of type 0005 written)" \
      "$work/next.err" || fail "$mode: the spool's row was not handed over: $(cat "$work/next.err")"
    ! grep -q "voided" "$work/next.err" || fail "$mode: recovery voided a number: $(cat "$work/next.err")"
    "$bin" ledger check --ledger "$ledger" >"$work/check.log" 2>&1 ||
      fail "$mode: ledger check: $(cat "$work/check.log")"
    [ -z "$(ls "$XDG_DATA_HOME"/spool/*/ 2>/dev/null)" ] || fail "$mode: the spool was not emptied"
  done
  echo "crash-test: frozen server: stopped within seconds, rows kept and handed over, ledgers sound"
}

case "$case_name" in
lease)
  lease_case
  exit 0
  ;;
frozen)
  frozen_case
  exit 0
  ;;
esac
RANDOM=$seed

# Block 0 a pattern, the rest as unwritten memory: a mouse written with one 256-byte block
# then verifies as a whole. The record's place is blank as in a real image, so a mouse whose
# record was cut short shows no number (its own bytes there would read as one).
make_image

run=("$bin" "--simulate=mice=1000,line-dir=$work/line" run "$work/image.bin" --write-id
  --ledger "$work/ledger.db" --station-name crash-test --format 256 --blocks 1 --sleep 1
  --interval-ms 20 -q)

for ((k = 1; k <= kills; k++)); do
  "${run[@]}" >>"$work/out.log" 2>>"$work/err.log" &
  pid=$!
  ms=$((50 + RANDOM % 4500))
  sleep "$((ms / 1000)).$(printf %03d $((ms % 1000)))"
  kill -KILL "$pid" 2>/dev/null
  { wait "$pid"; } 2>/dev/null
  status=$?
  [ "$status" = 137 ] || fail "start $k ended by itself with exit code $status"
done
# One more start ends what the last kill left behind and writes one more mouse. A kill
# after a mouse was written and recorded, before the line pulled it out, leaves it in the
# socket: the last start leaves it alone as already written, and ends with 7.
"${run[@]}" --count 1 >>"$work/out.log" 2>"$work/last.err"
status=$?
cat "$work/last.err" >>"$work/err.log"
if [ "$status" = 7 ]; then
  grep -q '^Already written' "$work/last.err" ||
    fail "the last start ended with 7, but left no mouse alone"
elif [ "$status" != 0 ]; then
  fail "the last start failed (exit code $status)"
fi

"$bin" ledger check --ledger "$work/ledger.db" >"$work/check.log" 2>&1 ||
  fail "ledger check: $(cat "$work/check.log")"
"$bin" ledger export --csv "$work/rows.csv" --ledger "$work/ledger.db" || fail "export"

passed=0
: >"$work/numbers"
for memory in "$work"/line/mouse.*; do
  record=$(od -An -tx1 -j160 -N12 "$memory" | tr -d ' \n')
  type=${record:0:4}
  number=$(echo "${record:12:6}" | tr a-f A-F)
  [ "$number" = FFFFFF ] && continue # the record's number never arrived
  echo "$number" >>"$work/numbers"
  if [ "$type" = 0005 ] && cmp -s -n 160 "$memory" "$work/image.bin" &&
    cmp -s -i 172 "$memory" "$work/image.bin"; then
    passed=$((passed + 1))
    grep -q ",write,$number,Write Pass," "$work/rows.csv" ||
      fail "$(basename "$memory") holds the image and number $number, but has no passing row"
    [ -n "${replug:-}" ] || { replug=$memory; replug_number=$number; }
  fi
done
# A passed mouse plugged in again: read, left alone (exit 7), not a byte written.
if [ -n "${replug:-}" ]; then
  again=$("$bin" "--simulate=memory=$replug,dump=$work/again.bin" run "$work/image.bin" --write-id \
    --ledger "$work/ledger.db" --station-name crash-test --format 256 --blocks 1 --sleep 1 \
    --interval-ms 20 --count 1 -q 2>>"$work/err.log")
  status=$?
  [ "$status" = 7 ] || fail "the replugged mouse: exit code $status ($again)"
  shown=$(echo "$replug_number" | sed 's/^0*//')
  echo "$again" | grep -q "Already written (SN ${shown:-0})" || fail "the replugged mouse: $again"
  cmp -s "$replug" "$work/again.bin" || fail "the replugged mouse was written again"
  "$bin" ledger check --ledger "$work/ledger.db" >"$work/check.log" 2>&1 ||
    fail "ledger check after the replug: $(cat "$work/check.log")"
fi
twice=$(sort "$work/numbers" | uniq -d | tr '\n' ' ')
[ -z "$twice" ] || fail "numbers held by two mice: $twice"
[ "$passed" -ge $((kills / 5)) ] || fail "only $passed mice passed in $kills starts"

echo "crash-test: $kills kills (seed $seed), $passed mice passed, numbers unique;" \
  "at the restarts: $(grep -c ': ledger: released' "$work/err.log") released," \
  "$(grep -c ': ledger: marked' "$work/err.log") proven written," \
  "$(grep -c ': ledger: voided' "$work/err.log") void"
