#!/usr/bin/env bash
# Every benchmark, one after the other (about 12 minutes); the output is what
# bench/README.md's table is made from.
set -euo pipefail
here=$(dirname "$0")
"$here/stop_and_start.sh"
SKIP_BUILD=1 "$here/startup_xvfb.sh"
SKIP_BUILD=1 "$here/cpu_vs_midi_player.sh"
SKIP_BUILD=1 "$here/spin_compare.sh"
SKIP_BUILD=1 "$here/under_load.sh"
SKIP_BUILD=1 "$here/level.sh"
