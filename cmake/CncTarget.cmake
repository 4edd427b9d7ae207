# Settings shared by every target of our own: strict warnings (errors with CNC_WERROR, as the
# test script and CI build), the project root and the generated headers on the include path.
function(cnc_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(CNC_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
endfunction()

# cnc_library(NAME SOURCES ... LIBS ...): a static library of our own.
function(cnc_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  cnc_target_defaults(${name})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()
