#!/usr/bin/env bash
# ./dev demo: builds the client (without sanitizers) into build/demo, starts
# platform-sim with the demo catalogue, points a fresh application folder at it
# and starts monitor-client, which logs the demo account in by itself. Without
# a display it runs on a private Xvfb, opens every camera and writes
# screenshots to build/demo-shots/.
#
#   ./dev demo                 interactive on $DISPLAY (close the window to end)
#   ./dev demo --shots         screenshots only, even with a display
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build/demo"
SHOTS="$ROOT/build/demo-shots"
HOME_DIR="$BUILD/home"
BIN="$BUILD/bin"
JOBS="${JOBS:-$(nproc)}"
export CCACHE_BASEDIR="$ROOT" CCACHE_NOHASHDIR=1

headless=0
[ "${1:-}" = "--shots" ] && headless=1
[ -z "${DISPLAY:-}" ] && headless=1

echo "demo: building into $BUILD"
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMC_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" -j "$JOBS" --target monitor-client monitor-cli platform-sim UpdateManage skin >/dev/null

pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# The simulated platform, on loopback ports of its choice.
rm -rf "$HOME_DIR" && mkdir -p "$HOME_DIR" "$SHOTS"
"$BIN/platform-sim" --config "$ROOT/sim/demo.json" >"$BUILD/sim.out" 2>"$BUILD/sim.err" &
pids+=($!)
for _ in $(seq 100); do grep -q '^control ' "$BUILD/sim.out" 2>/dev/null && break; sleep 0.1; done
dispatcher_port="$(awk '$1 == "dispatcher" { split($2, a, ":"); print a[2] }' "$BUILD/sim.out")"
if [ -z "$dispatcher_port" ]; then
  echo "demo: platform-sim did not start:" >&2
  cat "$BUILD/sim.err" >&2
  exit 1
fi
echo "demo: platform-sim listening, dispatcher 127.0.0.1:$dispatcher_port"

printf '[Server]\nIP=127.0.0.1\nPORT=%s\n' "$dispatcher_port" >"$HOME_DIR/Config.ini"
printf '[Client]\nVersion=1.0.0\n' >"$HOME_DIR/LockSetConfig.ini"
export MONITOR_CLIENT_HOME="$HOME_DIR"
# The demo account, remembered with automatic login as the login window's two
# check boxes would leave it.
"$BIN/monitor-cli" login --user demo --password demo --auto-login >/dev/null 2>"$BUILD/cli.err" || {
  echo "demo: the demo account could not log in:" >&2
  cat "$BUILD/cli.err" >&2
  exit 1
}
echo "demo: account demo / demo (remembered, automatic login)"

if [ "$headless" = 0 ]; then
  "$BIN/monitor-client"
  exit 0
fi

# Without a display: a private X server, the client on it, and screenshots.
display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY="$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

shot() {
  ffmpeg -loglevel error -y -f x11grab -video_size 1600x1000 -i "$DISPLAY" -frames:v 1 "$SHOTS/$1.png"
  echo "demo: $SHOTS/$1.png"
}
wait_window() {  # TITLE SECONDS
  local i
  for i in $(seq $(($2 * 10))); do
    xdotool search --name "^$1\$" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

"$BIN/monitor-client" >"$BUILD/client.out" 2>&1 &
client=$!
pids=("$client" "${pids[@]}")
wait_window "登录" 30 || { echo "demo: no login window" >&2; exit 1; }
sleep 1 && shot 1-login
wait_window "监控浏览端" 60 || { echo "demo: no main window" >&2; exit 1; }
sleep 2 && shot 2-main
# Open every camera: the "openallBtn" of the main window.
window="$(xdotool search --name '^监控浏览端$' | head -1)"
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + OPEN_ALL_X)) $((Y + OPEN_ALL_Y)) click 1
sleep 6 && shot 3-live-wall
kill -TERM "$client"
wait "$client" && echo "demo: monitor-client ended"
