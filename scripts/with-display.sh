#!/usr/bin/env bash
# Runs a command with a virtual X display: starts Xvfb on the first free display number,
# exports DISPLAY for the command, and stops the server afterwards, whatever the command's
# outcome. An existing DISPLAY is used as it is.
set -euo pipefail
if [ $# -eq 0 ]; then
  echo "usage: with-display.sh COMMAND [ARG ...]" >&2
  exit 2
fi
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
command -v Xvfb >/dev/null || { echo "with-display.sh: Xvfb is not installed" >&2; exit 1; }

# A display is free when neither its lock file nor its socket exists; -nolisten tcp keeps the
# server local. Two runs racing for a number: the loser's server fails and the next is tried.
xvfb_pid=""
for number in $(seq 90 140); do
  [ -e "/tmp/.X${number}-lock" ] || [ -e "/tmp/.X11-unix/X${number}" ] && continue
  Xvfb ":${number}" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${number}" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X${number}" ]; then
    export DISPLAY=":${number}"
    break
  fi
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || { echo "with-display.sh: no free display for Xvfb" >&2; exit 1; }
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null || true' EXIT
"$@"
