# Installs the build folder BUILD into PREFIX, emptied first so that nothing stale remains.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install ${BUILD} --prefix ${PREFIX} failed: ${result}")
endif()
