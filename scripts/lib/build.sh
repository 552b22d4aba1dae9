# Configures and builds the project into build/ (or $BUILD_DIR), and installs the platform
# simulator's locked npm dependencies. Sourced by scripts/test and scripts/demo after install-deps.
build_project() {
  local root=$1
  local sim="$root/tools/platform-sim"
  if [ ! -f "$sim/node_modules/.package-lock.json" ] || [ "$sim/package-lock.json" -nt "$sim/node_modules/.package-lock.json" ]; then
    (cd "$sim" && npm ci --no-audit --no-fund --silent) || return
  fi
  BUILD_DIR=${BUILD_DIR:-$root/build}
  # Each step returns on failure itself: a caller that tests the result turns errexit off in here.
  cmake -S "$root" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_ARGS:-} >/dev/null || return
  cmake --build "$BUILD_DIR"
}
