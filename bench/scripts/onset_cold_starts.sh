#!/usr/bin/env bash
# The first notes of a start on a stream that has closed as idle:
# onset_timing --cold-starts, once for each recorder latency in
# RECORD_LATENCIES ("10 default"; "default" leaves it to the server), each
# STARTS (20) starts of the first NOTES (8) steps of MODE (one-shot), SEED (1).
# The server runs SETTLE_SECONDS (3) before the first start. Writes
# cold-<latency>.csv (one line a start) and .txt, which begins with the
# server's setup, to OUT_DIR. With SERVER=jack the output is recorded from
# JACK's ports every cycle, once, as cold-cycle.*.
source "$(dirname "$0")/common.sh"
build
if declare -F start_sound_server >/dev/null; then start_sound_server; else start_pulse; fi
if [[ ${SERVER:-pulse} == jack ]]; then
  from=jack
  latencies=cycle
else
  from=bench.monitor
  latencies=${RECORD_LATENCIES:-10 default}
  pactl list short sources | grep -F bench.monitor
fi
sleep "${SETTLE_SECONDS:-3}"
for latency in $latencies; do
  echo "server: $SERVER_SETUP" | tee "$OUT_DIR/cold-$latency.txt"
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  record=()
  [[ $latency == cycle ]] || record=(--record-latency-ms "$latency")
  "$ONSET_TIMING" --mode "${MODE:-one-shot}" --seed "${SEED:-1}" --source "$from" \
    --cold-starts "${STARTS:-20}" --cold-notes "${NOTES:-8}" "${record[@]}" \
    --out "$OUT_DIR/cold-$latency.csv" | tee -a "$OUT_DIR/cold-$latency.txt"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
