#!/usr/bin/env bash
# The real program under Xvfb with our sound server (SERVER): CPU of the program
# and of the server over SECONDS_MEASURED (20) s each, before the first start,
# while "one shot" plays, and after a stop (its box dismissed), ROUNDS (3)
# times. Read from /proc/<pid>/stat, so other jobs on the machine only disturb
# the figures through the scheduler. About 80 s a round.
source "$(dirname "$0")/common.sh"
build
start_sound_server
start_xvfb
seconds=${SECONDS_MEASURED:-20}
ticks_per_s=$(getconf CLK_TCK)

# CPU of both processes over the measuring time, as "% program, % server".
measure() {
  local app_before pulse_before
  app_before=$(cpu_ticks "$app")
  pulse_before=$(server_cpu_ticks)
  sleep "$seconds"
  printf '%s: program %.2f %%, server %.2f %% of a core, %d playback streams\n' "$1" \
    "$(echo "($(cpu_ticks "$app") - $app_before) * 100 / ($ticks_per_s * $seconds)" | bc -l)" \
    "$(echo "($(server_cpu_ticks) - $pulse_before) * 100 / ($ticks_per_s * $seconds)" | bc -l)" \
    "$(pactl list short sink-inputs | wc -l)"
}

# Clicks a point of the 300x300 content below the menu bar.
click() {
  local height
  height=$(xdotool getwindowgeometry "$window" | awk -F'[x ]' '/Geometry/ {print $5}')
  xdotool mousemove --window "$window" "$1" $((height - 300 + $2)) click 1
}

for round in $(seq "${ROUNDS:-3}"); do
  "$APP" >"$OUT_DIR/app.out" 2>&1 &
  app=$!
  window=
  while [[ -z $window ]]; do
    sleep 0.05
    window=$(xdotool search --onlyvisible --name '^Velumbra 17$' 2>/dev/null | head -1 || true)
  done
  sleep 2  # the SoundFont loads
  measure "round $round, before the first start"
  click 150 150
  measure "round $round, playing"
  click 150 250
  sleep 3
  box=$(xdotool search --onlyvisible --name '^Velumbra 17$' | grep -v "^$window\$" | tail -1 || true)
  xdotool windowfocus --sync "$box" key Return
  measure "round $round, after stop"
  kill "$app"
  wait "$app" 2>/dev/null || true
done
