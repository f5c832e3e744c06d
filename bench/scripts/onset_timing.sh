#!/usr/bin/env bash
# Note onsets in the sound server's output against the note calls: each of
# MODES (default "one-shot original", about 2 minutes each) with SEED (1).
# The soak: MODES=looped MINUTES=30 (EDGE_MINUTES, default 5, for the first-
# and last-minutes figures). Writes onsets-<mode>.csv and .txt to OUT_DIR.
source "$(dirname "$0")/common.sh"
build
start_sound_server
pactl list short sources | grep -F bench.monitor
for mode in ${MODES:-one-shot original}; do
  args=(--mode "$mode" --seed "${SEED:-1}" --source bench.monitor --out "$OUT_DIR/onsets-$mode.csv")
  if [[ $mode == looped ]]; then
    args+=(--minutes "${MINUTES:-30}" --edge-minutes "${EDGE_MINUTES:-5}")
  fi
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  "$ONSET_TIMING" "${args[@]}" | tee "$OUT_DIR/onsets-$mode.txt"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
