#!/usr/bin/env bash
# era diff of two whole-tree audits: a generated tree (100,000 entries by default) is scanned
# object by object, every entry but the tree's root, as text and as JSON Lines; then a copy with
# one ACL added, one inherited rights filter tightened and one Security Equals removed is scanned
# the same way, and `era diff` compares the audits: equal ones and the changed ones, text with
# text and JSON with JSON. Prints the audits' sizes and rows, the scans' CPU time, and per diff
# the elapsed and CPU seconds and peak memory (medians of several runs).
#
#   bench/diff.sh [--entries N] [--runs R] [--build DIR] [--keep DIR]
#
# The audits of 100,000 entries take some 230 MB (text) and 790 MB (JSON) each in the work
# folder; the scans some minutes of CPU.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
entries=100000
runs=3
keep=""
while [ $# -gt 0 ]; do
  case "$1" in
    --entries) entries=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) echo "diff.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
script=diff.sh
. "$root/bench/lib.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/era-diff.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "diff.sh: $entries entries, $runs runs per figure; load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$gen" --entries "$entries" --out "$work/old" >/dev/null
mkdir "$work/new"
cp "$work/old/workstation.json" "$work/new/"
# The edits: an ACL added on the first container below the organization, the first entry-rights
# filter let nothing through instead of Browse, the first Security Equals of a group removed.
first_ou=$(grep -m1 '^dn: ou=' "$work/old/tree.ldif")
sed -e "0,/^${first_ou}\$/s//${first_ou}\nACL: 6#subtree#cn=user0,o=synth#[All Attributes Rights]/" \
    -e '0,/^ACL: 1#subtree#\[Inheritance Mask\]#\[Entry Rights\]$/s//ACL: 0#subtree#[Inheritance Mask]#[Entry Rights]/' \
    -e '0,/^securityEquals: cn=group/{/^securityEquals: cn=group/d}' \
    "$work/old/tree.ldif" >"$work/new/tree.ldif"
[ "$(diff "$work/old/tree.ldif" "$work/new/tree.ldif" | grep -c '^[<>]')" = 4 ] ||
  { echo "diff.sh: the edits did not apply as planned" >&2; exit 2; }

# Every entry but the tree's root, in the file's order; xargs splits them into command lines.
grep '^dn: ' "$work/old/tree.ldif" | sed 's/^dn: //' | grep -v '^t=' >"$work/names.txt"
printf '%-5s %-4s %10s %10s %10s\n' audit form MB rows scan_cpu_s
for tree in old new; do
  for form in txt json; do
    # The text is what the summary prints (and --save x.txt saves); --format json the records.
    args=()
    [ "$form" = txt ] || args=(--format json)
    /usr/bin/time -f "%U %S" -o "$work/scan_time.txt" \
      xargs -a "$work/names.txt" -s 1000000 "$era" --workstation "$work/$tree/workstation.json" scan "${args[@]}" \
      >"$work/$tree.$form" || true
    if [ "$form" = txt ]; then rows=$(grep -c '^Effective Trustee:' "$work/$tree.$form"); else rows=$(wc -l <"$work/$tree.$form"); fi
    printf '%-5s %-4s %10.1f %10s %10.1f\n' "$tree" "$form" "$(stat -c %s "$work/$tree.$form" | awk '{print $1/1e6}')" \
      "$rows" "$(awk '{print $1 + $2}' "$work/scan_time.txt")"
  done
done

printf '\n%-22s %7s %9s %9s %9s %8s\n' diff status changes elapsed_s cpu_s peak_MB
for pair in "old.txt old.txt" "old.json old.json" "old.txt new.txt" "old.json new.json" "old.txt new.json"; do
  set -- $pair
  : >"$work/diff_times.txt"
  status=0
  for ((r = 0; r < runs; r++)); do
    status=0
    /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$era" diff "$work/$1" "$work/$2" >"$work/diff.out" || status=$?
    cat "$work/time.txt" >>"$work/diff_times.txt"
  done
  changes=$(grep -c '^\(Added\|Removed\|Changed\):' "$work/diff.out" || true)
  printf '%-22s %7s %9s %9s %9s %8.0f\n' "$1 $2" "$status" "$changes" \
    "$(awk '{print $1}' "$work/diff_times.txt" | median)" \
    "$(awk '{print $2 + $3}' "$work/diff_times.txt" | median)" \
    "$(awk '{print $4 / 1024}' "$work/diff_times.txt" | median)"
done
if [ -n "$keep" ]; then mkdir -p "$keep" && cp "$work"/old.* "$work"/new.* "$work/diff.out" "$keep"/; fi
