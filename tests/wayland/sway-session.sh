# Headless sway for tests that need a native Wayland desktop. Source it, then
#   sway_start SCALE [WIDTHxHEIGHT]   starts sway on one headless output at
#                                     that scale (default 1200x900) and sets
#                                     WAYLAND_DISPLAY, XDG_RUNTIME_DIR, SWAYSOCK
#   sway_stop                         stops it and removes its files
# Lines in $SWAY_EXTRA_CONFIG are added to its configuration (a bar, say).
# sway_start returns 77 (a test's "skipped") with a message where sway is
# missing. sway refuses to run as root, so as root it runs as nobody; its
# clients may still run as root, since root may use any socket.

sway_start() {
    local scale=$1 mode=${2:-1200x900}
    if ! command -v sway >/dev/null; then
        echo "sway is not installed (bash tools/setup installs it)"
        return 77
    fi
    SWAY_DIR=$(mktemp -d)
    chmod 755 "$SWAY_DIR"
    mkdir -m 700 "$SWAY_DIR/run"
    cat >"$SWAY_DIR/config" <<CONFIG
output HEADLESS-1 resolution $mode scale $scale
output HEADLESS-1 background #808080 solid_color
default_border none
${SWAY_EXTRA_CONFIG:-}
CONFIG
    chmod 644 "$SWAY_DIR/config"
    local as_user=()
    if [ "$(id -u)" -eq 0 ]; then
        chown nobody:nogroup "$SWAY_DIR/run"
        as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    fi
    # The software renderer and no input devices: no GPU or seat is needed.
    "${as_user[@]}" env -i PATH="$PATH" XDG_RUNTIME_DIR="$SWAY_DIR/run" WLR_BACKENDS=headless \
        WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$SWAY_DIR/config" \
        >"$SWAY_DIR/sway.log" 2>&1 </dev/null &
    SWAY_PID=$!
    export XDG_RUNTIME_DIR="$SWAY_DIR/run" WAYLAND_DISPLAY=wayland-1
    local i
    for ((i = 0; i < 100; i++)); do
        SWAYSOCK=$(ls "$SWAY_DIR"/run/sway-ipc.*.sock 2>/dev/null | head -n 1)
        if [ -S "$SWAY_DIR/run/$WAYLAND_DISPLAY" ] && [ -n "$SWAYSOCK" ]; then
            export SWAYSOCK
            return 0
        fi
        kill -0 "$SWAY_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "sway did not start:"
    cat "$SWAY_DIR/sway.log"
    sway_stop
    return 1
}

sway_stop() {
    if [ -n "${SWAY_PID:-}" ]; then
        kill "$SWAY_PID" 2>/dev/null || true
        wait "$SWAY_PID" 2>/dev/null || true
    fi
    [ -z "${SWAY_DIR:-}" ] || rm -rf "$SWAY_DIR"
    unset SWAY_PID SWAY_DIR SWAYSOCK WAYLAND_DISPLAY
}
