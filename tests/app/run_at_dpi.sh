#!/usr/bin/env bash
# Runs a test program with the screen at a given DPI, as Wine's LogPixels
# setting makes it, in a Wine prefix of its own (a copy of the build's), so
# that the shared prefix and its running server keep 96 DPI.
#   run_at_dpi.sh DPI TEST_EXE [ARGS...]
# The program learns the DPI it must see from TOLVANE_TEST_DPI.
set -uo pipefail
dpi="$1"
exe="$2"
shift 2
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
build="$(cd "$(dirname "$exe")/../.." && pwd)"
source_prefix="${WINEPREFIX:-$build/wineprefix}"
prefix="$build/wineprefix-dpi"

if [[ ! -f "$source_prefix/.tolvane-ready" ]]; then
    echo "run_at_dpi: the build's prefix $source_prefix is not made; run scripts/test" >&2
    exit 1
fi
if [[ ! -f "$prefix/.tolvane-ready" ]]; then
    rm -rf "$prefix" "$prefix.new"
    # Tests running beside this one make and remove temporary folders in the
    # shared prefix while it is copied: those are left out of the copy. tar
    # exits with 1 when a file (the registry) changed while it was read.
    mkdir -p "$prefix.new"
    tar -C "$source_prefix" --exclude='./drive_c/users/*/Temp/*' -cf "$prefix.tar" .
    (($? <= 1)) && tar -C "$prefix.new" -xf "$prefix.tar" && rm -f "$prefix.tar" && mv "$prefix.new" "$prefix" ||
        exit 1
fi

# A screen of its own, as large as a display that runs at 200 % would be, so
# that the scaled window fits on it whatever the DPI, with a work area that
# does not start at 0, 0; and no test that shares the suite's screen is
# disturbed.
xvfb_pid=
for n in $(seq 141 190); do
    [[ -e "/tmp/.X11-unix/X$n" || -e "/tmp/.X$n-lock" ]] && continue
    Xvfb ":$n" -screen 0 2560x1600x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [[ -e "/tmp/.X11-unix/X$n" ]] && break
        sleep 0.1
    done
    if kill -0 "$xvfb_pid" 2>/dev/null; then
        export DISPLAY=":$n"
        break
    fi
    xvfb_pid=
done
if [[ -z "$xvfb_pid" ]]; then
    echo "run_at_dpi: no free X display" >&2
    exit 1
fi
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null' EXIT
# Taskbars docked at the top and at the left, as a window manager announces
# them (the server keeps the property: -noreset).
"$(dirname "$0")/set_work_area.py" 64 48 2496 1552 || exit 1
export TOLVANE_TEST_WORK_AREA="64 48"

export WINEPREFIX="$prefix" TOLVANE_TEST_DPI="$dpi"
# The server keeps the setting in memory; a fresh one starts from it.
"$wineserver" -k 2>/dev/null
"$wineserver" -w
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
"$wineserver" -k 2>/dev/null
"$wineserver" -w
"$wineserver" -p
"$wine" "$exe" "$@"
status=$?
"$wineserver" -k 2>/dev/null
"$wineserver" -w
exit $status
