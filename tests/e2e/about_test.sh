#!/usr/bin/env bash
# The about box: opened from the first menu by mouse and by keyboard, closed
# with Return; while a mode plays the music goes on under the open box.
# Usage: about_test.sh <binary> <artifact folder>
source "$(dirname "$0")/e2e_lib.sh"

E2E_BINARY=$1
E2E_ARTIFACTS=$2

E2E_RECORDING_NAME=about
e2e_start_session
e2e_start_app
e2e_wait_main_window || e2e_abort "the main window did not appear"

# Opens the first menu with a click on its title and clicks its first item,
# whose row starts a few pixels below the menu's top edge.
about_by_mouse() {
  e2e_open_first_menu || { e2e_fail "clicking the menu title opens no menu"; return 1; }
  xdotool mousemove --sync $((E2E_MENU_X + 40)) $((E2E_MENU_Y + 10)) click --delay 0 1
}

box_geometry() {
  local win
  win=$(e2e_windows | grep -vx "$E2E_MAIN_WIN" | head -n 1)
  [[ -n $win ]] && e2e_geometry "$win" && echo "${E2E_GEOM_W}x${E2E_GEOM_H}"
}

about_by_mouse
e2e_check "the about item opens a second \"$E2E_TITLE\" window" e2e_wait_window_count 2 5000
about_size=$(box_geometry)
e2e_log "about box ${about_size:-?}"
e2e_dismiss_box
e2e_check "Return closes the about box" e2e_wait_window_count 1 5000

# Keyboard: the menu opens with a click on its title, Down picks the first
# item, Return chooses it.
if e2e_open_first_menu; then
  xdotool key Down Return
  e2e_check "Down, Return in the menu opens the about box" e2e_wait_window_count 2 5000
  e2e_check "it is the same box (${about_size:-?})" test "$(box_geometry)" = "$about_size"
  e2e_dismiss_box
  e2e_check "Return closes it again" e2e_wait_window_count 1 5000
else
  e2e_fail "the menu did not open a second time"
fi

# The about box is modal for the window, not for the music.
e2e_click_named start
e2e_record_until $(($(e2e_record_pos) + E2E_RATE / 2)) 10000
about_by_mouse
e2e_check "the about box opens while playing" e2e_wait_window_count 2 5000
open_at=$(e2e_record_pos)
e2e_record_until $((open_at + E2E_RATE * 3)) 10000 || e2e_abort "the recording stalled"
quiet=0
for ((second = 0; second < 3; second++)); do
  peak=$(e2e_peak $((open_at + second * E2E_RATE)) "$E2E_RATE")
  e2e_log "peak level in second $((second + 1)) under the about box: $peak"
  ((peak < E2E_SOUND_LEVEL)) && quiet=1
done
e2e_check "the music plays on for 3 s under the open about box" test $quiet -eq 0
e2e_dismiss_box
e2e_check "Return closes the about box" e2e_wait_window_count 1 5000
e2e_click_named stop
e2e_check "stop still works afterwards: the farewell box appears" e2e_wait_window_count 2 5000
farewell_size=$(box_geometry)
e2e_log "farewell box ${farewell_size:-?}"
e2e_check "the farewell box is not the about box" test "$farewell_size" != "$about_size"
e2e_dismiss_box
e2e_check "Return closes the farewell box" e2e_wait_window_count 1 5000
e2e_check "the program is still running" e2e_running

e2e_finish
