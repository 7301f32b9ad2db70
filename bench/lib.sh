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
