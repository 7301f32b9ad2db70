# Shared by the bench scripts: sourced after "build" and "script" are set.

# The programs the scripts run, from the build tree; a missing one stops the script.
gen="$build/tools/era_gen_tree"
loader="$build/tools/era_load_workstation"
era="$build/era"
for tool in "$gen" "$loader" "$era"; do
  [ -x "$tool" ] || { echo "$script: $tool is missing; build first (see docs/performance.md)" >&2; exit 2; }
done

# The median of the numbers on standard input.
median() { sort -g | awk '{v[NR]=$1} END {if (NR==0) print "nan"; else if (NR%2) print v[(NR+1)/2]; else printf "%.3f\n", (v[NR/2]+v[NR/2+1])/2}'; }
# a / b to two places ("nan" when b is not above zero).
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "nan" }'; }
# Items a second: count / seconds, whole ("nan" when the time is not above zero).
per_second() { awk -v n="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.0f", n / s; else print "nan" }'; }
# a - b to three places.
minus() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a - b }'; }
# Kilobytes as megabytes to one place.
megabytes() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

# Whether this build's `era scan` has an option (its --help lists it). The scripts measure what the
# build has and say "not available in this build" for the rest.
# (The help is read whole first: grep -q leaving a pipe early would fail it under pipefail.)
scan_has() {
  local help
  help=$("$era" scan --help 2>&1 || true)
  grep -qE -- "(^|[^a-z-])$1([^a-z-]|\$)" <<<"$help"
}

# "met" when the measured value is at most (le) or at least (ge) the limit, "missed" otherwise,
# "unknown" when there is no figure.
judge() {   # measured le|ge limit
  awk -v m="$1" -v op="$2" -v t="$3" 'BEGIN {
    if (m == "" || m == "nan" || m == "-") { print "unknown"; exit }
    ok = (op == "le") ? (m + 0 <= t + 0) : (m + 0 >= t + 0)
    print ok ? "met" : "missed" }'
}

# The figures beside their targets, gathered as the script goes and printed as one table at the
# end (target_line adds a row; target_table prints them).
targets=()
target_line() {   # figure measured target verdict
  targets+=("$(printf '  %-56s %-24s %-16s %s' "$1" "$2" "$3" "$4")")
}
target_table() {
  echo
  echo "targets (one run on a shared machine: timings move by 10 % and more from run to run)"
  printf '  %-56s %-24s %-16s %s\n' figure measured target verdict
  local row
  for row in "${targets[@]}"; do echo "$row"; done
}
