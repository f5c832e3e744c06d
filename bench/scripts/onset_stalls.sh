#!/usr/bin/env bash
# Note onsets through stalls: while notes play (MODE: irregular, notes 110 to
# 330 ms apart at random from SEED; or a mode of the program), SIGSTOP then
# SIGCONT either the private sound server (STALL_TARGET=server, default) or
# the process playing the notes (STALL_TARGET=program), as STALLS lists them:
# "3:30" is at 3 s after the first note for 30 ms, "3:300,7:100" two stalls.
# The recorder is a process of its own, so a stopped player never stops it.
# Plays SECONDS_PLAYED (the last stall's end + 12 s) of MODE with SEED (1).
# TAKE_MS: the device's take (default: the sink's 1024 frames, or a larger
# PIPEWIRE_QUANTUM); notes count from max(300 ms, 3 takes) after a stall.
# Writes <NAME>.txt (what is printed), .csv (call_s,onset_s,delay_ms),
# -stalls.csv (the stops and continues sent, monotonic µs), -calls.csv,
# -reads.csv, .raw (s16le mono at the server's rate) to OUT_DIR; NAME is
# RUN_NAME or stalls-<target>-<stalls>.
source "$(dirname "$0")/common.sh"

STALLS=${STALLS:-3:30}
STALL_TARGET=${STALL_TARGET:-server}
MODE=${MODE:-irregular}
if [[ $STALL_TARGET != server && $STALL_TARGET != program ]]; then
  echo "STALL_TARGET must be server or program, not $STALL_TARGET" >&2
  exit 2
fi
if [[ ${SERVER:-pulse} == jack ]]; then
  echo "onset_stalls.sh needs a pulse server (SERVER=pulse or pipewire)" >&2
  exit 2
fi
if [[ ${SKIP_BUILD:-0} != 1 ]]; then
  cmake -S "$REPO_DIR" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD_DIR" -j "$(nproc)" \
    --target record_monitor stall_player stall_signals onset_stalls >/dev/null
fi
BIN=$BUILD_DIR/bench
NAME=${RUN_NAME:-stalls-$STALL_TARGET-${STALLS//[:,]/_}}
OUT=$OUT_DIR/$NAME

# The last stall's end, in seconds, and 12 s after it to see the notes settle.
last_end=$(tr ',' '\n' <<<"$STALLS" | awk -F: '{ e = $1 + $2 / 1000; if (e > m) m = e } END { print m + 0 }')
SECONDS_PLAYED=${SECONDS_PLAYED:-$(awk -v e="$last_end" 'BEGIN { print e + 12 }')}

RECORDER_PID= PLAYER_PID= SIGNALS_PID=
cleanup() {
  local pid
  for pid in $SIGNALS_PID $PLAYER_PID $RECORDER_PID; do kill -CONT "$pid" 2>/dev/null || true; done
  for pid in "${SERVER_PIDS[@]}"; do kill -CONT "$pid" 2>/dev/null || true; done
  for pid in $SIGNALS_PID $PLAYER_PID $RECORDER_PID; do kill "$pid" 2>/dev/null || true; done
  stop_all
}
trap cleanup EXIT

# Waits (at most $3 s) for a line matching $2 in file $1; prints it.
wait_for_line() {
  local i
  for ((i = 0; i < $3 * 50; i++)); do
    grep -m1 -E "$2" "$1" 2>/dev/null && return 0
    sleep 0.02
  done
  return 1
}

# What is printed goes to $OUT.txt too.
: >"$OUT.txt"
say() { echo "$*" | tee -a "$OUT.txt"; }

start_sound_server
if [[ ${SERVER:-pulse} == pipewire ]]; then
  rate=${PIPEWIRE_RATE:-48000}
  quantum=${PIPEWIRE_QUANTUM:-x:0}
  take_frames=$((${quantum#*:} > 1024 ? ${quantum#*:} : 1024))
else
  rate=$(pactl list short sinks | awk '$2 == "bench" { for (i = 3; i <= NF; i++) if ($i ~ /^[0-9]+Hz$/) print $i + 0 }')
  take_frames=1024
fi
TAKE_MS=${TAKE_MS:-$(awk -v f="$take_frames" -v r="$rate" 'BEGIN { printf "%.1f", f * 1000 / r }')}

if [[ $STALL_TARGET == server ]]; then
  targets=$(IFS=,; echo "${SERVER_PIDS[*]}")
fi
say "server: $SERVER_SETUP rate=$rate"
say "stalls: $STALLS target=$STALL_TARGET mode=$MODE seed=${SEED:-1} seconds=$SECONDS_PLAYED take_ms=$TAKE_MS"
say "load before: $(cut -d' ' -f1-3 /proc/loadavg)"

"$BIN/record_monitor" --source bench.monitor --rate "$rate" --samples "$OUT.raw" \
  --reads "$OUT-reads.csv" >"$OUT-recorder.out" 2>"$OUT-recorder.err" &
RECORDER_PID=$!
if ! wait_for_line "$OUT-recorder.out" '^(ready|unsteady)' 40 >/dev/null; then
  say "result=FAILED reason=\"the recorder did not start; see $OUT-recorder.err\""
  exit 1
fi
grep -q '^ready' "$OUT-recorder.out" || say "note: the recorder's reads were not steady before the notes"

"$BIN/stall_player" --mode "$MODE" --seed "${SEED:-1}" --seconds "$SECONDS_PLAYED" \
  --calls "$OUT-calls.csv" >"$OUT-player.out" 2>"$OUT-player.err" &
PLAYER_PID=$!
if ! origin=$(wait_for_line "$OUT-player.out" '^origin_us=' 30); then
  say "result=FAILED reason=\"the player did not start; see $OUT-player.err\""
  exit 1
fi
[[ $STALL_TARGET == program ]] && targets=$PLAYER_PID
"$BIN/stall_signals" --pids "$targets" --origin-us "${origin#origin_us=}" --stalls "$STALLS" \
  --log "$OUT-stalls.csv" &
SIGNALS_PID=$!
signals_status=0
wait "$SIGNALS_PID" || signals_status=$?
SIGNALS_PID=
player_status=0
wait "$PLAYER_PID" || player_status=$?
PLAYER_PID=
sleep 0.5
kill -TERM "$RECORDER_PID"
recorder_status=0
wait "$RECORDER_PID" || recorder_status=$?
RECORDER_PID=
say "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
if ((signals_status != 0 || player_status != 0 || recorder_status != 0)); then
  say "result=FAILED reason=\"stall_signals $signals_status, player $player_status, recorder $recorder_status\""
  cat "$OUT-player.err" "$OUT-recorder.err" >&2
  exit 1
fi
say "player: $(tail -1 "$OUT-player.out")"
say "recorder: $(tail -1 "$OUT-recorder.err")"
"$BIN/onset_stalls" --samples "$OUT.raw" --reads "$OUT-reads.csv" --rate "$rate" \
  --calls "$OUT-calls.csv" --stalls "$OUT-stalls.csv" --take-ms "$TAKE_MS" --out "$OUT.csv" |
  tee -a "$OUT.txt"
exit "${PIPESTATUS[0]}"
