#!/usr/bin/env bash
# Runs the core's tests built for Windows under wine, headless, in a wine
# prefix of the build's own. Prints the test results; the tests that do not
# run on Windows here are listed by name at the end, with their count.
#   windows-test.sh BUILD_DIR
set -uo pipefail

build_dir=$(realpath "${1:-build-windows}")
wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)

export WINEPREFIX="$build_dir/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no prompt for .NET or a browser engine
export WINEPATH="Z:$build_dir/bin"         # the program folder is on the library search path
unset DISPLAY WAYLAND_DISPLAY
# wine maps file names through the locale: without a UTF-8 one (a fresh
# Debian sets none) the Vietnamese test folder names come out wrong.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# Failures in full; passing tests and the skipped tests' reasons left out of
# the running output (gtest's summary names every skipped test).
timeout 900 "$wine" "$build_dir/tests/core_tests.exe" 2>&1 | tr -d '\r' |
  grep -v -e '^\[ RUN ' -e '^\[       OK \]' -e '^\[----------\] [0-9]' -e '^$' \
    -e '^\[  SKIPPED \] .* ([0-9]* ms)$' -e 'NotOnWindowsTest.cpp:[0-9]*: Skipped$' -e '^needs ' -e '^checks a POSIX-only rule$'
status=${PIPESTATUS[0]}
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
"$wineserver" -k 2>/dev/null || true
exit "$status"
