#!/usr/bin/env bash
# Start and stop as clicks: from the start click to the first note, and from
# the stop click to the last note release, over a few runs that stop at
# different moments. About 30 seconds.
source "$(dirname "$0")/common.sh"
build
start_sound_server
for stop in 2.0 2.3 3.1 4.45 5.2; do
  for mode in looped one-shot; do
    "$PERFORM" --mode "$mode" --clock real --sound fluidsynth --no-csv --stop-after "$stop" \
      2>"$OUT_DIR/stop.err" >/dev/null
    line=$(grep -v '^[0-9]' "$OUT_DIR/stop.err" | tail -1)
    printf '%-9s stop after %-5s first_note_ms=%s stream_open_ms=%s stop_ms=%s note_ons_after_stop=%s sounding_at_end=%s\n' \
      "$mode" "$stop" "$(field <(echo "$line") first_note_ms)" "$(field <(echo "$line") stream_open_ms)" "$(field <(echo "$line") stop_ms)" \
      "$(field <(echo "$line") note_ons_after_stop)" "$(field <(echo "$line") sounding_at_end)"
  done
done
