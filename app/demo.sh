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
# The client's visible window with this title. Titles are read from
# _NET_WM_NAME (UTF-8): xdotool's name search reads the legacy WM_NAME.
window_named() {  # TITLE
  local id
  for id in $(xdotool search --onlyvisible --classname '^monitor-client$' 2>/dev/null); do
    if [ "$(xprop -id "$id" _NET_WM_NAME 2>/dev/null)" = "_NET_WM_NAME(UTF8_STRING) = \"$1\"" ]; then
      echo "$id"
      return 0
    fi
  done
  return 1
}
wait_window() {  # TITLE SECONDS
  local i
  for i in $(seq $(($2 * 10))); do
    window_named "$1" >/dev/null && return 0
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
# The main window over the whole screen, then every camera: "openallBtn".
window="$(window_named "监控浏览端")"
xdotool windowmove "$window" 0 0 windowsize "$window" 1600 1000
sleep 2 && shot 3-main-large
# Positions in the 1600x1000 window of the skin's layout: the split button
# "16" at the foot of the wall, "openallBtn" above it.
xdotool mousemove 486 978 click 1
sleep 1
xdotool mousemove 340 62 click 1
sleep 8 && shot 4-live-wall
kill -TERM "$client"
wait "$client" && echo "demo: monitor-client ended"
