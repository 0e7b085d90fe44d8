#!/usr/bin/env bash
# Builds the .deb, installs it with dpkg into a fresh root made here, and
# checks the installed files and that the installed program starts (offscreen)
# and finds its two libraries beside its own resolved path.
#   install-test.sh BUILD_DIR
# Exit status 77 (skipped) where dpkg cannot install into a folder.
set -euo pipefail

build_dir=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }

(cd "$build_dir" && cpack -G DEB -B "$work/out" > "$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack"; }
package=$(ls "$work"/out/vyr-repair_*.deb)

root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
# The fresh root has none of the dependencies: the program runs with the host's.
if ! dpkg --root="$root" --force-depends --force-not-root --force-script-chrootless -i "$package" > "$work/dpkg.log" 2>&1; then
  echo "SKIPPED: dpkg cannot install into a folder here:" >&2
  cat "$work/dpkg.log" >&2
  exit 77
fi
dpkg --root="$root" -s vyr-repair | grep -q '^Status: install ok installed' || fail "dpkg does not list vyr-repair"

folder="$root/usr/lib/x86_64-linux-gnu/vyr-repair"
# libfbclient2, a dependency, stands in the root as the host's own library.
ln -s /usr/lib/x86_64-linux-gnu/libfbclient.so.2 "$root/usr/lib/x86_64-linux-gnu/libfbclient.so.2"
for file in "$folder/vyr-repair" "$folder/libScriptEngine.so" "$folder/libfbclient.so.2" \
  "$root/usr/share/applications/vyr-repair.desktop" "$root/usr/share/icons/hicolor/scalable/apps/vyr-repair.svg" \
  "$root/usr/share/doc/vyr-repair/copyright" "$root/usr/share/doc/vyr-repair/changelog.gz" \
  "$root/usr/share/man/man1/vyr-repair.1.gz"; do
  [ -e "$file" ] || fail "missing $file"
done
[ "$(readlink "$root/usr/bin/vyr-repair")" = ../lib/x86_64-linux-gnu/vyr-repair/vyr-repair ] || fail "bin/vyr-repair is not a link to the program"
[ "$(readlink "$folder/libfbclient.so.2")" = ../libfbclient.so.2 ] || fail "libfbclient.so.2 is not a relative link"
[ -x "$folder/vyr-repair" ] || fail "the program is not executable"
grep -q '^Exec=vyr-repair$' "$root/usr/share/applications/vyr-repair.desktop" || fail "desktop entry"

# Started through the link in bin/, the program looks beside its resolved
# path; it needs no display for that.
check=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/vyr-repair" --check 2>&1) ||
  fail "vyr-repair --check: $check"
echo "$check"
grep -qF "Script engine: $folder/libScriptEngine.so: ExecuteScriptText, Connect" <<< "$check" || fail "script engine"
grep -qF "Client library: $folder/libfbclient.so.2: " <<< "$check" || fail "client library"
grep -q "Firebird 3" <<< "$check" || fail "client library version"
echo "installed into a fresh root and started: ok"

# Debian's own checks, pedantic: no error, no warning.
if ! command -v lintian > /dev/null; then
  echo "lintian is not installed: the package's lintian check was not run (scripts/install-deps.sh installs it)"
  exit 0
fi
lintian --pedantic --tag-display-limit 0 "$package" > "$work/lintian.log" 2>&1 || true
if grep -E '^(E|W): ' "$work/lintian.log"; then fail "lintian"; fi
echo "lintian --pedantic: no error, no warning"
