#!/usr/bin/env bash
# Throughput of the gang station: 1, 2, 4 and 8 slots on the simulated line with real
# waits, the efficiency of each against one slot, and the plug-to-first-command latency.
# Takes about four minutes with the defaults (16 mice, 1 ms per transfer).
# Usage: scripts/bench-gang.sh [BUILD_DIR] [MICE] [LATENCY_US]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
"$build_dir/bench/bench_gang" "${2:-16}" "${3:-1000}"
