# Helpers shared by every target of ours.

# Warnings for our own code; Qt and OpenCV come in through imported targets, so their headers are
# system headers and stay out of this.
function(corvanta_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
  if(WITH_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# corvanta_add_library(<name> SOURCES ... [PUBLIC ...] [PRIVATE ...])
#
# One static library per subsystem. PUBLIC names what its headers include, so that whoever links
# the library can compile against them; PRIVATE what only its sources use.
function(corvanta_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
  corvanta_set_warnings(${name})
endfunction()
