#!/usr/bin/env bash
# "looped" for MINUTES (30) on the real clock with FluidSynth: the process's
# RSS and CPU ticks sampled every minute, to see that both stay flat.
source "$(dirname "$0")/common.sh"
build
start_sound_server
minutes=${MINUTES:-30}

"$PERFORM" --mode looped --stop-after $((minutes * 60)) --clock real --sound fluidsynth \
  --no-csv 2>"$OUT_DIR/soak.err" >/dev/null &
pid=$!
echo "minute,rss_kb,cpu_ticks" >"$OUT_DIR/soak.csv"
for ((m = 0; m <= minutes; m++)); do
  kill -0 "$pid" 2>/dev/null || break
  echo "$m,$(ps -o rss= -p "$pid" | tr -d ' '),$(awk '{print $14 + $15}' "/proc/$pid/stat")" \
    >>"$OUT_DIR/soak.csv"
  sleep 60
done
wait "$pid"
cat "$OUT_DIR/soak.csv"
grep -v '^[0-9]' "$OUT_DIR/soak.err" | tail -1
