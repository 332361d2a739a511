#!/bin/bash
# Runs lengths again from their states, for rows the program now gives otherwise: a
# run's ended state is taken as it stands, so the states of the rows that ended as
# `memory` go first, and those rows run anew; every other row comes from its state, or
# runs again where no state was kept (highways), now with its type.
# Usage: again.sh FIRST [LAST]  (writes len-L.csv over the old one, kept as old-L.csv)
set -u
C=${FORMICULA_CLI:-formicula-cli}
for L in $(seq "$1" "${2:-$1}"); do
  from=$((1 << (L - 1))); to=$(((1 << L) - 1))
  [ -s len-$L.csv ] || { echo "again.sh: no len-$L.csv" >&2; exit 1; }
  python3 - len-$L.csv states/$L <<'PY' || exit 1
import csv, os, sys
mirror = str.maketrans('LR', 'RL')
for row in csv.DictReader(open(sys.argv[1])):
    if row['outcome'] == 'memory':
        for rule in (row['rule'], row['rule'].translate(mirror)):
            path = os.path.join(sys.argv[2], rule + '.state')
            if os.path.exists(path):
                os.remove(path)
PY
  /usr/bin/time -f "%e s wall %U user %S sys %M KB" -o again-$L.txt \
    "$C" survey --numbers $from-$to --plane --max-iterations 100000000 --jobs "${JOBS:-2}" \
      --state-dir states/$L --types --csv --quiet > part-$L.csv &&
    mv len-$L.csv old-$L.csv && mv part-$L.csv len-$L.csv || exit 1
  echo "length $L again: $(cat again-$L.txt)" >> log.txt
done
