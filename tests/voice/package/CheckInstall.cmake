# Installs the hivoice component into a scratch prefix, builds a C99 program against it with
# the flags pkg-config gives, and runs it.
# cmake -DBUILD_DIR= -DWORK_DIR= -DCC= -DSOURCE= -DEXTRA_FLAGS= -P CheckInstall.cmake
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --component hivoice --prefix ${prefix})

file(GLOB_RECURSE pc_files ${prefix}/*/hivoice.pc)
list(LENGTH pc_files count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one installed hivoice.pc, found: ${pc_files}")
endif()
get_filename_component(pc_dir ${pc_files} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
set(ENV{PKG_CONFIG_LIBDIR} ${pc_dir})

run(pkg-config --cflags --libs hivoice)
string(STRIP "${run_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(pkg-config --variable=libdir hivoice)
string(STRIP "${run_output}" libdir)
if(NOT EXISTS ${libdir}/libhivoice.so)
  message(FATAL_ERROR "pkg-config libdir ${libdir} holds no libhivoice.so")
endif()
if(NOT EXISTS ${prefix}/include/hivoice.h)
  message(FATAL_ERROR "header not installed")
endif()

separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")
run(${CC} -std=c99 -Wall -Wextra -pedantic -Werror ${extra} ${SOURCE} ${flags}
    -Wl,-rpath,${libdir} -o ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer)
if(NOT run_output MATCHES "hivoice ok")
  message(FATAL_ERROR "consumer printed: ${run_output}")
endif()
message(STATUS "${run_output}")
