#!/usr/bin/env bash
# Pictures of the main window on the demo data and of each dialog, drawn
# offscreen: <build>/screenshots/*.png.
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
if [ -x "$here/make-demo.sh" ]; then
    bash "$here/make-demo.sh" "$build" > /dev/null
fi

out="$build/screenshots"
mkdir -p "$out"
# The window reads its data and writes appdebug.log where varnwick does.
cd "$build"
QT_QPA_PLATFORM=offscreen "$build/vw-screenshots" "$out"
echo "Screenshots written: $out"
