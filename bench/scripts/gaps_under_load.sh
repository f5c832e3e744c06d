#!/usr/bin/env bash
# Gaps a listener hears, on either server (SERVER=pulse|pipewire): RUNS (10)
# runs of SECONDS_PLAYED (30) s of MODE (one-shot) through perform (real
# clock, FluidSynth), each ended by stop, with LOOPS (6) busy loops beside. A
# float sink's monitor is recorded from before the sound; count_dropouts counts
# runs of exact silence of 1 ms or more inside the music. One line a run.
source "$(dirname "$0")/common.sh"
runs=${RUNS:-10}
seconds=${SECONDS_PLAYED:-30}
COUNT_DROPOUTS=$BUILD_DIR/bench/count_dropouts
build
[[ ${SKIP_BUILD:-0} == 1 ]] || cmake --build "$BUILD_DIR" -j 4 --target count_dropouts >/dev/null
if [[ ${SERVER:-pulse} == pulse ]]; then
  # PulseAudio's default sink is 16-bit: a float one keeps quiet tails off zero.
  start_sound_server --load="module-null-sink sink_name=gaps format=float32le rate=44100 channels=2"
  pactl set-default-sink gaps
  sink=gaps
else
  start_sound_server  # PipeWire's sink is float already
  sink=bench
fi
rate=$(pactl list short sinks | awk -v s="$sink" '$2 == s' | grep -oE '[0-9]+Hz' | tr -d Hz)
sleep "${SETTLE_SECONDS:-3}"
start_load "${LOOPS:-6}" "${CORES:-}"
echo "server=${SERVER:-pulse} rate=$rate user=$(id -un) loops=${LOOPS:-6} load=$(cut -d' ' -f1 /proc/loadavg)"
for run in $(seq "$runs"); do
  recording=$OUT_DIR/gaps-$run.raw
  parec --latency-msec=10 -d "$sink.monitor" --format=float32le --rate="$rate" --channels=2 \
    --raw >"$recording" &
  recorder=$!
  sleep 1
  "$PERFORM" --mode "${MODE:-one-shot}" --seed "$run" --sound fluidsynth --stop-after "$seconds" \
    >/dev/null 2>"$OUT_DIR/gaps-perform-$run.txt"
  sleep 1
  kill "$recorder"
  wait "$recorder" 2>/dev/null || true
  echo "run $run: $("$COUNT_DROPOUTS" gaps "$recording" "$rate" 2)" \
    "late_notes=$(field "$OUT_DIR/gaps-perform-$run.txt" late_notes)" \
    "dropped_notes=$(field "$OUT_DIR/gaps-perform-$run.txt" dropped_notes)" \
    "cpu_pct=$(field "$OUT_DIR/gaps-perform-$run.txt" cpu_pct)"
  rm -f "$recording"
done
stop_busy_loops
