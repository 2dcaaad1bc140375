# Runs a program under the emulator and checks its exit code and output.
# -DEMULATOR=<list> -DPROGRAM=<exe> -DARGS=<list> -DEXIT=<code>
# -DSTDOUT=<regex> -DSTDERR=<regex> (either may be empty: no check)
# -DALLOW_SKIP=ON lets exit code 77 (no Wine for this arch) skip the test.
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGS}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
message("exit ${rc}\nstdout:\n${out}stderr:\n${err}")
if(rc EQUAL 77)
  if(NOT ALLOW_SKIP)
    message(FATAL_ERROR "Wine cannot run this program here (see stderr above)")
  endif()
  message("SKIPPED")
  return()
endif()
if(NOT rc EQUAL EXIT)
  message(FATAL_ERROR "expected exit ${EXIT}, got ${rc}")
endif()
if(STDOUT AND NOT out MATCHES "${STDOUT}")
  message(FATAL_ERROR "stdout does not match '${STDOUT}'")
endif()
if(STDERR AND NOT err MATCHES "${STDERR}")
  message(FATAL_ERROR "stderr does not match '${STDERR}'")
endif()
