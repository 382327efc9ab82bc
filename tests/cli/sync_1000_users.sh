#!/usr/bin/env bash
# A scripted check, not a unit test: facepad-cli syncs 1,000 users without photos onto one
# terminal of a simulator that answers at once, waits for every result, and must know every
# final state in under 10 s. Run it with a built tree:
#   tests/cli/sync_1000_users.sh [BUILD_DIR]        (default build/cli)
# It runs twice: with the adapter's own rhythm (first poll after 8 s, as hosts have it) and with
# the diagnostic --fast-first-poll. Exits non-zero when a run misses the target.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/cli}
sim=$build/tools/facepad-gateway-sim
cli=$build/tools/facepad-cli
work=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$sim" --port 0 --port-file "$work/port" --terminal FACE-0001 --quiet >/dev/null &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(cat "$work/port")
"$cli" --port "$port" bind FACE-0001 1 >/dev/null

{ echo "pin,name"; for i in $(seq 1 1000); do echo "$i,User $i"; done; } >"$work/users.csv"

status=0
for mode in "" "--fast-first-poll"; do
  start=$(date +%s.%N)
  "$cli" --port "$port" $mode sync-users "$work/users.csv" -t FACE-0001 --wait-results=30 \
    --report "$work/report.csv" --no-progress >/dev/null || true
  end=$(date +%s.%N)
  seconds=$(echo "$end - $start" | bc)
  known=$(tail -n +2 "$work/report.csv" | grep -vc ',no-result,' || true)
  done_=$(grep -c ',done,' "$work/report.csv" || true)
  verdict=ok
  if [ "$known" -ne 1000 ] || [ "$(echo "$seconds >= 10" | bc)" -eq 1 ]; then
    verdict=MISSED
    status=1
  fi
  printf '1000 users, %-18s %6.2f s, final states known %4d, done %4d   %s (target < 10 s)\n' \
    "${mode:-adapter rhythm}" "$seconds" "$known" "$done_" "$verdict"
done
exit $status
