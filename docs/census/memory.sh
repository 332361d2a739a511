#!/bin/bash
# The rows of lengths FIRST to LAST that ended as `memory` run again, one rule at a time,
# with MEMORY (default 1G). With 1G, the census's own limit, a row is what the survey
# gives now (its last round runs such rows alone with all the memory), and replaces the
# old row in len-L.csv (kept as old-L.csv). With more, a highway that runs off diagonally,
# and so grows the stored plane as a square, may be proven once its copies fit: those rows
# only go to memory-L.csv.
# Usage: memory.sh FIRST [LAST]  (writes memory-L.csv: the survey rows of those rules)
set -u
C=${FORMICULA_CLI:-formicula-cli}
M=${MEMORY:-1G}
for L in $(seq "$1" "${2:-$1}"); do
  [ -s len-$L.csv ] || { echo "memory.sh: no len-$L.csv" >&2; exit 1; }
  numbers=$(python3 -c '
import csv, sys
print(" ".join(r["number"] for r in csv.DictReader(open(sys.argv[1])) if r["outcome"] == "memory"))
' len-$L.csv) || exit 1
  : > part-memory-$L.csv
  for K in $numbers; do
    "$C" survey --numbers "$K" --plane --max-iterations 100000000 --max-memory "$M" \
      --jobs 1 --types --csv --quiet > one.csv || exit 1
    if [ -s part-memory-$L.csv ]; then tail -n +2 one.csv; else cat one.csv; fi >> part-memory-$L.csv
  done
  mv part-memory-$L.csv memory-$L.csv && rm -f one.csv
  [ "$M" = 1G ] && [ -n "$numbers" ] || continue
  # A rule's own columns come from its run again, the survey's (from letters_from on)
  # stay, and the rows go in the survey's order: by outcome, then longest run first.
  python3 - len-$L.csv memory-$L.csv part-$L.csv <<'PY' || exit 1
import csv, sys
rows = list(csv.reader(open(sys.argv[1], newline='')))
head, again = rows[0], {r[0]: r for r in list(csv.reader(open(sys.argv[2], newline='')))[1:]}
own = head.index('letters_from')
with open(sys.argv[3], 'w', newline='') as out:
    w = csv.writer(out, lineterminator='\n')
    w.writerow(head)
    rows = [again[r[0]][:own] + r[own:] if r[0] in again else r for r in rows[1:]]
    rank = {o: i for i, o in enumerate(['finished', 'never', 'cap', 'memory', 'highway'])}
    at = {c: head.index(c) for c in ('rule', 'outcome', 'iterations')}
    rows.sort(key=lambda r: (rank[r[at['outcome']]], -int(r[at['iterations']]),
                             len(r[at['rule']]), r[at['rule']]))
    w.writerows(rows)
PY
  mv len-$L.csv old-$L.csv && mv part-$L.csv len-$L.csv || exit 1
done
