#!/usr/bin/env bash
# Every benchmark but the soaks, one after the other (about 17 minutes); the output is what
# bench/README.md's table is made from.
set -euo pipefail
here=$(dirname "$0")
"$here/stop_and_start.sh"
SKIP_BUILD=1 "$here/startup_xvfb.sh"
SKIP_BUILD=1 "$here/cpu_vs_midi_player.sh"
SKIP_BUILD=1 "$here/spin_compare.sh"
SKIP_BUILD=1 "$here/under_load.sh"
SKIP_BUILD=1 "$here/level.sh"
SKIP_BUILD=1 "$here/onset_timing.sh"
