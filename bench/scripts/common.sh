#!/usr/bin/env bash
# Shared by the benchmark scripts: where the build is, and a sound server of
# our own with a null sink "bench" (there is no sound card), stopped on exit:
# PulseAudio, or PipeWire with its pulse server when SERVER=pipewire; or with
# SERVER=jack a JACK server on its dummy backend, with no sink and no pulse
# server at all. SERVER_SETUP says which, as the results should.
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

# The process serving the pulse protocol, and every process of the server
# (for its CPU).
PULSE_PID=
SERVER_PIDS=()
SERVER_SETUP=

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
  SERVER_PIDS=("$PULSE_PID")
  SERVER_SETUP="pulseaudio"
  wait_for_server "$OUT_DIR/pulseaudio.log"
}

# How to start a private PipeWire is shared with the end-to-end tests.
# shellcheck source=../../tests/e2e/pipewire_server.sh
source "$REPO_DIR/tests/e2e/pipewire_server.sh"

# The same on PipeWire, its graph at PipeWire's own default rate (48 kHz, as on
# a desktop; PIPEWIRE_RATE for another), its quantum PipeWire's own unless
# PIPEWIRE_QUANTUM is KIND:FRAMES with KIND min, max or force (the setting
# clock.KIND-quantum, as on a device tuned for larger buffers). Arguments are
# PulseAudio's: a --load=MODULE ARGS is loaded through the pulse server once it
# answers; the others (log options) have no PipeWire equivalent and are left out.
start_pipewire() {
  export XDG_RUNTIME_DIR=$OUT_DIR/pipewire-runtime
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  rm -rf "$OUT_DIR/pipewire"  # no state of an earlier run (default sink, stream volumes)
  pipewire_configure "$OUT_DIR/pipewire" bench "${PIPEWIRE_RATE:-48000}" "$XDG_RUNTIME_DIR/pulse/native"
  pipewire_start_bus || { echo "dbus-daemon did not start; see $OUT_DIR/pipewire" >&2; return 1; }
  pipewire_start || { echo "PipeWire did not start; see $OUT_DIR/pipewire" >&2; return 1; }
  SERVER_PIDS=("${PIPEWIRE_PIDS[@]}")
  PULSE_PID=${PIPEWIRE_PIDS[2]}
  local i
  for ((i = 0; i < 200; i++)); do
    pipewire_ready bench && break
    sleep 0.05
  done
  pipewire_ready bench || { echo "PipeWire has no default sink \"bench\"; see $OUT_DIR/pipewire" >&2; return 1; }
  local arg
  for arg in "$@"; do
    if [[ $arg == --load=* ]]; then
      # shellcheck disable=SC2086  # a module's arguments are words
      pactl load-module ${arg#--load=} >/dev/null
    else
      echo "start_pipewire: $arg has no PipeWire equivalent, left out" >&2
    fi
  done
  SERVER_SETUP="pipewire rate=${PIPEWIRE_RATE:-48000} quantum=${PIPEWIRE_QUANTUM:-default}"
  [[ -z ${PIPEWIRE_QUANTUM:-} ]] || set_pipewire_quantum "$PIPEWIRE_QUANTUM"
}

# KIND:FRAMES into the server's settings, once it runs.
set_pipewire_quantum() {
  local kind=${1%%:*} frames=${1#*:}
  if [[ ! $kind =~ ^(min|max|force)$ || ! $frames =~ ^[0-9]+$ ]]; then
    echo "PIPEWIRE_QUANTUM must be min:N, max:N or force:N, not $1" >&2
    return 1
  fi
  local i
  for ((i = 0; i < 100; i++)); do
    pipewire_set_quantum "$kind" "$frames" && return 0
    sleep 0.05
  done
  echo "PipeWire did not take clock.$kind-quantum $frames" >&2
  return 1
}

# JACK's dummy backend at JACK_RATE (48000) Hz, JACK_PERIOD (256) frames a
# cycle, under a server name of our own. No pulse server is reachable and
# none may be spawned, so that FluidSynth's drivers (PulseAudio, ALSA, JACK)
# fall through to JACK. Nothing plays the output: record it from JACK's ports
# (onset_timing --source jack).
start_jack() {
  export XDG_RUNTIME_DIR=$OUT_DIR/jack-runtime
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  export JACK_DEFAULT_SERVER=velumbra-bench-$$
  export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/no-pulse-server
  export PULSE_CLIENTCONFIG=$XDG_RUNTIME_DIR/pulse-client.conf
  echo "autospawn = no" >"$PULSE_CLIENTCONFIG"
  local rate=${JACK_RATE:-48000} period=${JACK_PERIOD:-256}
  # A normal account has no real-time rights to ask for. It also needs the
  # memory-lock limit a JACK user is given (the server locks its shared
  # memory, 100 MB here); without it a second client is refused.
  local realtime=()
  [[ $(id -u) -ne 0 ]] && realtime=(--no-realtime)
  jackd "${realtime[@]}" -n "$JACK_DEFAULT_SERVER" -d dummy -r "$rate" -p "$period" >"$OUT_DIR/jackd.log" 2>&1 &
  SERVER_PIDS=($!)
  PULSE_PID=
  SERVER_SETUP="jack dummy rate=$rate period=$period"
  jack_wait -w -t 10 >/dev/null 2>&1 || { echo "jackd did not start; see $OUT_DIR/jackd.log" >&2; return 1; }
}

# PulseAudio unless SERVER=pipewire or jack; arguments as for start_pulse
# (none for JACK).
start_sound_server() {
  case ${SERVER:-pulse} in
    pulse) start_pulse "$@" ;;
    pipewire) start_pipewire "$@" ;;
    jack) start_jack ;;
    *) echo "SERVER must be pulse, pipewire or jack, not $SERVER" >&2; return 1 ;;
  esac
}

# Until pactl answers and the sink "bench" is there; log: where to look.
wait_for_server() {
  for _ in $(seq 200); do
    pactl list short sinks 2>/dev/null | cut -f2 | grep -qx bench && return 0
    sleep 0.05
  done
  echo "The sound server did not start; see $1" >&2
  return 1
}

# CPU ticks of all the sound server's processes.
server_cpu_ticks() {
  local pid total=0
  for pid in "${SERVER_PIDS[@]}"; do total=$((total + $(cpu_ticks "$pid"))); done
  echo "$total"
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
  local pid i
  for ((i = ${#SERVER_PIDS[@]} - 1; i >= 0; i--)); do
    pid=${SERVER_PIDS[i]}
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  SERVER_PIDS=()
  PULSE_PID=
  if [[ -n $PIPEWIRE_BUS_PID ]]; then
    kill "$PIPEWIRE_BUS_PID" 2>/dev/null || true
    wait "$PIPEWIRE_BUS_PID" 2>/dev/null || true
    PIPEWIRE_BUS_PID=
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
