#!/usr/bin/env bash
# Compares era with the tools an administrator would otherwise reach for, on one generated LDIF:
#   1. loading it: era's embedded directory against `slapadd -q` into an mdb database;
#   2. an `era scan` of 1,000 objects through the LDAP backend (client/ldap/) against slapd on
#      loopback, against the same scan on the embedded directory.
# Every figure is the median of several runs (wall clock and CPU time, peak memory); each pair is
# printed with its ratio.
#
#   bench/compare.sh [--entries N] [--runs R] [--objects K] [--build DIR]
#
# Defaults: 100,000 entries, 5 runs, 1,000 objects, the build tree build/bench (any build with
# era, tools/era_gen_tree and tools/era_load_workstation will do). Needs slapd and ldap-utils.
#
# slapd gets the eDirectory schema of the LDAP tests (tests/data/ldap/edir.schema) and one mdb
# database with the empty suffix, which holds the export's tree root (t=...) beside the
# organisation, as the LDAP tests set it up. slapadd runs with -s (no schema checking) as well as
# -q: an eDirectory export carries "ACL" on every container, which no class of OpenLDAP's schema
# allows, and era checks no schema either. The database the LDAP scan reads is loaded apart,
# untimed and without -q, whose quick mode merges the values of an attribute whose lines are
# interleaved with another's wrongly.
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
    -h|--help) sed -n '2,18p' "$0"; exit 0 ;;
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

work=$(mktemp -d "${TMPDIR:-/tmp}/era-compare.XXXXXX")
slapd_pid=""
cleanup() {
  if [ -n "$slapd_pid" ] && kill -0 "$slapd_pid" 2>/dev/null; then
    kill "$slapd_pid" 2>/dev/null || true
    wait "$slapd_pid" 2>/dev/null || true
  fi
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
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "nan" }'; }
spread() { awk -v c="$2" '{print $c}' "$1" | sort -g | awk '{v[NR]=$1} END {printf "%s..%s", v[1], v[NR]}'; }

echo "compare.sh: $entries entries, $runs runs each, scans of $objects objects; load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$gen" --entries "$entries" --out "$work/tree" >/dev/null
ldif="$work/tree/tree.ldif"
ws="$work/tree/workstation.json"
ldif_bytes=$(stat -c %s "$ldif")
printf 'LDIF: %s (%.1f MB)\n' "$ldif" "$(awk -v b="$ldif_bytes" 'BEGIN{print b/1e6}')"

# --- 1. Loading
for ((r = 0; r < runs; r++)); do
  measure "$work/era_load.txt" "$loader" "$ws"
  sed -n 's/.* in \([0-9.]*\) s$/\1/p' "$work/stdout.txt" >>"$work/era_own.txt"   # the load alone, as era times it
done

# slapadd reads records only: the export's version line is left out (outside the timing).
schema="$root/tests/data/ldap/edir.schema"
[ -f "$schema" ] || { echo "compare.sh: $schema is missing" >&2; exit 2; }
awk 'NR == 1 && $0 == "version: 1" { next } { print }' "$ldif" >"$work/records.ldif"
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
printf '  era (embedded directory)  wall %6s s  cpu %6s s  peak %7.1f MB   (wall %s s)\n' "$era_wall" "$era_cpu" "$(awk -v k="$era_rss" 'BEGIN{print k/1024}')" "$(spread "$work/era_load.txt" 1)"
printf '  slapadd -q -s (mdb)       wall %6s s  cpu %6s s  peak %7.1f MB   (wall %s s)\n' "$sl_wall" "$sl_cpu" "$(awk -v k="$sl_rss" 'BEGIN{print k/1024}')" "$(spread "$work/slapadd.txt" 1)"
era_own=$(median <"$work/era_own.txt")
printf '  era, the load alone       wall %6s s   (LoadWorkstation as era_load_workstation times it: no start-up, no freeing at exit)\n' "$era_own"
printf '  slapadd / era: wall %sx, cpu %sx, against the load alone %sx (target: at least 2x)\n' "$(ratio "$sl_wall" "$era_wall")" \
  "$(ratio "$sl_cpu" "$era_cpu")" "$(ratio "$sl_wall" "$era_own")"
printf '  era peak / LDIF size: %sx (target: at most 3x)\n' "$(ratio "$((era_rss * 1024))" "$ldif_bytes")"

# --- 2. Scans of the same objects: users spread evenly over the file.
total_users=$(grep -c '^dn: cn=user' "$ldif")
step=$(( total_users / objects )); [ "$step" -ge 1 ] || step=1
grep '^dn: cn=user' "$ldif" | awk -v s="$step" -v n="$objects" '(NR - 1) % s == 0 && c < n { sub(/^dn: /, ""); print; c++ }' >"$work/objects.txt"
mapfile -t names <"$work/objects.txt"
for ((r = 0; r < runs; r++)); do measure "$work/scan_embedded.txt" "$era" --workstation "$ws" scan "${names[@]}"; done
emb_wall=$(column_median "$work/scan_embedded.txt" 1)
emb_cpu=$(column_median "$work/scan_embedded.txt" 2)
# The load is part of every run; the scan alone is the run less the median load.
emb_scan=$(awk -v a="$emb_wall" -v b="$era_wall" 'BEGIN{printf "%.2f", a - b}')
echo
echo "era scan of ${#names[@]} objects (median of $runs; the process loads the tree first)"
printf '  embedded directory        wall %6s s  cpu %6s s  (scan alone about %s s, %s objects/s)   (wall %s s)\n' \
  "$emb_wall" "$emb_cpu" "$emb_scan" "$(ratio "${#names[@]}" "$emb_scan")" "$(spread "$work/scan_embedded.txt" 1)"

if ! compgen -G "$root/client/ldap/*.cpp" >/dev/null; then
  echo "  LDAP backend              skipped: client/ldap/ is not in this tree, so era cannot scan through LDAP yet"
  exit 0
fi

# slapd on loopback, on a free port, over a database loaded without quick mode.
rm -rf "$work/served"
# The served database indexes what the scan searches for, as a directory in use would: without it
# every Security Equals search walks the whole database.
write_conf "$work/served" "index securityEquals eq"
measure "$work/slapadd_full.txt" slapadd -s -f "$work/served/slapd.conf" -l "$work/records.ldif"
printf '  (slapadd -s without -q, once, for the served database: wall %s s)\n' "$(column_median "$work/slapadd_full.txt" 1)"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
slapd -f "$work/served/slapd.conf" -h "ldap://127.0.0.1:$port/" -d 0 >"$work/slapd.log" 2>&1 &
slapd_pid=$!
for ((i = 0; i < 100; i++)); do
  ldapsearch -x -LLL -H "ldap://127.0.0.1:$port" -b "$org_dn" -s base dn >/dev/null 2>&1 && break
  sleep 0.1
done
found=$(ldapsearch -x -LLL -H "ldap://127.0.0.1:$port" -b "$org_dn" -s one dn 2>/dev/null | grep -c '^dn:' || true)
echo "  slapd on 127.0.0.1:$port answers ($found entries below $org_dn)"
# The workstation of the generated tree with the tree read over LDAP instead of from the file.
# Read anonymously: slapd lets everyone read when its configuration says nothing else.
python3 - "$ws" "$work/ldap-workstation.json" "$port" "$org_dn" <<'EOF'
import json, sys
ws = json.load(open(sys.argv[1]))
for tree in ws["trees"]:
    tree.pop("ldif", None)
    tree["ldap"] = {"uri": "ldap://127.0.0.1:%s" % sys.argv[3], "base": sys.argv[4]}
json.dump(ws, open(sys.argv[2], "w"), indent=2)
EOF
if ! "$era" --workstation "$work/ldap-workstation.json" trees >/dev/null 2>"$work/ldap-start.txt"; then
  echo "  LDAP backend              skipped: era does not start on the LDAP workstation: $(head -1 "$work/ldap-start.txt")"
  exit 0
fi
for ((r = 0; r < runs; r++)); do measure "$work/scan_ldap.txt" "$era" --workstation "$work/ldap-workstation.json" scan "${names[@]}"; done
ldap_wall=$(column_median "$work/scan_ldap.txt" 1)
ldap_cpu=$(column_median "$work/scan_ldap.txt" 2)
printf '  LDAP backend (slapd)      wall %6s s  cpu %6s s   (wall %s s)\n' "$ldap_wall" "$ldap_cpu" "$(spread "$work/scan_ldap.txt" 1)"
printf '  LDAP / embedded: wall %sx\n' "$(ratio "$ldap_wall" "$emb_wall")"
