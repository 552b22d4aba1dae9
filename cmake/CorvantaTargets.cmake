# Helpers shared by every target of ours.

# Warnings for our own code; Qt and OpenCV come in through imported targets, so their headers are
# system headers and stay out of this.
function(corvanta_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
  if(WITH_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# corvanta_add_library(<name> [SOURCES ...] [DEPENDS ...])
#
# One library per subsystem. A subsystem whose classes have not been written yet is an INTERFACE
# library that already carries its place in the dependency graph, so that targets above it link it
# the same way before and after it gains sources.
function(corvanta_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
    corvanta_set_warnings(${name})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()
