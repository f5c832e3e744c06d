#!/usr/bin/env bash
# The waits of "original" with a yield that only spins (spin_wait), with the
# same FluidSynth sink, for the table beside perform's figures. About 2 minutes.
source "$(dirname "$0")/common.sh"
build
start_sound_server
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$SPIN_WAIT" --mode original --sound fluidsynth --no-csv
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
