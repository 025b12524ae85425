# Headless sway for shell tests (tests/wayland/headless_sway.py). Source it, then
#   sway_start SCALE [WIDTHxHEIGHT]   starts sway on one headless output at
#                                     that scale (default 1200x900) and sets
#                                     WAYLAND_DISPLAY, XDG_RUNTIME_DIR, SWAYSOCK
#   sway_stop                         stops it and removes its files
# sway_start returns 77 (a test's "skipped") with a message where sway is missing.

sway_start() {
    local scale=$1 mode=${2:-1200x900}
    if ! command -v sway >/dev/null; then
        echo "sway is not installed (bash tools/setup installs it)"
        return 77
    fi
    SWAY_DIR=$(mktemp -d)
    python3 "$(dirname "${BASH_SOURCE[0]}")/headless_sway.py" "$SWAY_DIR" "$mode" \
        "output HEADLESS-1 scale $scale" >"$SWAY_DIR/env" 2>"$SWAY_DIR/error" </dev/null &
    SWAY_PID=$!
    while [ ! -s "$SWAY_DIR/env" ] && kill -0 "$SWAY_PID" 2>/dev/null; do sleep 0.05; done
    if [ ! -s "$SWAY_DIR/env" ]; then
        cat "$SWAY_DIR/error"
        sway_stop
        return 1
    fi
    source "$SWAY_DIR/env"
}

sway_stop() {
    if [ -n "${SWAY_PID:-}" ]; then
        kill "$SWAY_PID" 2>/dev/null || true
        wait "$SWAY_PID" 2>/dev/null || true
    fi
    [ -z "${SWAY_DIR:-}" ] || rm -rf "$SWAY_DIR"
    unset SWAY_PID SWAY_DIR SWAYSOCK WAYLAND_DISPLAY
}
