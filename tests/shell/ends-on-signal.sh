#!/usr/bin/env bash
# Quado must end on SIGTERM and SIGHUP (kill, end of the session), like any desktop
# program. (SIGINT cannot be tried here: a background job starts with it ignored.)
set -u
quado=$1
for sig in TERM HUP; do
  QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$quado" 2>/dev/null &
  pid=$!
  sleep 1.5
  kill -s "$sig" "$pid"
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -9 "$pid"
    echo "quado ignored SIG$sig"
    exit 1
  fi
  wait "$pid" 2>/dev/null
done
echo "quado ended on SIGTERM and SIGHUP"
