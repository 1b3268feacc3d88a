#!/usr/bin/env bash
# `run` on a simulated line with a SQLite ledger, killed with SIGKILL at random moments and
# started again each time. Afterwards the ledger is sound, no two mice hold the same number,
# and every mouse that holds the image and a number has its passing row; such a mouse
# plugged in again is left alone, not given a second number.
#
#   crash-test.sh BINWRIGHT [SEED] [KILLS]
set -uo pipefail
bin=${1:?usage: crash-test.sh BINWRIGHT [SEED] [KILLS]}
seed=${2:-14}
kills=${3:-50}
work=$(mktemp -d /tmp/binwright-crash.XXXXXX)
trap 'rm -rf "$work"' EXIT
RANDOM=$seed

fail() {
  echo "crash-test: FAIL: $*" >&2
  tail -n 20 "$work/err.log" >&2 2>/dev/null
  exit 1
}

# Block 0 a pattern, the rest as unwritten memory: a mouse written with one 256-byte block
# then verifies as a whole. The record's place is blank as in a real image, so a mouse whose
# record was cut short shows no number (its own bytes there would read as one).
pattern() { for _ in $(seq "$1"); do printf "\\x$(printf %02x $((RANDOM % 256)))"; done; }
blank() { head -c "$1" /dev/zero | tr '\0' '\377'; }
{ pattern 160; blank 12; pattern 84; blank 1792; } >"$work/image.bin"

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
# One more start ends what the last kill left behind and writes one more mouse.
"${run[@]}" --count 1 >>"$work/out.log" 2>>"$work/err.log" || fail "the last start failed"

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
