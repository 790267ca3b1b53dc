# Common compile settings for every Tarvik target.

# Compiler cache when present; paths are made relative to the source tree so
# several checkouts of the project share one cache.
find_program(TARVIK_CCACHE ccache)
if(TARVIK_CCACHE)
  set(CMAKE_C_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} ${TARVIK_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} ${TARVIK_CCACHE})
endif()

add_library(tarvik_options INTERFACE)
target_compile_options(tarvik_options INTERFACE -Wall -Wextra)
if(TARVIK_WERROR)
  target_compile_options(tarvik_options INTERFACE -Werror)
endif()
if(TARVIK_SANITIZE)
  set(_tarvik_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_options(tarvik_options INTERFACE ${_tarvik_san})
  target_link_options(tarvik_options INTERFACE ${_tarvik_san})
endif()
if(TARVIK_TSAN)
  if(TARVIK_SANITIZE)
    message(FATAL_ERROR "TARVIK_TSAN and TARVIK_SANITIZE exclude each other")
  endif()
  set(_tarvik_tsan -fsanitize=thread -fno-omit-frame-pointer)
  target_compile_options(tarvik_options INTERFACE ${_tarvik_tsan})
  target_link_options(tarvik_options INTERFACE ${_tarvik_tsan})
endif()
target_include_directories(tarvik_options INTERFACE ${PROJECT_SOURCE_DIR})

# tarvik_library(NAME SOURCES... [LINK deps...])
function(tarvik_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC tarvik_options ${ARG_LINK})
endfunction()

# tarvik_program(NAME): puts a program in <build>/bin, so the build tree has the
# installed layout (bin/ beside share/tarvik/) and the programs find each other
# and their shared files the same way in both.
function(tarvik_program name)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
  install(TARGETS ${name} RUNTIME DESTINATION bin)
endfunction()
