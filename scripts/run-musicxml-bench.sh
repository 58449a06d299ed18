#!/usr/bin/env bash
# MusicXML speed, as whole commands side by side: veldune-host reading a
# score, running the text command (Yes to all) or a note entry scan, and
# writing it back, beside
# the floor (pugixml parsing and saving the same file) and MuseScore
# converting it (mscore3 -o). On the largest MuseScore demo and a generated
# score of at least 10 MB. Never run by the tests; docs/performance.md has
# the results.
#   scripts/run-musicxml-bench.sh [REPETITIONS]   (default 5; the median is reported; MuseScore runs once)
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions="${1:-5}"

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

# Median wall time and CPU time (user + system) of a command, in ms.
measure() { measure_n "$repetitions" "$@"; }
measure_n() {
    local count=$1
    shift
    local walls=() cpus=()
    for _ in $(seq "$count"); do
        /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null 2>&1
        read -r wall user system <"$work/time"
        walls+=("$(echo "$wall * 1000" | bc)")
        cpus+=("$(echo "($user + $system) * 1000" | bc)")
    done
    local mid=$((count / 2))
    echo "$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "$((mid + 1))p") $(printf '%s\n' "${cpus[@]}" | sort -n | sed -n "$((mid + 1))p")"
}

printf '%-28s %9s %22s %10s %10s %14s %14s\n' file MB "command" "wall ms" "cpu ms" "/ floor" "MuseScore /"
for score in "$demo" "$generated"; do
    size=$(echo "scale=1; $(stat -c %s "$score") / 1048576" | bc)
    read -r floorWall floorCpu <<<"$(measure "$tool" floor "$score" "$work/floor.out")"
    read -r hostWall hostCpu <<<"$(measure "$host" "$score" --output "$work/out.musicxml" text --search e \
        --replace E --case --elements all --all --yes)"
    read -r scanWall scanCpu <<<"$(measure "$host" "$score" --output "$work/out.musicxml" entries \
        --find "Displacement=2" --change "Displacement=3" --yes)"
    # MuseScore takes minutes on the large score: one run.
    read -r museWall museCpu <<<"$(measure_n 1 mscore3 -o "$work/back.mscx" "$score")"
    "$host" "$score" --output "$work/out.musicxml" text --search e --replace E --case --elements all --all --yes \
        | grep "instance(s) replaced" >"$work/replaced"
    name=$(basename "$score")
    printf '%-28s %9s %22s %10s %10s\n' "$name" "$size" "pugixml parse + save" "$floorWall" "$floorCpu"
    printf '%-28s %9s %22s %10s %10s %14s %14s\n' "" "" "veldune-host text" "$hostWall" "$hostCpu" \
        "$(echo "scale=2; $hostWall / $floorWall" | bc)x" "$(echo "scale=1; $museWall / $hostWall" | bc)x"
    printf '%-28s %9s %22s %10s %10s %14s %14s\n' "" "" "veldune-host entries" "$scanWall" "$scanCpu" \
        "$(echo "scale=2; $scanWall / $floorWall" | bc)x" "$(echo "scale=1; $museWall / $scanWall" | bc)x"
    printf '%-28s %9s %22s %10s %10s\n' "" "" "mscore3 -o" "$museWall" "$museCpu"
    notes=$(grep -c "<note" "$score")
    changed=$("$host" "$score" --output "$work/out.musicxml" entries --find "Displacement=2" --change "Displacement=3" \
        --yes | grep -o "[0-9]* replacements" || true)
    echo "    (text: $(cat "$work/replaced"); entries: ${changed:-0 replacements} of $notes notes)"
done
