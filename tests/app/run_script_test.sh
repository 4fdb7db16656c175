#!/usr/bin/env bash
# scripts/run on a display that has one: Tolvane's window must be one the
# window manager manages (not an override-redirect window, which stays on top
# of everything and has no taskbar entry), unlike the tests' own windows.
#   run_script_test.sh ROOT BUILD
set -uo pipefail
root="$1"
build="$2"
: "${DISPLAY:?run_script_test: needs the test display in DISPLAY}"

log="$build/run-script-test.log"
setsid env TOLVANE_BUILD="$build" "$root/scripts/run" >"$log" 2>&1 &
run_pid=$!
desktop_prefix="$build/x64/wineprefix-desktop"
cleanup() {
    kill -- -"$run_pid" 2>/dev/null
    wait "$run_pid" 2>/dev/null
    WINEPREFIX="$desktop_prefix" /usr/lib/wine/wineserver -k 2>/dev/null
}
trap cleanup EXIT

window=
for _ in $(seq 600); do
    window="$(xwininfo -root -tree 2>/dev/null | awk '/"Tolvane": \(/ {print $1; exit}')"
    [[ -n "$window" ]] && break
    if ! kill -0 "$run_pid" 2>/dev/null; then
        echo "scripts/run ended before Tolvane's window appeared:"
        cat "$log"
        exit 1
    fi
    sleep 0.2
done
if [[ -z "$window" ]]; then
    echo "Tolvane's window did not appear within 120 s:"
    cat "$log"
    exit 1
fi
grep -q "showing Tolvane on display $DISPLAY" "$log" || { echo "scripts/run did not use \$DISPLAY:"; cat "$log"; exit 1; }

state="$(xwininfo -id "$window" -all | awk -F': *' '/Override Redirect State/ {print $2}')"
echo "Tolvane's window $window: override redirect $state"
if [[ "$state" != no ]]; then
    echo "the window is not managed by the window manager"
    exit 1
fi
