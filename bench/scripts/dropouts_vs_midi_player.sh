#!/usr/bin/env bash
# Dropouts as a listener hears them, and CPU while playing: perform (the
# program's code, real clock, FluidSynth) and the fluidsynth command-line
# player with the same music (its defaults, then 1024-frame periods), one
# after the other in one PulseAudio session with its debug log on. Per run:
#   gaps       runs of exact digital silence (every channel 0) of 1 ms or more
#              between the first and last audible sample of a recording of
#              the null sink's monitor, started before the sound;
#   underruns  from the server's log, those at a stream's start and end apart;
#   cpu        of the playing process and of the server, from /proc, over the
#              span of the music in the recording.
# LOOPS (6) busy loops run beside each run, pinned to CORES if set. MODE
# (one-shot), SEED (1), SECONDS_PLAYED (the whole piece) for a shorter run
# ended by stop, WITH_PLAYER (1). About 6 minutes for a whole "one shot".
source "$(dirname "$0")/common.sh"
# Underruns and each stream's start are read from PulseAudio's debug log.
[[ ${SERVER:-pulse} == pulse ]] || { echo "$0 reads PulseAudio's log: SERVER=pulse only" >&2; exit 2; }
mode=${MODE:-one-shot}
loops=${LOOPS:-6}
seed=${SEED:-1}
COUNT_DROPOUTS=$BUILD_DIR/bench/count_dropouts
ticks_per_s=$(getconf CLK_TCK)
exec {pause}<> <(:)  # read -t on it sleeps without a fork

build
[[ ${SKIP_BUILD:-0} == 1 ]] || cmake --build "$BUILD_DIR" -j 4 --target count_dropouts >/dev/null
# A float sink of our own at the synthesiser's rate: the server writes exact zeros where it
# had no data, and nothing in between is rounded to zero or resampled.
start_sound_server --log-level=debug --log-time=1 --log-target=stderr \
  --load="module-null-sink sink_name=dropouts format=float32le rate=44100 channels=2"
pactl set-default-sink dropouts
pulse_log=$OUT_DIR/pulseaudio.log
rate=44100
channels=2

# Until pid has gone, every 50 ms: wall time, its CPU ticks and the server's.
sample_cpu() {
  local pid=$1 own server fields
  while read -r own 2>/dev/null <"/proc/$pid/stat" && read -r server <"/proc/$PULSE_PID/stat"; do
    read -r -a fields <<<"${own##*) }"  # fields from the state on: utime and stime are 11 and 12
    own=$((fields[11] + fields[12]))
    read -r -a fields <<<"${server##*) }"
    echo "$EPOCHREALTIME $own $((fields[11] + fields[12]))"
    read -r -t 0.05 -u "$pause" _ || true
  done
}

# % of a core between the samples nearest inside the music's span (start: wall
# time of the recording's first sample; gaps: count_dropouts' line).
cpu_over_music() {
  local samples=$1 start=$2 gaps=$3 first last
  first=$(field <(echo "$gaps") first_audible_s)
  last=$(field <(echo "$gaps") last_audible_s)
  if [[ $first == - ]]; then
    echo "cpu_program_pct=- cpu_server_pct=- cpu_total_pct=- cpu_span_s=-"
    return
  fi
  awk -v from="$(echo "$start + $first" | bc -l)" -v to="$(echo "$start + $last" | bc -l)" \
    -v hz="$ticks_per_s" '
    $1 >= from && !seen {seen = 1; t0 = $1; p0 = $2; s0 = $3}
    $1 <= to {t1 = $1; p1 = $2; s1 = $3}
    END {
      if (!seen || t1 <= t0) {print "cpu_program_pct=- cpu_server_pct=- cpu_total_pct=- cpu_span_s=-"; exit}
      d = (t1 - t0) * hz / 100
      printf "cpu_program_pct=%.2f cpu_server_pct=%.2f cpu_total_pct=%.2f cpu_span_s=%.1f\n",
        (p1 - p0) / d, (s1 - s0) / d, (p1 - p0 + s1 - s0) / d, t1 - t0
    }' "$samples"
}

# Ends pid once it has played for the given seconds, from its stream's start
# in the server's log (after its SoundFont has loaded).
stop_after_playing() {
  local pid=$1 seconds=$2 from=$3
  until tail -n +"$((from + 1))" "$pulse_log" | grep -q "Created input"; do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.05
  done
  sleep "$seconds"
  kill "$pid" 2>/dev/null || true
}

# label, command...: one run under load, recorded from before its first sound;
# with limit set, stopped after that many seconds of playing.
run() {
  local label=$1
  shift
  local out=$OUT_DIR/dropouts-$label from recorder started pid sampler
  from=$(wc -l <"$pulse_log")
  start_load "$loops" "${CORES:-}"
  # A recorder joined mid-sound would hand over a burst the sink never played.
  parec --latency-msec=10 -d dropouts.monitor --format=float32le --rate="$rate" \
    --channels="$channels" --raw >"$out.raw" &
  recorder=$!
  for _ in $(seq 2500); do
    [[ -s $out.raw ]] && break
    read -r -t 0.002 -u "$pause" _ || true
  done
  [[ -s $out.raw ]] || { echo "the recorder did not start" >&2; return 1; }
  # Its first fragment arrived now and holds the 10 ms before.
  started=$(echo "$EPOCHREALTIME - 0.010" | bc -l)
  "$@" >"$out.out" 2>"$out.err" &
  pid=$!
  sample_cpu "$pid" >"$out.cpu" &
  sampler=$!
  [[ -z ${limit:-} ]] || stop_after_playing "$pid" "$limit" "$from" &
  wait "$pid" || [[ -n ${limit:-} ]] || echo "$label: exit status $?, see $out.err" >&2
  wait "$sampler"
  sleep 0.5  # the recorder's last fragment
  kill "$recorder"
  wait "$recorder" 2>/dev/null || true
  stop_busy_loops
  tail -n +"$((from + 1))" "$pulse_log" >"$out-pulse.log"
  local gaps
  gaps=$("$COUNT_DROPOUTS" gaps "$out.raw" "$rate" "$channels")
  echo "run=$label $gaps $("$COUNT_DROPOUTS" underruns "$out-pulse.log")" \
    "$(cpu_over_music "$out.cpu" "$started" "$gaps")" | tee "$out.summary"
}

stop=()
[[ -n ${SECONDS_PLAYED:-} ]] && stop=(--stop-after "$SECONDS_PLAYED")
midi=$OUT_DIR/dropouts.mid
# The same notes as the perform run (same seed), each at the sum of the score's waits. A
# stop on the virtual clock comes late, so the players are stopped by wall time instead.
"$PERFORM" --mode "$mode" --clock virtual --sound record --no-csv --seed "$seed" "${stop[@]}" \
  --midi "$midi" 2>/dev/null

echo "mode $mode, seed $seed, $loops busy loops${CORES:+ on cores $CORES};" \
  "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
run perform "$PERFORM" --mode "$mode" --clock real --sound fluidsynth --no-csv --seed "$seed" \
  "${stop[@]}" --server-pid "$PULSE_PID"
if [[ ${WITH_PLAYER:-1} == 1 ]]; then
  limit=${SECONDS_PLAYED:-} run player-defaults fluidsynth -ni -q -a pulseaudio "$SOUNDFONT" "$midi"
  limit=${SECONDS_PLAYED:-} run player-z1024 fluidsynth -ni -q -a pulseaudio -z 1024 "$SOUNDFONT" "$midi"
  ratio() {  # figure, run: perform's over that run's
    echo "$(field "$OUT_DIR/dropouts-perform.summary" "$1") / $(field "$OUT_DIR/dropouts-$2.summary" "$1")" |
      bc -l
  }
  printf 'cpu_total_ratio_to_player_defaults=%.2f cpu_program_ratio_to_player_defaults=%.2f' \
    "$(ratio cpu_total_pct player-defaults)" "$(ratio cpu_program_pct player-defaults)"
  printf ' cpu_total_ratio_to_player_z1024=%.2f\n' "$(ratio cpu_total_pct player-z1024)"
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
