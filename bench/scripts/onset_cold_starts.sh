#!/usr/bin/env bash
# The first notes of a start on a stream that has closed as idle:
# onset_timing --cold-starts, once for each recorder latency in
# RECORD_LATENCIES ("10 default"; "default" leaves it to the server), each
# STARTS (20) starts of the first NOTES (8) steps of MODE (one-shot), SEED (1).
# The server runs SETTLE_SECONDS (3) before the first start. Writes
# cold-<latency>.csv (one line a start) and .txt to OUT_DIR.
source "$(dirname "$0")/common.sh"
build
if declare -F start_sound_server >/dev/null; then start_sound_server; else start_pulse; fi
pactl list short sources | grep -F bench.monitor
sleep "${SETTLE_SECONDS:-3}"
for latency in ${RECORD_LATENCIES:-10 default}; do
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  "$ONSET_TIMING" --mode "${MODE:-one-shot}" --seed "${SEED:-1}" --source bench.monitor \
    --cold-starts "${STARTS:-20}" --cold-notes "${NOTES:-8}" --record-latency-ms "$latency" \
    --out "$OUT_DIR/cold-$latency.csv" | tee "$OUT_DIR/cold-$latency.txt"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
