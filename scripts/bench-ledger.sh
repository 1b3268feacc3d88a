#!/usr/bin/env bash
# Cost of the ledger per mouse on SQLite and on a private PostgreSQL server with fsync on,
# as a station would run them, alone and inside whole writes on the simulated mouse.
# Usage: scripts/bench-ledger.sh [BUILD_DIR] [CYCLES] [WRITES]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
cycles=${2:-300}
writes=${3:-20}
state=$(mktemp -d)
trap 'tests/support/pg-cluster.sh stop "$state/pg"; rm -rf "$state"' EXIT
PG_FSYNC=on tests/support/pg-cluster.sh start "$state/pg"
url=""
[ -f "$state/pg/url" ] && url=$(cat "$state/pg/url")
"$build_dir/bench/bench_ledger" "$cycles" "$url" "$writes"
