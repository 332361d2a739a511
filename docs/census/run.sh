#!/bin/bash
# The census of numbered rules of 1 to 17 letters on the plane, one survey per length.
# A length runs in shards (SHARDS, default 1 up to 15 letters and 2^(L-12) above), each
# resumable from its own states: run it again after a stop and it goes on. A finished
# shard's states are deleted, since on the plane they take about 2 MB a capped rule, and
# the shards are merged into len-L.csv once all are done.
# Usage: run.sh [FIRST [LAST]]  (lengths; default 1 17). FORMICULA_CLI names the program,
# JOBS the jobs of each survey (default 2).
set -u
C=${FORMICULA_CLI:-formicula-cli}
for L in $(seq "${1:-1}" "${2:-17}"); do
  from=$((1 << (L - 1))); to=$(((1 << L) - 1))
  [ -s len-$L.csv ] && continue
  if [ -n "${SHARDS:-}" ]; then N=$SHARDS; elif [ "$L" -le 15 ]; then N=1; else N=$((1 << (L - 12))); fi
  for I in $(seq 1 "$N"); do
    out=shard-$L-$I-of-$N.csv
    [ -s "$out" ] && continue
    mkdir -p states/$L-$I-of-$N
    /usr/bin/time -f "%e s wall %U user %S sys %M KB" -o time-$L-$I.txt \
      "$C" survey --numbers $from-$to --plane --max-iterations 100000000 --jobs "${JOBS:-2}" \
        --shard "$I/$N" --state-dir states/$L-$I-of-$N --types --csv --quiet > part-$L.csv &&
      mv part-$L.csv "$out" || exit 1
    rm -rf states/$L-$I-of-$N
    echo "length $L shard $I/$N: $(cat time-$L-$I.txt)" >> log.txt
  done
  if [ "$N" -eq 1 ]; then
    mv shard-$L-1-of-1.csv len-$L.csv || exit 1
  else
    "$C" merge $(for I in $(seq 1 "$N"); do echo shard-$L-$I-of-$N.csv; done) > part-$L.csv &&
      mv part-$L.csv len-$L.csv || exit 1
  fi
done
