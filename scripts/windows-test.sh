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
run_suite() {
  timeout 900 "$@" "$build_dir/tests/core_tests.exe" 2>&1 | tr -d '\r' |
    grep -v -e '^\[ RUN ' -e '^\[       OK \]' -e '^\[----------\] [0-9]' -e '^$' \
      -e '^\[  SKIPPED \] .* ([0-9]* ms)$' -e 'NotOnWindowsTest.cpp:[0-9]*: Skipped$' -e '^needs ' -e '^checks a POSIX-only rule$'
  return "${PIPESTATUS[0]}"
}

# A network share, \\localhost\vyr, served by wine from a link in the
# prefix to a folder the given user owns. The prefix must exist first: a
# half-made one is never finished by wine.
serve_share() {  # prefix owner [command to run wine as that user...]
  local prefix=$1 owner=$2
  shift 2
  [ -d "$prefix/dosdevices/c:" ] || "$@" wineboot >/dev/null 2>&1
  share=$(mktemp -d /tmp/vyr-share.XXXXXX)
  chown "$owner" "$share"
  mkdir -p "$prefix/dosdevices/unc/localhost"
  ln -sfn "$share" "$prefix/dosdevices/unc/localhost/vyr"
  export VYR_TEST_UNC_ROOT='\\localhost\vyr'
}
trap 'rm -rf "${share:-}"' EXIT

wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
echo "== as $(id -un)"
serve_share "$WINEPREFIX" "$(id -un)" "$wine"
run_suite "$wine"
status=$?
"$wineserver" -k 2>/dev/null || true

# Run as root, wine lets a program write a read-only file, which Windows
# forbids: the suite runs once more as an unprivileged user, in a prefix of
# that user's own, so that read-only attributes behave as in the field.
# Where that user cannot reach the build (a clone in /root), it gets the
# right to read any file and nothing more: writing a read-only file is
# still refused.
user=nobody
as_user=(setpriv --reuid="$user" --regid="$(id -g "$user" 2>/dev/null)" --clear-groups)
can_read_build() { "${as_user[@]}" head -c 1 "$build_dir/tests/core_tests.exe" >/dev/null 2>&1; }
if [ "$(id -u)" = 0 ] && id "$user" >/dev/null 2>&1 && command -v setpriv >/dev/null && ! can_read_build; then
  as_user+=(--inh-caps=+dac_read_search --ambient-caps=+dac_read_search)
  can_read_build ||
    { echo "== not run as $user: the build folder cannot be read by $user"; user=; }
fi
if [ "$(id -u)" = 0 ] && [ -n "$user" ] && id "$user" >/dev/null 2>&1 && command -v setpriv >/dev/null; then
  prefix=$(mktemp -d /tmp/vyr-wine-user.XXXXXX)
  chown "$user" "$prefix"
  echo "== as $user"
  rm -rf "$share"
  user_wine=("${as_user[@]}" env HOME="$prefix" WINEPREFIX="$prefix/prefix" TMPDIR="$prefix" "$wine")
  serve_share "$prefix/prefix" "$user" "${user_wine[@]}"
  chown -R "$user" "$prefix/prefix/dosdevices/unc"
  run_suite "${user_wine[@]}"
  user_status=$?
  "${as_user[@]}" env WINEPREFIX="$prefix/prefix" "$wineserver" -k 2>/dev/null || true
  rm -rf "$prefix" "$share"
  [ "$status" = 0 ] && status=$user_status
fi
exit "$status"
