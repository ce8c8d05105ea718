#!/bin/sh
# Pictures of the operator panels for docs/: main_panel.png, parameters_panel.png,
# test_panel.png and test_panel_work_point.png (after a work-point search on the
# simulated stage, by trelwick_work_point_screenshot).
#
# Builds the small tool trelwick_panel_screenshots (tests/gui), which loads the panels
# from ui/Trelwick.ui through the program's own Qt panel backend and callback table,
# shows them and saves each window with QWidget::grab(). It runs under a virtual X
# server (xvfb-run, 1366x768, the smallest screen the panels are laid out for); without
# Xvfb it falls back to Qt's offscreen platform.
#
# Usage: scripts/screenshots.sh [build directory]   (default: build-qt)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-qt"}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug
fi
cmake --build "$build" --target trelwick_panel_screenshots trelwick_work_point_screenshot

tool="$build/tests/gui/trelwick_panel_screenshots"
mkdir -p "$root/docs"
if command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1366x768x24" "$tool" "$root/docs"
    xvfb-run -a -s "-screen 0 1366x768x24" "$build/tests/gui/trelwick_work_point_screenshot" \
        "$root/docs/test_panel_work_point.png"
else
    QT_QPA_PLATFORM=offscreen "$tool" "$root/docs"
    QT_QPA_PLATFORM=offscreen "$build/tests/gui/trelwick_work_point_screenshot" \
        "$root/docs/test_panel_work_point.png"
fi
