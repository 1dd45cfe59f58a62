#!/usr/bin/env bash
# Builds the demo data that `make run` opens, with the project's generators:
#
#   <build>/demo/Palm Desktop/       a Palm Desktop 4.1.2 folder (vw-pdgen)
#       Ana/address/address.dat      an extended "PalmSG Database" file (vw-datgen)
#       Ben/address/address.dat      a classic file (vw-datgen)
#   <build>/demo/Desktop 6/address.mdb   a Palm Desktop 6 database (vw-d6gen)
#   <build>/demo/demo.wab            the address book (vw-demogen)
#   <build>/corvane.ini              names the demo folder and book; written
#                                    only when there is none
#
# The contacts overlap so that both lists show rows of every state: the same
# on both sides, modified on one side, and new. Texts carry Windows-1252
# accents (José, Zoë, Jürgen...) and an apostrophe (O'Brien).
#
# usage: bash tools/make-demo.sh <build dir> [--fresh] [--into FOLDER]
#   An existing demo folder is kept (transfers you made stay); --fresh builds
#   it anew. An existing corvane.ini is never changed. --into puts the demo
#   folder and corvane.ini into FOLDER instead of the build folder (the
#   screenshots use a scratch folder of their own).
set -euo pipefail

usage() {
    echo "usage: bash tools/make-demo.sh <build dir> [--fresh] [--into FOLDER]" >&2
    exit 2
}
if [ $# -lt 1 ] || [ ! -d "$1" ]; then
    usage
fi
build=$(cd "$1" && pwd)
shift
fresh=0
place="$build"
while [ $# -gt 0 ]; do
    case "$1" in
        --fresh) fresh=1 ;;
        --into)
            [ $# -ge 2 ] && [ -d "$2" ] || usage
            place=$(cd "$2" && pwd)
            shift ;;
        *) usage ;;
    esac
    shift
done
demo="$place/demo"
ini="$place/corvane.ini"

for tool in vw-pdgen vw-datgen vw-d6gen vw-demogen; do
    if [ ! -x "$build/$tool" ]; then
        echo "make-demo: $build/$tool is missing; build the project first" >&2
        exit 1
    fi
done

make_demo() {
    local out="$1"
    local work="$out/.descriptions"
    mkdir -p "$work" "$out/Desktop 6"

    # Palm user Ana: extended file. José and Siobhán as in the address book,
    # Zoë (mobile) and Jürgen (company) differ, Renée and Åsa only here, and
    # one deleted record that is never listed.
    cat > "$work/ana.txt" <<'EOF'
format extended
category 1 1 0 Business
category 2 2 0 Personal
category 3 3 0 Famille
record
first Jos\xE9
last Ram\xEDrez
company Caf\xE9 Ol\xE9 Imports
title Buyer
kind2 1
kind3 2
city1 San Jos\xE9
phone1 +1 555 0101
label1 0
phone2 jose.ramirez@example.org
label2 4
category Business
birthday 129111608
record
first Zo\xEB
last \xC5berg
phone1 +46 70 555 0199
label1 7
phone2 zoe.aberg@example.org
label2 4
category Personal
kind2 1
kind3 2
record
first Siobh\xE1n
last O'Brien
company O'Brien & Sons
phone1 +353 1 555 0103
label1 1
phone2 siobhan.obrien@example.org
label2 4
category Business
kind2 1
kind3 2
record
first J\xFCrgen
last M\xFCller
company M\xFCller AG
phone1 +49 30 555 0104
label1 0
phone2 juergen.mueller@example.org
label2 4
category Business
kind2 1
kind3 2
record
first Ren\xE9e
last Dubois
phone1 renee.dubois@example.org
label1 4
note Prefers calls in the afternoon.\nSpeaks French and German.
category Famille
private 1
kind2 1
kind3 2
record
first \xC5sa
last \xD6berg
phone1 +46 8 555 0110
label1 7
street2 Storgatan 12
city2 G\xF6teborg
country2 Sverige
kind2 1
kind3 2
record
status 4
first Old
last Contact
kind2 1
kind3 2
EOF

    # Palm user Ben: classic file.
    cat > "$work/ben.txt" <<'EOF'
format classic
header Palm Desktop demo data\n
category 1 1 0 Business
record
first Jos\xE9
last Ram\xEDrez
company Caf\xE9 Ol\xE9 Imports
title Buyer
city San Jos\xE9
phone1 +1 555 0101
label1 0
phone2 jose.ramirez@example.org
label2 4
category Business
record
first Zo\xEB
last \xC5berg
phone1 +46 70 555 0199
label1 7
phone2 zoe.aberg@example.org
label2 4
record
first Siobh\xE1n
last O'Brien
company O'Brien & Sons
phone1 +353 1 555 0103
label1 1
phone2 siobhan.obrien@example.org
label2 4
record
first Bj\xF6rn
last \xC6girsson
phone1 +354 555 0111
label1 0
note Only on the Palm side.
EOF

    # Desktop 6: the description is UTF-8; the database stores Unicode and
    # the program reads it as Windows-1252.
    cat > "$work/desktop6.txt" <<'EOF'
category 1|Business
category 2|Personal
contact Record ID=1|First Name=José|Last Name=Ramírez|Company=Café Olé Imports|Job Title=Buyer|Work City=San José|Category=1|Work Phone=+1 555 0101|Phone Label1=0|Work Fax=jose.ramirez@example.org|Phone Label2=4|Birthday=129111608
contact Record ID=2|First Name=Jürgen|Last Name=Müller|Company=Müller AG|Category=1|Work Phone=+49 30 555 0104|Phone Label1=0|Work Fax=juergen.mueller@example.org|Phone Label2=4
contact Record ID=3|First Name=Siobhán|Last Name=O'Brien|Company=O'Brien & Sons|Category=1|Work Phone=+353 1 555 0103|Phone Label1=1|Work Fax=siobhan.obrien@example.org|Phone Label2=4
contact Record ID=4|First Name=Ærin|Last Name=Nakamura|Category=2|Work Phone=+81 3 5550 0112|Phone Label1=7|Note=Only in the Desktop 6 database.
EOF

    "$build/vw-datgen" -o "$work/ana.dat" "$work/ana.txt" > /dev/null
    "$build/vw-datgen" -o "$work/ben.dat" "$work/ben.txt" > /dev/null
    "$build/vw-pdgen" "$out/Palm Desktop" --version 4.1.2.0 \
        --user "Ana=$work/ana.dat" --user "Ben=$work/ben.dat" > /dev/null
    "$build/vw-d6gen" "$out/Desktop 6/address.mdb" "$work/desktop6.txt" > /dev/null
    "$build/vw-demogen" "$out/demo.wab" > /dev/null
    rm -rf "$work"
}

if [ -d "$demo" ] && [ "$fresh" = 0 ]; then
    echo "Demo data kept: $demo (bash tools/make-demo.sh $build --fresh builds it anew)"
else
    # Built beside its place and moved in whole, so a failure leaves no half demo.
    tmp="$place/demo.new.$$"
    rm -rf "$tmp"
    trap 'rm -rf "$tmp"' EXIT
    make_demo "$tmp"
    rm -rf "$demo"
    mv "$tmp" "$demo"
    trap - EXIT
    echo "Demo data written: $demo"
fi

if [ -e "$ini" ]; then
    echo "Settings kept: $ini"
else
    cat > "$ini" <<EOF
[Path]
PDPath=$demo/Palm Desktop
[iSysVal]
WabFile=$demo/demo.wab
EOF
    echo "Settings written: $ini (Palm Desktop folder and address book of the demo)"
fi
echo "Desktop 6 database of the demo: $demo/Desktop 6/address.mdb (choose it with Browse)"
