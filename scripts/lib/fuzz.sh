# The libFuzzer build (docs/fuzzing.md). Sourced by scripts/test after install-deps.
#
#   fuzz_wanted <ctest args...>  whether scripts/test runs the fuzz targets: FUZZ=on always (and
#                                fails when clang's libFuzzer is missing), FUZZ=off never, FUZZ=auto
#                                (the default) when libFuzzer is there and the whole test suite
#                                runs (no ctest arguments)
#   build_fuzzers <root>         configures and builds the targets into build-fuzz/ (or
#                                $FUZZ_BUILD_DIR) with clang; exports FUZZ_BUILD_DIR
#   run_fuzzers <root>           runs each for $FUZZ_SECONDS (default 10) on a copy of its seeds

# clang and its libFuzzer archive (libclang-rt-<version>-dev on Debian).
fuzz_available() {
  command -v clang++ >/dev/null || return 1
  local resources
  resources=$(clang++ -print-resource-dir 2>/dev/null) || return 1
  [ -f "$resources/lib/linux/libclang_rt.fuzzer-$(uname -m).a" ]
}

fuzz_wanted() {
  case "${FUZZ:-auto}" in
    on)
      fuzz_available && return 0
      echo "FUZZ=on, but clang or its libFuzzer (libclang-rt-14-dev) is missing" >&2
      exit 1
      ;;
    off) return 1 ;;
    auto)
      [ $# -eq 0 ] || return 1
      fuzz_available && return 0
      echo "fuzz targets skipped: clang or its libFuzzer (libclang-rt-14-dev) is missing"
      return 1
      ;;
    *)
      echo "FUZZ must be on, off or auto, not \"$FUZZ\"" >&2
      exit 1
      ;;
  esac
}

build_fuzzers() {
  local root=$1
  FUZZ_BUILD_DIR=${FUZZ_BUILD_DIR:-$root/build-fuzz}
  export FUZZ_BUILD_DIR
  CC=clang CXX=clang++ cmake -S "$root" -B "$FUZZ_BUILD_DIR" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWITH_FUZZERS=ON -DBUILD_TESTING=OFF >/dev/null &&
    cmake --build "$FUZZ_BUILD_DIR" --target corvanta_fuzzers
}

run_fuzzers() {
  local root=$1
  "$root/fuzz/run" -t "${FUZZ_SECONDS:-10}" "$FUZZ_BUILD_DIR"
}
