# cmake -DFUZZER=... -DCORPUS=... -DWORK=... -DOPTIONS="..." -P run_fuzz.cmake
# Runs one fuzz target over its committed seed corpus for a bounded time. New inputs go
# to a fresh folder of the build, never into the source tree; a crash leaves its input
# in WORK/artifacts and fails the test. The target's scratch files go to WORK/scratch,
# where a crash, which skips their removal, leaves them to the next run's clean-up.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts ${WORK}/scratch)
set(ENV{TMPDIR} ${WORK}/scratch)
separate_arguments(options UNIX_COMMAND "${OPTIONS}")
execute_process(
  COMMAND ${FUZZER} ${options} -artifact_prefix=${WORK}/artifacts/ ${WORK}/corpus ${CORPUS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} found a fault (exit ${result}); its input is in ${WORK}/artifacts")
endif()
