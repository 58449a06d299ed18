#!/usr/bin/env bash
# MuseScore's own files, read and written directly: Debian's demos (.mscx
# and .mscz) through both commands, every output read back by MuseScore
# (mscore3 -o back.musicxml changed.mscz), and what MuseScore makes of it
# compared with what veldune-host wrote: the changed texts are there, and
# the notes read (by the MusicXML reader) as the MuseScore reader reads the
# changed score.
#
# usage: native-test.sh VELDUNE-HOST PLUGIN WORK-DIR SOURCE-DIR
set -euo pipefail
host=$1
plugin=$2
work=$3
source=$4

failures=0
checks=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
die() {
    echo "FAIL: $*" >&2
    exit 1
}
for tool in mscore3 xmllint unzip cmp python3; do
    command -v "$tool" >/dev/null || die "$tool is not installed (scripts/run-tests.sh installs it)"
done

rm -rf "$work"
mkdir -p "$work"
run=$work
export QT_QPA_PLATFORM=offscreen
export VELDUNE_REGISTRY=$run/registry.reg

vh() { "$host" "$@" --plugin "$plugin" >"$run/host.log" 2>&1 || { fail "veldune-host $*: $(tail -5 "$run/host.log")"; return 1; }; }

# MuseScore reads FILE back to MusicXML; every TEXT must be in it.
back() { # FILE OUT TEXT...
    local file=$1 out=$2
    shift 2
    checks=$((checks + 1))
    if ! timeout 120 mscore3 -o "$out" "$file" >"$run/mscore.log" 2>&1 || [ ! -s "$out" ]; then
        fail "MuseScore cannot read $file back: $(tail -3 "$run/mscore.log")"
        return 1
    fi
    for text in "$@"; do
        grep -qF -- "$text" "$out" || fail "MuseScore's reading of $file has no \"$text\""
    done
}

# Whether MuseScore reads the raised notes as written: the notes of a score
# document as "measure displacement raise/lower", ours against MuseScore's
# MusicXML read by our MusicXML reader, must differ after the change only
# as they differ before it (every note raised to 1). Not by staff:
# MuseScore's MusicXML puts a chord moved to another staff (<staffMove>) on
# that staff, while its entry stays in its own; and its export of such
# chords under an ottava is its own.
same_notes() { # OURS-BEFORE MUSESCORE-BEFORE OURS-AFTER MUSESCORE-AFTER
    python3 - "$@" <<'PY'
import json, sys
from collections import Counter
def notes(path, raised=False):
    rows = Counter()
    for frame in json.load(open(path)).get("frames", []):
        for entry in frame.get("entries", []):
            for note in entry.get("notes", []):
                rows[(frame["measure"], note["displacement"], 1 if raised else note["raiseLower"])] += 1
    return rows
before = (notes(sys.argv[1], True), notes(sys.argv[2], True))
after = (notes(sys.argv[3]), notes(sys.argv[4]))
differs = lambda a, b: (sorted((a - b).elements()), sorted((b - a).elements()))
if differs(*before) != differs(*after):
    print("before:", differs(*before), "after:", differs(*after))
    sys.exit(1)
if not any(key[2] == 1 for key in after[0]):
    print("no note raised")
    sys.exit(1)
PY
}

xml_of() { # SCORE -> its .mscx text on stdout
    case "$1" in
    *.mscz) unzip -p "$1" "$(unzip -Z1 "$1" | grep '\.mscx$' | grep -v '^Excerpts/' | head -1)" ;;
    *) cat "$1" ;;
    esac
}

demos=$(dpkg -L musescore3-common 2>/dev/null | grep -E '/demos/[^/]+\.msc[xz]$' || true)
[ -n "$demos" ] || die "no MuseScore demo scores (dpkg -L musescore3-common | grep demos)"

# Scores MuseScore 3 wrote from MusicXML shaped like real ones: parts (two
# excerpts), three verses, instruments in B-flat and F, two staves of piano,
# tuplets, grace notes, ties, beams with a direction of their own and one
# placed by hand.
samples="$source/tests/musescore/files/song_parts.mscz $source/tests/musescore/files/placed_beam.mscx"

# Notes tied on (Tie Start) in a score document.
ties() {
    python3 -c 'import json, sys
print(sum(1 for f in json.load(open(sys.argv[1])).get("frames", []) for e in f["entries"] for n in e["notes"]
          if int(n["flags"], 16) & 0x40000000))' "$1"
}

for demo in $demos $samples; do
    name=$(basename "$demo")
    ext=${name##*.}
    base=${name%.*}

    # Runs that change nothing write the file again, byte for byte.
    out=$run/noop-$name
    vh "$demo" --output "$out" text --search "zqzqzq" --elements all &&
        { checks=$((checks + 1)); cmp -s "$demo" "$out" || fail "$name: a text run without changes changed the file"; }
    vh "$demo" --output "$out" entries --find "Duration=8191" --change "Up/Down=off" --yes &&
        { checks=$((checks + 1)); cmp -s "$demo" "$out" || fail "$name: a scan without changes changed the file"; }

    # Every "e" of every text kind made an "E": the title among them.
    title=$(xml_of "$demo" | xmllint --xpath 'string((//VBox/Text[style="Title"]/text)[1])' - 2>/dev/null || true)
    out=$run/texts-$base.$ext
    if vh "$demo" --output "$out" text --search "e" --replace "E" --case --elements all --all --yes; then
        checks=$((checks + 1))
        grep -q "instance(s) replaced" "$run/host.log" || fail "$name: no replacements"
        expected=()
        [ -n "$title" ] && expected+=("${title//e/E}")
        back "$out" "$run/texts-$base.musicxml" "${expected[@]}"
    fi

    # Stems frozen up and every note raised a half step: MuseScore's
    # MusicXML, read by our MusicXML reader, has the notes our MuseScore
    # reader reads in the changed file.
    stems=$run/stems-$base.$ext
    raised=$run/raised-$base.$ext
    if vh "$demo" --output "$stems" entries --find "Note/Rest=on" --change "Freeze Stem=on,Up/Down=on" --yes &&
        vh "$stems" --output "$raised" entries --find "Note Legality=off" --change "Raise/Lower=1" --yes; then
        checks=$((checks + 1))
        # A beam has a direction of its own; a chord's comes after its duration.
        xml_of "$stems" | awk '/<Beam>/ { beam = 1; next } /<StemDirection>down</ { if (!beam) found = 1 } { beam = 0 }
                               END { exit !found }' &&
            fail "$name: chords' stems down are left after turning them up"
        if back "$raised" "$run/raised-$base.musicxml" && back "$demo" "$run/orig-$base.musicxml"; then
            checks=$((checks + 1))
            if vh "$demo" --output "$run/orig-$base.json" text --search "zqzqzq" &&
                vh "$run/orig-$base.musicxml" --output "$run/orig-back-$base.json" text --search "zqzqzq" &&
                vh "$raised" --output "$run/raised-$base.json" text --search "zqzqzq" &&
                vh "$run/raised-$base.musicxml" --output "$run/raised-back-$base.json" text --search "zqzqzq"; then
                same_notes "$run/orig-$base.json" "$run/orig-back-$base.json" "$run/raised-$base.json" \
                    "$run/raised-back-$base.json" >"$run/notes.log" ||
                    fail "$name: MuseScore reads other notes than were written: $(head -c 400 "$run/notes.log")"
            fi
        fi
    fi

    # MuseScore shows stems frozen down as down: a beam with a direction of
    # its own, or placed by hand, takes the change along. Chords of a beam
    # across staves go as the beam does.
    down=$run/down-$base.$ext
    if ! xml_of "$demo" | grep -q "<staffMove>" &&
        vh "$demo" --output "$down" entries --find "Note/Rest=on" --change "Freeze Stem=on,Up/Down=off" --yes &&
        back "$down" "$run/down-$base.musicxml"; then
        checks=$((checks + 1))
        grep -q "<stem>up</stem>" "$run/down-$base.musicxml" && fail "$name: MuseScore shows stems up after freezing them down"
    fi

    # Ties added wherever they can be: MuseScore reads as many more as were written.
    tied=$run/tied-$base.$ext
    if vh "$demo" --output "$tied" entries --find "Tie End=off" --change "Tie End=on,Tie Start=on" --yes &&
        vh "$tied" --output "$run/tied-$base.json" text --search "zqzqzq" &&
        vh "$demo" --output "$run/untouched-$base.json" text --search "zqzqzq" &&
        back "$demo" "$run/orig-$base.musicxml" && back "$tied" "$run/tied-$base.musicxml"; then
        checks=$((checks + 1))
        ours=$(($(ties "$run/tied-$base.json") - $(ties "$run/untouched-$base.json")))
        theirs=$(($(grep -c '<tie type="start"/>' "$run/tied-$base.musicxml") - $(grep -c '<tie type="start"/>' "$run/orig-$base.musicxml")))
        [ "$ours" -eq "$theirs" ] || fail "$name: $ours ties written, MuseScore reads $theirs more"
    fi

    # Ties taken off, both ends.
    if xml_of "$demo" | grep -q '<Spanner type="Tie">'; then
        out=$run/untied-$base.$ext
        if vh "$demo" --output "$out" entries --find "Tie Start=on" --change "Tie Start=off" --yes; then
            checks=$((checks + 1))
            xml_of "$out" | grep -q '<Spanner type="Tie">' && fail "$name: ties are left after taking them off"
            back "$out" "$run/untied-$base.musicxml" && grep -q '<tie type' "$run/untied-$base.musicxml" &&
                fail "$name: MuseScore still reads ties"
        fi
    fi
done

# Our own score of every text kind, with an excerpt.
own=$run/all_kinds.mscx
# MuseScore 3.2 writes (and reads up to) format 3.01; the file is within it.
sed 's/<museScore version="3.02">/<museScore version="3.01">/' "$source/tests/musescore/files/all_kinds.mscx" >"$own"
out=$run/own-changed.mscx
vh "$own" --output "$out" text --search "l" --replace "L" --case --elements all --all --yes &&
    back "$out" "$run/own-changed.musicxml" "KLeine Suite" "FLöte" "KLavier" "GLo" "doLce"

echo "musescore native: $checks checks on $(echo "$demos" | wc -w) demo scores and $(echo "$samples" | wc -w) samples"
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
