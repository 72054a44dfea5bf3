# Runs a command in a fresh scratch folder that holds one file of the user's, then checks its exit
# status, its output and that the folder holds exactly what it held before (the user's file, as it
# was, and nothing else) besides what the command is expected to make.
#
#   cmake -DSCRATCH=<folder> -DEXPECT_EXIT=<status> [-DEXPECT_OUTPUT=<regex>] [-DREJECT_OUTPUT=<regex>]
#         [-DEXPECT_MADE=<path>|<path>...] -P RunInScratchFolder.cmake -- <command> [<argument>...]
#
# An argument "<scratch>" stands for the scratch folder. The output is the standard output and
# the standard error together. EXPECT_MADE names, "|" between them, every folder and file the
# command must have made in the scratch folder (relative to it); anything else it made is a fault.
cmake_minimum_required(VERSION 3.22)

include(${CMAKE_CURRENT_LIST_DIR}/CommandChecks.cmake)
brindlecue_arguments_after_separator(command)
list(TRANSFORM command REPLACE "<scratch>" "${SCRATCH}")
if(NOT command OR NOT DEFINED SCRATCH OR NOT DEFINED EXPECT_EXIT)
  message(FATAL_ERROR "usage: cmake -DSCRATCH=dir -DEXPECT_EXIT=n -P RunInScratchFolder.cmake -- command ...")
endif()

file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
set(note "a note of the user's\n")
file(WRITE "${SCRATCH}/notes.txt" "${note}")

execute_process(COMMAND ${command} WORKING_DIRECTORY "${SCRATCH}" RESULT_VARIABLE status
                OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")

set(failures "")
brindlecue_check_status_and_output(failures "${status}" "${output}")
file(GLOB_RECURSE left LIST_DIRECTORIES true RELATIVE "${SCRATCH}" "${SCRATCH}/*" "${SCRATCH}/.*")
list(REMOVE_DUPLICATES left)
string(REPLACE "|" ";" made "${EXPECT_MADE}")
if(made)
  set(missing ${made})
  list(REMOVE_ITEM missing ${left})
  if(missing)
    string(APPEND failures "the command did not make \"${missing}\"\n")
  endif()
  list(REMOVE_ITEM left ${made})
endif()
if(NOT left STREQUAL "notes.txt")
  string(APPEND failures "the scratch folder holds \"${left}\" instead of the user's notes.txt alone\n")
elseif(EXISTS "${SCRATCH}/notes.txt")
  file(READ "${SCRATCH}/notes.txt" kept)
  if(NOT kept STREQUAL note)
    string(APPEND failures "the user's notes.txt changed\n")
  endif()
endif()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
