#!/usr/bin/env bash
# Compares era with the tools an administrator would otherwise reach for, on one generated LDIF,
# and prints each figure beside its target:
#   1. loading it: era's embedded directory against `slapadd -q -s` into an mdb database (time,
#      and era's peak memory against the LDIF's size);
#   2. `era scan` of the same users on the embedded directory, without options (one job) and with
#      --resolve-containers: analyses a second;
#   3. the whole tree, `era scan --subtree '[Root]'` with the summary written to a file (load
#      included), and the same output with --jobs 1 and --jobs 2;
#   4. through the LDAP backend (client/ldap/) against slapd on loopback: the same scan, and the
#      round trips per analysed object, cold and warm, on the sample tree (examples/acme) and on
#      the generated one (tools/era_round_trips).
# Timed figures are medians of several runs (wall clock and CPU time, peak memory); each pair is
# printed with its ratio. A scan option this build of era does not have (its `era scan --help`
# does not list it) is reported as "not available in this build".
#
#   bench/compare.sh [--entries N] [--runs R] [--objects K] [--build DIR]
#
# Defaults: 100,000 entries, 5 runs, 1,000 objects, the build tree build/bench (any build with
# era, tools/era_gen_tree, tools/era_load_workstation and tools/era_round_trips will do). Needs
# slapd and ldap-utils.
#
# slapd gets the eDirectory schema of the LDAP tests (tests/data/ldap/edir.schema) and one mdb
# database with the empty suffix, which holds the export's tree root (t=...) beside the
# organisation, as the LDAP tests set it up. slapadd runs with -s (no schema checking) as well as
# -q: an eDirectory export carries "ACL" on every container, which no class of OpenLDAP's schema
# allows, and era checks no schema either. The databases slapd serves are loaded apart, untimed
# and without -q, whose quick mode merges the values of an attribute whose lines are interleaved
# with another's wrongly.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
entries=100000
runs=5
objects=1000
build="$root/build/bench"
while [ $# -gt 0 ]; do
  case "$1" in
    --entries) entries=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --objects) objects=$2; shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    -h|--help) sed -n '2,29p' "$0"; exit 0 ;;
    *) echo "compare.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

script=compare.sh
. "$root/bench/lib.sh"
for tool in slapadd slapd ldapsearch /usr/bin/time; do
  command -v "$tool" >/dev/null 2>&1 || [ -x "/usr/sbin/$tool" ] ||
    { echo "compare.sh: $tool is missing (Debian packages slapd, ldap-utils, time)" >&2; exit 2; }
done
export PATH="$PATH:/usr/sbin"
round_trips="$build/tools/era_round_trips"

work=$(mktemp -d "${TMPDIR:-/tmp}/era-compare.XXXXXX")
slapd_pids=()
stop_slapd() {   # pid
  if kill -0 "$1" 2>/dev/null; then
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
  fi
}
cleanup() {
  local pid
  for pid in "${slapd_pids[@]}"; do stop_slapd "$pid"; done
  rm -rf "$work"
}
trap cleanup EXIT

# Runs a command once under /usr/bin/time; appends "wall cpu peakKB" to the named file.
measure() {
  local out=$1; shift
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >"$work/stdout.txt" 2>"$work/stderr.txt" ||
    { echo "compare.sh: failed: $*" >&2; cat "$work/stderr.txt" >&2; exit 1; }
  awk '{printf "%s %.2f %s\n", $1, $2 + $3, $4}' "$work/time.txt" >>"$out"
}
column_median() { awk -v c="$2" '{print $c}' "$1" | median; }
spread() { awk -v c="$2" '{print $c}' "$1" | sort -g | awk '{v[NR]=$1} END {printf "%s..%s", v[1], v[NR]}'; }
# The targets of the whole tree and of memory are set for trees of 100,000 entries and more.
at_size() { [ "$entries" -ge 100000 ] && judge "$@" || echo "(at 100k)"; }

echo "compare.sh: $entries entries, $runs runs each, scans of $objects objects; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(free -g | awk '/^Mem:/ {print $2}') GiB;" \
  "the machine may be shared, so timings move from run to run"
"$gen" --entries "$entries" --out "$work/tree" >/dev/null
ldif="$work/tree/tree.ldif"
ws="$work/tree/workstation.json"
ldif_bytes=$(stat -c %s "$ldif")
printf 'LDIF: %s (%.1f MB)\n' "$ldif" "$(awk -v b="$ldif_bytes" 'BEGIN{print b/1e6}')"

# --- 1. Loading
for ((r = 0; r < runs; r++)); do
  measure "$work/era_load.txt" "$loader" "$ws"
  sed -n 's/.* in \([0-9.]*\) s$/\1/p' "$work/stdout.txt" >>"$work/era_own.txt"   # the load alone, as era times it
  sed -n 's/^cpu \([0-9.]*\) s$/\1/p' "$work/stdout.txt" >>"$work/era_own_cpu.txt"
done

# slapadd reads records only: an export's version line is left out (outside the timing).
schema="$root/tests/data/ldap/edir.schema"
[ -f "$schema" ] || { echo "compare.sh: $schema is missing" >&2; exit 2; }
records() { awk 'NR == 1 && $0 == "version: 1" { next } { print }' "$1"; }
records "$ldif" >"$work/records.ldif"
org_dn=$(sed -n 's/^dn: \(o=.*\)$/\1/p' "$ldif" | head -1)
write_conf() {   # folder [more slapd.conf lines]
  mkdir -p "$1/db"
  cat >"$1/slapd.conf" <<EOF
include /etc/ldap/schema/core.schema
include /etc/ldap/schema/cosine.schema
include /etc/ldap/schema/inetorgperson.schema
include $schema
pidfile $1/slapd.pid
argsfile $1/slapd.args
modulepath /usr/lib/ldap
moduleload back_mdb
sizelimit unlimited
database mdb
suffix ""
directory $1/db
maxsize 17179869184
index objectClass eq
${2:-}
EOF
}
for ((r = 0; r < runs; r++)); do
  rm -rf "$work/slap"
  write_conf "$work/slap"
  measure "$work/slapadd.txt" slapadd -q -s -f "$work/slap/slapd.conf" -l "$work/records.ldif"
done

era_wall=$(column_median "$work/era_load.txt" 1)
era_cpu=$(column_median "$work/era_load.txt" 2)
era_rss=$(column_median "$work/era_load.txt" 3)
sl_wall=$(column_median "$work/slapadd.txt" 1)
sl_cpu=$(column_median "$work/slapadd.txt" 2)
sl_rss=$(column_median "$work/slapadd.txt" 3)
echo
echo "load of the LDIF (median of $runs; whole processes)"
printf '  era (embedded directory)  wall %6s s  cpu %6s s  peak %7s MB   (wall %s s)\n' "$era_wall" "$era_cpu" "$(megabytes "$era_rss")" "$(spread "$work/era_load.txt" 1)"
printf '  slapadd -q -s (mdb)       wall %6s s  cpu %6s s  peak %7s MB   (wall %s s)\n' "$sl_wall" "$sl_cpu" "$(megabytes "$sl_rss")" "$(spread "$work/slapadd.txt" 1)"
era_own=$(median <"$work/era_own.txt")
printf '  era, the load alone       wall %6s s  cpu %6s s   (LoadWorkstation as era_load_workstation times it: no start-up, no freeing at exit)\n' \
  "$era_own" "$(median <"$work/era_own_cpu.txt")"
load_ratio=$(ratio "$sl_wall" "$era_wall")
printf '  slapadd / era: wall %sx, cpu %sx, against the load alone %sx (target: at least 5x, whole processes, wall)\n' \
  "$load_ratio" "$(ratio "$sl_cpu" "$era_cpu")" "$(ratio "$sl_wall" "$era_own")"
peak_ratio=$(ratio "$((era_rss * 1024))" "$ldif_bytes")
printf '  era peak / LDIF size: %sx (target: at most 3x)\n' "$peak_ratio"
target_line "load: slapadd -q -s / era (wall; cpu beside)" "${load_ratio}x ($(ratio "$sl_cpu" "$era_cpu")x cpu)" ">= 5x" \
  "$(judge "$load_ratio" ge 5)"
target_line "load: era's peak memory / LDIF size" "${peak_ratio}x" "<= 3x" "$(at_size "$peak_ratio" le 3)"

# --- 2. Scans of the same objects: users spread evenly over the file.
total_users=$(grep -c '^dn: cn=user' "$ldif")
step=$(( total_users / objects )); [ "$step" -ge 1 ] || step=1
grep '^dn: cn=user' "$ldif" | awk -v s="$step" -v n="$objects" '(NR - 1) % s == 0 && c < n { sub(/^dn: /, ""); print; c++ }' >"$work/objects.txt"
mapfile -t names <"$work/objects.txt"
# The objects go to era as operands, or in a file where era scan reads one (--from).
items=("${names[@]}")
if scan_has --from; then items=(--from "$work/objects.txt"); fi
one_job=()
if scan_has --jobs; then one_job=(--jobs 1); fi
echo
echo "era scan of ${#names[@]} users on the embedded directory (median of $runs; the process loads the tree first,"
echo "so the scan alone is the run less the median load)"
[ ${#one_job[@]} -gt 0 ] || echo "  --jobs: not available in this build (it scans with one job)"
[ "${items[0]}" = --from ] || echo "  --from: not available in this build (the objects are operands)"
scan_rates() {   # label file target -> prints a line, sets rate_wall and rate_cpu
  local wall cpu
  wall=$(column_median "$2" 1)
  cpu=$(column_median "$2" 2)
  rate_wall=$(per_second "${#names[@]}" "$(minus "$wall" "$era_wall")")
  rate_cpu=$(per_second "${#names[@]}" "$(minus "$cpu" "$era_cpu")")
  printf '  %-24s wall %6s s  cpu %6s s  analyses a second: %s (wall), %s (cpu; target %s)   (wall %s s)\n' \
    "$1" "$wall" "$cpu" "$rate_wall" "$rate_cpu" "$3" "$(spread "$2" 1)"
}
for ((r = 0; r < runs; r++)); do measure "$work/scan_embedded.txt" "$era" --workstation "$ws" scan "${one_job[@]}" "${items[@]}"; done
emb_wall=$(column_median "$work/scan_embedded.txt" 1)
scan_rates "no options${one_job:+, --jobs 1}" "$work/scan_embedded.txt" ">= 10000"
target_line "analyses a second, no options, one job (cpu)" "$rate_cpu" ">= 10000" "$(judge "$rate_cpu" ge 10000)"
for ((r = 0; r < runs; r++)); do
  measure "$work/scan_resolve.txt" "$era" --workstation "$ws" scan "${one_job[@]}" --resolve-containers "${items[@]}"
done
scan_rates "--resolve-containers" "$work/scan_resolve.txt" ">= 2000"
target_line "analyses a second, --resolve-containers (cpu)" "$rate_cpu" ">= 2000" "$(judge "$rate_cpu" ge 2000)"

# --- 3. The whole tree, the summary written to a file.
echo
echo "era scan --subtree '[Root]' of the whole tree (load included, the summary to a file)"
if scan_has --subtree; then
  whole=(--workstation "$ws" scan --subtree '[Root]')
  whole_runs=$(( runs < 3 ? runs : 3 ))
  for ((r = 0; r < whole_runs; r++)); do
    measure "$work/whole.txt" "$era" "${whole[@]}"
    mv "$work/stdout.txt" "$work/whole-summary.txt"
  done
  whole_wall=$(column_median "$work/whole.txt" 1)
  printf '  default jobs              wall %6s s  cpu %6s s  peak %7s MB  %s lines (median of %s; target: at most 15 s wall at 100,000 entries)\n' \
    "$whole_wall" "$(column_median "$work/whole.txt" 2)" "$(megabytes "$(column_median "$work/whole.txt" 3)")" \
    "$(wc -l <"$work/whole-summary.txt")" "$whole_runs"
  target_line "whole tree, --subtree '[Root]', wall" "$whole_wall s" "<= 15 s" "$(at_size "$whole_wall" le 15)"
  if scan_has --jobs; then
    for jobs in 1 2; do
      measure "$work/whole-jobs$jobs.txt" "$era" "${whole[@]}" --jobs "$jobs"
      mv "$work/stdout.txt" "$work/whole-jobs$jobs-summary.txt"
      printf '  --jobs %s                 wall %6s s  cpu %6s s\n' "$jobs" "$(column_median "$work/whole-jobs$jobs.txt" 1)" \
        "$(column_median "$work/whole-jobs$jobs.txt" 2)"
    done
    # The header's "Date:" line (line 2) says when each run started; the rest must be the same.
    if cmp -s <(sed '2{/^Date: /d}' "$work/whole-jobs1-summary.txt") <(sed '2{/^Date: /d}' "$work/whole-jobs2-summary.txt"); then
      same=identical
    else
      same=different
    fi
    echo "  output of --jobs 1 and --jobs 2: $same"
    target_line "whole tree, output of --jobs 1 and --jobs 2" "$same" "identical" \
      "$([ "$same" = identical ] && echo met || echo missed)"
  else
    echo "  --jobs: not available in this build"
    target_line "whole tree, output of --jobs 1 and --jobs 2" "-" "identical" "not available in this build"
  fi
else
  echo "  --subtree: not available in this build"
  target_line "whole tree, --subtree '[Root]', wall" "-" "<= 15 s" "not available in this build"
fi

# --- 4. Through LDAP
echo
echo "through the LDAP backend against slapd on loopback"
if ! compgen -G "$root/client/ldap/*.cpp" >/dev/null; then
  echo "  skipped: client/ldap/ is not in this tree, so era cannot scan through LDAP yet"
  target_table
  exit 0
fi

# Loads the records of LDIF files into a database of their own (slapadd -s, without -q; the served
# copies are thrown away after the run, so "dbnosync" spares them the waits for the disk), serves it
# on 127.0.0.1 and a free port, and sets "port"; further slapd.conf lines may follow "--".
serve() {   # folder ldif... [-- conf lines]
  local folder=$1; shift
  local files=() more="" file
  while [ $# -gt 0 ] && [ "$1" != -- ]; do files+=("$1"); shift; done
  [ $# -gt 0 ] && { shift; more="$*"; }
  rm -rf "$folder"
  write_conf "$folder" "$more"
  for file in "${files[@]}"; do
    records "$file" >"$folder/records.ldif"
    measure "$folder/slapadd.txt" slapadd -s -f "$folder/slapd.conf" -l "$folder/records.ldif"
  done
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
  slapd -f "$folder/slapd.conf" -h "ldap://127.0.0.1:$port/" -d 0 >"$folder/slapd.log" 2>&1 &
  slapd_pids+=($!)
  local i
  for ((i = 0; i < 100; i++)); do
    ldapsearch -x -LLL -H "ldap://127.0.0.1:$port" -b "" -s base objectClass >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "compare.sh: slapd does not answer on port $port: $(tail -3 "$folder/slapd.log")" >&2
  exit 1
}
# A workstation file with the named tree read over LDAP from the port instead of its LDIF (the
# other trees' files by their full paths). Read anonymously: slapd lets everyone read when its
# configuration says nothing else.
ldap_workstation() {   # workstation out tree base
  python3 - "$@" "$port" <<'EOF'
import json, os, sys
source, out, name, base, port = sys.argv[1:6]
ws = json.load(open(source))
for tree in ws["trees"]:
    if tree["name"] == name:
        tree.pop("ldif", None)
        tree["ldap"] = {"uri": "ldap://127.0.0.1:%s" % port, "base": base}
    elif "ldif" in tree:
        tree["ldif"] = os.path.join(os.path.dirname(os.path.abspath(source)), tree["ldif"])
json.dump(ws, open(out, "w"), indent=2)
EOF
}
# Runs era_round_trips and prints its report indented; adds the warm figure to the targets.
round_trips_of() {   # label workstation objects
  local rc=0
  "$round_trips" "$2" "$3" >"$work/trips.txt" 2>&1 || rc=$?
  if [ "$rc" -gt 1 ]; then
    echo "  round trips of the $1: era_round_trips failed: $(head -3 "$work/trips.txt")"
    target_line "LDAP round trips warm, $1" "-" "<= lv+tr+1" "unknown"
    return
  fi
  grep -v '^figures:' "$work/trips.txt" | sed 's/^/  /'
  local figures warm target over count
  figures=$(grep '^figures:' "$work/trips.txt")
  warm=$(sed -n 's/.* warm=\([0-9.]*\).*/\1/p' <<<"$figures")
  target=$(sed -n 's/.* target=\([0-9.]*\).*/\1/p' <<<"$figures")
  over=$(sed -n 's/.* over=\([0-9]*\).*/\1/p' <<<"$figures")
  count=$(sed -n 's/.* objects=\([0-9]*\).*/\1/p' <<<"$figures")
  target_line "LDAP round trips warm, $1 (per object)" "$warm ($over/$count over)" "<= $target" \
    "$([ "$rc" = 0 ] && echo met || echo missed)"
  # slapd has no effective-privileges operation; eDirectory would get those questions too.
  local unsent with
  unsent=$(sed -n 's/.* unsent=\([0-9.]*\).*/\1/p' <<<"$figures")
  with=$(sed -n 's/.* overWithUnsent=\([0-9]*\).*/\1/p' <<<"$figures")
  if [ "$(judge "$unsent" ge 0.005)" = met ]; then
    target_line "  the same with getEffectivePrivileges (projected)" \
      "$(awk -v a="$warm" -v b="$unsent" 'BEGIN{printf "%.2f", a + b}') ($with/$count over)" "<= $target" \
      "$([ "$with" = 0 ] && echo met || echo missed)"
  fi
}

if [ ! -x "$round_trips" ]; then
  echo "  round trips: $round_trips is missing; build the tools"
else
  # The sample tree, examples/acme, in a server of its own.
  sample="$root/examples/acme"
  serve "$work/sample" "$sample/acme.ldif" -- dbnosync
  ldap_workstation "$sample/workstation.json" "$work/sample-ldap.json" ACME_TREE o=acme
  { echo "[Root]"; grep '^dn: ' "$sample/acme.ldif" | sed 's/^dn: //' | grep -v '^t='; } >"$work/sample-objects.txt"
  round_trips_of "sample tree" "$work/sample-ldap.json" "$work/sample-objects.txt"
  stop_slapd "${slapd_pids[-1]}"
fi

# The generated tree. The served database indexes what the scan searches for, as a directory in
# use would: without it every Security Equals search walks the whole database.
serve "$work/served" "$ldif" -- "index securityEquals eq
dbnosync"
printf '  (slapadd -s without -q, once, for the served database: wall %s s)\n' "$(column_median "$work/served/slapadd.txt" 1)"
found=$(ldapsearch -x -LLL -H "ldap://127.0.0.1:$port" -b "$org_dn" -s one dn 2>/dev/null | grep -c '^dn:' || true)
echo "  slapd on 127.0.0.1:$port answers ($found entries below $org_dn)"
tree_name=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["trees"][0]["name"])' "$ws")
ldap_workstation "$ws" "$work/ldap-workstation.json" "$tree_name" "$org_dn"
if ! "$era" --workstation "$work/ldap-workstation.json" trees >/dev/null 2>"$work/ldap-start.txt"; then
  echo "  LDAP backend              skipped: era does not start on the LDAP workstation: $(head -1 "$work/ldap-start.txt")"
  target_table
  exit 0
fi
for ((r = 0; r < runs; r++)); do measure "$work/scan_ldap.txt" "$era" --workstation "$work/ldap-workstation.json" scan "${items[@]}"; done
ldap_wall=$(column_median "$work/scan_ldap.txt" 1)
ldap_cpu=$(column_median "$work/scan_ldap.txt" 2)
printf '  era scan of the %s users  wall %6s s  cpu %6s s   (wall %s s; embedded %s s)\n' "${#names[@]}" "$ldap_wall" "$ldap_cpu" \
  "$(spread "$work/scan_ldap.txt" 1)" "$emb_wall"
printf '  LDAP / embedded: wall %sx\n' "$(ratio "$ldap_wall" "$emb_wall")"
[ -x "$round_trips" ] && round_trips_of "generated tree" "$work/ldap-workstation.json" "$work/objects.txt"

target_table
