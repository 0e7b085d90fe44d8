#!/usr/bin/env bash
# Proves the README's two commands on a fresh minimal Debian 12, as a new
# user would run them: a `debootstrap --variant=minbase bookworm` root (made
# from this machine's configured Debian mirror, cached between runs), a clean
# clone of this repository's committed work, no locale set, as root. Runs the
# test command to its end, then the demo command until its VNC port listens,
# and prints each command's time and exit status. Last, the package built
# there is installed with --no-install-recommends into another fresh root,
# where its window must open on a virtual display.
#   fresh-check.sh [CACHE_FOLDER]      (root only; make fresh-check)
set -uo pipefail

[ "$(id -u)" -eq 0 ] || { echo "fresh-check.sh needs root (debootstrap, chroot, mounts)." >&2; exit 1; }
repo=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
cache=${1:-/var/cache/vyr-fresh-check}
vnc_port=5900
mkdir -p "$cache"

configured_mirror() {
  local uri
  uri=$(grep -h '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '{print $2}' | grep -v security | head -n1)
  [ -n "$uri" ] || uri=$(grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | awk '{print $2}' | grep -v security | head -n1)
  echo "${uri:-http://deb.debian.org/debian}"
}

base="$cache/bookworm-minbase.tar"
if [ ! -f "$base" ]; then
  command -v debootstrap > /dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap > /dev/null
  mirror=$(configured_mirror)
  echo "Making a minbase Debian 12 root from $mirror (cached in $base)..."
  rm -rf "$cache/root"
  debootstrap --variant=minbase bookworm "$cache/root" "$mirror" > "$cache/debootstrap.log" 2>&1 ||
    { tail -n 20 "$cache/debootstrap.log"; exit 1; }
  tar -C "$cache/root" -cf "$base" . && rm -rf "$cache/root"
fi

work=$(mktemp -d /var/tmp/vyr-fresh.XXXXXX)
root="$work/root"
mkdir -p "$root"
tar -C "$root" -xf "$base"
cp /etc/resolv.conf "$root/etc/resolv.conf"
git clone --quiet "$repo" "$root/root/vyr"

mounts=(proc sys dev dev/pts)
mounted=()
cleanup() {
  [ -n "${demo_pid:-}" ] && kill -TERM -- "-$demo_pid" 2>/dev/null
  sleep 1
  [ -n "${demo_pid:-}" ] && kill -KILL -- "-$demo_pid" 2>/dev/null
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
mount_system() {
  mount -t proc proc "$1/proc" && mounted+=("$1/proc")
  mount --rbind /sys "$1/sys" && mounted+=("$1/sys")
  mount --bind /dev "$1/dev" && mounted+=("$1/dev")
  mount --bind /dev/pts "$1/dev/pts" && mounted+=("$1/dev/pts")
}
mount_system "$root"

# A command in a root, in the clone, with nothing of this shell's setting.
in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/vyr 2>/dev/null; $1"
}

started=$(date +%s)
in_root "scripts/install-deps.sh && make test windows-test" > "$work/../vyr-fresh-test.log" 2>&1
test_status=$?
test_seconds=$(($(date +%s) - started))
echo "test command: exit status $test_status, $test_seconds s (log: /var/tmp/vyr-fresh-test.log)"

if (exec 3<>/dev/tcp/127.0.0.1/$vnc_port) 2>/dev/null; then
  echo "demo command: not run, port $vnc_port is taken on this machine" >&2
  exit 1
fi
started=$(date +%s)
setsid bash -c "$(declare -f in_root); root='$root'; in_root 'scripts/install-deps.sh && make demo'" \
  > /var/tmp/vyr-fresh-demo.log 2>&1 &
demo_pid=$!
demo_status=listening
until (exec 3<>/dev/tcp/127.0.0.1/$vnc_port) 2>/dev/null; do
  if ! kill -0 "$demo_pid" 2>/dev/null; then
    wait "$demo_pid"
    demo_status="ended with exit status $? before its VNC port listened"
    break
  fi
  sleep 1
done
demo_seconds=$(($(date +%s) - started))
echo "demo command: $demo_status after $demo_seconds s (log: /var/tmp/vyr-fresh-demo.log)"
kill -TERM -- "-$demo_pid" 2>/dev/null
demo_pid=

# The package with its dependencies only: the window must still open.
in_root "make package" > /var/tmp/vyr-fresh-package.log 2>&1
package=$(ls "$root"/root/vyr/build/vyr-repair_*_amd64.deb 2>/dev/null | head -n1)
package_status="no package built"
if [ -n "$package" ]; then
  root="$work/package-root"
  mkdir -p "$root"
  tar -C "$root" -xf "$base"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  cp "$package" "$root/root/"
  mount_system "$root"
  in_root "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    /root/$(basename "$package") xvfb xauth && timeout 15 xvfb-run -a vyr-repair; echo \"window status \$?\"" \
    >> /var/tmp/vyr-fresh-package.log 2>&1
  # 124: the window was still open when timeout ended it.
  if grep -q '^window status 124$' /var/tmp/vyr-fresh-package.log; then
    package_status="the window opened with --no-install-recommends"
  else
    package_status="the window did not stay open"
  fi
fi
echo "package: $package_status (log: /var/tmp/vyr-fresh-package.log)"
[ "$test_status" -eq 0 ] && [ "$demo_status" = listening ] && [ "$package_status" = "the window opened with --no-install-recommends" ]
