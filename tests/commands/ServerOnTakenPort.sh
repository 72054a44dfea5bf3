#!/usr/bin/env bash
# Starts the sample server on a free port, then a second one on that same port, and checks that
# the second exits 1 saying which port it could not listen on and why. The first is stopped with
# SIGTERM at the end, and must have stopped cleanly.
#
#   bash ServerOnTakenPort.sh <sample-server>
set -euo pipefail
server=$1
log=$(mktemp)
first=""
finish() {
  if [ -n "$first" ]; then kill "$first" 2>/dev/null || true; fi
  rm -f "$log"
}
trap finish EXIT
fail() {
  echo "FAILED: $1" >&2
  exit 1
}

"$server" --port 0 >"$log" 2>&1 &
first=$!
# It prints "listening on http://127.0.0.1:<port>" once it listens.
port=""
for _ in $(seq 300); do
  port=$(sed -n 's|^listening on http://127\.0\.0\.1:\([0-9][0-9]*\)$|\1|p' "$log")
  [ -n "$port" ] && break
  kill -0 "$first" 2>/dev/null || fail "the first server ended: $(cat "$log")"
  sleep 0.1
done
[ -n "$port" ] || fail "the first server did not say where it listens: $(cat "$log")"

status=0
# Bounded: a second server that did listen would serve until stopped.
output=$(timeout 60 "$server" --port "$port" 2>&1) || status=$?
echo "$output"
expected="sample-server: could not listen on port $port: Address already in use"
[ "$status" -eq 1 ] || fail "the second server exited $status, expected 1"
[ "$output" = "$expected" ] || fail "the second server said \"$output\", expected \"$expected\""

kill -TERM "$first"
stopped=0
wait "$first" || stopped=$?
first=""
[ "$stopped" -eq 0 ] || fail "the first server exited $stopped after SIGTERM: $(cat "$log")"
