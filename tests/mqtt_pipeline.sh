#!/usr/bin/env bash
# The README's fleet pipeline, end to end on the loopback:
#   laserctl monitor --json -p PORT | mosquitto_pub -l -t lab/laser1/status
# against a mosquitto broker of our own on a free port, with the simulated
# laser, read back with mosquitto_sub.
# Usage: mqtt_pipeline.sh LASERCTL LASER_SIM
set -euo pipefail
laserctl=$1 sim=$2 messages=5 topic=lab/laser1/status
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; tail -n +1 "$work"/*.log >&2; exit 1; }
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do [ "$SECONDS" -lt "$deadline" ] || return 1; sleep 0.05; done
}

# A free port: let the broker try one; on a taken port it exits at once.
for attempt in $(seq 1 20); do
  port=$((20000 + RANDOM % 30000))
  printf 'listener %s 127.0.0.1\nallow_anonymous true\nlog_dest stderr\nlog_type all\n' "$port" > "$work/mosquitto.conf"
  mosquitto -c "$work/mosquitto.conf" > "$work/broker.log" 2>&1 &
  broker=$!
  wait_for 5 grep -q "Opening ipv4 listen socket on port $port" "$work/broker.log" && { pids+=("$broker"); break; }
  kill "$broker" 2>/dev/null || true; wait "$broker" 2>/dev/null || true; broker=
done
[ -n "$broker" ] || fail "no broker could listen on a free port"

"$sim" --link "$work/laser" --rate 20 --seed 1 > "$work/sim.log" 2>&1 &
pids+=($!)
wait_for 5 grep -q '^link: ' "$work/sim.log" || fail "the simulated laser did not start"

# The subscriber first, so no message goes by unseen; -C and -W bound it.
mosquitto_sub -h 127.0.0.1 -p "$port" -t "$topic" -C "$messages" -W 20 > "$work/received.txt" 2> "$work/sub.log" &
sub=$!
pids+=("$sub")
wait_for 10 grep -q "Received SUBSCRIBE" "$work/broker.log" || fail "the subscriber did not subscribe"

"$laserctl" monitor --json -p "$work/laser" --duration 2 2> "$work/laserctl.log" \
  | mosquitto_pub -h 127.0.0.1 -p "$port" -l -t "$topic" 2> "$work/pub.log" || fail "the pipeline failed"
wait "$sub" || fail "mosquitto_sub did not get $messages messages"
count=$(grep -c '^{.*"kind":"status".*"time":"[0-9T:.+-]*".*}$' "$work/received.txt" || true)
[ "$count" -eq "$messages" ] || fail "expected $messages status objects, got $count: $(cat "$work/received.txt")"
echo "received $count status messages through mosquitto on 127.0.0.1:$port"
