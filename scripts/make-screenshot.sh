#!/usr/bin/env bash
# Makes docs/window-after-repair.png: the demo install folder is repaired in the
# window on a virtual X server (xvfb-run) and the window with its done box
# is grabbed.
#   make-screenshot.sh [BUILD_DIR]
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir=${1:-build}
folder=/tmp/VYR10  # the demo's own folder, as the README's commands make it

scripts/make-demo.sh "$folder" "$build_dir" > /dev/null
mkdir -p docs
# The program folder holds the helper, so the window finds its libraries as the program does.
xvfb-run -a -s "-screen 0 1024x768x24" "$build_dir/bin/window_screenshot" "$folder" docs/window-after-repair.png
echo "docs/window-after-repair.png"
