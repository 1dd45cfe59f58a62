#!/usr/bin/env bash
# Installs the build into a scratch root as a package would (prefix /usr)
# and checks what a desktop and `man` find there: both programs, the
# launcher entry (desktop-file-validate), the AppStream description
# (appstreamcli validate), both icons, the help page and a manual page that
# renders without warnings and covers every command.
#
# usage: bash tools/check-install.sh <build dir>
set -euo pipefail

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: bash tools/check-install.sh <build dir>" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
    echo "check-install: $*" >&2
    exit 1
}

DESTDIR="$root" cmake --install "$build" --prefix /usr > /dev/null
id=org.varnwick.Varnwick
for file in bin/varnwick bin/varnwick-cli; do
    [ -x "$root/usr/$file" ] || fail "$file is not installed"
done
for file in share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
            share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/128x128/apps/$id.png \
            share/man/man1/varnwick-cli.1.gz share/varnwick/help/varnwick-help.html; do
    [ -s "$root/usr/$file" ] || fail "$file is not installed"
done

desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "the launcher entry is not valid"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" > /dev/null ||
    fail "the AppStream description is not valid"
case "$(head -c 8 "$root/usr/share/icons/hicolor/128x128/apps/$id.png" | od -An -tx1 | tr -d ' \n')" in
    89504e470d0a1a0a) ;;
    *) fail "the 128 px icon is no PNG" ;;
esac
grep -q '<svg ' "$root/usr/share/icons/hicolor/scalable/apps/$id.svg" || fail "the scalable icon is no SVG"

page=$(zcat "$root/usr/share/man/man1/varnwick-cli.1.gz")
for command in users list compare transfer; do
    printf '%s\n' "$page" | grep -qx ".SS $command" || fail "the manual page has no section for $command"
done
if command -v groff > /dev/null; then
    warnings=$(printf '%s\n' "$page" | groff -man -Tutf8 -ww -z 2>&1 || true)
    [ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
fi
echo "check-install: everything in place"
