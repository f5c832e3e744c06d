#!/usr/bin/env bash
# The main window: it appears with its title, a fixed 300x300 content below
# the menu bar whose first menu opens from the bar's top strip; a screenshot is
# kept; at idle the wheel is hidden and stop does nothing. Under the GTK theme
# with a 15 pt desktop font every caption still reads whole (screenshot kept).
# Usage: window_test.sh <binary> <artifact folder>
source "$(dirname "$0")/e2e_lib.sh"

E2E_BINARY=$1
E2E_ARTIFACTS=$2

e2e_start_session
shown_from=$(e2e_now_ms)
e2e_start_app
e2e_wait_main_window || e2e_abort "no window \"$E2E_TITLE\" with a 300 wide content appeared"
e2e_log "the window is up $(($(e2e_now_ms) - shown_from)) ms after the start"
e2e_check "exactly one \"$E2E_TITLE\" window" test "$(e2e_window_count)" -eq 1

e2e_log "window ${E2E_GEOM_W}x${E2E_GEOM_H} at ${E2E_GEOM_X},${E2E_GEOM_Y}; menu bar ${E2E_BAR_H} px"
e2e_check "the window is 300 wide" test "$E2E_GEOM_W" -eq 300
e2e_check "a menu bar of 15 to 40 px sits above the 300 px content" \
  test "$E2E_BAR_H" -ge 15 -a "$E2E_BAR_H" -le 40
hints=$(xprop -id "$E2E_MAIN_WIN" WM_NORMAL_HINTS)
size="${E2E_GEOM_W} by ${E2E_GEOM_H}"
e2e_check "the size is fixed (minimum = maximum = $size)" \
  eval 'grep -q "minimum size: $size" <<<"$hints" && grep -q "maximum size: $size" <<<"$hints"'

mkdir -p "$E2E_ARTIFACTS"
shot="$E2E_ARTIFACTS/window.png"
rm -f "$shot"
import -window "$E2E_MAIN_WIN" "$shot" 2>/dev/null
e2e_check "screenshot saved as $shot" test -s "$shot"
e2e_check "the screenshot is ${E2E_GEOM_W}x${E2E_GEOM_H}" \
  test "$(identify -format '%wx%h' "$shot" 2>/dev/null)" = "${E2E_GEOM_W}x${E2E_GEOM_H}"

# Idle: the wheel's place is plain background.
e2e_grab "$E2E_DIR/wheel.png" 133 183 34 34
e2e_check "the progress wheel is hidden at idle" test "$(identify -format '%k' "$E2E_DIR/wheel.png")" -eq 1

# stop is disabled at idle: clicking it shows no box and plays nothing.
before=$(e2e_record_pos)
e2e_click_named stop
sleep 1
e2e_check "stop at idle opens no box" test "$(e2e_window_count)" -eq 1
peak=$(e2e_peak "$before" $((E2E_RATE * 9 / 10)))
e2e_check "stop at idle stays silent (peak $peak)" test "$peak" -le $E2E_SILENCE_LEVEL

# The first menu's title is at the left of the bar, above the content.
if e2e_open_first_menu; then
  e2e_check "the menu drops from the bar's bottom edge (menu top at $E2E_MENU_Y)" \
    test "$E2E_MENU_Y" -eq "$E2E_CONTENT_Y"
  xdotool key Escape
  start=$(e2e_now_ms)
  while [[ -n $(e2e_popup) ]] && (($(e2e_now_ms) - start < 3000)); do sleep 0.05; done
  e2e_check "Escape closes the menu" test -z "$(e2e_popup)"
else
  e2e_fail "clicking the menu bar opens no menu"
fi
e2e_check "the program is still running" e2e_running

# A clipped caption leaves ink on its box's edge: the right edge of every radio
# button, and the top and bottom of the one-line ones, must be plain.
plain_edge() { # x y w h, content coordinates
  e2e_grab "$E2E_DIR/edge.png" "$@"
  test "$(identify -format '%k' "$E2E_DIR/edge.png" 2>/dev/null)" = 1
}
default_bar_h=$E2E_BAR_H
e2e_stop_pid "$E2E_APP_PID"
mkdir -p "$XDG_CONFIG_HOME/gtk-3.0"
printf '[Settings]\ngtk-font-name=DejaVu Sans 15\n' >"$XDG_CONFIG_HOME/gtk-3.0/settings.ini"
e2e_start_app env QT_QPA_PLATFORMTHEME=gtk3
e2e_wait_main_window || e2e_abort "under the GTK theme the main window did not appear"
e2e_check "the 15 pt desktop font reaches the menu bar ($E2E_BAR_H px, $default_bar_h px before)" \
  test "$E2E_BAR_H" -gt "$default_bar_h"
shot="$E2E_ARTIFACTS/window-gtk-15pt.png"
rm -f "$shot"
import -window "$E2E_MAIN_WIN" "$shot" 2>/dev/null
e2e_check "screenshot saved as $shot" test -s "$shot"
for radio in "one shot:35 20 80 20" "looped:185 20 80 20" "original:185 75 80 20" \
  "one shot with ending:35 70 97 30"; do
  read -r x y w h <<<"${radio#*:}"
  e2e_check "\"${radio%%:*}\" is not cut at the right" plain_edge $((x + w - 2)) "$y" 2 "$h"
  if ((h == 20)); then
    e2e_check "\"${radio%%:*}\" is not cut at the top or bottom" \
      eval "plain_edge $((x + 20)) $y $((w - 20)) 1 && plain_edge $((x + 20)) $((y + h - 1)) $((w - 20)) 1"
  fi
done

e2e_finish
