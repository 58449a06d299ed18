#!/usr/bin/env bash
# MusicXML speed, as whole commands side by side: veldune-host reading a
# score, running the text command (Yes to all) or a note entry scan, and
# writing it back, beside
# the floor (pugixml parsing and saving the same file) and MuseScore
# converting it (mscore3 -o). On the largest MuseScore demo and a generated
# score of at least 10 MB. Never run by the tests; docs/performance.md has
# the results.
# The commands run in turn, REPETITIONS times over, so that they share
# whatever else the machine is doing; each figure is the median, and the
# ratios are of CPU time (user + system), which waiting does not change.
#   scripts/run-musicxml-bench.sh [REPETITIONS]   (default 15; MuseScore runs once)
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions="${1:-15}"

cmake --preset bench >/dev/null
cmake --build build/bench -j"${ORVO_BENCH_BUILD_JOBS:-2}" --target veldune-host OrvoSearchReplace orvo_musicxml_tool
work=build/bench/musicxml
mkdir -p "$work"
host=build/bench/veldune-host
tool=build/bench/orvo_musicxml_tool
export QT_QPA_PLATFORM=offscreen
export VELDUNE_REGISTRY=$work/registry.reg

# The largest demo, converted by MuseScore, and the generated score.
largest=$(dpkg -L musescore3-common | grep -E '/demos/[^/]+\.mscx$' | xargs ls -S | head -1)
demo=$work/$(basename "${largest%.*}").musicxml
mscore3 -o "$demo" "$largest" >/dev/null 2>&1
generated=$work/generated.musicxml
"$tool" generate "$generated" 12

ratio() { echo "scale=2; $1 / $2" | bc; }

printf '%-24s %6s %22s %9s %9s %9s %9s %11s\n' file MB command "wall ms" "cpu ms" "least" "/ floor" "MuseScore /"
for score in "$demo" "$generated"; do
    size=$(echo "scale=1; $(stat -c %s "$score") / 1048576" | bc)
    mapfile -t rows < <("$tool" time "$repetitions" \
        -- "$tool" floor "$score" "$work/floor.out" \
        -- "$host" "$score" --output "$work/out.musicxml" text --search e --replace E --case --elements all --all --yes \
        -- "$host" "$score" --output "$work/out.musicxml" entries --find "Displacement=2" --change "Displacement=3" --yes)
    read -r floorWall floorCpu floorLeast <<<"${rows[0]}"
    read -r textWall textCpu textLeast <<<"${rows[1]}"
    read -r scanWall scanCpu scanLeast <<<"${rows[2]}"
    # MuseScore takes a minute or more on the large score: one run.
    read -r museWall museCpu _ <<<"$("$tool" time 1 -- mscore3 -o "$work/back.mscx" "$score")"
    name=$(basename "$score")
    line() { printf '%-24s %6s %22s %9s %9s %9s %9s %11s\n' "$@"; }
    line "$name" "$size" "pugixml parse + save" "$floorWall" "$floorCpu" "$floorLeast" 1 ""
    line "" "" "veldune-host text" "$textWall" "$textCpu" "$textLeast" "$(ratio "$textCpu" "$floorCpu")x" \
        "$(ratio "$museCpu" "$textCpu")x"
    line "" "" "veldune-host entries" "$scanWall" "$scanCpu" "$scanLeast" "$(ratio "$scanCpu" "$floorCpu")x" \
        "$(ratio "$museCpu" "$scanCpu")x"
    line "" "" "mscore3 -o" "$museWall" "$museCpu" "" "" ""
    replaced=$("$host" "$score" --output "$work/out.musicxml" text --search e --replace E --case --elements all \
        --all --yes | grep -o "[0-9]* instance(s) replaced" || true)
    notes=$(grep -c "<note" "$score")
    changed=$("$host" "$score" --output "$work/out.musicxml" entries --find "Displacement=2" --change "Displacement=3" \
        --yes | grep -o "[0-9]* replacements" || true)
    echo "    (text: ${replaced:-0 instance(s) replaced}; entries: ${changed:-0 replacements} of $notes notes)"
done
