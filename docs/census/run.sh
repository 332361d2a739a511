#!/bin/bash
# The census of numbered rules of 1 to 17 letters on the plane, one survey per length,
# each resumable from its states: run it again after a stop and it goes on.
# Usage: run.sh [FIRST [LAST]]  (lengths; default 1 17). FORMICULA_CLI names the program.
set -u
C=${FORMICULA_CLI:-formicula-cli}
for L in $(seq "${1:-1}" "${2:-17}"); do
  from=$((1 << (L - 1))); to=$(((1 << L) - 1))
  [ -s len-$L.csv ] && continue
  mkdir -p states/$L
  /usr/bin/time -f "%e s wall %U user %S sys %M KB" -o time-$L.txt \
    "$C" survey --numbers $from-$to --plane --max-iterations 100000000 --jobs 2 \
      --state-dir states/$L --types --csv --quiet > part-$L.csv &&
    mv part-$L.csv len-$L.csv || exit 1
  echo "length $L: $(cat time-$L.txt)" >> log.txt
done
