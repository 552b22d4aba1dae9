# corvanta_add_test(<name> SOURCES ... [LIBRARIES ...] [DEFINITIONS ...] [DISPLAY] [TIMEOUT s])
#
# Declares one Qt Test program and registers it with CTest. Tests marked DISPLAY need the X server
# that scripts/test starts (tray, window manager, real window geometry, screen grabs); they share
# that desktop, so they never run at the same time. All other tests run on the offscreen platform.
function(corvanta_add_test name)
  cmake_parse_arguments(ARG "DISPLAY" "TIMEOUT" "SOURCES;LIBRARIES;DEFINITIONS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test corvanta_testsupport ${ARG_LIBRARIES})
  target_compile_definitions(${name} PRIVATE ${ARG_DEFINITIONS})
  corvanta_set_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(environment "QT_QUICK_CONTROLS_STYLE=Basic")
  if(WITH_ASAN)
    # Address errors and undefined behaviour stop the test. Leak reports are off: at exit they
    # only list allocations of system libraries (D-Bus, the Mesa driver, already unloaded by
    # then) that cannot be attributed or suppressed by name. The sized-delete check is off too:
    # the web engine's own Chromium code frees with a size that differs from the allocation's
    # when a web view is destroyed.
    list(APPEND environment "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:new_delete_type_mismatch=0"
                            "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1")
  endif()
  if(WITH_TSAN)
    # Qt, GLib and OpenCV's image readers come from Debian, built without ThreadSanitizer: it
    # cannot see how they synchronise their own threads, and would report every allocation one of
    # their threads hands to another. Their calls are ignored; our code, and the Qt templates
    # instantiated in it, stay checked. No suppressions.
    list(APPEND environment "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1")
  endif()
  if(ARG_DISPLAY)
    set_tests_properties(${name} PROPERTIES LABELS display RESOURCE_LOCK x11-desktop)
  else()
    list(APPEND environment "QT_QPA_PLATFORM=offscreen")
    set_tests_properties(${name} PROPERTIES LABELS offscreen)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${environment}")
endfunction()
