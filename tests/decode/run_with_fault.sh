#!/usr/bin/env bash
# Runs some of the Decode tests inside a fault that a test program cannot
# make for itself:
#   run_with_fault.sh MODE TEST_EXE GTEST_FILTER
# MODE
#   unprivileged  as uid 65534 with a Wine prefix of that user's own, so that a
#                 read-only file really refuses to open for writing (root's
#                 Wine opens it anyway)
#   full-drive    with a 64 KiB tmpfs mounted and linked as a Wine drive, named
#                 to the test in TOLVANE_TEST_FULL_DRIVE
#   small-memory  with the address space limited to 1.5 GiB, so that a 2 GiB
#                 buffer cannot be had (TOLVANE_TEST_MEMORY_LIMITED=1)
# Where the fault cannot be made the test runs without it and skips itself.
# Mounts and links are always removed.
set -uo pipefail

mode="$1"
exe="$2"
filter="$3"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
build="$(cd "$(dirname "$exe")/../.." && pwd)"

run_test() {
    "$wine" "$exe" --gtest_filter="$filter"
}

case "$mode" in
unprivileged)
    if [[ "$(id -u)" != 0 ]]; then
        run_test
        exit
    fi
    user=65534
    prefix="$build/wineprefix-unprivileged"
    as_user() {
        setpriv --reuid=$user --regid=$user --clear-groups \
            env HOME="$prefix" USER=nobody WINEPREFIX="$prefix" "$@"
    }
    mkdir -p "$prefix"
    chown $user:$user "$prefix"
    if [[ ! -f "$prefix/.tolvane-ready" ]]; then
        as_user "$wine" wineboot -i >/dev/null 2>&1
        as_user "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        as_user "$wineserver" -w
        as_user touch "$prefix/.tolvane-ready"
    fi
    as_user "$wine" "$exe" --gtest_filter="$filter"
    status=$?
    as_user "$wineserver" -k 2>/dev/null
    exit $status
    ;;
full-drive)
    # Under the build folder, so that a run killed before its clean-up (a
    # timeout) is cleaned up by the next run of the same build.
    mountpoint="$build/full-drive"
    for stale in "$WINEPREFIX"/dosdevices/*; do
        [[ -L "$stale" && "$(readlink "$stale")" == "$mountpoint" ]] && rm -f "$stale"
    done
    mountpoint -q "$mountpoint" && umount "$mountpoint"
    mkdir -p "$mountpoint"
    link=
    cleanup() {
        [[ -n "$link" ]] && rm -f "$link"
        mountpoint -q "$mountpoint" && umount "$mountpoint"
        rmdir "$mountpoint"
    }
    trap cleanup EXIT
    if ! mount -t tmpfs -o size=64k tmpfs "$mountpoint" 2>/dev/null; then
        echo "run_with_fault: cannot mount a tmpfs here; the test skips" >&2
        run_test
        exit
    fi
    # Letters far from those other tests look for as missing drives.
    for letter in p o n m l k j; do
        if [[ ! -e "$WINEPREFIX/dosdevices/$letter:" && ! -L "$WINEPREFIX/dosdevices/$letter:" ]]; then
            link="$WINEPREFIX/dosdevices/$letter:"
            ln -s "$mountpoint" "$link"
            break
        fi
    done
    if [[ -z "$link" ]]; then
        echo "run_with_fault: no free drive letter; the test skips" >&2
        run_test
        exit
    fi
    TOLVANE_TEST_FULL_DRIVE="${letter^^}:" run_test
    ;;
small-memory)
    : "${TOLVANE_TEST_MEMORY_MB:=2200}"
    TOLVANE_TEST_MEMORY_LIMITED=1 prlimit --as=$((TOLVANE_TEST_MEMORY_MB * 1024 * 1024)) -- "$wine" "$exe" --gtest_filter="$filter"
    ;;
*)
    echo "run_with_fault: unknown mode $mode" >&2
    exit 2
    ;;
esac
