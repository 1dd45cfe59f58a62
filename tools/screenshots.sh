#!/usr/bin/env bash
# Pictures of the main window on the demo data and of each dialog, drawn
# offscreen: <build>/screenshots/*.png. They are drawn from a fresh demo
# with settings of their own in a scratch folder (and a home, Wine prefix,
# log and default address book there too), so they are the same on every
# machine and never see what the user did with `make run`.
#
# usage: bash tools/screenshots.sh <build dir>
set -euo pipefail

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: bash tools/screenshots.sh <build dir>" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

if [ ! -x "$build/vw-screenshots" ]; then
    echo "screenshots: $build/vw-screenshots is missing; build the project with the window first" >&2
    exit 1
fi
# The pictures show paths of the scratch folder, so it has a fixed name;
# one run at a time holds it.
scratch=/tmp/varnwick-screenshots
exec 9> /tmp/varnwick-screenshots.lock
flock 9
rm -rf "$scratch"
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch"
bash "$here/make-demo.sh" "$build" --fresh --into "$scratch" > /dev/null

out="$build/screenshots"
mkdir -p "$out"
cd "$scratch"
env HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
    XDG_STATE_HOME="$scratch/state" XDG_RUNTIME_DIR="$scratch/runtime" WINEPREFIX="$scratch/wine" \
    VARNWICK_INI="$scratch/corvane.ini" VARNWICK_LOG= LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    "$build/vw-screenshots" "$out"
echo "Screenshots written: $out"
