#!/usr/bin/env bash
# veldune-host at a real terminal: tmux runs it, the keys are sent as a
# person types them, and the screen is read back with capture-pane.
# Usage: tmux-session.sh HOST PLUGIN SCORE WORKDIR SCENARIO
# A tmux that cannot start fails the test.
set -euo pipefail
host=$1 plugin=$2 score=$3 work=$4 scenario=$5

command -v tmux >/dev/null || { echo "FAIL: tmux is not installed (scripts/run-tests.sh installs it)"; exit 1; }
rm -rf "$work"
mkdir -p "$work"
ext=".${score##*.}"
cp "$score" "$work/score$ext"
# A socket path of its own, short enough for any checkout.
sockdir=$(mktemp -d /tmp/veldune-tmux.XXXXXX)
sock="$sockdir/s"
T() { tmux -S "$sock" "$@"; }
cleanup() {
    T kill-server 2>/dev/null || true
    rm -rf "$sockdir"
}
trap cleanup EXIT

screen() { T capture-pane -p -t t; }
fail() {
    echo "FAIL ($scenario): $*"
    echo "--- the screen:"
    screen 2>/dev/null || true
    exit 1
}
start() {  # WIDTH HEIGHT: the host on the score, writing to out$ext
    T -f /dev/null new-session -d -s t -x "$1" -y "$2" \
        "TERM=tmux-256color LC_ALL=C.UTF-8 '$host' '$work/score$ext' --output '$work/out$ext' --registry '$work/registry.reg' --plugin '$plugin'; echo EXIT=\$?; sleep 3600" ||
        fail "tmux cannot start"
    wait_for "Choose a command"
}
wait_for() {
    for _ in $(seq 150); do
        screen | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    fail "waited for \"$1\""
}
keys() { T send-keys -t t "$@"; }
type_text() { T send-keys -t t -l "$1"; }
# A mouse press and release on the first cell showing TEXT, as xterm's
# normal mouse mode reports it (as tmux-256color's kmous says).
click_on() {
    local at row col
    at=$(screen | awk -v text="$1" '{ i = index($0, text); if (i > 0) { print NR - 1, i - 1; exit } }')
    [ -n "$at" ] || fail "nothing on the screen shows \"$1\""
    read -r row col <<<"$at"
    # Columns are characters; the frame's line pieces are one each.
    T send-keys -t t -H 1b 5b 4d 20 "$(printf %x $((33 + col)))" "$(printf %x $((33 + row)))" \
        1b 5b 4d 23 "$(printf %x $((33 + col)))" "$(printf %x $((33 + row)))"
}
finish() {  # quits from the menu and expects the exit status
    keys q
    wait_for "EXIT=$1"
}

case "$scenario" in
text)
    start 100 40
    keys 2
    wait_for "Search for text:"
    keys F1
    wait_for "Keys work as in a Windows dialog"
    keys Space
    wait_for "Search elements"
    type_text "Allegro"
    keys M-r # "Replace with:" ticks and moves on into its field
    type_text "Presto"
    keys Enter
    wait_for "Match was found in"
    keys M-a # Yes to all
    wait_for "instance(s) replaced"
    keys Enter
    wait_for "Last run"
    finish 0
    screen | grep -qF "The score was written to $work/out$ext" || fail "no word of the score written"
    grep -q "Presto" "$work/out$ext" || fail "the written score has no Presto"
    ! grep -q "Allegro" "$work/out$ext" || fail "an Allegro is left in the written score"
    ;;
entries)
    start 100 40
    keys 1
    wait_for "Search for..."
    # From Duration past Position (their values are disabled while their
    # boxes are off) and the entry boxes down to Chord.
    keys Tab Tab Tab Tab Tab Tab Space Space
    wait_for "Chord [x]"
    keys M-d # Done >>
    wait_for "Replace with..."
    # Dangerous attributes in red, search-only ones dimmed, mnemonics underlined.
    T capture-pane -p -e -t t | grep -qF $'\e[31mNote Detail' || fail "Note Detail is not red"
    T capture-pane -p -e -t t | grep -qF $'\e[90mLegality' || fail "Legality is not dimmed"
    T capture-pane -p -e -t t | grep -qF $'\e[4mG' || fail "the G of GO! is not underlined"
    click_on "Up/Down" # leave as it is -> off
    wait_for "Up/Down  [ ]"
    click_on "Up/Down" # -> on
    wait_for "Up/Down  [x]"
    keys M-g
    wait_for "were made"
    keys Enter
    wait_for "Last run"
    finish 0
    ! cmp -s "$work/score$ext" "$work/out$ext" || fail "the note entry command changed nothing"
    ;;
ctrl-c)
    start 100 40
    keys 2
    wait_for "Search for text:"
    type_text "Allegro"
    keys C-c
    wait_for "EXIT=130"
    ! screen | grep -qF "Search for text" || fail "the dialog is still on the screen: the terminal was not given back"
    [ ! -e "$work/out$ext" ] || fail "Ctrl+C wrote the score"
    [ ! -e "$work/registry.reg" ] || fail "Ctrl+C wrote the settings"
    ;;
small)
    start 70 24
    keys 1
    wait_for "The terminal is too small"
    wait_for "needs at least 80 x 34"
    T resize-window -t t -x 100 -y 40
    wait_for "Search for..."
    keys Escape
    wait_for "Choose a command"
    finish 0
    ;;
musicxml)
    # Both commands on a MusicXML score, its texts in UTF-8.
    start 100 40
    keys 2
    wait_for "Search for text:"
    type_text "Flöte"
    keys M-r
    type_text "Querflöte"
    keys Enter
    wait_for "Match was found in"
    screen | grep -qF "Flöte" || fail "the match's text is not shown as UTF-8"
    keys M-a
    wait_for "instance(s) replaced"
    keys Enter
    wait_for "Last run"
    # Entries without a frozen stem get an up stem.
    keys 1
    wait_for "Search for..."
    click_on "Freeze Stem"
    wait_for "Freeze Stem[ ]"
    keys M-d
    wait_for "Replace with..."
    click_on "Freeze Stem"
    wait_for "Freeze Stem[ ]"
    click_on "Freeze Stem"
    wait_for "Freeze Stem[x]"
    click_on "Up/Down"
    wait_for "Up/Down  [ ]"
    click_on "Up/Down"
    wait_for "Up/Down  [x]"
    keys M-g
    wait_for "replacements were made"
    keys Enter
    wait_for "Last run"
    finish 0
    grep -qF "<part-name>Querflöte</part-name>" "$work/out$ext" || fail "the written score has no Querflöte"
    grep -qF "<stem>up</stem>" "$work/out$ext" || fail "the written score has no up stem"
    # Only the replaced texts and the new stems changed; every other line is as it was.
    [ "$(diff "$work/score$ext" "$work/out$ext" | grep '^>' | grep -vc 'Querflöte\|<stem>up</stem>')" -eq 0 ] ||
        fail "more changed than the texts and the stems"
    ;;
*)
    echo "unknown scenario $scenario"
    exit 2
    ;;
esac
echo "ok ($scenario)"
