#!/usr/bin/env bash
# The command line at scale, black-box: what a user runs, timed end to end
# with its peak memory. `make bench` runs it after vw-bench.
#
# usage: bash tools/run-cli-benchmarks.sh <build dir> [sizes] [runs]
#   sizes  contacts per side, default 1000,10000,50000,200000
#   runs   runs per size (the median is printed), default 3 each: a single
#          run of the largest size varies by a fifth from run to run here, and
#          the growth column divides two of them
#
# For each size, vw-bench generates an extended address.dat ("PalmSG
# Database") and two books overlapping it (see tools/bench/Bench.h), and
# every case runs varnwick-cli in a fresh process on fresh copies:
#   list     list palm FILE --json
#   compare  compare --json, both loads and the classification included
#   p2o      transfer p2o into a book that does not exist yet (every Palm
#            contact new)
#   sync     transfer sync against the book that differs by new contacts
#            only: a fifth of each side is new to the other, saves included
# Output goes to /dev/null; times are wall-clock, so a shared machine shows
# in them. md5sum of the same address.dat is the yardstick
# of "reading the file at all"; the last column is the growth from the
# second-largest to the largest size.
set -euo pipefail

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
    echo "usage: bash tools/run-cli-benchmarks.sh <build dir> [sizes] [runs]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
IFS=, read -r -a sizes <<< "${2:-1000,10000,50000,200000}"
IFS=, read -r -a runs <<< "${3:-3,3,3,3}"
cli="$build/varnwick-cli"
for tool in "$cli" "$build/vw-bench" /usr/bin/time; do
    if [ ! -x "$tool" ]; then
        echo "run-cli-benchmarks: $tool is missing (build the project; /usr/bin/time is package 'time')" >&2
        exit 1
    fi
done

work=$(mktemp -d /tmp/vw-cli-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
# No Palm Desktop installation: every case names its files.
export WINEPREFIX="$work/no-wine"

# Median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure NAME COMMAND...: runs the command once, appends "wall_seconds
# peak_kb cpu_seconds" to $work/NAME.
measure() {
    local name=$1
    shift
    local out start end
    start=$(date +%s.%N)
    if ! out=$(/usr/bin/time -f "%M %U %S" "$@" 2>&1 >/dev/null | tail -1); then
        echo "run-cli-benchmarks: failed: $*" >&2
        failures=$((failures + 1))
        return 0
    fi
    end=$(date +%s.%N)
    echo "$out" | awk -v a="$start" -v b="$end" '{ printf "%.3f %s %.2f\n", b - a, $1, $2 + $3 }' >> "$work/$name"
}

failures=0
cases=(md5 list compare p2o sync)
declare -A secs peak cpu
for i in "${!sizes[@]}"; do
    n=${sizes[$i]}
    r=${runs[$i]:-${runs[-1]}}
    data="$work/data-$n"
    mkdir -p "$data"
    echo "run-cli-benchmarks: $n contacts: generating" >&2
    if ! "$build/vw-bench" --generate extended "$n" "$data" > /dev/null; then
        echo "run-cli-benchmarks: cannot generate $n contacts" >&2
        failures=$((failures + 1))
        continue
    fi
    printf '[iSysVal]\nDatFile=%s\nWabFile=%s\n' "$data/address.dat" "$data/book.wab" > "$data/cli.ini"
    file_mb[$i]=$(awk -v b="$(stat -c %s "$data/address.dat")" 'BEGIN { printf "%.1f", b / 1e6 }')
    echo "run-cli-benchmarks: $n contacts: measuring, $r run(s)" >&2
    for ((run = 0; run < r; ++run)); do
        for k in 1 2 3; do measure "md5-$n" md5sum "$data/address.dat"; done
        measure "list-$n" "$cli" list palm "$data/address.dat" --json
        measure "compare-$n" "$cli" --ini "$data/cli.ini" compare --json
        t="$work/t"
        rm -rf "$t" && mkdir "$t" && cp "$data/address.dat" "$t/"
        measure "p2o-$n" "$cli" --ini "$data/cli.ini" transfer p2o --palm "$t/address.dat" --wab "$t/new.wab" --json
        rm -rf "$t" && mkdir "$t" && cp "$data/address.dat" "$data/book-new.wab" "$t/"
        measure "sync-$n" "$cli" --ini "$data/cli.ini" transfer sync --palm "$t/address.dat" --wab "$t/book-new.wab" --json
    done
    rm -rf "$data" "$work/t"
    for c in "${cases[@]}"; do
        f="$work/$c-$n"
        if [ -s "$f" ]; then
            secs[$c,$i]=$(cut -d' ' -f1 "$f" | median)
            peak[$c,$i]=$(cut -d' ' -f2 "$f" | median | awk '{ printf "%.0f", $1 / 1024 }')
            cpu[$c,$i]=$(cut -d' ' -f3 "$f" | median)
        fi
    done
done

echo
echo "varnwick-cli, extended address.dat: wall seconds [CPU seconds] (peak MB), medians; output to /dev/null"
last=$((${#sizes[@]} - 1))
printf '  %-34s' "contacts per side"
for n in "${sizes[@]}"; do printf '%24s' "$n"; done
[ "$last" -gt 0 ] && printf '%24s' "growth over ${sizes[$((last - 1))]}"
printf '\n'
printf '  %-34s' "address.dat size (MB)"
for i in "${!sizes[@]}"; do printf '%24s' "${file_mb[$i]:--}"; done
printf '\n'
label() {
    case $1 in
    md5) echo "md5sum of address.dat" ;;
    list) echo "list palm --json" ;;
    compare) echo "compare --json" ;;
    p2o) echo "transfer p2o into an empty book" ;;
    sync) echo "transfer sync, a fifth new each way" ;;
    esac
}
for c in "${cases[@]}"; do
    printf '  %-34s' "$(label "$c")"
    for i in "${!sizes[@]}"; do
        if [ -n "${secs[$c,$i]:-}" ]; then
            printf '%24s' "${secs[$c,$i]} [${cpu[$c,$i]}] (${peak[$c,$i]})"
        else
            printf '%24s' "-"
        fi
    done
    if [ "$last" -gt 0 ] && [ -n "${secs[$c,$last]:-}" ] && [ -n "${secs[$c,$((last - 1))]:-}" ]; then
        printf '%16s' "$(awk -v a="${secs[$c,$((last - 1))]}" -v b="${secs[$c,$last]}" -v c="${peak[$c,$((last - 1))]}" -v d="${peak[$c,$last]}" \
            'BEGIN { if (a > 0 && c > 0) printf "%.1f / %.1f", b / a, d / c; else print "-" }')"
    fi
    printf '\n'
done
printf '  %-34s' "list palm --json / md5sum"
for i in "${!sizes[@]}"; do
    if [ -n "${secs[list,$i]:-}" ] && [ -n "${secs[md5,$i]:-}" ]; then
        printf '%24s' "$(awk -v a="${secs[list,$i]}" -v b="${secs[md5,$i]}" 'BEGIN { if (b > 0) printf "%.1fx", a / b; else print "-" }')"
    else
        printf '%24s' "-"
    fi
done
printf '\n'
printf '  %-34s' "  the same in CPU seconds"
for i in "${!sizes[@]}"; do
    if [ -n "${cpu[list,$i]:-}" ] && [ -n "${cpu[md5,$i]:-}" ]; then
        printf '%24s' "$(awk -v a="${cpu[list,$i]}" -v b="${cpu[md5,$i]}" 'BEGIN { if (b > 0) printf "%.1fx", a / b; else print "-" }')"
    else
        printf '%24s' "-"
    fi
done
printf '\n'
echo "  (growth: wall time / peak memory of the largest size over the one before; on a shared"
echo "   machine wall time includes waiting for the cores, the CPU seconds do not)"
exit $((failures > 0))
