#!/usr/bin/env bash
# Runs some tests inside a fault that a test program cannot make for itself:
#   run_with_fault.sh MODE TEST_EXE GTEST_FILTER
# MODE
#   unprivileged  as uid 65534 with a Wine prefix of that user's own, so that a
#                 read-only file really refuses to open for writing (root's
#                 Wine opens it anyway)
#   full-drive    with a 64 KiB tmpfs mounted and linked as a Wine drive, named
#                 to the test in TOLVANE_TEST_FULL_DRIVE
#   kept-full-drive
#                 the full drive as above, named in TOLVANE_TEST_KEPT_FULL_DRIVE,
#                 kept full: once the test creates the file "arm" on it, a
#                 filler (which first creates "armed") takes every block that
#                 comes free. The test runs under strace, which holds each
#                 ftruncate (SetEndOfFile) for two seconds, so that the blocks a
#                 truncation frees are taken before the next write can have them
#   sticky-full-drive
#                 the full drive as above, named in TOLVANE_TEST_STICKY_DRIVE,
#                 as a sticky folder open to all (mode 1777) holding the files
#                 rewrite.htm and restore.htm of another user (65534), with
#                 fs.protected_regular set for the run: opening them with
#                 O_CREAT, as CREATE_ALWAYS does, is refused, while
#                 TRUNCATE_EXISTING opens them, as Windows does for a hidden
#                 file
#   small-memory  with the address space limited to 2.2 GiB, so that a 2 GiB
#                 buffer cannot be had (TOLVANE_TEST_MEMORY_LIMITED=1)
# Where the fault cannot be made, the run fails with a line that says what was
# missing; it never runs the test without its fault. The run also fails when
# the filter matches no test or a test skips itself. Mounts and links are
# always removed.
set -uo pipefail

mode="$1"
exe="$2"
filter="$3"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
build="$(cd "$(dirname "$exe")/../.." && pwd)"
output="$(mktemp)"

cannot() {
    echo "run_with_fault: $*: the fault cannot be made here, so the test fails" >&2
    exit 1
}

# run_checked COMMAND...: runs the test program, then fails unless a test ran
# and passed and none skipped itself.
run_checked() {
    "$@" --gtest_filter="$filter" 2>&1 | tee "$output"
    local status=${PIPESTATUS[0]}
    if ((status != 0)); then
        exit "$status"
    fi
    if grep -q '^\[  SKIPPED \]' "$output"; then
        echo "run_with_fault: a test skipped itself inside its fault" >&2
        exit 1
    fi
    if ! grep -q '^\[  PASSED  \] [1-9]' "$output"; then
        echo "run_with_fault: no test matched $filter" >&2
        exit 1
    fi
}

cleanup_steps=()
cleanup() {
    local step
    for step in "${cleanup_steps[@]}"; do
        eval "$step"
    done
    rm -f "$output"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

# mount_full_drive [OPTIONS]: a 64 KiB tmpfs under the build folder (with
# further mount options), linked as a free
# Wine drive; sets `letter` and `mountpoint`. Under the build folder, so that a
# run killed before its clean-up (a timeout) is cleaned up by the next run.
mount_full_drive() {
    [[ "$(id -u)" == 0 ]] || cannot "mounting a small drive needs root"
    mountpoint="$build/full-drive"
    for stale in "$WINEPREFIX"/dosdevices/*; do
        [[ -L "$stale" && "$(readlink "$stale")" == "$mountpoint" ]] && rm -f "$stale"
    done
    mountpoint -q "$mountpoint" && umount "$mountpoint"
    mkdir -p "$mountpoint"
    mount -t tmpfs -o "size=64k${1:+,$1}" tmpfs "$mountpoint" 2>/dev/null || cannot "no tmpfs could be mounted"
    cleanup_steps+=('mountpoint -q "$mountpoint" && umount "$mountpoint"; rmdir "$mountpoint"')
    # Letters far from those other tests look for as missing drives.
    letter=
    for candidate in p o n m l k j; do
        if [[ ! -e "$WINEPREFIX/dosdevices/$candidate:" && ! -L "$WINEPREFIX/dosdevices/$candidate:" ]]; then
            letter=$candidate
            ln -s "$mountpoint" "$WINEPREFIX/dosdevices/$letter:"
            cleanup_steps=('rm -f "$WINEPREFIX/dosdevices/$letter:"' "${cleanup_steps[@]}")
            break
        fi
    done
    [[ -n "$letter" ]] || cannot "no free drive letter for the small drive"
}

case "$mode" in
unprivileged)
    if [[ "$(id -u)" != 0 ]]; then
        # Already unprivileged: the read-only file refuses by itself.
        run_checked "$wine" "$exe"
        exit
    fi
    command -v setpriv >/dev/null || cannot "setpriv is missing"
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
    [[ -f "$prefix/.tolvane-ready" ]] || cannot "no Wine prefix for the unprivileged user"
    cleanup_steps+=('as_user "$wineserver" -k 2>/dev/null')
    run_checked as_user "$wine" "$exe"
    ;;
full-drive)
    mount_full_drive
    export TOLVANE_TEST_FULL_DRIVE="${letter^^}:"
    run_checked "$wine" "$exe"
    ;;
kept-full-drive)
    command -v strace >/dev/null || cannot "strace is missing"
    command -v fallocate >/dev/null || cannot "fallocate is missing"
    mount_full_drive
    (
        while [[ ! -e "$mountpoint/arm" ]]; do sleep 0.05; done
        touch "$mountpoint/armed"
        n=0
        while mountpoint -q "$mountpoint"; do
            while fallocate -l 4096 "$mountpoint/filler.$n" 2>/dev/null; do n=$((n + 1)); done
            sleep 0.02
        done
    ) &
    filler=$!
    cleanup_steps=('kill $filler 2>/dev/null; wait $filler 2>/dev/null' "${cleanup_steps[@]}")
    export TOLVANE_TEST_KEPT_FULL_DRIVE="${letter^^}:"
    run_checked strace -f -qq -o /dev/null -e trace=ftruncate -e inject=ftruncate:delay_exit=2000000 "$wine" "$exe"
    ;;
sticky-full-drive)
    protection=/proc/sys/fs/protected_regular
    [[ -w "$protection" ]] || cannot "fs.protected_regular cannot be set"
    mount_full_drive mode=1777
    old_protection="$(cat "$protection")"
    echo 1 >"$protection" 2>/dev/null || cannot "fs.protected_regular cannot be set"
    cleanup_steps+=('echo "$old_protection" >"$protection"')
    for name in rewrite.htm restore.htm; do
        touch "$mountpoint/$name" && chown 65534:65534 "$mountpoint/$name" || cannot "no file of another user"
    done
    export TOLVANE_TEST_STICKY_DRIVE="${letter^^}:"
    run_checked "$wine" "$exe"
    ;;
small-memory)
    : "${TOLVANE_TEST_MEMORY_MB:=2200}"
    command -v prlimit >/dev/null || cannot "prlimit is missing"
    export TOLVANE_TEST_MEMORY_LIMITED=1
    run_checked prlimit --as=$((TOLVANE_TEST_MEMORY_MB * 1024 * 1024)) -- "$wine" "$exe"
    ;;
*)
    echo "run_with_fault: unknown mode $mode" >&2
    exit 2
    ;;
esac
