#!/usr/bin/env bash
# MuseScore speed, as whole commands side by side: veldune-host reading a
# MuseScore score (.mscx), running the text command (Yes to all) or a note
# entry scan, and writing it back, beside the floor (pugixml parsing and
# saving the same file) and MuseScore converting it (mscore3 -o). On the
# largest MuseScore demo and a generated score of at least 10 MB (the
# demo's measures over and over, without its excerpts). Never run by the
# tests; docs/performance.md has the results.
# The commands run in turn, REPETITIONS times over (the timer of
# scripts/run-musicxml-bench.sh); each figure is the median, and the ratios
# are of CPU time (user + system).
#   scripts/run-musescore-bench.sh [REPETITIONS]   (default 15; MuseScore runs once)
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions="${1:-15}"

# ORVO_BENCH_DIR: time another build's programs (it must hold orvo_musicxml_tool).
build=${ORVO_BENCH_DIR:-build/bench}
if [ -z "${ORVO_BENCH_DIR:-}" ]; then
    cmake --preset bench >/dev/null
    cmake --build build/bench -j"${ORVO_BENCH_BUILD_JOBS:-2}" --target veldune-host OrvoSearchReplace orvo_musicxml_tool
fi
work=$build/musescore
mkdir -p "$work"
host=$build/veldune-host
tool=$build/orvo_musicxml_tool
export QT_QPA_PLATFORM=offscreen
export VELDUNE_REGISTRY=$work/registry.reg

largest=$(dpkg -L musescore3-common | grep -E '/demos/[^/]+\.mscx$' | xargs ls -S | head -1)
demo=$work/$(basename "$largest")
cp "$largest" "$demo"
generated=$work/generated.mscx
python3 - "$largest" "$generated" 10 <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-8").read()
# The score's own staves only: the excerpts are the <Score>s nested in it,
# and MuseScore 3 closes an element at its children's indentation.
nested = text.find("\n    <Score>")
if nested >= 0:
    text = text[:nested] + text[text.rindex("\n    </Score>\n  </museScore>"):]
def repeat(block, times):
    start = block.rfind("\n", 0, block.index("<Measure")) + 1
    end = block.rindex("</Measure>\n") + len("</Measure>\n")
    return block[:start] + block[start:end] * times + block[end:]
target = float(sys.argv[3]) * 1048576
times = 1
while True:
    out = re.sub(r"\n    <Staff id=\"\d+\">\n.*?\n      </Staff>\n", lambda m: repeat(m.group(0), times), text,
                 flags=re.S)
    if len(out.encode("utf-8")) >= target:
        break
    times = int(times * target / len(out.encode("utf-8"))) + 1
open(sys.argv[2], "w", encoding="utf-8").write(out)
PY

ratio() { echo "scale=2; $1 / $2" | bc; }

printf '%-24s %6s %22s %9s %9s %9s %9s %11s\n' file MB command "wall ms" "cpu ms" "least" "/ floor" "MuseScore /"
for score in "$demo" "$generated"; do
    size=$(echo "scale=1; $(stat -c %s "$score") / 1048576" | bc)
    mapfile -t rows < <("$tool" time "$repetitions" \
        -- "$tool" floor "$score" "$work/floor.out" \
        -- "$host" "$score" --output "$work/out.mscx" text --search e --replace E --case --elements all --all --yes \
        -- "$host" "$score" --output "$work/out.mscx" entries --find "Displacement=2" --change "Displacement=3" --yes)
    read -r floorWall floorCpu floorLeast <<<"${rows[0]}"
    read -r textWall textCpu textLeast <<<"${rows[1]}"
    read -r scanWall scanCpu scanLeast <<<"${rows[2]}"
    read -r museWall museCpu _ <<<"$("$tool" time 1 -- mscore3 -o "$work/back.musicxml" "$score")"
    name=$(basename "$score")
    line() { printf '%-24s %6s %22s %9s %9s %9s %9s %11s\n' "$@"; }
    line "$name" "$size" "pugixml parse + save" "$floorWall" "$floorCpu" "$floorLeast" 1 ""
    line "" "" "veldune-host text" "$textWall" "$textCpu" "$textLeast" "$(ratio "$textCpu" "$floorCpu")x" \
        "$(ratio "$museCpu" "$textCpu")x"
    line "" "" "veldune-host entries" "$scanWall" "$scanCpu" "$scanLeast" "$(ratio "$scanCpu" "$floorCpu")x" \
        "$(ratio "$museCpu" "$scanCpu")x"
    line "" "" "mscore3 -o" "$museWall" "$museCpu" "" "" ""
    replaced=$("$host" "$score" --output "$work/out.mscx" text --search e --replace E --case --elements all \
        --all --yes | grep -o "[0-9]* instance(s) replaced" || true)
    notes=$(grep -c "<Note>" "$score")
    changed=$("$host" "$score" --output "$work/out.mscx" entries --find "Displacement=2" --change "Displacement=3" \
        --yes | grep -o "[0-9]* replacements" || true)
    echo "    (text: ${replaced:-0 instance(s) replaced}; entries: ${changed:-0 replacements} of $notes notes)"
done
