# The sanitizer builds (docs/sanitizers.md). Sourced by scripts/test after install-deps.
#
#   sanitize_wanted            whether scripts/test runs the tests under the sanitizers:
#                              SANITIZE=on yes, SANITIZE=off (the default) no
#   build_asan <root> <fuzz>   configures build-asan/ (or $ASAN_BUILD_DIR) with clang and builds
#                              the test programs with AddressSanitizer and
#                              UndefinedBehaviorSanitizer, and the fuzz targets too when <fuzz> is
#                              true; exports ASAN_BUILD_DIR
#   build_tsan <root>          configures build-tsan/ (or $TSAN_BUILD_DIR) with clang and builds
#                              the tests marked THREADS with ThreadSanitizer; exports TSAN_BUILD_DIR
#   with_sanitizer_reports <command...>
#                              runs the command with every sanitizer report written to a file,
#                              prints the reports and fails if there are any, whatever the
#                              command's own status
#
# The AddressSanitizer build is the fuzz build (-DWITH_FUZZERS=ON) with the tests in it: the fuzz
# configuration already compiles every library with address and undefined-behaviour checks, so
# one build gives both the fuzz targets and the instrumented tests, and the libraries are
# compiled once instead of twice (a separate WITH_ASAN build would add the fuzz build's three
# minutes to CI again). What the fuzz configuration adds does not change the tests' outcome: the
# coverage hooks of -fsanitize=fuzzer-no-link do nothing without libFuzzer linked, undefined
# behaviour stops a test (as halt_on_error does in a WITH_ASAN build), and Qt's forced assertions
# only fire where our code breaks a Qt precondition, which is a fault the tests should report.
#
# The ThreadSanitizer build uses clang too: it compiles these sources in about a fifth less CPU
# time than gcc, and neither compiler's runtime copes with the tests that start programs (see
# docs/sanitizers.md), so gcc's would buy nothing.
#
# Both builds leave -Werror to the normal build: clang warns about things gcc does not, in code
# the sanitizer run has no business failing on.

sanitize_wanted() {
  case "${SANITIZE:-off}" in
    on) return 0 ;;
    off) return 1 ;;
    *)
      echo "SANITIZE must be on or off, not \"$SANITIZE\"" >&2
      exit 1
      ;;
  esac
}

build_asan() {
  local root=$1 fuzz=$2 targets=(corvanta_tests)
  ASAN_BUILD_DIR=${ASAN_BUILD_DIR:-$root/build-asan}
  export ASAN_BUILD_DIR
  [ "$fuzz" != true ] || targets+=(corvanta_fuzzers)
  CC=clang CXX=clang++ cmake -S "$root" -B "$ASAN_BUILD_DIR" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWITH_FUZZERS=ON -DBUILD_TESTING=ON -DWITH_WERROR=OFF \
    >/dev/null &&
    cmake --build "$ASAN_BUILD_DIR" --target "${targets[@]}"
}

build_tsan() {
  local root=$1
  TSAN_BUILD_DIR=${TSAN_BUILD_DIR:-$root/build-tsan}
  export TSAN_BUILD_DIR
  CC=clang CXX=clang++ cmake -S "$root" -B "$TSAN_BUILD_DIR" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWITH_TSAN=ON -DWITH_WERROR=OFF >/dev/null &&
    cmake --build "$TSAN_BUILD_DIR" --target corvanta_thread_tests
}

# A program a test starts (the launcher, the fake game) writes its report to its own standard error,
# which the test may never show, and the test may well pass once that program is gone. Files
# catch those reports too; the tests' own settings (cmake/CorvantaTest.cmake) come before these.
with_sanitizer_reports() {
  local reports result=0 report
  reports=$(mktemp -d /tmp/corvanta-sanitizers.XXXXXX)
  ASAN_OPTIONS="log_path=$reports/report:log_exe_name=1" \
    UBSAN_OPTIONS="log_path=$reports/report:log_exe_name=1" \
    TSAN_OPTIONS="log_path=$reports/report:log_exe_name=1" \
    "$@" || result=$?
  for report in "$reports"/*; do
    [ -f "$report" ] || continue
    echo "--- sanitizer report ${report##*/} (report.<program>.<pid>):" >&2
    cat "$report" >&2
    [ $result -ne 0 ] || result=1
  done
  rm -rf "$reports"
  return $result
}
