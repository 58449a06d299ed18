#!/usr/bin/env bash
# Builds the plug-in and the reference host, then runs both commands of the
# plug-in on the bundled demo score and prints what the user would see.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh cmake ninja-build g++ libgtest-dev libgmock-dev nlohmann-json3-dev libcli11-dev libncurses-dev \
    libpugixml-dev libzip-dev

cmake --workflow --preset demo >/dev/null
host=build/default/veldune-host
out=build/demo
mkdir -p "$out"
rm -f "$out/registry.reg"
score="$out/demo-score.json"
cp examples/demo.json "$score"
run() {
    echo
    echo "\$ veldune-host $*"
    "$host" "$@" --registry "$out/registry.reg"
}

echo "== Text command, search only: every \"dolce\" in the score, lyrics included"
run "$score" text --search "dolce" --elements all

echo
echo "== Text command: \"allegro\" becomes \"Allegretto\" in titles, tempo marks and expressions (Yes to all)"
run "$score" text --search "allegro" --replace "Allegretto" --elements page,measure,expressions,staff,group,repeats \
    --all --in-place

echo
echo "== Note entry command: quarter-note chords lose their up/down stem flag, over the whole score"
run "$score" entries --find "Chord=on,Duration=1024" --change "Up/Down=off" --yes --in-place

echo
echo "== A MusicXML score: \"Klavier\" becomes \"Piano\" in the staff names; every other byte stays as it was"
mxl="$out/kleine-suite.musicxml"
cp tests/musicxml/all_kinds.musicxml "$mxl"
run "$mxl" text --search "Klavier" --replace "Piano" --elements staff --all --in-place
diff "$mxl.orig" "$mxl" || true

echo
echo "The changed scores are in $score and $mxl (originals beside them as .orig); the plug-in's settings in"
echo "$out/registry.reg."
echo
echo "At a terminal, the same commands through the plug-in's dialogs (F1 for help, Q to quit):"
echo "  $host examples/demo.json --output $out/from-the-dialogs.json --registry $out/registry.reg"
