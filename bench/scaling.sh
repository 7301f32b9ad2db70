#!/usr/bin/env bash
# How era grows with the tree: for generated trees of 10,000 and 100,000 entries (and, with
# --large, 1,000,000), the load time (era's own figures, wall and CPU, and the whole process), the CPU time and
# peak memory of the process (against the LDIF's size: target at most 3x at 100,000 entries and
# more), the time of an `era scan` of 1,000 users, and, where this build of era has
# `era scan --subtree`, the time and peak memory of a scan of the whole tree (load included, the
# summary written to a file). Medians of several runs (the whole-tree scan runs once per size);
# with --instructions also the instruction count of one load (valgrind's callgrind, which counts
# the same on a busy machine as on an idle one). Then, per step in size, how much each figure grew
# against the LDIF: "linear" (met) while it grows at most 1.2 times as fast. The load's time is
# judged by its CPU time, which the other work on a shared machine inflates less than the wall
# clock.
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
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    *) echo "scaling.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
script=scaling.sh
. "$root/bench/lib.sh"
[ "$instructions" = 0 ] || command -v valgrind >/dev/null || { echo "scaling.sh: --instructions needs valgrind" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/era-scaling.XXXXXX")
trap 'rm -rf "$work"' EXIT

subtree=0
scan_has --subtree && subtree=1
echo "scaling.sh: $runs runs per figure; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(free -g | awk '/^Mem:/ {print $2}') GiB;" \
  "the machine may be shared, so timings move from run to run"
[ "$subtree" = 1 ] || echo "whole-tree scan: --subtree not available in this build (columns whole_s and whole_MB show -)"
printf '%9s %9s %9s %10s %9s %9s %9s %9s %10s %9s %9s %14s\n' entries ldif_MB load_s load_cpu_s proc_s cpu_s peak_MB \
  peak/ldif scan1000_s whole_s whole_MB instructions
# One row per size; the step ratios are taken from these afterwards.
: >"$work/rows.txt"
for n in "${sizes[@]}"; do
  dir="$work/t$n"
  "$gen" --entries "$n" --out "$dir" >/dev/null
  ldif_bytes=$(stat -c %s "$dir/tree.ldif")
  : >"$work/load.txt"
  for ((r = 0; r < runs; r++)); do
    /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$loader" "$dir/workstation.json" >"$work/out.txt"
    own=$(sed -n 's/.* in \([0-9.]*\) s$/\1/p' "$work/out.txt")
    own_cpu=$(sed -n 's/^cpu \([0-9.]*\) s$/\1/p' "$work/out.txt")
    awk -v own="$own" -v oc="${own_cpu:--}" '{printf "%s %s %.2f %s %s\n", own, $1, $2 + $3, $4, oc}' "$work/time.txt" >>"$work/load.txt"
  done
  load=$(awk '{print $1}' "$work/load.txt" | median)
  proc=$(awk '{print $2}' "$work/load.txt" | median)
  cpu=$(awk '{print $3}' "$work/load.txt" | median)
  peak=$(awk '{print $4}' "$work/load.txt" | median)
  load_cpu=$(awk '{print $5}' "$work/load.txt" | median)
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
  whole="-" whole_mb="-"
  if [ "$subtree" = 1 ]; then
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$era" --workstation "$dir/workstation.json" scan --subtree '[Root]' \
      >"$work/whole-summary.txt"
    read -r whole whole_kb <"$work/time.txt"
    whole_mb=$(megabytes "$whole_kb")
  fi
  count="-"
  if [ "$instructions" = 1 ]; then
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$loader" "$dir/workstation.json" >/dev/null 2>"$work/cg.txt"
    count=$(sed -n 's/.*Collected : *\([0-9]*\).*/\1/p' "$work/cg.txt")
  fi
  peak_ratio=$(awk -v k="$peak" -v b="$ldif_bytes" 'BEGIN{printf "%.2f", k*1024/b}')
  printf '%9s %9.1f %9s %10s %9s %9s %9s %9s %10s %9s %9s %14s\n' "$n" "$(awk -v b="$ldif_bytes" 'BEGIN{print b/1e6}')" \
    "$load" "$load_cpu" "$proc" "$cpu" "$(megabytes "$peak")" "$peak_ratio" "$scan" "$whole" "$whole_mb" "$count"
  echo "$n $ldif_bytes $load $load_cpu $peak $scan $whole $whole_mb" >>"$work/rows.txt"
  if [ "$n" -ge 100000 ]; then
    target_line "peak memory of the load / LDIF, $n entries" "${peak_ratio}x" "<= 3x" "$(judge "$peak_ratio" le 3)"
  fi
  if [ "$n" -eq 100000 ]; then
    if [ "$subtree" = 1 ]; then
      target_line "whole tree, --subtree '[Root]', 100000 entries" "$whole s" "<= 15 s" "$(judge "$whole" le 15)"
    else
      target_line "whole tree, --subtree '[Root]', 100000 entries" "-" "<= 15 s" "not available in this build"
    fi
  fi
  rm -rf "$dir"
done

# Growth per step in size: each figure's ratio beside the LDIF's. A figure grows linearly (met)
# while its ratio is at most 1.2 times the LDIF's; fixed costs make small trees relatively dear,
# so a figure may well grow slower than the data.
echo
echo "growth per step (ratio of the bigger tree's figure to the smaller's; linear: at most 1.2 x the LDIF's ratio)"
printf '  %-20s %9s %9s %9s %9s %9s %9s\n' step ldif load load_cpu peak whole_s whole_MB
mapfile -t rows <"$work/rows.txt"
for ((i = 1; i < ${#rows[@]}; i++)); do
  read -r n0 b0 l0 c0 p0 _ w0 m0 <<<"${rows[i - 1]}"
  read -r n1 b1 l1 c1 p1 _ w1 m1 <<<"${rows[i]}"
  grown() { [ "$1" = - ] || [ "$2" = - ] && echo - || ratio "$2" "$1"; }
  lr=$(ratio "$b1" "$b0")
  printf '  %-20s %9s %9s %9s %9s %9s %9s\n' "$n0 -> $n1" "$lr" "$(grown "$l0" "$l1")" "$(grown "$c0" "$c1")" \
    "$(grown "$p0" "$p1")" "$(grown "$w0" "$w1")" "$(grown "$m0" "$m1")"
  linear() {   # what figure-ratio
    if [ "$2" = - ]; then
      target_line "$1 grows linearly, $n0 -> $n1" "-" "<= 1.2 x LDIF" "not available in this build"
    else
      target_line "$1 grows linearly, $n0 -> $n1" "${2}x (LDIF ${lr}x)" "<= 1.2 x LDIF" \
        "$(judge "$2" le "$(awk -v r="$lr" 'BEGIN{print 1.2 * r}')")"
    fi
  }
  linear "load CPU time" "$(grown "$c0" "$c1")"
  linear "load peak memory" "$(grown "$p0" "$p1")"
  if [ "$subtree" = 1 ]; then
    linear "whole-tree scan time" "$(grown "$w0" "$w1")"
    linear "whole-tree scan memory" "$(grown "$m0" "$m1")"
  else
    linear "whole-tree scan time" -
  fi
done
target_table
