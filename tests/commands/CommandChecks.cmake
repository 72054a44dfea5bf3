# What the command checks share: the arguments after "--" on the cmake command line, and the
# check of a command's exit status and output.

# Sets <out> to the arguments that follow "--".
macro(brindlecue_arguments_after_separator out)
  set(${out} "")
  set(_after_separator OFF)
  foreach(_i RANGE 1 ${CMAKE_ARGC})
    if(_i EQUAL CMAKE_ARGC)
      break()
    endif()
    if(_after_separator)
      list(APPEND ${out} "${CMAKE_ARGV${_i}}")
    elseif("${CMAKE_ARGV${_i}}" STREQUAL "--")
      set(_after_separator ON)
    endif()
  endforeach()
endmacro()

# Appends to the variable named <failures_variable> what differs from EXPECT_EXIT, EXPECT_OUTPUT and
# REJECT_OUTPUT (the last two are regular expressions and may be left undefined).
function(brindlecue_check_status_and_output failures_variable status output)
  set(found "${${failures_variable}}")
  if(NOT status STREQUAL "${EXPECT_EXIT}")
    string(APPEND found "exit status ${status}, expected ${EXPECT_EXIT}\n")
  endif()
  if(DEFINED EXPECT_OUTPUT AND NOT output MATCHES "${EXPECT_OUTPUT}")
    string(APPEND found "the output does not match: ${EXPECT_OUTPUT}\n")
  endif()
  if(DEFINED REJECT_OUTPUT AND output MATCHES "${REJECT_OUTPUT}")
    string(APPEND found "the output matches what it must not: ${REJECT_OUTPUT}\n")
  endif()
  set(${failures_variable} "${found}" PARENT_SCOPE)
endfunction()
