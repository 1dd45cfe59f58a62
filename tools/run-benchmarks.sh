#!/usr/bin/env bash
# Prints the speed and memory figures of Varnwick: `make bench` runs it.
#
# usage: bash tools/run-benchmarks.sh <build dir> [vw-bench options]
#
# vw-bench (tools/bench) generates both sides at 1 000, 10 000 and 50 000
# contacts for each Palm generation and times the program's own code on
# them: loads, RefreshStates, the three transfers end to end, the window's
# lists and the peak memory. Options are passed on (see vw-bench --help),
# e.g. --sizes 1000,10000 --runs 3,3 for a quicker look.
#
# Then tools/run-cli-benchmarks.sh times varnwick-cli itself end to end
# (list, compare, p2o, sync at 1 000 to 200 000 contacts, with peak memory
# and the ratio to md5sum). VW_CLI_BENCH=0 leaves it out; VW_CLI_SIZES and
# VW_CLI_RUNS pass other sizes and runs to it (e.g. 1000,10000 and 1,1).
set -euo pipefail

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
    echo "usage: bash tools/run-benchmarks.sh <build dir> [vw-bench options]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
shift
if [ ! -x "$build/vw-bench" ]; then
    echo "run-benchmarks: $build/vw-bench is missing; build the project first" >&2
    exit 1
fi

build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
echo "Varnwick benchmarks: build ${build_type:-(unknown type)} in $build"
echo "Machine: $(nproc) cores; load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
start=$(date +%s)
status=0
"$build/vw-bench" "$@" || status=$?
# vCard and CSV export and import of 10 000 contacts, end to end through
# varnwick-cli (needs python3-vobject, which tools/setup-deps.sh installs).
if [ -x /usr/bin/python3 ] && /usr/bin/python3 -c "import vobject" 2>/dev/null; then
    echo
    /usr/bin/python3 "$(dirname "$0")/exchange-check.py" "$build" --count 10000 || status=$?
fi
if [ "${VW_CLI_BENCH:-1}" != 0 ]; then
    here=$(cd "$(dirname "$0")" && pwd)
    bash "$here/run-cli-benchmarks.sh" "$build" "${VW_CLI_SIZES:-1000,10000,50000,200000}" \
        "${VW_CLI_RUNS:-3,3,3,3}" || status=$?
fi
echo
echo "Finished in $(( $(date +%s) - start )) s; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
