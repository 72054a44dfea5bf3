# Copies the library's sources into a scratch folder, adds to one file an include of a layer above
# its own, and checks that scripts/check-layers refuses the copy, naming the file, the line and
# both layers; then that it takes the copy again once the include is gone.
#
#   cmake -DSOURCE_DIR=<repository> -DSCRATCH=<folder> -DFILE=<path under src> -DHEADER=<header>
#         -DEXPECT_OUTPUT=<regex> -P UpwardIncludeFails.cmake
cmake_minimum_required(VERSION 3.22)

foreach(v SOURCE_DIR SCRATCH FILE HEADER EXPECT_OUTPUT)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "UpwardIncludeFails.cmake needs -D${v}=...")
  endif()
endforeach()

file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
file(COPY "${SOURCE_DIR}/src" DESTINATION "${SCRATCH}" FILES_MATCHING PATTERN "*.h" PATTERN "*.cpp" PATTERN "*.c")

function(check_layers expect_exit)
  execute_process(COMMAND bash "${SOURCE_DIR}/scripts/check-layers" --src "${SCRATCH}/src"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL expect_exit)
    message(FATAL_ERROR "check-layers exited ${status}, expected ${expect_exit}:\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

set(target "${SCRATCH}/src/${FILE}")
file(READ "${target}" original)
file(WRITE "${target}" "${original}#include \"${HEADER}\"\n")
check_layers(1)
if(NOT out MATCHES "${EXPECT_OUTPUT}")
  message(FATAL_ERROR "check-layers did not name the upward include:\n${out}")
endif()

file(WRITE "${target}" "${original}")
check_layers(0)
file(REMOVE_RECURSE "${SCRATCH}")
