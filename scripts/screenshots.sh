#!/usr/bin/env bash
# Regenerates the screenshots of the real dialogs under docs/screenshots/:
# builds the Windows x64 plug-in and host, runs them under Wine on a private
# Xvfb display, acts on the dialogs as a person would and photographs each.
#
#   scripts/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

scripts/install-deps.sh cmake ninja-build nlohmann-json3-dev libcli11-dev g++-mingw-w64-x86-64 \
    wine wine64 fonts-wine libxrender1 libxrandr2 libxinerama1 libxcursor1 libxi6 libxfixes3 libxcomposite1 \
    xvfb imagemagick

build=build/mingw-x64
cmake --preset mingw-x64 >/dev/null
cmake --build "$build" -j2 --target veldune-host OrvoSearchReplace

state="$root/$build/screenshot-state"
prefix="$root/$build/wine-prefix"
out="$root/docs/screenshots"
mkdir -p "$out" "$state"
wine_test="$root/tests/wine/wine-test.sh"

cleanup() {
    [ -n "${host_pid:-}" ] && kill "$host_pid" 2>/dev/null || true
    bash "$wine_test" stop "$state" "$prefix"
}
trap cleanup EXIT
bash "$wine_test" start "$state" "$prefix"

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
DISPLAY="$(cat "$state/display")"
export DISPLAY
wine=wine
command -v wine >/dev/null 2>&1 || wine=/usr/lib/wine/wine64
winpath() { echo "Z:$(readlink -f "$1" | sed 's#/#\\#g')"; }

hold="$state/hold"

# Runs a session script that ends with a dialog open; the host keeps that
# dialog up (VELDUNE_HOST_HOLD) until it has been photographed.
shot() {
    local file="$1" script="$state/${1%.png}.script"
    cat >"$script"
    rm -f "$hold"
    # Each picture starts from the default settings.
    "$wine" reg delete 'HKCU\Software\OrvoPlugins\OrvoSearchReplace111' /f >/dev/null 2>&1 || true
    VELDUNE_HOST_HOLD="$(winpath "$state")\\hold" "$wine" "$build/veldune-host.exe" \
        "$(winpath tests/documents/basic.json)" --script "$(winpath "$script")" \
        --plugin "$(winpath "$build/OrvoSearchReplace.dll")" >"$state/session.log" 2>&1 &
    host_pid=$!
    for _ in $(seq 1 1200); do
        [ -s "$hold" ] && break
        kill -0 "$host_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -s "$hold" ]; then
        echo "screenshots: $file: no dialog was held open; the host said:" >&2
        cat "$state/session.log" >&2
        exit 1
    fi
    local left top width height caption
    read -r left top width height caption <"$hold" || true
    # The screen as it is, cut to the dialog: caption and frame included.
    import -window root -crop "${width}x${height}+${left}+${top}" +repage "$out/$file"
    rm -f "$hold"
    # The script ends with the dialog open, which the host reports; that is
    # the point here.
    wait "$host_pid" || true
    host_pid=
    echo "docs/screenshots/$file ($caption)"
}

# Note entries: the search page with two criteria set, then the replace page
# with the dangerous captions in dark red.
shot criteria-search.png <<'EOF2'
invoke 0 region 1 1 0 2 4 4096
state 117 1
state 146 2
EOF2
shot criteria-replace.png <<'EOF2'
invoke 0 region 1 1 0 2 4 4096
state 117 1
click 205
state 120 1
EOF2

# Text: the setup, a match in the results dialog, and the summary.
shot text-setup.png <<'EOF2'
invoke 1
type 101 "Allegro"
click 105
type 106 "Presto"
EOF2
shot text-results.png <<'EOF2'
invoke 1
type 101 "Allegro"
click 105
type 106 "Presto"
click 1
EOF2
shot text-summary.png <<'EOF2'
invoke 1
type 101 "Allegro"
click 105
type 106 "Presto"
click 1
click 103
EOF2
