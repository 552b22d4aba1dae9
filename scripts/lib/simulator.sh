# Starts the local platform simulator (tools/platform-sim) on a free loopback port.
#
#   start_simulator <log file>   exports SIMULATOR_URL
#   stop_simulator

SIMULATOR_PID=""

start_simulator() {
  local log=$1 root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  node "$root/tools/platform-sim" --port "${SIMULATOR_PORT:-0}" >"$log" 2>&1 &
  SIMULATOR_PID=$!
  local deadline=$((SECONDS + 15))
  until grep -q '^Platform simulator listening on ' "$log"; do
    if [ $SECONDS -ge $deadline ] || ! kill -0 "$SIMULATOR_PID" 2>/dev/null; then
      echo "the platform simulator did not start; see $log" >&2
      return 1
    fi
    sleep 0.1
  done
  SIMULATOR_URL=$(sed -n 's/^Platform simulator listening on //p' "$log" | head -n 1)
  export SIMULATOR_URL
}

stop_simulator() {
  [ -n "$SIMULATOR_PID" ] || return 0
  kill "$SIMULATOR_PID" 2>/dev/null || true
  wait "$SIMULATOR_PID" 2>/dev/null || true
  SIMULATOR_PID=""
}
