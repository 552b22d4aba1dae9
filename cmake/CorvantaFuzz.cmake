# The libFuzzer build (-DWITH_FUZZERS=ON, clang only), included before any target is declared.
#
# Every target of ours is compiled with libFuzzer's coverage instrumentation and with the address
# and undefined-behaviour sanitizers, so the libraries a fuzz target links are the shipped
# libraries, instrumented. Undefined behaviour aborts instead of printing and carrying on: the
# fuzzer then keeps the input as a crash like any other.

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "WITH_FUZZERS needs clang and its libFuzzer: configure a build directory of "
                      "its own with CC=clang CXX=clang++ (scripts/install-deps installs both)")
endif()
if(WITH_TSAN)
  message(FATAL_ERROR "WITH_FUZZERS builds with AddressSanitizer and excludes WITH_TSAN")
endif()

include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_FLAGS "-fsanitize=fuzzer")
check_cxx_source_compiles([[
#include <cstddef>
#include <cstdint>
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *, std::size_t) { return 0; }
]] CORVANTA_HAVE_LIBFUZZER)
unset(CMAKE_REQUIRED_FLAGS)
if(NOT CORVANTA_HAVE_LIBFUZZER)
  message(FATAL_ERROR "clang cannot link libFuzzer (libclang_rt.fuzzer): run scripts/install-deps, "
                      "which installs libclang-rt-14-dev")
endif()

add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
# Qt's own checks in the templates our code instantiates (an index out of a list's range, a null
# pointer taken for a string) stay on, as the fuzzer is there to reach them.
add_compile_definitions(QT_FORCE_ASSERTS)

add_custom_target(corvanta_fuzzers)

# corvanta_add_fuzzer(<name> <source> [<library>...] [MAX_LEN <bytes>])
#
# Declares the fuzz target fuzz_<name> from <source>, linked with libFuzzer, the fuzz support
# library and the given libraries. Its seed corpus is fuzz/corpus/<name>/ and, if it exists, its
# dictionary fuzz/dict/<name>.dict. MAX_LEN bounds the inputs the fuzzer makes (default 4096), so
# that its time goes into the logic rather than into huge inputs. Every target is listed in
# <build>/fuzzers.tsv, which fuzz/run reads.
function(corvanta_add_fuzzer name source)
  cmake_parse_arguments(ARG "" "MAX_LEN" "" ${ARGN})
  if(NOT ARG_MAX_LEN)
    set(ARG_MAX_LEN 4096)
  endif()
  set(target fuzz_${name})
  set(corpus "${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name}")
  if(NOT IS_DIRECTORY "${corpus}")
    message(FATAL_ERROR "${target}: the seed corpus ${corpus} is missing")
  endif()
  set(dictionary "${CMAKE_CURRENT_SOURCE_DIR}/dict/${name}.dict")
  if(NOT EXISTS "${dictionary}")
    set(dictionary "-")
  endif()

  add_executable(${target} ${source})
  target_link_libraries(${target} PRIVATE corvanta_fuzzsupport ${ARG_UNPARSED_ARGUMENTS})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  corvanta_set_warnings(${target})
  add_dependencies(corvanta_fuzzers ${target})
  set_property(GLOBAL APPEND PROPERTY CORVANTA_FUZZER_LINES
    "${name}\t$<TARGET_FILE:${target}>\t${corpus}\t${dictionary}\t${ARG_MAX_LEN}")
endfunction()

# Writes <build>/fuzzers.tsv: one line per target, tab-separated: name, program, seed corpus,
# dictionary ("-" when none) and the largest input.
function(corvanta_write_fuzzer_list)
  get_property(lines GLOBAL PROPERTY CORVANTA_FUZZER_LINES)
  list(JOIN lines "\n" content)
  file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/fuzzers.tsv" CONTENT "${content}\n")
endfunction()
