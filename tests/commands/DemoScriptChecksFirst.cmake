# Runs a copy of scripts/demo in a scratch tree whose scripts/setup only says that it ran and fails,
# and checks how the script answers its arguments: its exit status, its output, whether it got as
# far as the setup (the first step of the install and the build), and that it made nothing, in
# the tree or in the folder it was started from.
#
#   cmake -DSOURCE_DIR=<repository> -DSCRATCH=<folder> -DEXPECT_EXIT=<status> -DEXPECT_SETUP=<ON|OFF>
#         [-DEXPECT_OUTPUT=<regex>] -P DemoScriptChecksFirst.cmake -- [<argument>...]
cmake_minimum_required(VERSION 3.22)

foreach(v SOURCE_DIR SCRATCH EXPECT_EXIT EXPECT_SETUP)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "DemoScriptChecksFirst.cmake needs -D${v}=...")
  endif()
endforeach()
include(${CMAKE_CURRENT_LIST_DIR}/CommandChecks.cmake)
brindlecue_arguments_after_separator(arguments)

file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}/tree/scripts" "${SCRATCH}/caller")
file(COPY "${SOURCE_DIR}/scripts/demo" DESTINATION "${SCRATCH}/tree/scripts")
set(setup_said "setup of the scratch tree ran")
file(WRITE "${SCRATCH}/tree/scripts/setup" "echo '${setup_said}'\nexit 3\n")

execute_process(COMMAND bash "${SCRATCH}/tree/scripts/demo" ${arguments}
                WORKING_DIRECTORY "${SCRATCH}/caller" TIMEOUT 60
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")

set(failures "")
brindlecue_check_status_and_output(failures "${status}" "${output}")
string(FIND "${output}" "${setup_said}" setup_at)
if(EXPECT_SETUP AND setup_at EQUAL -1)
  string(APPEND failures "the script did not go on to the setup\n")
elseif(NOT EXPECT_SETUP AND NOT setup_at EQUAL -1)
  string(APPEND failures "the script went on to the setup before it answered\n")
endif()
file(GLOB_RECURSE left LIST_DIRECTORIES true RELATIVE "${SCRATCH}" "${SCRATCH}/*" "${SCRATCH}/.*")
list(SORT left)
set(laid caller tree tree/scripts tree/scripts/demo tree/scripts/setup)
if(NOT left STREQUAL laid)
  string(APPEND failures "the scratch tree holds \"${left}\" instead of \"${laid}\"\n")
endif()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
