#!/usr/bin/env bash
# What the program does when its surroundings fail.
#   no-audio      no sound server: one clear line on stderr at start, the window
#                 works; a server started later is used by the next start
#   no-soundfont  the SoundFont folder is empty: a message naming the package, exit status 1
#   unloadable-soundfont
#                 an empty default-GM.sf2 and a damaged SoundFont beside a good one: the good
#                 one plays, nothing on stderr; only unloadable files: a box naming the default
#                 and why, one line on stderr, exit status 1
#   no-display    DISPLAY unset (with or without WAYLAND_DISPLAY), or naming a display that
#                 cannot be opened (nobody serves it, an unknown host, a screen the server
#                 lacks): one line, exit status 1
#   display-lost  the X server dies while "looped" plays: only Qt's line on stderr, exit
#                 status 1 within 1 s, no abort, and the music fades out as after a quit
# Usage: faults_test.sh <binary> <artifact folder> <case>
source "$(dirname "$0")/e2e_lib.sh"

E2E_BINARY=$1
E2E_ARTIFACTS=$2
CASE=$3
readonly SKIP=77

no_audio() {
  e2e_start_x
  # Nothing serves the sound server's socket yet.
  e2e_start_app
  e2e_wait_main_window || { e2e_show_stderr; e2e_abort "the main window did not appear"; }

  e2e_click_named start
  e2e_check "start is accepted: the progress wheel turns" e2e_wait_painted 133 183 34 34
  e2e_check "no box opens while playing silently" test "$(e2e_window_count)" -eq 1
  sleep 6  # long enough for notes to pile up, were they kept
  e2e_click_named stop
  e2e_check "stop shows the farewell box" e2e_wait_window_count 2 5000
  e2e_dismiss_box
  e2e_check "Return closes it" e2e_wait_window_count 1 5000
  e2e_show_stderr
  e2e_check "stderr says \"no usable audio device\" once" \
    test "$(grep -c 'no usable audio device' "$E2E_APP_ERR")" -eq 1
  e2e_check "and says nothing else" test "$(wc -l <"$E2E_APP_ERR")" -eq 1
  e2e_check "the program is still running" e2e_running

  # A server that starts later is found by the next start.
  e2e_start_sound_server
  e2e_record_start
  e2e_start_and_listen
  e2e_check "with a sound server started since, the next start sounds" test "$E2E_ONSET" -ge 0
  # What the silent run played must not burst out now: -3 dBFS at most.
  local peak
  peak=$(e2e_peak "$E2E_CLICK_POS" $((E2E_RATE * 2)))
  e2e_check "it begins at the normal level (peak $peak of its first 2 s)" test "$peak" -le 23197
  e2e_click_named stop
  e2e_check "stop shows the farewell box" e2e_wait_window_count 2 5000
  e2e_show_stderr
  e2e_check "the line is not repeated" test "$(grep -c 'no usable audio device' "$E2E_APP_ERR")" -eq 1
  e2e_check "and one line says the sound is back" test "$(grep -c 'sound is back' "$E2E_APP_ERR")" -eq 1
  e2e_check "and nothing else" test "$(wc -l <"$E2E_APP_ERR")" -eq 2
}

readonly SF2_FOLDER=/usr/share/sounds/sf2
SF2_NS=()

# A mount namespace of the program's own (as root, or else in a user
# namespace) shows it another SoundFont folder; skips the test where there is none.
find_mount_namespace() {
  local way
  for way in "unshare -m --propagation private" "unshare -r -m --propagation private"; do
    if $way sh -c "mount -t tmpfs none $SF2_FOLDER" 2>/dev/null; then
      read -ra SF2_NS <<<"$way"
      return 0
    fi
  done
  echo "cannot hide $SF2_FOLDER here (no mount namespace): skipped"
  exit $SKIP
}

# Starts the program with a folder of our own in place of the SoundFont
# folder. A file named by the second argument (an empty stand-in in that
# folder) shows the system's real SoundFont.
start_app_with_soundfonts() {
  local folder=$1 good=${2:-}
  E2E_APP_RUNS=$((E2E_APP_RUNS + 1))
  E2E_APP_ERR="$E2E_DIR/app$E2E_APP_RUNS.err"
  # shellcheck disable=SC2016
  "${SF2_NS[@]}" sh -c '
    if [ -n "$3" ]; then mount --bind "$4" "$1/$3" || exit 125; fi
    mount --rbind "$1" "$2" && exec "$0"' \
    "$E2E_BINARY" "$folder" "$SF2_FOLDER" "$good" "$(readlink -f "$SF2_FOLDER/default-GM.sf2")" \
    >/dev/null 2>"$E2E_APP_ERR" &
  E2E_APP_PID=$!
}

# The program's stderr is one line, matching the pattern (grep options first).
stderr_is_one_line() { test "$(wc -l <"$E2E_APP_ERR")" -eq 1 && grep -q "$@" "$E2E_APP_ERR"; }

# Waits until stderr holds the pattern or the program has ended (10 s at most).
wait_stderr() {
  local start
  start=$(e2e_now_ms)
  until grep -q "$1" "$E2E_APP_ERR" || e2e_pid_ended "$E2E_APP_PID"; do
    (($(e2e_now_ms) - start > 10000)) && return 1
    sleep 0.05
  done
}

# A box of the program's: any of its windows but the 300-wide main window.
wait_box() {
  local start win
  start=$(e2e_now_ms)
  while :; do
    for win in $(e2e_windows); do
      e2e_geometry "$win" && ((E2E_GEOM_W != 300)) && { E2E_BOX=$win; return 0; }
    done
    (($(e2e_now_ms) - start > 10000)) && return 1
    e2e_pid_ended "$E2E_APP_PID" && return 1
    sleep 0.05
  done
}

# The box is there and Return closes it; the program then ends with status 1.
expect_box_then_status_1() {
  if e2e_check "a box is shown" wait_box; then
    e2e_geometry "$E2E_BOX"
    e2e_log "a box of ${E2E_GEOM_W}x${E2E_GEOM_H} is shown"
    xdotool windowfocus --sync "$E2E_BOX" 2>/dev/null
    xdotool key Return
  fi
  e2e_wait_exit 5000
  e2e_check "the program ends (status $E2E_EXIT_STATUS)" test "$E2E_EXIT_MS" -ge 0
  e2e_check "with exit status 1" test "$E2E_EXIT_STATUS" -eq 1
}

no_soundfont() {
  find_mount_namespace
  e2e_start_x
  e2e_start_sound_server
  mkdir "$E2E_DIR/sf2-none"
  start_app_with_soundfonts "$E2E_DIR/sf2-none"
  # The message goes to stderr and, a display being there, into a box that
  # waits for the user.
  wait_stderr fluid-soundfont-gm
  e2e_show_stderr
  e2e_check "stderr names the package fluid-soundfont-gm in one line" \
    stderr_is_one_line fluid-soundfont-gm
  expect_box_then_status_1
  # The folder was hidden only from the program.
  e2e_check "the real folder is untouched" test -n "$(ls $SF2_FOLDER)"
}

unloadable_soundfont() {
  find_mount_namespace
  E2E_RECORDING_NAME=fault-unloadable-soundfont
  e2e_start_x
  e2e_start_sound_server
  e2e_record_start
  # Tried in this order: the empty default, a damaged file, the good one.
  local folder=$E2E_DIR/sf2-fallback
  mkdir "$folder"
  : >"$folder/default-GM.sf2"
  head -c 65536 "$SF2_FOLDER/default-GM.sf2" >"$folder/Broken.sf2"
  : >"$folder/FluidR3_GM.sf2"
  start_app_with_soundfonts "$folder" FluidR3_GM.sf2
  e2e_wait_main_window || { e2e_show_stderr; e2e_abort "the main window did not appear"; }
  e2e_start_and_listen
  e2e_check "beside an empty default and a damaged file, the good SoundFont plays" \
    test "$E2E_ONSET" -ge 0
  e2e_click_named stop
  e2e_check "stop shows the farewell box" e2e_wait_window_count 2 5000
  e2e_dismiss_box
  e2e_show_stderr
  e2e_check "nothing on stderr" test ! -s "$E2E_APP_ERR"
  e2e_stop_pid "$E2E_APP_PID"

  folder=$E2E_DIR/sf2-unloadable
  mkdir "$folder"
  : >"$folder/default-GM.sf2"
  cp "$E2E_DIR/sf2-fallback/Broken.sf2" "$folder/"
  start_app_with_soundfonts "$folder"
  wait_stderr default-GM.sf2
  e2e_show_stderr
  e2e_check "with no SoundFont that loads, one line on stderr names the default and why" \
    stderr_is_one_line 'default-GM.sf2.*empty'
  expect_box_then_status_1
}

no_display() {
  e2e_start_sound_server
  # The window needs X: a Wayland desktop gives it one through XWayland, which sets DISPLAY.
  expect_no_display env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM
  expect_no_display env -u DISPLAY -u QT_QPA_PLATFORM WAYLAND_DISPLAY=wayland-0
  expect_no_display env -u DISPLAY QT_QPA_PLATFORM=xcb WAYLAND_DISPLAY=wayland-0

  # A display number that nobody serves: the first without an X socket.
  local n=90
  while [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]]; do n=$((n + 1)); done
  local display
  for display in ":$n" "unix:$n" "localhost:$n" "nohost.invalid:0"; do
    expect_display_refused "$display"
  done
  # A served display, asked for a screen it does not have.
  e2e_start_x
  expect_display_refused "$DISPLAY.7"
}

# Without DISPLAY (the command sets the environment): one line saying so, status 1.
expect_no_display() {
  e2e_start_app "$@"
  e2e_wait_exit 10000 || e2e_stop_pid "$E2E_APP_PID"
  e2e_show_stderr
  e2e_check "$*: exit status 1 (got $E2E_EXIT_STATUS)" test "$E2E_EXIT_STATUS" -eq 1
  e2e_check "one line on stderr says DISPLAY is not set" \
    stderr_is_one_line 'DISPLAY is not set'
}

# The program names the display in one line on stderr and ends with status 1.
expect_display_refused() {
  local display=$1
  e2e_start_app env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="$display"
  e2e_wait_exit 10000 || e2e_stop_pid "$E2E_APP_PID"
  e2e_show_stderr
  e2e_check "with DISPLAY=$display: exit status 1 (got $E2E_EXIT_STATUS)" test "$E2E_EXIT_STATUS" -eq 1
  e2e_check "one line on stderr names the display $display" \
    stderr_is_one_line -F "$display"
}

display_lost() {
  local start key_at exit_pos
  e2e_start_x
  e2e_start_sound_server
  e2e_record_start
  e2e_start_app
  e2e_wait_main_window || { e2e_fail "the main window did not appear"; e2e_stop_pid "$E2E_APP_PID"; return; }
  e2e_click_named looped
  sleep 0.2
  e2e_start_and_listen
  e2e_check "looped sounds first" test "$E2E_ONSET" -ge 0
  key_at=$(e2e_record_pos)
  start=$(e2e_now_ms)
  kill "$E2E_PIDS_X"
  if ! e2e_wait_exit 5000 "$start"; then
    e2e_fail "the program did not end within 5 s of losing its display"
    e2e_stop_pid "$E2E_APP_PID"
    return
  fi
  exit_pos=$(e2e_record_pos)
  e2e_show_stderr
  e2e_log "ended $E2E_EXIT_MS ms after the X server was killed, exit status $E2E_EXIT_STATUS"
  e2e_check "ends within 1 s" test "$E2E_EXIT_MS" -le 1000
  e2e_check "exit status 1, not an abort (got $E2E_EXIT_STATUS)" test "$E2E_EXIT_STATUS" -eq 1
  e2e_check "stderr is Qt's one line about the broken connection" \
    stderr_is_one_line 'X11 connection broke'
  e2e_check_faded_out "display lost" "$key_at" "$exit_pos"
}

e2e_init
case $CASE in
  no-audio) no_audio ;;
  no-soundfont) no_soundfont ;;
  unloadable-soundfont) unloadable_soundfont ;;
  no-display) no_display ;;
  display-lost) display_lost ;;
  *) echo "unknown case: $CASE"; exit 2 ;;
esac
e2e_finish
