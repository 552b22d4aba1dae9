# corvanta_add_test(<name> SOURCES ... [LIBRARIES ...] [DEFINITIONS ...] [DISPLAY] [THREADS]
#                   [TIMEOUT s])
#
# Declares one Qt Test program and registers it with CTest. Tests marked DISPLAY need the X server
# that scripts/test starts (tray, window manager, real window geometry, screen grabs); they share
# that desktop, so they never run at the same time. All other tests run on the offscreen platform.
# Tests marked THREADS drive our own code on more than one thread; they carry the label `threads`
# and are what the ThreadSanitizer build builds (target corvanta_thread_tests) and runs. Every test
# program is a dependency of the target corvanta_tests, so a sanitizer build can build what ctest
# runs and leave out the benchmarks and tools.
#
# Under a sanitizer the programs run several times slower, the real-process tests' launcher and
# fake game too, so each test's time limit is multiplied by CORVANTA_TEST_TIMEOUT_FACTOR.

# The fuzz build instruments everything with AddressSanitizer as well, and may build the tests.
if(WITH_ASAN OR WITH_FUZZERS)
  set(CORVANTA_TEST_ASAN ON)
else()
  set(CORVANTA_TEST_ASAN OFF)
endif()
if(CORVANTA_TEST_ASAN OR WITH_TSAN)
  set(default_factor 3)
else()
  set(default_factor 1)
endif()
set(CORVANTA_TEST_TIMEOUT_FACTOR ${default_factor} CACHE STRING
    "Multiplies every test's time limit (3 by default under a sanitizer, otherwise 1)")
unset(default_factor)
add_custom_target(corvanta_tests)
add_custom_target(corvanta_thread_tests)

function(corvanta_add_test name)
  cmake_parse_arguments(ARG "DISPLAY;THREADS" "TIMEOUT" "SOURCES;LIBRARIES;DEFINITIONS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test corvanta_testsupport ${ARG_LIBRARIES})
  target_compile_definitions(${name} PRIVATE ${ARG_DEFINITIONS})
  corvanta_set_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  add_dependencies(corvanta_tests ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  math(EXPR ARG_TIMEOUT "${ARG_TIMEOUT} * ${CORVANTA_TEST_TIMEOUT_FACTOR}")
  set(environment "QT_QUICK_CONTROLS_STYLE=Basic")
  # The sanitizers' options go in front of what the caller's environment already holds, so that a
  # caller can add to them or override one (the later setting wins): scripts/test adds a log_path,
  # to collect the reports of the programs a test starts as well.
  set(sanitizer_options "")
  if(CORVANTA_TEST_ASAN)
    # Address errors and undefined behaviour stop the test. Leak reports are off: at exit they
    # only list allocations of system libraries (D-Bus, the Mesa driver, already unloaded by
    # then) that cannot be attributed or suppressed by name. The sized-delete check is off too:
    # the web engine's own Chromium code frees with a size that differs from the allocation's
    # when a web view is destroyed.
    list(APPEND sanitizer_options
         "ASAN_OPTIONS=string_prepend:detect_leaks=0:abort_on_error=1:new_delete_type_mismatch=0:"
         "UBSAN_OPTIONS=string_prepend:halt_on_error=1:print_stacktrace=1:")
  endif()
  if(WITH_TSAN)
    # Qt, GLib and OpenCV's image readers come from Debian, built without ThreadSanitizer: it
    # cannot see how they synchronise their own threads, and would report every allocation one of
    # their threads hands to another. Their calls are ignored; our code, and the Qt templates
    # instantiated in it, stay checked. One suppression, for the thread pool's hand-off of a task
    # to a waiting thread (cmake/tsan.supp says why).
    list(APPEND sanitizer_options
         "TSAN_OPTIONS=string_prepend:halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=${PROJECT_SOURCE_DIR}/cmake/tsan.supp:")
  endif()
  if(ARG_DISPLAY)
    set(labels display)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK x11-desktop)
  else()
    set(labels offscreen)
    list(APPEND environment "QT_QPA_PLATFORM=offscreen")
  endif()
  if(ARG_THREADS)
    list(APPEND labels threads)
    add_dependencies(corvanta_thread_tests ${name})
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT ${ARG_TIMEOUT}
                                          ENVIRONMENT "${environment}"
                                          ENVIRONMENT_MODIFICATION "${sanitizer_options}")
endfunction()
