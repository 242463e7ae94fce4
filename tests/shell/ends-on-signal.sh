#!/usr/bin/env bash
# Quado must end on SIGTERM and SIGHUP (kill, end of the session), like any desktop
# program. (SIGINT cannot be tried here: a background job starts with it ignored.)
set -u
quado=$1
for sig in TERM HUP; do
  QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$quado" 2>/dev/null &
  pid=$!
  # First make sure Quado really runs: a program that cannot be started (no
  # loader, no emulator for its architecture) is gone at once, and a signal
  # test against it would prove nothing. Running means its widget library is
  # mapped; slow machines and emulators get time for that.
  started=0
  for _ in $(seq 200); do
    if grep -q libQt6Widgets "/proc/$pid/maps" 2>/dev/null; then started=1; break; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ "$started" -ne 1 ]; then
    wait "$pid" 2>/dev/null
    echo "quado did not start (exit status $?)"
    exit 1
  fi
  # Past the loader; give it the moment it takes to set up its signal handling.
  sleep 1.5
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid" 2>/dev/null
    echo "quado ended on its own before SIG$sig (exit status $?)"
    exit 1
  fi
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
