#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are missing.
set -euo pipefail
missing=()
for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
native=()
foreign=()
for p in "${missing[@]}"; do
    if [[ "$p" == *:i386 ]]; then foreign+=("$p"); else native+=("$p"); fi
done
# 32-bit packages (wine32:i386, for the x86 build under Wine) only where the
# kernel runs 32-bit programs: elsewhere they cannot even finish installing
# (their own set-up steps are 32-bit programs), and the x86 runs are skipped.
# The probe builds its program with the native binutils (g++'s); where it
# cannot tell, the packages are installed and the tests judge.
if [ ${#foreign[@]} -gt 0 ]; then
    probe_status=0
    bash "$(dirname "$(readlink -f "$0")")/probe-32bit.sh" ${ORVO_PROBE32_PROGRAM:+"$ORVO_PROBE32_PROGRAM"} \
        >/dev/null || probe_status=$?
    if [ "$probe_status" -eq 3 ]; then
        echo "Not installing ${foreign[*]}: this machine's kernel does not run 32-bit programs" \
            "(Exec format error); the x86 runs under Wine will be skipped" >&2
        foreign=()
    fi
fi
[ ${#native[@]} -gt 0 ] || [ ${#foreign[@]} -gt 0 ] || exit 0
# They need the architecture enabled before the package lists are read.
if [ ${#foreign[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
# A mirror in mid-sync fails the update now and then: try again, and at
# worst install from the lists that did arrive.
for attempt in 1 2 3; do
    $SUDO apt-get update -qq && break
    echo "apt-get update failed (attempt $attempt), retrying" >&2
    sleep $((attempt * 10))
done
apt_install() { $SUDO apt-get install -y -qq --no-install-recommends "$@"; }
[ ${#native[@]} -eq 0 ] || apt_install "${native[@]}"
[ ${#foreign[@]} -eq 0 ] && exit 0
apt_install "${foreign[@]}" && exit 0

# A library installed for both architectures must have the same version in
# both. When one architecture's list is missing or behind (a mirror that
# serves a stale i386 security index), the newest native version has no i386
# twin and apt gives up. Then move each such library the 32-bit packages need,
# with the native packages built beside it at its version, to the newest
# version both architectures have. This runs only where the 32-bit packages
# are installed at all (a kernel that runs 32-bit programs) and only when the
# plain install failed; it can go once a fresh machine's plain
# "apt-get install wine32:i386" succeeds, i.e. when the archive's i386 lists
# no longer fall behind the amd64 ones.
echo "Retrying with the versions both architectures have" >&2
mapfile -t needed < <(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances "${foreign[@]}" 2>/dev/null | grep -v '^ ' | grep ':i386$' | sed 's/:i386$//' | sort -u)
mapfile -t same < <(dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Architecture} ${Multi-Arch}\n' |
    awk '$1 == "ii" && $3 == "amd64" && $4 == "same" { print $2 }' | sort -u)
mapfile -t shared < <(comm -12 <(printf '%s\n' "${needed[@]}") <(printf '%s\n' "${same[@]}"))
[ ${#shared[@]} -gt 0 ] || { echo "install-deps: nothing to align; apt's error stands" >&2; exit 100; }
# "package installed-version i386-candidate" for each library to move.
mapfile -t moves < <(apt-cache policy $(for n in "${shared[@]}"; do echo "$n" "$n:i386"; done) | awk '
    /^[^ ].*:$/ { p = $1; sub(/:$/, "", p) }
    /Installed:/ { inst[p] = $2 }
    /Candidate:/ { cand[p] = $2 }
    END {
        for (k in cand) {
            if (k ~ /:i386$/) continue
            i = cand[k ":i386"]
            if (i != "" && i != "(none)" && i != cand[k]) print k, inst[k], i
        }
    }')
pins=()
for m in "${moves[@]}"; do
    read -r pkg inst ver <<<"$m"
    src=$(dpkg-query -W -f='${source:Package}' "$pkg:amd64")
    # Siblings from the same source at the same version depend on it exactly.
    while read -r status sib sibarch sibver sibsrc; do
        [ "$status" = ii ] && [ "$sibarch" = amd64 ] && [ "$sibsrc" = "$src" ] && [ "$sibver" = "$inst" ] || continue
        apt-cache madison "$sib" | awk -v v="$ver" '$3 == v { found = 1 } END { exit !found }' && pins+=("$sib=$ver")
    done < <(dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Architecture} ${Version} ${source:Package}\n')
done
mapfile -t pins < <(printf '%s\n' "${pins[@]}" | sort -u)
echo "Aligning: ${pins[*]}" >&2
# Never let the alignment take a package away.
if apt-get install -s --allow-downgrades --no-install-recommends "${pins[@]}" "${foreign[@]}" | grep '^Remv'; then
    echo "install-deps: aligning the versions would remove the packages above; not done" >&2
    exit 100
fi
apt_install --allow-downgrades "${pins[@]}" "${foreign[@]}"
