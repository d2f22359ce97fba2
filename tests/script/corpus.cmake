# Tests of the script language, included by tests/script/CMakeLists.txt:
#   ScriptCorpus.<name>     corpus/<name>.pas run by vidorra-script prints exactly corpus/<name>.out
#   ScriptErrors.<name>     errors/<name>.pas makes vidorra-script exit with the code and give the
#                           position written on the script's first line
#   ScriptCorpusFpc.<name>  (when fpc is installed) Free Pascal, compiling corpus/<name>.pas,
#                           prints the same corpus/<name>.out
# Every test runs run_script_test.cmake in script mode; none needs a display.

set(_script_tests_dir "${CMAKE_CURRENT_LIST_DIR}")
set(_script_runner "${_script_tests_dir}/run_script_test.cmake")

file(GLOB _script_corpus CONFIGURE_DEPENDS "${_script_tests_dir}/corpus/*.pas")
file(GLOB _script_errors CONFIGURE_DEPENDS "${_script_tests_dir}/errors/*.pas")
list(SORT _script_corpus)
list(SORT _script_errors)

if(TARGET vidorra-script)
  foreach(_script IN LISTS _script_corpus)
    get_filename_component(_name "${_script}" NAME_WE)
    add_test(NAME ScriptCorpus.${_name}
             COMMAND ${CMAKE_COMMAND} -DMODE=output -DRUNNER=$<TARGET_FILE:vidorra-script>
                     -DSCRIPT=${_script} -DEXPECTED=${_script_tests_dir}/corpus/${_name}.out
                     -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/corpus
                     -P ${_script_runner})
    set_tests_properties(ScriptCorpus.${_name} PROPERTIES LABELS script TIMEOUT 30)
  endforeach()

  foreach(_script IN LISTS _script_errors)
    get_filename_component(_name "${_script}" NAME_WE)
    add_test(NAME ScriptErrors.${_name}
             COMMAND ${CMAKE_COMMAND} -DMODE=error -DRUNNER=$<TARGET_FILE:vidorra-script>
                     -DSCRIPT=${_script} -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/errors
                     -P ${_script_runner})
    set_tests_properties(ScriptErrors.${_name} PROPERTIES LABELS script TIMEOUT 30)
  endforeach()
else()
  message(WARNING "corpus.cmake: no vidorra-script target; the script corpus is not run")
endif()

find_program(FPC_PROGRAM fpc)
if(FPC_PROGRAM)
  foreach(_script IN LISTS _script_corpus)
    get_filename_component(_name "${_script}" NAME_WE)
    add_test(NAME ScriptCorpusFpc.${_name}
             COMMAND ${CMAKE_COMMAND} -DMODE=fpc -DFPC=${FPC_PROGRAM}
                     -DSCRIPT=${_script} -DEXPECTED=${_script_tests_dir}/corpus/${_name}.out
                     -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/fpc/${_name}
                     -P ${_script_runner})
    set_tests_properties(ScriptCorpusFpc.${_name} PROPERTIES LABELS "script;fpc" TIMEOUT 60)
  endforeach()
endif()
