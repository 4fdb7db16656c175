# Shared by the scripts: building, the Wine prefix, the virtual display and
# the one wineserver kept alive for a whole run. Source it; do not run it.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${TOLVANE_BUILD:-$ROOT/build}"
WINE_BIN=/usr/lib/wine
export PATH="$WINE_BIN:$PATH"

# configure_and_build ARCH [cmake args...]  (ARCH: x64 or x86)
configure_and_build() {
    local arch="$1"; shift
    local toolchain dir="$BUILD/$arch"
    case "$arch" in
        x64) toolchain="$ROOT/cmake/toolchain-x86_64.cmake" ;;
        x86) toolchain="$ROOT/cmake/toolchain-i686.cmake" ;;
    esac
    if [[ ! -f "$dir/CMakeCache.txt" ]]; then
        cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    fi
    cmake --build "$dir" -j"$(nproc)"
}

# wine_environment: a prefix of the build's own, never the user's ~/.wine.
wine_environment() {
    export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$BUILD/x64/wineprefix}"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
    export WINEARCH=win64
}

# wine_prefix_ready [desktop]: creates the prefix once (about 10 s). The
# tests' prefix turns off the X11 driver's window management, which costs
# seconds per closed window without a window manager, but leaves every window
# unmanaged: always on top, no taskbar entry. A desktop prefix (for a real
# $DISPLAY with a window manager) leaves the windows to the window manager.
wine_prefix_ready() {
    wine_environment
    local managed=N
    [[ "${1:-}" == desktop ]] && managed=Y
    if [[ ! -f "$WINEPREFIX/.tolvane-ready" ]]; then
        mkdir -p "$WINEPREFIX"
        wine64 wineboot -i >/dev/null 2>&1 || true
        wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$managed" /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.tolvane-ready"
    fi
}

# start_display: uses $DISPLAY when KEEP_DISPLAY=1 and it is set, otherwise
# starts Xvfb on a free display number and exports DISPLAY.
XVFB_PID=
start_display() {
    if [[ "${KEEP_DISPLAY:-0}" == 1 && -n "${DISPLAY:-}" ]]; then
        return
    fi
    local n
    for n in $(seq 90 140); do
        [[ -e "/tmp/.X11-unix/X$n" || -e "/tmp/.X$n-lock" ]] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 50); do
            [[ -e "/tmp/.X11-unix/X$n" ]] && break
            sleep 0.1
        done
        if kill -0 "$XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$n"
            return
        fi
    done
    echo "no free X display" >&2
    return 1
}

stop_display() {
    if [[ -n "$XVFB_PID" ]]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

# start_wineserver: one persistent server for the run, so each Wine process
# starts in tens of milliseconds instead of a second. A server started
# without a display would be no use to window tests, so any old one goes.
start_wineserver() {
    wine_environment
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -p
    wine64 cmd /c exit >/dev/null 2>&1 || true
}

stop_wineserver() {
    wine_environment
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}
