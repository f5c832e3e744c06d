#!/usr/bin/env bash
# The level of the music: every mode on the virtual clock (shuffled modes with
# SEEDS seeds, looped for LOOPED_SECONDS), rendered offline through the
# program's synthesiser settings. Per run: peak and RMS in dBFS, clipped
# samples, the loudest bar; then each bar's highest peak over all runs (its
# span holds the tail of whatever bar came before). About 1.5 minutes.
source "$(dirname "$0")/common.sh"
SEEDS=${SEEDS:-10}
LOOPED_SECONDS=${LOOPED_SECONDS:-600}
build

measure() { # name, perform arguments...
  local name=$1
  shift
  "$PERFORM" "$@" --clock virtual --sound record --no-csv --level "$OUT_DIR/level-$name.csv" \
    2>"$OUT_DIR/level-$name.err" >/dev/null
  local line
  line=$(tail -1 "$OUT_DIR/level-$name.err")
  printf '%-28s peak_dbfs=%-7s rms_dbfs=%-7s clipped=%-3s loudest_bar=%s\n' "$name" \
    "$(field <(echo "$line") peak_dbfs)" "$(field <(echo "$line") rms_dbfs)" \
    "$(field <(echo "$line") clipped)" "$(field <(echo "$line") loudest_bar)"
}

rm -f "$OUT_DIR"/level-*.csv
measure original --mode original
for seed in $(seq "$SEEDS"); do
  measure "one-shot-with-ending-$seed" --mode one-shot-with-ending --seed "$seed"
  measure "one-shot-$seed" --mode one-shot --seed "$seed"
  measure "looped-$seed" --mode looped --seed "$seed" --stop-after "$LOOPED_SECONDS"
done

echo "each bar's highest peak and RMS over all runs (dBFS), loudest first:"
cat "$OUT_DIR"/level-*.csv | awk -F, '
  !($1 in peak) || $3 > peak[$1] {peak[$1] = $3}
  !($1 in rms) || $4 > rms[$1] {rms[$1] = $4}
  {clipped[$1] += $5}
  END {for (bar in peak) printf "%-22s peak %7.2f  rms %7.2f  clipped %d\n", bar, peak[bar], rms[bar], clipped[bar]}' |
  sort -k3 -g -r
