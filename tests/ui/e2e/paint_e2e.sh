#!/usr/bin/env bash
# End to end: starts the real editor under a virtual X server, picks red
# from the palette and paints two cells with X mouse events, then captures
# the window and checks the grid, the painted cells and the actual-size view.
#
#   paint_e2e.sh path/to/zintra-editor
set -euo pipefail

editor=$(realpath "$1")

if [ "${2:-}" != "--inside" ]; then
    for tool in xvfb-run xauth xdotool import convert; do
        if ! command -v "$tool" >/dev/null; then
            echo "missing $tool (bash tools/setup installs it)"
            # A developer without the tools may skip; CI must not.
            [ -n "${CI:-}" ] && exit 1 || exit 77
        fi
    done
    # 24-bit colour, so every colour reaches the capture unchanged.
    exec timeout 150 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
        bash "$0" "$editor" --inside </dev/null
fi

# ---- Inside the virtual X server ----------------------------------------

export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS
export QT_ENABLE_HIGHDPI_SCALING=0

work=$(mktemp -d)
"$editor" </dev/null >"$work/editor.log" 2>&1 &
editor_pid=$!
cleanup() {
    kill "$editor_pid" 2>/dev/null || true
    wait "$editor_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "--- editor output:"
    cat "$work/editor.log" || true
    exit 1
}

# Polls a command every 0.1 s for up to $1 seconds.
wait_for() {
    local seconds=$1
    shift
    local tries=$((seconds * 10))
    for ((i = 0; i < tries; i++)); do
        if "$@"; then return 0; fi
        kill -0 "$editor_pid" 2>/dev/null || fail "the editor exited"
        sleep 0.1
    done
    return 1
}

find_window() {
    window=$(xdotool search --onlyvisible --name '^Zintra Editor$' 2>/dev/null | head -n 1)
    [ -n "$window" ]
}
wait_for 30 find_window || fail "no window named Zintra Editor appeared"

capture() { import -window "$window" "$work/shot.png" 2>/dev/null; }

# "r,g,b" of the captured pixel at window position x, y.
pixel() {
    convert "$work/shot.png" -format \
        "%[fx:int(255*p{$1,$2}.r+0.5)],%[fx:int(255*p{$1,$2}.g+0.5)],%[fx:int(255*p{$1,$2}.b+0.5)]" info:
}

# Window positions: the drawing surface starts inside Panel1's 2-pixel
# border at (169, 10); its cells are 21 pixels apart. The actual-size view
# starts at (17, 17). PnlRed's middle is at (54, 204).
cell_x() { echo $((169 + 21 * ($1 - 1) + 11)); }
cell_y() { echo $((10 + 21 * ($1 - 1) + 11)); }
grid_x=$((169 + 21))
grid_y=$((10 + 100))

shows() {  # shows X Y "r,g,b": the capture has that colour there
    capture && [ "$(pixel "$1" "$2")" = "$3" ]
}
wait_for 20 shows "$grid_x" "$grid_y" "200,200,200" || fail "the grid was not drawn"

click() {
    xdotool mousemove --window "$window" "$1" "$2"
    sleep 0.2
    xdotool click 1
    sleep 0.2
}

click 54 204                                   # PnlRed
click "$(cell_x 3)" "$(cell_y 5)"
click "$(cell_x 10)" "$(cell_y 12)"

wait_for 20 shows "$(cell_x 10)" "$(cell_y 12)" "255,0,0" || fail "cell (10, 12) was not painted"
capture

expect() {  # expect what X Y "r,g,b"
    local got
    got=$(pixel "$2" "$3")
    [ "$got" = "$4" ] || fail "$1 at ($2, $3) is $got, expected $4"
    echo "ok: $1 is $got"
}
expect "painted cell (3, 5)" "$(cell_x 3)" "$(cell_y 5)" "255,0,0"
expect "painted cell (10, 12)" "$(cell_x 10)" "$(cell_y 12)" "255,0,0"
expect "corner of painted cell (3, 5)" $((169 + 42 + 1)) $((10 + 84 + 1)) "255,0,0"
expect "empty cell (4, 5)" "$(cell_x 4)" "$(cell_y 5)" "240,240,240"
expect "grid line right of cell (3, 5)" $((169 + 63)) "$(cell_y 5)" "200,200,200"
expect "grid line" "$grid_x" "$grid_y" "200,200,200"
expect "outline" 169 10 "240,240,240"
expect "actual-size pixel (2, 4)" $((17 + 2)) $((17 + 4)) "255,0,0"
expect "actual-size pixel (9, 11)" $((17 + 9)) $((17 + 11)) "255,0,0"
expect "current colour" $((82 + 38)) $((168 + 8)) "255,0,0"
empty=$(pixel $((17 + 5)) $((17 + 5)))
[ "$empty" != "255,0,0" ] || fail "empty actual-size pixel is red"
echo "ok: empty actual-size pixel is $empty"
echo "PASS"
