#!/usr/bin/env bash
# Four stations at once against one PostgreSQL ledger, 25 simulated mice each, two product
# types: 100 distinct numbers, consecutive per type, and `ledger check` passes. Runs on the
# private server of the pg fixture (its folder in BINWRIGHT_PG_STATE); exit 77 (skipped)
# where that server could not start.
#
#   stations-test.sh BINWRIGHT
set -uo pipefail
bin=${1:?usage: stations-test.sh BINWRIGHT}
state=${BINWRIGHT_PG_STATE:-}
if [ -z "$state" ] || [ ! -f "$state/url" ]; then
  echo "stations-test: skipped: $(cat "$state/skip" 2>/dev/null || echo 'no PostgreSQL test server')"
  exit 77
fi
work=$(mktemp -d /tmp/binwright-stations.XXXXXX)
server=$(cat "$state/url")
db=stations_$$
psql=$(cat "$state/bin")/psql
cleanup() {
  "$psql" -q "$server" -c "DROP DATABASE IF EXISTS $db" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "stations-test: FAIL: $*" >&2
  cat "$work"/*.err >&2 2>/dev/null
  exit 1
}
"$psql" -q "$server" -c "CREATE DATABASE $db" || fail "cannot create the database"
ledger=${server%/*}/$db

# One 256-byte block written and read back per mouse, so that 25 mice take seconds.
head -c 2048 /dev/urandom >"$work/image.bin"
pids=()
for station in 1 2 3 4; do
  type=$((station <= 2 ? 5 : 6))
  "$bin" "--simulate=mice=25" run "$work/image.bin" --write-id --type "000$type" --count 25 \
    --ledger "$ledger" --station-name "station-$station" --format 256 --blocks 1 --sleep 1 \
    --interval-ms 20 -q >"$work/$station.out" 2>"$work/$station.err" &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || fail "a station ended with exit code $?"; done

"$bin" ledger check --ledger "$ledger" >"$work/check" 2>&1 || fail "$(cat "$work/check")"
"$bin" ledger export --csv "$work/rows.csv" --ledger "$ledger" || fail "export"
for type in 5 6; do
  # Stations 1 and 2 wrote type 5, 3 and 4 type 6: the numbers of each from their lines.
  got=$(cat "$work/$((type * 2 - 9)).out" "$work/$((type * 2 - 8)).out" |
    sed -n 's/.*  SN \([0-9A-F]*\)  Write Pass.*/\1/p' | while read -r n; do echo $((16#$n)); done |
    sort -n | tr '\n' ' ')
  want=$(seq 1 50 | tr '\n' ' ')
  [ "$got" = "$want" ] || fail "type $type: numbers $got, not 1 to 50 each once"
done
[ "$(grep -c ',write,[0-9A-F]*,Write Pass,' "$work/rows.csv")" = 100 ] ||
  fail "the ledger does not hold 100 passing rows"
echo "stations-test: 4 stations, 100 mice, numbers 1 to 50 of each type once, ledger sound"
