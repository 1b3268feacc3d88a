#!/usr/bin/env bash
# The HTML report of a simulated shift (three stations, eight hours) as headless Chromium
# renders it; the picture goes to docs/ledger-report.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
BINWRIGHT_REPORT_PICTURE="$PWD/docs/ledger-report.png" \
  "$build_dir/tests/ledger_tests" --gtest_filter='LedgerReport.*'
