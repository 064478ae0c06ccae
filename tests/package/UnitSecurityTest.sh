#!/usr/bin/env bash
# Rates the sandbox of the shipped service unit with systemd's own measure and fails when
# it exposes more than EXPOSURE (out of 10; lower is safer). Exit status 77 (skipped)
# without systemd-analyze. Usage: UnitSecurityTest.sh UNIT_FILE EXPOSURE
set -uo pipefail

unit=$1
limit=$2
if ! command -v systemd-analyze >/dev/null; then
  echo "SKIP: systemd-analyze is missing (scripts/deps.sh test installs the systemd package)"
  exit 77
fi
report=$(systemd-analyze security --offline=true --no-pager "$unit" 2>&1)
figure=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' <<<"$report")
if [ -z "$figure" ]; then
  echo "FAIL: systemd-analyze gave no exposure level: $report" >&2
  exit 1
fi
echo "Exposure of $(basename "$unit"): $figure (at most $limit)"
if ! awk -v figure="$figure" -v limit="$limit" 'BEGIN { exit !(figure <= limit) }'; then
  grep '✗' <<<"$report" >&2
  echo "FAIL: $(basename "$unit") exposes $figure, more than $limit" >&2
  exit 1
fi
