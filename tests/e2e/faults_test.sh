#!/usr/bin/env bash
# What the program does when its surroundings fail.
#   no-audio      no sound server: one clear line on stderr at start, the window
#                 works; a server started later is used by the next start
#   no-soundfont  the SoundFont folder is empty: a message naming the package, exit status 1
#   no-display    DISPLAY unset (with or without WAYLAND_DISPLAY), or naming a display that
#                 cannot be opened (nobody serves it, an unknown host, a screen the server
#                 lacks): one line, exit status 1
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
  e2e_start_pulse
  e2e_record_start
  e2e_start_and_listen
  e2e_check "with a sound server started since, the next start sounds" test "$E2E_ONSET" -ge 0
  e2e_click_named stop
  e2e_check "stop shows the farewell box" e2e_wait_window_count 2 5000
  e2e_show_stderr
  e2e_check "the line is not repeated" test "$(wc -l <"$E2E_APP_ERR")" -eq 1
}

# Runs the program with an empty tmpfs over the SoundFont folder, in a mount
# namespace of its own (as root, or else in a user namespace).
no_soundfont() {
  local ns=() way
  for way in "unshare -m --propagation private" "unshare -r -m --propagation private"; do
    if $way sh -c 'mount -t tmpfs none /usr/share/sounds/sf2' 2>/dev/null; then
      read -ra ns <<<"$way"
      break
    fi
  done
  if ((${#ns[@]} == 0)); then
    echo "cannot hide /usr/share/sounds/sf2 here (no mount namespace): skipped"
    exit $SKIP
  fi
  e2e_start_x
  e2e_start_pulse
  E2E_APP_RUNS=$((E2E_APP_RUNS + 1))
  E2E_APP_ERR="$E2E_DIR/app$E2E_APP_RUNS.err"
  "${ns[@]}" sh -c 'mount -t tmpfs none /usr/share/sounds/sf2 && exec "$0"' "$E2E_BINARY" \
    >/dev/null 2>"$E2E_APP_ERR" &
  E2E_APP_PID=$!

  # The message goes to stderr and, a display being there, into a box that
  # waits for the user.
  local start
  start=$(e2e_now_ms)
  until grep -q fluid-soundfont-gm "$E2E_APP_ERR" || e2e_pid_ended "$E2E_APP_PID"; do
    (($(e2e_now_ms) - start > 10000)) && break
    sleep 0.05
  done
  e2e_show_stderr
  e2e_check "stderr names the package fluid-soundfont-gm" grep -q fluid-soundfont-gm "$E2E_APP_ERR"
  if e2e_wait_window_count 1 5000; then
    local win
    win=$(e2e_windows | head -n 1)
    e2e_geometry "$win"
    e2e_log "a box of ${E2E_GEOM_W}x${E2E_GEOM_H} is shown"
    e2e_check "it is not the main window" test "$E2E_GEOM_W" -ne 300
    xdotool windowfocus --sync "$win" 2>/dev/null
    xdotool key Return
  fi
  e2e_wait_exit 5000
  e2e_check "the program ends (status $E2E_EXIT_STATUS)" test "$E2E_EXIT_MS" -ge 0
  e2e_check "with exit status 1" test "$E2E_EXIT_STATUS" -eq 1
  # The folder was hidden only from the program.
  e2e_check "the real folder is untouched" test -n "$(ls /usr/share/sounds/sf2)"
}

no_display() {
  e2e_start_pulse
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

# The program's stderr is one line, matching the pattern (grep options first).
stderr_is_one_line() { test "$(wc -l <"$E2E_APP_ERR")" -eq 1 && grep -q "$@" "$E2E_APP_ERR"; }

# Without DISPLAY (the command sets the environment): one line saying so, status 1.
expect_no_display() {
  e2e_start_app "$@"
  e2e_wait_exit 10000 || e2e_stop_pid "$E2E_APP_PID"
  e2e_show_stderr
  e2e_check "$*: exit status 1 (got $E2E_EXIT_STATUS)" test "$E2E_EXIT_STATUS" -eq 1
  e2e_check "one line on stderr says DISPLAY is not set" stderr_is_one_line 'DISPLAY is not set'
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

e2e_init
case $CASE in
  no-audio) no_audio ;;
  no-soundfont) no_soundfont ;;
  no-display) no_display ;;
  *) echo "unknown case: $CASE"; exit 2 ;;
esac
e2e_finish
