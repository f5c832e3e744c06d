#!/usr/bin/env bash
# Shared by the benchmark scripts: where the build is, and a PulseAudio server
# of our own with a null sink (there is no sound card), stopped on exit.
set -euo pipefail

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
REPO_DIR=$(cd "$BENCH_DIR/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$REPO_DIR/build/bench}
PERFORM=$BUILD_DIR/bench/perform
SPIN_WAIT=$BUILD_DIR/bench/spin_wait
ONSET_TIMING=$BUILD_DIR/bench/onset_timing
APP=$BUILD_DIR/app/velumbra17
SOUNDFONT=/usr/share/sounds/sf2/default-GM.sf2
OUT_DIR=${OUT_DIR:-$BUILD_DIR/bench-results}
mkdir -p "$OUT_DIR"

build() {
  if [[ ${SKIP_BUILD:-0} != 1 ]]; then
    cmake -S "$REPO_DIR" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$BUILD_DIR" -j "$(nproc)" --target perform spin_wait onset_timing velumbra17 >/dev/null
  fi
}

PULSE_PID=
# Our own server in its own runtime folder, so that no other server is touched.
# Arguments are passed on to the server (e.g. a log level).
start_pulse() {
  export XDG_RUNTIME_DIR=$OUT_DIR/pulse-runtime
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false --use-pid-file=no \
    --load="module-null-sink sink_name=bench" --load=module-native-protocol-unix "$@" \
    >"$OUT_DIR/pulseaudio.log" 2>&1 &
  PULSE_PID=$!
  for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  echo "PulseAudio did not start; see $OUT_DIR/pulseaudio.log" >&2
  return 1
}

BUSY_PIDS=()
# An Xvfb of our own on a free display (DISPLAY is set), stopped on exit.
start_xvfb() {
  local display=:$((90 + RANDOM % 100))
  Xvfb "$display" -noreset -screen 0 800x600x24 -nolisten tcp >"$OUT_DIR/xvfb.log" 2>&1 &
  BUSY_PIDS+=($!)  # stopped on exit with the rest
  export DISPLAY=$display
  for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.05; done
}

# CPU time (user + system) of a process so far, in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

stop_all() {
  for pid in "${BUSY_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  BUSY_PIDS=()
  if [[ -n $PULSE_PID ]]; then
    kill "$PULSE_PID" 2>/dev/null || true
    wait "$PULSE_PID" 2>/dev/null || true
    PULSE_PID=
  fi
}
trap stop_all EXIT

# One value from perform's key=value summary line.
field() { tr ' ' '\n' <"$1" | sed -n "s/^$2=//p" | tail -1; }

# Busy loops pinned to the given cores, as load for the real-time comparison.
start_busy_loops() {
  local cores=$1 count=$2
  for _ in $(seq "$count"); do
    taskset -c "$cores" bash -c 'while :; do :; done' &
    BUSY_PIDS+=($!)
  done
}
stop_busy_loops() {
  for pid in "${BUSY_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${BUSY_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  BUSY_PIDS=()
}

# Busy loops as load: pinned to the given cores if any, else wherever the
# scheduler puts them, beside everything else.
start_load() {
  local count=$1 cores=${2:-}
  if [[ -n $cores ]]; then
    start_busy_loops "$cores" "$count"
    return
  fi
  for _ in $(seq "$count"); do
    bash -c 'while :; do :; done' &
    BUSY_PIDS+=($!)
  done
}
