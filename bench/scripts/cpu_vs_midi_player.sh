#!/usr/bin/env bash
# "original" played twice with the same SoundFont into the same null sink of
# our sound server (SERVER): by perform (the program's code, real clock,
# FluidSynth) and by the fluidsynth command-line player from a MIDI file of the
# same notes with ideal timing. Prints both runs' figures, the sound server's
# CPU beside each (nothing records the sink here), and the CPU ratios. About 6
# minutes.
source "$(dirname "$0")/common.sh"
build
start_sound_server

midi=$OUT_DIR/original.mid
# The notes of a virtual-clock run, placed at the sum of the score's waits.
"$PERFORM" --mode original --clock virtual --sound record --no-csv --midi "$midi" 2>/dev/null

timed() {  # label, command...: GNU time's user, system, peak RSS and wall, then the command's own line
  local label=$1 server0 server1
  shift
  sleep 2  # a new server is slow to take its first stream
  server0=$(server_cpu_ticks)
  /usr/bin/time -f "%U %S %M %e" -o "$OUT_DIR/$label.time" "$@" >"$OUT_DIR/$label.out" 2>"$OUT_DIR/$label.err"
  server1=$(server_cpu_ticks)
  read -r user sys rss wall <"$OUT_DIR/$label.time"
  cpu=$(echo "$user + $sys" | bc -l)
  server=$(echo "($server1 - $server0) / $(getconf CLK_TCK)" | bc -l)
  printf '%-22s cpu_s=%.2f wall_s=%.1f cpu_pct=%.2f server_cpu_pct=%.2f total_cpu_pct=%.2f rss_mb=%.0f\n' \
    "$label" "$cpu" "$wall" "$(echo "100 * $cpu / $wall" | bc -l)" "$(echo "100 * $server / $wall" | bc -l)" \
    "$(echo "100 * ($cpu + $server) / $wall" | bc -l)" "$(echo "$rss / 1024" | bc -l)"
  echo "$cpu" >"$OUT_DIR/$label.cpu"
  echo "$cpu + $server" | bc -l >"$OUT_DIR/$label.total"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
timed perform "$PERFORM" --mode original --clock real --sound fluidsynth \
  --waits "$OUT_DIR/perform-waits.csv"
grep -v '^[0-9]' "$OUT_DIR/perform.err" | tail -1
# The same synthesiser settings as the program's sink.
timed midi-player-same-settings fluidsynth -ni -q -a pulseaudio -z 1024 -c 2 \
  -o synth.cpu-cores=1 -o synth.dynamic-sample-loading=1 "$SOUNDFONT" "$midi"
if [[ ${WITH_DEFAULTS:-1} == 1 ]]; then
  timed midi-player-defaults fluidsynth -ni -q -a pulseaudio "$SOUNDFONT" "$midi"
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

ratio=$(echo "$(cat "$OUT_DIR/perform.cpu") / $(cat "$OUT_DIR/midi-player-same-settings.cpu")" | bc -l)
printf 'cpu_ratio_perform_to_midi_player=%.2f (target <= 1.5)\n' "$ratio"
if [[ -f $OUT_DIR/midi-player-defaults.cpu ]]; then
  ratio=$(echo "$(cat "$OUT_DIR/perform.cpu") / $(cat "$OUT_DIR/midi-player-defaults.cpu")" | bc -l)
  printf 'cpu_ratio_perform_to_midi_player_defaults=%.2f\n' "$ratio"
  ratio=$(echo "$(cat "$OUT_DIR/perform.total") / $(cat "$OUT_DIR/midi-player-defaults.total")" | bc -l)
  printf 'total_cpu_ratio_perform_to_midi_player_defaults=%.2f (program + server)\n' "$ratio"
fi
