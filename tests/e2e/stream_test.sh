#!/usr/bin/env bash
# The program's stream on the sound server exists only while it can sound.
#   idle            no stream before the first start nor a few seconds after
#                   stop; one while playing
#   server-restart  the server dies while "looped" plays and comes back: the
#                   sound returns by itself, one line for the loss and one for
#                   the return on stderr
#   quick-start     the server is killed and restarted, and stop, the farewell
#                   box and start follow at once: that start plays
# Usage: stream_test.sh <binary> <artifact folder> <case>
source "$(dirname "$0")/e2e_lib.sh"

E2E_BINARY=$1
E2E_ARTIFACTS=$2
CASE=$3
# Release, reverb tail and the idle time before the stream closes.
readonly CLOSE_BOUND_MS=6000

streams() { pactl list short sink-inputs 2>/dev/null | wc -l; }

# Polls until the server holds n playback streams (timeout in ms).
wait_streams() {
  local n=$1 timeout_ms=$2 start
  start=$(e2e_now_ms)
  until (($(streams) == n)); do
    (($(e2e_now_ms) - start > timeout_ms)) && return 1
    sleep 0.1
  done
}

# Stop, the farewell box, Return: back to idle.
stop_and_dismiss() {
  e2e_click_named stop
  e2e_check "$1: stop shows the farewell box" e2e_wait_window_count 2 5000
  e2e_dismiss_box
  e2e_check "$1: Return closes it" e2e_wait_window_count 1 5000
}

# Start; true when the recording holds sound within 2 s of the click.
starts_sounding() {
  e2e_start_and_listen
  ((E2E_ONSET >= 0 && E2E_ONSET < E2E_RATE * 2))
}

idle() {
  e2e_start_app
  e2e_wait_main_window || e2e_abort "the main window did not appear"
  sleep 1
  e2e_check "no stream before the first start ($(streams))" test "$(streams)" -eq 0
  e2e_check "start sounds" starts_sounding
  e2e_check "one stream while playing ($(streams))" test "$(streams)" -eq 1
  stop_and_dismiss "first round"
  e2e_check "no stream a few seconds after stop" wait_streams 0 $CLOSE_BOUND_MS
  # Opened again on demand, and closed again.
  e2e_check "the next start sounds" starts_sounding
  e2e_check "one stream while playing again ($(streams))" test "$(streams)" -eq 1
  stop_and_dismiss "second round"
  e2e_check "no stream a few seconds after the second stop" wait_streams 0 $CLOSE_BOUND_MS
  e2e_show_stderr
  e2e_check "nothing on stderr" test ! -s "$E2E_APP_ERR"
}

# The server dies while "looped" plays and a new one starts.
restart_server_while_looped_plays() {
  e2e_start_app
  e2e_wait_main_window || e2e_abort "the main window did not appear"
  e2e_click_named looped
  sleep 0.2
  e2e_check "\"looped\" sounds" starts_sounding
  e2e_log "the sound server goes away while the mode plays"
  e2e_stop_pid "$E2E_REC_PID"
  e2e_stop_sound_server
  sleep "$1"
  e2e_start_sound_server
  e2e_record_start
  e2e_check "the program is still running" e2e_running
}

server_restart() {
  restart_server_while_looped_plays 2
  # Retries come about every 2 s; the music goes on meanwhile.
  e2e_record_until $((E2E_RATE * 6)) 15000 || e2e_abort "the recording stalled"
  local peak
  peak=$(e2e_peak $((E2E_RATE * 5)) "$E2E_RATE")
  e2e_log "peak $peak in the sixth second after the new server started"
  e2e_check "the sound comes back by itself while \"looped\" plays" test "$peak" -ge "$E2E_SOUND_LEVEL"
  stop_and_dismiss "with sound back"
  e2e_show_stderr
  e2e_check "stderr has one line about the lost stream" \
    test "$(grep -c 'audio stream stopped' "$E2E_APP_ERR")" -eq 1
  e2e_check "and one about its return" test "$(grep -c 'sound is back' "$E2E_APP_ERR")" -eq 1
  e2e_check "and nothing else" test "$(wc -l <"$E2E_APP_ERR")" -eq 2
}

quick_start() {
  e2e_start_app
  e2e_wait_main_window || e2e_abort "the main window did not appear"
  e2e_click_named looped
  sleep 0.2
  e2e_check "\"looped\" sounds" starts_sounding
  e2e_log "the sound server is killed and restarted"
  kill -KILL "$E2E_REC_PID"
  e2e_kill_sound_server
  e2e_start_sound_server
  e2e_record_start --no-wait
  stop_and_dismiss "just after the restart"
  e2e_start_and_listen
  # A second in, the music itself, not what still rang from before (the
  # recording may begin after the click).
  local peak
  peak=$(e2e_peak $((E2E_CLICK_POS + E2E_RATE)) "$E2E_RATE")
  e2e_log "peak $peak a second after the start's position in the recording"
  e2e_check "a start made before the loss was noticed plays" test "$peak" -ge "$E2E_SOUND_LEVEL"
  stop_and_dismiss "with sound back"
  e2e_show_stderr
  e2e_check "stderr has one line about the lost stream" \
    test "$(grep -c 'audio stream stopped' "$E2E_APP_ERR")" -le 1
}

E2E_RECORDING_NAME="stream-$CASE"
e2e_start_session
case $CASE in
  idle) idle ;;
  server-restart) server_restart ;;
  quick-start) quick_start ;;
  *) echo "unknown case: $CASE"; exit 2 ;;
esac
e2e_finish
