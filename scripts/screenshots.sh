#!/bin/sh
# Retakes every picture in docs/ from the program's own panels on the simulated stage:
#   main_panel.png, test_panel.png   the panels as they open (trelwick_panel_screenshots)
#   parameters_panel.png         the parameters panel after bring-up
#   main_panel_moving.png        a Move with its motors turning, Stop lit
#   main_panel_after_move.png    the main panel after that Move
#   popup_danger_operation.png   the "Danger Operation" pop-up of Zero all gauges
#                                (trelwick_session_screenshots: bring-up, Move, Home)
#   test_panel_work_point.png    the test bench after a work-point search on cam 1
#                                (trelwick_work_point_screenshot)
# The tools (tests/gui) load ui/Trelwick.ui through the program's Qt panel backend and
# callback table, run the operations on the simulated stage in virtual time and save
# each window with QWidget::grab(). They run under a virtual X server (xvfb-run,
# 1366x768, the smallest screen the panels are laid out for); without Xvfb, on Qt's
# offscreen platform. Look at each picture before committing it.
#
# Usage: scripts/screenshots.sh [build folder]   (default: build, configured if needed)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target trelwick_panel_screenshots trelwick_session_screenshots \
    trelwick_work_point_screenshot

tools="$build/tests/gui"
run() {
    if command -v xvfb-run >/dev/null 2>&1; then
        xvfb-run -a -s "-screen 0 1366x768x24" "$@"
    else
        QT_QPA_PLATFORM=offscreen "$@"
    fi
}
mkdir -p "$root/docs"
run "$tools/trelwick_panel_screenshots" "$root/docs"
run "$tools/trelwick_session_screenshots" "$root/docs"
run "$tools/trelwick_work_point_screenshot" "$root/docs/test_panel_work_point.png"
