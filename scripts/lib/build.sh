# Configures and builds the project into build/ (or $BUILD_DIR). Sourced by scripts/test and
# scripts/demo after install-deps.
build_project() {
  local root=$1
  BUILD_DIR=${BUILD_DIR:-$root/build}
  cmake -S "$root" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_ARGS:-} >/dev/null
  cmake --build "$BUILD_DIR"
}
