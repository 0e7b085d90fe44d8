#!/usr/bin/env bash
# Opens the repair window on the demo install folder. With a display, on it.
# Without one, on a virtual X display (Xvfb) with a small window manager
# (openbox: a title bar with its close box, the keyboard focus on the new
# window), served by VNC on the loopback address only (x11vnc -localhost):
# reach it through an SSH tunnel. The program and the display run in
# sessions of their own, so Ctrl+C here reaches neither a repair's gfix or
# gbak nor the display: it asks the window to close, which waits for a
# running repair to end.
#   run-demo.sh BUILD_DIR DEMO_FOLDER
set -euo pipefail

build_dir=${1:?usage: run-demo.sh BUILD_DIR DEMO_FOLDER}
demo_folder=${2:?usage: run-demo.sh BUILD_DIR DEMO_FOLDER}
program="$build_dir/bin/vyr-repair"
vnc_port=5900

banner() {
  echo
  echo "=================================================================="
  echo "  Demo install folder:  $demo_folder"
  echo "  Type it into the window's folder box, then press Accept (Alt+C)."
  echo "=================================================================="
  echo
}

program_pid=
# Ctrl+C: the window closes as its close box closes it, after a running repair.
ask_to_close() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    echo
    echo "Closing the window; a repair in progress ends first (its done or failure box still needs OK)..."
    kill -TERM "$program_pid" 2>/dev/null || true
  fi
}

run_program() {
  trap ask_to_close INT TERM
  setsid "$@" &
  program_pid=$!
  while kill -0 "$program_pid" 2>/dev/null; do
    wait "$program_pid" || true
  done
  trap - INT TERM
}

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  banner
  echo "Close the window (or Ctrl+C here) to end the demo."
  run_program "$program"
  exit 0
fi

if (exec 3<>/dev/tcp/127.0.0.1/$vnc_port) 2>/dev/null; then
  echo "Port $vnc_port is taken: stop the program that uses it, then run make demo again." >&2
  exit 1
fi
for tool in Xvfb x11vnc; do
  command -v "$tool" > /dev/null || { echo "$tool is missing: run scripts/install-deps.sh as root." >&2; exit 1; }
done

# A free display number: no X socket of that number yet.
display_number=90
while [ -e "/tmp/.X11-unix/X$display_number" ]; do display_number=$((display_number + 1)); done
display=":$display_number"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

setsid Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
pids+=($!)
until [ -S "/tmp/.X11-unix/X$display_number" ]; do
  kill -0 "${pids[0]}" 2>/dev/null || { echo "Xvfb did not start." >&2; exit 1; }
  sleep 0.1
done

if command -v openbox > /dev/null; then
  DISPLAY="$display" setsid openbox > /dev/null 2>&1 &
  pids+=($!)
fi

setsid x11vnc -display "$display" -localhost -rfbport "$vnc_port" -forever -shared -nopw -quiet > /dev/null 2>&1 &
pids+=($!)
vnc_pid=${pids[-1]}
until (exec 3<>/dev/tcp/127.0.0.1/$vnc_port) 2>/dev/null; do
  kill -0 "$vnc_pid" 2>/dev/null || { echo "x11vnc did not start." >&2; exit 1; }
  sleep 0.1
done

banner
echo "No display here: the window is served by VNC on 127.0.0.1:$vnc_port only, not on the network."
echo "From your own computer:  ssh -L $vnc_port:127.0.0.1:$vnc_port $(id -un)@$(hostname)"
echo "then connect a VNC viewer to localhost:$vnc_port."
echo "Ctrl+C here, Hủy bỏ or the close box ends the demo."
run_program env DISPLAY="$display" QT_QPA_PLATFORM=xcb "$program"
