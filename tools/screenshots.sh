#!/usr/bin/env bash
# Renders pictures of the windows for the documentation, with Qt's own texts
# in Japanese as the program shows them: the main window after a search of the
# sample image and of an exFAT image, a question box, the file dialog, the
# progress window, the cluster-range and the file-size dialogs, as PNG files
# in OUT (default build/screenshots). docs/ takes its pictures from there.
# Under Xvfb when it is installed, else on Qt's offscreen platform.
#   tools/screenshots.sh [BUILD_DIR] [OUT]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
out=${2:-build/screenshots}

cmake --build "$build" --target ui_tests >/dev/null
ctest --test-dir "$build" -R '^data\.unpack$' >/dev/null
mkdir -p "$out"
if command -v xvfb-run >/dev/null; then
  run=(xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb)
else
  run=(env QT_QPA_PLATFORM=offscreen)
fi
# Type names in the language of the rest of the window.
LANG=ja_JP.UTF-8 LANGUAGE=ja VELLUM_SCREENSHOT_DIR="$(realpath "$out")" "${run[@]}" "$build/tests/ui_tests" \
  --gtest_filter='Screenshots.*' >/dev/null
ls "$out"/*.png
