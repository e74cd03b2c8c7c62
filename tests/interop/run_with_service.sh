#!/usr/bin/env bash
# Starts orv-dbservice on a free loopback port with a fresh database, runs
# the given command with HOST and PORT appended, and stops the service.
#   run_with_service.sh BIN_DIR COMMAND...
set -euo pipefail
bin=$1
shift
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
"$bin/orv-dbservice" --listen 127.0.0.1 --port "$port" --db "$work/orv.db" >"$work/service.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
  grep -q serving "$work/service.log" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || { cat "$work/service.log"; exit 1; }
  sleep 0.05
done
"$@" 127.0.0.1 "$port"
