#!/usr/bin/env bash
# Checks the include rules that keep Varnwick's layers apart (ARCHITECTURE.md,
# "Layers"). Prints every include that breaks a rule and exits 1; prints
# nothing and exits 0 when the tree keeps them all.
#
# usage: bash tools/check-layers.sh [source root]
set -uo pipefail

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

broken=0

# forbid FOLDER PATTERN WHY: every #include line under FOLDER that matches the
# extended regular expression PATTERN breaks the rule WHY.
forbid() {
    local folder=$1 pattern=$2 why=$3 hits
    [ -d "$folder" ] || return 0
    hits=$(grep -rnE --include='*.h' --include='*.cpp' --include='*.c' "^[[:space:]]*#[[:space:]]*include[[:space:]]*$pattern" "$folder")
    if [ -n "$hits" ]; then
        echo "$why:"
        echo "$hits" | sed 's/^/  /'
        broken=1
    fi
}

# System headers whose calls have a stand-in in platform/ (files, folders,
# the environment, the user database, case-insensitive comparison).
# forbid_call FOLDER WHY: every call of a POSIX or C library function that
# has a platform stand-in (outside comments) breaks the rule WHY.
forbid_call() {
    local folder=$1 why=$2 hits
    [ -d "$folder" ] || return 0
    hits=$(grep -rnE --include='*.h' --include='*.cpp' --include='*.c' \
        "(^|[^A-Za-z0-9_.>])(std)?(::)?($calls)[[:space:]]*\(" "$folder" |
        grep -vE '^[^:]+:[0-9]+:[[:space:]]*//')
    if [ -n "$hits" ]; then
        echo "$why:"
        echo "$hits" | sed 's/^/  /'
        broken=1
    fi
}
calls='stat|lstat|fstat|access|mkdir|getpwuid|getpwuid_r|getenv|fopen|opendir|mkdtemp|mkstemp|realpath|strcasecmp|strncasecmp'

posix='<(sys/[a-z_]+\.h|unistd\.h|fcntl\.h|pwd\.h|grp\.h|strings\.h|dirent\.h|dlfcn\.h|libgen\.h|fnmatch\.h|glob\.h)>'

forbid platform '"(common|src|cli|tools)/' "platform/ includes nothing above it"
forbid common '"(src|cli|tools)/' "common/ includes neither the window, the engine nor the command line"
forbid common '<(Q[A-Za-z]+|qt[a-z]*/[^>]*)>' "common/ knows no Qt"
forbid common "$posix" "common/ calls the platform stand-ins, not POSIX"
forbid common '<sqlite3\.h>' "common/ reaches its databases through platform/jetdb and platform/wab"
forbid common/misc '"common/(palm|oe|exchange)/' "the contact model knows no file format"
forbid common/palm '"common/oe/' "the Palm side never includes the address-book side"
forbid common/oe '"common/palm/' "the address-book side never includes the Palm side"
forbid src/core '<(Q[A-Za-z]+|qt[a-z]*/[^>]*)>' "the engine knows no window"
forbid src/core '"src/[A-Za-z]+\.h"' "the engine knows no window"
forbid src "$posix" "the window calls the platform stand-ins, not POSIX"
forbid_call common "common/ calls the platform stand-ins, not POSIX"
forbid_call src "the window calls the platform stand-ins, not POSIX"
forbid cli "$posix" "the command line calls the platform stand-ins, not POSIX"
forbid cli '<(Q[A-Za-z]+|qt[a-z]*/[^>]*)>' "the command line runs without Qt"

exit $broken
