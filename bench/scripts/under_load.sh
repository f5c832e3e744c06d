#!/usr/bin/env bash
# perform held to two cores that busy loops keep busy, with and without
# real-time priority for the mode thread: how many waits end late (> 1 ms).
# About 1 minute (SECONDS_PLAYED each).
source "$(dirname "$0")/common.sh"
build
start_sound_server
cores=${CORES:-2,3}
loops=${LOOPS:-4}
played=${SECONDS_PLAYED:-30}

run() {
  local label=$1
  shift
  start_busy_loops "$cores" "$loops"
  taskset -c "$cores" "$PERFORM" --mode original --clock real --sound fluidsynth --no-csv \
    --stop-after "$played" "$@" 2>"$OUT_DIR/load-$label.err" >/dev/null
  stop_busy_loops
  echo "$label: $(grep -v '^[0-9]' "$OUT_DIR/load-$label.err" | tail -1)"
}

echo "cores $cores, $loops busy loops on them; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
run normal
run realtime --realtime
