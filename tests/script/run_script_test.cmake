# Runs one script test; invoked by CTest as
#   cmake -DMODE=<output|error|fpc> -DSCRIPT=<file.pas> [-DRUNNER=<vidorra-script>]
#         [-DEXPECTED=<file.out>] [-DFPC=<fpc>] [-DWORK_DIR=<folder>] -P run_script_test.cmake
#
# output: the runner must exit with 0 and print exactly the expected file on standard output.
# error:  the script's first line reads "// attendu: <code> (<line>:<column>)"; the runner must
#         exit with that code and give "(<line>:<column>)" on standard error.
# fpc:    Free Pascal compiles the script in delphiunicode mode into WORK_DIR, and the program
#         it makes must print exactly the expected file (which shows the .out files are Free
#         Pascal's own output).

cmake_minimum_required(VERSION 3.20)

function(compare_output actual expected_file label)
  file(READ "${expected_file}" expected)
  if(NOT actual STREQUAL expected)
    get_filename_component(name "${SCRIPT}" NAME_WE)
    set(actual_file "${WORK_DIR}/${name}.${label}.actual")
    file(WRITE "${actual_file}" "${actual}")
    find_program(DIFF_PROGRAM diff)
    if(DIFF_PROGRAM)
      execute_process(COMMAND "${DIFF_PROGRAM}" -u "${expected_file}" "${actual_file}"
                      OUTPUT_VARIABLE difference)
    else()
      set(difference "expected:\n${expected}\nactual:\n${actual}")
    endif()
    message(FATAL_ERROR "${label}: the standard output of ${SCRIPT} differs from ${expected_file}"
                        " (written to ${actual_file}):\n${difference}")
  endif()
endfunction()

if(NOT WORK_DIR)
  set(WORK_DIR "${CMAKE_CURRENT_BINARY_DIR}")
endif()
file(MAKE_DIRECTORY "${WORK_DIR}")

if(MODE STREQUAL "output")
  execute_process(COMMAND "${RUNNER}" "${SCRIPT}"
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc
                  TIMEOUT 20)
  if(NOT rc STREQUAL "0")
    message(FATAL_ERROR "${RUNNER} ${SCRIPT} exited with '${rc}' instead of 0.\n"
                        "Standard error:\n${err}\nStandard output:\n${out}")
  endif()
  compare_output("${out}" "${EXPECTED}" "vidorra-script")

elseif(MODE STREQUAL "error")
  file(STRINGS "${SCRIPT}" first_line LIMIT_COUNT 1)
  if(NOT first_line MATCHES "^// attendu: ([0-9]+) \\(([0-9]+):([0-9]+)\\)")
    message(FATAL_ERROR "${SCRIPT}: the first line must read '// attendu: <code> (<line>:<column>)'")
  endif()
  set(expected_rc "${CMAKE_MATCH_1}")
  set(expected_position "(${CMAKE_MATCH_2}:${CMAKE_MATCH_3})")
  execute_process(COMMAND "${RUNNER}" "${SCRIPT}"
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc
                  TIMEOUT 20)
  if(NOT rc STREQUAL expected_rc)
    message(FATAL_ERROR "${RUNNER} ${SCRIPT} exited with '${rc}' instead of ${expected_rc}.\n"
                        "Standard error:\n${err}\nStandard output:\n${out}")
  endif()
  string(FIND "${err}" "${expected_position}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "${SCRIPT}: standard error does not give the position ${expected_position}.\n"
                        "Standard error:\n${err}")
  endif()

elseif(MODE STREQUAL "fpc")
  get_filename_component(name "${SCRIPT}" NAME_WE)
  execute_process(COMMAND "${FPC}" -Mdelphiunicode -O1 "-FU${WORK_DIR}" "-FE${WORK_DIR}"
                          "-o${WORK_DIR}/${name}" "${SCRIPT}"
                  OUTPUT_VARIABLE log ERROR_VARIABLE log_err RESULT_VARIABLE rc
                  TIMEOUT 60)
  if(NOT rc STREQUAL "0")
    message(FATAL_ERROR "fpc did not compile ${SCRIPT}:\n${log}${log_err}")
  endif()
  execute_process(COMMAND "${WORK_DIR}/${name}"
                  WORKING_DIRECTORY "${WORK_DIR}"
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc
                  TIMEOUT 20)
  if(NOT rc STREQUAL "0")
    message(FATAL_ERROR "${name} compiled by fpc exited with '${rc}'.\nStandard error:\n${err}")
  endif()
  compare_output("${out}" "${EXPECTED}" "fpc")

else()
  message(FATAL_ERROR "MODE must be output, error or fpc (got '${MODE}')")
endif()
