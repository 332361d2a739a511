#!/bin/bash
# The rows of lengths FIRST to LAST that ended as `memory` run again, one rule at a time,
# with more memory (MEMORY, default 12G): a highway that runs off diagonally grows the
# stored plane as a square, and may be proven once its copies fit.
# Usage: memory.sh FIRST [LAST]  (writes memory-L.csv: the survey rows of those rules)
set -u
C=${FORMICULA_CLI:-formicula-cli}
for L in $(seq "$1" "${2:-$1}"); do
  [ -s len-$L.csv ] || { echo "memory.sh: no len-$L.csv" >&2; exit 1; }
  numbers=$(python3 -c '
import csv, sys
print(" ".join(r["number"] for r in csv.DictReader(open(sys.argv[1])) if r["outcome"] == "memory"))
' len-$L.csv) || exit 1
  : > part-memory-$L.csv
  for K in $numbers; do
    "$C" survey --numbers "$K" --plane --max-iterations 100000000 --max-memory "${MEMORY:-12G}" \
      --jobs 1 --types --csv --quiet > one.csv || exit 1
    if [ -s part-memory-$L.csv ]; then tail -n +2 one.csv; else cat one.csv; fi >> part-memory-$L.csv
  done
  mv part-memory-$L.csv memory-$L.csv && rm -f one.csv
done
