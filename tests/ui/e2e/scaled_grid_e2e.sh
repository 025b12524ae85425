#!/usr/bin/env bash
# The real editor at fractional scales, captured from the screen in device
# pixels: its grid has lines of one width and cells of one size, with no
# blended colours (grid_runs.py), and its window is a whole number of device
# pixels. On X11 (Xvfb) at 1.25, 1.5 and 1.75, set by QT_SCALE_FACTOR and
# by Xft.dpi; on native Wayland (headless sway) at output scales 1, 2 and
# 1.5, where the last needs the fractional-scale protocol (Qt 6.5 and
# sway 1.9): without it Qt draws at the next whole scale and sway resamples
# that, so only the absence of blended colours is checked there.
#
#   scaled_grid_e2e.sh path/to/zintra-editor QT_VERSION
set -euo pipefail
editor=$(realpath "$1")
qt_version=$2
here=$(dirname "$(realpath "$0")")
check="$here/grid_runs.py"

if [ "${3:-}" != "--inside" ]; then
    for tool in xvfb-run xdotool xprop xwininfo import convert python3; do
        if ! command -v "$tool" >/dev/null; then
            echo "missing $tool (bash tools/setup installs it)"
            [ -n "${CI:-}" ] && exit 1 || exit 77
        fi
    done
    # -noreset keeps the root window's resources between the programs.
    exec timeout 240 xvfb-run -a -s "-screen 0 1600x1200x24 -nolisten tcp -noreset" \
        bash "$0" "$editor" "$qt_version" --inside </dev/null
fi

work=$(mktemp -d)
editor_pid=
cleanup() {
    [ -z "$editor_pid" ] || { kill "$editor_pid" 2>/dev/null; wait "$editor_pid" 2>/dev/null; } || true
    declare -F sway_stop >/dev/null && sway_stop
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    cat "$work/editor.log" 2>/dev/null || true
    exit 1
}
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_QPA_PLATFORMTHEME QT_ENABLE_HIGHDPI_SCALING

start_editor() {
    "$editor" </dev/null >"$work/editor.log" 2>&1 &
    editor_pid=$!
}
stop_editor() {
    kill "$editor_pid" 2>/dev/null || true
    wait "$editor_pid" 2>/dev/null || true
    editor_pid=
}
# Captures with $1 until grid_runs.py finds a drawn grid; its last verdict
# is left in $verdict and its report in $work/report.
capture_grid() {
    verdict=1
    for ((try = 0; try < 40; try++)); do
        kill -0 "$editor_pid" 2>/dev/null || fail "the editor exited"
        if "$1" "$work/shot.png" 2>/dev/null; then
            verdict=0
            python3 "$check" "$work/shot.png" >"$work/report" || verdict=$?
            grep -q "no grid" "$work/report" || return 0
        fi
        sleep 0.25
    done
}

# ---- X11 ------------------------------------------------------------------
export QT_QPA_PLATFORM=xcb
x_capture() { import -window root "$1"; }
for setting in QT_SCALE_FACTOR=1.25 QT_SCALE_FACTOR=1.5 QT_SCALE_FACTOR=1.75 Xft.dpi=120 Xft.dpi=144 Xft.dpi=168; do
    name=${setting%%=*} value=${setting#*=}
    if [ "$name" = Xft.dpi ]; then
        xprop -root -format RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	$value"
        scale=$(python3 -c "print($value / 96)")
        unset QT_SCALE_FACTOR
    else
        xprop -root -remove RESOURCE_MANAGER
        export QT_SCALE_FACTOR=$value
        scale=$value
    fi
    start_editor
    capture_grid x_capture
    [ "$verdict" -eq 0 ] || fail "$setting: $(cat "$work/report")"
    window=$(xdotool search --onlyvisible --name '^Zintra Editor$' | head -n 1)
    size=$(xwininfo -id "$window" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
    python3 -c "
w, h = map(int, '$size'.split('x')); s = $scale
assert (w / s).is_integer() and (h / s).is_integer(), f'{w}x{h} device pixels is not a whole window at {s}'
" || fail "$setting: the window's $size device pixels are not whole at $scale"
    echo "ok: X11 $setting: window $size device pixels; $(tail -n 1 "$work/report")"
    stop_editor
done
unset QT_SCALE_FACTOR

# ---- Wayland -----------------------------------------------------------------
source "$here/../../wayland/sway-session.sh"
command -v grim >/dev/null || { echo "skipped Wayland: grim is not installed"; echo PASS; exit 0; }
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 \
    || { echo "skipped Wayland: Qt's wayland platform plugin (qt6-wayland) is not installed"; echo PASS; exit 0; }
fractional=no
if python3 -c "import sys; sys.exit(0 if tuple(map(int, '$qt_version'.split('.')[:2])) >= (6, 5) else 1)" \
    && sway --version | python3 -c "import sys, re; v = re.search(r'(\d+)\.(\d+)', sys.stdin.read()); sys.exit(0 if v and (int(v[1]), int(v[2])) >= (1, 9) else 1)"; then
    fractional=yes
fi
export QT_QPA_PLATFORM=wayland
sway_capture() { grim -o HEADLESS-1 "$1"; }
for scale in 1 2 1.5; do
    status=0
    sway_start "$scale" || status=$?
    if [ "$status" -eq 77 ]; then echo "skipped Wayland"; break; fi
    [ "$status" -eq 0 ] || fail "sway did not start"
    start_editor
    capture_grid sway_capture
    stop_editor
    sway_stop
    report=$(tail -n 1 "$work/report")
    if [ "$verdict" -eq 1 ] && [ "$scale" = 1.5 ] && [ "$fractional" = no ]; then
        echo "known limit: sway $scale with Qt $qt_version: $report (Qt draws at 2 and sway resamples; no blended colours)"
        continue
    fi
    [ "$verdict" -eq 0 ] || fail "sway at $scale: $(cat "$work/report")"
    echo "ok: sway at $scale: $report"
done
echo PASS
