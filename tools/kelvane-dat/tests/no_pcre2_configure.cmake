# Configures the project where pkg-config finds no PCRE2: with the tool, configuring must stop with
# the one line that names the package and the option; without it (KELVANE_BUILD_TOOLS=OFF), it must
# succeed. cmake -DSOURCE_DIR=... -DSCRATCH_DIR=... -DGENERATOR=... -DCXX_COMPILER=... -P this file
set(ENV{PKG_CONFIG_LIBDIR} "${SCRATCH_DIR}/no-pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
file(REMOVE_RECURSE "${SCRATCH_DIR}")

function(configure name expected_result)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${SCRATCH_DIR}/${name}" -G "${GENERATOR}"
            "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" -DKELVANE_BUILD_TESTS=OFF
            -DKELVANE_CCACHE=OFF ${ARGN}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  if(NOT result EQUAL expected_result)
    message(FATAL_ERROR "${name}: configure exited ${result}, expected ${expected_result}:\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

configure(with_tool 1)
string(REGEX REPLACE "[ \n]+" " " output "${output}")
if(NOT output MATCHES "kelvane-dat needs PCRE2: install libpcre2-dev \\(and pkg-config\\), or configure with -DKELVANE_BUILD_TOOLS=OFF")
  message(FATAL_ERROR "with_tool: the error does not name the package and the option:\n${output}")
endif()
configure(without_tool 0 -DKELVANE_BUILD_TOOLS=OFF)
file(REMOVE_RECURSE "${SCRATCH_DIR}")
