#!/usr/bin/env bash
# Quit from the menu at idle, then Ctrl+Q while each mode plays, at a random
# moment (E2E_SEED repeats a run): the process ends within 1 s with status 0
# and nothing on stderr, what sounded fades out instead of being cut, its stream
# is gone from the sound server and the sink is silent right after. With the
# sound server frozen, Ctrl+Q still ends the program within 1 s.
# Usage: quit_test.sh <binary> <artifact folder>
source "$(dirname "$0")/e2e_lib.sh"

E2E_BINARY=$1
E2E_ARTIFACTS=$2
readonly QUIT_BOUND_MS=1000
readonly MAX_DELAY_MS=5000

seed=${E2E_SEED:-$(($(date +%s%N) % 32768))}
RANDOM=$seed
e2e_log "random seed $seed (set E2E_SEED=$seed to repeat)"

E2E_RECORDING_NAME=quit
e2e_start_session

quit_while_playing() {
  local mode=$1 delay onset key_at exit_pos inputs sent
  delay=$((RANDOM % (MAX_DELAY_MS + 1)))
  e2e_log "--- $mode: quit $delay ms after the sound begins"
  e2e_start_app
  e2e_wait_main_window || { e2e_fail "$mode: the main window did not appear"; e2e_stop_pid "$E2E_APP_PID"; return; }
  e2e_click_named "$mode"
  sleep 0.2
  e2e_timed_click start
  local click=$E2E_CLICK_POS start
  start=$(e2e_now_ms)
  while onset=$(e2e_onset "$click"); ((onset < 0)); do
    if (($(e2e_now_ms) - start > 3000)); then
      e2e_fail "$mode: no sound after start"
      e2e_stop_pid "$E2E_APP_PID"
      return
    fi
    sleep 0.02
  done
  e2e_record_until $((click + onset + delay * E2E_RATE / 1000)) 15000 || e2e_abort "the recording stalled"

  key_at=$(e2e_record_pos)
  start=$(e2e_now_ms)
  xdotool key --clearmodifiers ctrl+q
  sent=$(e2e_now_ms)
  if ! e2e_wait_exit 5000 "$start"; then
    e2e_fail "$mode: Ctrl+Q did not end the program within 5 s"
    e2e_stop_pid "$E2E_APP_PID"
    return
  fi
  exit_pos=$(e2e_record_pos)
  e2e_log "$mode: time to quit $E2E_EXIT_MS ms from just before Ctrl+Q" \
    "($((E2E_EXIT_MS - (sent - start))) ms after xdotool had sent it), exit status $E2E_EXIT_STATUS"
  e2e_check "$mode: the program ends within ${QUIT_BOUND_MS} ms of Ctrl+Q" test "$E2E_EXIT_MS" -le $QUIT_BOUND_MS
  e2e_check "$mode: exit status 0" test "$E2E_EXIT_STATUS" -eq 0
  e2e_check "$mode: nothing on stderr" test ! -s "$E2E_APP_ERR"
  e2e_show_stderr

  # It was playing when the key went down, so the silence after is its doing.
  inputs=$(pactl list short sink-inputs 2>/dev/null | wc -l)
  e2e_check "$mode: no stream left on the sound server" test "$inputs" -eq 0
  e2e_check_faded_out "$mode" "$key_at" "$exit_pos"
}

# At idle, through the menu: the mouse road to the same Quit item.
quit_from_menu() {
  local start
  e2e_log "--- idle: the menu's Quit item"
  e2e_start_app
  e2e_wait_main_window || { e2e_fail "the main window did not appear"; e2e_stop_pid "$E2E_APP_PID"; return; }
  e2e_open_first_menu || { e2e_fail "the menu did not open"; e2e_stop_pid "$E2E_APP_PID"; return; }
  # Quit is the second and last item: aim near the menu's bottom edge.
  xdotool mousemove --sync $((E2E_MENU_X + 40)) $((E2E_MENU_Y + E2E_MENU_H - 12)) mousedown 1
  start=$(e2e_now_ms)
  xdotool mouseup 1
  if e2e_wait_exit 5000 "$start"; then
    e2e_log "idle: time to quit $E2E_EXIT_MS ms, exit status $E2E_EXIT_STATUS"
    e2e_check "idle: Quit ends the program within ${QUIT_BOUND_MS} ms" test "$E2E_EXIT_MS" -le $QUIT_BOUND_MS
    e2e_check "idle: exit status 0" test "$E2E_EXIT_STATUS" -eq 0
  else
    e2e_fail "idle: the menu's Quit did not end the program within 5 s"
    e2e_stop_pid "$E2E_APP_PID"
  fi
}

# A sound server that is frozen, not gone: its stream can be neither written
# nor closed, and quit must not wait for it.
quit_with_frozen_server() {
  local start
  e2e_log "--- looped, the sound server frozen"
  e2e_start_app
  e2e_wait_main_window || { e2e_fail "the main window did not appear"; e2e_stop_pid "$E2E_APP_PID"; return; }
  e2e_click_named looped
  sleep 0.2
  e2e_start_and_listen
  e2e_check "frozen server: looped sounds first" test "$E2E_ONSET" -ge 0
  e2e_signal_sound_server STOP
  sleep 0.5
  start=$(e2e_now_ms)
  xdotool key --clearmodifiers ctrl+q
  if e2e_wait_exit 5000 "$start"; then
    e2e_log "frozen server: time to quit $E2E_EXIT_MS ms, exit status $E2E_EXIT_STATUS"
    e2e_check "frozen server: Ctrl+Q ends the program within ${QUIT_BOUND_MS} ms" \
      test "$E2E_EXIT_MS" -le $QUIT_BOUND_MS
    e2e_check "frozen server: exit status 0" test "$E2E_EXIT_STATUS" -eq 0
  else
    e2e_fail "frozen server: Ctrl+Q did not end the program within 5 s"
    e2e_stop_pid "$E2E_APP_PID"
  fi
  e2e_signal_sound_server CONT
}

quit_from_menu
for mode in 'one shot' looped 'one shot with ending' original; do
  quit_while_playing "$mode"
done
quit_with_frozen_server

e2e_finish
