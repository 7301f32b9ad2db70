#!/usr/bin/env bash
# How era grows with the tree: for generated trees of 10,000 and 100,000 entries (and, with
# --large, 1,000,000), the load time (era's own figure, and the whole process), the CPU time and
# peak memory of the process, and the time of an `era scan` of 1,000 objects. Medians of several
# runs; with --instructions also the instruction count of one load (valgrind's callgrind, which
# counts the same on a busy machine as on an idle one).
#
#   bench/scaling.sh [--large] [--runs R] [--instructions] [--build DIR]
#
# The million-entry tree takes some 340 MB of disk, 2 GB of memory and a minute per run; callgrind
# on it takes some ten minutes.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
runs=3
sizes=(10000 100000)
instructions=0
while [ $# -gt 0 ]; do
  case "$1" in
    --large) sizes+=(1000000); shift ;;
    --runs) runs=$2; shift 2 ;;
    --instructions) instructions=1; shift ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) echo "scaling.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
script=scaling.sh
. "$root/bench/lib.sh"
[ "$instructions" = 0 ] || command -v valgrind >/dev/null || { echo "scaling.sh: --instructions needs valgrind" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/era-scaling.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "scaling.sh: $runs runs per figure; load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%9s %9s %9s %9s %9s %9s %8s %10s %14s\n' entries ldif_MB load_s proc_s cpu_s peak_MB peak/ldif scan1000_s instructions
for n in "${sizes[@]}"; do
  dir="$work/t$n"
  "$gen" --entries "$n" --out "$dir" >/dev/null
  ldif_bytes=$(stat -c %s "$dir/tree.ldif")
  : >"$work/load.txt"
  for ((r = 0; r < runs; r++)); do
    /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$loader" "$dir/workstation.json" >"$work/out.txt"
    own=$(sed -n 's/.* in \([0-9.]*\) s$/\1/p' "$work/out.txt")
    awk -v own="$own" '{printf "%s %s %.2f %s\n", own, $1, $2 + $3, $4}' "$work/time.txt" >>"$work/load.txt"
  done
  load=$(awk '{print $1}' "$work/load.txt" | median)
  proc=$(awk '{print $2}' "$work/load.txt" | median)
  cpu=$(awk '{print $3}' "$work/load.txt" | median)
  peak=$(awk '{print $4}' "$work/load.txt" | median)
  # 1,000 users spread over the file, scanned in one run of the era command (the load included).
  total=$(grep -c '^dn: cn=user' "$dir/tree.ldif")
  step=$(( total / 1000 )); [ "$step" -ge 1 ] || step=1
  mapfile -t names < <(grep '^dn: cn=user' "$dir/tree.ldif" | awk -v s="$step" '(NR - 1) % s == 0 && c < 1000 { sub(/^dn: /, ""); print; c++ }')
  : >"$work/scan.txt"
  for ((r = 0; r < runs; r++)); do
    /usr/bin/time -f "%e" -o "$work/time.txt" "$era" --workstation "$dir/workstation.json" scan "${names[@]}" >/dev/null
    cat "$work/time.txt" >>"$work/scan.txt"
  done
  scan=$(median <"$work/scan.txt")
  count="-"
  if [ "$instructions" = 1 ]; then
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$loader" "$dir/workstation.json" >/dev/null 2>"$work/cg.txt"
    count=$(sed -n 's/.*Collected : *\([0-9]*\).*/\1/p' "$work/cg.txt")
  fi
  printf '%9s %9.1f %9s %9s %9s %9.1f %8.2f %10s %14s\n' "$n" "$(awk -v b="$ldif_bytes" 'BEGIN{print b/1e6}')" \
    "$load" "$proc" "$cpu" "$(awk -v k="$peak" 'BEGIN{print k/1024}')" \
    "$(awk -v k="$peak" -v b="$ldif_bytes" 'BEGIN{print k*1024/b}')" "$scan" "$count"
  rm -rf "$dir"
done
