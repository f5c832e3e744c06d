#!/usr/bin/env bash
# The real program under Xvfb: from exec to its window being shown (mapped and
# viewable, as xdotool sees it), over RUNS runs. Quits each with Ctrl+Q.
source "$(dirname "$0")/common.sh"
build
start_sound_server
runs=${RUNS:-10}
start_xvfb

for run in $(seq "$runs"); do
  start=$EPOCHREALTIME
  "$APP" >"$OUT_DIR/app.out" 2>&1 &
  app=$!
  deadline=$((SECONDS + 10))
  until window=$(xdotool search --onlyvisible --name '^Velumbra 17$' 2>/dev/null); do
    if ((SECONDS > deadline)); then
      echo "run $run: no window after 10 s; see $OUT_DIR/app.out" >&2
      kill "$app" 2>/dev/null || true
      exit 1
    fi
  done
  end=$EPOCHREALTIME
  printf 'run %2d: exec to window shown %.1f ms\n' "$run" "$(echo "($end - $start) * 1000" | bc -l)"
  xdotool key --window "$window" ctrl+q 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.02; done
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
done
