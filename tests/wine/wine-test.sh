#!/usr/bin/env bash
# Runs the Windows build under Wine on a private Xvfb display.
#
#   wine-test.sh start    STATE PREFIX                      start Xvfb, make the Wine prefix
#   wine-test.sh stop     STATE PREFIX                      stop the Wine server and Xvfb
#   wine-test.sh scenario STATE PREFIX HOST DLL DOC SCRIPT  run a session script with fresh settings
#   wine-test.sh registry STATE PREFIX HOST DLL DOC SCRIPT  run it, then compare the stored values
#   wine-test.sh refuses  STATE PREFIX HOST DLL DOC SCRIPT TEXT
#                                                           the run must fail, saying TEXT
#   wine-test.sh command  STATE PREFIX HOST DLL DOC TEXT -- ARGS...
#                                                           a subcommand must succeed, printing TEXT
#   wine-test.sh exports  OBJDUMP DLL                       the DLL's export and import tables
#
# STATE is a folder for the display number and Xvfb's process id. A test that
# cannot start Wine or Xvfb fails. The one exception: the x86 runs on a machine
# whose kernel does not run 32-bit programs at all are skipped (exit 77), with
# the reason on one line.
set -uo pipefail

settings_key='HKCU\Software\OrvoPlugins\OrvoSearchReplace111'

die() {
    echo "wine-test: $*" >&2
    exit 1
}

# The architecture under test, from the build (ORVO_WINE_ARCH: x64 or x86).
arch="${ORVO_WINE_ARCH:-x64}"
probe="$(dirname "$(readlink -f "$0")")/../../scripts/probe-32bit.sh"

# The loader for this architecture. The x64 runs take the 64-bit loader
# directly: once the 32-bit package is installed, Debian's wine wrapper hands
# every program to the 32-bit loader first, which a kernel without 32-bit
# support cannot start.
wine_program() {
    if [ "$arch" = x86 ]; then
        if [ -x /usr/lib/wine/wine ]; then
            echo /usr/lib/wine/wine
        elif [ -x /usr/lib/wine/wine64 ]; then
            die "no 32-bit Wine loader on this machine (Debian: apt-get install wine32:i386)"
        elif command -v wine >/dev/null 2>&1; then
            echo wine
        else
            die "no wine on this machine (Debian: apt-get install wine32:i386)"
        fi
    elif [ -x /usr/lib/wine/wine64 ]; then
        echo /usr/lib/wine/wine64
    elif command -v wine64 >/dev/null 2>&1; then
        echo wine64
    elif command -v wine >/dev/null 2>&1; then
        echo wine
    else
        die "no wine on this machine (Debian: apt-get install wine64)"
    fi
}

wineserver_program() {
    if [ -x /usr/lib/wine/wineserver64 ]; then
        echo /usr/lib/wine/wineserver64
    elif command -v wineserver >/dev/null 2>&1; then
        echo wineserver
    else
        die "no wineserver on this machine"
    fi
}

# The x86 runs need a kernel that runs 32-bit programs. Where it refuses
# them the run is skipped (exit 77, ctest's SKIP_RETURN_CODE) with the reason;
# any other failure of the probe fails the test.
need_32bit() {
    [ "$arch" = x86 ] || return 0
    local reason status
    reason="$(bash "$probe" ${ORVO_PROBE32_PROGRAM:+"$ORVO_PROBE32_PROGRAM"})"
    status=$?
    case $status in
        0) return 0 ;;
        3)
            echo "$reason"
            exit 77
            ;;
        *) die "cannot tell whether this machine runs 32-bit programs (the probe failed)" ;;
    esac
}

use_prefix() {
    WINEPREFIX="$(realpath -m "$1")"
    export WINEPREFIX
    export WINEDEBUG=-all
    # No Mono or Gecko installer prompts when the prefix is made.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
    # Programs that Wine starts for itself (wineboot's) use the same 64-bit
    # loader, as Debian's wrapper arranges where no 32-bit loader is installed.
    if [ "$arch" = x64 ] && [ -x /usr/lib/wine/wine64 ]; then
        export WINELOADER=/usr/lib/wine/wine64
    fi
}

use_display() {
    local state="$1"
    [ -f "$state/display" ] || die "no display recorded in $state: the wine.start test did not run or failed"
    DISPLAY="$(cat "$state/display")"
    export DISPLAY
}

# Unix path -> the same file through Wine's Z: drive.
windows_path() {
    local path
    path="$(readlink -f "$1")"
    echo "Z:${path//\//\\}"
}

start() {
    local state="$1" prefix="$2"
    mkdir -p "$state"
    command -v Xvfb >/dev/null 2>&1 || die "no Xvfb on this machine (Debian: apt-get install xvfb)"
    local wine
    wine="$(wine_program)"

    # A free display: no socket and no lock file, and Xvfb stays up on it.
    local display="" pid=""
    for n in $(seq 90 189); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        # The document's default screen, so that dialog places match.
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
        pid=$!
        for _ in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
            display=":$n"
            break
        fi
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    [ -n "$display" ] || die "Xvfb could not start on any display from :90 to :189 (see $state/xvfb.log)"
    echo "$pid" >"$state/xvfb.pid"
    echo "$display" >"$state/display"
    export DISPLAY="$display"
    use_prefix "$prefix"

    if [ ! -f "$prefix/system.reg" ]; then
        echo "Making the Wine prefix $prefix (the first run takes a while)"
        rm -rf "$prefix"
        timeout 300 "$wine" wineboot -i >"$state/wineboot.log" 2>&1 || {
            cat "$state/wineboot.log" >&2
            die "wineboot failed"
        }
    fi
    local restart=0
    if [ ! -f "$prefix/.orvo-settings-1" ]; then
        # A crash must end the test, not wait behind a dialog for a person.
        timeout 120 "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            >/dev/null 2>&1 || die "cannot write the Wine prefix's registry"
        # No window manager runs on Xvfb: Wine draws the captions and frames itself.
        timeout 120 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            >/dev/null 2>&1 || die "cannot write the Wine prefix's registry"
        touch "$prefix/.orvo-settings-1"
        restart=1
    fi
    if [ ! -f "$prefix/.orvo-settings-2" ]; then
        # Windows' own default grey for disabled text; Wine's differs.
        timeout 120 "$wine" reg add 'HKCU\Control Panel\Colors' /v GrayText /t REG_SZ /d '128 128 128' /f \
            >/dev/null 2>&1 || die "cannot write the Wine prefix's registry"
        touch "$prefix/.orvo-settings-2"
        restart=1
    fi
    if [ "$restart" -eq 1 ]; then
        # The running session read the colours and driver settings when the
        # prefix was made; a fresh wineserver reads them again.
        "$(wineserver_program)" -k >/dev/null 2>&1 || true
        "$(wineserver_program)" -w >/dev/null 2>&1 || true
    fi
    # Prove that Wine runs programs at all before any test relies on it.
    timeout 120 "$wine" cmd /c exit 0 >/dev/null 2>&1 || die "Wine cannot run a program in $prefix"
    echo "Xvfb on $display, Wine prefix $prefix"
}

stop() {
    local state="$1" prefix="$2"
    use_prefix "$prefix"
    "$(wineserver_program)" -k >/dev/null 2>&1
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null
        rm -f "$state/xvfb.pid" "$state/display"
    fi
    return 0
}

# The host program under a file name of its own: the plug-in must find the
# services in whatever program loaded it, as it will in the real host.
renamed_host() {
    local state="$1" host="$2" name
    name="$(basename "$host" .exe)"
    mkdir -p "$state/renamed"
    local copy="$state/renamed/Score Editor ($name).exe"
    cp -f "$host" "$copy" || die "cannot copy $host to $copy"
    echo "$copy"
}

# Runs one session script with the plug-in's settings key removed first, as
# every scenario starts from a fresh registry.
run_script() {
    local state="$1" prefix="$2" host="$3" dll="$4" doc="$5" script="$6"
    use_prefix "$prefix"
    use_display "$state"
    host="$(renamed_host "$state" "$host")"
    local wine
    wine="$(wine_program)"
    timeout 120 "$wine" reg delete "$settings_key" /f >/dev/null 2>&1
    if timeout 120 "$wine" reg query "$settings_key" >/dev/null 2>&1; then
        die "cannot remove the settings key before the run"
    fi
    timeout 180 "$wine" "$host" "$(windows_path "$doc")" --script "$(windows_path "$script")" \
        --plugin "$(windows_path "$dll")"
    local status=$?
    [ $status -eq 124 ] && echo "wine-test: the run did not end within 180 s" >&2
    return $status
}

scenario() {
    run_script "$@"
    local status=$?
    [ $status -eq 0 ] || die "veldune-host.exe exited with $status"
}

# A script real Windows cannot carry out must fail with a message that says
# why; a pass would mean it ran without what it planned.
refuses() {
    local state="$1" prefix="$2" host="$3" dll="$4" doc="$5" script="$6" text="$7" output status
    output="$(run_script "$state" "$prefix" "$host" "$dll" "$doc" "$script" 2>&1)"
    status=$?
    echo "$output"
    [ $status -eq 1 ] || die "expected exit status 1, got $status"
    [[ "$output" == *"$text"* ]] || die "expected the run to say: $text"
}

# A subcommand of the host (not a script) run on the real dialogs.
command_run() {
    local state="$1" prefix="$2" host="$3" dll="$4" doc="$5" text="$6"
    shift 6
    [ "${1:-}" = "--" ] && shift
    use_prefix "$prefix"
    use_display "$state"
    host="$(renamed_host "$state" "$host")"
    local wine output status
    wine="$(wine_program)"
    timeout 120 "$wine" reg delete "$settings_key" /f >/dev/null 2>&1
    output="$(timeout 180 "$wine" "$host" "$(windows_path "$doc")" --plugin "$(windows_path "$dll")" "$@" 2>&1)"
    status=$?
    echo "$output"
    [ $status -eq 0 ] || die "veldune-host.exe exited with $status"
    [[ "$output" == *"$text"* ]] || die "expected the output to hold: $text"
}

# The stored value NAME as lower-case hex without spaces, from reg query.
stored_value() {
    local name="$1" wine
    wine="$(wine_program)"
    timeout 120 "$wine" reg query "$settings_key" /v "$name" 2>/dev/null | tr -d '\r' |
        awk -v name="$name" '$1 == name && $2 == "REG_BINARY" { print tolower($3) }'
}

zeros() { printf '%*s' $(($1 * 2)) '' | tr ' ' 0; }

# "Allegro" -> its bytes in hex.
hex_text() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }

# A 16-bit field of a hex record at a byte offset, as a signed number.
field16() {
    local hex="$1" offset="$2"
    local low="${hex:$((offset * 2)):2}" high="${hex:$((offset * 2 + 2)):2}"
    local value=$((16#$high$low))
    [ $value -ge 32768 ] && value=$((value - 65536))
    echo $value
}

# Compares a stored record with the expected bytes, the dialog position
# pairs aside: those hold wherever the window system placed the dialogs, so
# they must only be placed and on the screen.
compare_record() {
    local name="$1" got="$2" expected="$3" positions="$4" failed=0
    if [ ${#got} -ne ${#expected} ]; then
        echo "$name: got $((${#got} / 2)) bytes, expected $((${#expected} / 2))" >&2
        return 1
    fi
    local masked="$got"
    for offset in $positions; do
        masked="${masked:0:$((offset * 2))}XXXX${masked:$((offset * 2 + 4))}"
        expected="${expected:0:$((offset * 2))}XXXX${expected:$((offset * 2 + 4))}"
    done
    if [ "$masked" != "$expected" ]; then
        echo "$name differs:" >&2
        echo "  got      $masked" >&2
        echo "  expected $expected" >&2
        failed=1
    fi
    local index=0
    for offset in $positions; do
        local value limit
        value="$(field16 "$got" "$offset")"
        limit=$((index % 2 == 0 ? 1024 : 768))
        if [ "$value" -lt 0 ] || [ "$value" -gt $limit ]; then
            echo "$name: the position field at $offset holds $value, expected a place on the 1024 x 768 screen" >&2
            failed=1
        fi
        index=$((index + 1))
    done
    return $failed
}

registry() {
    local state="$1" prefix="$2"
    run_script "$@" || die "the settings script failed"
    use_prefix "$prefix"
    use_display "$state"

    # Untouched criteria: the defaults, note-specific flag 0, not placed.
    local criteria
    criteria="$(zeros 68)00000004$(zeros 32)010000000080""0080"
    # The text options the script set: search "Allegro", replace "Presto"
    # switched on, case sensitive, no tags, the six default element switches.
    local prefs
    prefs="$(hex_text Allegro)$(zeros 44)$(hex_text Presto)$(zeros 45)"
    prefs+="0100""0100""0000""0100010001000100010001000000""0000"
    prefs+="$(zeros 8)"

    local search replace text failed=0
    search="$(stored_value SearchOptions)"
    replace="$(stored_value ReplaceOptions)"
    text="$(stored_value TextSearchPrefs)"
    [ -n "$search" ] || die "reg query shows no REG_BINARY value SearchOptions under $settings_key"
    [ -n "$replace" ] || die "reg query shows no REG_BINARY value ReplaceOptions under $settings_key"
    [ -n "$text" ] || die "reg query shows no REG_BINARY value TextSearchPrefs under $settings_key"
    compare_record SearchOptions "$search" "$criteria" "" || failed=1
    compare_record ReplaceOptions "$replace" "$criteria" "" || failed=1
    compare_record TextSearchPrefs "$text" "$prefs" "124 126 128 130" || failed=1
    [ $failed -eq 0 ] || die "the stored settings are not the records"
    echo "The three values under $settings_key hold the records"
}

exports() {
    local objdump="$1" dll="$2"
    local table
    table="$("$objdump" -p "$dll")" || die "$objdump cannot read $dll"
    local names expected
    names="$(echo "$table" | awk '/\[Ordinal\/Name Pointer\] Table/ { on = 1; next } on && NF == 0 { on = 0 }
                                 on { print $NF }' | sort)"
    expected="$(printf '%s\n' VelduneExtensionEnumerate VelduneExtensionGetMenuStatus VelduneExtensionInit \
        VelduneExtensionInvoke VelduneExtensionTerminate VelduneExtensionVersion | sort)"
    if [ "$names" != "$expected" ]; then
        echo "exports of $dll:" >&2
        echo "$names" >&2
        die "expected exactly the six VelduneExtension entry points"
    fi
    # Only Windows' own libraries: no MinGW runtime DLLs, and no program. The
    # host's services are found at run time in whatever program loaded the
    # DLL; an import of an .exe would tie it to one file name.
    local imports unexpected
    imports="$(echo "$table" | awk '/DLL Name:/ { print $3 }')"
    [ -n "$imports" ] || die "$objdump shows no import table for $dll"
    unexpected="$(echo "$imports" | grep -viE '^(kernel32|user32|gdi32|advapi32|msvcrt)\.dll$')"
    [ -z "$unexpected" ] || die "$dll imports what is not a Windows DLL: $unexpected"
    echo "$dll exports the six entry points and imports only: $(echo $imports)"
}

command="${1:-}"
shift || true
case "$command" in
    start | scenario | registry | refuses | command) need_32bit ;;
esac
case "$command" in
    start) start "$@" ;;
    stop) stop "$@" ;;
    scenario) scenario "$@" ;;
    registry) registry "$@" ;;
    refuses) refuses "$@" ;;
    command) command_run "$@" ;;
    exports) exports "$@" ;;
    *) die "usage: wine-test.sh start|stop|scenario|registry|refuses|command|exports ..." ;;
esac
